#include "cli/linkchecker.h"

#include "cli/hostslots.h"
#include "cli/linktransfer.h"
#include "cli/requesttarget.h"
#include "inet/curlhandle.h"
#include "inet/curlmulti.h"
#include "inet/inet.h"
#include "inet/inet_errors.h"
#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"

#include <algorithm>
#include <deque>
#include <map>
#include <thread>
#include <unordered_map>

#include <curl/curl.h>
#include <poll.h>

namespace quorvel::cli
{

namespace inet = platform::inet;
using Clock = std::chrono::steady_clock;

namespace
{

// The loop looks at its time limits and the stop descriptor at least this often.
constexpr std::chrono::milliseconds longestWait{500};
// Requests added during the run are numbered from here, apart from the links, whose number
// may still grow.
constexpr std::size_t firstAdded = std::size_t(1) << 62;
// Name lookups at once; each waits on a thread of its own.
constexpr std::size_t lookupsAtOnce = 32;
// A host whose tries failed to connect this often, and never connected, has its verdict: its
// other links take it without a try of their own.
constexpr int connectFailuresForVerdict = 3;
// The same for a host that took connections but answered nothing until the time limit, twice.
constexpr int silencesForVerdict = 2;

} // namespace

class LinkChecker::Engine
{
public:
    explicit Engine(CheckSettings settings) : settings_(std::move(settings)), slots_(1)
    {
        multi_ = inet::makeCurlMulti();
        // Idle kept-alive connections each hold a descriptor; a few per request slot is plenty.
        if (multi_)
            curl_multi_setopt(multi_.get(), CURLMOPT_MAXCONNECTS,
                              static_cast<long>(std::max(settings_.jobs, 1) * 4));
        if (!settings_.userAgent.empty())
            inet::appendTo(headers_, inet::agentHeader(settings_.userAgent).c_str());
        // libcurl's own "Accept: */*" is not sent by the window.
        inet::appendTo(headers_, "Accept:");
        lookups_ = std::make_unique<HostLookups>(settings_.lookUp, lookupsAtOnce,
                                                 [this] { wake(); });
    }
    ~Engine()
    {
        // Lookup threads still running must no longer wake the multi handle.
        lookups_.reset();
        // The kept easy handles go before the multi handle: they are declared after it.
        abandonAll();
    }

    bool run(std::vector<LinkJob> jobs, const DoneHandler &onDone, const MoreLinks &more);
    void add(std::size_t id, std::string url);
    void wake()
    {
        if (multi_)
            curl_multi_wakeup(multi_.get());
    }
    void holdNewLinks(bool hold) { holdNew_ = hold; }
    NetworkGuard::Verdict network() const { return guard_.verdict(); }

private:
    // A request added during the run, by its index after the jobs'.
    struct Added {
        std::size_t id;
        std::string url;
    };

    // What the run knows of a host its links go to.
    struct HostState {
        enum class Lookup { None, Pending, Found, NoSuchHost };
        Lookup lookup = Lookup::None;
        std::vector<std::string> addresses;
        // Links (index, whether they go before new links) and redirected hops (index) waiting
        // for the lookup.
        std::vector<std::pair<std::size_t, bool>> waiting;
        std::vector<std::size_t> waitingHops;
    };
    // What the run knows of a host and port: whether it takes connections.
    struct Endpoint {
        int connectFailures = 0;
        bool reached = false; // a try connected: connect failures are then the link's own
        int silentToTheLimit = 0; // tries that connected and had no answer within the limit
        bool answered = false;    // an answer's head arrived
        bool condemned = false;
        std::uint32_t verdictError = 0;
        TryEnd verdictEnd = TryEnd::Answered;
    };
    static std::string endpointOf(const RequestTarget &target)
    {
        return hostKey(target) + ":" + std::to_string(target.port);
    }
    const Endpoint *condemned(const std::string &endpoint) const
    {
        const auto found = endpoints_.find(endpoint);
        return found != endpoints_.end() && found->second.condemned ? &found->second : nullptr;
    }
    // A link's tries so far, kept from its first try to its outcome.
    struct Attempts {
        int tries = 0;
        bool onlyRateLimited = true; // every answer so far was 429 or 503
        bool confirming = false;     // the try that confirms its host's verdict: no retry
        Clock::time_point firstStarted;
    };

