#include "cli/hostlookup.h"

#include "inet/inet_lookup.h"

#include <algorithm>
#include <mutex>

#include <netdb.h>

namespace quorvel::cli
{

namespace inet = platform::inet;

LookupResult systemLookUp(const std::string &host)
{
    inet::HostAddresses found = inet::lookUpAddresses(host);
    LookupResult result;
    result.addresses = std::move(found.addresses);
    if (found.status == 0)
        result.kind =
            result.addresses.empty() ? LookupResult::Kind::NoSuchHost : LookupResult::Kind::Found;
    // EAI_AGAIN is a resolver that timed out or failed (SERVFAIL); EAI_FAIL and the rest are not
    // a statement about the name either.
    else if (found.status == EAI_NONAME
#ifdef EAI_NODATA
             || found.status == EAI_NODATA
#endif
    )
        result.kind = LookupResult::Kind::NoSuchHost;
    else
        result.kind = LookupResult::Kind::Failed;
    return result;
}

// Shared with the lookups, which may outlive the checker while one hangs.
struct HostLookups::Box {
    std::mutex mutex;
    struct Done {
        std::uint64_t serial;
        LookupResult result;
    };
    std::vector<Done> done;
    std::function<void()> wake;
    bool closed = false;
};

HostLookups::HostLookups(LookUpFunction lookUp, std::size_t atOnce, std::function<void()> wake)
    : lookUp_(lookUp ? std::move(lookUp) : LookUpFunction(systemLookUp)),
      atOnce_(std::max<std::size_t>(atOnce, 1)), box_(std::make_shared<Box>())
{
    box_->wake = std::move(wake);
}

HostLookups::~HostLookups()
{
    const std::lock_guard lock(box_->mutex);
    box_->closed = true;
}

void HostLookups::start(const std::string &host)
{
    if (runningList_.size() < atOnce_)
        launch(host);
    else
        queued_.push_back(host);
}

void HostLookups::launch(const std::string &host)
{
    const std::uint64_t serial = ++lastSerial_;
    runningList_.push_back({host, serial, std::chrono::steady_clock::now()});
    inet::lookUpBeside([box = box_, lookUp = lookUp_, host, serial] {
        LookupResult result = lookUp(host);
        const std::lock_guard lock(box->mutex);
        if (box->closed)
            return;
        box->done.push_back({serial, std::move(result)});
        if (box->wake)
            box->wake();
    });
}

std::vector<HostLookups::Answer> HostLookups::take(std::chrono::milliseconds limit)
{
    std::vector<Box::Done> done;
    {
        const std::lock_guard lock(box_->mutex);
        done.swap(box_->done);
    }
    std::vector<Answer> answers;
    for (Box::Done &d : done) {
        const auto found = std::find_if(runningList_.begin(), runningList_.end(),
                                        [&](const Running &r) { return r.serial == d.serial; });
        if (found == runningList_.end())
            continue; // timed out already
        answers.push_back({found->host, std::move(d.result)});
        runningList_.erase(found);
    }
    const auto now = std::chrono::steady_clock::now();
    for (auto it = runningList_.begin(); it != runningList_.end();) {
        if (now - it->started >= limit) {
            answers.push_back({it->host, LookupResult{}});
            it = runningList_.erase(it);
        } else {
            ++it;
        }
    }
    while (runningList_.size() < atOnce_ && !queued_.empty()) {
        launch(queued_.front());
        queued_.pop_front();
    }
    return answers;
}

std::chrono::steady_clock::time_point
HostLookups::nextLimit(std::chrono::milliseconds limit) const
{
    auto next = std::chrono::steady_clock::time_point::max();
    for (const Running &r : runningList_)
        next = std::min(next, r.started + limit);
    return next;
}

} // namespace quorvel::cli
