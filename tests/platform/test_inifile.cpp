#include "platform/inifile.h"

#include "platform/utf16.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using quorvel::platform::GetPrivateProfileString;
using quorvel::platform::ProfileEncoding;
using quorvel::platform::ProfileLookup;
using quorvel::platform::ReadProfileStrings;
using quorvel::test::TempDir;

namespace
{

struct Lookup {
    const char *what;
    const char *file;
    const char *section;
    const char *key;
    std::size_t bufferSize;
    const char *expected;
};

TEST(IniFile, ReadsValuesAsTheSystemReaderDoes)
{
    const Lookup cases[] = {
        {"names match in any case", "[internetshortcut]\nurl=http://a/\n", "InternetShortcut",
         "URL", 2048, "http://a/"},
        {"blanks around names and value", "  [ Sec ]  \n  Key  =  v a l  \n", "sec", "KEY", 100,
         "v a l"},
        {"double quotes stripped", "[s]\nk=\"  quoted \"\n", "s", "k", 100, "  quoted "},
        {"single quotes stripped", "[s]\nk='x'\n", "s", "k", 100, "x"},
        {"unmatched quotes kept", "[s]\nk=\"x'\n", "s", "k", 100, "\"x'"},
        {"a lone quote kept", "[s]\nk=\"\n", "s", "k", 100, "\""},
        {"CR LF line ends", "[s]\r\nk=v\r\nother=w\r\n", "s", "k", 100, "v"},
        {"last line without line end", "[s]\nk=tail", "s", "k", 100, "tail"},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", 100, "v"},
        {"first key wins", "[s]\nk=first\nk=second\n", "s", "k", 100, "first"},
        {"only the first section of a name counts", "[s]\na=1\n[t]\n[s]\nk=late\n", "s", "k", 100,
         "dflt"},
        {"key in another section is not found", "[a]\nk=v\n[b]\nx=y\n", "b", "k", 100, "dflt"},
        {"key before any section is not found", "k=v\n[s]\n", "s", "k", 100, "dflt"},
        {"key without '=' gives the default", "[s]\nk\n", "s", "k", 100, "dflt"},
        {"empty value is a value", "[s]\nk=\n", "s", "k", 100, ""},
        {"value truncated to buffer - 1", "[s]\nk=abcdef\n", "s", "k", 4, "abc"},
        {"default truncated too", "[s]\n", "s", "k", 3, "df"},
        {"buffer of zero gives nothing", "[s]\nk=v\n", "s", "k", 0, ""},
        {"spaces around the caller's names dropped", "[s]\nk=v\n", "  s ", " k  ", 100, "v"},
        {"a tab stays part of the caller's name", "[s]\nk=v\n", "\ts", "k", 100, "dflt"},
        {"a tab stays part of the caller's key", "[s]\nk=v\n", "s", "k\t", 100, "dflt"},
        {"quotes stripped before truncation", "[s]\nk=\"abcdef\"\n", "s", "k", 4, "abc"},
        {"comment lines ignored", "[s]\n;k=no\nk=yes\n", "s", "k", 100, "yes"},
        {"section header without closing bracket", "[s\nk=v\n", "s", "k", 100, "v"},
    };
    for (const Lookup &c : cases) {
        TempDir dir;
        const auto file = dir.write("x.ini", c.file);
        EXPECT_EQ(GetPrivateProfileString(c.section, c.key, "dflt", c.bufferSize, file.string()),
                  c.expected)
            << c.what;
    }
}

TEST(IniFile, ValueEndsAtNulByteAsInCallerBuffer)
{
    TempDir dir;
    const auto file = dir.write("nul.ini", std::string("[s]\nk=ab\0cd\n", 12));
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", 100, file.string()), "ab");
}

TEST(IniFile, MissingOrUnreadableFileGivesDefault)
{
    TempDir dir;
    EXPECT_EQ(GetPrivateProfileString("s", "k", "no path", 2048, (dir.path() / "none").string()),
              "no path");
    // A folder where a file was expected.
    EXPECT_EQ(GetPrivateProfileString("s", "k", "no path", 2048, dir.str()), "no path");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "no path", 2048, ""), "no path");
}

TEST(IniFile, FifoOrEndlessDeviceNamedLikeShortcutDoesNotHang)
{
    TempDir dir;
    const std::string fifo = (dir.path() / "pipe.url").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", 100, fifo), "dflt");
    const std::string zero = (dir.path() / "zero.url").string();
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", 100, zero), "dflt");
}

