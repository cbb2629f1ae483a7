// Which URL of a shortcut file counts and how its bytes become text, with files as Windows
// writes them: the Unicode URL in UTF-7 under [InternetShortcut.W], the 8-bit one in the ANSI
// code page under [InternetShortcut].

#include "catalogue/catalogue.h"

#include "platform/codepage.h"
#include "platform/registrysandbox.h"
#include "platform/utf16.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace quorvel;
using quorvel::test::TempDir;

namespace
{

const std::string cyrillicUrl = "http://пример.испытание/страница";
const std::string cyrillicUtf7 =
    "http://+BD8EQAQ4BDwENQRA.+BDgEQQQ/BEsEQgQwBD0EOAQ1-/+BEEEQgRABDAEPQQ4BEYEMA-";
const std::string cyrillic1251 = "http://\xEF\xF0\xE8\xEC\xE5\xF0.\xE8\xF1\xEF\xFB\xF2\xE0\xED"
                                 "\xE8\xE5/\xF1\xF2\xF0\xE0\xED\xE8\xF6\xE0";
const std::string chineseUrl = "http://例子.测试/页面";
const std::string chinese936 = "http://\xC0\xFD\xD7\xD3.\xB2\xE2\xCA\xD4/\xD2\xB3\xC3\xE6";

std::string windowsShortcut(const std::string &ansiUrl, const std::string &utf7Url)
{
    return "[DEFAULT]\r\nBASEURL=" + ansiUrl + "\r\n[InternetShortcut]\r\nURL=" + ansiUrl +
           "\r\nIDList=\r\n[InternetShortcut.W]\r\nURL=" + utf7Url + "\r\n";
}

TEST(ShortcutFile, UrlIsReadAsTheWindowsShellReadsIt)
{
    const struct {
        const char *what;
        std::string content;
        unsigned codePage;
        std::string expected;
    } cases[] = {
        {"Cyrillic name with both sections: the UTF-7 one counts",
         windowsShortcut(cyrillic1251, cyrillicUtf7), 1252, cyrillicUrl},
        {"Chinese with both sections",
         windowsShortcut(chinese936, "http://+T4tbUA.+bUuL1Q-/+mHWXYg-"), 1251, chineseUrl},
        {"sections the other way round",
         "[InternetShortcut.W]\r\nURL=" + cyrillicUtf7 +
             "\r\n[InternetShortcut]\r\nURL=" + cyrillic1251,
         1252, cyrillicUrl},
        {"malformed UTF-7 falls back to the 8-bit URL",
         windowsShortcut(cyrillic1251, "http://+ZZ!x/"), 1251, cyrillicUrl},
        {"8-bit bytes in the Unicode section fall back too",
         windowsShortcut(cyrillic1251, cyrillic1251), 1251, cyrillicUrl},
        {"an empty Unicode URL falls back", windowsShortcut("http://a/", ""), 1252, "http://a/"},
        {"8-bit only, Cyrillic code page", "[InternetShortcut]\r\nURL=" + cyrillic1251, 1251,
         cyrillicUrl},
        {"8-bit only, Western code page", "[InternetShortcut]\r\nURL=" + cyrillic1251, 1252,
         "http://ïðèìåð.èñïûòàíèå/ñòðàíèöà"},
        {"8-bit only, Chinese code page", "[InternetShortcut]\r\nURL=" + chinese936, 936,
         chineseUrl},
        {"a byte the code page cannot map", "[InternetShortcut]\r\nURL=http://a/\x81x", 1252,
         "http://a/\xEF\xBF\xBDx"},
        {"UTF-8 written by this system stays UTF-8", "[InternetShortcut]\r\nURL=" + cyrillicUrl,
         1252, cyrillicUrl},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF[InternetShortcut]\r\nURL=" + chineseUrl,
         1251, chineseUrl},
        {"UTF-16 file",
         "\xFF\xFE" + platform::utf8ToUtf16le("[InternetShortcut]\r\nURL=" + chineseUrl + "\r\n"),
         1251, chineseUrl},
        {"UTF-16 file with a Unicode section",
         "\xFF\xFE" + platform::utf8ToUtf16le(windowsShortcut("http://?/", cyrillicUtf7)), 1252,
         cyrillicUrl},
        {"only the Unicode section", "[InternetShortcut.W]\r\nURL=" + cyrillicUtf7, 1252,
         cyrillicUrl},
        {"neither URL", "[InternetShortcut]\r\nIconIndex=0\r\n", 1252, "no path"},
    };
    TempDir dir;
    for (const auto &c : cases) {
        const auto file = dir.write("a.url", c.content);
        EXPECT_EQ(readShortcutURL(file.string(), c.codePage), c.expected) << c.what;
    }
    EXPECT_EQ(readShortcutURL((dir.path() / "missing.url").string(), 1252), "no path");
}

TEST(ShortcutFile, ReadingNeverWritesTheFile)
{
    TempDir dir;
    const std::string content = windowsShortcut(cyrillic1251, "http://+ZZ!x/");
    const auto file = dir.write("a.url", content);
    const auto before = std::filesystem::last_write_time(file);
    readShortcutURL(file.string(), 1251);
    EXPECT_EQ(test::readFile(file), content);
    EXPECT_EQ(std::filesystem::last_write_time(file), before);
}

using CatalogueCodePage = test::RegistrySandbox;

// The scan takes the code page from the registry, and a file name that is not UTF-8 (copied
// from an 8-bit system) is shown decoded while its path stays byte for byte.
TEST_F(CatalogueCodePage, ScanDecodesWithTheSystemCodePage)
{
    TempDir fav;
    fav.write("\xCF\xF0\xE8\xEC\xE5\xF0.url", "[InternetShortcut]\r\nURL=" + cyrillic1251);
    fav.write("Пример.url", windowsShortcut("http://?/", cyrillicUtf7));

    Catalogue western;
    SearchURL(fav.str(), western);
    ASSERT_EQ(western.size(), 2u);

    platform::TRegistry registry(platform::RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey("SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", true));
    registry.WriteString("ACP", "1251");
    Catalogue cyrillic;
    SearchURL(fav.str(), cyrillic);
    ASSERT_EQ(cyrillic.size(), 2u);

    // Names are ordered byte by byte: the 8-bit name (0xCF...) before the UTF-8 one (0xD0...).
    EXPECT_EQ(western.URL_Names[0], "Ïðèìåð");
    EXPECT_EQ(western.URL_List[0], "http://ïðèìåð.èñïûòàíèå/ñòðàíèöà");
    EXPECT_EQ(cyrillic.URL_Names[0], "Пример");
    EXPECT_EQ(cyrillic.URL_List[0], cyrillicUrl);
    EXPECT_EQ(cyrillic.Files[0], (fav.path() / "\xCF\xF0\xE8\xEC\xE5\xF0.url").string());
    for (const Catalogue *catalogue : {&western, &cyrillic}) {
        EXPECT_EQ(catalogue->URL_Names[1], "Пример");
        EXPECT_EQ(catalogue->URL_List[1], cyrillicUrl);
    }
}

} // namespace
