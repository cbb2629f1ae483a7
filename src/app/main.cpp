#include "app/startup.h"

int main(int argc, char **argv)
{
    return quorvel::runQuorvel(argc, argv);
}
