#include "platform/inifile.h"

#include "platform/asciitext.h"
#include "platform/pathopen.h"
#include "platform/utf16.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::platform
{

namespace
{

// A line longer than this keeps only its start (plus what the caller's buffer can hold), so a
// binary file without line ends costs bounded memory.
constexpr std::size_t lineKeep = 64 * 1024;
constexpr std::size_t largestBuffer = 16 * 1024 * 1024;

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The names a caller passes lose their spaces only; a tab stays part of the name.
std::string_view trimSpaces(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return asciiUpper(x) == asciiUpper(y);
           });
}

// What a caller's buffer of bufferSize bytes receives: a C string, so it ends at a NUL byte.
// Text decoded from UTF-16 is cut at a character boundary.
std::string fitBuffer(std::string_view text, std::size_t bufferSize, bool utf8 = false)
{
    if (bufferSize == 0)
        return {};
    const std::size_t end = std::min(text.find('\0'), bufferSize - 1);
    std::size_t cut = std::min(end, text.size());
    if (utf8 && cut < text.size()) {
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
    }
    return std::string(text.substr(0, cut));
}

// One line as the reader saw it: its start (at most `keep` bytes) and its last non-blank byte,
// which a closing quote needs even when the rest of the line was dropped.
struct Line {
    std::string kept;
    bool cut = false;
    char lastNonBlank = '\0';
};

enum class Verdict { Continue, Found, Missing };

class ProfileSearch
{
public:
    ProfileSearch(std::string_view section, std::string_view key, std::size_t bufferSize)
        : section_(trimSpaces(section)), key_(trimSpaces(key)), bufferSize_(bufferSize)
    {
    }

    void setUtf8(bool utf8) { utf8_ = utf8; }

    Verdict take(const Line &line)
    {
        std::string_view text = line.kept;
        while (!text.empty() && isBlank(text.front()))
            text.remove_prefix(1);
        if (text.empty() || text.front() == ';')
            return Verdict::Continue;
        if (text.front() == '[') {
            // Only the first section of the name counts: its end ends the search.
            if (inSection_)
                return Verdict::Missing;
            text.remove_prefix(1);
            inSection_ = sameName(trim(text.substr(0, text.find(']'))), section_);
            return Verdict::Continue;
        }
        if (!inSection_)
            return Verdict::Continue;
        const std::size_t equals = text.find('=');
        if (!sameName(trim(text.substr(0, equals)), key_))
            return Verdict::Continue;
        // A key without '=' has no value: the caller gets the default.
        if (equals == std::string_view::npos)
            return Verdict::Missing;
        value_ = unquote(text.substr(equals + 1), line);
        return Verdict::Found;
    }

    const std::string &value() const { return value_; }

private:
    std::string unquote(std::string_view value, const Line &line) const
    {
        while (!value.empty() && isBlank(value.front()))
            value.remove_prefix(1);
        if (!line.cut) {
            while (!value.empty() && isBlank(value.back()))
                value.remove_suffix(1);
        }
        const char last = line.cut ? line.lastNonBlank : (value.empty() ? '\0' : value.back());
        const bool quoted = (value.size() >= 2 || (line.cut && !value.empty())) &&
                            (value.front() == '"' || value.front() == '\'') &&
                            value.front() == last;
        if (quoted) {
            value.remove_prefix(1);
            if (!line.cut)
                value.remove_suffix(1);
        }
        return fitBuffer(value, bufferSize_, utf8_);
    }

    std::string_view section_;
    std::string_view key_;
    std::size_t bufferSize_;
    bool utf8_ = false;
    bool inSection_ = false;
    std::string value_;
};

class FileHandle
{
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Where the line in data ends (at CR or LF), npos when it goes on past data. A plain loop:
// find_first_of calls memchr once per byte.
std::size_t lineEnd(std::string_view data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i] == '\n' || data[i] == '\r')
            return i;
    }
    return std::string_view::npos;
}

// Turns a stream of UTF-16LE bytes into UTF-8, holding back a byte or a high surrogate that
// the next chunk completes.
class Utf16Stream
{
public:
    std::string_view feed(std::string_view bytes)
    {
        pending_.append(bytes);
        std::size_t whole = pending_.size() & ~std::size_t(1);
        if (whole >= 2) {
            const auto last =
                static_cast<unsigned>(static_cast<unsigned char>(pending_[whole - 2])) |
                static_cast<unsigned>(static_cast<unsigned char>(pending_[whole - 1])) << 8;
            if (last >= 0xD800 && last <= 0xDBFF)
                whole -= 2;
        }
        text_ = utf16leToUtf8(std::string_view(pending_).substr(0, whole));
        pending_.erase(0, whole);
        return text_;
    }
    // What is left at the end of the file: a lone high surrogate (an odd byte is dropped).
    std::string_view finish()
    {
        text_ = utf16leToUtf8(pending_);
        pending_.clear();
        return text_;
    }

private:
    std::string pending_;
    std::string text_;
};

// Splits a stream of text into lines for the searches, keeping at most `keep` bytes of each.
class LineFeeder
{
public:
    LineFeeder(std::span<ProfileSearch> searches, std::span<Verdict> verdicts, std::size_t keep)
        : searches_(searches), verdicts_(verdicts), keep_(keep)
    {
    }

