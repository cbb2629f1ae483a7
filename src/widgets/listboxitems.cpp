#include "widgets/listboxitems.h"

ListBoxItems::ListBoxItems(QObject *parent) : QAbstractListModel(parent) {}

int ListBoxItems::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(texts_.size());
}

QVariant ListBoxItems::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= texts_.size())
        return {};
    if (role == Qt::DisplayRole)
        return texts_.at(index.row());
    return {};
}

Qt::ItemFlags ListBoxItems::flags(const QModelIndex &index) const
{
    // Rows are chosen, never edited in place.
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void ListBoxItems::append(const QStringList &texts)
{
    if (texts.isEmpty())
        return;
    const int first = int(texts_.size());
    beginInsertRows(QModelIndex(), first, first + int(texts.size()) - 1);
    texts_.append(texts);
    endInsertRows();
}

void ListBoxItems::clear()
{
    beginResetModel();
    texts_.clear();
    endResetModel();
}
