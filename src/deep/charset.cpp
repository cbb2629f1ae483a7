#include "deep/charset.h"

#include "deep/textfold.h"

#include "platform/asciitext.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <vector>

#include <iconv.h>

namespace quorvel::deep
{

namespace
{

// How far into a page a <meta> declaration is looked for; browsers look at the first kilobyte,
// but long inline scripts in the head push it further on real pages.
constexpr std::size_t metaScanBytes = 8192;

// windows-1252's characters for 0x80 to 0x9F; the five bytes it leaves unassigned stay C1
// controls, as browsers read them.
constexpr std::array<char16_t, 32> windows1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (isSpace(text.front()) || text.front() == '"' || text.front() == '\''))
        text.remove_prefix(1);
    while (!text.empty() && (isSpace(text.back()) || text.back() == '"' || text.back() == '\''))
        text.remove_suffix(1);
    return text;
}

// The value after "charset=" in text (lower case), up to a separator, or empty.
std::string charsetAfterKey(std::string_view lowerText)
{
    const auto key = lowerText.find("charset");
    if (key == std::string_view::npos)
        return {};
    std::size_t at = key + 7;
    while (at < lowerText.size() && isSpace(lowerText[at]))
        ++at;
    if (at >= lowerText.size() || lowerText[at] != '=')
        return {};
    ++at;
    while (at < lowerText.size() &&
           (isSpace(lowerText[at]) || lowerText[at] == '"' || lowerText[at] == '\''))
        ++at;
    const auto end = lowerText.find_first_of(" \t\r\n\f;\"'>/", at);
    return std::string(lowerText.substr(at, end == std::string_view::npos ? end : end - at));
}

enum class Family { Utf8, Windows1252, Other, Unknown };

Family familyOf(const std::string &label)
{
    static constexpr std::array<std::string_view, 4> utf8{"utf-8", "utf8", "unicode-1-1-utf-8",
                                                          "x-unicode20utf8"};
    static constexpr std::array<std::string_view, 13> western{
        "iso-8859-1", "iso8859-1", "iso_8859-1",   "latin1", "l1",       "cp819",     "ibm819",
        "us-ascii",   "ascii",     "windows-1252", "cp1252", "x-cp1252", "iso-ir-100"};
    if (label.empty())
        return Family::Unknown;
    if (std::find(utf8.begin(), utf8.end(), label) != utf8.end())
        return Family::Utf8;
    if (std::find(western.begin(), western.end(), label) != western.end())
        return Family::Windows1252;
    return Family::Other;
}

bool isContinuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

bool isValidUtf8(std::string_view bytes)
{
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t start = at;
        if (nextCodePoint(bytes, at) != 0xFFFD || at != start + 1)
            continue;
        // A sequence cut off by the end of what was read is not a fault of the page.
        const auto lead = static_cast<unsigned char>(bytes[start]);
        const std::size_t needed = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        const std::string_view tail = bytes.substr(start + 1);
        const bool cutOff = lead >= 0xC2 && lead <= 0xF4 && tail.size() + 1 < needed &&
                            std::all_of(tail.begin(), tail.end(), isContinuation);
        return cutOff;
    }
    return true;
}

std::string fromUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();)
        appendUtf8(out, nextCodePoint(bytes, at));
    return out;
}

std::string fromWindows1252(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        appendUtf8(out, b >= 0x80 && b < 0xA0 ? windows1252High[b - 0x80] : b);
    }
    return out;
}

