// The request stages: session, connection, send, and the response stage with its
// authentication retries, header and body reads.

#include "http/advhttp.h"

#include "http/advhttp_private.h"
#include "http/guiloopdriver.h"
#include "http/httpnotifier.h"

#include "platform/asciitext.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstring>

#include <QMetaObject>
#include <QThread>

namespace quorvel
{

namespace inet = platform::inet;

namespace
{

constexpr std::size_t acceptSlots = 101;
constexpr std::uint32_t headerBufferSize = 8192;
constexpr std::uint32_t chunkSize = 16384;

} // namespace

bool TAdvHttp::Execute(bool synchronous)
{
    m_openFlags = synchronous ? 0 : inet::INTERNET_FLAG_ASYNC;
    // A session keeps the mode it was opened with; answering a synchronous request from an
    // asynchronous session would run the response stage twice.
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

    try {
        HINTERNET connection =
            inet::InternetConnect(m_sessionHandle, m_hostName, static_cast<std::uint16_t>(m_port),
                                  nullptr, nullptr, inet::INTERNET_SERVICE_HTTP, 0, 0);
        const std::uint32_t connectError = inet::GetLastError();
        m_connectionHandle = connection;
        checkResultWith(connection != nullptr, connectError);

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
        checkResultWith(request != nullptr, openError);

        m_authAttempts = 0;
        handOverCredentials(connection);
        SendRequest();
    } catch (const ComponentGone &) {
        throw;
    } catch (...) {
        result = false;
        if (m_raiseExceptions)
            throw;
    }
    return result;
}

void TAdvHttp::OpenSession()
{
    const std::uint32_t access =
        m_proxy.empty() ? inet::INTERNET_OPEN_TYPE_PRECONFIG : inet::INTERNET_OPEN_TYPE_PROXY;
    // A widget-owned component's handlers run on the GUI thread, so its asynchronous transfers
    // are driven from there too: nothing is handed between threads for them.
    QObject *notifier = HttpNotifier::instance();
    const bool onLoop = m_openFlags != 0 && m_useNotifyWindow && notifier &&
                        QThread::currentThread() == notifier->thread();
    HINTERNET session =
        onLoop ? inet::InternetOpenOnLoop(m_userAgent, access, m_proxy,
                                          std::make_unique<GuiLoopDriver>())
               : inet::InternetOpen(m_userAgent, access, m_proxy, m_openFlags);
    const std::uint32_t error = inet::GetLastError();
    m_onLoop = onLoop && session;
    m_sessionHandle = session;
    m_sessionFlags = m_openFlags;
    try {
        checkResultWith(session != nullptr, error);
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

void TAdvHttp::SendRequest()
{
    std::string headers;
    if (!m_requestHeaders.empty())
        headers = m_requestHeaders.text() + "\r\n";
    const bool async = m_openFlags != 0;

    {
        // Taken before the facility counts its own limit from the same send, so the component's
        // limit always runs out first. The worker and the facility's thread read it.
        std::lock_guard lock(m_workerMutex);
        m_deadline = std::chrono::steady_clock::now() + RequestTimeLimit();
        if (async)
            m_pending = Pending::Send;
    }
    const bool sent =
        inet::HttpSendRequest(RequestHandle(), headers.empty() ? nullptr : headers.c_str(),
                              static_cast<std::uint32_t>(headers.size()),
                              m_requestBody.empty() ? nullptr : m_requestBody.data(),
                              static_cast<std::uint32_t>(m_requestBody.size()));
    const std::uint32_t error = sent ? 0 : inet::GetLastError();

    if (async) {
        std::unique_lock lock(m_workerMutex);
        if (!sent && error == inet::ERROR_IO_PENDING) {
            // The completion may already have started the response stage, whose errors must
            // not be overwritten by this pending mark.
            if (m_pending == Pending::Send) {
                RecordError(0);
                RecordError(inet::ERROR_IO_PENDING);
            }
            return;
        }
        if (m_pending == Pending::Send)
            m_pending = Pending::None;
        if (sent) {
            // Finished at once: no completion will come, so the response stage starts here.
            RecordError(0);
            startWorkerLocked();
            lock.unlock();
            m_workerWake.notify_all();
            return;
        }
    }
    checkResultWith(sent, error);
    if (!async)
        ProcessResponse();
}

void TAdvHttp::ProcessResponse()
{
    if (!CheckAuthRequired()) {
        try {
            ReadResponseHeaders();
            ReadResponseBody();
        } catch (const ComponentGone &) {
            throw;
        } catch (...) {
            fireRequestComplete();
            throw;
        }
        fireRequestComplete();
        return;
    }
    if (m_authAttempts >= m_authRetries) {
        giveUpAuthentication();
        return;
    }
    if (m_defaultUi && !askCredentials()) {
        giveUpAuthentication();
        return;
    }
    ++m_authAttempts;
    if (m_cancelled)
        CloseHandles();
    else
        SendRequest();
}

void TAdvHttp::fireRequestComplete()
{
    if (LastError() != inet::ERROR_INTERNET_OPERATION_CANCELLED)
        fire(m_onRequestComplete);
}

void TAdvHttp::giveUpAuthentication()
{
    RecordError(inet::ERROR_INTERNET_OPERATION_CANCELLED);
    if (m_cancelled)
        CloseHandles();
}

bool TAdvHttp::CheckAuthRequired()
{
    std::uint32_t status = 0;
    try {
        std::uint32_t length = sizeof status;
        std::uint32_t index = 0;
        const bool queried = inet::HttpQueryInfo(
            RequestHandle(), inet::HTTP_QUERY_STATUS_CODE | inet::HTTP_QUERY_FLAG_NUMBER, &status,
            &length, &index);
        checkResultWith(queried, queried ? 0 : inet::GetLastError());
    } catch (const ComponentGone &) {
        throw;
    } catch (...) {
        // Without a status there is nothing to authenticate; the response is still read.
        return false;
    }
    m_statusCode = static_cast<int>(status);
    if (status == 401) {
        fire(m_onNeedAuth);
        return true;
    }
    if (status == 407) {
        fire(m_onNeedProxyAuth);
        return true;
    }
    return false;
}

void TAdvHttp::ReadResponseHeaders()
{
    if (!RequestHandle())
        return;
    std::string buffer(headerBufferSize, '\0');
    std::uint32_t length = headerBufferSize;
    std::uint32_t index = 0;
    bool queried = inet::HttpQueryInfo(RequestHandle(), inet::HTTP_QUERY_RAW_HEADERS_CRLF,
                                       buffer.data(), &length, &index);
    std::uint32_t error = queried ? 0 : inet::GetLastError();
    if (!queried && error == inet::ERROR_INSUFFICIENT_BUFFER) {
        // A long block (large cookies, security policies) is taken whole: the facility has
        // already refused any longer than it accepts, and the answer tells the size it needs.
        buffer.assign(length, '\0');
        queried = inet::HttpQueryInfo(RequestHandle(), inet::HTTP_QUERY_RAW_HEADERS_CRLF,
                                      buffer.data(), &length, &index);
        error = queried ? 0 : inet::GetLastError();
    }
    m_responseHeaders.clear();
    try {
        checkResultWith(queried, error);
    } catch (const ComponentGone &) {
        throw;
    } catch (...) {
        if (m_raiseExceptions)
            throw;
        return;
    }
    m_responseHeaders.setText(std::string(buffer.data(), ::strnlen(buffer.data(), buffer.size())));
}

void TAdvHttp::ReadResponseBody()
{
    releaseResponse();
    reserveForBody();
    const bool async = m_openFlags != 0;
    try {
        for (;;) {
            if (!RequestHandle() || m_cancelled)
                break;
            if (timeIsUp()) {
                cutBody(TBodyCut::TimeLimit);
                break;
            }
            if (async) {
                std::lock_guard lock(m_workerMutex);
                m_pending = Pending::Read;
                m_readCompleted = false;
                m_readTimedOut = false;
            }
            m_chunkRead = 0;
            const bool read =
                inet::InternetReadFile(RequestHandle(), m_chunk.data(), chunkSize, &m_chunkRead);
            const std::uint32_t error = read ? 0 : inet::GetLastError();
            if (async && !(!read && error == inet::ERROR_IO_PENDING)) {
                std::lock_guard lock(m_workerMutex);
                m_pending = Pending::None;
            }
            // The facility ends a body that outlives the request's time with a time-out; the
            // response itself arrived, so that is a body cut short, not a failed request.
            if (!read && error == inet::ERROR_INTERNET_TIMEOUT && timeIsUp()) {
                cutBody(TBodyCut::TimeLimit);
                break;
            }
            checkResultWith(read, error);
            if (!read) {
                const ReadWait wait = waitForRead();
                if (wait == ReadWait::Stopped)
                    continue;
                if (wait == ReadWait::TimeUp) {
                    cutBody(TBodyCut::TimeLimit);
                    break;
                }
                // The pending read has succeeded: it leaves no error behind.
                RecordError(inet::ERROR_SUCCESS);
            }
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
                // The next block, or the end, is usually there already.
                fire(m_onDataAvailable, NextEvent::AtOnce);
            }
            if (kept < size) {
                cutBody(TBodyCut::SizeLimit);
                break;
            }
        }
    } catch (const ComponentGone &) {
        throw;
    } catch (...) {
        CloseHandles();
        if (m_raiseExceptions)
            throw;
        return;
    }
    CloseHandles();
}

TAdvHttp::ReadWait TAdvHttp::waitForRead()
{
    std::unique_lock lock(m_workerMutex);
    const bool woken = m_workerWake.wait_until(lock, m_deadline, [this] {
        return m_readCompleted || m_readTimedOut || m_cancelled.load() || m_destroying.load();
    });
    ReadWait result = ReadWait::Stopped;
    if (m_readCompleted)
        result = ReadWait::Completed;
    else if (m_readTimedOut || (!woken && !m_cancelled.load() && !m_destroying.load()))
        result = ReadWait::TimeUp;
    m_readCompleted = false;
    m_readTimedOut = false;
    m_pending = Pending::None;
    return result;
}

bool TAdvHttp::timeIsUp() const
{
    std::lock_guard lock(m_workerMutex);
    return timeIsUpLocked();
}

bool TAdvHttp::timeIsUpLocked() const
{
    return std::chrono::steady_clock::now() >= m_deadline;
}

void TAdvHttp::cutBody(TBodyCut why)
{
    // The response is complete as far as the caller is concerned: no error stays behind.
    m_bodyCut = why;
    RecordError(inet::ERROR_SUCCESS);
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
    {
        std::lock_guard lock(m_workerMutex);
        m_cancelled = true;
        if (m_stage != 0) {
            // The worker ends the request itself at its next check.
            m_workerWake.notify_all();
            return;
        }
    }
    CloseHandles();
}

void TAdvHttp::CloseHandles()
{
    if (HINTERNET request = m_requestHandle.exchange(nullptr))
        inet::InternetCloseHandle(request);
    if (HINTERNET connection = m_connectionHandle.exchange(nullptr))
        inet::InternetCloseHandle(connection);
    // Under the lock, so a late completion sees either the request or its end, never a mix.
    std::lock_guard lock(m_workerMutex);
    m_stage = 0;
    m_pending = Pending::None;
    m_cancelled = false;
    m_busy = false;
}

void TAdvHttp::requestCompleted(const inet::InternetAsyncResult &result)
{
    if (m_destroying)
        return;
    if (result.dwResult == 0) {
        {
            std::lock_guard lock(m_workerMutex);
            // A completion that overtook Cancel belongs to a request that is over.
            if (requestOverLocked())
                return;
            if (m_pending == Pending::Read && result.dwError == inet::ERROR_INTERNET_TIMEOUT &&
                timeIsUpLocked()) {
                // The facility's limit for the same send: the reader cuts the body short.
                m_readTimedOut = true;
                m_pending = Pending::None;
                m_workerWake.notify_all();
                return;
            }
            if (m_pending == Pending::Send)
                m_pending = Pending::None;
        }
        RecordError(result.dwError);
        return;
    }
    bool forWorker = true;
    {
        std::lock_guard lock(m_workerMutex);
        if (requestOverLocked())
            return;
        switch (m_pending) {
        case Pending::Read:
            m_readCompleted = true;
            m_pending = Pending::None;
            break;
        case Pending::Send:
            // Also when the stage that resent is still finishing: this is a new response.
            m_pending = Pending::None;
            forWorker = startStageLocked();
            break;
        case Pending::None:
            if (m_stage != 0)
                m_readCompleted = true;
            else
                forWorker = startStageLocked();
            break;
        }
    }
    // Once the lock is let go, so the worker does not wake only to wait for it; a stage on this
    // thread leaves it asleep.
    if (forWorker)
        m_workerWake.notify_all();
}

bool TAdvHttp::requestOverLocked() const
{
    // Cancel marks under the worker lock, so a stage that would start after it sees the mark.
    return m_cancelled.load() || !m_busy.load();
}

void TAdvHttp::startWorkerLocked()
{
    if (m_destroying)
        return;
    // The stage's first event goes to the GUI thread at once; that thread is woken now, while
    // the worker wakes, instead of after it.
    if (m_useNotifyWindow &&
        (m_onNeedAuth || m_onNeedProxyAuth || m_onDataAvailable || m_onRequestComplete)) {
        if (QObject *notifier = HttpNotifier::instance())
            HandOver::post(notifier, m_handOver, true);
    }
    // One worker lives as long as the component and runs each response stage in turn; a thread
    // per request would cost more than the request itself on a fast server. std::thread takes
    // no stack size; the system default is used.
    m_stage = ++m_lastStage;
    m_stageQueue.push_back(m_stage);
    if (!m_workerThread.joinable()) {
        m_workerThread = std::thread(&TAdvHttp::workerLoop, this);
        m_workerId = m_workerThread.get_id();
    }
    m_stageThread = m_workerId;
    // The caller wakes the worker once it has let go of the lock.
}

void TAdvHttp::workerLoop()
{
    std::unique_lock lock(m_workerMutex);
    for (;;) {
        m_workerWake.wait(lock, [this] { return !m_stageQueue.empty() || m_workerStop; });
        if (m_workerStop)
            return;
        const std::uint64_t stage = m_stageQueue.front();
        m_stageQueue.pop_front();
        lock.unlock();
        runStage(stage);
        lock.lock();
    }
}

void TAdvHttp::runStage(std::uint64_t stage)
{
    try {
        ProcessResponse();
    } catch (const ComponentGone &) {
        throw;
    } catch (const EInetError &) {
        // Its OnError has already run; there is no caller to pass it on to.
    } catch (...) {
        // A handler's exception has no caller here either: report it as the request's error.
        try {
            RecordError(inet::ERROR_INTERNET_INTERNAL_ERROR);
        } catch (const ComponentGone &) {
            // OnError destroyed the component: nothing below may touch it.
            throw;
        } catch (...) {
            // OnError raised as well: the request has its error, and there is no one to tell.
        }
    }
    bool endRequest = false;
    {
        std::lock_guard lock(m_workerMutex);
        if (m_stage == stage) {
            m_stage = 0;
            // Cancel left the ending to this stage, which may have stopped before looking
            // again (a handler that raised, a failed header read): end the request here.
            endRequest = m_cancelled.load();
        }
    }
    if (endRequest)
        CloseHandles();
}

void TAdvHttp::stopWorker()
{
    {
        std::lock_guard lock(m_workerMutex);
        m_workerStop = true;
        m_stageQueue.clear();
        m_workerWake.notify_all();
    }
    if (!m_workerThread.joinable())
        return;
    // A handler run on the worker (a component without a widget owner) may destroy it.
    if (m_workerThread.get_id() == std::this_thread::get_id())
        m_workerThread.detach();
    else
        m_workerThread.join();
}

} // namespace quorvel
