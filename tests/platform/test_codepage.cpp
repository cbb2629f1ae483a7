#include "platform/codepage.h"

#include "platform/registrysandbox.h"

#include <gtest/gtest.h>

#include <string>

using namespace quorvel::platform;

namespace
{

TEST(CodePage, EightBitTextDecodesInTheCodePageGiven)
{
    const struct {
        const char *what;
        unsigned codePage;
        std::string bytes;
        const char *expected;
    } cases[] = {
        {"Cyrillic", 1251, "\xCF\xF0\xE8\xEC\xE5\xF0", "Пример"},
        {"the same bytes in Western", 1252, "\xCF\xF0\xE8\xEC\xE5\xF0", "Ïðèìåð"},
        {"Western, euro sign", 1252, "caf\xE9 \x80", "café €"},
        {"Simplified Chinese, two bytes a character", 936, "\xC0\xFD\xD7\xD3", "例子"},
        {"Japanese", 932, "\x83\x65\x83\x58\x83\x67", "テスト"},
        {"UTF-8 as a code page", 65001, "\xD0\x9F", "П"},
        {"ASCII is the same everywhere", 936, "http://a/b?c=d", "http://a/b?c=d"},
        {"unknown code page reads as Western", 4242, "caf\xE9", "café"},
        {"a byte Western has no character for", 1252, "a\x81z", "a\xEF\xBF\xBDz"},
        {"a lead byte cut off by the end", 936, "ab\xC0", "ab\xEF\xBF\xBD"},
        {"a lead byte before a byte that cannot follow it", 936,
         "\xC0\x7F"
         "x",
         "\xEF\xBF\xBD\x7Fx"},
        {"nothing", 1251, "", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(decodeCodePage(c.bytes, c.codePage), c.expected) << c.what;
        CodePageDecoder decoder(c.codePage);
        // One decoder serves text after text; the state of one never leaks into the next.
        EXPECT_EQ(decoder.decode(c.bytes), c.expected) << c.what;
        EXPECT_EQ(decoder.decode(c.bytes), c.expected) << c.what;
    }
    EXPECT_EQ(CodePageDecoder(4242).codePage(), 1252u);
}

TEST(CodePage, Utf7DecodesOrSaysItCannot)
{
    const struct {
        const char *what;
        const char *text;
        std::optional<std::string> expected;
    } cases[] = {
        {"plain ASCII", "http://a/b", "http://a/b"},
        {"a run ended by '-'", "http://+BD8EQAQ4BDwENQRA-.rf/", "http://пример.rf/"},
        {"a run ended by a character outside base64", "+T4tbUA.+bUuL1Q-/", "例子.测试/"},
        {"'+-' is a plus sign", "a+-b", "a+b"},
        {"a character outside ASCII is no UTF-7", "http://\xD0\x9F/", std::nullopt},
        {"a run whose bits do not end on a character", "+BD8E-", std::nullopt},
        {"a stray character in a run", "+ZZ!x", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(decodeUtf7(c.text), c.expected) << c.what;
}

TEST(CodePage, WellFormedUtf8IsTold)
{
    EXPECT_TRUE(isUtf8("plain"));
    EXPECT_TRUE(isUtf8("Пример 例子 😀"));
    EXPECT_FALSE(isUtf8("caf\xE9"));
    EXPECT_FALSE(isUtf8("\xC0\xAF"));     // overlong '/'
    EXPECT_FALSE(isUtf8("\xED\xA0\x80")); // a surrogate
    EXPECT_FALSE(isUtf8("\xE4\xBE"));     // cut off
}

using AnsiCodePage = quorvel::test::RegistrySandbox;

TEST_F(AnsiCodePage, ComesFromTheRegistryAndFallsBackToWestern)
{
    EXPECT_EQ(GetACP(), 1252u) << "no value";
    TRegistry registry(RootKey::LocalMachine);
    ASSERT_TRUE(registry.OpenKey("SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", true));
    const struct {
        const char *value;
        unsigned expected;
    } cases[] = {{"1251", 1251}, {"936", 936}, {"", 1252}, {"12x", 1252}, {"0", 1252}};
    for (const auto &c : cases) {
        registry.WriteString("ACP", c.value);
        EXPECT_EQ(GetACP(), c.expected) << c.value;
    }
    registry.WriteInteger("ACP", 1251);
    EXPECT_EQ(GetACP(), 1252u) << "a number where text belongs";
}

} // namespace
