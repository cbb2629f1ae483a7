#include "cli/jsontext.h"

#include "platform/codepage.h"

namespace quorvel::cli
{

namespace
{

void appendEscaped(std::string &out, std::string_view valid)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::size_t plain = 0; // start of the bytes not yet copied
    for (std::size_t i = 0; i < valid.size(); ++i) {
        const auto c = static_cast<unsigned char>(valid[i]);
        if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7f)
            continue;
        out.append(valid.substr(plain, i - plain));
        plain = i + 1;
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
            out += "\\u00";
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xf]);
        }
    }
    out.append(valid.substr(plain));
}

} // namespace

void appendJsonString(std::string &out, std::string_view text)
{
    out.push_back('"');
    if (platform::isUtf8(text))
        appendEscaped(out, text);
    else
        appendEscaped(out, platform::validUtf8(text));
    out.push_back('"');
}

std::string jsonString(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    appendJsonString(out, text);
    return out;
}

} // namespace quorvel::cli
