// The request stages: session, connection, send, and the response stage with its
// authentication retries, header and body reads. A synchronous request runs them all on the
// caller's thread; an asynchronous one runs them on the component's thread as the facility's
// completions arrive, one step per completion.

#include "http/advhttp.h"

#include "http/guiloopdriver.h"

#include "platform/asciitext.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstring>

namespace quorvel
{

namespace inet = platform::inet;

namespace
{

constexpr std::size_t acceptSlots = 101;
constexpr std::uint32_t headerBufferSize = 8192;
constexpr std::uint32_t chunkSize = 16384;

// Counts the component's own stage code on the stack while it runs.
class InStage
{
public:
    explicit InStage(int &depth, std::shared_ptr<bool> gone) : depth_(depth), gone_(std::move(gone))
    {
        ++depth_;
    }
    ~InStage()
    {
        if (!*gone_)
            --depth_;
    }
    InStage(const InStage &) = delete;
    InStage &operator=(const InStage &) = delete;

private:
    int &depth_;
    std::shared_ptr<bool> gone_;
};

} // namespace

bool TAdvHttp::Execute(bool synchronous)
{
    m_openFlags = synchronous ? 0 : inet::INTERNET_FLAG_ASYNC;
    // A session keeps the mode it was opened with.
    if (m_sessionHandle && m_sessionFlags != m_openFlags)
        CloseSession();
    m_busy = true;
    bool result = true;
    m_cancelled = false;
    const std::uint32_t secure = m_ssl ? inet::INTERNET_FLAG_SECURE : 0;
    m_totalBytesReceived = 0;
    m_totalBytesRead = 0;
    m_bytesReceived = 0;
    m_bytesRead = 0;
    m_bodyCut = TBodyCut::None;
    releaseResponse();
    if (!m_sessionHandle)
        OpenSession();

    const std::shared_ptr<bool> gone = m_gone;
    try {
        HINTERNET connection =
            inet::InternetConnect(m_sessionHandle, m_hostName, static_cast<std::uint16_t>(m_port),
                                  nullptr, nullptr, inet::INTERNET_SERVICE_HTTP, 0, 0);
        const std::uint32_t connectError = inet::GetLastError();
        m_connectionHandle = connection;
        if (!checkResultWith(connection != nullptr, connectError))
            return result;

        const auto timeout = static_cast<std::uint32_t>(m_connectTimeout);
        inet::InternetSetOption(connection, inet::INTERNET_OPTION_CONNECT_TIMEOUT, &timeout,
                                sizeof timeout);

        const std::string objectName = m_urlPath + m_extraInfo;

        // At most 100 types; the list ends at the first empty entry.
        std::array<const char *, acceptSlots> acceptList{};
        const char *const *accept = nullptr;
        if (!m_acceptTypes.text().empty()) {
            for (std::size_t i = 0; i < m_acceptTypes.count() && i < acceptSlots - 1; ++i) {
                if (!m_acceptTypes[i].empty())
                    acceptList[i] = m_acceptTypes[i].c_str();
            }
            accept = acceptList.data();
        }

        HINTERNET request =
            inet::HttpOpenRequest(connection, m_method, objectName, nullptr, nullptr, accept,
                                  m_requestFlags | secure, m_context);
        const std::uint32_t openError = inet::GetLastError();
        m_requestHandle = request;
        if (!checkResultWith(request != nullptr, openError))
            return result;

        m_authAttempts = 0;
        handOverCredentials(connection);
        if (!SendRequest())
            return result;
    } catch (...) {
        if (*gone)
            return false;
        result = false;
        // A Cancel from a handler of the stage that raised has not ended the request yet.
        if (m_cancelled)
            CloseHandles();
        if (m_raiseExceptions)
            throw;
    }
    return result;
}

void TAdvHttp::OpenSession()
{
    const std::uint32_t access =
        m_proxy.empty() ? inet::INTERNET_OPEN_TYPE_PRECONFIG : inet::INTERNET_OPEN_TYPE_PROXY;
    // An asynchronous session's transfers are driven by this thread's event loop, so its
    // notifications, and the stages they advance, come on this thread.
    HINTERNET session = m_openFlags != 0
                            ? inet::InternetOpenOnLoop(m_userAgent, access, m_proxy,
                                                       std::make_unique<GuiLoopDriver>())
                            : inet::InternetOpen(m_userAgent, access, m_proxy, m_openFlags);
    const std::uint32_t error = inet::GetLastError();
    m_sessionHandle = session;
    m_sessionFlags = m_openFlags;
    try {
        if (!checkResultWith(session != nullptr, error))
            return;
        inet::InternetSetStatusCallback(session, &TAdvHttp::StatusCallback);
    } catch (...) {
        if (m_raiseExceptions)
            throw;
    }
}

bool TAdvHttp::CloseSession()
{
    CloseHandles();
    bool closed = true;
    if (m_sessionHandle) {
        closed = inet::InternetCloseHandle(m_sessionHandle);
        m_sessionHandle = nullptr;
    }
    return closed;
}

bool TAdvHttp::SendRequest()
{
    std::string headers;
    if (!m_requestHeaders.empty())
        headers = m_requestHeaders.text() + "\r\n";
    const bool async = m_openFlags != 0;

    // Taken before the facility counts its own limit from the same send, so the component's
    // limit always runs out first.
    m_deadline = std::chrono::steady_clock::now() + RequestTimeLimit();
    m_stage = TResponseStage::Sending;
    m_readPending = false;
    ++m_sendSerial;
    const std::shared_ptr<bool> gone = m_gone;
    // A synchronous send hands its notifications, and with them handlers, out before it returns.
    const bool sent =
        inet::HttpSendRequest(m_requestHandle, headers.empty() ? nullptr : headers.c_str(),
                              static_cast<std::uint32_t>(headers.size()),
                              m_requestBody.empty() ? nullptr : m_requestBody.data(),
                              static_cast<std::uint32_t>(m_requestBody.size()));
    const std::uint32_t error = sent ? 0 : inet::GetLastError();
    if (*gone)
        return false;
    if (!checkResultWith(sent, error))
        return false;
    if (!async)
        return ProcessResponse();
    if (sent) {
        // Finished at once: no completion will come, so the response stage starts here.
        m_stage = TResponseStage::Status;
        afterNotifications(&TAdvHttp::continueResponse);
    }
    return true;
}

bool TAdvHttp::ProcessResponse()
{
    const std::shared_ptr<bool> gone = m_gone;
    InStage inStage(m_inStage, gone);
    m_stage = TResponseStage::Status;
    bool needed = false;
    if (!CheckAuthRequired(needed))
        return false;
    if (!needed) {
        m_stage = TResponseStage::Headers;
        try {
            if (!ReadResponseHeaders())
                return false;
        } catch (...) {
            // The body is skipped; the request still completes, and the exception goes on.
            if (!fireRequestComplete())
                return false;
            throw;
        }
        m_stage = TResponseStage::Body;
        releaseResponse();
        reserveForBody();
        return readBody(false);
    }
    m_stage = TResponseStage::Authentication;
    if (m_authAttempts >= m_authRetries)
        return giveUpAuthentication();
    if (m_defaultUi) {
        bool accepted = false;
        if (!askCredentials(accepted))
            return false;
        if (!accepted)
            return giveUpAuthentication();
    }
    ++m_authAttempts;
    if (m_cancelled) {
        CloseHandles();
        return true;
    }
    return SendRequest();
}

bool TAdvHttp::fireRequestComplete()
{
    if (m_lastError == inet::ERROR_INTERNET_OPERATION_CANCELLED)
        return true;
    return fire(m_onRequestComplete);
}

bool TAdvHttp::giveUpAuthentication()
{
    if (!recordError(inet::ERROR_INTERNET_OPERATION_CANCELLED))
        return false;
    if (m_cancelled)
        CloseHandles();
    return true;
}

bool TAdvHttp::CheckAuthRequired(bool &needed)
{
    needed = false;
    std::uint32_t status = 0;
    std::uint32_t length = sizeof status;
    std::uint32_t index = 0;
    const bool queried = inet::HttpQueryInfo(
        m_requestHandle, inet::HTTP_QUERY_STATUS_CODE | inet::HTTP_QUERY_FLAG_NUMBER, &status,
        &length, &index);
    const std::uint32_t error = queried ? 0 : inet::GetLastError();
    try {
        if (!checkResultWith(queried, error))
            return false;
    } catch (...) {
        // Without a status there is nothing to authenticate; the response is still read.
        return true;
    }
    m_statusCode = static_cast<int>(status);
    if (status == 401) {
        needed = true;
        return fire(m_onNeedAuth);
    }
    if (status == 407) {
        needed = true;
        return fire(m_onNeedProxyAuth);
    }
    return true;
}

bool TAdvHttp::ReadResponseHeaders()
{
    if (!m_requestHandle)
        return true;
    std::string buffer(headerBufferSize, '\0');
    std::uint32_t length = headerBufferSize;
    std::uint32_t index = 0;
    bool queried = inet::HttpQueryInfo(m_requestHandle, inet::HTTP_QUERY_RAW_HEADERS_CRLF,
                                       buffer.data(), &length, &index);
    std::uint32_t error = queried ? 0 : inet::GetLastError();
    if (!queried && error == inet::ERROR_INSUFFICIENT_BUFFER) {
        // A long block (large cookies, security policies) is taken whole: the facility has
        // already refused any longer than it accepts, and the answer tells the size it needs.
        buffer.assign(length, '\0');
        queried = inet::HttpQueryInfo(m_requestHandle, inet::HTTP_QUERY_RAW_HEADERS_CRLF,
                                      buffer.data(), &length, &index);
        error = queried ? 0 : inet::GetLastError();
    }
    m_responseHeaders.clear();
    const std::shared_ptr<bool> gone = m_gone;
    try {
        if (!checkResultWith(queried, error))
            return false;
    } catch (...) {
        if (*gone)
            return false;
        if (m_raiseExceptions)
            throw;
        return true;
    }
    m_responseHeaders.setText(std::string(buffer.data(), ::strnlen(buffer.data(), buffer.size())));
    return true;
}

bool TAdvHttp::readBody(bool arrived)
{
    const std::shared_ptr<bool> gone = m_gone;
    std::exception_ptr failure;
    try {
        for (;;) {
            if (!arrived) {
                if (!m_requestHandle || m_cancelled)
                    break;
                if (timeIsUp()) {
                    cutBody(TBodyCut::TimeLimit);
                    break;
                }
                m_chunkRead = 0;
                const bool read = inet::InternetReadFile(m_requestHandle, m_chunk.data(), chunkSize,
                                                         &m_chunkRead);
                const std::uint32_t error = read ? 0 : inet::GetLastError();
                if (*gone)
                    return false;
                // The facility ends a body that outlives the request's time with a time-out;
                // the response itself arrived, so that is a body cut short, not a failure.
                if (!read && error == inet::ERROR_INTERNET_TIMEOUT && timeIsUp()) {
                    cutBody(TBodyCut::TimeLimit);
                    break;
                }
                if (!checkResultWith(read, error))
                    return false;
                if (!read) {
                    // Pending: the facility's completion brings the bytes (continueBody).
                    m_readPending = true;
                    return true;
                }
            }
            arrived = false;
            const std::uint32_t size = m_chunkRead;
            if (size == 0)
                break;
            const auto kept = static_cast<std::uint32_t>(
                std::min<std::size_t>(size, MaxResponseSize - m_response.size()));
            if (kept > 0) {
                m_chunkOffset = static_cast<int>(m_response.size());
                m_response.append(m_chunk.data(), kept);
                m_bytesRead = static_cast<int>(kept);
                m_totalBytesRead += static_cast<int>(kept);
                if (!fire(m_onDataAvailable))
                    return false;
            }
            if (kept < size) {
                cutBody(TBodyCut::SizeLimit);
                break;
            }
        }
    } catch (...) {
        // A failed read, or a handler that raised, ends the body.
        failure = std::current_exception();
    }
    return endBody(failure);
}

bool TAdvHttp::endBody(std::exception_ptr failure)
{
    m_readPending = false;
    CloseHandles();
    m_stage = TResponseStage::Done;
    if (!fireRequestComplete())
        return false;
    if (failure && m_raiseExceptions)
        std::rethrow_exception(failure);
    return true;
}

bool TAdvHttp::requestCompleted(const inet::InternetAsyncResult &result)
{
    // Only a send or a read that waits for the facility completes; anything else belongs to a
    // request that is over.
    const bool forSend = m_stage == TResponseStage::Sending;
    const bool forRead = m_stage == TResponseStage::Body && m_readPending;
    if (m_destroying || m_cancelled || !m_busy || (!forSend && !forRead))
        return true;
    if (forSend) {
        if (result.dwResult == 0)
            return recordError(result.dwError);
        m_stage = TResponseStage::Status;
        afterNotifications(&TAdvHttp::continueResponse);
        return true;
    }
    m_readPending = false;
    if (result.dwResult == 0) {
        if (result.dwError == inet::ERROR_INTERNET_TIMEOUT && timeIsUp()) {
            cutBody(TBodyCut::TimeLimit);
        } else if (!recordError(result.dwError)) {
            return false;
        }
        const std::shared_ptr<bool> gone = m_gone;
        InStage inStage(m_inStage, gone);
        return endBody(nullptr);
    }
    afterNotifications(&TAdvHttp::continueBody);
    return true;
}

void TAdvHttp::afterNotifications(void (TAdvHttp::*step)())
{
    // Not inside the facility's notification but once the notifications of this turn are out:
    // the step's handlers may start the next request, which then goes out at once.
    auto run = [this, step, gone = m_gone, serial = m_sendSerial] {
        if (!*gone && serial == m_sendSerial)
            (this->*step)();
    };
    if (!inet::InternetAfterNotifications(m_requestHandle, run))
        run();
}

void TAdvHttp::continueResponse()
{
    runStep([this] { return ProcessResponse(); });
}

void TAdvHttp::continueBody()
{
    runStep([this] {
        // The pending read has succeeded: it leaves no error behind.
        m_lastError = inet::ERROR_SUCCESS;
        return readBody(true);
    });
}

void TAdvHttp::runStep(const std::function<bool()> &part)
{
    const std::shared_ptr<bool> gone = m_gone;
    InStage inStage(m_inStage, gone);
    std::exception_ptr failure;
    try {
        if (!part())
            return;
    } catch (...) {
        if (*gone)
            return;
        failure = std::current_exception();
    }
    finishStep(failure);
}

void TAdvHttp::finishStep(const std::exception_ptr &failure)
{
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const EInetError &) {
            // Its OnError has already run; there is no caller to pass it on to.
        } catch (...) {
            // A handler's exception has no caller here either: it becomes the request's error.
            try {
                if (!recordError(inet::ERROR_INTERNET_INTERNAL_ERROR))
                    return;
            } catch (...) {
                // OnError raised as well: the request has its error, and there is no one to tell.
            }
        }
    }
    // A Cancel that came while the stage ran is left to it; one that stopped early (a handler
    // that raised, a failed header read) has not ended the request yet.
    if (m_cancelled && !m_readPending)
        CloseHandles();
}

