#include "inet/idna.h"

#include <memory>

#include <idn2.h>

namespace quorvel::platform::inet
{

namespace
{

bool isAscii(std::string_view text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

void appendEncoded(std::string &out, std::string_view text)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || byte <= 0x20 || byte == 0x7f) {
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 0x0f];
        } else {
            out += c;
        }
    }
}

} // namespace

std::optional<std::string> hostToAscii(std::string_view host)
{
    if (isAscii(host))
        return std::string(host);
    char *ascii = nullptr;
    const std::string text(host);
    // Nontransitional UTS #46 processing, as current browsers do: ß and ς keep their own names.
    const int rc = ::idn2_to_ascii_8z(text.c_str(), &ascii, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
    const std::unique_ptr<char, decltype(&::idn2_free)> owned(ascii, &::idn2_free);
    if (rc != IDN2_OK || !ascii)
        return std::nullopt;
    return std::string(ascii);
}

std::optional<std::string> requestFormOfURL(std::string_view url)
{
    std::string out;
    out.reserve(url.size() + 16);
    const std::size_t authority = url.find("//");
    const std::size_t colon = url.find(':');
    if (authority == std::string_view::npos || colon == std::string_view::npos ||
        authority != colon + 1) {
        appendEncoded(out, url);
        return out;
    }
    const std::size_t hostStart = authority + 2;
    const std::size_t authorityEnd = std::min(url.find_first_of("/?#", hostStart), url.size());
    std::string_view userInfo;
    std::string_view hostPort = url.substr(hostStart, authorityEnd - hostStart);
    if (const std::size_t at = hostPort.rfind('@'); at != std::string_view::npos) {
        userInfo = hostPort.substr(0, at + 1);
        hostPort.remove_prefix(at + 1);
    }
    std::string_view host = hostPort;
    std::string_view port;
    if (!host.starts_with('[')) {
        if (const std::size_t portColon = host.rfind(':'); portColon != std::string_view::npos) {
            port = host.substr(portColon);
            host = host.substr(0, portColon);
        }
    }
    const std::optional<std::string> asciiHost = hostToAscii(host);
    if (!asciiHost)
        return std::nullopt;
    out.append(url.substr(0, hostStart));
    appendEncoded(out, userInfo);
    out.append(*asciiHost);
    out.append(port);
    appendEncoded(out, url.substr(authorityEnd));
    return out;
}

} // namespace quorvel::platform::inet
