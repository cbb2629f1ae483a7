// The pure decisions of a check: which links are requested, which header lines make a link
// dead, and what each progress notification writes to the log.

#include "fakeview.h"

#include "http/advhttp.h"
#include "inet/inet.h"
#include "verify/connectionlog.h"
#include "verify/linkcheck.h"
#include "verify/resultclassifier.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace
{

TEST(LinkCheck, OnlyUrlsStartingWithHttpColonInAnyCaseAreRequested)
{
    const struct {
        const char *url;
        bool requested;
    } cases[] = {
        {"http://example.test/", true},
        {"HTTP://EXAMPLE.TEST/", true},
        {"Http://example.test/", true},
        {"http:", true},
        {" http://example.test/", false},
        {"https://example.test/", false},
        {"ftp://example.test/", false},
        {"no path", false},
        {"", false},
        {"htt", false},
        {"javascript:http://x", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isHttpLink(c.url), c.requested) << c.url;
}

TEST(ResultClassifier, EachLineIsTestedForBothTextsInAnyCase)
{
    const struct {
        StringList headers;
        std::vector<std::string> findings;
    } cases[] = {
        {{"HTTP/1.1 404 Not Found", "Server: t"}, {"HTTP/1.1 404 NOT FOUND"}},
        {{"HTTP/1.0 404 Not Found"}, {"HTTP/1.0 404 NOT FOUND"}},
        {{"HTTP/1.1 200 OK", "X-Note: was http/1.1 404 before"},
         {"X-NOTE: WAS HTTP/1.1 404 BEFORE"}},
        {{"X-A: http/1.1 404", "X-B: Http/1.0 404"}, {"X-A: HTTP/1.1 404", "X-B: HTTP/1.0 404"}},
        {{"X-Both: HTTP/1.1 404 and HTTP/1.0 404"},
         {"X-BOTH: HTTP/1.1 404 AND HTTP/1.0 404", "X-BOTH: HTTP/1.1 404 AND HTTP/1.0 404"}},
        {{"HTTP/1.1 200 OK"}, {}},
        {{"HTTP/1.1 403 Forbidden"}, {}},
        {{"HTTP/1.1 410 Gone"}, {}},
        {{"HTTP/1.1 500 Internal Server Error"}, {}},
        {{"HTTP/1.1 4040 Odd"}, {"HTTP/1.1 4040 ODD"}},
        // Only a to z change: a locale-aware upper-casing would alter the UTF-8 bytes of "é".
        {{"X-Note: caf\xc3\xa9 http/1.0 404"}, {"X-NOTE: CAF\xc3\xa9 HTTP/1.0 404"}},
        {{"HTTP/2 404"}, {}},
        {{}, {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(notFoundFindings(c.headers.lines()), c.findings) << c.headers.text();
}

TEST(ResultClassifier, A404IsListedCountedAndAppendedToTheStatusText)
{
    test::FakeView view;
    view.name = "News";
    view.file = "/fav/News.url";
    view.status = "News:http://h/n";
    view.notFound = 2;
    const StringList headers{"HTTP/1.1 404 Not Found", "X-Again: http/1.0 404"};

    classifyResponse(view, headers);

    EXPECT_EQ(view.deadNames, (std::vector<std::string>{"News", "News"}));
    EXPECT_EQ(view.deadFiles, (std::vector<std::string>{"/fav/News.url", "/fav/News.url"}));
    EXPECT_EQ(view.notFound, 4);
    EXPECT_EQ(view.count404sText, "404 count = 4");
    EXPECT_EQ(view.status, "News:http://h/n : HTTP/1.1 404 NOT FOUND : X-AGAIN: HTTP/1.0 404");
    // The memo keeps the lines as received, not upper-cased.
    EXPECT_EQ(view.headers, headers);
    EXPECT_EQ(view.otherErrors, 0);
}

TEST(ResultClassifier, ALiveResponseChangesOnlyTheHeaders)
{
    test::FakeView view;
    view.status = "A:http://h/";
    view.count404sText = "404 count = 1";
    classifyResponse(view, StringList{"HTTP/1.1 200 OK", "Content-Length: 2"});
    EXPECT_TRUE(view.deadNames.empty());
    EXPECT_EQ(view.status, "A:http://h/");
    EXPECT_EQ(view.count404sText, "404 count = 1");
    EXPECT_EQ(view.headers, (StringList{"HTTP/1.1 200 OK", "Content-Length: 2"}));
}

TEST(ResultClassifier, AnErrorIsLoggedCountedListedAndLeavesStatusAndHeaders)
{
    test::FakeView view;
    view.name = "Gone";
    view.file = "/fav/Gone.url";
    view.status = "Gone:http://h/";
    view.headers = StringList{"HTTP/1.1 200 OK"};
    view.otherErrors = 1;
    TAdvHttp http;
    http.setRaiseExceptions(false);
    http.RecordError(platform::inet::ERROR_INTERNET_CANNOT_CONNECT);

    classifyError(view, http);

    ASSERT_EQ(view.events.size(), 1u);
    EXPECT_EQ(view.events[0], TAdvHttp::ErrorText(platform::inet::ERROR_INTERNET_CANNOT_CONNECT));
    EXPECT_FALSE(view.events[0].empty());
    EXPECT_EQ(view.otherErrors, 2);
    EXPECT_EQ(view.otherErrorsText, "Other errors = 2");
    EXPECT_EQ(view.deadNames, std::vector<std::string>{"Gone"});
    EXPECT_EQ(view.deadFiles, std::vector<std::string>{"/fav/Gone.url"});
    EXPECT_EQ(view.status, "Gone:http://h/");
    EXPECT_EQ(view.headers, StringList{"HTTP/1.1 200 OK"});
    EXPECT_FALSE(http.Busy());

    // A code without a message still leaves its (empty) line, so every error shows in the log.
    http.RecordError(54321);
    classifyError(view, http);
    EXPECT_EQ(view.events, (std::vector<std::string>{view.events[0], ""}));
    EXPECT_EQ(view.otherErrorsText, "Other errors = 3");
}

TEST(ConnectionLog, EachNotificationWritesItsOwnLine)
{
    const ProgressState state{"127.0.0.1", "http://127.0.0.1:8/next", 16384};
    const struct {
        ProgressEvent event;
        const char *line;
    } cases[] = {
        {ProgressEvent::NameResolved, "Address resolved..."},
        {ProgressEvent::ConnectingToServer, "Connecting to 127.0.0.1"},
        {ProgressEvent::ConnectedToServer, "Connected to 127.0.0.1"},
        {ProgressEvent::ReceivingResponse, "Receiving response..."},
        {ProgressEvent::IntermediateResponse, "Intermediate response..."},
        {ProgressEvent::Redirect, "Redirecting to http://127.0.0.1:8/next"},
        {ProgressEvent::DataAvailable, "Data available. Bytes: 16384"},
        {ProgressEvent::ClosingConnection, "Closing connection"},
        {ProgressEvent::ConnectionClosed, "Connection closed"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(progressLine(c.event, state), c.line);
    EXPECT_EQ(progressLine(ProgressEvent::DataAvailable, ProgressState{"", "", 0}),
              "Data available. Bytes: 0");
}

} // namespace
