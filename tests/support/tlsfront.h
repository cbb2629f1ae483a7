#pragma once
// A TLS front for tests: it listens on 127.0.0.1 on a port the system picks, takes TLS
// connections with a self-signed certificate made when it starts, and passes the plain bytes
// on to a backend port (the scripted test server). The certificate's name, dates and file are
// chosen by the test, so name, date and issuer checks can each be tried.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvel::test
{

struct CertificateTerms {
    std::string commonName = "localhost";
    long validFromSeconds = -3600;      // relative to now
    long validUntilSeconds = 24 * 3600; // relative to now; negative: already expired
};

class TlsFront
{
public:
    // certificateFile: where the certificate (PEM) is written, for a client to trust it.
    TlsFront(std::uint16_t backendPort, const std::filesystem::path &certificateFile,
             CertificateTerms terms = {});
    ~TlsFront();
    TlsFront(const TlsFront &) = delete;
    TlsFront &operator=(const TlsFront &) = delete;

    std::uint16_t port() const { return port_; }
    // "https://127.0.0.1:<port>" followed by path.
    std::string url(const std::string &path) const;

    void stop();

private:
    void acceptLoop();
    void relay(int client);

    void *context_ = nullptr; // SSL_CTX
    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::uint16_t backendPort_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    std::mutex mutex_;
    std::vector<std::thread> relays_;
    std::vector<int> openFds_;
};

} // namespace quorvel::test