    std::size_t inFlight() const { return active_.size() + parked_.size(); }
    // Queues a link (or an added request, or a retry) for its host, once its host's name is
    // known; early ones go before links not yet started.
    void enqueue(std::size_t index, const std::string &host, bool early);
    // The host's state, its lookup started when it has none yet.
    HostState &lookedUp(const std::string &host);
    void lookupsAnswered();
    // Ends the tries in flight to a host and port that has just got its verdict with it.
    void cutShort(const std::string &endpoint, const Endpoint &verdict);
    void dueRetries();
    // Answers a link with its host's verdict, from the loop.
    void takeHostVerdict(std::size_t index, std::uint32_t error, TryEnd end);
    // A try ended: tried again later when it may pass then, else the link's outcome.
    void tryEnded(Transfer &t, LinkOutcome outcome, TryEnd end,
                  std::chrono::milliseconds wait = std::chrono::milliseconds(-1));
    // A lookup failure is a try of each link that waited for it.
    void lookupFailedFor(std::size_t index);
    std::size_t idOf(std::size_t index);
    std::chrono::milliseconds retryDelay(int tries) const;
    // Takes job index into the run: answered at once when it cannot be requested at all,
    // otherwise queued for its host.
    void admit(std::size_t index);
    // The links the source has ready now.
    void takeMore();
    bool allLinksIn() const { return !more_; }
    std::string urlOf(std::size_t index) const;
    void deliverRefused();
    void startMore();
    void startHop(std::unique_ptr<Transfer> transfer);
    bool setUpEasy(Transfer &t);
    void finished(Transfer &t, CURLcode result);
    void follow(Transfer &t);
    void timeLimits();
    void complete(Transfer &t, LinkOutcome outcome);
    void fail(Transfer &t, std::uint32_t error, TryEnd end = TryEnd::Answered);
    void answer(Transfer &t, bool bodyCut);
    void releaseEasy(Transfer &t);
    void abandonAll();
    std::chrono::milliseconds nextWait() const;
    bool stopAsked() const;
    // Waits for libcurl's sockets, a time limit or the stop descriptor; true when stopped.
    bool waitForWork();

    CheckSettings settings_;
    inet::CurlMulti multi_;
    HostSlots slots_;
    std::vector<LinkJob> jobs_;
    const DoneHandler *onDone_ = nullptr;
    MoreLinks more_; // empty once every link is in
    // Both by index in the job list; a link not yet started is in neither.
    std::unordered_map<std::size_t, std::unique_ptr<Transfer>> active_;
    std::unordered_map<std::size_t, std::unique_ptr<Transfer>> parked_; // redirected, waiting
    std::vector<inet::CurlEasy> idle_; // easy handles kept for reuse
    std::unordered_map<std::size_t, Added> added_;
    std::size_t nextAdded_ = 0;
    // Added requests that cannot be sent, answered from the run's loop rather than from add()
    // itself, which is called from inside an onDone.
    std::deque<std::pair<std::size_t, LinkOutcome>> refused_;
    inet::CurlList headers_;
    bool stopped_ = false;
    bool holdNew_ = false;

