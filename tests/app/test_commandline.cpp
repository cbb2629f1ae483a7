#include "app/commandline.h"

#include "app/tfmverify.h"
#include "appfixture.h"
#include "support/tempdir.h"
#include "widgets/searchlistbox.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <memory>
#include <string>

using namespace quorvel;
namespace fs = std::filesystem;

namespace
{

class CommandLineFolder : public test::AppFixture
{
protected:
    std::unique_ptr<TTfmVerify> open(const std::string &folder)
    {
        return std::make_unique<TTfmVerify>(folder);
    }

    static QStringList rows(const TSearchListBox *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->rowText(i);
        return texts;
    }
};

TEST_F(CommandLineFolder, IsLoadedInsteadOfTheRegistrysAndTheRegistryStaysAsItWas)
{
    favorites_.write("registry.url", shortcut("http://127.0.0.1/registry"));
    pointFavoritesAt(favorites_.str());
    const fs::path hive = profile_.path() / "config/quorvel/registry/HKEY_CURRENT_USER.reg";
    const std::string hiveBefore = test::readFile(hive);

    test::TempDir named;
    named.write("Sub/a.url", shortcut("http://127.0.0.1/a"));
    const std::unique_ptr<TTfmVerify> window = open(named.str());
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    EXPECT_EQ(rows(window->URL_Names()), QStringList{"a"});
    EXPECT_EQ(window->catalogue().FavoritesFolder(), named.str());
    EXPECT_EQ(test::readFile(hive), hiveBefore);

    // Moving dead links reloads the catalogue: from the named folder, not the registry's.
    named.write("z.url", shortcut("http://127.0.0.1/z"));
    window->ReloadCatalogue();
    EXPECT_EQ(rows(window->URL_Names()), (QStringList{"a", "z"}));
}

TEST_F(CommandLineFolder, ThatCannotBeReadIsReportedAndLeavesTheListsEmpty)
{
    favorites_.write("registry.url", shortcut("http://127.0.0.1/registry"));
    pointFavoritesAt(favorites_.str());
    const fs::path file = favorites_.write("plain.txt", "not a folder");
    const std::string missing = (favorites_.path() / "missing").string();
    const struct {
        std::string folder;
        QString error;
    } cases[] = {
        {missing, "Cannot read the favorites folder '" + QString::fromStdString(missing) +
                      "': No such file or directory."},
        {file.string(), "Cannot read the favorites folder '" + QString::fromStdString(file) +
                            "': Not a directory."},
    };
    for (const auto &c : cases) {
        errors_.clear();
        const std::unique_ptr<TTfmVerify> window = open(c.folder);
        EXPECT_EQ(errors_, QStringList{c.error});
        EXPECT_EQ(window->URL_Names()->count(), 0) << c.folder;
        EXPECT_EQ(window->Files()->count(), 0) << c.folder;
    }
}

// The sample folder that scripts/run opens for a new user: Windows' own file format, CR LF line
// ends, sub-folders and a name outside ASCII must all come through.
TEST_F(CommandLineFolder, SampleFolderListsEveryShortcutWithItsUrl)
{
    const fs::path sample = QUORVEL_SAMPLE_FOLDER;
    int shortcuts = 0;
    for (const fs::directory_entry &entry : fs::recursive_directory_iterator(sample))
        shortcuts += entry.path().extension() == ".url";
    ASSERT_GE(shortcuts, 10);

    const std::unique_ptr<TTfmVerify> window = open(sample.string());
    EXPECT_TRUE(errors_.isEmpty()) << errors_.join('\n').toStdString();
    ASSERT_EQ(window->URL_List()->count(), shortcuts);
    int dead = 0;
    for (const QString &url : rows(window->URL_List())) {
        EXPECT_TRUE(url.startsWith("http://") || url.startsWith("https://")) << url.toStdString();
        EXPECT_EQ(url.trimmed(), url) << "line end left in " << url.toStdString();
        dead += url.contains(".invalid/");
    }
    EXPECT_GE(dead, 1) << "a link that can never answer";
    EXPECT_TRUE(
        rows(window->URL_Names()).contains(QStringLiteral("Wikip\u00e9dia en fran\u00e7ais")));
}

TEST(CommandLineArgument, FolderBecomesAbsoluteWithoutTrailingOrDoubledSeparators)
{
    const std::string current = QDir::currentPath().toStdString();
    const struct {
        QString argument;
        std::string folder;
    } cases[] = {
        {"/favs/", "/favs"},
        {"/a//b/./c/../d", "/a/b/d"},
        {"Favorites/", current + "/Favorites"},
        {"../x", fs::path(current).parent_path().string() + "/x"},
        {"/Fran\u00e7ais", "/Fran\xc3\xa7"
                           "ais"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(favoritesFolderArgument(c.argument), c.folder) << c.argument.toStdString();
}

struct Outcome {
    int exitCode = -1;
    QString out;
    QString err;
};

Outcome runProgram(const QStringList &arguments, const QString &platform)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.insert("QT_QPA_PLATFORM", platform);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUORVEL_EXE), arguments);
    Outcome outcome;
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return outcome;
    }
    outcome.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
    outcome.out = QString::fromLocal8Bit(program.readAllStandardOutput());
    outcome.err = QString::fromLocal8Bit(program.readAllStandardError());
    return outcome;
}

// Over ssh or in a script there is no display: help and version must not need one. Forcing the
// X11 platform without DISPLAY makes any attempt to start the window system fail.
TEST(CommandLineProgram, HelpAndVersionNeedNoDisplay)
{
    const Outcome version = runProgram({"--version"}, "xcb");
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("Quorvel " QUORVEL_VERSION "\n"));

    for (const char *option : {"--help", "-h"}) {
        const Outcome help = runProgram({option}, "xcb");
        EXPECT_EQ(help.exitCode, 0) << option << help.err.toStdString();
        EXPECT_TRUE(help.out.contains("[FOLDER]")) << help.out.toStdString();
        EXPECT_TRUE(help.out.contains("--version")) << help.out.toStdString();
    }
}

TEST(CommandLineProgram, MistakesAreReportedAndEndTheProgramWithStatusOne)
{
    const struct {
        QStringList arguments;
        QString message;
    } cases[] = {
        {{"--no-such-option"}, "Unknown option 'no-such-option'."},
        {{"/tmp", "/var"}, "Only one FOLDER can be given."},
    };
    for (const auto &c : cases) {
        const Outcome outcome = runProgram(c.arguments, "offscreen");
        EXPECT_EQ(outcome.exitCode, 1) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(outcome.err.contains(c.message)) << outcome.err.toStdString();
    }
}

} // namespace
