#include "deep/textfold.h"

#include <array>

namespace quorvel::deep
{

namespace
{

// Folded forms of U+00C0 to U+017F, one entry per code point; "-" marks the two signs among
// them (multiplication and division) that separate words.
constexpr std::array<std::string_view, 192> latinFolds{
    // U+00C0
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i", "d", "n", "o",
    "o", "o", "o", "o", "-", "o", "u", "u", "u", "u", "y", "th", "ss", "a", "a", "a", "a", "a", "a",
    "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i", "d", "n", "o", "o", "o", "o", "o", "-", "o",
    "u", "u", "u", "u", "y", "th", "y",
    // U+0100
    "a", "a", "a", "a", "a", "a", "c", "c", "c", "c", "c", "c", "c", "c", "d", "d", "d", "d", "e",
    "e", "e", "e", "e", "e", "e", "e", "e", "e", "g", "g", "g", "g", "g", "g", "g", "g", "h", "h",
    "h", "h", "i", "i", "i", "i", "i", "i", "i", "i", "i", "i", "ij", "ij", "j", "j", "k", "k", "k",
    "l", "l", "l", "l", "l", "l", "l", "l", "l", "l", "n", "n", "n", "n", "n", "n", "n", "n", "n",
    "o", "o", "o", "o", "o", "o", "oe", "oe", "r", "r", "r", "r", "r", "r", "s", "s", "s", "s", "s",
    "s", "s", "s", "t", "t", "t", "t", "t", "t", "u", "u", "u", "u", "u", "u", "u", "u", "u", "u",
    "u", "u", "w", "w", "y", "y", "y", "z", "z", "z", "z", "z", "z", "s"};

enum class Kind { Separator, Ignored, Letter, Ideograph };

Kind kindOf(char32_t c)
{
    if (c < 0x80) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        return alnum ? Kind::Letter : Kind::Separator;
    }
    // Soft hyphens and zero-width characters split nothing a reader sees.
    if (c == 0xAD || (c >= 0x200B && c <= 0x200D) || c == 0x2060 || c == 0xFEFF ||
        (c >= 0x300 && c <= 0x36F))
        return Kind::Ignored;
    if (c < 0xC0 || c == 0xD7 || c == 0xF7)
        return Kind::Separator; // C1 controls and Latin-1 signs: no-break space, quotes, ...
    if ((c >= 0x2000 && c <= 0x2BFF) || (c >= 0x3000 && c <= 0x303F) ||
        (c >= 0xFF00 && c <= 0xFF0F) || (c >= 0xFE30 && c <= 0xFE4F) || c == 0xFFFD ||
        (c >= 0xE000 && c <= 0xF8FF) || c >= 0x1F000)
        return Kind::Separator; // punctuation, symbols, private use, emoji
    if ((c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) ||
        (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF))
        return Kind::Ideograph;
    return Kind::Letter;
}

void appendFolded(std::string &word, char32_t c)
{
    if (c < 0x80) {
        word += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c);
        return;
    }
    if (c >= 0xC0 && c <= 0x17F) {
        word += latinFolds[c - 0xC0];
        return;
    }
    if ((c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F))
        c += 0x20; // Greek and basic Cyrillic capitals
    else if (c >= 0x400 && c <= 0x40F)
        c += 0x50;
    else if (c == 0x3C2)
        c = 0x3C3; // final sigma
    appendUtf8(word, c);
}

} // namespace

char32_t nextCodePoint(std::string_view text, std::size_t &at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80) {
        ++at;
        return first;
    }
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2, value = first & 0x1F, minimum = 0x80;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3, value = first & 0x0F, minimum = 0x800;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4, value = first & 0x07, minimum = 0x10000;
    } else {
        ++at;
        return 0xFFFD;
    }
    if (at + length > text.size()) {
        ++at;
        return 0xFFFD;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            ++at;
            return 0xFFFD;
        }
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++at;
        return 0xFFFD;
    }
    at += length;
    return value;
}

void appendUtf8(std::string &out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::vector<std::string> foldedWords(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    const auto endWord = [&] {
        if (!word.empty())
            words.push_back(std::move(word));
        word.clear();
    };
    for (std::size_t at = 0; at < text.size();) {
        const char32_t c = nextCodePoint(text, at);
        switch (kindOf(c)) {
        case Kind::Separator:
            endWord();
            break;
        case Kind::Ignored:
            break;
        case Kind::Letter:
            appendFolded(word, c);
            break;
        case Kind::Ideograph:
            endWord();
            appendUtf8(word, c);
            endWord();
            break;
        }
    }
    endWord();
    return words;
}

} // namespace quorvel::deep
