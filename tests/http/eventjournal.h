#pragma once
// Records every event of a component with the thread it ran on and the response stage it came
// from.

#include "http/advhttp.h"

#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quorvel::test
{

struct EventJournal {
    std::vector<std::string> events;
    std::vector<std::thread::id> threads;
    std::vector<TAdvHttp::TResponseStage> stages;

    void watch(TAdvHttp &http)
    {
        const std::vector<std::pair<const char *, void (TAdvHttp::*)(TNotifyEvent)>> setters = {
            {"Resolving", &TAdvHttp::setOnResolvingName},
            {"Resolved", &TAdvHttp::setOnNameResolved},
            {"Connecting", &TAdvHttp::setOnConnectingToServer},
            {"Connected", &TAdvHttp::setOnConnectedToServer},
            {"Sending", &TAdvHttp::setOnSendingRequest},
            {"Sent", &TAdvHttp::setOnRequestSent},
            {"Receiving", &TAdvHttp::setOnReceivingResponse},
            {"Received", &TAdvHttp::setOnResponseReceived},
            {"Data", &TAdvHttp::setOnDataAvailable},
            {"Complete", &TAdvHttp::setOnRequestComplete},
            {"Error", &TAdvHttp::setOnError},
        };
        for (const auto &[name, setter] : setters) {
            (http.*setter)([this, name = std::string(name)](TAdvHttp *sender) {
                events.push_back(name);
                threads.push_back(std::this_thread::get_id());
                stages.push_back(sender->Stage());
            });
        }
    }

    int count(const std::string &event) const
    {
        int n = 0;
        for (const std::string &e : events)
            n += e == event ? 1 : 0;
        return n;
    }

    // The stage when the first block of the body came; Idle without a block.
    TAdvHttp::TResponseStage stageOfFirstBlock() const
    {
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (events[i] == "Data")
                return stages[i];
        }
        return TAdvHttp::TResponseStage::Idle;
    }
};

} // namespace quorvel::test
