#include "platform/guid.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using quorvel::platform::isGuidText;
using quorvel::platform::newGuidText;

namespace {

TEST(Guid, FreshTextsAreWellFormedUpperCaseVersionFourAndDistinct)
{
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        const std::string guid = newGuidText();
        ASSERT_TRUE(isGuidText(guid)) << guid;
        for (char c : guid)
            EXPECT_FALSE(c >= 'a' && c <= 'z') << guid;
        EXPECT_EQ(guid[15], '4') << guid;
        EXPECT_NE(std::string("89AB").find(guid[20]), std::string::npos) << guid;
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 2000u);
}

TEST(Guid, TextCheckRejectsAnythingButBracedEightFourFourFourTwelve)
{
    struct Case {
        const char *text;
        bool valid;
    } const cases[] = {
        {"{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}", true},
        {"{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}", true},
        {"1FBA04EE-3024-11d2-8F1F-0000F87ABD16", false},
        {"{1FBA04EE-3024-11d2-8F1F-0000F87ABD16", false},
        {"(1FBA04EE-3024-11d2-8F1F-0000F87ABD16)", false},
        {"{1FBA04EE-3024-11d2-8F1F-0000F87ABD1G}", false},
        {"{1FBA04EE03024-11d2-8F1F-0000F87ABD16}", false},
        {"{1FBA04E-E3024-11d2-8F1F-0000F87ABD16}", false},
        {"{1FBA04EE-3024-11d2-8F1F-0000F87ABD16} ", false},
        {"X", false},
        {"", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(isGuidText(c.text), c.valid) << c.text;
}

} // namespace
