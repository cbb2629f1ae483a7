#include "deep/probe.h"

#include "deep/weburl.h"

namespace quorvel::deep
{

std::string probeKey(std::string_view linkUrl)
{
    const auto address = parseWebAddress(linkUrl);
    if (!address)
        return {};
    return address->authority() + address->directory();
}

std::string probeAddress(std::string_view linkUrl, std::mt19937_64 &random)
{
    const auto address = parseWebAddress(linkUrl);
    if (!address)
        return {};
    std::uniform_int_distribution<int> letter('a', 'z');
    std::string out = address->scheme + "://" + address->authority() + address->directory();
    for (std::size_t i = 0; i < probeLetters; ++i)
        out += static_cast<char>(letter(random));
    return out;
}

std::string probeAddress(std::string_view linkUrl)
{
    thread_local std::mt19937_64 random{std::random_device{}()};
    return probeAddress(linkUrl, random);
}

} // namespace quorvel::deep