class IconvHandle
{
public:
    explicit IconvHandle(const std::string &from) : cd_(iconv_open("UTF-8", from.c_str())) {}
    ~IconvHandle()
    {
        if (valid())
            iconv_close(cd_);
    }
    IconvHandle(const IconvHandle &) = delete;
    IconvHandle &operator=(const IconvHandle &) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

// Converts with iconv; a byte iconv rejects becomes U+FFFD and conversion goes on after it.
std::string fromIconv(iconv_t cd, std::string_view bytes)
{
    std::string out;
    std::vector<char> buffer(16384);
    char *in = const_cast<char *>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char *outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        const int error = errno;
        out.append(buffer.data(), buffer.size() - outLeft);
        if (result != static_cast<std::size_t>(-1))
            break;
        if (error == E2BIG)
            continue;
        appendUtf8(out, 0xFFFD);
        if (error == EINVAL) // an incomplete sequence at the end of what was read
            break;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

// A byte-order mark wins over every declaration, as in browsers.
std::string charsetFromByteOrderMark(std::string_view body, std::size_t &markLength)
{
    if (body.substr(0, 3) == "\xEF\xBB\xBF") {
        markLength = 3;
        return "utf-8";
    }
    if (body.substr(0, 2) == "\xFF\xFE") {
        markLength = 2;
        return "utf-16le";
    }
    if (body.substr(0, 2) == "\xFE\xFF") {
        markLength = 2;
        return "utf-16be";
    }
    markLength = 0;
    return {};
}

BodyKind kindOf(std::string_view contentType, std::string_view body)
{
    const std::string type =
        platform::asciiLower(trimmed(contentType.substr(0, contentType.find(';'))));
    if (type == "text/html" || type == "application/xhtml+xml" || type == "text/xml" ||
        type == "application/xml")
        return BodyKind::Html;
    if (type == "text/plain")
        return BodyKind::Plain;
    if (!type.empty())
        return BodyKind::Other;
    // No type given: what a browser would sniff as a page.
    const auto first = std::find_if_not(body.begin(), body.end(), isSpace);
    if (first != body.end() && *first == '<')
        return BodyKind::Html;
    const std::string_view head = body.substr(0, 1024);
    return head.find('\0') == std::string_view::npos ? BodyKind::Plain : BodyKind::Other;
}

} // namespace

std::string charsetParameter(std::string_view contentType)
{
    const auto semicolon = contentType.find(';');
    if (semicolon == std::string_view::npos)
        return {};
    return std::string(
        trimmed(charsetAfterKey(platform::asciiLower(contentType.substr(semicolon)))));
}

std::string metaCharset(std::string_view html)
{
    const std::string head = platform::asciiLower(html.substr(0, metaScanBytes));
    for (std::size_t at = head.find("<meta"); at != std::string::npos;
         at = head.find("<meta", at + 5)) {
        const auto end = head.find('>', at);
        const std::string_view tag =
            std::string_view(head).substr(at, end == std::string::npos ? end : end - at);
        // <meta charset="x"> and <meta http-equiv="Content-Type" content="text/html; charset=x">
        // both put "charset=" before the name.
        std::string label = charsetAfterKey(tag);
        if (!label.empty())
            return label;
    }
    return {};
}

DecodedBody decodeBody(std::string_view body, std::string_view contentType)
{
    DecodedBody decoded;
    decoded.kind = kindOf(contentType, body);
    if (decoded.kind == BodyKind::Other)
        return decoded;

    std::size_t markLength = 0;
    std::string label = charsetFromByteOrderMark(body, markLength);
    body.remove_prefix(markLength);
    if (label.empty())
        label = charsetParameter(contentType);
    if (label.empty() && decoded.kind == BodyKind::Html) {
        label = metaCharset(body);
        // A page that could read its own <meta> is not UTF-16, whatever it says.
        if (label.rfind("utf-16", 0) == 0)
            label = "utf-8";
    }

    Family family = familyOf(label);
    if (family == Family::Other) {
        std::string upper = label;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) {
            return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        });
        IconvHandle handle(upper);
        if (handle.valid()) {
            decoded.text = fromIconv(handle.get(), body);
            decoded.charset = upper;
            return decoded;
        }
        family = Family::Unknown;
    }
    if (family == Family::Unknown)
        family = isValidUtf8(body) ? Family::Utf8 : Family::Windows1252;
    if (family == Family::Utf8) {
        decoded.text = fromUtf8(body);
        decoded.charset = "UTF-8";
    } else {
        decoded.text = fromWindows1252(body);
        decoded.charset = "WINDOWS-1252";
    }
    return decoded;
}

} // namespace quorvel::deep
