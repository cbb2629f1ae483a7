#include "platform/registry.h"

#include "platform/registrysandbox.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/stat.h>

namespace fs = std::filesystem;
using quorvel::platform::registryFolder;
using quorvel::platform::ValueType;
using quorvel::test::readFile;
using quorvel::test::ScopedEnv;
using quorvel::test::ValueList;

namespace {

using Registry = quorvel::test::RegistrySandbox;

TEST_F(Registry, ReadsAreCheckedByTypeAndStringsSurviveTheFile)
{
    // The file format itself is tested with the hive file; these pass through the layer.
    const ValueList texts = {{"", "default"}, {"dir\\", "C:\\Program Files\\"}, {"q\"", "\"hi\""}};
    TRegistry writer(RootKey::LocalMachine);
    ASSERT_TRUE(writer.OpenKey("\\Software\\Types", true));
    for (const auto &[name, data] : texts)
        writer.WriteString(name, data);
    writer.WriteString("cut", std::string("before\0after", 12));
    writer.WriteInteger("Number", 0xDEADBEEF);
    writer.WriteExpandString("Expand", "%HOME%\\x");

    TRegistry reader(RootKey::LocalMachine);
    ASSERT_TRUE(reader.OpenKey("Software\\Types", false));
    for (const auto &[name, data] : texts)
        EXPECT_EQ(reader.ReadString(name), data) << name;
    EXPECT_EQ(reader.ReadString("cut"), "before") << "reading stops at the first NUL";
    EXPECT_EQ(reader.GetDataType("Expand"), ValueType::ExpandString);
    EXPECT_EQ(reader.ReadString("Expand"), "%HOME%\\x") << "stored, not expanded";
    EXPECT_EQ(reader.ReadInteger("number"), 0xDEADBEEFu);
    EXPECT_EQ(reader.ReadString("Missing"), "");
    EXPECT_EQ(errorOf([&] { reader.ReadString("Number"); }), "Invalid data type for 'Number'");
    EXPECT_EQ(errorOf([&] { reader.ReadInteger("dir\\"); }), "Invalid data type for 'dir\\'");
    EXPECT_EQ(errorOf([&] { reader.ReadInteger("Missing"); }), "Failed to get data for 'Missing'");
}

TEST_F(Registry, KeysMatchWithoutCaseAndAreTakenLiterally)
{
    TRegistry registry(RootKey::LocalMachine);
    for (const char *refused : {"\\a\\\\b", "\\\\a", "a\\b\\\\", "\\a\nb"})
        EXPECT_FALSE(registry.OpenKey(refused, true)) << refused;
    EXPECT_FALSE(fs::exists(hive())) << "a refused key writes nothing";

    ASSERT_TRUE(registry.OpenKey("\\Software\\VIRevu\\ToolBar Buttons\\", true));
    registry.WriteString("Validate", "x");
    ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\virevu\\toolbar buttons", true));
    EXPECT_EQ(registry.ReadString("VALIDATE"), "x");
    ASSERT_TRUE(registry.OpenKey("\\software\\", false));
    EXPECT_EQ(registry.GetKeyNames(), std::vector<std::string>{"VIRevu"}) << "no second key";
    ASSERT_TRUE(registry.OpenKey("virevu", false)) << "relative to the open key";
    EXPECT_EQ(registry.CurrentPath(), "software\\virevu");

    ASSERT_TRUE(registry.OpenKey("\\a\\..\\b", true));
    EXPECT_FALSE(registry.KeyExists("\\b"));
    EXPECT_FALSE(registry.KeyExists("\\a\\b"));
}

TEST_F(Registry, DeleteKeyTakesSubKeysButNotKeysThatShareAPrefix)
{
    for (const char *key :
         {"\\Ext\\{A}\\Sub\\Deeper", "\\Ext\\{A}\\Other", "\\Ext\\{A}B", "\\Ext\\{A} x"})
        writeValue(key, "v", key);
    TRegistry registry(RootKey::LocalMachine);
    EXPECT_TRUE(registry.DeleteKey("\\ext\\{a}\\"));
    EXPECT_FALSE(registry.DeleteKey("\\Ext\\{A}")) << "already gone";
    EXPECT_EQ(subKeys("\\Ext"), (std::vector<std::string>{"{A} x", "{A}B"}));
}

TEST_F(Registry, WritesFailOnceTheOpenKeyIsGoneAndKeepWhatOthersWrote)
{
    TRegistry first(RootKey::LocalMachine);
    TRegistry second(RootKey::LocalMachine);
    EXPECT_EQ(errorOf([&] { first.WriteString("a", "1"); }), "Failed to set data for 'a'");
    ASSERT_TRUE(first.OpenKey("\\Shared", true));
    ASSERT_TRUE(second.OpenKey("\\Shared", false));
    first.WriteString("a", "1");
    second.WriteString("b", "2");
    // Another process edits the file by hand between our writes.
    temp.write(fs::relative(hive(), temp.path()),
               readFile(hive()) + "[HKEY_LOCAL_MACHINE\\Shared]\n\"c\"=\"3\"\n");
    first.WriteString("d", "4");
    EXPECT_EQ(first.GetValueNames(), (std::vector<std::string>{"a", "b", "c", "d"}));

    ASSERT_TRUE(second.DeleteKey("\\Shared"));
    EXPECT_EQ(errorOf([&] { first.WriteInteger("Late", 1); }), "Failed to set data for 'Late'");
    EXPECT_FALSE(second.KeyExists("\\Shared")) << "the write must not bring the key back";
}

TEST_F(Registry, UnparsableHiveIsReportedAndNeverOverwritten)
{
    const std::string broken =
        "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"unterminated\n";
    temp.write(fs::relative(hive(), temp.path()), broken);
    TRegistry registry(RootKey::LocalMachine);
    const std::string message = errorOf([&] { registry.OpenKey("\\A", true); });
    EXPECT_NE(message.find(hive().string()), std::string::npos) << message;
    EXPECT_NE(message.find("line 4"), std::string::npos) << message;
    EXPECT_NE(errorOf([&] { registry.DeleteKey("\\A"); }), "<no error>");
    EXPECT_EQ(readFile(hive()), broken);
    EXPECT_TRUE(TRegistry(RootKey::CurrentUser).OpenKey("\\Other", true)) << "a file of its own";

    // Something that is not a file in the hive's place: refused, not waited on, left alone.
    fs::remove(hive());
    ASSERT_EQ(::mkfifo(hive().c_str(), 0600), 0);
    EXPECT_NE(errorOf([&] { registry.OpenKey("\\A", false); }).find(hive().string()),
              std::string::npos);
    EXPECT_NE(errorOf([&] { registry.DeleteKey("\\A"); }), "<no error>");
    EXPECT_TRUE(fs::is_fifo(hive()));
}

TEST_F(Registry, UnwritableHiveFailsTheWriteAndLeavesNoTemporaryFile)
{
    TRegistry registry(RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey("\\Existing", true));
    registry.WriteString("v", "before");
    const std::string before = readFile(hive());
    for (const fs::path &locked : {hive(), registryFolder()}) {
        SCOPED_TRACE(locked.string());
        const ReadOnly guard(locked);
        EXPECT_EQ(errorOf([&] { registry.WriteString("v", "after"); }),
                  "Failed to set data for 'v'");
        EXPECT_FALSE(registry.OpenKey("\\Missing", true));
        EXPECT_FALSE(registry.DeleteValue("v"));
        EXPECT_EQ(registry.CurrentPath(), "Existing") << "a failed open keeps the open key";
    }
    EXPECT_EQ(readFile(hive()), before);
    std::vector<fs::path> entries{fs::directory_iterator(registryFolder()), {}};
    EXPECT_EQ(entries, std::vector<fs::path>{hive()});

    // A registry folder that cannot be created at all.
    const ScopedEnv blocked("XDG_CONFIG_HOME", temp.write("plain-file", "x").string());
    TRegistry fresh(RootKey::LocalMachine);
    EXPECT_FALSE(fresh.OpenKey("\\New", true));
    EXPECT_EQ(errorOf([&] { fresh.WriteString("Default Visible", "Yes"); }),
              "Failed to set data for 'Default Visible'");
}

TEST_F(Registry, FavoritesFolderDefaultsToTheHomeFolderUntilTheUserSetsIt)
{
    const std::string shellFolders =
        "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    const auto favorites = [&] {
        TRegistry reader;
        return reader.OpenKey(shellFolders, false) ? reader.ReadString("Favorites") : "<no key>";
    };
    EXPECT_EQ(favorites(), (temp.path() / "home" / "Favorites").string());
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(shellFolders, false));
    registry.WriteString("Personal", "/docs");
    EXPECT_EQ(readFile(hive(RootKey::CurrentUser)).find("Favorites"), std::string::npos)
        << "the default is not frozen into the file";
    {
        const ScopedEnv moved("HOME", "/moved");
        EXPECT_EQ(favorites(), "/moved/Favorites");
    }
    registry.WriteString("favorites", "/mine");
    EXPECT_EQ(favorites(), "/mine");
    registry.WriteInteger("Favorites", 5);
    EXPECT_EQ(errorOf([&] { registry.ReadString("Favorites"); }),
              "Invalid data type for 'Favorites'");
    EXPECT_FALSE(TRegistry(RootKey::LocalMachine).KeyExists(shellFolders));
}

} // namespace
