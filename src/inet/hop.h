#pragma once
// One hop of a request, as both drivers send it: the facility's engine (one request at a time,
// with notifications) and quorvel-check's scheduler (many over one multi handle). How the hop
// is formed, how its answer is gathered and how its end is judged lives here only, so the two
// programs send the same request and give the same verdict and error for the same server.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <curl/curl.h>

namespace quorvel::platform::inet
{

// Where a hop goes.
struct HopTarget {
    bool secure = false;
    std::string host; // IPv6 literals without brackets; the IDNA form once formed
    std::uint16_t port = 0;
    std::string object; // path and query, not yet encoded for the request line
};

// Makes the hop's host its IDNA form (a name that has none stays as it is, to be refused) and
// returns the URL libcurl is given: host in lower case, the scheme's default port left out, so
// that a redirect's notified target reads as a browser shows it, the object encoded.
std::string formHop(HopTarget &target);
// The two halves of formHop: the host made its IDNA form, and the URL of a target so formed.
void formHost(HopTarget &target);
std::string hopUrl(const HopTarget &target);
// The host as connections and lookups know it.
std::string lowerHost(const std::string &host);
bool isAddressLiteral(const std::string &host);
// Names under .invalid never resolve; asking the network would only leak them.
bool isReservedInvalid(const std::string &host);
// The error for a host refused without asking the network; 0 when it may be looked up.
std::uint32_t refusedHost(const std::string &host);

// 301, 302, 303, 307 and 308 are followed; other answers are final.
bool isRedirectStatus(int status);
// Moves target to where a redirect from the hop at currentUrl leads, counting the hop. Fails
// (ERROR_HTTP_REDIRECT_FAILED) past the redirect limit, for a location that does not combine
// and for schemes other than http and https; 0 on success, with the combined URL in next.
std::uint32_t redirectHop(HopTarget &target, int &hops, const std::string &currentUrl,
                          const std::string &location, std::string &next);

// The options every hop's handle gets: the URL, HTTP/1.1 over http and https only, no signals,
// redirects left to the driver, the connect limit, direct unless the driver sets a proxy.
void setUpHop(CURL *easy, void *owner, const std::string &url, long connectTimeoutMs);
// The User-Agent line of a hop, sent as the first of its own header lines (right after Host,
// where libcurl puts its own) rather than through CURLOPT_USERAGENT, which libcurl formats anew
// for every request at a cost larger than the rest of the request's head.
std::string agentHeader(const std::string &agent);
// The CURLOPT_RESOLVE entry that hands libcurl the addresses looked up for host and port.
std::string resolveEntry(const std::string &host, std::uint16_t port,
                         const std::vector<std::string> &addresses);

// The answer of the current hop, as its header and body callbacks gather it.
struct HopAnswer {
    std::string head; // the header block, CR LF line ends
    int status = 0;
    bool inHead = false;
    bool headDone = false;
    bool followRedirects = true; // a redirect's Location is captured
    std::optional<std::string> redirectTo;
    std::size_t discarded = 0; // bytes of a redirect's body thrown away
    bool discardCut = false;   // a redirect's body was too long to wait for
    std::uint32_t refusal = 0; // why the callbacks stopped the transfer (a header block too long)

    void resetAnswer();

    enum class Line {
        StatusLine, // a response began (again, after an interim one)
        Header,
        Interim, // the block of an interim answer (100 Continue...) ended; it is not kept
        Ended,   // the block ended; redirectTo is set when it is a redirect to follow
        Ignored, // not part of a header block (trailers of a chunked body)
        Refused  // the block is over its limit: return 0 to libcurl
    };
    Line takeHeaderLine(std::string_view line);
    // Body bytes: true when they were a redirect's, thrown away. Past the limit discardCut is
    // set and the caller returns 0 to stop the transfer.
    bool discardRedirectBody(std::size_t bytes);

    // How the hop ended, once libcurl is done with it.
    struct Outcome {
        enum class Kind { Answered, Redirect, Failed };
        Kind kind = Kind::Answered;
        std::uint32_t error = 0; // for Failed
        bool curlError = false;  // error came from libcurl's result
    };
    Outcome outcome(CURLcode result) const;
    // A final answer's header block has arrived (the body may still be on its way).
    bool finalHeadArrived() const { return headDone && !redirectTo && refusal == 0; }
    std::string statusLine() const { return head.substr(0, head.find("\r\n")); }
};

} // namespace quorvel::platform::inet
