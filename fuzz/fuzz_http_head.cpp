// The HTTP facility's reading of a response head: the bytes a server sends before the body, fed
// line by line as libcurl hands them over. Interim 1xx answers are dropped, as the facility
// drops them; the final block gives the status code, the redirect target and the challenges.
// The same bytes also go through the checks on extra request headers and object names.

#include "inet/inet_text.h"

#include "fuzzinput.h"

#include <algorithm>

#include <curl/curl.h>

namespace
{

using namespace quorvel::platform::inet;
using quorvel::fuzz::check;

struct Head {
    std::string block;
    int status = 0;
    bool ended = false;
};

Head receive(std::string_view bytes)
{
    Head head;
    bool inHead = false;
    while (!bytes.empty() && !head.ended) {
        const std::size_t end = std::min(bytes.find('\n'), bytes.size() - 1);
        const std::string_view line = bytes.substr(0, end + 1);
        bytes.remove_prefix(end + 1);
        if (line.starts_with("HTTP/")) {
            head.block.clear();
            appendHeaderLine(head.block, line);
            head.status = statusCodeOf(line);
            inHead = true;
            continue;
        }
        if (!inHead || !appendHeaderLine(head.block, line))
            continue;
        inHead = false;
        if (head.status >= 100 && head.status < 200 && head.status != 101)
            head.block.clear();
        else
            head.ended = true;
    }
    return head;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view bytes = quorvel::fuzz::asText(data, size);

    const Head head = receive(bytes);
    check(head.status >= 0 && head.status <= 999, "a status code has three digits");
    check(head.block.empty() || head.block.ends_with("\r\n"), "every block line ends in CR LF");
    if (const auto location = headerValue(head.block, "Location")) {
        check(location->find('\n') == std::string::npos, "a header value is one line");
        check(location->empty() || (location->front() != ' ' && location->back() != ' '),
              "a header value is trimmed");
    }
    const long known = CURLAUTH_BASIC | CURLAUTH_DIGEST | CURLAUTH_NTLM | CURLAUTH_NEGOTIATE;
    check((offeredAuthSchemes(head.block, "WWW-Authenticate") & ~known) == 0,
          "only known schemes are offered");
    check((offeredAuthSchemes(head.block, "Proxy-Authenticate") & ~known) == 0,
          "only known schemes are offered");

    std::vector<std::string> lines;
    if (splitHeaderBlock(bytes, lines)) {
        for (std::string line : lines) {
            std::replace(line.begin(), line.end(), '\t', ' ');
            check(!hasControl(line) && line.find(':') != std::string::npos,
                  "an accepted extra header is one \"Name: value\" line");
        }
    }
    const std::string target = encodeObjectName(bytes);
    check(std::none_of(target.begin(), target.end(),
                       [](char c) {
                           return static_cast<unsigned char>(c) <= 0x20 ||
                                  static_cast<unsigned char>(c) >= 0x7f;
                       }),
          "a request target holds no blank, control or non-ASCII byte");
    return 0;
}
