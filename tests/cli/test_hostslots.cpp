// The scheduler that keeps to --per-host: which waiting link starts next.

#include "cli/hostslots.h"

#include <gtest/gtest.h>

#include <vector>

using quorvel::cli::HostSlots;

namespace
{

std::vector<std::size_t> drain(HostSlots &slots, bool freshAllowed = true)
{
    std::vector<std::size_t> started;
    while (auto start = slots.next(freshAllowed))
        started.push_back(start->id);
    return started;
}

TEST(HostSlots, AHostNeverGetsMoreThanItsSlotsAndOthersGoOnMeanwhile)
{
    HostSlots slots(2);
    for (std::size_t id = 0; id < 5; ++id)
        slots.add(id, "busy.test");
    slots.add(5, "other.test");

    // Catalogue order within the limit: the third link of busy.test waits, other.test does not.
    EXPECT_EQ(drain(slots), (std::vector<std::size_t>{0, 1, 5}));
    EXPECT_EQ(slots.active("busy.test"), 2);
    EXPECT_TRUE(slots.waiting());

    slots.release("busy.test");
    EXPECT_EQ(drain(slots), (std::vector<std::size_t>{2}));
    slots.release("busy.test");
    slots.release("busy.test");
    EXPECT_EQ(drain(slots), (std::vector<std::size_t>{3, 4}));
    EXPECT_FALSE(slots.waiting());
}

TEST(HostSlots, ARedirectedLinkGoesBeforeNewOnesAndOnlyItMayUseAFullJobList)
{
    HostSlots slots(1);
    slots.add(0, "a.test");
    slots.add(1, "b.test");
    slots.add(2, "b.test");
    EXPECT_EQ(drain(slots), (std::vector<std::size_t>{0, 1}));

    // Link 0 was redirected to b.test, which is full: it waits there ahead of link 2.
    slots.release("a.test");
    slots.addRedirected(0, "b.test");
    EXPECT_EQ(drain(slots), (std::vector<std::size_t>{}));
    slots.release("b.test");
    // With no room for new links, the redirected one may still go on.
    EXPECT_EQ(drain(slots, false), (std::vector<std::size_t>{0}));
    slots.release("b.test");
    EXPECT_EQ(drain(slots, false), (std::vector<std::size_t>{}));
    EXPECT_EQ(drain(slots), (std::vector<std::size_t>{2}));
}

TEST(HostSlots, AForgottenRedirectLeavesTheQueueAndAStrayReleaseChangesNothing)
{
    HostSlots slots(1);
    slots.add(0, "a.test");
    EXPECT_EQ(drain(slots), (std::vector<std::size_t>{0}));
    slots.addRedirected(7, "a.test");
    slots.forget(7, "a.test");
    EXPECT_FALSE(slots.waiting());
    slots.release("a.test");
    slots.release("a.test"); // a second release must not make room for two
    slots.release("never.test");
    slots.add(1, "a.test");
    slots.add(2, "a.test");
    EXPECT_EQ(drain(slots), (std::vector<std::size_t>{1}));
}

} // namespace
