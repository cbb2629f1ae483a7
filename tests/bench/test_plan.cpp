// The simulated web's plan: the mix the benchmark's figures are read against, and the paths its
// servers map back to links.

#include "simweb/plan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>

using namespace quorvel::simweb;

namespace
{

TEST(SimulatedWeb, HoldsTheMixOfAnOldFavoritesFolder)
{
    const Plan plan = makePlan(3000);
    ASSERT_EQ(plan.links.size(), 3000u);
    EXPECT_GE(plan.hosts.size(), 1100u);
    EXPECT_LE(plan.hosts.size(), 1300u);

    std::array<int, categoryCount> count{};
    for (const Link &link : plan.links)
        ++count[static_cast<std::size_t>(link.category)];
    const auto share = [&](Category c) { return count[static_cast<std::size_t>(c)] / 3000.0; };
    EXPECT_NEAR(share(Category::Live), 0.40, 0.001);
    EXPECT_NEAR(share(Category::Gone404) + share(Category::Gone410), 0.17, 0.001);
    EXPECT_NEAR(share(Category::ExpiredDomain), 0.07, 0.001);
    EXPECT_NEAR(share(Category::RateLimitedLive) + share(Category::RateLimited404), 0.09, 0.001);

    int large = 0;
    int small = 0;
    for (const Host &host : plan.hosts) {
        large += host.links.size() >= 50 && host.links.size() <= 200;
        small += host.links.size() <= 2;
        // A host's failure is its own: a refused host's links are all refused, and so on.
        for (const int index : host.links) {
            const Link &link = plan.links[static_cast<std::size_t>(index)];
            EXPECT_EQ(link.host, &host - plan.hosts.data());
            if (host.kind == HostKind::Refused) {
                EXPECT_EQ(link.category, Category::Refused);
            }
        }
    }
    EXPECT_GE(large, 3);
    EXPECT_GT(small, static_cast<int>(plan.hosts.size()) * 2 / 3);
}

TEST(SimulatedWeb, GivesEveryLinkAndHostItsOwnNameAndAddressOnLoopback)
{
    const Plan plan = makePlan(3000);
    std::set<std::string> urls;
    std::set<std::uint32_t> addresses;
    for (const Link &link : plan.links)
        EXPECT_TRUE(urls.insert(link.url).second) << link.url;
    for (const Host &host : plan.hosts) {
        EXPECT_TRUE(addresses.insert(host.address).second) << host.name;
        EXPECT_EQ(host.address >> 24, 127u) << host.name;
        EXPECT_NE(host.address & 0xff, 0u);
        EXPECT_NE(host.address & 0xff, 255u);
    }
}

TEST(SimulatedWeb, MapsEveryLinksPathsBackToItOnItsOwnHostOnly)
{
    const Plan plan = makePlan(3000);
    int hop = -1;
    for (std::size_t i = 0; i < plan.links.size(); ++i) {
        const Link &link = plan.links[i];
        ASSERT_EQ(linkFromPath(plan, link.host, link.path, hop), static_cast<int>(i)) << link.url;
        EXPECT_EQ(hop, 0);
        for (int n = 1; n <= link.hops; ++n) {
            ASSERT_EQ(linkFromPath(plan, link.host, hopPath(static_cast<int>(i), n), hop),
                      static_cast<int>(i));
            EXPECT_EQ(hop, n);
        }
        const int otherHost = (link.host + 1) % static_cast<int>(plan.hosts.size());
        if (link.path != "/") {
            EXPECT_EQ(linkFromPath(plan, otherHost, link.path, hop), -1) << link.url;
        }
    }
    EXPECT_EQ(linkFromPath(plan, 0, "/favicon.ico", hop), -1);
    EXPECT_EQ(linkFromPath(plan, 0, "/news/x-999999.html", hop), -1);
}

TEST(SimulatedWeb, IsTheSameWebForTheSameSeed)
{
    const Plan a = makePlan(300, 7);
    const Plan b = makePlan(300, 7);
    const Plan c = makePlan(300, 8);
    ASSERT_EQ(a.links.size(), b.links.size());
    EXPECT_TRUE(std::equal(
        a.links.begin(), a.links.end(), b.links.begin(), [](const Link &x, const Link &y) {
            return x.url == y.url && x.category == y.category && x.latencyMs == y.latencyMs;
        }));
    EXPECT_NE(a.links.front().url, c.links.front().url);
}

} // namespace