    std::unique_ptr<HostLookups> lookups_;
    std::unordered_map<std::string, HostState> hosts_;
    std::unordered_map<std::string, Endpoint> endpoints_;
    std::unordered_map<std::size_t, Attempts> attempts_;
    std::multimap<Clock::time_point, std::size_t> retries_; // by when they are due
    std::size_t waitingForLookup_ = 0;                         // links, not hops
    NetworkGuard guard_;
};

LinkChecker::LinkChecker(CheckSettings settings)
    : engine_(std::make_unique<Engine>(std::move(settings)))
{
}

LinkChecker::~LinkChecker() = default;

bool LinkChecker::run(const std::vector<LinkJob> &jobs, const DoneHandler &onDone)
{
    return engine_->run(jobs, onDone, {});
}

bool LinkChecker::run(const DoneHandler &onDone, const MoreLinks &more)
{
    return engine_->run({}, onDone, more);
}

void LinkChecker::wake()
{
    engine_->wake();
}

void LinkChecker::add(std::size_t id, std::string url)
{
    engine_->add(id, std::move(url));
}

void LinkChecker::holdNewLinks(bool hold)
{
    engine_->holdNewLinks(hold);
}

NetworkGuard::Verdict LinkChecker::network() const
{
    return engine_->network();
}

std::string LinkChecker::Engine::urlOf(std::size_t index) const
{
    if (index < firstAdded)
        return std::string(jobs_[index].url);
    return added_.at(index).url;
}

void LinkChecker::Engine::add(std::size_t id, std::string url)
{
    std::uint32_t error = 0;
    const auto target = prepareRequest(url, error);
    if (target)
        error = refusedHost(target->host);
    if (error != 0 || !multi_) {
        LinkOutcome outcome;
        outcome.error = error != 0 ? error : inet::ERROR_INTERNET_INTERNAL_ERROR;
        if (target)
            outcome.requestedUrl = outcome.finalUrl = hopUrl(*target);
        refused_.emplace_back(id, std::move(outcome));
        return;
    }
    const std::size_t index = firstAdded + nextAdded_++;
    added_.emplace(index, Added{id, std::move(url)});
    enqueue(index, hostKey(*target), true);
}

void LinkChecker::Engine::deliverRefused()
{
    // An answer may add another request, and so another refusal.
    while (!refused_.empty()) {
        auto [id, outcome] = std::move(refused_.front());
        refused_.pop_front();
        (*onDone_)(id, std::move(outcome));
    }
}

void LinkChecker::Engine::admit(std::size_t index)
{
    const LinkJob &job = jobs_[index];
    if (!job.host.empty() && multi_) {
        enqueue(index, job.host, false);
        return;
    }
    std::uint32_t error = 0;
    const auto target = prepareRequest(std::string(job.url), error);
    if (target)
        error = refusedHost(target->host);
    if (error == 0 && !multi_)
        error = inet::ERROR_INTERNET_INTERNAL_ERROR;
    if (error != 0) {
        LinkOutcome outcome;
        outcome.error = error;
        if (target && multi_)
            outcome.requestedUrl = outcome.finalUrl = hopUrl(*target);
        (*onDone_)(job.id, std::move(outcome));
        return;
    }
    enqueue(index, hostKey(*target), false);
}

void LinkChecker::Engine::enqueue(std::size_t index, const std::string &host, bool early)
{
    const auto toSlots = [&] {
        if (early)
            slots_.addEarly(index, host);
        else
            slots_.add(index, host);
    };
    if (inet::isAddressLiteral(host)) {
        toSlots();
        return;
    }
    HostState &state = lookedUp(host);
    if (state.lookup == HostState::Lookup::Found) {
        toSlots();
    } else if (state.lookup == HostState::Lookup::NoSuchHost) {
        takeHostVerdict(index, inet::ERROR_INTERNET_NAME_NOT_RESOLVED, TryEnd::NoSuchHost);
    } else {
        state.waiting.emplace_back(index, early);
        ++waitingForLookup_;
    }
}

LinkChecker::Engine::HostState &LinkChecker::Engine::lookedUp(const std::string &host)
{
    HostState &state = hosts_[host];
    if (state.lookup == HostState::Lookup::None) {
        state.lookup = HostState::Lookup::Pending;
        lookups_->start(host);
    }
    return state;
}

void LinkChecker::Engine::lookupsAnswered()
{
    for (HostLookups::Answer &answer :
         lookups_->take(std::max(settings_.connectTimeout, std::chrono::milliseconds(1)))) {
        HostState &state = hosts_[answer.host];
        auto waiting = std::move(state.waiting);
        auto hops = std::move(state.waitingHops);
        state.waiting.clear();
        state.waitingHops.clear();
        waitingForLookup_ -= waiting.size();
        const auto now = Clock::now();
        switch (answer.result.kind) {
        case LookupResult::Kind::Found:
            state.lookup = HostState::Lookup::Found;
            state.addresses = std::move(answer.result.addresses);
            for (const auto &[index, early] : waiting) {
                if (early)
                    slots_.addEarly(index, answer.host);
                else
                    slots_.add(index, answer.host);
            }
            for (std::size_t index : hops) {
                if (parked_.count(index))
                    slots_.addRedirected(index, answer.host);
            }
            break;
        case LookupResult::Kind::NoSuchHost:
            // The resolver's answer is the host's verdict: one link asked, the rest take it.
            state.lookup = HostState::Lookup::NoSuchHost;
            guard_.tryEnded(answer.host, true, now, now);
            for (std::size_t i = 0; i < waiting.size(); ++i) {
                if (i == 0) {
                    Attempts &a = attempts_[waiting[i].first];
                    if (a.tries++ == 0)
                        a.firstStarted = now;
                }
                takeHostVerdict(waiting[i].first, inet::ERROR_INTERNET_NAME_NOT_RESOLVED,
                                TryEnd::NoSuchHost);
                if (i == 0)
                    refused_.back().second.hostVerdict = false;
            }
            for (std::size_t index : hops) {
                if (const auto found = parked_.find(index); found != parked_.end())
                    fail(*found->second, inet::ERROR_INTERNET_NAME_NOT_RESOLVED,
                         TryEnd::NoSuchHost);
            }
            break;
        case LookupResult::Kind::Failed:
            // Asked again for the next try.
            state.lookup = HostState::Lookup::None;
            guard_.tryEnded(answer.host, false, now, now);
            for (const auto &[index, early] : waiting)
                lookupFailedFor(index);
            for (std::size_t index : hops) {
                if (const auto found = parked_.find(index); found != parked_.end())
                    fail(*found->second, inet::ERROR_INTERNET_NAME_NOT_RESOLVED,
                         TryEnd::ResolverFailed);
            }
            break;
        }
    }
}

void LinkChecker::Engine::lookupFailedFor(std::size_t index)
{
    Attempts &a = attempts_[index];
    const auto now = Clock::now();
    if (a.tries == 0)
        a.firstStarted = now;
    ++a.tries;
    a.onlyRateLimited = false;
    if (a.tries < triesFor(TryEnd::ResolverFailed, settings_.retries) && !stopped_) {
        retries_.emplace(now + retryDelay(a.tries), index);
        return;
    }
    LinkOutcome outcome;
    outcome.error = inet::ERROR_INTERNET_NAME_NOT_RESOLVED;
    outcome.end = TryEnd::ResolverFailed;
    outcome.tries = a.tries;
    outcome.endedAt = now;
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - a.firstStarted);
    std::uint32_t error = 0;
    if (const auto target = prepareRequest(urlOf(index), error))
        outcome.requestedUrl = outcome.finalUrl = hopUrl(*target);
    attempts_.erase(index);
    refused_.emplace_back(idOf(index), std::move(outcome));
}

