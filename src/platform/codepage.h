#pragma once
// The system's 8-bit code pages and UTF-7, decoded into the UTF-8 we hold in std::string, with
// glibc's iconv. Shortcut files written on Windows keep their texts in these forms.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::platform
{

inline constexpr unsigned DefaultAnsiCodePage = 1252;

// The system's ANSI code page: HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Nls\CodePage,
// value ACP (a number as text, "1251" for Cyrillic), 1252 when it is missing or no number.
unsigned GetACP();

// Decodes text of one code page to UTF-8. A byte sequence the code page cannot map becomes
// U+FFFD and decoding goes on after it; a code page iconv does not know decodes as 1252. Holds
// its converter, so one decoder serves many texts; not for use by two threads at once.
class CodePageDecoder
{
public:
    explicit CodePageDecoder(unsigned codePage);
    ~CodePageDecoder();
    CodePageDecoder(const CodePageDecoder &) = delete;
    CodePageDecoder &operator=(const CodePageDecoder &) = delete;

    // The code page in use (1252 when the one asked for is unknown).
    unsigned codePage() const { return codePage_; }
    std::string decode(std::string_view bytes);

private:
    unsigned codePage_;
    void *converter_; // iconv_t
};

// One text of one code page to UTF-8, as CodePageDecoder does.
std::string decodeCodePage(std::string_view bytes, unsigned codePage);

// UTF-7 (RFC 2152) to UTF-8; nullopt when text is not well-formed UTF-7.
std::optional<std::string> decodeUtf7(std::string_view text);

// True when text is well-formed UTF-8.
bool isUtf8(std::string_view text);

// The text with each byte that is not part of a well-formed UTF-8 sequence replaced by U+FFFD,
// so that whatever a file name or a server holds can go where only UTF-8 may.
std::string validUtf8(std::string_view text);

} // namespace quorvel::platform
