#include "support/testserver.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::test
{

namespace
{

// Anything bigger is not a request a test sends; it ends the connection.
constexpr std::size_t maxHeadSize = 1024 * 1024;

bool equalsNoCase(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool hasHeader(const std::vector<std::string> &lines, const std::string &name)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string &line) {
        const auto colon = line.find(':');
        return colon != std::string::npos && equalsNoCase(trim(line.substr(0, colon)), name);
    });
}

std::string hex(std::size_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%zx", value);
    return text;
}

// Reads from fd into pending until it holds at least size bytes. False when the peer closed.
bool fill(int fd, std::string &pending, std::size_t size)
{
    char buffer[16384];
    while (pending.size() < size) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        pending.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

// Reads one line ending with CR LF (LF alone accepted) from pending, receiving more as needed.
bool readLine(int fd, std::string &pending, std::string &line)
{
    for (;;) {
        const auto end = pending.find('\n');
        if (end != std::string::npos) {
            line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            pending.erase(0, end + 1);
            return true;
        }
        if (pending.size() > maxHeadSize || !fill(fd, pending, pending.size() + 1))
            return false;
    }
}

bool readChunkedBody(int fd, std::string &pending, std::string &body)
{
    for (;;) {
        std::string sizeLine;
        if (!readLine(fd, pending, sizeLine))
            return false;
        const std::size_t size = std::strtoul(sizeLine.c_str(), nullptr, 16);
        if (size == 0) {
            std::string trailer;
            do {
                if (!readLine(fd, pending, trailer))
                    return false;
            } while (!trailer.empty());
            return true;
        }
        if (!fill(fd, pending, size + 2))
            return false;
        body.append(pending, 0, size);
        pending.erase(0, size + 2);
    }
}

// Parses one request from the connection; false when the peer closed or sent garbage.
bool readRequest(int fd, std::string &pending, ReceivedRequest &request)
{
    std::string line;
    do {
        if (!readLine(fd, pending, line))
            return false;
    } while (line.empty()); // stray CR LF between requests is allowed
    request.head = line + "\r\n";
    const auto firstSpace = line.find(' ');
    const auto lastSpace = line.rfind(' ');
    if (firstSpace == std::string::npos || lastSpace == firstSpace)
        return false;
    request.method = line.substr(0, firstSpace);
    request.target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
    request.version = line.substr(lastSpace + 1);
    request.path = request.target.substr(0, request.target.find('?'));

    for (;;) {
        if (!readLine(fd, pending, line))
            return false;
        request.head += line + "\r\n";
        if (request.head.size() > maxHeadSize)
            return false;
        if (line.empty())
            break;
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            return false;
        request.headers.emplace_back(line.substr(0, colon), trim(line.substr(colon + 1)));
    }

    if (const auto encoding = request.header("Transfer-Encoding");
        encoding && equalsNoCase(*encoding, "chunked"))
        return readChunkedBody(fd, pending, request.body);
    if (const auto length = request.header("Content-Length")) {
        const std::size_t size = std::strtoul(length->c_str(), nullptr, 10);
        if (!fill(fd, pending, size))
            return false;
        request.body = pending.substr(0, size);
        pending.erase(0, size);
    }
    return true;
}

void resetAndClose(int fd)
{
    const linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    ::close(fd);
}

} // namespace

std::optional<std::string> ReceivedRequest::header(const std::string &name) const
{
    for (const auto &[key, value] : headers) {
        if (equalsNoCase(key, name))
            return value;
    }
    return std::nullopt;
}

Reply Reply::ok(std::string body, std::string contentType)
{
    Reply reply;
    reply.headers.push_back("Content-Type: " + contentType);
    reply.body = std::move(body);
    return reply;
}

Reply Reply::status(std::string statusLine, std::string body)
{
    Reply reply;
    reply.statusLine = std::move(statusLine);
    reply.body = std::move(body);
    return reply;
}

Reply Reply::redirect(int code, std::string location)
{
    const char *reason = code == 301   ? "Moved Permanently"
                         : code == 303 ? "See Other"
                         : code == 307 ? "Temporary Redirect"
                         : code == 308 ? "Permanent Redirect"
                                       : "Found";
    Reply reply;
    reply.statusLine = "HTTP/1.1 " + std::to_string(code) + " " + reason;
    reply.headers.push_back("Location: " + location);
    reply.body = "moved";
    return reply;
}

Reply Reply::challenge(std::string realm)
{
    Reply reply;
    reply.statusLine = "HTTP/1.1 401 Unauthorized";
    reply.headers.push_back("WWW-Authenticate: Basic realm=\"" + realm + "\"");
    reply.body = "who are you?";
    return reply;
}

Reply Reply::proxyChallenge(std::string realm)
{
    Reply reply;
    reply.statusLine = "HTTP/1.1 407 Proxy Authentication Required";
    reply.headers.push_back("Proxy-Authenticate: Basic realm=\"" + realm + "\"");
    reply.body = "who are you?";
    return reply;
}

