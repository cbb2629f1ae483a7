#include "deep/htmlentities.h"

#include "deep/textfold.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quorvel::deep
{

namespace
{

// The names of U+00A0 to U+00FF in order; HTML also accepts these without the semicolon.
constexpr std::array<std::string_view, 96> latin1Names{
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

constexpr std::array<std::pair<std::string_view, char32_t>, 45> otherNames{{
    {"amp", '&'},       {"lt", '<'},        {"gt", '>'},        {"quot", '"'},
    {"apos", '\''},     {"OElig", 0x152},   {"oelig", 0x153},   {"Scaron", 0x160},
    {"scaron", 0x161},  {"Yuml", 0x178},    {"Zcaron", 0x17D},  {"zcaron", 0x17E},
    {"fnof", 0x192},    {"circ", 0x2C6},    {"tilde", 0x2DC},   {"ensp", 0x2002},
    {"emsp", 0x2003},   {"thinsp", 0x2009}, {"zwnj", 0x200C},   {"zwj", 0x200D},
    {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018},  {"rsquo", 0x2019},
    {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D},  {"bdquo", 0x201E},
    {"dagger", 0x2020}, {"Dagger", 0x2021}, {"bull", 0x2022},   {"hellip", 0x2026},
    {"permil", 0x2030}, {"prime", 0x2032},  {"lsaquo", 0x2039}, {"rsaquo", 0x203A},
    {"euro", 0x20AC},   {"trade", 0x2122},  {"larr", 0x2190},   {"uarr", 0x2191},
    {"rarr", 0x2192},   {"darr", 0x2193},   {"harr", 0x2194},   {"hearts", 0x2665},
    {"NewLine", '\n'},
}};

// Numeric references to 0x80..0x9F mean windows-1252's characters, as browsers read them.
constexpr std::array<char16_t, 32> c1Replacements{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool readNumeric(std::string_view text, std::size_t &at, std::string &out)
{
    std::size_t i = at + 2;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex)
        ++i;
    const std::size_t digitsStart = i;
    char32_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            break;
        if (value <= 0x10FFFF) // past that it is invalid anyway; stop growing
            value = value * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (i == digitsStart)
        return false;
    if (i < text.size() && text[i] == ';')
        ++i;
    if (value >= 0x80 && value < 0xA0)
        value = c1Replacements[value - 0x80];
    else if (value == 0)
        value = 0xFFFD;
    appendUtf8(out, value); // out of range and surrogates become U+FFFD there
    at = i;
    return true;
}

} // namespace

bool readCharacterReference(std::string_view text, std::size_t &at, std::string &out)
{
    if (at + 1 >= text.size())
        return false;
    if (text[at + 1] == '#')
        return readNumeric(text, at, out);

    std::size_t end = at + 1;
    while (end < text.size() && end - at <= 32 && isAlnum(text[end]))
        ++end;
    const std::string_view name = text.substr(at + 1, end - at - 1);
    if (name.empty())
        return false;
    const bool semicolon = end < text.size() && text[end] == ';';

    char32_t value = 0;
    if (const auto found = std::find(latin1Names.begin(), latin1Names.end(), name);
        found != latin1Names.end()) {
        value = 0xA0 + static_cast<char32_t>(found - latin1Names.begin());
    } else if (!semicolon) {
        // Without a semicolon only the old Latin-1 names and the four markup ones count.
        if (name != "amp" && name != "lt" && name != "gt" && name != "quot")
            return false;
    }
    if (value == 0) {
        const auto found = std::find_if(otherNames.begin(), otherNames.end(),
                                        [&](const auto &entry) { return entry.first == name; });
        if (found == otherNames.end())
            return false;
        value = found->second;
    }
    appendUtf8(out, value);
    at = end + (semicolon ? 1 : 0);
    return true;
}

} // namespace quorvel::deep
