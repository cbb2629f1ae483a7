#include "platform/hivefile.h"

#include <gtest/gtest.h>

#include <string>

using quorvel::platform::Hive;
using quorvel::platform::HiveFormatError;
using quorvel::platform::HiveKey;
using quorvel::platform::HiveValue;
using quorvel::platform::kRegBinary;
using quorvel::platform::kRegDword;
using quorvel::platform::kRegExpandSz;
using quorvel::platform::kRegSz;

namespace
{

const std::string kRoot = "HKEY_LOCAL_MACHINE";
const std::string kHeader = "Windows Registry Editor Version 5.00\n\n";

std::string valueData(Hive &hive, const std::string &key, const std::string &name)
{
    HiveKey *found = hive.find(key);
    if (!found)
        return "<no key>";
    const HiveValue *value = found->findValue(name);
    return value ? value->data : "<no value>";
}

std::string utf16(const std::string &ascii)
{
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

TEST(HiveFile, ReadsTheTextsOtherEditorsWrite)
{
    struct Case {
        const char *what;
        std::string text;
        std::string expected; // data of value "v" in key "A\B"
    };
    const Case cases[] = {
        {"LF line ends", kHeader + "[HKEY_LOCAL_MACHINE\\A\\B]\n\"v\"=\"x\"\n", "x"},
        {"CR LF and blank lines",
         "\r\n\r\nWindows Registry Editor Version 5.00\r\n\r\n\r\n[HKEY_LOCAL_MACHINE\\A\\B]\r\n"
         "\"v\"=\"x\"\r\n",
         "x"},
        {"UTF-8 byte-order mark",
         "\xEF\xBB\xBF" + kHeader + "[HKEY_LOCAL_MACHINE\\A\\B]\n\"v\"=\"x\"", "x"},
        {"UTF-16LE as the registry editor saves it",
         "\xFF\xFE" + utf16(kHeader + "[HKEY_LOCAL_MACHINE\\A\\B]\r\n\"v\"=\"x\"\r\n"), "x"},
        {"escapes in names and data",
         kHeader + "[HKEY_LOCAL_MACHINE\\A\\B]\n\"v\"=\"C:\\\\say \\\"hi\\\"\\\\\"\n",
         "C:\\say \"hi\"\\"},
        {"expandable string in UTF-16LE bytes",
         kHeader + "[HKEY_LOCAL_MACHINE\\A\\B]\n\"v\"=hex(2):25,00,41,00,25,00,00,00\n", "%A%"},
        {"hex data continued over lines",
         kHeader + "[HKEY_LOCAL_MACHINE\\A\\B]\n\"v\"=hex:61,62,\\\n  63,\\\n  64\n", "abcd"},
        {"comments, spaces around '=', key root in another case",
         kHeader + "; exported\n[hkey_local_machine\\a\\b]\n\"v\" = \"x\"\n", "x"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Hive hive = Hive::parse(c.text, kRoot);
        EXPECT_EQ(valueData(hive, "a\\b", "v"), c.expected);
        EXPECT_NE(hive.find("A"), nullptr) << "parent of a section must exist";
    }
}

TEST(HiveFile, ReportsTheLineOfEveryFaultInsteadOfGuessing)
{
    struct Case {
        const char *what;
        std::string text;
        int line;
    };
    const Case cases[] = {
        {"no header", "[HKEY_LOCAL_MACHINE\\A]\n", 1},
        {"value before any key", kHeader + "\"v\"=\"x\"\n", 3},
        {"key of another hive", kHeader + "[HKEY_CURRENT_USER\\A]\n", 3},
        {"empty key component", kHeader + "[HKEY_LOCAL_MACHINE\\A\\\\B]\n", 3},
        {"value deletion", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"v\"=-\n", 4},
        {"unterminated quote", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"x\n", 4},
        {"unknown escape", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"a\\nb\"\n", 4},
        {"bad dword", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:123456789\n", 4},
        {"hex continued past the end", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex:01,\\\n", 4},
        {"odd UTF-16 string bytes", kHeader + "[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex(2):41\n", 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        try {
            Hive::parse(c.text, kRoot);
            ADD_FAILURE() << "parsed";
        } catch (const HiveFormatError &error) {
            EXPECT_EQ(error.line(), c.line);
        }
    }
}

TEST(HiveFile, WrittenHiveReadsBackWithEveryValueIntact)
{
    Hive hive(kRoot);
    HiveKey &key = hive.create("Software\\Ünïcode\\Odd \"name\"");
    const std::string longBinary(300, '\xAB');
    const HiveValue values[] = {
        {"", kRegSz, "default value"},
        {"ends in backslash", kRegSz, "C:\\Program Files\\"},
        {"quotes \"and\" \\", kRegSz, "a \"b\" c"},
        {"line breaks", kRegSz, "one\r\ntwo\n"},
        {"embedded NUL", kRegSz, std::string("a\0b", 3)},
        // Bytes of another code page next to a CR or NUL cannot go through UTF-16.
        {"not UTF-8 with a CR", kRegSz, "Caf\xE9\rau lait"},
        {"not UTF-8 with a NUL", kRegSz, std::string("\xFF\0", 2)},
        {"expand", kRegExpandSz, "%HOME%\\x \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"number", kRegDword, std::string("\x78\x56\x34\x12", 4)},
        {"binary", kRegBinary, longBinary},
        {"kept type", 7, std::string("a\0b\0\0", 5)},
    };
    for (const HiveValue &value : values)
        key.setValue(value);
    hive.create("Software\\Empty");

    const std::string text = hive.serialize();
    Hive back = Hive::parse(text, kRoot);
    HiveKey *read = back.find("SOFTWARE\\Ünïcode\\odd \"NAME\"");
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->values.size(), std::size(values));
    for (std::size_t i = 0; i < std::size(values); ++i) {
        SCOPED_TRACE(values[i].name);
        EXPECT_EQ(read->values[i].name, values[i].name) << "order and names kept";
        EXPECT_EQ(read->values[i].type, values[i].type);
        EXPECT_EQ(read->values[i].data, values[i].data);
    }
    EXPECT_NE(back.find("Software\\Empty"), nullptr) << "an empty key is a key";
    EXPECT_EQ(back.serialize(), text) << "a second round changes nothing";
}

} // namespace
