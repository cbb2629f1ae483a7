#include "app/captionframe.h"

#include <QPainter>

namespace quorvel
{

namespace
{

constexpr int CaptionLeft = 8;
constexpr int CaptionPadding = 2;

} // namespace

CaptionFrame::CaptionFrame(const QString &caption, QWidget *parent) : QGroupBox(caption, parent) {}

void CaptionFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const QRect frame = rect().adjusted(0, metrics.height() / 2, -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.adjusted(1, 1, 0, 0));

    if (title().isEmpty())
        return;
    const QRect caption(CaptionLeft, 0, metrics.horizontalAdvance(title()) + 2 * CaptionPadding,
                        metrics.height());
    painter.fillRect(caption, palette().color(backgroundRole()));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter | Qt::TextShowMnemonic, title());
}

} // namespace quorvel
