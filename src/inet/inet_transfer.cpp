#include "inet/inet_transfer.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "inet/inet_engine.h"
#include "inet/inet_text.h"
#include "inet/inet_timeouts.h"

namespace quorvel::platform::inet
{

namespace
{

// Body bytes held for a reader before the transfer is paused.
constexpr std::size_t bodyBufferLimit = 256 * 1024;

std::string uint32Bytes(std::uint32_t value)
{
    return std::string(reinterpret_cast<const char *>(&value), sizeof value);
}

std::string withTerminator(std::string text)
{
    text.push_back('\0');
    return text;
}

std::string addressText(const sockaddr *address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET)
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in *>(address)->sin_addr, text,
                    sizeof text);
    else if (address->sa_family == AF_INET6)
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr, text,
                    sizeof text);
    return text;
}

bool requestGone(Transfer &transfer)
{
    Request &request = *transfer.request;
    std::lock_guard lock(request.mutex);
    return request.closed || request.generation != transfer.order.generation;
}

size_t onHeader(char *data, size_t size, size_t count, void *user)
{
    auto &transfer = *static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    if (requestGone(transfer))
        return 0;
    transfer.lastActivity = std::chrono::steady_clock::now();
    const std::string_view line(data, bytes);

    const HopAnswer::Line kind = transfer.takeHeaderLine(line);
    if (kind == HopAnswer::Line::Refused)
        return 0;
    if (kind == HopAnswer::Line::Ignored)
        return bytes;
    if (kind == HopAnswer::Line::StatusLine) {
        if (!transfer.sentNotified) {
            transfer.sentNotified = true;
            if (!transfer.withBody) {
                // Without a body the request is its header block, which libcurl has counted.
                long size = 0;
                curl_easy_getinfo(transfer.easy.get(), CURLINFO_REQUEST_SIZE, &size);
                transfer.requestBytes =
                    static_cast<std::uint32_t>(size - transfer.requestSizeBefore);
            }
            const std::uint32_t sent = transfer.requestBytes;
            transfer.engine.queueEvent(transfer, INTERNET_STATUS_REQUEST_SENT, uint32Bytes(sent));
        }
        transfer.engine.queueEvent(transfer, INTERNET_STATUS_RECEIVING_RESPONSE, {});
        transfer.headBytes = static_cast<std::uint32_t>(bytes);
        return bytes;
    }
    transfer.headBytes += static_cast<std::uint32_t>(bytes);
    if (kind == HopAnswer::Line::Header)
        return bytes;
    transfer.engine.queueEvent(transfer, INTERNET_STATUS_RESPONSE_RECEIVED,
                               uint32Bytes(transfer.headBytes));
    if (kind == HopAnswer::Line::Interim)
        // Interim answers (100 Continue...) are reported and not kept.
        transfer.engine.queueEvent(transfer, INTERNET_STATUS_INTERMEDIATE_RESPONSE,
                                   uint32Bytes(static_cast<std::uint32_t>(transfer.status)));
    else if (!transfer.redirectTo)
        transfer.engine.headersEnded(transfer);
    return bytes;
}