TEST(IniFile, BinaryFileWithoutLineEndsIsReadSafely)
{
    TempDir dir;
    std::string noise(8 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (char &c : noise) {
        if (c == '\n' || c == '\r')
            c = 'x';
    }
    const auto file = dir.write("bin.url", noise + "\n[s]\nk=found\n");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", 2048, file.string()), "found");
    EXPECT_EQ(GetPrivateProfileString("s", "zz", "dflt", 2048, file.string()), "dflt");
}

TEST(IniFile, HugeValueLineKeepsStartAndClosingQuote)
{
    TempDir dir;
    const std::string big(300 * 1024, 'v');
    const auto file = dir.write("big.ini", "[s]\nk=\"" + big + "\"   \nq=" + big + "\n");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", 2048, file.string()), big.substr(0, 2047));
    // Unquoted long value: no quote to strip.
    EXPECT_EQ(GetPrivateProfileString("s", "q", "dflt", 10, file.string()), "vvvvvvvvv");
    // With a buffer larger than the line the whole value comes back, quotes stripped.
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", 1024 * 1024, file.string()), big);
}

TEST(IniFile, DefaultLosesTrailingSpacesOnly)
{
    TempDir dir;
    const auto file = dir.write("a.ini", "[s]\n");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "  no path   ", 100, file.string()), "  no path");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "tab\t", 100, file.string()), "tab\t");
    EXPECT_EQ(GetPrivateProfileString("s", "k", "   ", 100, file.string()), "");
}

// Windows reads UTF-16LE profile files with a byte-order mark; their values come out as UTF-8.
TEST(IniFile, Utf16FileIsReadLikeAnEightBitOne)
{
    TempDir dir;
    const std::string text = "[InternetShortcut]\r\nURL=http://пример.испытание/😀\r\n"
                             "[Other]\r\nKey = \"quoted\"\r\n";
    const auto file = dir.write("wide.url", "\xFF\xFE" + quorvel::platform::utf8ToUtf16le(text));
    EXPECT_EQ(GetPrivateProfileString("internetshortcut", "url", "no path", 2048, file.string()),
              "http://пример.испытание/😀");
    EXPECT_EQ(GetPrivateProfileString("Other", "Key", "no path", 2048, file.string()), "quoted");
    // A cut never leaves half a character.
    EXPECT_EQ(GetPrivateProfileString("InternetShortcut", "URL", "", 15, file.string()),
              "http://при");

    // Without the mark the same bytes are no profile at all.
    const auto bare = dir.write("bare.url", quorvel::platform::utf8ToUtf16le(text));
    EXPECT_EQ(GetPrivateProfileString("InternetShortcut", "URL", "no path", 2048, bare.string()),
              "no path");
}

TEST(IniFile, Utf16FileLongerThanOneReadKeepsCharactersWhole)
{
    // Lines of 4-byte characters across many read chunks, so chunk ends fall inside pairs.
    TempDir dir;
    std::string text = "[s]\n";
    for (int i = 0; i < 3000; ++i)
        text += "pad" + std::to_string(i) + "=😀😀😀 x\n";
    text += "k=end😀\n";
    const auto file = dir.write("long.ini", "\xFF\xFE" + quorvel::platform::utf8ToUtf16le(text));
    EXPECT_EQ(GetPrivateProfileString("s", "k", "dflt", 100, file.string()), "end😀");
    EXPECT_EQ(GetPrivateProfileString("s", "pad2999", "dflt", 100, file.string()), "😀😀😀 x");
}

TEST(IniFile, SeveralLookupsInOneReadingReportTheEncoding)
{
    TempDir dir;
    struct Case {
        const char *what;
        std::string content;
        ProfileEncoding encoding;
    };
    const std::string body = "[a]\nk=1\n[b]\nk=2\n";
    const Case cases[] = {
        {"8-bit", body, ProfileEncoding::Ansi},
        {"UTF-8 mark", "\xEF\xBB\xBF" + body, ProfileEncoding::Utf8},
        {"UTF-16 mark", "\xFF\xFE" + quorvel::platform::utf8ToUtf16le(body),
         ProfileEncoding::Utf16},
    };
    for (const Case &c : cases) {
        const auto file = dir.write("f.ini", c.content);
        ProfileLookup lookups[] = {
            {"b", "k", std::nullopt}, {"a", "k", std::nullopt}, {"c", "k", "stale"}};
        EXPECT_EQ(ReadProfileStrings(file.string(), lookups, 100), c.encoding) << c.what;
        EXPECT_EQ(lookups[0].value, "2") << c.what;
        EXPECT_EQ(lookups[1].value, "1") << c.what;
        EXPECT_EQ(lookups[2].value, std::nullopt) << c.what;
    }
    ProfileLookup lookup{"a", "k", std::nullopt};
    EXPECT_EQ(ReadProfileStrings((dir.path() / "none").string(), {&lookup, 1}, 100), std::nullopt);
}

} // namespace
