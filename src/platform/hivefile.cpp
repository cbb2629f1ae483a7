#include "platform/hivefile.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "platform/asciitext.h"
#include "platform/utf16.h"

namespace quorvel::platform
{

namespace
{

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr char kSeparator = '\\';
constexpr char kFoldedSeparator = '\x01';
// Hex data is wrapped as the registry editor does it, so that lines stay readable.
constexpr std::size_t kWrapColumn = 77;

std::string_view trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           asciiUpper(text.substr(0, prefix.size())) == asciiUpper(prefix);
}

bool parseHexNumber(std::string_view text, std::size_t maxDigits, std::uint32_t &out)
{
    if (text.empty() || text.size() > maxDigits)
        return false;
    out = 0;
    for (char c : text) {
        const int digit = hexDigitValue(c);
        if (digit < 0)
            return false;
        out = out * 16 + static_cast<std::uint32_t>(digit);
    }
    return true;
}

bool isStringType(std::uint32_t type)
{
    return type == kRegSz || type == kRegExpandSz;
}

// Reads a quoted text starting at text[pos] == '"'; pos ends after the closing quote.
std::string parseQuoted(std::string_view text, std::size_t &pos, int lineNo)
{
    std::string out;
    ++pos;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '"')
            return out;
        if (c == '\\') {
            if (pos >= text.size() || (text[pos] != '\\' && text[pos] != '"'))
                throw HiveFormatError(lineNo, "unknown escape in a quoted text");
            out += text[pos++];
        } else {
            out += c;
        }
    }
    throw HiveFormatError(lineNo, "quoted text without its closing quote");
}

std::string quote(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::string parseHexBytes(std::string_view list, int lineNo)
{
    std::string out;
    if (trim(list).empty())
        return out;
    for (std::size_t pos = 0;;) {
        const std::size_t comma = list.find(',', pos);
        const bool last = comma == std::string_view::npos;
        const std::string_view token =
            trim(list.substr(pos, last ? list.size() - pos : comma - pos));
        if (token.empty()) {
            // Only the comma the editor leaves before a line break may end the list.
            if (!last)
                throw HiveFormatError(lineNo, "empty byte in hex data");
            break;
        }
        std::uint32_t byte = 0;
        if (!parseHexNumber(token, 2, byte))
            throw HiveFormatError(lineNo, "bad byte in hex data");
        out += static_cast<char>(byte);
        if (last)
            break;
        pos = comma + 1;
    }
    return out;
}

std::string hexLine(std::string line, std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (line.size() + 3 > kWrapColumn) {
            out += line;
            out += "\\\n";
            line = "  ";
        }
        const auto byte = static_cast<unsigned char>(bytes[i]);
        line += kDigits[byte >> 4];
        line += kDigits[byte & 0x0F];
        if (i + 1 < bytes.size())
            line += ',';
    }
    out += line;
    return out;
}

std::string dataText(const HiveValue &value, const std::string &namePart)
{
    const std::string prefix = namePart + "=";
    // Text with a NUL or a line break goes as UTF-16 bytes, unless bytes that are not UTF-8 would
    // not survive that: the quoted form holds anything but a line feed.
    if (value.type == kRegSz &&
        (value.data.find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos ||
         (value.data.find('\n') == std::string::npos &&
          utf16leToUtf8(utf8ToUtf16le(value.data)) != value.data)))
        return prefix + quote(value.data);
    if (value.type == kRegDword && value.data.size() == 4) {
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = number << 8 | static_cast<unsigned char>(value.data[i]);
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "dword:%08x", number);
        return prefix + buffer;
    }
    std::string bytes = value.data;
    if (isStringType(value.type))
        bytes = utf8ToUtf16le(value.data) + std::string(2, '\0');
    char typePart[24];
    if (value.type == kRegBinary)
        std::snprintf(typePart, sizeof typePart, "hex:");
    else
        std::snprintf(typePart, sizeof typePart, "hex(%x):", value.type);
    return hexLine(prefix + typePart, bytes);
}

} // namespace

HiveFormatError::HiveFormatError(int line, const std::string &reason)
    : std::runtime_error(reason), line_(line)
{
}

