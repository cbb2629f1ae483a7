#include "inet/inet_lookup.h"

#include <algorithm>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace quorvel::platform::inet
{

HostAddresses lookUpAddresses(const std::string &host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    HostAddresses result;
    result.status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result.status != 0)
        return result;
    for (addrinfo *entry = found; entry; entry = entry->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void *address = nullptr;
        if (entry->ai_family == AF_INET)
            address = &reinterpret_cast<sockaddr_in *>(entry->ai_addr)->sin_addr;
        else if (entry->ai_family == AF_INET6)
            address = &reinterpret_cast<sockaddr_in6 *>(entry->ai_addr)->sin6_addr;
        if (address && ::inet_ntop(entry->ai_family, address, text, sizeof text) &&
            std::find(result.addresses.begin(), result.addresses.end(), text) ==
                result.addresses.end())
            result.addresses.emplace_back(text);
    }
    ::freeaddrinfo(found);
    return result;
}

} // namespace quorvel::platform::inet
