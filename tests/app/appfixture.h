#pragma once
// Shared set-up for the window tests: a private registry and favorites folder per test, no
// splash hold, and the error box replaced by a recorder so no test blocks on a modal box.

#include "app/errorbox.h"
#include "app/splash.h"
#include "support/tempdir.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quorvel::test
{

class AppFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const char *value = std::getenv("XDG_CONFIG_HOME"))
            savedConfig_ = value;
        ::setenv("XDG_CONFIG_HOME", (profile_.path() / "config").c_str(), 1);
        // The window journals its moves into the history store there: never the user's own.
        if (const char *value = std::getenv("XDG_STATE_HOME"))
            savedState_ = value;
        ::setenv("XDG_STATE_HOME", (profile_.path() / "state").c_str(), 1);
        setSplashHoldMs(0);
        previousPresenter_ =
            setErrorPresenter([this](const QString &text) { errors_.append(text); });
    }

    void TearDown() override
    {
        setErrorPresenter(previousPresenter_);
        setSplashHoldMs(SplashHoldMs);
        if (savedConfig_)
            ::setenv("XDG_CONFIG_HOME", savedConfig_->c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        if (savedState_)
            ::setenv("XDG_STATE_HOME", savedState_->c_str(), 1);
        else
            ::unsetenv("XDG_STATE_HOME");
    }

    // Writes the current user's hive with the given line for the "Favorites" value.
    void writeFavoritesValue(const std::string &valueLine)
    {
        profile_.write("config/quorvel/registry/HKEY_CURRENT_USER.reg",
                       "Windows Registry Editor Version 5.00\r\n\r\n"
                       "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                       "Explorer\\Shell Folders]\r\n" +
                           valueLine + "\r\n");
    }

    void pointFavoritesAt(const std::string &folder)
    {
        writeFavoritesValue("\"Favorites\"=\"" + folder + "\"");
    }

    static std::string shortcut(const std::string &url)
    {
        return "[InternetShortcut]\r\nURL=" + url + "\r\n";
    }

    TempDir profile_;
    TempDir favorites_;
    QStringList errors_;

private:
    std::optional<std::string> savedConfig_;
    std::optional<std::string> savedState_;
    ErrorPresenter previousPresenter_;
};

} // namespace quorvel::test
