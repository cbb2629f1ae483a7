#include "support/tlsfront.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace quorvel::test
{

namespace
{

struct KeyAndCertificate {
    EVP_PKEY *key = nullptr;
    X509 *certificate = nullptr;
};

KeyAndCertificate makeCertificate(const CertificateTerms &terms)
{
    KeyAndCertificate made;
    made.key = EVP_EC_gen("P-256");
    made.certificate = X509_new();
    if (!made.key || !made.certificate)
        throw std::runtime_error("cannot make a test certificate");
    X509 *cert = made.certificate;
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), terms.validFromSeconds);
    X509_gmtime_adj(X509_getm_notAfter(cert), terms.validUntilSeconds);
    X509_set_pubkey(cert, made.key);
    X509_NAME *name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char *>(terms.commonName.c_str()), -1,
                               -1, 0);
    X509_set_issuer_name(cert, name); // self-signed: its own issuer
    X509_sign(cert, made.key, EVP_sha256());
    return made;
}

void closeQuietly(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

} // namespace

TlsFront::TlsFront(std::uint16_t backendPort, const std::filesystem::path &certificateFile,
                   CertificateTerms terms)
    : backendPort_(backendPort)
{
    KeyAndCertificate made = makeCertificate(terms);
    if (FILE *out = std::fopen(certificateFile.c_str(), "w")) {
        PEM_write_X509(out, made.certificate);
        std::fclose(out);
    }
    SSL_CTX *context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_use_certificate(context, made.certificate);
    SSL_CTX_use_PrivateKey(context, made.key);
    X509_free(made.certificate);
    EVP_PKEY_free(made.key);
    context_ = context;

    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, 64) != 0)
        throw std::runtime_error("cannot listen for the TLS front");
    socklen_t length = sizeof address;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&address), &length);
    port_ = ntohs(address.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

TlsFront::~TlsFront()
{
    stop();
    SSL_CTX_free(static_cast<SSL_CTX *>(context_));
}

std::string TlsFront::url(const std::string &path) const
{
    return "https://127.0.0.1:" + std::to_string(port_) + path;
}

void TlsFront::stop()
{
    if (stopping_.exchange(true))
        return;
    ::shutdown(listenFd_, SHUT_RDWR);
    if (acceptThread_.joinable())
        acceptThread_.join();
    closeQuietly(listenFd_);
    std::vector<std::thread> relays;
    {
        std::lock_guard lock(mutex_);
        for (int fd : openFds_)
            ::shutdown(fd, SHUT_RDWR);
        relays.swap(relays_);
    }
    for (auto &relay : relays)
        relay.join();
}

void TlsFront::acceptLoop()
{
    for (;;) {
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (stopping_)
                return;
            continue;
        }
        std::lock_guard lock(mutex_);
        if (stopping_) {
            ::close(client);
            return;
        }
        openFds_.push_back(client);
        relays_.emplace_back([this, client] { relay(client); });
    }
}

void TlsFront::relay(int client)
{
    SSL *ssl = SSL_new(static_cast<SSL_CTX *>(context_));
    SSL_set_fd(ssl, client);
    int backend = -1;
    if (SSL_accept(ssl) == 1) {
        backend = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(backendPort_);
        if (::connect(backend, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
            {
                std::lock_guard lock(mutex_);
                openFds_.push_back(backend);
            }
            char buffer[16384];
            for (;;) {
                // Bytes OpenSSL already holds would not wake poll.
                if (SSL_pending(ssl) == 0) {
                    pollfd fds[2] = {{client, POLLIN, 0}, {backend, POLLIN, 0}};
                    if (::poll(fds, 2, 200) < 0 || stopping_)
                        break;
                    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                        const ssize_t n = ::read(backend, buffer, sizeof buffer);
                        if (n <= 0 || SSL_write(ssl, buffer, static_cast<int>(n)) <= 0)
                            break;
                    }
                    if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
                        continue;
                }
                const int n = SSL_read(ssl, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                if (::write(backend, buffer, static_cast<std::size_t>(n)) != n)
                    break;
            }
        }
    }
    SSL_shutdown(ssl);
    SSL_free(ssl);
    std::lock_guard lock(mutex_);
    for (int fd : {client, backend}) {
        if (fd < 0)
            continue;
        openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
        ::close(fd);
    }
}

} // namespace quorvel::test
