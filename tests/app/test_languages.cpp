// Shortcuts written on Windows in other languages, checked through the real window: the URL a
// shortcut holds in its Unicode section or in the ANSI code page reaches the server as browsers
// send it, and a dead one is listed under its own name.

#include "test_verifyrun_fixture.h"

using namespace quorvel;
using namespace quorvel::test;

namespace
{

class LanguagesTest : public WindowRunFixture
{
protected:
    void setCodePage(const char *codePage)
    {
        profile_.write("config/quorvel/registry/HKEY_LOCAL_MACHINE.reg",
                       std::string("Windows Registry Editor Version 5.00\r\n\r\n"
                                   "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Nls\\"
                                   "CodePage]\r\n\"ACP\"=\"") +
                           codePage + "\"\r\n");
    }
};

TEST_F(LanguagesTest, UnicodeAndCodePageUrlsGoOutPercentEncodedAsUtf8)
{
    // "страница" and "页面" as UTF-8, escaped as they must arrive.
    const std::string cyrillicPath = "/%D1%81%D1%82%D1%80%D0%B0%D0%BD%D0%B8%D1%86%D0%B0";
    const std::string chinesePath = "/%E9%A1%B5%E9%9D%A2";
    server_.route(cyrillicPath, Reply::ok("found"));
    server_.route(chinesePath, Reply::status("HTTP/1.1 404 Not Found"));
    const std::string base = server_.url("");
    setCodePage("1251");
    // 8-bit only, in CP1251.
    favorites_.write("1 Страница.url",
                     "[InternetShortcut]\r\nURL=" + base + "/\xF1\xF2\xF0\xE0\xED\xE8\xF6\xE0\r\n");
    // Both sections: the 8-bit one holds what CP936 made of it, the UTF-7 one the real text.
    favorites_.write("2 页面.url", "[InternetShortcut]\r\nURL=" + base +
                                       "/\xD2\xB3\xC3\xE6\r\n[InternetShortcut.W]\r\nURL=" + base +
                                       "/+mHWXYg-\r\n");
    pointFavoritesAt(favorites_.str());
    TTfmVerify &w = open();
    EXPECT_EQ(rows(w.URL_List()), (QStringList{QString::fromStdString(base + "/страница"),
                                               QString::fromStdString(base + "/页面")}));

    w.VerifyAllToolButton()->click();

    const std::vector<ReceivedRequest> requests = server_.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].target, cyrillicPath);
    EXPECT_EQ(requests[1].target, chinesePath);
    EXPECT_EQ(rows(w.List404()), QStringList{QStringLiteral("2 页面")});
}

} // namespace