size_t onWrite(char *data, size_t size, size_t count, void *user)
{
    auto &transfer = *static_cast<Transfer *>(user);
    const size_t bytes = size * count;
    transfer.lastActivity = std::chrono::steady_clock::now();
    if (transfer.discardRedirectBody(bytes))
        return transfer.discardCut ? 0 : bytes;
    if (!transfer.published)
        transfer.engine.publish(transfer);

    Request &request = *transfer.request;
    std::unique_lock lock(request.mutex);
    if (request.closed || request.generation != transfer.order.generation)
        return 0;
    size_t used = 0;
    if (request.pendingRead && request.bufferedBytes() == 0) {
        PendingRead read = *request.pendingRead;
        used = std::min<size_t>(read.toRead, bytes);
        std::memcpy(read.buffer, data, used);
        *read.read = static_cast<std::uint32_t>(used);
        request.pendingRead.reset();
        lock.unlock();
        transfer.engine.queueCompletion(transfer, 1, ERROR_SUCCESS);
        lock.lock();
        if (request.closed || request.generation != transfer.order.generation)
            return 0;
    }
    if (used < bytes) {
        if (used == 0 && request.bufferedBytes() >= bodyBufferLimit) {
            request.paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        request.body.append(data + used, bytes - used);
    }
    request.paused = false;
    request.changed.notify_all();
    return bytes;
}

curl_socket_t onOpenSocket(void *user, curlsocktype, curl_sockaddr *address)
{
    auto &transfer = *static_cast<Transfer *>(user);
    const curl_socket_t socket =
        ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (socket == CURL_SOCKET_BAD)
        return CURL_SOCKET_BAD;
    transfer.openedSocket = true;
    transfer.engine.socketOpened(transfer, socket);
    transfer.engine.queueEvent(transfer, INTERNET_STATUS_CONNECTING_TO_SERVER,
                               withTerminator(addressText(&address->addr)));
    return socket;
}

int onCloseSocket(void *user, curl_socket_t socket)
{
    static_cast<Engine *>(user)->socketClosing(socket);
    return ::close(socket);
}

int onPrerequest(void *user, char *primaryIp, char *, int, int)
{
    auto &transfer = *static_cast<Transfer *>(user);
    if (transfer.openedSocket && !transfer.connectedNotified) {
        transfer.connectedNotified = true;
        transfer.engine.queueEvent(transfer, INTERNET_STATUS_CONNECTED_TO_SERVER,
                                   withTerminator(primaryIp ? primaryIp : ""));
    }
    transfer.engine.requestStarting(transfer);
    transfer.connected = true;
    transfer.lastActivity = std::chrono::steady_clock::now();
    transfer.requestBytes = 0;
    long size = 0;
    curl_easy_getinfo(transfer.easy.get(), CURLINFO_REQUEST_SIZE, &size);
    transfer.requestSizeBefore = size;
    transfer.sentNotified = false;
    transfer.engine.queueEvent(transfer, INTERNET_STATUS_SENDING_REQUEST, {});
    return CURL_PREREQFUNC_OK;
}

int onDebug(CURL *, curl_infotype type, char *, size_t size, void *user)
{
    auto &transfer = *static_cast<Transfer *>(user);
    if (type == CURLINFO_HEADER_OUT || type == CURLINFO_DATA_OUT) {
        transfer.requestBytes += static_cast<std::uint32_t>(size);
        transfer.lastActivity = std::chrono::steady_clock::now();
    }
    return 0;
}

} // namespace

void Transfer::resetResponse()
{
    resetAnswer();
    headBytes = 0;
    openedSocket = false;
    connected = false;
    connectedNotified = false;
    sentNotified = false;
    requestBytes = 0;
    requestSizeBefore = 0;
}

void installCallbacks(Transfer &transfer)
{
    CURL *easy = transfer.easy.get();
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, onWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETFUNCTION, onOpenSocket);
    curl_easy_setopt(easy, CURLOPT_OPENSOCKETDATA, &transfer);
    // Connections outlive the transfer that opened them, so their close goes to the engine.
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETFUNCTION, onCloseSocket);
    curl_easy_setopt(easy, CURLOPT_CLOSESOCKETDATA, &transfer.engine);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, onPrerequest);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
    if (transfer.withBody) {
        // libcurl's own count leaves out a body sent after the headers, so the bytes that go
        // out are counted as they go; this costs more, and only a request with a body needs it.
        curl_easy_setopt(easy, CURLOPT_DEBUGFUNCTION, onDebug);
        curl_easy_setopt(easy, CURLOPT_DEBUGDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_VERBOSE, 1L);
    }
}

} // namespace quorvel::platform::inet
