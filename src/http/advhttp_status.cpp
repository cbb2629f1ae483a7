// Status notifications, error recording and wording, and carrying handlers over to the GUI
// thread.

#include "http/advhttp.h"

#include "http/advhttp_private.h"
#include "http/credentialprompt.h"
#include "http/httpnotifier.h"

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace quorvel
{

namespace inet = platform::inet;

namespace
{

std::string blockText(const void *info, std::uint32_t length)
{
    if (!info)
        return {};
    const auto *text = static_cast<const char *>(info);
    return std::string(text, ::strnlen(text, length));
}

int blockCount(const void *info, std::uint32_t length)
{
    std::uint32_t count = 0;
    if (info && length >= sizeof count)
        std::memcpy(&count, info, sizeof count);
    return static_cast<int>(count);
}

// The component whose response stage is asking the facility for credentials on this thread.
thread_local TAdvHttp *promptingComponent = nullptr;

// Living components by their request context.
std::mutex contextsMutex;
std::unordered_map<std::uintptr_t, TAdvHttp *> contexts;
std::uintptr_t lastContext = 0;

} // namespace

void TAdvHttp::enlistForNotifications()
{
    std::lock_guard lock(contextsMutex);
    m_context = ++lastContext;
    contexts.emplace(m_context, this);
}

void TAdvHttp::delistFromNotifications()
{
    std::lock_guard lock(contextsMutex);
    contexts.erase(m_context);
}

void TAdvHttp::StatusCallback(HINTERNET, std::uintptr_t context, std::uint32_t status,
                              const void *info, std::uint32_t infoLength)
{
    TAdvHttp *self = nullptr;
    {
        // Counted while the component is known to live; destruction waits for the count.
        std::lock_guard lock(contextsMutex);
        const auto found = contexts.find(context);
        if (found == contexts.end())
            return;
        self = found->second;
        ++self->m_callbacksInFlight;
    }
    Frame frame(self, true);
    try {
        self->HandleStatus(status, info, infoLength);
    } catch (const ComponentGone &) {
    } catch (...) {
        // Nothing may escape into the facility: a handler's failure becomes the request's error.
        try {
            if (!frame.gone)
                self->RecordError(inet::ERROR_INTERNET_INTERNAL_ERROR);
        } catch (...) {
            // OnError raised as well, or destroyed the component (frame.gone tells): the
            // request has its error either way, and the facility's thread has no one to tell.
        }
    }
    if (!frame.gone)
        --self->m_callbacksInFlight;
}

void TAdvHttp::HandleStatus(std::uint32_t status, const void *info, std::uint32_t infoLength)
{
    m_statusInfo = info;
    m_statusInfoLength = infoLength;
    switch (status) {
    case inet::INTERNET_STATUS_RESOLVING_NAME:
        fire(m_onResolvingName);
        break;
    case inet::INTERNET_STATUS_NAME_RESOLVED:
        m_serverAddress = blockText(info, infoLength);
        fire(m_onNameResolved);
        break;
    case inet::INTERNET_STATUS_CONNECTING_TO_SERVER:
        m_serverAddress = blockText(info, infoLength);
        fire(m_onConnectingToServer);
        break;
    case inet::INTERNET_STATUS_CONNECTED_TO_SERVER:
        m_serverAddress = blockText(info, infoLength);
        fire(m_onConnectedToServer);
        break;
    case inet::INTERNET_STATUS_SENDING_REQUEST:
        fire(m_onSendingRequest);
        break;
    case inet::INTERNET_STATUS_REQUEST_SENT:
        m_bytesSent = blockCount(info, infoLength);
        fire(m_onRequestSent);
        break;
    case inet::INTERNET_STATUS_RECEIVING_RESPONSE:
        // The response is here: its stage and its events follow at once.
        fire(m_onReceivingResponse, NextEvent::AtOnce);
        break;
    case inet::INTERNET_STATUS_RESPONSE_RECEIVED:
        m_bytesReceived = blockCount(info, infoLength);
        m_totalBytesReceived += m_bytesReceived;
        fire(m_onResponseReceived, NextEvent::AtOnce);
        break;
    case inet::INTERNET_STATUS_CLOSING_CONNECTION:
        fire(m_onClosingConnection);
        break;
    case inet::INTERNET_STATUS_CONNECTION_CLOSED:
        fire(m_onConnectionClosed);
        break;
    case inet::INTERNET_STATUS_REQUEST_COMPLETE:
        if (info && infoLength >= sizeof(inet::InternetAsyncResult)) {
            inet::InternetAsyncResult result;
            std::memcpy(&result, info, sizeof result);
            requestCompleted(result);
        }
        break;
    case inet::INTERNET_STATUS_REDIRECT:
        m_redirectURL = blockText(info, infoLength);
        fire(m_onRedirect);
        break;
    case inet::INTERNET_STATUS_INTERMEDIATE_RESPONSE:
        fire(m_onIntermediateResponse);
        break;
    case inet::INTERNET_STATUS_STATE_CHANGE:
        fire(m_onStateChange);
        break;
    default:
        break;
    }
}

void TAdvHttp::RecordError(std::uint32_t code)
{
    m_lastError = code;
    if (code != inet::ERROR_SUCCESS && code != inet::ERROR_IO_PENDING)
        fire(m_onError);
}

void TAdvHttp::CheckResult(bool result)
{
    checkResultWith(result, result ? 0 : inet::GetLastError());
}

void TAdvHttp::checkResultWith(bool result, std::uint32_t error)
{
    RecordError(inet::ERROR_SUCCESS);
    if (!result)
        RecordError(error);
    const std::uint32_t code = LastError();
    if (code != inet::ERROR_SUCCESS && code != inet::ERROR_IO_PENDING)
        throw EInetError(ErrorText(code));
}

std::string TAdvHttp::ErrorText(std::uint32_t code)
{
    std::string message = inet::FormatMessage(code);
    if (code == inet::ERROR_INTERNET_EXTENDED_ERROR) {
        std::uint32_t extended = 0;
        std::vector<char> response(4097, '\0');
        std::uint32_t length = 4097;
        inet::InternetGetLastResponseInfo(&extended, response.data(), &length);
        const std::string text(response.data(), ::strnlen(response.data(), 4096));
        message += "\r\nExtended error:" + std::to_string(static_cast<std::int32_t>(extended)) +
                   " - " + text + "\r\n";
    }
    return message;
}

void TAdvHttp::fire(const TNotifyEvent &handler, NextEvent next)
{
    if (handler)
        SyncCall(handler, next);
}

void TAdvHttp::SyncCall(const TNotifyEvent &handler, NextEvent next)
{
    if (m_destroying)
        return;
    if (m_useNotifyWindow) {
        handToGui(HttpNotifier::instance(), handler, {}, next == NextEvent::AtOnce);
        return;
    }
    // A copy, so a handler that assigns its own event does not free the code that runs.
    const TNotifyEvent call = handler;
    call(this);
}

bool TAdvHttp::runOnGuiThread(QObject *target, const std::function<void()> &work)
{
    return handToGui(target, {}, work, false);
}

bool TAdvHttp::handToGui(QObject *target, const TNotifyEvent &handler,
                         const std::function<void()> &work, bool atOnce)
{
    if (!target || m_destroying)
        return false;
    if (QThread::currentThread() == target->thread()) {
        if (handler) {
            // A copy, so a handler that assigns its own event does not free the code that runs.
            const TNotifyEvent call = handler;
            call(this);
            if (goneHere(this))
                throw ComponentGone{};
        } else {
            work();
        }
        return true;
    }
    // One hand-over at a time per component, so one call's handler and exception are never
    // overwritten by another's.
    std::lock_guard serial(m_syncCallMutex);
    HandOver &slot = *m_handOver;
    {
        std::lock_guard lock(slot.mutex);
        if (slot.abandoned)
            return false;
        slot.handler = handler;
        slot.sender = this;
        slot.work = work;
        slot.pending = true;
        slot.atOnce = atOnce;
        slot.exception = nullptr;
        slot.done = false;
    }
    if (!slot.offer()) {
        slot.posted = true;
        HandOver::post(target, m_handOver);
    }
    const auto settled = [&slot] { return slot.done.load() || slot.abandoned.load(); };
    if (!atOnce || !HandOver::spinUntil(HandOver::waitLimit, settled)) {
        std::unique_lock lock(slot.mutex);
        slot.finished.wait(lock, settled);
    }
    bool ran = false;
    std::exception_ptr failure;
    TNotifyEvent unused;
    std::function<void()> unusedWork;
    {
        std::lock_guard lock(slot.mutex);
        ran = slot.done;
        // Taken out, so the exception is released on this thread, never by the GUI thread.
        failure = std::move(slot.exception);
        // Work abandoned before it ran is freed here, outside the lock.
        slot.pending = false;
        unused = std::move(slot.handler);
        unusedWork = std::move(slot.work);
    }
    if (failure)
        std::rethrow_exception(failure);
    return ran;
}

void TAdvHttp::abandonSyncCalls()
{
    m_destroying = true;
    {
        std::lock_guard lock(m_handOver->mutex);
        m_handOver->abandoned = true;
    }
    m_handOver->finished.notify_all();
}

bool TAdvHttp::askCredentials()
{
    // Installed for every use, so a prompt set elsewhere never answers for this component.
    inet::setCredentialPrompt(&TAdvHttp::promptForCredentials);

    promptingComponent = this;
    void *data = nullptr;
    const std::uint32_t answer = inet::InternetErrorDlg(
        nullptr, RequestHandle(), LastError(),
        inet::FLAGS_ERROR_UI_FILTER_FOR_ERRORS | inet::FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
            inet::FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
        &data);
    promptingComponent = nullptr;
    return answer != inet::ERROR_SUCCESS && answer != inet::ERROR_CANCELLED;
}

bool TAdvHttp::promptForCredentials(const std::string &host, bool proxy, std::string &user,
                                    std::string &password)
{
    const CredentialPrompt prompt = installedCredentialPrompt();
    if (!prompt)
        return false;
    // The prompt is a window, and windows live on the GUI thread only: it is handed over like an
    // event. The answer is shared, as destruction may release this thread while it is open.
    struct Answer {
        std::string host;
        bool proxy = false;
        std::string user;
        std::string password;
        bool accepted = false;
    };
    auto answer = std::make_shared<Answer>(Answer{host, proxy, user, std::string(), false});
    auto ask = [answer, prompt] {
        answer->accepted = prompt(answer->host, answer->proxy, answer->user, answer->password);
    };

    QObject *gui = QCoreApplication::instance();
    TAdvHttp *component = promptingComponent;
    bool ran = false;
    if (gui && QThread::currentThread() == gui->thread()) {
        ask();
        ran = true;
    } else if (gui && component) {
        QObject *target = component->m_useNotifyWindow ? HttpNotifier::instance() : gui;
        try {
            ran = component->runOnGuiThread(target, ask);
        } catch (...) {
            ran = false;
        }
    }
    if (!ran || !answer->accepted)
        return false;
    user = answer->user;
    password = answer->password;
    return true;
}

} // namespace quorvel
