#pragma once
// The rows a list box holds itself when no other model is shown: plain read-only texts.

#include <QAbstractListModel>
#include <QStringList>

class ListBoxItems : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit ListBoxItems(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const QString &text(int row) const { return texts_.at(row); }
    void append(const QStringList &texts);
    void clear();

private:
    QStringList texts_;
};
