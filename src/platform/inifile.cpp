#include "platform/inifile.h"
#include "platform/asciitext.h"

#include "platform/pathopen.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::platform {

namespace {

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


bool sameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](char x, char y) { return asciiUpper(x) == asciiUpper(y); });
}

// What a caller's buffer of bufferSize bytes receives: a C string, so it ends at a NUL byte.
std::string fitBuffer(std::string_view text, std::size_t bufferSize)
{
    if (bufferSize == 0)
        return {};
    text = text.substr(0, std::min(text.find('\0'), bufferSize - 1));
    return std::string(text);
}

// One line as the reader saw it: its start (at most `keep` bytes) and its last non-blank byte,
// which a closing quote needs even when the rest of the line was dropped.
struct Line {
    std::string kept;
    bool cut = false;
    char lastNonBlank = '\0';
};

enum class Verdict { Continue, Found, Missing };

class ProfileSearch {
public:
    ProfileSearch(std::string_view section, std::string_view key, std::size_t bufferSize)
        : section_(trim(section)), key_(trim(key)), bufferSize_(bufferSize)
    {
    }

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
        return fitBuffer(value, bufferSize_);
    }

    std::string_view section_;
    std::string_view key_;
    std::size_t bufferSize_;
    bool inSection_ = false;
    std::string value_;
};

class FileHandle {
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

// Streams the file line by line into search; true when the key was found.
bool scan(int fd, ProfileSearch &search, std::size_t bufferSize)
{
    const std::size_t keep = lineKeep + std::min(bufferSize, largestBuffer);
    char chunk[16 * 1024];
    Line line;
    bool atStart = true;
    bool lineOpen = false;
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        std::string_view data(chunk, static_cast<std::size_t>(got));
        if (atStart) {
            // The UTF-8 byte-order mark; a file this short that begins with only part of it
            // is taken as text.
            if (data.substr(0, 3) == "\xEF\xBB\xBF")
                data.remove_prefix(3);
            atStart = false;
        }
        while (!data.empty()) {
            const std::size_t end = lineEnd(data);
            const std::string_view piece = data.substr(0, end);
            if (!piece.empty()) {
                lineOpen = true;
                const std::size_t room = keep - std::min(keep, line.kept.size());
                line.kept.append(piece.substr(0, room));
                line.cut = line.cut || piece.size() > room;
                for (auto c = piece.rbegin(); c != piece.rend(); ++c) {
                    if (!isBlank(*c)) {
                        line.lastNonBlank = *c;
                        break;
                    }
                }
            }
            if (end == std::string_view::npos)
                break;
            data.remove_prefix(end + 1);
            if (lineOpen) {
                const Verdict verdict = search.take(line);
                if (verdict != Verdict::Continue)
                    return verdict == Verdict::Found;
                line.kept.clear();
                line.cut = false;
                line.lastNonBlank = '\0';
                lineOpen = false;
            }
        }
    }
    return lineOpen && search.take(line) == Verdict::Found;
}

} // namespace

std::string GetPrivateProfileString(const std::string &section, const std::string &key,
                                    const std::string &defaultValue, std::size_t bufferSize,
                                    const std::string &fileName)
{
    try {
        // Non-blocking, so a FIFO or device named like a shortcut cannot stall the reader; only
        // regular files are read.
        FileHandle file(openPath(fileName, O_RDONLY | O_NONBLOCK | O_NOCTTY));
        if (file.get() < 0)
            return fitBuffer(defaultValue, bufferSize);
        struct stat st {};
        if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
            return fitBuffer(defaultValue, bufferSize);
        ProfileSearch search(section, key, bufferSize);
        if (scan(file.get(), search, bufferSize))
            return search.value();
        return fitBuffer(defaultValue, bufferSize);
    } catch (const std::bad_alloc &) {
        return {};
    }
}

} // namespace quorvel::platform
