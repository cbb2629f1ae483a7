// quorvel-check sends its own requests over libcurl; these tests hold it to the window's
// verdicts by checking the same server answers with the window's HTTP component (set up as the
// window sets it up) and with quorvel-check's checker, side by side.

#include "verify/runharness.h"

#include "cli/checkrun.h"
#include "http/internetflags.h"
#include "inet/inet_timeouts.h"
#include "support/freeport.h"
#include "support/tempdir.h"
#include "support/tlsfront.h"

#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>

using namespace quorvel;
using namespace quorvel::test;
using namespace std::chrono_literals;

namespace
{

struct Case {
    std::string name;
    std::string url;
    bool dead;
};

class SameVerdicts : public RunHarness
{
protected:
    SameVerdicts()
    {
        // As the window's BrowseTo, but without the credential prompt, whose dialog would wait
        // for a user; cancelling it is what happens without one.
        http.setUserAgent("Merrowin WinInet Component");
        http.setAuthRetries(3);
        http.setInternetFlags(
            {ifIgnoreCertCnInvalid, ifIgnoreCertDateInvalid, ifKeepConnection, ifNoUi, ifReload});
        http.setDefaultUi(false);
        platform::inet::setReceiveTimeout(1s);
    }
    ~SameVerdicts() override { platform::inet::setReceiveTimeout(30s); }

    std::set<std::string> windowDead(const std::vector<Case> &cases)
    {
        for (const Case &c : cases)
            add(c.name, c.url);
        run.VerifyAll();
        std::set<std::string> dead;
        for (const std::string &file : view.deadFiles)
            dead.insert(file);
        return dead;
    }

    cli::Report checkerReport(const std::vector<Case> &cases)
    {
        Catalogue catalogue;
        for (const Case &c : cases) {
            catalogue.URL_Names.push_back(c.name);
            catalogue.URL_List.push_back(c.url);
            catalogue.Files.push_back("/fav/" + c.name + ".url");
        }
        cli::CheckSettings settings;
        settings.timeout = 2s;
        // Failures are tried again here; the verdict is the same, sooner.
        settings.retryWait = 20ms;
        return cli::checkCatalogue(catalogue, "/fav", false, settings);
    }