void LinkChecker::Engine::takeHostVerdict(std::size_t index, std::uint32_t error, TryEnd end)
{
    LinkOutcome outcome;
    outcome.error = error;
    outcome.end = end;
    outcome.hostVerdict = true;
    outcome.endedAt = Clock::now();
    if (const auto found = attempts_.find(index); found != attempts_.end()) {
        outcome.tries = found->second.tries;
        if (found->second.tries > 0)
            outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                outcome.endedAt - found->second.firstStarted);
        attempts_.erase(found);
    }
    std::uint32_t prepared = 0;
    if (const auto target = prepareRequest(urlOf(index), prepared))
        outcome.requestedUrl = outcome.finalUrl = hopUrl(*target);
    refused_.emplace_back(idOf(index), std::move(outcome));
}

std::size_t LinkChecker::Engine::idOf(std::size_t index)
{
    if (index < firstAdded)
        return jobs_[index].id;
    const auto added = added_.find(index);
    const std::size_t id = added->second.id;
    added_.erase(added);
    return id;
}

std::chrono::milliseconds LinkChecker::Engine::retryDelay(int tries) const
{
    // 1, 2, 4... times the wait: the last of the default three tries comes three waits after
    // the first failure, when a passing fault has had time to pass.
    return settings_.retryWait * (1LL << std::min(tries - 1, 10));
}

void LinkChecker::Engine::dueRetries()
{
    const auto now = Clock::now();
    while (!retries_.empty() && retries_.begin()->first <= now) {
        const std::size_t index = retries_.begin()->second;
        retries_.erase(retries_.begin());
        std::uint32_t error = 0;
        const auto target = prepareRequest(urlOf(index), error);
        if (const Endpoint *verdict = condemned(endpointOf(*target)))
            takeHostVerdict(index, verdict->verdictError, verdict->verdictEnd);
        else
            enqueue(index, hostKey(*target), true);
    }
}

void LinkChecker::Engine::takeMore()
{
    if (!more_)
        return;
    const std::size_t before = jobs_.size();
    const bool again = more_(jobs_);
    if (!again)
        more_ = nullptr;
    for (std::size_t index = before; index < jobs_.size(); ++index)
        admit(index);
}

