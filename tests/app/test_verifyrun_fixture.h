#pragma once
// The real main window over a favorites folder of a temporary profile, with the scripted server
// on 127.0.0.1 and, where a test wants it, the short run clock.

#include "app/tfmverify.h"

#include "appfixture.h"
#include "http/advhttp.h"
#include "support/testserver.h"
#include "verify/fastclock.h"
#include "widgets/searchlistbox.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvel::test
{

class WindowRunFixture : public AppFixture
{
protected:
    void TearDown() override
    {
        window_.reset();
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        AppFixture::TearDown();
    }

    // Shortcut files named so that the folder listing gives them in the order passed.
    void favorites(const std::vector<std::pair<std::string, std::string>> &namesAndUrls)
    {
        for (const auto &[name, url] : namesAndUrls)
            favorites_.write(name + ".url", shortcut(url));
        pointFavoritesAt(favorites_.str());
    }

    TTfmVerify &open(bool fastClock = true)
    {
        window_ = std::make_unique<TTfmVerify>();
        if (fastClock)
            window_->verifyRun().setClock(&clock_);
        window_->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
        return *window_;
    }

    static QStringList rows(const TSearchListBox *list)
    {
        QStringList texts;
        for (int i = 0; i < list->count(); ++i)
            texts << list->rowText(i);
        return texts;
    }

    static Qt::CursorShape cursorShape()
    {
        const QCursor *cursor = QApplication::overrideCursor();
        return cursor ? cursor->shape() : Qt::ArrowCursor;
    }

    QString path(const std::string &name) const
    {
        return QString::fromStdString((favorites_.path() / (name + ".url")).string());
    }

    // A port on 127.0.0.1 that nothing listens on: bound, read back and closed again.
    static std::string refusedUrl()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
        ::close(fd);
        return "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
    }

    TestServer server_;
    FastClock clock_;
    std::unique_ptr<TTfmVerify> window_;
};

} // namespace quorvel::test