    std::set<std::string> checkerDead(const std::vector<Case> &cases)
    {
        const cli::Report report = checkerReport(cases);
        std::set<std::string> dead;
        for (const auto &entry : report.entries) {
            if (entry.result.kind == cli::ResultKind::Dead)
                dead.insert(entry.file);
        }
        return dead;
    }
};

TEST_F(SameVerdicts, EveryAnswerGetsTheWindowsVerdict)
{
    TempDir temp;
    TlsFront tls(server.port(), temp.path() / "untrusted.pem");

    Reply noted = Reply::ok("fine");
    noted.headers.push_back("X-Note: was HTTP/1.1 404 once");
    Reply interim = Reply::ok("fine");
    interim.interimStatusLines = {"HTTP/1.1 100 Continue"};
    Reply multiple = Reply::status("HTTP/1.1 300 Multiple Choices", "pick one");
    multiple.headers.push_back("Location: /gone");
    Reply cut = Reply::ok(std::string(1000, 'x'));
    cut.cut = Reply::Cut::Reset;
    cut.cutAfter = 10;
    Reply reset;
    reset.action = Reply::Action::Reset;
    Reply slow = Reply::ok("late");
    slow.delayBeforeHeaders = 5s;

    server.route("/ok", Reply::ok("fine"));
    server.route("/gone", Reply::status("HTTP/1.1 404 Not Found", "no"));
    server.route("/old-gone", Reply::status("HTTP/1.0 404 Not Found", "no"));
    server.route("/forbidden", Reply::status("HTTP/1.1 403 Forbidden"));
    server.route("/broken", Reply::status("HTTP/1.1 500 Internal Server Error"));
    server.route("/noted", noted);
    server.route("/interim", interim);
    server.route("/moved", Reply::redirect(301, "/ok"));
    server.route("/to-gone", Reply::redirect(302, "/gone"));
    server.route("/chain", Reply::redirect(308, "/to-gone"));
    server.route("/loop", Reply::redirect(302, "/loop"));
    server.route("/to-ftp", Reply::redirect(302, "ftp://127.0.0.1/file"));
    server.route("/to-invalid", Reply::redirect(307, "http://far.invalid/page"));
    server.route("/to-untrusted", Reply::redirect(302, tls.url("/ok")));
    server.route("/no-location", Reply::status("HTTP/1.1 302 Found"));
    server.route("/multiple", multiple);
    server.route("/auth", Reply::challenge());
    server.route("/cut", cut);
    server.route("/reset", reset);
    server.route("/slow", slow);

    const std::vector<Case> cases = {
        {"ok", server.url("/ok"), false},
        {"gone", server.url("/gone"), true},
        {"old-gone", server.url("/old-gone"), true},
        {"forbidden", server.url("/forbidden"), false},
        {"broken", server.url("/broken"), false},
        {"noted", server.url("/noted"), true},
        {"interim", server.url("/interim"), false},
        {"moved", server.url("/moved"), false},
        {"to-gone", server.url("/to-gone"), true},
        {"chain", server.url("/chain"), true},
        {"loop", server.url("/loop"), true},
        {"to-ftp", server.url("/to-ftp"), true},
        {"to-invalid", server.url("/to-invalid"), true},
        {"to-untrusted", server.url("/to-untrusted"), true},
        {"no-location", server.url("/no-location"), false},
        {"multiple", server.url("/multiple"), false},
        {"auth", server.url("/auth"), true},
        {"cut", server.url("/cut"), true},
        {"reset", server.url("/reset"), true},
        {"slow", server.url("/slow"), true},
        {"refused", "http://127.0.0.1:" + std::to_string(closedLoopbackPort()) + "/", true},
        {"invalid-name", "http://nowhere.invalid/", true},
        {"no-host", "http:///path", true},
    };

    const std::set<std::string> window = windowDead(cases);
    const std::set<std::string> checker = checkerDead(cases);
    for (const Case &c : cases) {
        const std::string file = "/fav/" + c.name + ".url";
        EXPECT_EQ(window.count(file) != 0, c.dead) << "window: " << c.name;
        EXPECT_EQ(checker.count(file) != 0, c.dead) << "quorvel-check: " << c.name;
    }
}

// How one link ended: dead or alive, and the facility's error number and text.
struct Ending {
    bool dead = false;
    std::uint32_t error = 0;
    std::string text;
    bool operator==(const Ending &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Ending &e)
{
    return out << (e.dead ? "dead" : "alive") << ", error " << e.error << " \"" << e.text << "\"";
}

std::string withoutLineEnd(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

class SameErrors : public SameVerdicts
{
protected:
    SameErrors()
    {
        http.setOnError([this](TAdvHttp *) {
            if (windowError == 0)
                windowError = http.LastError();
            run.Error();
        });
    }

    // One link at a time, so each error is known to be that link's.
    Ending windowEnding(const Case &c)
    {
        view.links.clear();
        add(c.name, c.url);
        windowError = 0;
        run.VerifyAll();
        return {!view.deadFiles.empty(), windowError,
                windowError ? withoutLineEnd(TAdvHttp::ErrorText(windowError)) : ""};
    }

    std::map<std::string, Ending> checkerEndings(const std::vector<Case> &cases)
    {
        const cli::Report report = checkerReport(cases);
        std::map<std::string, Ending> endings;
        for (const auto &entry : report.entries)
            endings[entry.file] = {entry.result.kind == cli::ResultKind::Dead, entry.result.error,
                                   entry.result.errorText};
        return endings;
    }

    std::uint32_t windowError = 0;
};

TEST_F(SameErrors, EveryFailureOfTheServerEndsWithTheWindowsErrorNumberAndText)
{
    Reply closed;
    closed.action = Reply::Action::CloseWithoutAnswer;
    Reply reset;
    reset.action = Reply::Action::Reset;
    Reply resetInBody = Reply::ok(std::string(1000, 'x'));
    resetInBody.cut = Reply::Cut::Reset;
    resetInBody.cutAfter = 10;
    Reply closedInBody = Reply::ok(std::string(1000, 'x'));
    closedInBody.cut = Reply::Cut::Close;
    closedInBody.cutAfter = 10;
    Reply silent = Reply::ok("late");
    silent.delayBeforeHeaders = 5s;
    Reply garbage;
    garbage.raw = "SOMETHING ELSE\r\n\r\n";
    Reply badChunk;
    badChunk.raw = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n";
    // A header block over the facility's limit (in lines libcurl itself takes): 12190 in the
    // window, and so in quorvel-check.
    Reply hugeHead = Reply::ok("fine");
    for (int i = 0; i < 33; ++i)
        hugeHead.headers.push_back("X-Filler-" + std::to_string(i) + ": " + std::string(8192, 'a'));

    server.route("/closed", closed);
    server.route("/reset", reset);
    server.route("/reset-in-body", resetInBody);
    server.route("/closed-in-body", closedInBody);
    server.route("/silent", silent);
    server.route("/garbage", garbage);
    server.route("/bad-chunk", badChunk);
    server.route("/huge-head", hugeHead);
    server.route("/loop", Reply::redirect(302, "/loop"));
    server.route("/to-ftp", Reply::redirect(302, "ftp://127.0.0.1/file"));
    server.route("/to-invalid", Reply::redirect(307, "http://far.invalid/page"));
    server.route("/auth", Reply::challenge());
    server.route("/gone", Reply::status("HTTP/1.1 404 Not Found", "no"));
    server.route("/ok", Reply::ok("fine"));

    const std::vector<Case> cases = {
        {"closed", server.url("/closed"), true},
        {"reset", server.url("/reset"), true},
        {"reset-in-body", server.url("/reset-in-body"), true},
        {"closed-in-body", server.url("/closed-in-body"), true},
        {"silent", server.url("/silent"), true},
        {"garbage", server.url("/garbage"), true},
        {"bad-chunk", server.url("/bad-chunk"), true},
        {"huge-head", server.url("/huge-head"), true},
        {"loop", server.url("/loop"), true},
        {"to-ftp", server.url("/to-ftp"), true},
        {"to-invalid", server.url("/to-invalid"), true},
        {"auth", server.url("/auth"), true},
        {"gone", server.url("/gone"), true},
        {"ok", server.url("/ok"), false},
        {"refused", "http://127.0.0.1:" + std::to_string(closedLoopbackPort()) + "/", true},
        {"invalid-name", "http://nowhere.invalid/", true},
        {"no-host", "http:///path", true},
    };

    const std::map<std::string, Ending> checker = checkerEndings(cases);
    for (const Case &c : cases) {
        const Ending window = windowEnding(c);
        EXPECT_EQ(window.dead, c.dead) << c.name;
        EXPECT_EQ(checker.at("/fav/" + c.name + ".url"), window) << c.name;
    }
    EXPECT_EQ(windowEnding({"huge-head", server.url("/huge-head"), true}).error,
              platform::inet::ERROR_HTTP_HEADERS_TOO_LARGE);
}

} // namespace

// The same request policy: the server sees the same request heads from both programs, in
// whatever order the checker's requests arrive.
TEST_F(SameVerdicts, BothProgramsSendTheSameRequests)
{
    server.route("/page", Reply::ok("fine"));
    server.route("/moved", Reply::redirect(302, "/page?from=moved"));
    const std::vector<Case> cases = {{"page", server.url("/page"), false},
                                     {"moved", server.url("/moved"), false}};
    windowDead(cases);
    const std::size_t windowCount = server.requests().size();
    checkerReport(cases);
    const std::vector<ReceivedRequest> all = server.requests();
    ASSERT_EQ(windowCount, 3u);
    ASSERT_EQ(all.size(), 6u);
    std::multiset<std::string> window;
    std::multiset<std::string> checker;
    for (std::size_t i = 0; i < all.size(); ++i)
        (i < windowCount ? window : checker).insert(all[i].head);
    EXPECT_EQ(checker, window);
}
