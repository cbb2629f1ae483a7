#include "cli/jsontext.h"

#include "platform/codepage.h"

#include <cstdio>

namespace quorvel::cli
{

std::string jsonString(std::string_view text)
{
    const std::string valid = platform::validUtf8(text);
    std::string out;
    out.reserve(valid.size() + 2);
    out.push_back('"');
    for (const char byte : valid) {
        const auto c = static_cast<unsigned char>(byte);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out.push_back(byte);
            }
        }
    }
    out.push_back('"');
    return out;
}

} // namespace quorvel::cli
