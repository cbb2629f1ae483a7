#include "app/movedialogs.h"

#include "app/folderdialog.h"

#include <QMessageBox>

namespace quorvel {

namespace {

std::string realChooser(QWidget *owner)
{
    // From the root of the file system.
    return askForFolder(owner, QStringLiteral("Select the directory"), "/");
}

void realPresenter(QWidget *owner, const MoveReport &report)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(report.caption),
                    QString::fromStdString(report.text), QMessageBox::Ok, owner);
    // A folder name such as "<b>old" is a name, not markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

FolderChooser &chooser()
{
    static FolderChooser current = realChooser;
    return current;
}

MoveReportPresenter &presenter()
{
    static MoveReportPresenter current = realPresenter;
    return current;
}

} // namespace

std::string chooseDestinationFolder(QWidget *owner)
{
    return chooser()(owner);
}

void showMoveReport(QWidget *owner, const MoveReport &report)
{
    presenter()(owner, report);
}

FolderChooser setFolderChooser(FolderChooser replacement)
{
    FolderChooser previous = chooser();
    chooser() = replacement ? std::move(replacement) : FolderChooser(realChooser);
    return previous;
}

MoveReportPresenter setMoveReportPresenter(MoveReportPresenter replacement)
{
    MoveReportPresenter previous = presenter();
    presenter() = replacement ? std::move(replacement) : MoveReportPresenter(realPresenter);
    return previous;
}

} // namespace quorvel
