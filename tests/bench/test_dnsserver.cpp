// The simulated web's resolver, asked on loopback; its answers are read back by libresolv, so a
// malformed packet that glibc would drop fails here rather than as a slow benchmark.

#include "simweb/dnsserver.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <resolv.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorvel::simweb;
using namespace std::chrono_literals;

namespace
{

constexpr std::uint32_t known = 0x7f100005; // 127.16.0.5

DnsAnswer lookup(std::string_view name)
{
    if (name == "known.example")
        return {DnsAnswer::Kind::Address, known};
    if (name == "lame.example")
        return {DnsAnswer::Kind::ServerFailure};
    if (name == "slow.example")
        return {DnsAnswer::Kind::Address, known, 400ms};
    return {};
}

class Resolver : public ::testing::Test
{
protected:
    Resolver()
    {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        server_.sin_family = AF_INET;
        server_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        server_.sin_port = htons(dns_.port());
    }
    ~Resolver() override { ::close(fd_); }

    void ask(const char *name, int type, int id)
    {
        unsigned char query[512];
        const int length =
            res_mkquery(ns_o_query, name, ns_c_in, type, nullptr, 0, nullptr, query, sizeof query);
        ASSERT_GT(length, 0);
        query[0] = static_cast<unsigned char>(id >> 8);
        query[1] = static_cast<unsigned char>(id);
        ::sendto(fd_, query, static_cast<std::size_t>(length), 0,
                 reinterpret_cast<const sockaddr *>(&server_), sizeof server_);
    }

    // The next reply, parsed; false when none came within the wait.
    bool reply(ns_msg &message, std::chrono::milliseconds wait = 2000ms)
    {
        pollfd ready{fd_, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(wait.count())) != 1)
            return false;
        const ssize_t n = ::recv(fd_, buffer_, sizeof buffer_, 0);
        return n > 0 && ns_initparse(buffer_, static_cast<int>(n), &message) == 0;
    }

    DnsServer dns_{INADDR_LOOPBACK, 0, lookup};
    int fd_ = -1;
    sockaddr_in server_{};
    unsigned char buffer_[512];
};

TEST_F(Resolver, AnswersEachKindOfNameWithItsCodeAndOnlyAddressQueriesWithTheAddress)
{
    struct Case {
        const char *name;
        int type;
        int rcode;
        int answers;
    } cases[] = {
        {"known.example", ns_t_a, ns_r_noerror, 1},
        {"KNOWN.Example", ns_t_a, ns_r_noerror, 1},    // names are matched without regard to case
        {"known.example", ns_t_aaaa, ns_r_noerror, 0}, // no IPv6: an empty answer, not an error
        {"gone.example", ns_t_a, ns_r_nxdomain, 0},
        {"gone.example", ns_t_aaaa, ns_r_nxdomain, 0},
        {"lame.example", ns_t_a, ns_r_servfail, 0},
        {"lame.example", ns_t_aaaa, ns_r_servfail, 0},
    };
    int id = 100;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " type " + std::to_string(c.type));
        ask(c.name, c.type, ++id);
        ns_msg message;
        ASSERT_TRUE(reply(message));
        EXPECT_EQ(ns_msg_id(message), id);
        EXPECT_EQ(ns_msg_getflag(message, ns_f_qr), 1);
        EXPECT_EQ(ns_msg_getflag(message, ns_f_rcode), c.rcode);
        ASSERT_EQ(ns_msg_count(message, ns_s_qd), 1);
        ASSERT_EQ(ns_msg_count(message, ns_s_an), c.answers);
        ns_rr question;
        ASSERT_EQ(ns_parserr(&message, ns_s_qd, 0, &question), 0);
        EXPECT_EQ(ns_rr_type(question), c.type);
        if (c.answers == 1) {
            ns_rr record;
            ASSERT_EQ(ns_parserr(&message, ns_s_an, 0, &record), 0);
            EXPECT_STRCASEEQ(ns_rr_name(record), c.name);
            ASSERT_EQ(ns_rr_type(record), ns_t_a);
            ASSERT_EQ(ns_rr_rdlen(record), 4);
            EXPECT_EQ(ns_get32(ns_rr_rdata(record)), known);
        }
    }
}

TEST_F(Resolver, HoldsASlowAnswerBackWithoutHoldingUpTheOthers)
{
    ask("slow.example", ns_t_a, 1);
    ask("known.example", ns_t_a, 2);
    ns_msg message;
    ASSERT_TRUE(reply(message, 300ms));
    EXPECT_EQ(ns_msg_id(message), 2);
    EXPECT_FALSE(reply(message, 50ms)) << "the slow answer came early";
    ASSERT_TRUE(reply(message));
    EXPECT_EQ(ns_msg_id(message), 1);
    EXPECT_EQ(ns_msg_count(message, ns_s_an), 1);
}

TEST_F(Resolver, DropsWhatIsNoQuery)
{
    const char junk[] = "not a DNS packet";
    ::sendto(fd_, junk, 5, 0, reinterpret_cast<const sockaddr *>(&server_), sizeof server_);
    ask("known.example", ns_t_a, 7);
    ns_msg message;
    ASSERT_TRUE(reply(message));
    EXPECT_EQ(ns_msg_id(message), 7);
}

// glibc's own stub resolver, which checks the reply against its question before it takes it.
TEST_F(Resolver, GlibcsResolverTakesItsAnswers)
{
    struct __res_state state {
    };
    ASSERT_EQ(res_ninit(&state), 0);
    state.nscount = 1;
    state.nsaddr_list[0] = server_;
    state._u._ext.nscount = 0;
    state.retrans = 1;
    state.retry = 1;
    unsigned char answer[512];
    EXPECT_GT(res_nquery(&state, "known.example", ns_c_in, ns_t_a, answer, sizeof answer), 0);
    EXPECT_LT(res_nquery(&state, "gone.example", ns_c_in, ns_t_a, answer, sizeof answer), 0);
    EXPECT_EQ(state.res_h_errno, HOST_NOT_FOUND);
    EXPECT_LT(res_nquery(&state, "lame.example", ns_c_in, ns_t_a, answer, sizeof answer), 0);
    EXPECT_EQ(state.res_h_errno, TRY_AGAIN);
    res_nclose(&state);
}

} // namespace