Reply Reply::streamed(Stream stream, Framing framing)
{
    Reply reply;
    reply.headers.push_back("Content-Type: application/octet-stream");
    reply.stream = stream;
    reply.framing = framing;
    return reply;
}

namespace
{

// Bytes [offset, offset + n) of the pattern body.
std::string patternPiece(std::uint64_t offset, std::size_t n)
{
    std::string piece(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        piece[i] = static_cast<char>(((offset + i) * 7 + 3) % 256);
    return piece;
}

} // namespace

std::string patternBody(std::size_t n)
{
    return patternPiece(0, n);
}

TestServer::TestServer()
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw std::runtime_error("test server: no socket");
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("test server: cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

TestServer::~TestServer()
{
    stop();
}

std::string TestServer::url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void TestServer::route(const std::string &path, Reply reply)
{
    route(path, std::vector<Reply>{std::move(reply)});
}

void TestServer::route(const std::string &path, std::vector<Reply> replies)
{
    std::lock_guard lock(mutex_);
    scripts_[path] = Script{std::move(replies), {}, 0};
}

void TestServer::route(const std::string &path, Handler handler)
{
    std::lock_guard lock(mutex_);
    scripts_[path] = Script{{}, std::move(handler), 0};
}

void TestServer::fallback(Handler handler)
{
    std::lock_guard lock(mutex_);
    fallback_ = std::move(handler);
}

std::vector<ReceivedRequest> TestServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

int TestServer::requestCount(const std::string &path) const
{
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(requests_.begin(), requests_.end(),
                                          [&](const auto &r) { return r.path == path; }));
}

int TestServer::connectionCount() const
{
    std::lock_guard lock(mutex_);
    return connections_;
}

bool TestServer::waitForRequests(const std::string &path, int count,
                                 std::chrono::milliseconds limit) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        return std::count_if(requests_.begin(), requests_.end(),
                             [&](const auto &r) { return r.path == path; }) >= count;
    });
}

void TestServer::stop()
{
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        if (stopping_ && listenFd_ < 0)
            return;
        stopping_ = true;
        // shutdown wakes the threads blocked in accept and recv; each closes its own socket.
        if (listenFd_ >= 0)
            ::shutdown(listenFd_, SHUT_RDWR);
        for (const int fd : openFds_)
            ::shutdown(fd, SHUT_RDWR);
    }
    changed_.notify_all();
    if (acceptThread_.joinable())
        acceptThread_.join();
    {
        std::lock_guard lock(mutex_);
        threads.swap(connectionThreads_);
    }
    for (auto &thread : threads)
        thread.join();
    std::lock_guard lock(mutex_);
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
    }
}

void TestServer::acceptLoop()
{
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        const int acceptError = errno;
        std::lock_guard lock(mutex_);
        if (stopping_) {
            if (fd >= 0)
                ::close(fd);
            return;
        }
        if (fd < 0) {
            if (acceptError == EINTR || acceptError == ECONNABORTED)
                continue;
            return;
        }
        const int yes = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        openFds_.push_back(fd);
        const int connection = ++connections_;
        connectionThreads_.emplace_back(
            [this, fd, connection] { serveConnection(fd, connection); });
    }
}

void TestServer::forgetConnection(int fd)
{
    std::lock_guard lock(mutex_);
    openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
}

bool TestServer::stopping() const
{
    std::lock_guard lock(mutex_);
    return stopping_;
}

bool TestServer::sleepUnlessStopped(std::chrono::milliseconds duration)
{
    std::unique_lock lock(mutex_);
    return !changed_.wait_for(lock, duration, [this] { return stopping_; });
}