bool LinkChecker::Engine::run(std::vector<LinkJob> jobs, const DoneHandler &onDone,
                              const MoreLinks &more)
{
    jobs_ = std::move(jobs);
    onDone_ = &onDone;
    more_ = more;
    slots_ = HostSlots(settings_.perHost);
    added_.clear();
    nextAdded_ = 0;
    refused_.clear();
    holdNew_ = false;
    hosts_.clear();
    endpoints_.clear();
    attempts_.clear();
    retries_.clear();
    waitingForLookup_ = 0;
    guard_ = NetworkGuard();

    // Links that cannot be requested at all are answered before any request goes out.
    for (std::size_t index = 0; index < jobs_.size(); ++index)
        admit(index);
    takeMore();
    if (!multi_) {
        // Nothing can be requested: every link is answered as it comes.
        while (!allLinksIn()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            takeMore();
        }
        deliverRefused();
        return true;
    }

    // A stop asked for before the first request (Ctrl+C while the folder was read).
    stopped_ = stopAsked();
    if (stopped_) {
        abandonAll();
        return false;
    }
    deliverRefused();
    const auto workLeft = [this] {
        return slots_.waiting() || !active_.empty() || !parked_.empty() || !allLinksIn() ||
               !retries_.empty() || waitingForLookup_ > 0 || !refused_.empty();
    };
    while (workLeft()) {
        lookupsAnswered();
        dueRetries();
        startMore();
        int running = 0;
        curl_multi_perform(multi_.get(), &running);
        inet::takeFinished<Transfer>(multi_.get(), [this](Transfer &transfer, CURLcode result) {
            finished(transfer, result);
        });
        timeLimits();
        deliverRefused();
        takeMore();
        if (!workLeft())
            break;
        startMore();
        if (waitForWork()) {
            abandonAll();
            return false;
        }
    }
    return true;
}

bool LinkChecker::Engine::waitForWork()
{
    curl_waitfd stopWait{};
    stopWait.fd = settings_.stopFd;
    stopWait.events = CURL_WAIT_POLLIN;
    const bool watchStop = settings_.stopFd >= 0;
    curl_multi_poll(multi_.get(), watchStop ? &stopWait : nullptr, watchStop ? 1 : 0,
                    static_cast<int>(nextWait().count()), nullptr);
    // Only a readable stop descriptor is looked at again, so the loop costs no extra call.
    if (watchStop && stopWait.revents != 0)
        stopped_ = stopped_ || stopAsked();
    return stopped_;
}

bool LinkChecker::Engine::stopAsked() const
{
    if (settings_.stopFd < 0)
        return false;
    pollfd check{settings_.stopFd, POLLIN, 0};
    return ::poll(&check, 1, 0) > 0 && (check.revents & (POLLIN | POLLHUP)) != 0;
}

void LinkChecker::Engine::startMore()
{
    const auto jobs = static_cast<std::size_t>(std::max(settings_.jobs, 1));
    while (inFlight() <= jobs) {
        // A redirected link already counts as in flight; a new request needs a free place.
        auto upTo = HostSlots::Queue::Redirected;
        if (inFlight() < jobs)
            upTo = holdNew_ && inFlight() > 0 ? HostSlots::Queue::Added : HostSlots::Queue::Fresh;
        auto start = slots_.next(upTo);
        if (!start)
            return;
        if (auto parked = parked_.find(start->id); parked != parked_.end()) {
            std::unique_ptr<Transfer> transfer = std::move(parked->second);
            parked_.erase(parked);
            transfer->holdsSlot = true;
            startHop(std::move(transfer));
            continue;
        }
        std::uint32_t error = 0;
        // Prepared again rather than kept: a long list holds only its URLs while it waits.
        RequestTarget target = *prepareRequest(urlOf(start->id), error);
        const std::string endpoint = endpointOf(target);
        if (const Endpoint *verdict = condemned(endpoint)) {
            slots_.release(start->host);
            takeHostVerdict(start->id, verdict->verdictError, verdict->verdictEnd);
            continue;
        }
        auto transfer = std::make_unique<Transfer>();
        transfer->index = start->id;
        transfer->target = std::move(target);
        transfer->keepBody = settings_.keepBody;
        transfer->host = start->host;
        transfer->firstHost = start->host;
        transfer->endpoint = endpoint;
        transfer->started = Clock::now();
        Attempts &a = attempts_[start->id];
        if (a.tries++ == 0)
            a.firstStarted = transfer->started;
        transfer->firstStarted = a.firstStarted;
        if (const auto seen = endpoints_.find(endpoint);
            seen != endpoints_.end() && !seen->second.reached &&
            seen->second.connectFailures >= connectFailuresForVerdict - 1)
            a.confirming = true;
        transfer->deadline = transfer->started + settings_.timeout;
        transfer->holdsSlot = true;
        startHop(std::move(transfer));
    }
}