    // False once every search has its answer, so the rest of the file need not be read.
    bool feed(std::string_view data)
    {
        while (!data.empty()) {
            const std::size_t end = lineEnd(data);
            const std::string_view piece = data.substr(0, end);
            if (!piece.empty()) {
                lineOpen_ = true;
                const std::size_t room = keep_ - std::min(keep_, line_.kept.size());
                line_.kept.append(piece.substr(0, room));
                line_.cut = line_.cut || piece.size() > room;
                for (auto c = piece.rbegin(); c != piece.rend(); ++c) {
                    if (!isBlank(*c)) {
                        line_.lastNonBlank = *c;
                        break;
                    }
                }
            }
            if (end == std::string_view::npos)
                break;
            data.remove_prefix(end + 1);
            if (lineOpen_ && !endLine())
                return false;
        }
        return true;
    }

    void finish()
    {
        if (lineOpen_)
            endLine();
    }

private:
    bool endLine()
    {
        bool open = false;
        for (std::size_t i = 0; i < searches_.size(); ++i) {
            if (verdicts_[i] == Verdict::Continue)
                verdicts_[i] = searches_[i].take(line_);
            open = open || verdicts_[i] == Verdict::Continue;
        }
        line_.kept.clear();
        line_.cut = false;
        line_.lastNonBlank = '\0';
        lineOpen_ = false;
        return open;
    }

    std::span<ProfileSearch> searches_;
    std::span<Verdict> verdicts_;
    std::size_t keep_;
    Line line_;
    bool lineOpen_ = false;
};

// Streams the file line by line into the searches; the file's encoding. Reading stops at the
// size the file had when opened, which saves the read that would only report its end.
ProfileEncoding scan(int fd, std::size_t size, LineFeeder &lines, std::span<ProfileSearch> searches)
{
    char chunk[16 * 1024];
    std::size_t total = 0;
    bool atStart = true;
    ProfileEncoding encoding = ProfileEncoding::Ansi;
    Utf16Stream utf16;
    while (total < size) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += static_cast<std::size_t>(got);
        std::string_view data(chunk, static_cast<std::size_t>(got));
        if (atStart) {
            // A byte-order mark; a file this short that begins with only part of one is taken
            // as 8-bit text.
            if (data.substr(0, 3) == "\xEF\xBB\xBF") {
                data.remove_prefix(3);
                encoding = ProfileEncoding::Utf8;
            } else if (data.substr(0, 2) == "\xFF\xFE") {
                data.remove_prefix(2);
                encoding = ProfileEncoding::Utf16;
                for (ProfileSearch &search : searches)
                    search.setUtf8(true);
            }
            atStart = false;
        }
        if (encoding == ProfileEncoding::Utf16)
            data = utf16.feed(data);
        if (!lines.feed(data))
            return encoding;
    }
    if (encoding == ProfileEncoding::Utf16 && !lines.feed(utf16.finish()))
        return encoding;
    lines.finish();
    return encoding;
}

// Opens a regular file for reading and tells its size; -1 for anything else.
int openProfile(const std::string &fileName, std::size_t &size)
{
    // Non-blocking, so a FIFO or device named like a shortcut cannot stall the reader; only
    // regular files are read.
    const int fd = openPath(fileName, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    struct stat st {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    size = static_cast<std::size_t>(st.st_size);
    return fd;
}

std::string_view withoutTrailingSpaces(std::string_view text)
{
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<ProfileEncoding> ReadProfileStrings(const std::string &fileName,
                                                  std::span<ProfileLookup> lookups,
                                                  std::size_t bufferSize)
{
    for (ProfileLookup &lookup : lookups)
        lookup.value.reset();
    try {
        std::size_t size = 0;
        FileHandle file(openProfile(fileName, size));
        if (file.get() < 0)
            return std::nullopt;
        std::vector<ProfileSearch> searches;
        searches.reserve(lookups.size());
        for (const ProfileLookup &lookup : lookups)
            searches.emplace_back(lookup.section, lookup.key, bufferSize);
        std::vector<Verdict> verdicts(lookups.size(), Verdict::Continue);
        LineFeeder lines(searches, verdicts, lineKeep + std::min(bufferSize, largestBuffer));
        const ProfileEncoding encoding = scan(file.get(), size, lines, searches);
        for (std::size_t i = 0; i < lookups.size(); ++i) {
            if (verdicts[i] == Verdict::Found)
                lookups[i].value = searches[i].value();
        }
        return encoding;
    } catch (const std::bad_alloc &) {
        for (ProfileLookup &lookup : lookups)
            lookup.value.reset();
        return std::nullopt;
    }
}

std::string GetPrivateProfileString(const std::string &section, const std::string &key,
                                    const std::string &defaultValue, std::size_t bufferSize,
                                    const std::string &fileName)
{
    try {
        ProfileLookup lookup{section, key, std::nullopt};
        ReadProfileStrings(fileName, std::span(&lookup, 1), bufferSize);
        if (lookup.value)
            return std::move(*lookup.value);
        return fitBuffer(withoutTrailingSpaces(defaultValue), bufferSize);
    } catch (const std::bad_alloc &) {
        return {};
    }
}

} // namespace quorvel::platform
