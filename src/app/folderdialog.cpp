#include "app/folderdialog.h"

#include <QFile>
#include <QFileDialog>

namespace quorvel
{

std::string askForFolder(QWidget *owner, const QString &caption, const std::string &start)
{
    const QString folder = QFileDialog::getExistingDirectory(
        owner, caption, QFile::decodeName(QByteArray::fromStdString(start)),
        QFileDialog::ShowDirsOnly);
    return QFile::encodeName(folder).toStdString();
}

} // namespace quorvel
