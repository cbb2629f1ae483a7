// Response stages on the GUI thread: a widget-owned component whose session the GUI thread's
// event loop drives gets its notifications there, and a response that arrived whole needs no
// worker, so its stage runs there too and no event crosses a thread. Handlers then run directly,
// under frames that let one of them destroy the component.

#include "http/advhttp.h"

#include "http/advhttp_private.h"
#include "http/httpnotifier.h"

#include <QMetaObject>

namespace quorvel
{

namespace inet = platform::inet;

bool TAdvHttp::startStageLocked()
{
    // A stage still running (one that sent again) keeps its order on the worker; so does a body
    // still arriving, whose reads would wait, and the GUI thread must never wait for the network.
    QObject *notifier = m_onLoop ? HttpNotifier::instance() : nullptr;
    if (!notifier || m_destroying || m_stage != 0 || !m_stageQueue.empty() ||
        !inet::InternetResponseComplete(RequestHandle())) {
        startWorkerLocked();
        return true;
    }
    m_stage = ++m_lastStage;
    m_stageThread = std::this_thread::get_id();
    // Not run here, inside the facility's notification, but once the notifications of this turn
    // are delivered: the stage's handlers may start the next request, which then runs at once.
    auto run = [this, slot = m_handOver, stage = m_stage] {
        if (!slot->abandoned)
            runStageHere(stage);
    };
    if (!inet::InternetAfterNotifications(run))
        QMetaObject::invokeMethod(notifier, run, Qt::QueuedConnection);
    return false;
}

void TAdvHttp::runStageHere(std::uint64_t stage)
{
    {
        // The request was ended meanwhile (closed, or cancelled and closed).
        std::lock_guard lock(m_workerMutex);
        if (m_stage != stage)
            return;
    }
    Frame frame(this, false);
    try {
        runStage(stage);
    } catch (const ComponentGone &) {
    }
}

bool TAdvHttp::goneHere(const TAdvHttp *component)
{
    for (const Frame *frame = Frame::innermost; frame; frame = frame->outer) {
        if (frame->component == component && frame->gone)
            return true;
    }
    return false;
}

int TAdvHttp::markFramesGoneHere()
{
    int callbacks = 0;
    for (Frame *frame = Frame::innermost; frame; frame = frame->outer) {
        if (frame->component != this)
            continue;
        frame->gone = true;
        if (frame->counted)
            ++callbacks;
    }
    return callbacks;
}

} // namespace quorvel
