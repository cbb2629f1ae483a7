#pragma once
// Checks many links at once over one libcurl multi handle: at most `jobs` requests in flight,
// at most `perHost` to one host, each ended within its time limit. Requests are sent and
// followed the way the window's HTTP facility does it (same request, same redirects, same
// refused hosts, same error codes), so the dead/alive rule sees the same answers; the body is
// read and thrown away, but for the start of a 2xx answer's body when the deeper checks ask
// for it.

#include "cli/hostlookup.h"
#include "cli/linkfilter.h"
#include "cli/networkguard.h"
#include "cli/tryend.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli
{

struct CheckSettings {
    // Most requests in flight only wait (to connect, or for a slow server), which costs a socket
    // and a few kilobytes, not bandwidth; the per-host limit keeps any one server from seeing
    // more than perHost of them.
    int jobs = 128;
    int perHost = 2;
    std::chrono::milliseconds timeout{30000}; // the whole request, redirects included
    std::chrono::milliseconds connectTimeout{10000};
    std::string userAgent = "Merrowin WinInet Component";
    std::string caFile; // certificates to trust instead of the system's; "" for the system's
    int stopFd = -1;    // the run stops when this becomes readable
    // How much of a 2xx final answer's body is kept for a closer look (0: none). The rest is
    // read and thrown away as always, so keeping changes no verdict.
    std::size_t keepBody = 0;

    // Tries after the first for failures that may pass later (see TryEnd), and the wait before
    // the first of them; each further one waits twice as long.
    int retries = 2;
    std::chrono::milliseconds retryWait{2000};
    // The longest wait a Retry-After may ask for.
    std::chrono::milliseconds retryAfterCap{60000};
    LookUpFunction lookUp; // empty: the system's resolver
    LinkFilter filter;     // links not to request
};

struct LinkJob {
    LinkJob() = default;
    LinkJob(std::size_t id, std::string_view url, std::string host = {})
        : id(id), url(url), host(std::move(host))
    {
    }

    std::size_t id = 0;
    std::string_view url; // must outlive the run
    // The host key (hostKey) of a link whose request the caller prepared already and found not
    // refused; empty: the checker prepares it.
    std::string host;
};

// How one link's request ended.
struct LinkOutcome {
    std::uint32_t error = 0; // the facility's error code; 0 when a final response arrived
    int status = 0;          // status of the final response, 0 when none arrived
    // The final response's header lines, status first; left empty when the block holds no
    // "404" anywhere, as then no line can hold either of the dead-link texts.
    std::vector<std::string> headerLines;
    std::string requestedUrl; // the URL of the first request sent, as sent
    std::string finalUrl;     // the URL of the last request sent
    std::string permanentUrl; // where the leading 301/308 redirects led, "" without them
    int redirects = 0;
    bool bodyCut = false; // the time limit ended the body of an answer that had arrived
    std::chrono::milliseconds elapsed{0};
    // With CheckSettings::keepBody, for a 2xx final answer: the start of its body and its
    // Content-Type header's value.
    std::string body;
    std::string contentType;

    std::string statusLine; // of the final response
    int tries = 0;          // requests made for this link; 0 when its host's verdict was taken
    TryEnd end = TryEnd::Answered; // how its last try ended
    std::chrono::steady_clock::time_point endedAt;
    bool rateLimited = false; // every answer was 429 or 503
    bool hostVerdict = false; // the verdict of its host, without a try of its own that showed it
};

class LinkChecker
{
public:
    explicit LinkChecker(CheckSettings settings);
    ~LinkChecker();
    LinkChecker(const LinkChecker &) = delete;
    LinkChecker &operator=(const LinkChecker &) = delete;

    using DoneHandler = std::function<void(std::size_t id, LinkOutcome outcome)>;
    // Checks the links, calling onDone on this thread as each one ends. Returns false when
    // the stop descriptor ended the run: the links still in flight then get no outcome.
    bool run(const std::vector<LinkJob> &jobs, const DoneHandler &onDone);

    // Appends the links that have become ready (their URLs must outlive the run); false once
    // no more will come.
    using MoreLinks = std::function<bool(std::vector<LinkJob> &more)>;
    // As run, for links that are still being found: more is asked (on this thread) before
    // each turn of the loop, and the run ends once it has said no more will come and every
    // link has its outcome.
    bool run(const DoneHandler &onDone, const MoreLinks &more);
    // From any thread: the run stops waiting for the network, to ask for more links.
    void wake();

    // While run() runs (from onDone): one more request, with an id of the caller's that no
    // job has. It obeys the same limits, and starts before links not yet started, since
    // others may wait for its answer. Its outcome comes to onDone like a link's.
    void add(std::size_t id, std::string url);
    // While run() runs: when held, links not yet started wait (added requests and redirects
    // go on), so that what waits for added requests stays bounded. Never stalls a run: with
    // nothing in flight, links start all the same.
    void holdNewLinks(bool hold);

    // After run(): what the tries showed of the network.
    NetworkGuard::Verdict network() const;

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
};

} // namespace quorvel::cli
