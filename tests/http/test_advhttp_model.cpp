// The component's data: defaults, URL parts and rebuilding, flags, string lists, the shared
// notifier, error recording and wording. None of these send a request.

#include "http/advhttp.h"

#include "inet/inet.h"
#include "inet/inet_lasterror.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

#include <QCoreApplication>
#include <QWidget>

using namespace quorvel;
namespace inet = quorvel::platform::inet;

TEST(AdvHttpModel, ConstructionLeavesDefaultsWithoutBuildingUrl)
{
    TAdvHttp http;
    EXPECT_EQ(http.ConnectTimeout(), 30000);
    EXPECT_TRUE(http.RaiseExceptions());
    EXPECT_EQ(http.UserAgent(), "Merrowin WinInet Component");
    EXPECT_TRUE(http.URL().empty());
    EXPECT_EQ(http.Port(), 80);
    EXPECT_EQ(http.HostName(), "localhost");
    EXPECT_TRUE(http.DefaultUi());
    EXPECT_EQ(http.Method(), "GET");
    EXPECT_EQ(http.AuthRetries(), 3);
    EXPECT_EQ(http.InternetFlags().bits(), 0x00A0F8u);
    EXPECT_FALSE(http.Busy());
    EXPECT_FALSE(http.UseNotifyWindow());
}

TEST(AdvHttpModel, SettingUrlSplitsItIntoParts)
{
    struct Case {
        const char *url;
        const char *host;
        int port;
        const char *path;
        const char *extra;
    } cases[] = {
        {"http://localhost/", "localhost", 80, "/", ""},
        {"http://h:8080/a%20b?x=1", "h", 8080, "/a b", "?x=1"},
        {"http://example.test/page#top", "example.test", 80, "/page", "#top"},
        {"http://example.test", "example.test", 80, "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url);
        TAdvHttp http;
        http.setURL(c.url);
        EXPECT_EQ(http.URL(), c.url); // an http URL keeps the text that was set
        EXPECT_EQ(http.HostName(), c.host);
        EXPECT_EQ(http.Port(), c.port);
        EXPECT_EQ(http.URLPath(), c.path);
        EXPECT_EQ(http.ExtraInfo(), c.extra);
        EXPECT_FALSE(http.SSL());
    }
}

TEST(AdvHttpModel, UrlCredentialsAreTakenOnlyWhenPresent)
{
    TAdvHttp http;
    http.setURL("http://ann:secret@h/");
    EXPECT_EQ(http.UserName(), "ann");
    EXPECT_EQ(http.Password(), "secret");
    http.setURL("http://other/");
    EXPECT_EQ(http.UserName(), "ann");
    EXPECT_EQ(http.Password(), "secret");
}

TEST(AdvHttpModel, RefusedUrlRestoresUrlAndKeepsParts)
{
    TAdvHttp http;
    http.setURL("http://good:8080/p?q");
    int errors = 0;
    http.setOnError([&](TAdvHttp *) { ++errors; });
    try {
        http.setURL("ftp://files.test/pub");
        FAIL() << "ftp accepted";
    } catch (const EInetError &) {
        FAIL() << "ftp refused as a facility error";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ(e.what(), "Invalid protocol");
    }
    EXPECT_EQ(http.URL(), "http://good:8080/p?q");
    // The parts still describe the URL the component holds, so a request goes where it says.
    EXPECT_EQ(http.HostName(), "good");
    EXPECT_EQ(http.URLPath(), "/p");
    EXPECT_EQ(http.Port(), 8080);
    EXPECT_EQ(errors, 0);

    EXPECT_THROW(http.setURL("not a url"), EInetError);
    EXPECT_EQ(http.URL(), "http://good:8080/p?q");
    EXPECT_NE(http.LastError(), 0u);
    EXPECT_EQ(errors, 1);

    // Each part fits, but the https text rebuilt from them does not.
    EXPECT_THROW(
        http.setURL("https://long.test/" + std::string(1500, 'p') + "?" + std::string(1000, 'q')),
        EInetError);
    EXPECT_EQ(http.URL(), "http://good:8080/p?q");
    EXPECT_EQ(http.HostName(), "good");
    EXPECT_EQ(http.URLPath(), "/p");
    EXPECT_EQ(http.ExtraInfo(), "?q");
    EXPECT_EQ(http.Port(), 8080);
    EXPECT_FALSE(http.SSL());
}

TEST(AdvHttpModel, HttpsUrlSwitchesSslOnAndKeepsItsPort)
{
    TAdvHttp http;
    http.setURL("https://secure.test:9443/x");
    EXPECT_TRUE(http.SSL());
    EXPECT_EQ(http.Port(), 9443);
    EXPECT_EQ(http.URL(), "https://secure.test:9443/x");
}

TEST(AdvHttpModel, ExtraInfoGainsQuestionMarkUnlessItHasOne)
{
    struct Case {
        const char *set;
        const char *stored;
        const char *url;
    } cases[] = {
        {"x=1", "?x=1", "http://localhost/?x=1"},
        {"?y=2", "?y=2", "http://localhost/?y=2"},
        {"#frag", "#frag", "http://localhost/#frag"},
        {"", "", "http://localhost/"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.set);
        TAdvHttp http;
        http.setURL("http://localhost/?old");
        http.setExtraInfo(c.set);
        EXPECT_EQ(http.ExtraInfo(), c.stored);
        EXPECT_EQ(http.URL(), c.url);
    }
}

TEST(AdvHttpModel, PortAndSslRebuildUrlLeavingOnlyPort80Out)
{
    TAdvHttp http;
    http.setURL("http://localhost/");
    http.setPort(8080);
    EXPECT_EQ(http.URL(), "http://localhost:8080/");
    http.setPort(80);
    EXPECT_EQ(http.URL(), "http://localhost/");
    http.setPort(443);
    http.setSSL(true);
    EXPECT_EQ(http.URL(), "https://localhost:443/");
    http.setPort(80);
    EXPECT_EQ(http.URL(), "https://localhost/");
}

TEST(AdvHttpModel, PartSettersRebuildUrlAndEncodeSpacesOnly)
{
    TAdvHttp http;
    http.setURL("http://localhost/");
    http.setHostName("example.test");
    http.setURLPath("/a b/c%d");
    EXPECT_EQ(http.URL(), "http://example.test/a%20b/c%d");
    EXPECT_EQ(http.URLPath(), "/a b/c%d");
}

TEST(AdvHttpModel, FailedRebuildPutsThePartBack)
{
    TAdvHttp http;
    http.setURL("http://localhost/p");
    const std::string tooLong(3000, 'a');
    EXPECT_THROW(http.setURLPath("/" + tooLong), EInetError);
    EXPECT_EQ(http.URLPath(), "/p");
    EXPECT_EQ(http.URL(), "http://localhost/p");
    EXPECT_THROW(http.setExtraInfo(tooLong), EInetError);
    EXPECT_EQ(http.ExtraInfo(), "");
}

TEST(AdvHttpModel, InternetFlagsMapToRequestFlags)
{
    struct Case {
        TInternetFlags flags;
        std::uint32_t expected;
    } cases[] = {
        {{}, 0},
        {{ifDontCache, ifNoCacheWrite}, 0x04000000},
        {{ifCacheIfNetFail}, 0x00010000},
        {{ifHyperLink, ifNeedFile, ifNoAuth}, 0x00000400 | 0x00000010 | 0x00040000},
        {{ifNoAutoRedirect, ifNoCookies, ifPragmaNoCache, ifResynchronize},
         0x00200000 | 0x00080000 | 0x00000100 | 0x00000800},
        {TInternetFlags::fromBits(0x00A0F8),
         0x00001000 | 0x00002000 | 0x00008000 | 0x00004000 | 0x00400000 | 0x00000200 | 0x80000000},
        {{ifIgnoreCertCnInvalid, ifIgnoreCertDateInvalid, ifKeepConnection, ifNoUi, ifReload},
         0x00001000 | 0x00002000 | 0x00400000 | 0x00000200 | 0x80000000},
    };
    TAdvHttp http;
    EXPECT_EQ(http.RequestFlags(), cases[5].expected);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.flags.bits());
        http.setInternetFlags(c.flags);
        EXPECT_EQ(http.RequestFlags(), c.expected);
        EXPECT_EQ(http.RequestFlags() & inet::INTERNET_FLAG_SECURE, 0u);
    }
}

