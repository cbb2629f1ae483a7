// Status notifications, error recording and wording, and calling handlers.

#include "http/advhttp.h"

#include "http/credentialprompt.h"
#include "http/httpnotifier.h"

#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include <QCoreApplication>
#include <QThread>

namespace quorvel
{

namespace inet = platform::inet;

namespace
{

// Windows live on the GUI thread only: a request of another thread gets no prompt.
bool promptForCredentials(const std::string &host, bool proxy, std::string &user,
                          std::string &password)
{
    const CredentialPrompt prompt = installedCredentialPrompt();
    QCoreApplication *app = QCoreApplication::instance();
    if (!prompt || !app || QThread::currentThread() != app->thread())
        return false;
    return prompt(host, proxy, user, password);
}

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

// Living components by their request context. Notifications come on the component's own
// thread, but components live on several threads.
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
        std::lock_guard lock(contextsMutex);
        const auto found = contexts.find(context);
        if (found == contexts.end())
            return;
        self = found->second;
    }
    const std::shared_ptr<bool> gone = self->m_gone;
    try {
        self->HandleStatus(status, info, infoLength);
    } catch (...) {
        // Nothing may escape into the facility: a handler's failure becomes the request's error.
        try {
            if (!*gone)
                self->RecordError(inet::ERROR_INTERNET_INTERNAL_ERROR);
        } catch (...) {
            // OnError raised as well: the request has its error, and there is no one to tell.
        }
    }
}

void TAdvHttp::HandleStatus(std::uint32_t status, const void *info, std::uint32_t infoLength)
{
    m_statusInfo = info;
    m_statusInfoLength = infoLength;
    switch (status) {
    case inet::INTERNET_STATUS_RESOLVING_NAME:
        (void)fire(m_onResolvingName);
        break;
    case inet::INTERNET_STATUS_NAME_RESOLVED:
        m_serverAddress = blockText(info, infoLength);
        (void)fire(m_onNameResolved);
        break;
    case inet::INTERNET_STATUS_CONNECTING_TO_SERVER:
        m_serverAddress = blockText(info, infoLength);
        (void)fire(m_onConnectingToServer);
        break;
    case inet::INTERNET_STATUS_CONNECTED_TO_SERVER:
        m_serverAddress = blockText(info, infoLength);
        (void)fire(m_onConnectedToServer);
        break;
    case inet::INTERNET_STATUS_SENDING_REQUEST:
        (void)fire(m_onSendingRequest);
        break;
    case inet::INTERNET_STATUS_REQUEST_SENT:
        m_bytesSent = blockCount(info, infoLength);
        (void)fire(m_onRequestSent);
        break;
    case inet::INTERNET_STATUS_RECEIVING_RESPONSE:
        (void)fire(m_onReceivingResponse);
        break;
    case inet::INTERNET_STATUS_RESPONSE_RECEIVED:
        m_bytesReceived = blockCount(info, infoLength);
        m_totalBytesReceived += m_bytesReceived;
        (void)fire(m_onResponseReceived);
        break;
    case inet::INTERNET_STATUS_CLOSING_CONNECTION:
        (void)fire(m_onClosingConnection);
        break;
    case inet::INTERNET_STATUS_CONNECTION_CLOSED:
        (void)fire(m_onConnectionClosed);
        break;
    case inet::INTERNET_STATUS_REQUEST_COMPLETE:
        if (info && infoLength >= sizeof(inet::InternetAsyncResult)) {
            inet::InternetAsyncResult result;
            std::memcpy(&result, info, sizeof result);
            (void)requestCompleted(result);
        }
        break;
    case inet::INTERNET_STATUS_REDIRECT:
        m_redirectURL = blockText(info, infoLength);
        (void)fire(m_onRedirect);
        break;
    case inet::INTERNET_STATUS_INTERMEDIATE_RESPONSE:
        (void)fire(m_onIntermediateResponse);
        break;
    case inet::INTERNET_STATUS_STATE_CHANGE:
        (void)fire(m_onStateChange);
        break;
    default:
        break;
    }
}

void TAdvHttp::RecordError(std::uint32_t code)
{
    (void)recordError(code);
}

bool TAdvHttp::recordError(std::uint32_t code)
{
    m_lastError = code;
    if (code != inet::ERROR_SUCCESS && code != inet::ERROR_IO_PENDING)
        return fire(m_onError);
    return true;
}

void TAdvHttp::CheckResult(bool result)
{
    const std::uint32_t error = result ? 0 : inet::GetLastError();
    if (!checkResultWith(result, error))
        throw EInetError(ErrorText(error));
}

bool TAdvHttp::checkResultWith(bool result, std::uint32_t error)
{
    m_lastError = inet::ERROR_SUCCESS;
    if (result || error == inet::ERROR_SUCCESS || error == inet::ERROR_IO_PENDING) {
        m_lastError = result ? inet::ERROR_SUCCESS : error;
        return true;
    }
    if (!recordError(error))
        return false;
    throw EInetError(ErrorText(error));
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

bool TAdvHttp::fire(const TNotifyEvent &handler)
{
    if (!handler || m_destroying)
        return true;
    // A copy, so a handler that assigns its own event does not free the code that runs.
    const TNotifyEvent call = handler;
    const std::shared_ptr<bool> gone = m_gone;
    try {
        call(this);
    } catch (...) {
        // A handler that destroyed its component has nobody left to raise to.
        if (*gone)
            return false;
        throw;
    }
    return !*gone;
}

bool TAdvHttp::askCredentials(bool &accepted)
{
    // Installed for every use, so a prompt set elsewhere never answers for this component.
    inet::setCredentialPrompt(&promptForCredentials);
    const std::shared_ptr<bool> gone = m_gone;
    void *data = nullptr;
    // The prompt is a dialog with its own event loop, in which anything may happen.
    const std::uint32_t answer = inet::InternetErrorDlg(
        nullptr, m_requestHandle, m_lastError,
        inet::FLAGS_ERROR_UI_FILTER_FOR_ERRORS | inet::FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
            inet::FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
        &data);
    if (*gone)
        return false;
    accepted = answer != inet::ERROR_SUCCESS && answer != inet::ERROR_CANCELLED;
    return true;
}

} // namespace quorvel
