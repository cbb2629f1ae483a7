#include "app/errorbox.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace quorvel;

namespace
{

struct FullStopCase {
    const char *text;
    const char *shown;
};

// Characters at or below '.' (the quote of the registry's texts among them) keep the text as it
// is; everything after it gets a full stop, including bytes of 0x80 and above, which a signed
// comparison would wrongly leave alone.
TEST(FullStopRule, AppendsOnlyAfterFullStopInCodeOrder)
{
    const FullStopCase cases[] = {
        {"", ""},
        {"Invalid data type for 'Favorites'", "Invalid data type for 'Favorites'"},
        {"Failed to set data for 'x'", "Failed to set data for 'x'"},
        {"Unbalanced (", "Unbalanced ("},
        {"The operation timed out", "The operation timed out."},
        {"Ends in a digit 0", "Ends in a digit 0."},
        {"Already stopped.", "Already stopped."},
        {"Range 1-", "Range 1-"},
        {"Question?", "Question?."},
        {"Exclaimed!", "Exclaimed!"},
        {"Comma,", "Comma,"},
        {"Slash/", "Slash/."},
        {"Trailing blank ", "Trailing blank "},
        {"Line end\n", "Line end\n"},
        {"Umlaut \xc3\xa4", "Umlaut \xc3\xa4."},
    };
    for (const FullStopCase &c : cases)
        EXPECT_EQ(withFullStop(c.text), c.shown) << "text: \"" << c.text << '"';
}

class GuardTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        previous_ = setErrorPresenter([this](const QString &text) { shown_.append(text); });
    }
    void TearDown() override { setErrorPresenter(previous_); }

    QStringList shown_;
    ErrorPresenter previous_;
};

TEST_F(GuardTest, ErrorOfHandlerIsShownOnceAndDoesNotEscape)
{
    EXPECT_NO_THROW(runGuarded([] { throw std::runtime_error("The operation timed out"); }));
    ASSERT_EQ(shown_.size(), 1);
    EXPECT_EQ(shown_[0], QStringLiteral("The operation timed out."));
}

TEST_F(GuardTest, ForeignExceptionGetsGenericTextInsteadOfReachingEventLoop)
{
    EXPECT_NO_THROW(runGuarded([] { throw 42; }));
    ASSERT_EQ(shown_.size(), 1);
    EXPECT_FALSE(shown_[0].isEmpty());
}

} // namespace
