#pragma once
// A scripted HTTP/1.1 server for tests. It listens on 127.0.0.1 on a port the system picks,
// serves each path from a script (exact status line and header lines, fixed, chunked or
// close-delimited bodies, delays, stalls, resets) and records every request it receives.
// Keep-alive is supported; destroying the server stops it and all its connections.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace quorvel::test
{

struct ReceivedRequest {
    std::string method;
    std::string target;  // as sent on the request line, query included
    std::string path;    // target without its query
    std::string version; // "HTTP/1.1"
    std::vector<std::pair<std::string, std::string>> headers; // in order, as sent
    std::string head; // the raw request line and header lines, CR LF kept
    std::string body;
    int connection = 0; // 1 for the first accepted connection, 2 for the next...

    // The first header of that name (letter case ignored), or nothing.
    std::optional<std::string> header(const std::string &name) const;
};

struct Reply {
    enum class Framing {
        ContentLength, // a Content-Length header is added unless the script has one
        Chunked,       // "Transfer-Encoding: chunked" is added; pieces of chunkSize bytes
        CloseDelimited // no length; the connection closes after the body
    };
    enum class Cut {
        None,
        Stall, // after cutAfter body bytes, pause for stallFor (or until stop), then go on
        Reset, // after cutAfter body bytes, reset the connection
        Close  // after cutAfter body bytes, close the connection normally
    };
    enum class Action {
        Answer,
        Reset,             // reset the connection instead of answering
        CloseWithoutAnswer // close the connection without sending a byte
    };

    std::string statusLine = "HTTP/1.1 200 OK";
    std::vector<std::string> headers; // exact lines without their CR LF
    std::string body;
    Framing framing = Framing::ContentLength;
    std::size_t chunkSize = 0;                   // 0: the whole body as one chunk
    std::vector<std::string> interimStatusLines; // e.g. "HTTP/1.1 100 Continue", sent first
    std::string raw;                             // when set, these exact bytes are the whole answer
    Action action = Action::Answer;
    std::chrono::milliseconds delayBeforeHeaders{0};
    Cut cut = Cut::None;
    std::size_t cutAfter = 0;
    std::chrono::milliseconds stallFor{std::chrono::hours(1)};
    bool closeAfter = false; // close the connection after this answer

    // A body made while it is sent, in place of `body` (cut is not applied to it): the bytes of
    // patternBody, `piece` at a time with `pause` after each, `length` of them or without end.
    // An endless one needs Chunked or CloseDelimited framing; it ends when the client goes away
    // or the server stops.
    struct Stream {
        std::optional<std::uint64_t> length; // none: endless
        std::size_t piece = 16384;
        std::chrono::milliseconds pause{0};
    };
    std::optional<Stream> stream;

    static Reply ok(std::string body, std::string contentType = "text/plain");
    static Reply status(std::string statusLine, std::string body = {});
    static Reply redirect(int code, std::string location);
    static Reply challenge(std::string realm = "test");      // 401 with a Basic challenge
    static Reply proxyChallenge(std::string realm = "test"); // 407
    // 200 with a streamed body (see Stream).
    static Reply streamed(Stream stream, Framing framing = Framing::ContentLength);
};

// A body of n bytes whose byte i is (i * 7 + 3) % 256, so it holds zero bytes and a test can
// tell a shifted or repeated piece from the right one.
std::string patternBody(std::size_t n);

class TestServer
{
public:
    using Handler = std::function<Reply(const ReceivedRequest &)>;

    TestServer();
    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    std::uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port>" followed by path.
    std::string url(const std::string &path) const;

    // Scripts for a path (without query; a request sent to a proxy names the whole URL, e.g.
    // "http://far.invalid/page"). A list is served in order and its last entry repeats. Paths
    // without a script get "HTTP/1.1 404 Not Found".
    void route(const std::string &path, Reply reply);
    void route(const std::string &path, std::vector<Reply> replies);
    void route(const std::string &path, Handler handler);
    // Answers every path that has no script of its own, instead of the 404 above: a whole site
    // of pages that need not be listed in advance.
    void fallback(Handler handler);

    std::vector<ReceivedRequest> requests() const;
    int requestCount(const std::string &path) const;
    int connectionCount() const;
    // Waits (bounded) until count requests for path have arrived.
    bool waitForRequests(const std::string &path, int count,
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) const;

    // Stops accepting, ends every connection (also stalled ones) and joins the threads.
    void stop();

private:
    struct Script {
        std::vector<Reply> replies;
        Handler handler;
        std::size_t served = 0;
    };

    void acceptLoop();
    void serveConnection(int fd, int connection);
    Reply replyFor(const ReceivedRequest &request);
    bool sleepUnlessStopped(std::chrono::milliseconds duration);
    bool sendAll(int fd, const char *data, std::size_t size);
    bool sendAll(int fd, const std::string &text) { return sendAll(fd, text.data(), text.size()); }
    bool sendBody(int fd, const Reply &reply, bool head, bool &keepOpen);
    bool sendStream(int fd, const Reply &reply);
    bool stopping() const;
    void forgetConnection(int fd);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::thread acceptThread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::map<std::string, Script> scripts_;
    Handler fallback_;
    std::vector<ReceivedRequest> requests_;
    std::vector<int> openFds_;
    std::vector<std::thread> connectionThreads_;
    int connections_ = 0;
};

} // namespace quorvel::test
