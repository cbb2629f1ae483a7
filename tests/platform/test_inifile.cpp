#include "platform/inifile.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

using quorvel::platform::GetPrivateProfileString;
using quorvel::test::TempDir;

namespace {

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
        {"only the first section of a name counts", "[s]\na=1\n[t]\n[s]\nk=late\n", "s", "k",
         100, "dflt"},
        {"key in another section is not found", "[a]\nk=v\n[b]\nx=y\n", "b", "k", 100, "dflt"},
        {"key before any section is not found", "k=v\n[s]\n", "s", "k", 100, "dflt"},
        {"key without '=' gives the default", "[s]\nk\n", "s", "k", 100, "dflt"},
        {"empty value is a value", "[s]\nk=\n", "s", "k", 100, ""},
        {"value truncated to buffer - 1", "[s]\nk=abcdef\n", "s", "k", 4, "abc"},
        {"default truncated too", "[s]\n", "s", "k", 3, "df"},
        {"buffer of zero gives nothing", "[s]\nk=v\n", "s", "k", 0, ""},
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

} // namespace
