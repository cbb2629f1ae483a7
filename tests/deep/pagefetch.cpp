#include "deep/pagefetch.h"

#include "deep/weburl.h"
#include "inet/curlhandle.h"

#include <curl/curl.h>

#include <algorithm>

namespace quorvel::test
{

namespace
{

constexpr int maxRedirects = 10;

struct Body {
    std::string bytes;
    bool full = false;
};

std::size_t collect(char *data, std::size_t size, std::size_t count, void *user)
{
    auto *body = static_cast<Body *>(user);
    const std::size_t length = size * count;
    const std::size_t room = deep::maxBodyBytes - body->bytes.size();
    body->bytes.append(data, std::min(length, room));
    if (length > room) {
        body->full = true;
        return 0; // enough read: the transfer stops here
    }
    return length;
}

bool isLoopback(const std::string &url)
{
    const auto address = deep::parseWebAddress(url);
    return address && address->host == "127.0.0.1";
}

} // namespace

Fetched fetchPage(const std::string &url)
{
    Fetched fetched;
    fetched.answer.requestedUrl = url;
    std::string current = url;
    const platform::inet::CurlEasy curl = platform::inet::makeCurlEasy();
    for (int hop = 0; hop <= maxRedirects; ++hop) {
        if (!isLoopback(current)) {
            fetched.error = "refused to leave 127.0.0.1 for " + current;
            return fetched;
        }
        Body body;
        curl_easy_reset(curl.get());
        curl_easy_setopt(curl.get(), CURLOPT_URL, current.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &body);
        curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT, 20L);
        curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_USERAGENT, "Merrowin WinInet Component");
        ++fetched.requests;
        const CURLcode result = curl_easy_perform(curl.get());
        if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && body.full)) {
            fetched.error = curl_easy_strerror(result);
            return fetched;
        }
        long status = 0;
        curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &status);
        char *location = nullptr;
        curl_easy_getinfo(curl.get(), CURLINFO_REDIRECT_URL, &location);
        if (status >= 300 && status < 400 && location) {
            current = location;
            continue;
        }
        char *type = nullptr;
        curl_easy_getinfo(curl.get(), CURLINFO_CONTENT_TYPE, &type);
        fetched.answer =
            deep::readAnswer(url, current, static_cast<int>(status), type ? type : "", body.bytes);
        return fetched;
    }
    fetched.error = "too many redirects";
    return fetched;
}

} // namespace quorvel::test
