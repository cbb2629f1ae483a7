#include "verify/linkcheck.h"

namespace quorvel
{

std::string upperCaseAscii(const std::string &text)
{
    std::string upper = text;
    for (char &c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

bool isHttpLink(const std::string &url)
{
    return upperCaseAscii(url.substr(0, 5)) == "HTTP:";
}

} // namespace quorvel