void LinkChecker::Engine::startHop(std::unique_ptr<Transfer> transfer)
{
    Transfer &t = *transfer;
    t.resetResponse();
    t.url = hopUrl(t.target);
    if (t.hops == 0)
        t.firstUrl = t.url;
    active_[t.index] = std::move(transfer);
    if (!setUpEasy(t) || curl_multi_add_handle(multi_.get(), t.easy.get()) != CURLM_OK)
        fail(t, inet::ERROR_INTERNET_INTERNAL_ERROR);
}

bool LinkChecker::Engine::setUpEasy(Transfer &t)
{
    // A handle used before keeps its options: every one set below is set again for each hop,
    // the optional ones to their off values, which costs less than a reset.
    if (!idle_.empty()) {
        t.easy = std::move(idle_.back());
        idle_.pop_back();
    } else {
        t.easy = inet::makeCurlEasy();
    }
    if (!t.easy)
        return false;
    CURL *easy = t.easy.get();
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(t.deadline - Clock::now());
    const long connectLimit =
        std::max<long>(1, static_cast<long>(std::min(settings_.connectTimeout, remaining).count()));

    // Direct, as the window goes.
    inet::setUpHop(easy, &t, t.url, connectLimit);
    // Removing a transfer whose name lookup hangs must not wait for the lookup to end.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    // The facility's silence limit: a connected server that sends nothing for this long. A
    // silence that lasts to the time limit is the time limit's, which is final, not a silence
    // that is tried again.
    const bool silenceLimit = inet::receiveTimeout() < remaining;
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, silenceLimit ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME,
                     silenceLimit ? static_cast<long>(inet::receiveTimeout().count()) : 0L);
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_.get());
    // The window ignores a certificate issued for another name; libcurl cannot ignore only an
    // expired date, so that, like an unknown issuer, fails the request.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    if (!settings_.caFile.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, settings_.caFile.c_str());
    const bool credentials = !t.target.user.empty();
    curl_easy_setopt(easy, CURLOPT_USERNAME, credentials ? t.target.user.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_PASSWORD, credentials ? t.target.password.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, credentials ? CURLAUTH_ANY : CURLAUTH_BASIC);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onTransferHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onTransferBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    t.connected = false;
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, onTransferConnected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &t);
    // The name was looked up here; libcurl connects to the same addresses.
    t.resolve.reset();
    if (const auto host = hosts_.find(t.host);
        host != hosts_.end() && host->second.lookup == HostState::Lookup::Found)
        inet::appendTo(
            t.resolve,
            inet::resolveEntry(t.target.host, t.target.port, host->second.addresses).c_str());
    curl_easy_setopt(easy, CURLOPT_RESOLVE, t.resolve.get());
    return true;
}

void LinkChecker::Engine::finished(Transfer &t, CURLcode result)
{
    const inet::HopAnswer::Outcome end = t.outcome(result);
    if (end.kind == inet::HopAnswer::Outcome::Kind::Redirect) {
        follow(t);
    } else if (end.kind == inet::HopAnswer::Outcome::Kind::Answered) {
        answer(t, false);
    } else if (end.curlError) {
        long osErrno = 0;
        curl_easy_getinfo(t.easy.get(), CURLINFO_OS_ERRNO, &osErrno);
        fail(t, end.error, tryEndOf(result, osErrno, t.connected));
    } else {
        fail(t, end.error);
    }
}

void LinkChecker::Engine::follow(Transfer &t)
{
    const std::string location = *t.redirectTo;
    const int status = t.status;
    releaseEasy(t);
    slots_.release(t.host);
    t.holdsSlot = false;
    std::string combined;
    if (const std::uint32_t error = inet::redirectHop(t.target, t.hops, t.url, location, combined)) {
        fail(t, error);
        return;
    }
    if (t.permanentRun && (status == 301 || status == 308))
        t.permanentUrl = combined;
    else
        t.permanentRun = false;
    t.url = inet::formHop(t.target);
    t.endpoint = endpointOf(t.target);
    if (const std::uint32_t refused = refusedHost(t.target.host)) {
        fail(t, refused);
        return;
    }
    // The next hop waits for room at its host like any other request, and for its name.
    t.host = hostKey(t.target);
    const std::size_t index = t.index;
    parked_[index] = std::move(active_.at(index));
    active_.erase(index);
    if (inet::isAddressLiteral(t.host)) {
        slots_.addRedirected(index, t.host);
        return;
    }
    HostState &host = lookedUp(t.host);
    if (host.lookup == HostState::Lookup::Found)
        slots_.addRedirected(index, t.host);
    else if (host.lookup == HostState::Lookup::NoSuchHost)
        fail(t, inet::ERROR_INTERNET_NAME_NOT_RESOLVED, TryEnd::NoSuchHost);
    else
        host.waitingHops.push_back(index);
}

