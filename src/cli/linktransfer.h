#pragma once
// One link's request from its first hop to its end, and the libcurl callbacks that gather each
// hop's response the way the HTTP facility does: the header block whole (up to its limit), a
// redirect's own body thrown away, and only the start of a final 2xx body kept.

#include "cli/requesttarget.h"
#include "inet/curlhandle.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <curl/curl.h>

namespace quorvel::cli
{

struct Transfer {
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

    // The response of the current hop, as the facility gathers it.
    std::string head;
    int status = 0;
    bool inHead = false;
    bool headDone = false;
    bool headTooLong = false;
    std::optional<std::string> redirectTo;
    std::size_t discarded = 0;
    bool discardCut = false;
    std::size_t keepBody = 0; // bytes of a 2xx final answer's body to keep
    std::string body;

    void resetResponse();
    // The block ended; interim answers are dropped and a redirect remembers where it goes.
    void headEnded();
};

// CURLOPT_HEADERFUNCTION and CURLOPT_WRITEFUNCTION for a Transfer given as their user data.
size_t onTransferHeader(char *data, size_t size, size_t count, void *user);
size_t onTransferBody(char *data, size_t size, size_t count, void *user);
// CURLOPT_PREREQFUNCTION: the connection is there and the request about to go out.
int onTransferConnected(void *user, char *, char *, int, int);

// The lines of a header block, for the dead-link rule; none when no line can hold a 404.
std::vector<std::string> headerLinesOf(const std::string &block);

} // namespace quorvel::cli
