#pragma once
// One link's request from its first hop to its end, and the libcurl callbacks that gather each
// hop's answer with the facility's hop policy (inet/hop.h); of a final 2xx body only the start
// is kept.

#include "cli/requesttarget.h"
#include "inet/curlhandle.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include <curl/curl.h>

namespace quorvel::cli
{

struct Transfer : platform::inet::HopAnswer {
    std::size_t index = 0; // in the job list
    bool holdsSlot = false;
    RequestTarget target;
    std::string firstUrl;
    std::string url;       // of the current hop
    std::string host;      // whose slot this holds or waits for
    std::string firstHost; // of the link itself, before redirects
    std::string endpoint;  // host and port of the hop, for what the run knows of them
    platform::inet::CurlEasy easy;
    platform::inet::CurlList resolve; // the addresses looked up for the hop's host
    bool connected = false;           // a connection to the hop's host was made (or reused)
    std::chrono::steady_clock::time_point firstStarted; // of the link's first try
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point deadline;
    int hops = 0;
    bool permanentRun = true;
    std::string permanentUrl;

    std::size_t keepBody = 0; // bytes of a 2xx final answer's body to keep
    std::string body;

    void resetResponse();
};

// CURLOPT_HEADERFUNCTION and CURLOPT_WRITEFUNCTION for a Transfer given as their user data.
size_t onTransferHeader(char *data, size_t size, size_t count, void *user);
size_t onTransferBody(char *data, size_t size, size_t count, void *user);
// CURLOPT_PREREQFUNCTION: the connection is there and the request about to go out.
int onTransferConnected(void *user, char *, char *, int, int);

// The lines of a header block, for the dead-link rule; none when no line can hold a 404.
std::vector<std::string> headerLinesOf(const std::string &block);

} // namespace quorvel::cli
