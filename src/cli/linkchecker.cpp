#include "cli/linkchecker.h"

#include "cli/hostslots.h"
#include "cli/linktransfer.h"
#include "cli/requesttarget.h"
#include "inet/curlmulti.h"
#include "inet/inet.h"
#include "inet/inet_errors.h"
#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"

#include <algorithm>
#include <deque>
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

} // namespace

class LinkChecker::Engine
{
public:
    explicit Engine(CheckSettings settings) : settings_(std::move(settings)), slots_(1)
    {
        multi_ = curl_multi_init();
        // Idle kept-alive connections each hold a descriptor; a few per request slot is plenty.
        if (multi_)
            curl_multi_setopt(multi_, CURLMOPT_MAXCONNECTS,
                              static_cast<long>(std::max(settings_.jobs, 1) * 4));
        // libcurl's own "Accept: */*" is not sent by the window.
        headers_ = curl_slist_append(nullptr, "Accept:");
    }
    ~Engine()
    {
        abandonAll();
        for (CURL *easy : idle_)
            curl_easy_cleanup(easy);
        if (multi_)
            curl_multi_cleanup(multi_);
        curl_slist_free_all(headers_);
    }

    bool run(std::vector<LinkJob> jobs, const DoneHandler &onDone, const MoreLinks &more);
    void add(std::size_t id, std::string url);
    void wake()
    {
        if (multi_)
            curl_multi_wakeup(multi_);
    }
    void holdNewLinks(bool hold) { holdNew_ = hold; }

private:
    // A request added during the run, by its index after the jobs'.
    struct Added {
        std::size_t id;
        std::string url;
    };

    std::size_t inFlight() const { return active_.size() + parked_.size(); }
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
    void fail(Transfer &t, std::uint32_t error);
    void answer(Transfer &t, bool bodyCut);
    void releaseEasy(Transfer &t);
    void abandonAll();
    std::chrono::milliseconds nextWait() const;
    bool stopAsked() const;
    // Waits for libcurl's sockets, a time limit or the stop descriptor; true when stopped.
    bool waitForWork();