bool normaliseKeyPath(std::string_view key, std::string &out)
{
    if (!key.empty() && key.front() == kSeparator)
        key.remove_prefix(1);
    if (!key.empty() && key.back() == kSeparator)
        key.remove_suffix(1);
    std::size_t start = 0;
    while (!key.empty() && start <= key.size()) {
        const std::size_t end = std::min(key.find(kSeparator, start), key.size());
        if (end == start)
            return false;
        start = end + 1;
    }
    const bool control = std::any_of(key.begin(), key.end(),
                                     [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    if (control)
        return false;
    out.assign(key);
    return true;
}

HiveValue *HiveKey::findValue(std::string_view name)
{
    const std::string wanted = asciiUpper(name);
    for (HiveValue &value : values) {
        if (asciiUpper(value.name) == wanted)
            return &value;
    }
    return nullptr;
}

const HiveValue *HiveKey::findValue(std::string_view name) const
{
    return const_cast<HiveKey *>(this)->findValue(name);
}

void HiveKey::setValue(HiveValue value)
{
    if (HiveValue *existing = findValue(value.name)) {
        // Keep the stored name's letter case, as the Windows registry does.
        value.name = existing->name;
        *existing = std::move(value);
    } else {
        values.push_back(std::move(value));
    }
}

bool HiveKey::removeValue(std::string_view name)
{
    const std::string wanted = asciiUpper(name);
    const auto it = std::find_if(values.begin(), values.end(), [&](const HiveValue &value) {
        return asciiUpper(value.name) == wanted;
    });
    if (it == values.end())
        return false;
    values.erase(it);
    return true;
}

Hive::Hive(std::string rootName) : rootName_(std::move(rootName))
{
    keys_.emplace(std::string(), HiveKey{});
}

std::string Hive::fold(std::string_view path)
{
    std::string out = asciiUpper(path);
    std::replace(out.begin(), out.end(), kSeparator, kFoldedSeparator);
    return out;
}

HiveKey *Hive::find(std::string_view path)
{
    const auto it = keys_.find(fold(path));
    return it == keys_.end() ? nullptr : &it->second;
}

HiveKey &Hive::create(std::string_view path, bool synthetic)
{
    HiveKey *parent = &keys_.at(std::string());
    std::size_t start = 0;
    while (!path.empty() && start <= path.size()) {
        const std::size_t end = std::min(path.find(kSeparator, start), path.size());
        const std::string_view prefix = path.substr(0, end);
        HiveKey *key = find(prefix);
        if (!key) {
            HiveKey fresh;
            fresh.path = parent->path.empty() ? std::string(path.substr(start, end - start))
                                              : parent->path + kSeparator +
                                                    std::string(path.substr(start, end - start));
            fresh.synthetic = synthetic;
            key = &keys_.emplace(fold(prefix), std::move(fresh)).first->second;
        }
        parent = key;
        start = end + 1;
    }
    return *parent;
}

bool Hive::remove(std::string_view path)
{
    if (path.empty())
        return false;
    const std::string folded = fold(path);
    const auto first = keys_.find(folded);
    if (first == keys_.end())
        return false;
    const std::string below = folded + kFoldedSeparator;
    auto last = std::next(first);
    while (last != keys_.end() && last->first.compare(0, below.size(), below) == 0)
        ++last;
    keys_.erase(first, last);
    return true;
}

std::vector<std::string> Hive::childNames(std::string_view path) const
{
    const std::string below = path.empty() ? std::string() : fold(path) + kFoldedSeparator;
    std::vector<std::string> names;
    for (auto it = keys_.lower_bound(below); it != keys_.end(); ++it) {
        if (it->first.compare(0, below.size(), below) != 0)
            break;
        const std::string_view rest = std::string_view(it->first).substr(below.size());
        if (rest.empty() || rest.find(kFoldedSeparator) != std::string_view::npos)
            continue;
        names.push_back(it->second.path.substr(it->second.path.size() - rest.size()));
    }
    return names;
}

Hive Hive::parse(std::string_view bytes, const std::string &rootName)
{
    std::string text;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text.assign(bytes.substr(3));
    } else if (bytes.substr(0, 2) == "\xFF\xFE") {
        if (bytes.size() % 2 != 0)
            throw HiveFormatError(1, "UTF-16 text with an odd number of bytes");
        text = utf16leToUtf8(bytes.substr(2));
    } else {
        text.assign(bytes);
    }

    std::vector<std::string_view> lines;
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t end = std::min(text.find('\n', pos), text.size());
        std::string_view line = std::string_view(text).substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        pos = end + 1;
    }

    Hive hive(rootName);
    HiveKey *current = nullptr;
    bool headerSeen = false;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const int lineNo = static_cast<int>(index) + 1;
        const std::string_view line = trim(lines[index]);
        if (line.empty())
            continue;
        if (!headerSeen) {
            if (line != kHeader)
                throw HiveFormatError(lineNo, "expected \"" + std::string(kHeader) + "\"");
            headerSeen = true;
            continue;
        }
        if (line.front() == ';')
            continue;

        if (line.front() == '[') {
            if (line.back() != ']')
                throw HiveFormatError(lineNo, "key line without its closing bracket");
            const std::string_view inner = line.substr(1, line.size() - 2);
            if (!inner.empty() && inner.front() == '-')
                throw HiveFormatError(lineNo, "a key deletion has no place in a hive file");
            const std::size_t split = std::min(inner.find(kSeparator), inner.size());
            if (asciiUpper(inner.substr(0, split)) != asciiUpper(rootName))
                throw HiveFormatError(lineNo, "key outside " + rootName);
            std::string path;
            if (!normaliseKeyPath(inner.substr(split), path))
                throw HiveFormatError(lineNo, "invalid key name");
            current = &hive.create(path);
            continue;
        }

        if (!current)
            throw HiveFormatError(lineNo, "value before the first key");
        HiveValue value;
        std::size_t pos = 0;
        if (line.front() == '@')
            pos = 1;
        else if (line.front() == '"')
            value.name = parseQuoted(line, pos, lineNo);
        else
            throw HiveFormatError(lineNo, "unrecognised line");
        std::string_view rest = trim(line.substr(pos));
        if (rest.empty() || rest.front() != '=')
            throw HiveFormatError(lineNo, "value name without '='");
        rest = trim(rest.substr(1));

        if (!rest.empty() && rest.front() == '"') {
            std::size_t end = 0;
            value.type = kRegSz;
            value.data = parseQuoted(rest, end, lineNo);
            if (!trim(rest.substr(end)).empty())
                throw HiveFormatError(lineNo, "text after a quoted value");
        } else if (startsWithNoCase(rest, "dword:")) {
            std::uint32_t number = 0;
            if (!parseHexNumber(rest.substr(6), 8, number))
                throw HiveFormatError(lineNo, "bad dword value");
            value.type = kRegDword;
            for (int i = 0; i < 4; ++i)
                value.data += static_cast<char>((number >> (8 * i)) & 0xFF);
        } else if (startsWithNoCase(rest, "hex")) {
            std::string_view afterHex = rest.substr(3);
            value.type = kRegBinary;
            if (!afterHex.empty() && afterHex.front() == '(') {
                const std::size_t close = afterHex.find(')');
                if (close == std::string_view::npos ||
                    !parseHexNumber(afterHex.substr(1, close - 1), 8, value.type))
                    throw HiveFormatError(lineNo, "bad hex value type");
                afterHex.remove_prefix(close + 1);
            }
            if (afterHex.empty() || afterHex.front() != ':')
                throw HiveFormatError(lineNo, "hex value without ':'");
            std::string list(afterHex.substr(1));
            // Long hex data goes on over lines that end in a backslash.
            while (!list.empty() && list.back() == '\\') {
                list.pop_back();
                if (++index >= lines.size())
                    throw HiveFormatError(lineNo, "hex data continued past the end of file");
                list += trim(lines[index]);
            }
            value.data = parseHexBytes(list, lineNo);
            if (isStringType(value.type)) {
                if (value.data.size() % 2 != 0)
                    throw HiveFormatError(lineNo, "string data with an odd number of bytes");
                value.data = utf16leToUtf8(value.data);
                if (!value.data.empty() && value.data.back() == '\0')
                    value.data.pop_back();
            }
        } else if (rest == "-") {
            throw HiveFormatError(lineNo, "a value deletion has no place in a hive file");
        } else {
            throw HiveFormatError(lineNo, "unrecognised value data");
        }
        current->setValue(std::move(value));
    }
    return hive;
}