void LinkChecker::Engine::timeLimits()
{
    const auto now = Clock::now();
    std::vector<Transfer *> late;
    for (auto &[id, transfer] : active_) {
        if (now >= transfer->deadline)
            late.push_back(transfer.get());
    }
    for (auto &[id, transfer] : parked_) {
        if (now >= transfer->deadline)
            late.push_back(transfer.get());
    }
    for (Transfer *t : late) {
        // An answer whose body was still arriving is judged by its headers: a large download
        // is not a dead link. Anything short of a final answer timed out.
        if (t->finalHeadArrived() && t->easy)
            answer(*t, true);
        else
            fail(*t, inet::ERROR_INTERNET_TIMEOUT,
                 t->connected ? TryEnd::TimedOut : TryEnd::ConnectTimedOut);
    }
}

void LinkChecker::Engine::answer(Transfer &t, bool bodyCut)
{
    LinkOutcome outcome;
    outcome.status = t.status;
    outcome.bodyCut = bodyCut;
    outcome.statusLine = t.statusLine();
    // Without a credential prompt a challenge cannot be answered; the window's component
    // gives up on it with this error too.
    if (t.status == 401 || t.status == 407) {
        outcome.error = inet::ERROR_INTERNET_OPERATION_CANCELLED;
    } else {
        outcome.headerLines = headerLinesOf(t.head);
        if (t.keepBody > 0 && t.status >= 200 && t.status <= 299) {
            outcome.body = std::move(t.body);
            outcome.contentType = inet::headerValue(t.head, "Content-Type").value_or("");
        }
    }
    if (t.status == 429 || t.status == 503) {
        // Not a verdict: asked to come back later, and to ask less at once.
        slots_.lowerLimit(t.host);
        const auto after = inet::headerValue(t.head, "Retry-After");
        const auto wait = after ? retryAfter(*after, settings_.retryAfterCap) : std::nullopt;
        tryEnded(t, std::move(outcome), TryEnd::RateLimited,
                 wait.value_or(std::chrono::milliseconds(-1)));
        return;
    }
    tryEnded(t, std::move(outcome), TryEnd::Answered);
}

void LinkChecker::Engine::tryEnded(Transfer &t, LinkOutcome outcome, TryEnd end,
                                   std::chrono::milliseconds wait)
{
    const auto now = Clock::now();
    guard_.tryEnded(t.firstHost, networkAnswered(end) || t.connected, t.started, now);
    Endpoint *host = &endpoints_[t.endpoint];
    bool condemnedNow = false;
    const auto condemn = [&] {
        if (host->condemned)
            return;
        condemnedNow = true;
        host->condemned = true;
        host->verdictError = outcome.error;
        host->verdictEnd = end;
    };
    if (t.headDone || outcome.status != 0)
        host->answered = true;
    if (t.connected || end == TryEnd::Answered || end == TryEnd::TimedOut ||
        end == TryEnd::Transient || end == TryEnd::RateLimited) {
        host->reached = true;
        // A server that takes connections but never answers within the time limit: each of
        // its links would wait the whole limit again.
        if (end == TryEnd::TimedOut && ++host->silentToTheLimit >= silencesForVerdict &&
            !host->answered)
            condemn();
    } else if (connectFailed(end)) {
        if (++host->connectFailures >= connectFailuresForVerdict && !host->reached)
            condemn();
    }
    Attempts &a = attempts_[t.index];
    if (end != TryEnd::RateLimited)
        a.onlyRateLimited = false;
    const int allowed =
        a.confirming || (host && host->condemned) ? 1 : triesFor(end, settings_.retries);
    if (a.tries < allowed && !stopped_) {
        if (wait.count() < 0)
            wait = retryDelay(a.tries);
        const std::size_t index = t.index;
        releaseEasy(t);
        if (t.holdsSlot)
            slots_.release(t.host);
        if (const auto found = active_.find(index); found != active_.end()) {
            active_.erase(found);
        } else if (const auto waiting = parked_.find(index); waiting != parked_.end()) {
            slots_.forget(index, t.host);
            parked_.erase(waiting);
        }
        retries_.emplace(now + wait, index);
        return;
    }
    outcome.tries = a.tries;
    outcome.end = end;
    outcome.endedAt = now;
    outcome.rateLimited = end == TryEnd::RateLimited && a.onlyRateLimited;
    // The links that confirmed their host's verdict show it as such.
    outcome.hostVerdict = host && host->condemned && a.confirming;
    attempts_.erase(t.index);
    const std::string endpoint = t.endpoint;
    complete(t, std::move(outcome));
    if (condemnedNow)
        cutShort(endpoint, *host);
}