TEST(AdvHttpModel, StringListTextRoundTripsHeaderBlocks)
{
    StringList list;
    list.setText("HTTP/1.1 200 OK\r\nA: b\r\n\r\n");
    ASSERT_EQ(list.count(), 3u);
    EXPECT_EQ(list[0], "HTTP/1.1 200 OK");
    EXPECT_EQ(list[2], "");
    EXPECT_EQ(list.text(), "HTTP/1.1 200 OK\r\nA: b\r\n\r\n");
    list.setText("one\ntwo\rthree");
    EXPECT_EQ(list.lines(), (std::vector<std::string>{"one", "two", "three"}));
    list.setText("");
    EXPECT_TRUE(list.empty());
}

TEST(AdvHttpModel, WidgetOwnedComponentsShareOneNotifier)
{
    ASSERT_EQ(TAdvHttp::NotifyWindowCount(), 0);
    QWidget owner;
    auto *first = new TAdvHttp(&owner);
    QObject *notifier = TAdvHttp::NotifyWindow();
    ASSERT_NE(notifier, nullptr);
    EXPECT_EQ(notifier->objectName(), "TAdvHttpWindow");
    EXPECT_TRUE(first->UseNotifyWindow());
    auto *second = new TAdvHttp(&owner);
    EXPECT_EQ(TAdvHttp::NotifyWindow(), notifier);
    EXPECT_EQ(TAdvHttp::NotifyWindowCount(), 2);

    // An owner that is no widget, or none, does not use it.
    QObject plainOwner;
    TAdvHttp third(&plainOwner);
    EXPECT_FALSE(third.UseNotifyWindow());
    EXPECT_EQ(TAdvHttp::NotifyWindowCount(), 2);

    delete first;
    EXPECT_EQ(TAdvHttp::NotifyWindow(), notifier);
    delete second;
    EXPECT_EQ(TAdvHttp::NotifyWindow(), nullptr);
    EXPECT_EQ(TAdvHttp::NotifyWindowCount(), 0);
}

