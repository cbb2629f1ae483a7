#pragma once
// The system's private-profile string reader: section and key names matched without regard to
// case, blanks around names and values in the file dropped, a value in matching quotes loses
// them, a UTF-8 byte-order mark skipped, UTF-16LE files with a byte-order mark read too. The
// result holds at most bufferSize - 1 characters, as a caller buffer of bufferSize bytes would.
// Missing file, section or key give defaultValue (trailing spaces removed, also truncated).
// Never throws; a binary or huge file is read safely.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvel::platform
{

std::string GetPrivateProfileString(const std::string &section, const std::string &key,
                                    const std::string &defaultValue, std::size_t bufferSize,
                                    const std::string &fileName);

// How a profile file holds its text. Values of a UTF-16 file are handed out as UTF-8; values of
// the other two are the file's own bytes.
enum class ProfileEncoding { Ansi, Utf8, Utf16 };

// One value to look up; value is set when the file has the key.
struct ProfileLookup {
    std::string_view section;
    std::string_view key;
    std::optional<std::string> value;
};

// Looks up every entry of lookups in one reading of the file, by the rules above. The file's
// encoding, or nullopt when it cannot be read (a missing file, a folder, a FIFO).
std::optional<ProfileEncoding> ReadProfileStrings(const std::string &fileName,
                                                  std::span<ProfileLookup> lookups,
                                                  std::size_t bufferSize);

} // namespace quorvel::platform
