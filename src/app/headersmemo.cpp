#include "app/headersmemo.h"

namespace quorvel
{

HeadersMemo::HeadersMemo(QWidget *parent) : QPlainTextEdit(parent) {}

void HeadersMemo::showText(const QString &text)
{
    if (!isVisible()) {
        held_ = text;
        return;
    }
    held_.reset();
    setPlainText(text);
}

void HeadersMemo::clearText()
{
    showText(QString());
}

void HeadersMemo::takeHeldText()
{
    if (!held_)
        return;
    const QString text = std::move(*held_);
    held_.reset();
    // An empty box is not emptied again: that, too, is an edit that lays the box out.
    if (text.isEmpty() && document()->isEmpty())
        return;
    setPlainText(text);
}

void HeadersMemo::showEvent(QShowEvent *event)
{
    takeHeldText();
    QPlainTextEdit::showEvent(event);
}

} // namespace quorvel
