// The simulated web's servers, asked on loopback as a checker would ask them: each kind of host
// must fail the way its category says, so that the benchmark's misses are the checker's own.

#include "simweb/webserver.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorvel::simweb;

namespace
{

// A web of one link per host, in the order the tests use them.
Plan tinyWeb()
{
    struct Row {
        HostKind kind;
        Category category;
        int status;
        int hops;
        int latencyMs;
    } rows[] = {
        {HostKind::Flaky, Category::FlakyReset, 200, 0, 0},
        {HostKind::Flaky, Category::Flaky503, 200, 0, 0},
        {HostKind::RateLimited, Category::RateLimited404, 404, 0, 300},
        {HostKind::Site, Category::Redirected, 200, 2, 0},
        {HostKind::Blackholed, Category::Blackholed, 200, 0, 0},
        {HostKind::Refused, Category::Refused, 200, 0, 0},
        {HostKind::Stalled, Category::Stalled, 200, 0, 0},
        {HostKind::Site, Category::Gone410, 410, 0, 0},
    };
    Plan plan;
    for (const Row &row : rows) {
        const int index = static_cast<int>(plan.links.size());
        Host host;
        host.kind = row.kind;
        host.name = "host" + std::to_string(index) + ".test";
        host.address = 0x7f630001 + static_cast<std::uint32_t>(index); // 127.99.0.x
        host.inFlightLimit = 1;
        host.links.push_back(index);
        Link link;
        link.host = index;
        link.category = row.category;
        link.status = row.status;
        link.hops = row.hops;
        link.latencyMs = row.latencyMs;
        link.path = "/page-" + std::to_string(index) + ".html";
        plan.hosts.push_back(host);
        plan.links.push_back(link);
    }
    return plan;
}

class Servers : public ::testing::Test
{
protected:
    ~Servers() override
    {
        for (int fd : open_)
            ::close(fd);
    }

    // A connection to host index; -1 with errno when it fails at once.
    int connectTo(int host, bool wait = true)
    {
        const int fd =
            ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (wait ? 0 : SOCK_NONBLOCK), 0);
        open_.push_back(fd);
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_addr.s_addr = htonl(plan_.hosts[static_cast<std::size_t>(host)].address);
        // Hosts without a listener are asked on the port of one that has one.
        const std::uint16_t port = web_.port(host) ? web_.port(host) : web_.port(0);
        where.sin_port = htons(port);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&where), sizeof where) != 0 &&
            errno != EINPROGRESS)
            return -1;
        return fd;
    }

    void request(int fd, const std::string &path)
    {
        const std::string text = "GET " + path + " HTTP/1.1\r\nHost: x\r\n\r\n";
        ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(text.size()));
    }

    // The head of the next answer, "" when the connection ended or was reset, "(none)" when
    // nothing came within the wait.
    std::string head(int fd, int waitMs = 3000)
    {
        std::string text;
        while (text.find("\r\n\r\n") == std::string::npos) {
            pollfd ready{fd, POLLIN, 0};
            if (::poll(&ready, 1, waitMs) != 1)
                return "(none)";
            char chunk[1024];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return "";
            text.append(chunk, static_cast<std::size_t>(n));
        }
        // The body is small and arrives with the head; it is dropped with the rest.
        return text.substr(0, text.find("\r\n\r\n"));
    }

    std::string ask(int host, const std::string &path)
    {
        const int fd = connectTo(host);
        request(fd, path);
        return head(fd);
    }

    Plan plan_ = tinyWeb();
    WebServer web_{plan_, 0};
    std::vector<int> open_;
};

TEST_F(Servers, FlakyHostsFailTheFirstRequestOnlyAndEachInItsOwnWay)
{
    EXPECT_EQ(ask(0, "/page-0.html"), "");
    EXPECT_TRUE(ask(0, "/page-0.html").starts_with("HTTP/1.1 200 "));
    const std::string first = ask(1, "/page-1.html");
    EXPECT_TRUE(first.starts_with("HTTP/1.1 503 ")) << first;
    EXPECT_NE(first.find("\r\nRetry-After: 1"), std::string::npos) << first;
    EXPECT_TRUE(ask(1, "/page-1.html").starts_with("HTTP/1.1 200 "));
}

TEST_F(Servers, RateLimitedHostAnswers429OnlyWhileTooManyAreInFlight)
{
    const int a = connectTo(2);
    const int b = connectTo(2);
    // Both at once: whichever the server reads second finds the other still being answered
    // (300 ms), whatever order a busy machine gives them.
    request(a, "/page-2.html");
    request(b, "/page-2.html");
    const std::string first = head(a), second = head(b);
    const bool bLimited = second.starts_with("HTTP/1.1 429 ");
    const std::string &limited = bLimited ? second : first;
    EXPECT_TRUE(limited.starts_with("HTTP/1.1 429 ")) << first << second;
    EXPECT_NE(limited.find("\r\nRetry-After: 1"), std::string::npos) << limited;
    EXPECT_TRUE((bLimited ? first : second).starts_with("HTTP/1.1 404 ")) << first << second;
    // One at a time, on the same kept connection, the real answer.
    request(b, "/page-2.html");
    EXPECT_TRUE(head(b).starts_with("HTTP/1.1 404 "));
}

TEST_F(Servers, RedirectsHopByHopOnTheSameHostToTheFinalAnswer)
{
    std::string path = "/page-3.html";
    for (int hop = 1; hop <= 2; ++hop) {
        const std::string answer = ask(3, path);
        const auto at = answer.find("\r\nLocation: http://host3.test");
        ASSERT_NE(at, std::string::npos) << answer;
        path = answer.substr(at + 29, answer.find("\r\n", at + 2) - at - 29);
        EXPECT_EQ(path, hopPath(3, hop));
    }
    EXPECT_TRUE(ask(3, path).starts_with("HTTP/1.1 200 "));
    EXPECT_TRUE(ask(7, "/page-7.html").starts_with("HTTP/1.1 410 Gone"));
    EXPECT_TRUE(ask(7, "/no-such-page").starts_with("HTTP/1.1 404 "));
}

TEST_F(Servers, DeadHostsRefuseLeaveConnectionsUnansweredOrNeverAnswer)
{
    errno = 0;
    EXPECT_EQ(connectTo(5), -1);
    EXPECT_EQ(errno, ECONNREFUSED);

    const int blackholed = connectTo(4, false);
    ASSERT_GE(blackholed, 0);
    pollfd connected{blackholed, POLLOUT, 0};
    EXPECT_EQ(::poll(&connected, 1, 300), 0) << "the SYN was answered";

    const int stalled = connectTo(6);
    request(stalled, "/page-6.html");
    EXPECT_EQ(head(stalled, 300), "(none)");
}

} // namespace
