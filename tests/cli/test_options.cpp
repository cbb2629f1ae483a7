// The command line as users type it, and the progress line on narrow and wide terminals.

#include "cli/options.h"
#include "cli/progressbar.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quorvel::cli;

namespace
{

CommandLine parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "quorvel-check");
    std::vector<char *> argv;
    for (auto &arg : args)
        argv.push_back(arg.data());
    return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, LongAndShortFormsWithValuesJoinedOrApartAndOptionsAfterTheFolder)
{
    const CommandLine line =
        parse({"-j8", "Bookmarks", "--per-host", "4", "--timeout=0.5", "-f", "md", "--output=r.md",
               "--http-only", "--user-agent", "Me", "--move-dead-to", "Dead", "--dry-run",
               "--report-redirects", "--deep", "--suspect-is-dead"});
    ASSERT_EQ(line.action, CommandLine::Action::Check) << line.error;
    const Options &o = line.options;
    EXPECT_EQ(o.folder, "Bookmarks");
    EXPECT_EQ(o.jobs, 8);
    EXPECT_EQ(o.perHost, 4);
    EXPECT_DOUBLE_EQ(o.timeoutSeconds, 0.5);
    EXPECT_EQ(o.format, ReportFormat::Markdown);
    EXPECT_EQ(o.output, "r.md");
    EXPECT_TRUE(o.httpOnly);
    EXPECT_EQ(o.userAgent, "Me");
    EXPECT_EQ(o.moveDeadTo, "Dead");
    EXPECT_TRUE(o.dryRun);
    EXPECT_TRUE(o.reportRedirects);
    EXPECT_TRUE(o.deep);
    EXPECT_TRUE(o.suspectIsDead);

    const CommandLine defaults = parse({});
    EXPECT_EQ(defaults.action, CommandLine::Action::Check);
    EXPECT_EQ(defaults.options.folder, "");
    EXPECT_EQ(defaults.options.jobs, 128);
    EXPECT_EQ(defaults.options.retries, 2);
    EXPECT_EQ(defaults.options.perHost, 2);
    EXPECT_DOUBLE_EQ(defaults.options.timeoutSeconds, 30);
    EXPECT_EQ(defaults.options.userAgent, "Merrowin WinInet Component");
    EXPECT_FALSE(defaults.options.deep);

    // After "--" a folder may start with a dash; help wins over anything else.
    EXPECT_EQ(parse({"--", "-odd folder"}).options.folder, "-odd folder");
    EXPECT_EQ(parse({"--jobs", "3", "--help", "x"}).action, CommandLine::Action::Help);
    // A line break would start a header of its own.
    EXPECT_EQ(parse({"--user-agent", "a\r\nX-Evil: 1"}).action, CommandLine::Action::Error);
    EXPECT_EQ(parse({"--timeout", "nan"}).action, CommandLine::Action::Error);
    EXPECT_EQ(parse({"--jobs", "16x"}).action, CommandLine::Action::Error);
}

TEST(ProgressLine, FitsTheTerminalAndShowsTheCounts)
{
    const std::string wide = progressLine(50, 200, 3, 12.5, 120);
    EXPECT_EQ(wide, "[##########..............................] 50/200  dead 3  12.5/s");
    const std::string narrow = progressLine(50, 200, 3, 12.5, 30);
    EXPECT_LT(narrow.size(), 30u);
    EXPECT_EQ(narrow, "50/200  dead 3  12.5/s");
    EXPECT_EQ(progressLine(0, 0, 0, 0, 80).substr(0, 2), "[#");
    EXPECT_EQ(progressLine(50, 200, 3, 12.5, 40, true, 2), "50/200  dead 3  suspect 2  12.5/s");
}

} // namespace
