#pragma once
// The system's private-profile string reader: section and key names matched without regard to
// case, blanks around names and values dropped, a value in matching quotes loses them, a UTF-8
// byte-order mark skipped. The result holds at most bufferSize - 1 characters, as a caller buffer
// of bufferSize bytes would. Missing file, section or key give defaultValue (also truncated).
// Never throws; a binary or huge file is read safely.

#include <cstddef>
#include <string>

namespace quorvel::platform {

std::string GetPrivateProfileString(const std::string &section, const std::string &key,
                                    const std::string &defaultValue, std::size_t bufferSize,
                                    const std::string &fileName);

} // namespace quorvel::platform
