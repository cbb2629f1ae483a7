#include "cli/deepstage.h"

#include "cli/requesttarget.h"
#include "deep/probe.h"

namespace quorvel::cli
{

namespace
{

bool isSuccess(int status)
{
    return status >= 200 && status <= 299;
}

deep::DeepAnswer answerOf(LinkOutcome &outcome)
{
    // A request that failed after its headers has no answer to read.
    const int status = outcome.error == 0 ? outcome.status : 0;
    deep::DeepAnswer answer = deep::readAnswer(outcome.requestedUrl, outcome.finalUrl, status,
                                               outcome.contentType, outcome.body);
    // The page's text is all that is needed from here on.
    std::string().swap(outcome.body);
    return answer;
}

} // namespace

DeepStage::DeepStage(const deep::ParkingPhrases &phrases, std::size_t firstProbeId,
                     ProbeSender send, Settled settled)
    : phrases_(phrases), nextProbeId_(firstProbeId), send_(std::move(send)),
      settled_(std::move(settled))
{
}

DeepStage::~DeepStage() = default;

void DeepStage::expect(const std::string &linkUrl)
{
    counting_ = true;
    // Keyed by the URL as it is requested, as the link's outcome will name it.
    std::uint32_t error = 0;
    const auto target = prepareRequest(linkUrl, error);
    if (!target)
        return;
    const std::string key = deep::probeKey(hopUrl(*target));
    if (!key.empty())
        ++directories_[key].linksToCome;
}

void DeepStage::linkAnswered(std::size_t link, LinkOutcome outcome, CheckResult result)
{
    const std::string key = deep::probeKey(outcome.requestedUrl);
    if (result.kind != ResultKind::Alive || !isSuccess(outcome.status)) {
        settle(link, std::move(result), {});
        linkDone(key);
        return;
    }
    deep::DeepAnswer answer = answerOf(outcome);
    const deep::DeepVerdict verdict = deep::judgeLink(answer, nullptr, phrases_);
    if (!deep::wantsProbe(answer, verdict) || key.empty()) {
        settle(link, std::move(result), verdict);
        linkDone(key);
        return;
    }

    Directory &directory = directories_[key];
    if (directory.probe) {
        settle(link, std::move(result), deep::judgeLink(answer, directory.probe.get(), phrases_));
        linkDone(key);
        return;
    }
    directory.waiting.push_back(Waiting{link, std::move(answer), std::move(result)});
    ++waiting_;
    if (directory.asked)
        return;
    directory.asked = true;
    const std::size_t id = nextProbeId_++;
    probeKeys_.emplace(id, key);
    ++probesSent_;
    send_(id, deep::probeAddress(outcome.requestedUrl));
}

bool DeepStage::isProbe(std::size_t id) const
{
    return probeKeys_.count(id) != 0;
}

void DeepStage::probeAnswered(std::size_t id, LinkOutcome outcome)
{
    const auto found = probeKeys_.find(id);
    if (found == probeKeys_.end())
        return;
    const std::string key = std::move(found->second);
    probeKeys_.erase(found);
    Directory &directory = directories_[key];
    directory.probe = std::make_unique<deep::DeepAnswer>(answerOf(outcome));

    std::vector<Waiting> waiting = std::move(directory.waiting);
    directory.waiting.clear();
    waiting_ -= waiting.size();
    for (Waiting &w : waiting)
        settle(w.link, std::move(w.result),
               deep::judgeLink(w.answer, directory.probe.get(), phrases_));
    // Dropped only now: the answer was in use until the last of them was judged.
    for (std::size_t i = 0; i < waiting.size(); ++i)
        linkDone(key);
}

void DeepStage::settle(std::size_t link, CheckResult result, const deep::DeepVerdict &verdict)
{
    if (verdict.suspect()) {
        result.kind = ResultKind::Suspect;
        result.reason = deep::reasonText(verdict.reason);
        result.evidence = verdict.evidence;
    }
    settled_(link, std::move(result));
}

void DeepStage::linkDone(const std::string &key)
{
    if (!counting_ || key.empty())
        return;
    const auto found = directories_.find(key);
    if (found == directories_.end())
        return;
    Directory &directory = found->second;
    if (directory.linksToCome > 0)
        --directory.linksToCome;
    if (directory.linksToCome == 0 && directory.waiting.empty() &&
        (!directory.asked || directory.probe))
        directories_.erase(found);
}

} // namespace quorvel::cli
