#include "app/emptylistnotice.h"

#include "widgets/searchlistbox.h"

#include <QEvent>
#include <QFile>
#include <QPainter>
#include <QTextOption>
#include <filesystem>
#include <system_error>

namespace quorvel
{

namespace
{

constexpr int Margin = 8;

} // namespace

EmptyListNotice::EmptyListNotice(TSearchListBox *list) : QWidget(list->viewport()), list_(list)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(list->viewport()->rect());
    list->viewport()->installEventFilter(this);
}

void EmptyListNotice::setText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    update();
}

bool EmptyListNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void EmptyListNotice::paintEvent(QPaintEvent *)
{
    // Rows added by any means hide the text; the viewport repaints this widget with them.
    if (text_.isEmpty() || list_->count() > 0)
        return;
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    // A long path has no blanks to break at; it is broken where it must be instead of cut off.
    QTextOption option(Qt::AlignCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    painter.drawText(QRectF(rect().adjusted(Margin, Margin, -Margin, -Margin)), text_, option);
}

QString emptyCatalogueNotice(const std::string &folder)
{
    const QString path = QFile::decodeName(QByteArray::fromStdString(folder));
    std::error_code error;
    QString reason;
    if (folder.empty())
        reason = QStringLiteral("No favorites folder.");
    else if (!std::filesystem::is_directory(folder, error))
        reason = QStringLiteral("No favorites folder at %1.").arg(path);
    else
        reason = QStringLiteral("No shortcuts in %1.").arg(path);
    return reason + QStringLiteral("\nFile > Open Favorites Folder... picks one.");
}

} // namespace quorvel