bool TestServer::sendAll(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

Reply TestServer::replyFor(const ReceivedRequest &request)
{
    std::unique_lock lock(mutex_);
    requests_.push_back(request);
    changed_.notify_all();
    const auto found = scripts_.find(request.path);
    if (found == scripts_.end() && fallback_) {
        const Handler handler = fallback_;
        lock.unlock();
        return handler(request);
    }
    if (found == scripts_.end())
        return Reply::status("HTTP/1.1 404 Not Found", "no script for " + request.path);
    Script &script = found->second;
    if (script.handler) {
        // The handler may take its time; other connections go on meanwhile.
        const Handler handler = script.handler;
        lock.unlock();
        return handler(request);
    }
    if (script.replies.empty())
        return Reply::status("HTTP/1.1 204 No Content");
    const std::size_t index = std::min(script.served, script.replies.size() - 1);
    ++script.served;
    return script.replies[index];
}

bool TestServer::sendStream(int fd, const Reply &reply)
{
    const Reply::Stream &stream = *reply.stream;
    const bool chunked = reply.framing == Reply::Framing::Chunked;
    const std::size_t pieceSize = std::max<std::size_t>(stream.piece, 1);
    // One period of the pattern is 256 bytes, so a piece taken at a multiple of 256 repeats.
    const std::string pattern = patternPiece(0, pieceSize + 256);
    std::uint64_t sent = 0;
    while (!stream.length || sent < *stream.length) {
        std::size_t size = pieceSize;
        if (stream.length)
            size = static_cast<std::size_t>(std::min<std::uint64_t>(size, *stream.length - sent));
        const char *data = pattern.data() + sent % 256;
        if (chunked && !sendAll(fd, hex(size) + "\r\n"))
            return false;
        if (!sendAll(fd, data, size) || (chunked && !sendAll(fd, "\r\n")))
            return false;
        sent += size;
        if (stream.pause.count() > 0 ? !sleepUnlessStopped(stream.pause) : stopping())
            return false;
    }
    return !chunked || sendAll(fd, "0\r\n\r\n");
}

// Sends the body as the reply frames it. keepOpen turns false when the reply ended the
// connection's usefulness (cut or close-delimited body).
bool TestServer::sendBody(int fd, const Reply &reply, bool head, bool &keepOpen)
{
    if (head)
        return true;
    if (reply.stream) {
        if (reply.framing == Reply::Framing::CloseDelimited || !reply.stream->length)
            keepOpen = false;
        return sendStream(fd, reply);
    }
    const std::size_t size = reply.body.size();
    const std::size_t cutAt = reply.cut == Reply::Cut::None ? size : std::min(size, reply.cutAfter);
    const std::size_t piece =
        reply.chunkSize == 0 ? std::max<std::size_t>(size, 1) : reply.chunkSize;
    const bool chunked = reply.framing == Reply::Framing::Chunked;

    // Sends body bytes [from, to) in the reply's framing.
    auto sendRange = [&](std::size_t from, std::size_t to) {
        if (!chunked)
            return sendAll(fd, reply.body.data() + from, to - from);
        for (std::size_t at = from; at < to; at += piece) {
            const std::size_t length = std::min(piece, to - at);
            if (!sendAll(fd, hex(length) + "\r\n") ||
                !sendAll(fd, reply.body.data() + at, length) || !sendAll(fd, "\r\n"))
                return false;
        }
        return true;
    };

    if (!sendRange(0, cutAt))
        return false;
    switch (reply.cut) {
    case Reply::Cut::None:
        break;
    case Reply::Cut::Stall:
        if (!sleepUnlessStopped(reply.stallFor)) {
            keepOpen = false;
            return true;
        }
        if (!sendRange(cutAt, size))
            return false;
        break;
    case Reply::Cut::Reset:
    case Reply::Cut::Close:
        keepOpen = false;
        return true;
    }
    if (chunked && !sendAll(fd, "0\r\n\r\n"))
        return false;
    if (reply.framing == Reply::Framing::CloseDelimited)
        keepOpen = false;
    return true;
}

void TestServer::serveConnection(int fd, int connection)
{
    std::string pending;
    bool keepOpen = true;
    bool reset = false;
    while (keepOpen) {
        ReceivedRequest request;
        request.connection = connection;
        if (!readRequest(fd, pending, request))
            break;
        const bool head = request.method == "HEAD";
        const auto connectionHeader = request.header("Connection");
        keepOpen = request.version == "HTTP/1.1" &&
                   !(connectionHeader && equalsNoCase(*connectionHeader, "close"));

        const Reply reply = replyFor(request);
        if (reply.action == Reply::Action::Reset) {
            reset = true;
            break;
        }
        if (reply.action == Reply::Action::CloseWithoutAnswer)
            break;
        if (reply.delayBeforeHeaders.count() > 0 && !sleepUnlessStopped(reply.delayBeforeHeaders))
            break;
        if (!reply.raw.empty()) {
            if (!sendAll(fd, reply.raw))
                break;
            if (reply.closeAfter)
                break;
            continue;
        }

        std::string answer;
        for (const auto &interim : reply.interimStatusLines)
            answer += interim + "\r\n\r\n";
        answer += reply.statusLine + "\r\n";
        for (const auto &line : reply.headers)
            answer += line + "\r\n";
        switch (reply.framing) {
        case Reply::Framing::ContentLength:
            if (hasHeader(reply.headers, "Content-Length"))
                break;
            if (!reply.stream)
                answer += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
            else if (reply.stream->length)
                answer += "Content-Length: " + std::to_string(*reply.stream->length) + "\r\n";
            break;
        case Reply::Framing::Chunked:
            if (!hasHeader(reply.headers, "Transfer-Encoding"))
                answer += "Transfer-Encoding: chunked\r\n";
            break;
        case Reply::Framing::CloseDelimited:
            break;
        }
        if ((reply.closeAfter || reply.framing == Reply::Framing::CloseDelimited) &&
            !hasHeader(reply.headers, "Connection"))
            answer += "Connection: close\r\n";
        answer += "\r\n";
        if (!sendAll(fd, answer) || !sendBody(fd, reply, head, keepOpen))
            break;
        if (reply.cut == Reply::Cut::Reset) {
            reset = true;
            break;
        }
        if (reply.closeAfter)
            keepOpen = false;
    }
    forgetConnection(fd);
    if (reset) {
        resetAndClose(fd);
    } else {
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
    }
}

} // namespace quorvel::test
