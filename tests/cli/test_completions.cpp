// The shell completions against --help, and in the shells themselves where they are installed.

#include "cli/completions.h"
#include "cli/options.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>

using namespace quorvel::cli;
using quorvel::test::readFile;
using quorvel::test::TempDir;
namespace fs = std::filesystem;

namespace
{

// Long options and short letters as --help lists them at the start of its lines.
std::set<std::string> optionsInHelp()
{
    std::set<std::string> options;
    const std::regex line(R"(^ +(?:-(\w), )?--([a-z][a-z-]*))");
    std::istringstream help(helpText());
    for (std::string text; std::getline(help, text);) {
        std::smatch match;
        if (!std::regex_search(text, match, line))
            continue;
        options.insert(match[2].str());
        if (match[1].matched)
            options.insert(match[1].str());
    }
    return options;
}

TEST(Completions, EveryOptionOfHelpAndEveryFormatIsInEachShellsScript)
{
    const std::set<std::string> help = optionsInHelp();
    ASSERT_GT(help.size(), 10u);
    for (const OptionEntry &listed : optionTable())
        EXPECT_TRUE(help.count(listed.name)) << "--" << listed.name << " is missing from --help";

    for (const Shell shell : {Shell::Bash, Shell::Zsh, Shell::Fish}) {
        const std::string script = completionScript(shell);
        for (const std::string &option : help) {
            const bool letter = option.size() == 1;
            const std::string word = shell == Shell::Fish
                                         ? (letter ? " -s " : " -l ") + option + " "
                                         : (letter ? "-" : "--") + option;
            EXPECT_NE(script.find(word), std::string::npos) << word << " in\n" << script;
        }
        for (const char *format : {"text", "json", "csv", "markdown"})
            EXPECT_NE(script.find(format), std::string::npos) << format;
    }
}

TEST(Completions, DescriptionsAreTheFirstWholeClauseOfHelp)
{
    std::map<std::string, std::string> described;
    for (const CompletedOption &o : completedOptions())
        described[o.name] = o.description;
    EXPECT_EQ(described["timeout"], "time limit of each request");
    EXPECT_EQ(described["user-agent"], "the User-Agent header") << "no paren left open";
    EXPECT_EQ(described["http-only"], "check only http: links, as the window does");
    EXPECT_EQ(described["retries"], "try a failure that may pass later up to N more times")
        << "a clause the line breaks in";
    EXPECT_EQ(described["jobs"], "at most N requests in flight at once")
        << "a paren --help leaves open on its line";
    for (const auto &[name, text] : described)
        EXPECT_FALSE(text.empty()) << name;
}

TEST(Completions, BookmarkOptionsCompleteFilesAndTheBrowsersNames)
{
    std::map<std::string, ValueKind> kinds;
    for (const CompletedOption &o : completedOptions())
        kinds[o.name] = o.value;
    EXPECT_EQ(kinds["bookmarks"], ValueKind::File);
    EXPECT_EQ(kinds["write-bookmarks"], ValueKind::File);
    EXPECT_EQ(kinds["browser"], ValueKind::Browser);
    const std::string names = "firefox chromium chrome brave edge vivaldi list";
    for (const Shell shell : {Shell::Bash, Shell::Zsh, Shell::Fish})
        EXPECT_NE(completionScript(shell).find(names), std::string::npos);
}

// The scripts as the shells see them, in a folder with a sub-folder and a file to complete.
class CompletionShells : public ::testing::Test
{
protected:
    CompletionShells()
    {
        fs::create_directories(temp.path() / "work/Favorites");
        temp.write("work/notes.txt", "");
        for (const auto &[file, shell] :
             {std::pair{"bash", Shell::Bash}, std::pair{"zsh", Shell::Zsh},
              std::pair{"fish", Shell::Fish}})
            temp.write(file, completionScript(shell));
    }

    static bool has(const char *program)
    {
        return std::system(("command -v " + std::string(program) + " > /dev/null").c_str()) == 0;
    }

    // Runs a shell command in the work folder; its standard output and error.
    std::string shell(const std::string &command) const
    {
        const fs::path out = temp.path() / "out.txt";
        const std::string line = "cd '" + (temp.path() / "work").string() + "' && " + command +
                                 " > '" + out.string() + "' 2>&1";
        const int status = std::system(line.c_str());
        return readFile(out) + (status == 0 ? "" : "[status " + std::to_string(status) + "]");
    }

    std::string script(const char *name) const { return (temp.path() / name).string(); }

    TempDir temp;
};

TEST_F(CompletionShells, FishCompletesOptionsFormatsAndFolders)
{
    if (!has("fish"))
        GTEST_SKIP() << "fish is not installed (scripts/install-deps installs it)";
    const auto complete = [&](const std::string &line) {
        return shell("fish --no-config -c 'source " + script("fish") + "; complete -C \"" + line +
                     "\"'");
    };
    EXPECT_EQ(complete("quorvel-check --form").substr(0, 9), "--format\t");
    const std::string formats = complete("quorvel-check --format ");
    EXPECT_NE(formats.find("json\t"), std::string::npos) << formats;
    EXPECT_EQ(formats.find("notes.txt"), std::string::npos) << formats;
    EXPECT_EQ(complete("quorvel-check --move-dead-to "), "Favorites/\tDirectory\n");
    EXPECT_NE(complete("quorvel-check -o ").find("notes.txt"), std::string::npos);
}

TEST_F(CompletionShells, BashCompletesOptionsFormatsAndFolders)
{
    const std::string helpers = "/usr/share/bash-completion/bash_completion";
    if (!fs::exists(helpers))
        GTEST_SKIP() << "bash-completion is not installed (scripts/install-deps installs it)";
    // As bash calls the function on Tab: the line, its words as bash splits them (at '=' too),
    // the one being completed last. compopt works only inside a real completion.
    const auto complete = [&](const std::string &line, const std::string &words) {
        return shell("bash -c '. " + helpers + "; . " + script("bash") +
                     "; compopt() { :; }; COMP_LINE=\"" + line +
                     "\"; COMP_POINT=${#COMP_LINE};"
                     " COMP_WORDS=(" +
                     words +
                     "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1));"
                     " _quorvel_check quorvel-check; printf \"%s\\n\" \"${COMPREPLY[@]}\"'");
    };
    EXPECT_EQ(complete("quorvel-check --form", "quorvel-check --form"), "--format=\n");
    EXPECT_EQ(complete("quorvel-check --format j", "quorvel-check --format j"), "json\n");
    EXPECT_EQ(complete("quorvel-check --format=c", "quorvel-check --format = c"), "csv\n");
    EXPECT_EQ(complete("quorvel-check --move-dead-to ", "quorvel-check --move-dead-to \"\""),
              "Favorites\n");
    EXPECT_EQ(complete("quorvel-check ", "quorvel-check \"\""), "Favorites\n");
    EXPECT_NE(complete("quorvel-check -o ", "quorvel-check -o \"\"").find("notes.txt"),
              std::string::npos);
}

TEST_F(CompletionShells, ZshTakesItsScript)
{
    if (!has("zsh"))
        GTEST_SKIP() << "zsh is not installed (scripts/install-deps installs it)";
    EXPECT_EQ(shell("zsh -n " + script("zsh")), "");
    EXPECT_EQ(readFile(script("zsh")).rfind("#compdef quorvel-check\n", 0), 0u);
}

} // namespace