TEST(AdvHttpModel, RecordErrorFiresOnErrorOnlyForRealErrors)
{
    QWidget owner;
    TAdvHttp http(&owner);
    int errors = 0;
    std::uint32_t seen = 0;
    http.setOnError([&](TAdvHttp *sender) {
        ++errors;
        seen = sender->LastError();
    });
    http.RecordError(0);
    http.RecordError(997);
    EXPECT_EQ(errors, 0);
    EXPECT_EQ(http.LastError(), 997u);
    http.RecordError(12007);
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(seen, 12007u);
}

TEST(AdvHttpModel, HandlerExceptionIsRaisedOnTheFiringThread)
{
    // Handlers are called directly: on the thread that fires, which gets their exception.
    QWidget owner;
    TAdvHttp http(&owner);
    std::thread::id ranOn;
    http.setOnError([&](TAdvHttp *) {
        ranOn = std::this_thread::get_id();
        throw std::runtime_error("handler failed");
    });
    std::string caught;
    std::thread::id firingId;
    std::thread firing([&] {
        firingId = std::this_thread::get_id();
        try {
            http.RecordError(12029);
        } catch (const std::runtime_error &e) {
            caught = e.what();
        }
    });
    firing.join();
    EXPECT_EQ(caught, "handler failed");
    EXPECT_EQ(ranOn, firingId);
    EXPECT_EQ(http.LastError(), 12029u);
}

TEST(AdvHttpModel, StatusNotificationsFillStateBeforeTheirEvents)
{
    TAdvHttp http;
    std::string address;
    int sent = 0;
    http.setOnConnectedToServer([&](TAdvHttp *h) { address = h->ServerAddress(); });
    http.setOnRequestSent([&](TAdvHttp *h) { sent = h->BytesSent(); });
    int received = 0;
    http.setOnResponseReceived([&](TAdvHttp *h) { received = h->TotalBytesReceived(); });
    std::string redirect;
    http.setOnRedirect([&](TAdvHttp *h) { redirect = h->RedirectURL(); });

    const char ip[] = "127.0.0.1";
    http.HandleStatus(inet::INTERNET_STATUS_CONNECTED_TO_SERVER, ip, sizeof ip);
    EXPECT_EQ(address, "127.0.0.1");
    const std::uint32_t count = 77;
    http.HandleStatus(inet::INTERNET_STATUS_REQUEST_SENT, &count, sizeof count);
    EXPECT_EQ(sent, 77);
    http.HandleStatus(inet::INTERNET_STATUS_RESPONSE_RECEIVED, &count, sizeof count);
    http.HandleStatus(inet::INTERNET_STATUS_RESPONSE_RECEIVED, &count, sizeof count);
    EXPECT_EQ(received, 154);
    const char target[] = "http://elsewhere.test/";
    http.HandleStatus(inet::INTERNET_STATUS_REDIRECT, target, sizeof target);
    EXPECT_EQ(redirect, target);
    EXPECT_EQ(http.URL(), ""); // a redirect does not move the component's URL

    // Handle notifications and short blocks change nothing visible.
    http.HandleStatus(inet::INTERNET_STATUS_HANDLE_CREATED, nullptr, 0);
    http.HandleStatus(inet::INTERNET_STATUS_HANDLE_CLOSING, nullptr, 0);
    http.HandleStatus(inet::INTERNET_STATUS_REQUEST_SENT, "x", 1);
    EXPECT_EQ(http.ServerAddress(), "127.0.0.1");
    EXPECT_EQ(http.BytesSent(), 0);
}

TEST(AdvHttpModel, ErrorTextWordsFacilityCodesOnly)
{
    EXPECT_EQ(TAdvHttp::ErrorText(997), "");
    EXPECT_EQ(TAdvHttp::ErrorText(2), "");
    const std::string timeout = TAdvHttp::ErrorText(12002);
    EXPECT_FALSE(timeout.empty());
    EXPECT_EQ(timeout.substr(timeout.size() - 2), "\r\n");

    inet::setLastResponseInfo(42, "550 Denied by server");
    const std::string message = inet::FormatMessage(12003);
    EXPECT_EQ(TAdvHttp::ErrorText(12003),
              message + "\r\nExtended error:42 - 550 Denied by server\r\n");
}