std::string Hive::serialize() const
{
    // A key is written when it holds something of its own or has such a key below it; keys the
    // layer merely supplies stay out of the file.
    std::set<std::string> written;
    for (const auto &[folded, key] : keys_) {
        const bool ownContent =
            !folded.empty() &&
            (!key.synthetic || std::any_of(key.values.begin(), key.values.end(),
                                           [](const HiveValue &v) { return !v.synthetic; }));
        if (!ownContent)
            continue;
        for (std::size_t cut = folded.find(kFoldedSeparator); cut != std::string::npos;
             cut = folded.find(kFoldedSeparator, cut + 1))
            written.insert(folded.substr(0, cut));
        written.insert(folded);
    }

    std::string out = std::string(kHeader) + "\n\n";
    for (const auto &[folded, key] : keys_) {
        const bool rootWithValues =
            folded.empty() && std::any_of(key.values.begin(), key.values.end(),
                                          [](const HiveValue &v) { return !v.synthetic; });
        if (!rootWithValues && !written.count(folded))
            continue;
        out += "[" + rootName_ + (key.path.empty() ? "" : "\\" + key.path) + "]\n";
        for (const HiveValue &value : key.values) {
            if (value.synthetic)
                continue;
            out += dataText(value, value.name.empty() ? std::string("@") : quote(value.name));
            out += '\n';
        }
        out += '\n';
    }
    return out;
}

} // namespace quorvel::platform
