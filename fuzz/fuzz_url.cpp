// URL split and combine. First line: the base URL; the rest: the relative reference. Both are
// split, then combined, and the result is split again as a redirect would be.

#include "inet/url.h"

#include "fuzzinput.h"

namespace
{

void crack(const std::string &url)
{
    using quorvel::fuzz::check;
    quorvel::platform::UrlParts parts;
    if (!quorvel::platform::InternetCrackUrl(url, parts))
        return;
    check(parts.hostName.size() <= 255 && parts.userName.size() <= 127 &&
              parts.password.size() <= 127 && parts.urlPath.size() <= 2047 &&
              parts.extraInfo.size() <= 2047,
          "split parts keep their limits");
    check(parts.scheme != quorvel::platform::UrlScheme::Unknown, "a split URL has a scheme");
    check(parts.hostName.find_first_of(" \t\r\n") == std::string::npos,
          "a host name holds no blank");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace quorvel::fuzz;
    const auto [baseText, relativeText] = splitFirstLine(asText(data, size));
    const std::string base(baseText), relative(relativeText);
    crack(base);
    crack(relative);

    // The default buffer, and one small enough that long results must be refused.
    for (const std::size_t bufferLength : {std::size_t{2055}, std::size_t{40}}) {
        std::string combined;
        if (!quorvel::platform::InternetCombineUrl(base, relative, combined, bufferLength))
            continue;
        check(combined.size() < bufferLength, "a combined URL fits its buffer");
        check(combined.find(' ') == std::string::npos, "a combined URL has its spaces encoded");
        crack(combined);
    }
    return 0;
}
