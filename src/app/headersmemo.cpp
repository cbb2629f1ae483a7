#include "app/headersmemo.h"

namespace quorvel
{

HeadersMemo::HeadersMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    refresh_.setSingleShot(true);
    connect(&refresh_, &QTimer::timeout, this, &HeadersMemo::takeHeldText);
}

void HeadersMemo::showText(const QString &text)
{
    held_ = text;
    if (!isVisible() || refresh_.isActive())
        return;
    const qint64 since = sinceFilled_.isValid() ? sinceFilled_.elapsed() : refreshMs;
    if (since >= refreshMs)
        takeHeldText();
    else
        refresh_.start(static_cast<int>(refreshMs - since));
}

void HeadersMemo::clearText()
{
    showText(QString());
}

void HeadersMemo::takeHeldText()
{
    refresh_.stop();
    if (!held_)
        return;
    const QString text = std::move(*held_);
    held_.reset();
    // An empty box is not emptied again: that, too, is an edit that lays the box out.
    if (text.isEmpty() && document()->isEmpty())
        return;
    setPlainText(text);
    sinceFilled_.start();
}

void HeadersMemo::showEvent(QShowEvent *event)
{
    takeHeldText();
    QPlainTextEdit::showEvent(event);
}

} // namespace quorvel
