#pragma once
// A run over a fake window with a real component, wired as the main window wires it, and the
// scripted server on 127.0.0.1.

#include "fakeview.h"
#include "fastclock.h"

#include "http/advhttp.h"
#include "support/testserver.h"
#include "verify/connectionlog.h"
#include "verify/verifyrun.h"

#include <QWidget>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::test {

class RunHarness : public ::testing::Test {
protected:
    RunHarness()
    {
        http.setConnectTimeout(10000);
        http.setRaiseExceptions(false);
        http.setMethod("GET");
        http.setOnRequestComplete([this](TAdvHttp *) { run.RequestComplete(); });
        http.setOnError([this](TAdvHttp *) { run.Error(); });
        const std::pair<ProgressEvent, void (TAdvHttp::*)(TNotifyEvent)> progress[] = {
            {ProgressEvent::NameResolved, &TAdvHttp::setOnNameResolved},
            {ProgressEvent::ConnectingToServer, &TAdvHttp::setOnConnectingToServer},
            {ProgressEvent::ConnectedToServer, &TAdvHttp::setOnConnectedToServer},
            {ProgressEvent::ReceivingResponse, &TAdvHttp::setOnReceivingResponse},
            {ProgressEvent::IntermediateResponse, &TAdvHttp::setOnIntermediateResponse},
            {ProgressEvent::Redirect, &TAdvHttp::setOnRedirect},
            {ProgressEvent::DataAvailable, &TAdvHttp::setOnDataAvailable},
            {ProgressEvent::ClosingConnection, &TAdvHttp::setOnClosingConnection},
            {ProgressEvent::ConnectionClosed, &TAdvHttp::setOnConnectionClosed},
        };
        for (const auto &[event, setter] : progress) {
            const ProgressEvent kind = event;
            (http.*setter)([this, kind](TAdvHttp *sender) {
                view.LogEvent(progressLine(kind, *sender));
            });
        }
        run.setClock(&clock);
    }

    void add(const std::string &name, const std::string &url)
    {
        view.links.push_back({name, url, "/fav/" + name + ".url"});
    }

    // A port on 127.0.0.1 that nothing listens on: bound, read back and closed again.
    static int closedPort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
        ::close(fd);
        return ntohs(address.sin_port);
    }

    TestServer server;
    QWidget owner; // handlers then run on this (the GUI) thread, as in the window
    TAdvHttp http{&owner};
    FakeView view;
    FastClock clock;
    VerifyRun run{view, http};
};

} // namespace quorvel::test
