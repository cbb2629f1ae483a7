#pragma once
// --deep: a second look at the links that answered 2xx, for the dead pages behind them (a
// site's "not found" page served with 200, an old address sent to the home page, a parked
// domain). Where the verdict depends on how the site answers for a page it does not have, the
// site is asked once per host and directory for an address that cannot exist (a probe), and
// the links of that directory wait for its answer as page text; their bodies are gone by then.
// A probe's answer is kept only while links of its directory are still to come.

#include "cli/checkresult.h"
#include "cli/linkchecker.h"
#include "deep/parking.h"
#include "deep/verdict.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvel::cli
{

class DeepStage
{
public:
    // Receives a link's final result: at once, or when its directory's probe has answered.
    using Settled = std::function<void(std::size_t link, CheckResult result)>;
    // Sends a probe, whose outcome is to come back to probeAnswered with this id.
    using ProbeSender = std::function<void(std::size_t id, std::string url)>;

    // Probe ids count up from firstProbeId, which must be above every link's id.
    DeepStage(const deep::ParkingPhrases &phrases, std::size_t firstProbeId, ProbeSender send,
              Settled settled);
    ~DeepStage();
    DeepStage(const DeepStage &) = delete;
    DeepStage &operator=(const DeepStage &) = delete;

    // Announces a link (its URL as the shortcut holds it) before the run, so that a probe's
    // answer is dropped once the last link of its directory is settled. Without announcements
    // probe answers are kept for the whole run.
    void expect(const std::string &linkUrl);

    // A link's request ended, and result is its verdict by the window's rule. Alive links that
    // answered 2xx are judged again from the kept start of their body.
    void linkAnswered(std::size_t link, LinkOutcome outcome, CheckResult result);

    bool isProbe(std::size_t id) const;
    void probeAnswered(std::size_t id, LinkOutcome outcome);

    // Links waiting for a probe, each holding its page's text.
    std::size_t waiting() const { return waiting_; }
    std::size_t probesSent() const { return probesSent_; }

private:
    struct Waiting {
        std::size_t link;
        deep::DeepAnswer answer;
        CheckResult result;
    };
    struct Directory {
        std::size_t linksToCome = 0; // announced links not yet settled
        bool asked = false;
        std::unique_ptr<deep::DeepAnswer> probe; // once answered
        std::vector<Waiting> waiting;
    };

    void settle(std::size_t link, CheckResult result, const deep::DeepVerdict &verdict);
    // One link of the directory is settled; its probe's answer goes with the last.
    void linkDone(const std::string &key);

    const deep::ParkingPhrases &phrases_;
    std::size_t nextProbeId_;
    ProbeSender send_;
    Settled settled_;
    bool counting_ = false; // links were announced
    std::unordered_map<std::string, Directory> directories_;
    std::unordered_map<std::size_t, std::string> probeKeys_; // by probe id
    std::size_t waiting_ = 0;
    std::size_t probesSent_ = 0;
};

} // namespace quorvel::cli
