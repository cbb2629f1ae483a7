// quorvel-check: checks the links of a folder of Internet shortcut files from the terminal.

#include "cli/checkcommand.h"

#include <csignal>
#include <iostream>

#include <curl/curl.h>

int main(int argc, char *argv[])
{
    // Before any thread starts, as libcurl asks.
    if (curl_global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
        std::cerr << "quorvel-check: the HTTP library cannot be started\n";
        return 2;
    }
    std::ios::sync_with_stdio(false);
    // A file-size limit then fails the write (EFBIG), which is reported like a full disk,
    // instead of killing the program half-way through a move.
    std::signal(SIGXFSZ, SIG_IGN);
    const int status = quorvel::cli::runCheckCommand(argc, argv, std::cout, std::cerr);
    curl_global_cleanup();
    return status;
}
