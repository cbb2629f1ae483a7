#pragma once
// A run over a fake window with a real component whose result events go to the run, as in the
// main window, and the scripted server on 127.0.0.1.

#include "fakeview.h"
#include "fastclock.h"

#include "http/advhttp.h"
#include "support/testserver.h"
#include "verify/verifyrun.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace quorvel::test
{

class RunHarness : public ::testing::Test
{
protected:
    RunHarness()
    {
        http.setConnectTimeout(10000);
        http.setRaiseExceptions(false);
        http.setMethod("GET");
        http.setOnRequestComplete([this](TAdvHttp *) { run.RequestComplete(); });
        http.setOnError([this](TAdvHttp *) { run.Error(); });
        // The window logs every block: each is a hand-over to the GUI thread that the run's
        // waits must let through.
        http.setOnDataAvailable([this](TAdvHttp *) { view.LogEvent("data"); });
        run.setClock(&clock);
    }

    void add(const std::string &name, const std::string &url)
    {
        view.links.push_back({name, url, "/fav/" + name + ".url"});
    }

    TestServer server;
    QWidget owner; // handlers then run on this (the GUI) thread, as in the window
    TAdvHttp http{&owner};
    FakeView view;
    FastClock clock;
    VerifyRun run{view, http};
};

} // namespace quorvel::test
