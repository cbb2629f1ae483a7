// The main window as the verification run and the result classification see it, and the
// selection sync of the two favorites lists.

#include "app/tfmverify.h"

#include "widgets/searchlistbox.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>

namespace quorvel
{

namespace
{

int selectedRow(const TSearchListBox *list)
{
    const QList<QListWidgetItem *> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

std::string rowText(const TSearchListBox *list, int row)
{
    const QListWidgetItem *item = list->item(row);
    return item ? item->text().toStdString() : std::string();
}

} // namespace

void TTfmVerify::followSelection(TSearchListBox *from, TSearchListBox *to)
{
    const int row = selectedRow(from);
    if (row < 0 || row >= to->count())
        to->clearSelection();
    else
        to->setCurrentRow(row);
}

int TTfmVerify::linkCount() const
{
    return urlList_->count();
}

std::string TTfmVerify::linkURL(int row) const
{
    return rowText(urlList_, row);
}

std::string TTfmVerify::linkName(int row) const
{
    return rowText(urlNames_, row);
}

std::string TTfmVerify::linkFile(int row) const
{
    return rowText(files_, row);
}

int TTfmVerify::selectedLink() const
{
    return selectedRow(urlList_);
}

void TTfmVerify::selectLink(int row)
{
    // Selected by program: the lists' click handlers, which sync the other list, stay quiet.
    for (TSearchListBox *list : {urlNames_, urlList_}) {
        if (row < 0 || row >= list->count())
            continue;
        list->setCurrentRow(row);
        list->scrollToItem(list->item(row));
    }
}

void TTfmVerify::addDeadLink(const std::string &name, const std::string &file)
{
    list404_->addItem(QString::fromStdString(name));
    deadfiles_->addItem(QString::fromStdString(file));
}

int TTfmVerify::deadLinkCount() const
{
    return list404_->count();
}

void TTfmVerify::clearDeadLinks()
{
    deadfiles_->clear();
    list404_->clear();
}

void TTfmVerify::setCaption(const std::string &caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

std::string TTfmVerify::currentStatusText() const
{
    return statusText().toStdString();
}

void TTfmVerify::showStatusText(const std::string &text)
{
    setStatusText(QString::fromStdString(text));
}

void TTfmVerify::setDeadLinkCountText(const std::string &text)
{
    deadLinkCount_->setText(QString::fromStdString(text));
}

void TTfmVerify::setCount404sText(const std::string &text)
{
    count404s_->setText(QString::fromStdString(text));
}

void TTfmVerify::setOtherErrorsText(const std::string &text)
{
    otherErrors_->setText(QString::fromStdString(text));
}

void TTfmVerify::setHeaders(const StringList &lines)
{
    QStringList texts;
    for (const std::string &line : lines)
        texts << QString::fromStdString(line);
    headers_->setPlainText(texts.join(QLatin1Char('\n')));
}

void TTfmVerify::clearHeaders()
{
    headers_->clear();
}

void TTfmVerify::clearEvents()
{
    events_->clear();
}

void TTfmVerify::setVerifyAllEnabled(bool enabled)
{
    verifyAllButton_->setEnabled(enabled);
}

void TTfmVerify::setPauseEnabled(bool enabled)
{
    pauseButton_->setEnabled(enabled);
}

bool TTfmVerify::pauseDown() const
{
    return pauseButton_->isChecked();
}

void TTfmVerify::setPauseDown(bool down)
{
    pauseButton_->setChecked(down);
}

void TTfmVerify::setStopEnabled(bool enabled)
{
    stopButton_->setEnabled(enabled);
}

void TTfmVerify::setVerifySelectedEnabled(bool enabled)
{
    verifySelectedButton_->setEnabled(enabled);
}

void TTfmVerify::setRunCursor(RunCursor cursor)
{
    switch (cursor) {
    case RunCursor::Default:
        setScreenCursor(Qt::ArrowCursor);
        break;
    case RunCursor::Wait:
        setScreenCursor(Qt::WaitCursor);
        break;
    case RunCursor::AppStarting:
        setScreenCursor(Qt::BusyCursor);
        break;
    }
}

bool &TTfmVerify::stopRequested()
{
    return StopRequested;
}

int &TTfmVerify::notFoundCount()
{
    return NotFoundCount;
}

int &TTfmVerify::otherErrorCount()
{
    return OtherErrorCount;
}

std::string &TTfmVerify::currentName()
{
    return CurrentName;
}

std::string &TTfmVerify::currentFile()
{
    return CurrentFile;
}

} // namespace quorvel
