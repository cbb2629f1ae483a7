#include "platform/registry.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include <sys/stat.h>

namespace fs = std::filesystem;
using quorvel::platform::ERegistryException;
using quorvel::platform::registryFolder;
using quorvel::platform::RootKey;
using quorvel::platform::TRegistry;
using quorvel::platform::ValueType;
using quorvel::test::readFile;
using quorvel::test::TempDir;

namespace
{

class ScopedEnv
{
public:
    ScopedEnv(const char *name, const std::string &value) : name_(name)
    {
        if (const char *old = std::getenv(name))
            old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char *name_;
    std::optional<std::string> old_;
};

class Registry : public ::testing::Test
{
protected:
    TempDir temp;
    ScopedEnv config{"XDG_CONFIG_HOME", (temp.path() / "config").string()};
    ScopedEnv home{"HOME", (temp.path() / "home").string()};

    fs::path hive(const char *name = "HKEY_LOCAL_MACHINE") const
    {
        return registryFolder() / (std::string(name) + ".reg");
    }

    static std::string messageOf(const std::function<void()> &action)
    {
        try {
            action();
        } catch (const ERegistryException &error) {
            return error.what();
        }
        return "<no error>";
    }
};

TEST_F(Registry, FolderFollowsTheEnvironmentOnEveryCall)
{
    EXPECT_EQ(registryFolder(), temp.path() / "config" / "quorvel" / "registry");
    ScopedEnv unset("XDG_CONFIG_HOME", "");
    EXPECT_EQ(registryFolder(), temp.path() / "home" / ".config" / "quorvel" / "registry");
}

TEST_F(Registry, ReadsAreCheckedByType)
{
    TRegistry writer(RootKey::LocalMachine);
    ASSERT_TRUE(writer.OpenKey("\\Software\\Types", true));
    writer.WriteInteger("Number", 0xDEADBEEF);
    writer.WriteString("Text", "abc");
    writer.WriteExpandString("Expand", "%HOME%\\x");

    TRegistry reader(RootKey::LocalMachine);
    ASSERT_TRUE(reader.OpenKey("Software\\Types", false));
    EXPECT_EQ(reader.GetDataType("Number"), ValueType::DWord);
    EXPECT_EQ(reader.GetDataType("Expand"), ValueType::ExpandString);
    EXPECT_EQ(reader.GetDataType("Missing"), ValueType::None);
    EXPECT_EQ(reader.ReadInteger("number"), 0xDEADBEEFu);
    EXPECT_EQ(reader.ReadString("Expand"), "%HOME%\\x") << "stored, not expanded";
    EXPECT_EQ(reader.ReadString("Missing"), "");
    EXPECT_EQ(messageOf([&] { reader.ReadString("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(messageOf([&] { reader.ReadInteger("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(messageOf([&] { reader.ReadInteger("Missing"); }),
              "Failed to get data for 'Missing'");
}

TEST_F(Registry, StringsSurviveTheFileWhateverTheyHold)
{
    const std::string texts[] = {
        "",
        "C:\\Program Files\\",
        "say \"hi\"",
        "\\\\server\\share",
        "one\ntwo\r\n",
        "Gr\xC3\xB6\xC3\x9F"
        "e",
        "=[x]=",
        " padded ",
    };
    {
        TRegistry writer(RootKey::CurrentUser);
        ASSERT_TRUE(writer.OpenKey("\\Software\\Texts", true));
        for (std::size_t i = 0; i < std::size(texts); ++i)
            writer.WriteString("v" + std::to_string(i), texts[i]);
        writer.WriteString("with \"quotes\" \\", "named");
        writer.WriteString("cut", std::string("before\0after", 12));
    }
    TRegistry reader(RootKey::CurrentUser);
    ASSERT_TRUE(reader.OpenKey("\\Software\\Texts", false));
    for (std::size_t i = 0; i < std::size(texts); ++i)
        EXPECT_EQ(reader.ReadString("v" + std::to_string(i)), texts[i]) << i;
    EXPECT_EQ(reader.ReadString("with \"quotes\" \\"), "named");
    EXPECT_EQ(reader.ReadString("cut"), "before") << "reading stops at the first NUL";
}

TEST_F(Registry, KeysMatchWithoutCaseAndIgnoreOuterSeparators)
{
    TRegistry registry(RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey("\\Software\\VIRevu\\ToolBar Buttons\\", true));
    registry.WriteString("Validate", "x");
    registry.CloseKey();

    for (const char *same :
         {"Software\\VIRevu\\ToolBar Buttons", "\\software\\virevu\\TOOLBAR BUTTONS",
          "SOFTWARE\\VIREVU\\toolbar buttons\\"}) {
        SCOPED_TRACE(same);
        ASSERT_TRUE(registry.OpenKey(same, false));
        EXPECT_EQ(registry.ReadString("VALIDATE"), "x");
        registry.CloseKey();
    }
    ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\virevu\\Toolbar buttons", true));
    ASSERT_TRUE(registry.OpenKey("\\Software", false));
    EXPECT_EQ(registry.GetKeyNames(), std::vector<std::string>{"VIRevu"}) << "no second key";

    ASSERT_TRUE(registry.OpenKey("virevu", false)) << "relative to the open key";
    EXPECT_EQ(registry.CurrentPath(), "Software\\virevu");
    EXPECT_EQ(registry.GetKeyNames(), std::vector<std::string>{"ToolBar Buttons"});
}

TEST_F(Registry, KeyNamesAreTakenLiterally)
{
    TRegistry registry(RootKey::LocalMachine);
    for (const char *refused : {"\\a\\\\b", "\\\\a", "a\\b\\\\", "\\a\nb"}) {
        EXPECT_FALSE(registry.OpenKey(refused, true)) << refused;
        EXPECT_FALSE(registry.KeyExists(refused)) << refused;
    }
    EXPECT_FALSE(fs::exists(hive())) << "a refused key writes nothing";

    ASSERT_TRUE(registry.OpenKey("\\a\\..\\b", true));
    EXPECT_FALSE(registry.KeyExists("\\b"));
    EXPECT_FALSE(registry.KeyExists("\\a\\b"));
    EXPECT_TRUE(registry.KeyExists("\\a\\..\\b"));
}

TEST_F(Registry, DeleteKeyTakesSubKeysButNotKeysThatShareAPrefix)
{
    TRegistry registry(RootKey::LocalMachine);
    for (const char *key :
         {"\\Ext\\{A}\\Sub\\Deeper", "\\Ext\\{A}\\Other", "\\Ext\\{A}B", "\\Ext\\{A} x"}) {
        ASSERT_TRUE(registry.OpenKey(key, true));
        registry.WriteString("v", key);
    }
    registry.CloseKey();
    EXPECT_TRUE(registry.DeleteKey("\\ext\\{a}\\"));
    EXPECT_FALSE(registry.DeleteKey("\\Ext\\{A}")) << "already gone";
    ASSERT_TRUE(registry.OpenKey("\\Ext", false));
    EXPECT_EQ(registry.GetKeyNames(), (std::vector<std::string>{"{A} x", "{A}B"}));
    EXPECT_FALSE(registry.KeyExists("\\Ext\\{A}\\Sub"));
}

TEST_F(Registry, WritesAfterTheOpenKeyIsGoneFail)
{
    TRegistry registry(RootKey::LocalMachine);
    EXPECT_EQ(messageOf([&] { registry.WriteString("Orphan", "x"); }),
              "Failed to set data for 'Orphan'")
        << "no key open";
    ASSERT_TRUE(registry.OpenKey("\\Gone", true));
    TRegistry other(RootKey::LocalMachine);
    ASSERT_TRUE(other.DeleteKey("\\Gone"));
    EXPECT_EQ(messageOf([&] { registry.WriteInteger("Late", 1); }),
              "Failed to set data for 'Late'");
    EXPECT_FALSE(other.KeyExists("\\Gone")) << "the write must not bring the key back";
}

TEST_F(Registry, EachWriteKeepsWhatOthersWroteMeanwhile)
{
    TRegistry first(RootKey::LocalMachine);
    TRegistry second(RootKey::LocalMachine);
    ASSERT_TRUE(first.OpenKey("\\Shared", true));
    ASSERT_TRUE(second.OpenKey("\\Shared", false));
    first.WriteString("a", "1");
    second.WriteString("b", "2");
    // Another process edits the file by hand between our writes.
    std::string text = readFile(hive());
    text += "[HKEY_LOCAL_MACHINE\\Shared]\n\"c\"=\"3\"\n";
    temp.write(fs::relative(hive(), temp.path()), text);
    first.WriteString("d", "4");

    EXPECT_EQ(first.GetValueNames(), (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST_F(Registry, UnreadableHiveIsReportedAndNeverOverwritten)
{
    const std::string broken =
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"unterminated\n";
    temp.write(fs::relative(hive(), temp.path()), broken);

    TRegistry registry(RootKey::LocalMachine);
    const std::string message = messageOf([&] { registry.OpenKey("\\A", true); });
    EXPECT_NE(message.find(hive().string()), std::string::npos) << message;
    EXPECT_NE(message.find("line 4"), std::string::npos) << message;
    EXPECT_NE(messageOf([&] { registry.OpenKey("\\B", true); }), "<no error>");
    EXPECT_NE(messageOf([&] { registry.DeleteKey("\\A"); }), "<no error>");
    EXPECT_EQ(readFile(hive()), broken);

    TRegistry user(RootKey::CurrentUser);
    EXPECT_TRUE(user.OpenKey("\\Unaffected", true)) << "the other hive is a file of its own";
}

TEST_F(Registry, UnwritableHiveFailsTheWriteAndKeepsTheFile)
{
    TRegistry registry(RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey("\\Existing", true));
    registry.WriteString("v", "before");
    const std::string before = readFile(hive());

    // A hive or its folder marked read-only, even for root.
    for (const fs::path &locked : {hive(), registryFolder()}) {
        SCOPED_TRACE(locked.string());
        const auto mode = fs::status(locked).permissions();
        fs::permissions(locked,
                        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
        EXPECT_EQ(messageOf([&] { registry.WriteString("v", "after"); }),
                  "Failed to set data for 'v'");
        EXPECT_FALSE(registry.OpenKey("\\Missing", true));
        EXPECT_FALSE(registry.DeleteValue("v"));
        fs::permissions(locked, mode);
        EXPECT_EQ(readFile(hive()), before);
        EXPECT_EQ(registry.CurrentPath(), "Existing") << "a failed open keeps the open key";
    }

    // A registry folder that cannot be created at all.
    ScopedEnv blocked("XDG_CONFIG_HOME", temp.write("plain-file", "x").string());
    TRegistry fresh(RootKey::LocalMachine);
    EXPECT_FALSE(fresh.OpenKey("\\New", true));
    EXPECT_EQ(messageOf([&] { fresh.WriteString("Default Visible", "Yes"); }),
              "Failed to set data for 'Default Visible'");
}

TEST_F(Registry, WritesLeaveNoTemporaryFilesBehind)
{
    TRegistry registry(RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey("\\K", true));
    for (int i = 0; i < 5; ++i)
        registry.WriteInteger("n" + std::to_string(i), static_cast<std::uint32_t>(i));
    registry.DeleteValue("n0");
    fs::permissions(hive(), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_THROW(registry.WriteString("refused", "x"), ERegistryException);

    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(registryFolder()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg"});
}

TEST_F(Registry, FavoritesFolderDefaultsToTheHomeFolderUntilTheUserSetsIt)
{
    const char *shellFolders =
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const std::string standard = (temp.path() / "home" / "Favorites").string();
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(shellFolders, false));
        EXPECT_EQ(registry.ReadString("Favorites"), standard);
        registry.WriteString("Personal", "/docs");
    }
    EXPECT_EQ(readFile(hive("HKEY_CURRENT_USER")).find("Favorites"), std::string::npos)
        << "the default is not frozen into the file";
    {
        ScopedEnv moved("HOME", "/moved");
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(shellFolders, false));
        EXPECT_EQ(registry.ReadString("Favorites"), "/moved/Favorites");
        registry.WriteString("Favorites", "/mine");
    }
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(shellFolders, false));
    EXPECT_EQ(registry.ReadString("Favorites"), "/mine");
    registry.WriteInteger("Favorites", 5);
    EXPECT_EQ(messageOf([&] { registry.ReadString("Favorites"); }),
              "Invalid data type for 'Favorites'");

    TRegistry machine(RootKey::LocalMachine);
    EXPECT_FALSE(machine.KeyExists(shellFolders)) << "only the user's hive has a profile";
}

} // namespace
