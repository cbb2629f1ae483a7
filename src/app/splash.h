#pragma once
// TSplash: the splash screen shown while the favorites load. It exists only during start-up.

#include <QWidget>

class QLabel;

namespace quorvel
{

class TSplash : public QWidget
{
    Q_OBJECT
public:
    // Client area size; the picture fills all of it above the label.
    static constexpr int ClientWidth = 429;
    static constexpr int ClientHeight = 290;
    static constexpr int LabelHeight = 19;

    explicit TSplash(QWidget *parent = nullptr);

    QLabel *Image1() const { return image1_; }
    QLabel *Label1() const { return label1_; }

private:
    QLabel *image1_;
    QLabel *label1_;
};

// The one splash instance while it exists, else nullptr. Owned by start-up, not by the main
// window.
extern TSplash *Splash;

// Creates the splash, centres it, shows it and paints it before returning: no event loop runs
// until the main window is shown, so this is the only paint it gets.
void showSplash();

// Hides and destroys the splash; nothing happens when there is none.
void destroySplash();

// How long the splash stays after the favorites have loaded; a plain blocking wait.
inline constexpr int SplashHoldMs = 2000;
int splashHoldMs();
// Tests shorten the wait; negative values count as 0.
void setSplashHoldMs(int ms);

} // namespace quorvel
