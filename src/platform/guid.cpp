#include "platform/guid.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <random>

#include <sys/random.h>

namespace quorvel::platform {

namespace {

std::array<std::uint8_t, 16> randomBytes()
{
    std::array<std::uint8_t, 16> bytes {};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    if (filled < bytes.size()) {
        // Kernels without getrandom: the library's own non-deterministic source.
        std::random_device device;
        for (auto &byte : bytes)
            byte = static_cast<std::uint8_t>(device());
    }
    return bytes;
}

} // namespace

std::string newGuidText()
{
    std::array<std::uint8_t, 16> bytes = randomBytes();
    // Version 4 (random) and the RFC 4122 variant, as CoCreateGuid makes them.
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "{";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text += '-';
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    text += '}';
    return text;
}

bool isGuidText(const std::string &text)
{
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return false;
    for (std::size_t i = 1; i < 37; ++i) {
        const char c = text[i];
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (c != '-')
                return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') ||
                     (c >= 'a' && c <= 'f'))) {
            return false;
        }
    }
    return true;
}

} // namespace quorvel::platform