void LinkChecker::Engine::cutShort(const std::string &endpoint, const Endpoint &verdict)
{
    // The other tries waiting on the host would only confirm its verdict, at the cost of their
    // whole time-outs.
    std::vector<std::size_t> waiting;
    for (const auto &[index, transfer] : active_) {
        if (transfer->endpoint == endpoint && !transfer->headDone)
            waiting.push_back(index);
    }
    for (std::size_t index : waiting) {
        const auto found = active_.find(index);
        releaseEasy(*found->second);
        if (found->second->holdsSlot)
            slots_.release(found->second->host);
        active_.erase(found);
        takeHostVerdict(index, verdict.verdictError, verdict.verdictEnd);
    }
}

void LinkChecker::Engine::fail(Transfer &t, std::uint32_t error, TryEnd end)
{
    LinkOutcome outcome;
    outcome.error = error;
    if (t.headDone && !t.redirectTo) {
        // The headers arrived before the body failed: the window classifies them as well.
        outcome.status = t.status;
        outcome.headerLines = headerLinesOf(t.head);
        outcome.statusLine = t.statusLine();
    }
    tryEnded(t, std::move(outcome), end);
}

void LinkChecker::Engine::complete(Transfer &t, LinkOutcome outcome)
{
    outcome.requestedUrl = t.firstUrl;
    outcome.finalUrl = t.url;
    outcome.permanentUrl = t.permanentUrl;
    outcome.redirects = t.hops;
    outcome.elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t.firstStarted);
    releaseEasy(t);
    if (t.holdsSlot)
        slots_.release(t.host);
    std::unique_ptr<Transfer> transfer;
    if (const auto found = active_.find(t.index); found != active_.end()) {
        transfer = std::move(found->second);
        active_.erase(found);
    } else if (const auto waiting = parked_.find(t.index); waiting != parked_.end()) {
        // A redirected link that waited for room leaves its new host's queue.
        slots_.forget(t.index, t.host);
        transfer = std::move(waiting->second);
        parked_.erase(waiting);
    }
    attempts_.erase(t.index);
    (*onDone_)(idOf(t.index), std::move(outcome));
}

void LinkChecker::Engine::releaseEasy(Transfer &t)
{
    if (!t.easy)
        return;
    curl_multi_remove_handle(multi_.get(), t.easy.get());
    idle_.push_back(std::move(t.easy));
    t.resolve.reset();
}

void LinkChecker::Engine::abandonAll()
{
    for (auto &[id, transfer] : active_) {
        if (transfer->easy) {
            curl_multi_remove_handle(multi_.get(), transfer->easy.get());
            transfer->easy.reset();
            transfer->resolve.reset();
        }
    }
    active_.clear();
    parked_.clear();
    added_.clear();
    refused_.clear();
    retries_.clear();
    attempts_.clear();
    hosts_.clear();
    endpoints_.clear();
    waitingForLookup_ = 0;
}

std::chrono::milliseconds LinkChecker::Engine::nextWait() const
{
    long curlWait = -1;
    curl_multi_timeout(multi_.get(), &curlWait);
    auto wait =
        curlWait < 0 ? longestWait : std::min(longestWait, std::chrono::milliseconds(curlWait));
    const auto now = Clock::now();
    const auto until = [&](Clock::time_point when) {
        if (when == Clock::time_point::max())
            return;
        wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(when - now) +
                                  std::chrono::milliseconds(1));
    };
    if (!retries_.empty())
        until(retries_.begin()->first);
    until(lookups_->nextLimit(std::max(settings_.connectTimeout, std::chrono::milliseconds(1))));
    for (const auto *map : {&active_, &parked_}) {
        for (const auto &[id, transfer] : *map) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(transfer->deadline - now) +
                std::chrono::milliseconds(1);
            wait = std::min(wait, left);
        }
    }
    return std::max(wait, std::chrono::milliseconds(0));
}

} // namespace quorvel::cli
