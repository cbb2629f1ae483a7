#pragma once
// A small client over the HTTP facility for tests: records the status notifications of its
// requests and runs sends and reads the same way in both modes, waiting (bounded) for the
// completions of the asynchronous one.

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "inet/inet.h"
#include "support/testserver.h"

namespace quorvel::platform::inet::testing
{

enum class Mode { Sync, Async };

inline std::string modeName(const ::testing::TestParamInfo<Mode> &info)
{
    return info.param == Mode::Sync ? "Sync" : "Async";
}

struct Event {
    std::uint32_t status = 0;
    std::string text;             // the text of 10, 11, 20, 21 and 110
    std::uint32_t number = 0;     // the count or code of 31, 41 and 120
    InternetAsyncResult result{}; // of 100
    std::thread::id thread;
};

class Recorder
{
public:
    static void callback(HINTERNET handle, std::uintptr_t context, std::uint32_t status,
                         const void *info, std::uint32_t length)
    {
        auto *recorder = reinterpret_cast<Recorder *>(context);
        Event event;
        event.status = status;
        event.thread = std::this_thread::get_id();
        if (status == INTERNET_STATUS_RESOLVING_NAME || status == INTERNET_STATUS_NAME_RESOLVED ||
            status == INTERNET_STATUS_CONNECTING_TO_SERVER ||
            status == INTERNET_STATUS_CONNECTED_TO_SERVER || status == INTERNET_STATUS_REDIRECT) {
            if (info && length > 0)
                event.text = static_cast<const char *>(info); // zero-terminated
        } else if (status == INTERNET_STATUS_REQUEST_COMPLETE) {
            if (info && length >= sizeof(InternetAsyncResult))
                std::memcpy(&event.result, info, sizeof event.result);
        } else if (info && length >= 4) {
            std::memcpy(&event.number, info, 4);
        }
        std::function<void(HINTERNET, const Event &)> hook;
        {
            std::lock_guard lock(recorder->mutex_);
            recorder->events_.push_back(event);
            hook = recorder->hook_;
        }
        recorder->changed_.notify_all();
        if (hook)
            hook(handle, event);
    }

    std::uintptr_t context() { return reinterpret_cast<std::uintptr_t>(this); }

    std::vector<Event> events() const
    {
        std::lock_guard lock(mutex_);
        return events_;
    }

    std::vector<std::uint32_t> statuses() const
    {
        std::vector<std::uint32_t> result;
        for (const auto &event : events())
            result.push_back(event.status);
        return result;
    }

    int count(std::uint32_t status) const
    {
        int n = 0;
        for (const auto &event : events())
            n += event.status == status;
        return n;
    }

    // Waits for the next completion not yet taken; false after the limit.
    bool takeCompletion(InternetAsyncResult &result,
                        std::chrono::milliseconds limit = std::chrono::seconds(20))
    {
        std::unique_lock lock(mutex_);
        const bool arrived = changed_.wait_for(lock, limit, [&] { return nextCompletion() >= 0; });
        if (!arrived)
            return false;
        const int index = nextCompletion();
        result = events_[static_cast<std::size_t>(index)].result;
        taken_ = index + 1;
        return true;
    }