    CheckSettings settings_;
    CURLM *multi_ = nullptr;
    HostSlots slots_;
    std::vector<LinkJob> jobs_;
    const DoneHandler *onDone_ = nullptr;
    MoreLinks more_; // empty once every link is in
    // Both by index in the job list; a link not yet started is in neither.
    std::unordered_map<std::size_t, std::unique_ptr<Transfer>> active_;
    std::unordered_map<std::size_t, std::unique_ptr<Transfer>> parked_; // redirected, waiting
    std::vector<CURL *> idle_; // easy handles kept for reuse
    std::unordered_map<std::size_t, Added> added_;
    std::size_t nextAdded_ = 0;
    // Added requests that cannot be sent, answered from the run's loop rather than from add()
    // itself, which is called from inside an onDone.
    std::deque<std::pair<std::size_t, LinkOutcome>> refused_;
    curl_slist *headers_ = nullptr;
    bool stopped_ = false;
    bool holdNew_ = false;
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
    slots_.addEarly(index, hostKey(*target));
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
    slots_.add(index, hostKey(*target));
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
    while (slots_.waiting() || !active_.empty() || !allLinksIn()) {
        startMore();
        int running = 0;
        curl_multi_perform(multi_, &running);
        inet::takeFinished<Transfer>(multi_, [this](Transfer &transfer, CURLcode result) {
            finished(transfer, result);
        });
        timeLimits();
        deliverRefused();
        takeMore();
        if (!slots_.waiting() && active_.empty() && allLinksIn())
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
    curl_multi_poll(multi_, watchStop ? &stopWait : nullptr, watchStop ? 1 : 0,
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
        auto transfer = std::make_unique<Transfer>();
        transfer->index = start->id;
        std::uint32_t error = 0;
        // Prepared again rather than kept: a long list holds only its URLs while it waits.
        transfer->target = *prepareRequest(urlOf(start->id), error);
        transfer->keepBody = settings_.keepBody;
        transfer->host = start->host;
        transfer->started = Clock::now();
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
    if (!setUpEasy(t) || curl_multi_add_handle(multi_, t.easy) != CURLM_OK)
        fail(t, inet::ERROR_INTERNET_INTERNAL_ERROR);
}

bool LinkChecker::Engine::setUpEasy(Transfer &t)
{
    if (!idle_.empty()) {
        t.easy = idle_.back();
        idle_.pop_back();
        curl_easy_reset(t.easy);
    } else {
        t.easy = curl_easy_init();
    }
    if (!t.easy)
        return false;
    CURL *easy = t.easy;
    const auto remaining =
        std::chrono::duration_cast<std::chrono::milliseconds>(t.deadline - Clock::now());
    const long connectLimit =
        std::max<long>(1, static_cast<long>(std::min(settings_.connectTimeout, remaining).count()));

    curl_easy_setopt(easy, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(easy, CURLOPT_URL, t.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // Removing a transfer whose name lookup hangs must not wait for the lookup to end.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectLimit);
    // The facility's silence limit: a connected server that sends nothing for this long.
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME,
                     static_cast<long>(inet::receiveTimeout().count()));
    // Direct, as the window goes: the environment's proxy settings are not ours.
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    if (!settings_.userAgent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, settings_.userAgent.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers_);
    // The window ignores a certificate issued for another name; libcurl cannot ignore only an
    // expired date, so that, like an unknown issuer, fails the request.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
    if (!settings_.caFile.empty())
        curl_easy_setopt(easy, CURLOPT_CAINFO, settings_.caFile.c_str());
    if (!t.target.user.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, t.target.user.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, t.target.password.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onTransferHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onTransferBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &t);
    return true;
}

void LinkChecker::Engine::finished(Transfer &t, CURLcode result)
{
    if (t.redirectTo && (result == CURLE_OK || (result == CURLE_WRITE_ERROR && t.discardCut))) {
        follow(t);
        return;
    }
    if (t.headTooLong) {
        fail(t, inet::ERROR_HTTP_INVALID_SERVER_RESPONSE);
        return;
    }
    if (result != CURLE_OK) {
        fail(t, inet::errorFromCurl(result));
        return;
    }
    if (!t.headDone) {
        fail(t, inet::ERROR_HTTP_INVALID_SERVER_RESPONSE);
        return;
    }
    answer(t, false);
}

void LinkChecker::Engine::follow(Transfer &t)
{
    const std::string location = *t.redirectTo;
    const int status = t.status;
    releaseEasy(t);
    slots_.release(t.host);
    t.holdsSlot = false;
    std::string combined;
    const auto next = redirectTarget(t.target, t.url, location, combined);
    if (++t.hops > inet::maxRedirects || !next) {
        fail(t, inet::ERROR_HTTP_REDIRECT_FAILED);
        return;
    }
    if (t.permanentRun && (status == 301 || status == 308))
        t.permanentUrl = combined;
    else
        t.permanentRun = false;
    t.target = *next;
    t.url = hopUrl(t.target);
    if (const std::uint32_t refused = refusedHost(t.target.host)) {
        fail(t, refused);
        return;
    }
    // The next hop waits for room at its host like any other request.
    t.host = hostKey(t.target);
    const std::size_t index = t.index;
    parked_[index] = std::move(active_.at(index));
    active_.erase(index);
    slots_.addRedirected(index, t.host);
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
        if (t->headDone && !t->redirectTo && !t->headTooLong && t->easy)
            answer(*t, true);
        else
            fail(*t, inet::ERROR_INTERNET_TIMEOUT);
    }
}

void LinkChecker::Engine::answer(Transfer &t, bool bodyCut)
{
    LinkOutcome outcome;
    outcome.status = t.status;
    outcome.bodyCut = bodyCut;
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
    complete(t, std::move(outcome));
}

void LinkChecker::Engine::fail(Transfer &t, std::uint32_t error)
{
    LinkOutcome outcome;
    outcome.error = error;
    if (t.headDone && !t.redirectTo) {
        // The headers arrived before the body failed: the window classifies them as well.
        outcome.status = t.status;
        outcome.headerLines = headerLinesOf(t.head);
    }
    complete(t, std::move(outcome));
}

void LinkChecker::Engine::complete(Transfer &t, LinkOutcome outcome)
{
    outcome.requestedUrl = t.firstUrl;
    outcome.finalUrl = t.url;
    outcome.permanentUrl = t.permanentUrl;
    outcome.redirects = t.hops;
    outcome.elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t.started);
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
    std::size_t id = 0;
    if (t.index < firstAdded) {
        id = jobs_[t.index].id;
    } else {
        const auto added = added_.find(t.index);
        id = added->second.id;
        added_.erase(added);
    }
    (*onDone_)(id, std::move(outcome));
}

void LinkChecker::Engine::releaseEasy(Transfer &t)
{
    if (!t.easy)
        return;
    curl_multi_remove_handle(multi_, t.easy);
    idle_.push_back(t.easy);
    t.easy = nullptr;
}

void LinkChecker::Engine::abandonAll()
{
    for (auto &[id, transfer] : active_) {
        if (transfer->easy) {
            curl_multi_remove_handle(multi_, transfer->easy);
            curl_easy_cleanup(transfer->easy);
            transfer->easy = nullptr;
        }
    }
    active_.clear();
    parked_.clear();
    added_.clear();
    refused_.clear();
}

std::chrono::milliseconds LinkChecker::Engine::nextWait() const
{
    long curlWait = -1;
    curl_multi_timeout(multi_, &curlWait);
    auto wait =
        curlWait < 0 ? longestWait : std::min(longestWait, std::chrono::milliseconds(curlWait));
    const auto now = Clock::now();
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
