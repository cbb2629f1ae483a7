#include "catalogue/catalogue.h"

#include "platform/registry.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

using quorvel::FavoritesCatalogue;
using quorvel::SetFavoritesFolder;
using quorvel::platform::ERegistryException;
using quorvel::platform::RootKey;
using quorvel::platform::TRegistry;
using quorvel::test::TempDir;
namespace fs = std::filesystem;

namespace {

const char *const shellFolders =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// Points the registry and the home folder at a fresh temporary folder for one test.
class FavoritesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        saveEnv("HOME", home_);
        saveEnv("XDG_CONFIG_HOME", config_);
        ::setenv("HOME", profile_.str().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (profile_.path() / "config").c_str(), 1);
    }
    void TearDown() override
    {
        restoreEnv("HOME", home_);
        restoreEnv("XDG_CONFIG_HOME", config_);
    }

    void setFavorites(const std::string &folder)
    {
        TRegistry reg(RootKey::CurrentUser);
        ASSERT_TRUE(reg.OpenKey(shellFolders, true));
        reg.WriteString("Favorites", folder);
    }

    static std::string shortcut(const std::string &url)
    {
        return "[InternetShortcut]\nURL=" + url + "\n";
    }

    TempDir profile_;
    TempDir fav_;

private:
    static void saveEnv(const char *name, std::optional<std::string> &slot)
    {
        if (const char *value = std::getenv(name))
            slot = value;
    }
    static void restoreEnv(const char *name, const std::optional<std::string> &slot)
    {
        if (slot)
            ::setenv(name, slot->c_str(), 1);
        else
            ::unsetenv(name);
    }
    std::optional<std::string> home_;
    std::optional<std::string> config_;
};

TEST_F(FavoritesTest, ReloadHoldsOnlyTheNewScanAndKeepsTheFolder)
{
    fav_.write("gone.url", shortcut("http://gone/"));
    fav_.write("stays.url", shortcut("http://stays/"));
    setFavorites(fav_.str());

    FavoritesCatalogue catalogue;
    catalogue.Load();
    EXPECT_EQ(catalogue.FavoritesFolder(), fav_.str());
    EXPECT_EQ(catalogue.entries().URL_Names, (std::vector<std::string>{"gone", "stays"}));

    fs::remove(fav_.path() / "gone.url");
    fav_.write("new.url", shortcut("http://new/"));
    // The registry now names another folder: a reload must not read it again.
    setFavorites(profile_.str());
    catalogue.ReloadCatalogue();
    EXPECT_EQ(catalogue.FavoritesFolder(), fav_.str());
    EXPECT_EQ(catalogue.entries().URL_Names, (std::vector<std::string>{"new", "stays"}));
    EXPECT_EQ(catalogue.entries().URL_List,
              (std::vector<std::string>{"http://new/", "http://stays/"}));
    EXPECT_EQ(catalogue.entries().Files.size(), 2u);
}

TEST_F(FavoritesTest, FreshProfileWithoutFavoritesFolderGivesEmptyCatalogueQuietly)
{
    FavoritesCatalogue catalogue;
    EXPECT_NO_THROW(catalogue.Load());
    EXPECT_EQ(catalogue.entries().size(), 0u);
}

TEST_F(FavoritesTest, NonStringValueRaisesAndScansNothing)
{
    fav_.write("a.url", shortcut("http://a/"));
    {
        TRegistry reg(RootKey::CurrentUser);
        ASSERT_TRUE(reg.OpenKey(shellFolders, true));
        reg.WriteInteger("Favorites", 7);
    }
    FavoritesCatalogue catalogue;
    try {
        catalogue.Load();
        FAIL() << "a number in place of the folder path must raise";
    } catch (const ERegistryException &error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'Favorites'");
    }
    EXPECT_EQ(catalogue.entries().size(), 0u);
    EXPECT_EQ(catalogue.FavoritesFolder(), "");
}

// A folder chosen in the window must come back byte for byte at the next start, whatever
// characters the hive text has to escape; a second load holds only the new folder's shortcuts.
TEST_F(FavoritesTest, StoredFolderIsWhatTheNextLoadReadsAndScans)
{
    {
        TRegistry reg(RootKey::CurrentUser);
        ASSERT_TRUE(reg.OpenKey(shellFolders, true));
        reg.WriteString("Desktop", "/home/me/Desktop");
    }
    fav_.write("first.url", shortcut("http://first/"));
    FavoritesCatalogue catalogue;
    SetFavoritesFolder(fav_.str());
    catalogue.Load();
    ASSERT_EQ(catalogue.entries().URL_Names, std::vector<std::string>{"first"});

    for (const char *name : {"say \"hi\"", "back\\slash", "[brackets]=", " blanks ",
                             "Fran\xc3\xa7" "ais"}) {
        const fs::path folder = fav_.path() / name;
        fav_.write(fs::path(name) / "x.url", shortcut("http://x/"));
        SetFavoritesFolder(folder.string());
        catalogue.Load();
        EXPECT_EQ(catalogue.FavoritesFolder(), folder.string()) << name;
        EXPECT_EQ(catalogue.entries().Files, std::vector<std::string>{(folder / "x.url").string()})
            << name;
    }
    TRegistry reg(RootKey::CurrentUser);
    ASSERT_TRUE(reg.OpenKey(shellFolders, false));
    EXPECT_EQ(reg.GetDataType("Favorites"), quorvel::platform::ValueType::String);
    EXPECT_EQ(reg.ReadString("Desktop"), "/home/me/Desktop") << "the key's other values stay";
}

} // namespace
