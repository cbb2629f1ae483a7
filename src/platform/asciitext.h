#pragma once
// Character rules shared by the platform layers: the system changes the case of ASCII letters only,
// and hexadecimal digits are read the same way in hive files and URL escapes.

#include <string>
#include <string_view>

namespace quorvel::platform
{

constexpr char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string asciiUpper(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = asciiUpper(c);
    return out;
}

constexpr char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        c = asciiLower(c);
    return out;
}

// The value of a hexadecimal digit in either case, or -1.
constexpr int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace quorvel::platform
