#pragma once
// quorvel-check from its command line to its exit status.

#include <ostream>

namespace quorvel::cli
{

// Runs the program with the given arguments, writing reports to out and messages to err.
// Returns the exit status.
int runCheckCommand(int argc, char *argv[], std::ostream &out, std::ostream &err);

} // namespace quorvel::cli