    // Called on the notifying thread after each event is recorded.
    void setHook(std::function<void(HINTERNET, const Event &)> hook)
    {
        std::lock_guard lock(mutex_);
        hook_ = std::move(hook);
    }

private:
    int nextCompletion() const
    {
        for (std::size_t i = static_cast<std::size_t>(taken_); i < events_.size(); ++i) {
            if (events_[i].status == INTERNET_STATUS_REQUEST_COMPLETE)
                return static_cast<int>(i);
        }
        return -1;
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Event> events_;
    int taken_ = 0;
    std::function<void(HINTERNET, const Event &)> hook_;
};

// One session and connection to a test server, in the mode asked for.
class Client
{
public:
    Client(Mode mode, std::uint16_t port, const std::string &host = "127.0.0.1",
           std::uint32_t access = INTERNET_OPEN_TYPE_PRECONFIG, const std::string &proxy = "")
        : mode(mode)
    {
        session = InternetOpen("Quorvel test agent", access, proxy,
                               mode == Mode::Async ? INTERNET_FLAG_ASYNC : 0);
        EXPECT_NE(session, nullptr) << GetLastError();
        InternetSetStatusCallback(session, &Recorder::callback);
        connection =
            InternetConnect(session, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
        EXPECT_NE(connection, nullptr) << GetLastError();
    }
    ~Client()
    {
        if (session)
            InternetCloseHandle(session);
    }
    Client(const Client &) = delete;
    Client &operator=(const Client &) = delete;

    HINTERNET open(const std::string &object, const std::string &verb = "GET",
                   std::uint32_t flags = 0, const char *const *accept = nullptr)
    {
        HINTERNET request = HttpOpenRequest(connection, verb, object, nullptr, nullptr, accept,
                                            flags, recorder.context());
        EXPECT_NE(request, nullptr) << GetLastError();
        return request;
    }

    // Sends and waits for the answer in either mode; false with error set when it failed.
    bool send(HINTERNET request, const std::string &headers = {}, const std::string &body = {})
    {
        const bool sent = HttpSendRequest(request, headers.empty() ? nullptr : headers.c_str(),
                                          static_cast<std::uint32_t>(headers.size()),
                                          body.empty() ? nullptr : body.data(),
                                          static_cast<std::uint32_t>(body.size()));
        error = GetLastError();
        if (mode == Mode::Sync)
            return sent;
        EXPECT_FALSE(sent);
        EXPECT_EQ(error, ERROR_IO_PENDING);
        return complete();
    }

    // Reads once; in asynchronous mode a pending read is waited for.
    bool read(HINTERNET request, char *buffer, std::uint32_t size, std::uint32_t &got)
    {
        got = 0xFFFFFFFF;
        if (InternetReadFile(request, buffer, size, &got)) {
            error = ERROR_SUCCESS;
            return true;
        }
        error = GetLastError();
        if (mode == Mode::Sync || error != ERROR_IO_PENDING)
            return false;
        ++pendingReads;
        return complete();
    }

    // The whole body in reads of chunk bytes; every read's size goes to sizes.
    std::string readAll(HINTERNET request, std::uint32_t chunk = 16384,
                        std::vector<std::uint32_t> *sizes = nullptr)
    {
        std::string body;
        std::vector<char> buffer(chunk);
        for (;;) {
            std::uint32_t got = 0;
            if (!read(request, buffer.data(), chunk, got)) {
                ADD_FAILURE() << "read failed with " << error;
                return body;
            }
            if (got == 0)
                return body;
            if (sizes)
                sizes->push_back(got);
            body.append(buffer.data(), got);
        }
    }

    std::string rawHeaders(HINTERNET request)
    {
        std::uint32_t length = 0;
        EXPECT_FALSE(
            HttpQueryInfo(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &length, nullptr));
        std::string text(length, '\0');
        EXPECT_TRUE(
            HttpQueryInfo(request, HTTP_QUERY_RAW_HEADERS_CRLF, text.data(), &length, nullptr));
        text.resize(length);
        return text;
    }

    std::uint32_t status(HINTERNET request)
    {
        std::uint32_t status = 0;
        std::uint32_t length = sizeof status;
        EXPECT_TRUE(HttpQueryInfo(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                  &length, nullptr));
        return status;
    }

    const Mode mode;
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    Recorder recorder;
    std::uint32_t error = 0;
    int pendingReads = 0;

private:
    bool complete()
    {
        InternetAsyncResult result{};
        if (!recorder.takeCompletion(result)) {
            ADD_FAILURE() << "no completion arrived";
            return false;
        }
        error = result.dwResult ? ERROR_SUCCESS : result.dwError;
        return result.dwResult != 0;
    }
};

} // namespace quorvel::platform::inet::testing
