// Installs this build into a temporary prefix, as `cmake --install` and the Debian package do,
// and checks that what the program and the desktop name is really there.

#include "browserext/browserbutton.h"
#include "platform/registrysandbox.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

using quorvel::test::ValueList;
namespace fs = std::filesystem;

namespace
{

const std::string AppId = QUORVEL_APP_ID;

std::string readText(const fs::path &file)
{
    return quorvel::test::readFile(file);
}

// The value of "Key=" in a desktop entry; "" when missing.
std::string desktopValue(const std::string &entry, const std::string &key)
{
    std::smatch match;
    const std::regex line("(^|\n)" + key + "=([^\n]*)");
    return std::regex_search(entry, match, line) ? match[2].str() : std::string();
}

class Installed : public quorvel::test::RegistrySandbox
{
protected:
    static void SetUpTestSuite()
    {
        folder_ = std::make_unique<quorvel::test::TempDir>();
        const fs::path log = folder_->path() / "install.log";
        const std::string command = std::string("'") + QUORVEL_CMAKE + "' --install '" +
                                    QUORVEL_BUILD_DIR + "' --prefix '" + prefix().string() +
                                    "' > '" + log.string() + "' 2>&1";
        installStatus_ = std::system(command.c_str());
        installLog_ = readText(log);
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override { ASSERT_EQ(installStatus_, 0) << installLog_; }

    static fs::path prefix() { return folder_->path() / "usr"; }

    static std::unique_ptr<quorvel::test::TempDir> folder_;
    static int installStatus_;
    static std::string installLog_;
};

std::unique_ptr<quorvel::test::TempDir> Installed::folder_;
int Installed::installStatus_ = -1;
std::string Installed::installLog_;

// The browser button registers the program's folder + fixed names. Started through bin/, the
// program's folder is that of the file the link leads to, so every registered path must exist
// there and the two program names must lead to the program itself.
TEST_F(Installed, PathsTheBrowserButtonRegistersExistBesideTheProgram)
{
    const fs::path launcher = prefix() / "bin/quorvel";
    ASSERT_TRUE(fs::is_symlink(launcher)) << "bin/ holds a link, not a second copy";
    const fs::path program = fs::canonical(launcher);
    EXPECT_EQ(program, fs::canonical(prefix() / "lib/quorvel/quorvel"));
    const std::string programFolder = program.parent_path().string() + "/";

    quorvel::AddProgramButton(programFolder);
    const ValueList buttons = values("\\Software\\VIRevu\\ToolBar Buttons");
    const ValueList menus = values("\\Software\\VIRevu\\Menu Items");
    ASSERT_EQ(buttons.size(), 1u);
    ASSERT_EQ(menus.size(), 1u);
    const std::string extensions = "\\Software\\Microsoft\\Internet Explorer\\Extensions\\";
    ValueList registered = values(extensions + buttons[0].second);
    for (const auto &value : values(extensions + menus[0].second))
        registered.push_back(value);

    int paths = 0;
    for (const auto &[name, data] : registered) {
        if (name != "Exec" && name != "Icon" && name != "HotIcon")
            continue;
        ++paths;
        EXPECT_TRUE(fs::is_regular_file(data)) << name << " = " << data;
        if (name == "Exec")
            EXPECT_TRUE(fs::exists(data) && fs::equivalent(data, program)) << data;
        else
            EXPECT_EQ(readText(data).substr(0, 4), std::string("\0\0\1\0", 4)) << "an icon file";
    }
    EXPECT_EQ(paths, 4) << "two targets and two icons";
}

TEST_F(Installed, DesktopEntryMetainfoIconsAndManPageAreInPlace)
{
    const fs::path share = prefix() / "share";
    const std::string entry = readText(share / "applications" / (AppId + ".desktop"));
    ASSERT_FALSE(entry.empty());

    // The entry's program is found in bin/ and its icon in the theme at every size.
    const std::string exec = desktopValue(entry, "Exec");
    EXPECT_TRUE(fs::exists(prefix() / "bin" / exec.substr(0, exec.find(' ')))) << exec;
    EXPECT_EQ(desktopValue(entry, "Icon"), AppId);
    for (const char *size :
         {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64", "128x128", "256x256"}) {
        const std::string png =
            readText(share / "icons/hicolor" / size / "apps" / (AppId + ".png"));
        EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n") << size;
    }
    EXPECT_NE(readText(share / "icons/hicolor/scalable/apps" / (AppId + ".svg")).find("<svg"),
              std::string::npos);

    // Software centres find the program's entry through the metainfo's launchable.
    const std::string metainfo = readText(share / "metainfo" / (AppId + ".metainfo.xml"));
    EXPECT_NE(metainfo.find("<id>" + AppId + "</id>"), std::string::npos);
    EXPECT_NE(metainfo.find(">" + AppId + ".desktop</launchable>"), std::string::npos);

    EXPECT_EQ(readText(share / "man/man1/quorvel.1.gz").substr(0, 2), "\x1f\x8b") << "gzip";
    EXPECT_TRUE(fs::exists(share / "doc/quorvel/examples/Favorites/Debian.url"));
}

// Each shell looks for completions in its own folder under the prefix, by its own file name.
TEST_F(Installed, QuorvelCheckCompletionsAreWhereEachShellLooks)
{
    const fs::path share = prefix() / "share";
    for (const char *file :
         {"bash-completion/completions/quorvel-check", "zsh/vendor-completions/_quorvel-check",
          "fish/vendor_completions.d/quorvel-check.fish"}) {
        const std::string script = readText(share / file);
        EXPECT_NE(script.find("quorvel-check"), std::string::npos) << file;
        EXPECT_NE(script.find("move-dead-to"), std::string::npos) << file;
    }
}

// Runs the installed program through its bin/ link; --version needs no display.
TEST_F(Installed, ProgramRunsThroughItsLink)
{
    const fs::path out = folder_->path() / "version.txt";
    const std::string command = "QT_QPA_PLATFORM=offscreen '" +
                                (prefix() / "bin/quorvel").string() + "' --version > '" +
                                out.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << readText(out);
    EXPECT_EQ(readText(out), std::string("Quorvel ") + QUORVEL_VERSION + "\n");
}

} // namespace
