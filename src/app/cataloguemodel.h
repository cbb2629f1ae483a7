#pragma once
// The favorites catalogue as one table for the window's lists: URL_Names, URL_List and Files
// each show one column of it, so the catalogue is held once, in the catalogue itself, and a row's
// texts become QStrings only while a list draws or searches that row.

#include "catalogue/catalogue.h"

#include <QAbstractTableModel>

namespace quorvel
{

class CatalogueModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NameColumn = 0, UrlColumn = 1, FileColumn = 2, ColumnCount = 3 };

    explicit CatalogueModel(const Catalogue &catalogue, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // A search for the first row that begins with a text, letter case ignored (the lists'
    // incremental search), compares the catalogue's UTF-8 in place; other searches as usual.
    QModelIndexList match(const QModelIndex &start, int role, const QVariant &value, int hits,
                          Qt::MatchFlags flags) const override;

    // The catalogue's own bytes of a cell (a path stays exactly as the file system gave it).
    const std::string &cell(int row, Column column) const;

    // Brackets a change of the whole catalogue (a reload): the lists drop their rows, their
    // selection and their search before it and show the new rows after it.
    void beginReload();
    void endReload();

private:
    const Catalogue &catalogue_;
};

} // namespace quorvel
