#include "verify/linkcheck.h"

#include "platform/asciitext.h"

namespace quorvel
{

bool isHttpLink(const std::string &url)
{
    return platform::asciiUpper(std::string_view(url).substr(0, 5)) == "HTTP:";
}

bool isHttpsLink(const std::string &url)
{
    return platform::asciiUpper(std::string_view(url).substr(0, 6)) == "HTTPS:";
}

} // namespace quorvel
