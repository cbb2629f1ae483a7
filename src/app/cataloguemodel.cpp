#include "app/cataloguemodel.h"

namespace quorvel
{

CatalogueModel::CatalogueModel(const Catalogue &catalogue, QObject *parent)
    : QAbstractTableModel(parent), catalogue_(catalogue)
{
}

int CatalogueModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(catalogue_.size());
}

int CatalogueModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const std::string &CatalogueModel::cell(int row, Column column) const
{
    switch (column) {
    case NameColumn:
        return catalogue_.URL_Names.at(std::size_t(row));
    case UrlColumn:
        return catalogue_.URL_List.at(std::size_t(row));
    default:
        return catalogue_.Files.at(std::size_t(row));
    }
}

QVariant CatalogueModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= ColumnCount)
        return {};
    return QString::fromStdString(cell(index.row(), Column(index.column())));
}

Qt::ItemFlags CatalogueModel::flags(const QModelIndex &index) const
{
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void CatalogueModel::beginReload()
{
    beginResetModel();
}

void CatalogueModel::endReload()
{
    endResetModel();
}

} // namespace quorvel
