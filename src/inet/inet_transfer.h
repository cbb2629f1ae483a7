#pragma once
// One send of a request as the transfer thread carries it out: the current hop's target, the
// libcurl easy handle and what its callbacks gathered so far. Touched on the engine thread only.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include <curl/curl.h>

#include "inet/curlhandle.h"
#include "inet/hop.h"
#include "inet/inet_state.h"

namespace quorvel::platform::inet
{

class Engine;

// The current hop's target and answer are the shared hop's (hop.h); the rest is the engine's.
struct Transfer : HopTarget, HopAnswer {
    Transfer(Engine &engine, std::shared_ptr<Request> request, SendOrder order)
        : engine(engine), request(std::move(request)), order(std::move(order))
    {
    }
    Transfer(const Transfer &) = delete;
    Transfer &operator=(const Transfer &) = delete;

    Engine &engine;
    const std::shared_ptr<Request> request;
    const SendOrder order;

    // The current hop.
    std::string method;
    bool withBody = false;
    std::string url;
    std::string target;         // "host:port" of the server or proxy that the connection goes to
    bool literalTarget = false; // target names an IP address, so nothing is looked up
    int hop = 0;
    std::uint64_t serial = 0; // names the hop to the resolver thread

    // Name resolution of the current hop.
    bool resolving = false;
    std::chrono::steady_clock::time_point resolveDeadline;

    // libcurl state of the current hop.
    CurlEasy easy;
    CurlList headerList;
    CurlList resolveList;
    bool openedSocket = false;
    bool connected = false; // from here on silence counts against the receive limit
    std::chrono::steady_clock::time_point lastActivity;
    bool connectedNotified = false;
    bool sentNotified = false;
    std::uint32_t requestBytes = 0;
    curl_off_t requestSizeBefore = 0; // libcurl's count of request bytes before this request
    bool serverMayRetryAuth = false;  // libcurl may answer a 401 itself by sending again
    bool proxyMayRetryAuth = false;

    // The response being received, beside the hop's answer.
    std::uint32_t headBytes = 0;
    bool published = false;

    void resetResponse();
};

// Sets up the libcurl callbacks of transfer.easy that feed transfer.
void installCallbacks(Transfer &transfer);

} // namespace quorvel::platform::inet
