// Reading one shortcut file: which of its two URLs counts and how its bytes become text.

#include "catalogue/catalogue.h"

#include "platform/codepage.h"
#include "platform/inifile.h"

#include <array>
#include <filesystem>

namespace quorvel
{

namespace
{

// The shortcut reader's buffer: at most 2047 characters of a URL are kept.
constexpr std::size_t urlBufferSize = 2048;

} // namespace

std::string readShortcutURL(const std::string &path, platform::CodePageDecoder &ansi)
{
    std::array<platform::ProfileLookup, 2> lookups{{
        {"InternetShortcut.W", "URL", std::nullopt},
        {"InternetShortcut", "URL", std::nullopt},
    }};
    const auto encoding = platform::ReadProfileStrings(path, lookups, urlBufferSize);
    if (!encoding)
        return "no path";
    // An empty or malformed Unicode URL falls back to the 8-bit one that stands beside it.
    if (const auto &wide = lookups[0].value; wide && !wide->empty()) {
        if (std::optional<std::string> url = platform::decodeUtf7(*wide))
            return std::move(*url);
    }
    const auto &narrow = lookups[1].value;
    if (!narrow)
        return "no path";
    // Text that is well-formed UTF-8 is taken as it stands: this system's own files are UTF-8,
    // and real 8-bit text beyond ASCII is almost never well-formed UTF-8 by chance.
    if (*encoding != platform::ProfileEncoding::Ansi || platform::isUtf8(*narrow))
        return *narrow;
    return ansi.decode(*narrow);
}

std::string readShortcutURL(const std::string &path, unsigned ansiCodePage)
{
    platform::CodePageDecoder ansi(ansiCodePage);
    return readShortcutURL(path, ansi);
}

std::string displayNameOf(const std::string &fileName, platform::CodePageDecoder &ansi)
{
    std::string name = displayNameOf(fileName);
    if (!platform::isUtf8(name))
        name = ansi.decode(name);
    return name;
}

std::string displayPathOf(const std::string &path, platform::CodePageDecoder &ansi)
{
    if (platform::isUtf8(path))
        return path;
    constexpr char separator = std::filesystem::path::preferred_separator;
    std::string shown;
    shown.reserve(path.size() + 16);
    for (std::size_t start = 0;;) {
        const std::size_t end = path.find(separator, start);
        const std::string part = path.substr(start, end - start);
        shown += platform::isUtf8(part) ? part : ansi.decode(part);
        if (end == std::string::npos)
            return shown;
        shown += separator;
        start = end + 1;
    }
}

} // namespace quorvel