bool TAdvHttp::timeIsUp() const
{
    return std::chrono::steady_clock::now() >= m_deadline;
}

void TAdvHttp::cutBody(TBodyCut why)
{
    // The response is complete as far as the caller is concerned: no error stays behind.
    m_bodyCut = why;
    m_lastError = inet::ERROR_SUCCESS;
}

void TAdvHttp::releaseResponse()
{
    // clear() would keep the capacity of the last body; the memory goes back instead.
    std::string().swap(m_response);
}

void TAdvHttp::reserveForBody()
{
    // With the announced length the body is kept in one allocation instead of being copied
    // while it doubles; a false length costs at most the limit.
    for (const std::string &line : m_responseHeaders) {
        const auto colon = line.find(':');
        if (colon == std::string::npos ||
            platform::asciiUpper(line.substr(0, colon)) != "CONTENT-LENGTH")
            continue;
        std::size_t length = 0;
        const std::string value = line.substr(colon + 1);
        const auto first = value.find_first_not_of(" \t");
        if (first == std::string::npos)
            return;
        const char *begin = value.data() + first;
        const auto [end, failure] = std::from_chars(begin, value.data() + value.size(), length);
        if (failure == std::errc() && end != begin)
            m_response.reserve(std::min(length, MaxResponseSize));
        return;
    }
}

void TAdvHttp::Cancel()
{
    m_cancelled = true;
    // Stage code below this call ends the request itself at its next check.
    if (m_inStage > 0)
        return;
    if (m_stage == TResponseStage::Body && m_readPending) {
        // The body read so far completes the request.
        const std::shared_ptr<bool> gone = m_gone;
        InStage inStage(m_inStage, gone);
        try {
            (void)endBody(nullptr);
        } catch (...) {
            // A handler's exception has no caller to reach from here but this one.
            if (*gone)
                return;
            throw;
        }
        return;
    }
    CloseHandles();
}

void TAdvHttp::CloseHandles()
{
    if (HINTERNET request = std::exchange(m_requestHandle, nullptr))
        inet::InternetCloseHandle(request);
    if (HINTERNET connection = std::exchange(m_connectionHandle, nullptr))
        inet::InternetCloseHandle(connection);
    // What was queued for the send that ends here does nothing now.
    ++m_sendSerial;
    m_stage = TResponseStage::Idle;
    m_readPending = false;
    m_cancelled = false;
    m_busy = false;
}

} // namespace quorvel
