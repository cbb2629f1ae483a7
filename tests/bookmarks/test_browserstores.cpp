// Finding each browser's default bookmark store under a home folder made for the test.

#include "bookmarks/browserstores.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace quorvel::bookmarks;
using quorvel::test::TempDir;

TEST(BrowserStores, FirefoxsDefaultProfileIsTheInstallsThenTheMarkedOneThenTheOnlyOne)
{
    struct Case {
        const char *name;
        std::string ini;
        std::string expected; // below ~/.mozilla/firefox, or absolute when it starts with '/'
    };
    const std::vector<Case> cases{
        {"the installation's default wins over Default=1",
         "[Profile1]\nName=old\nIsRelative=1\nPath=Profiles/old.default\nDefault=1\n\n"
         "[Profile0]\nName=default-release\nIsRelative=1\nPath=Profiles/new.default-release\n\n"
         "[Install4F96D1932A9F858E]\nDefault=Profiles/new.default-release\nLocked=1\n\n"
         "[General]\nStartWithLastProfile=1\nVersion=2\n",
         "Profiles/new.default-release"},
        {"Default=1 without an installation section, blanks and CR LF line ends",
         "[General]\r\nStartWithLastProfile=1\r\n[Profile0]\r\nName=a\r\nIsRelative=1\r\n"
         "Path=a.first\r\n[Profile1]\r\n Name = b \r\nIsRelative = 1\r\nPath = b.marked \r\n"
         "Default = 1\r\n",
         "b.marked"},
        {"a lone unmarked profile", "[Profile0]\nName=x\nIsRelative=1\nPath=only.one\n",
         "only.one"},
        {"an absolute path", "[Profile0]\nName=x\nIsRelative=0\nPath=@ABS@\nDefault=1\n", "/"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const TempDir home;
        const auto firefox = home.path() / ".mozilla" / "firefox";
        const auto absolute = home.path() / "elsewhere" / "profile";
        std::string ini = c.ini;
        if (const auto at = ini.find("@ABS@"); at != std::string::npos)
            ini.replace(at, 5, absolute.string());
        home.write(".mozilla/firefox/profiles.ini", ini);
        const auto profile = c.expected == "/" ? absolute : firefox / c.expected;
        home.write((profile / "places.sqlite").lexically_relative(home.path()), "db");
        EXPECT_EQ(firefoxDefaultProfile(firefox), profile);
        EXPECT_EQ(findBrowserStore(Browser::Firefox, home.path()), profile / "places.sqlite");
    }
}

TEST(BrowserStores, ListShowsTheStoresThatExistInTheOrderOfTheNames)
{
    const TempDir home;
    EXPECT_TRUE(findBrowserStores(home.path()).empty());
    home.write(".config/BraveSoftware/Brave-Browser/Default/Bookmarks", "{}");
    home.write(".config/google-chrome/Default/Bookmarks", "{}");
    home.write(".config/vivaldi/Profile 1/Bookmarks", "{}"); // not the default profile
    home.write(".config/microsoft-edge/Default/Bookmarks.bak", "{}");
    home.write(".mozilla/firefox/profiles.ini", "[Profile0]\nIsRelative=1\nPath=p\nDefault=1\n");
    home.write(".mozilla/firefox/p/places.sqlite", "db");

    std::vector<std::pair<std::string_view, std::filesystem::path>> found;
    for (const FoundStore &store : findBrowserStores(home.path()))
        found.emplace_back(nameOf(store.browser), store.file.lexically_relative(home.path()));
    const std::vector<std::pair<std::string_view, std::filesystem::path>> expected{
        {"firefox", ".mozilla/firefox/p/places.sqlite"},
        {"chrome", ".config/google-chrome/Default/Bookmarks"},
        {"brave", ".config/BraveSoftware/Brave-Browser/Default/Bookmarks"},
    };
    EXPECT_EQ(found, expected);
    for (const std::string_view name : browserNames())
        EXPECT_EQ(nameOf(*browserNamed(name)), name);
    EXPECT_FALSE(browserNamed("Firefox"));
}
