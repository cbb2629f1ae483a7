// The main window as the verification run and the result classification see it, and the
// selection sync of the two favorites lists.

#include "app/tfmverify.h"

#include "app/cataloguemodel.h"
#include "app/headersmemo.h"
#include "widgets/searchlistbox.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>

namespace quorvel
{

namespace
{

// The catalogue's own text of a row: a path stays byte for byte what the file system gave.
std::string cellText(const CatalogueModel *model, int row, CatalogueModel::Column column)
{
    if (row < 0 || row >= model->rowCount())
        return {};
    return model->cell(row, column);
}

} // namespace

void TTfmVerify::followSelection(TSearchListBox *from, TSearchListBox *to)
{
    const int row = from->selectedRow();
    if (row < 0 || row >= to->count())
        to->clearSelection();
    else
        to->setCurrentRow(row);
}

int TTfmVerify::linkCount() const
{
    return catalogueModel_->rowCount();
}

std::string TTfmVerify::linkURL(int row) const
{
    return cellText(catalogueModel_, row, CatalogueModel::UrlColumn);
}

std::string TTfmVerify::linkName(int row) const
{
    return cellText(catalogueModel_, row, CatalogueModel::NameColumn);
}

std::string TTfmVerify::linkFile(int row) const
{
    return cellText(catalogueModel_, row, CatalogueModel::FileColumn);
}

int TTfmVerify::selectedLink() const
{
    return urlList_->selectedRow();
}

void TTfmVerify::selectLink(int row)
{
    // Selected by program: the lists' click handlers, which sync the other list, stay quiet.
    for (TSearchListBox *list : {urlNames_, urlList_}) {
        if (row < 0 || row >= list->count())
            continue;
        list->setCurrentRow(row);
        list->scrollToRow(row);
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
    headers_->showText(texts.join(QLatin1Char('\n')));
}

void TTfmVerify::clearHeaders()
{
    headers_->clearText();
}

QPlainTextEdit *TTfmVerify::Headers() const
{
    headers_->takeHeldText();
    return headers_;
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
