#pragma once
// Gives every row of a list the same fixed height, whatever the font or the style would choose.

#include <QStyledItemDelegate>

namespace quorvel
{

class RowHeightDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    RowHeightDelegate(int rowHeight, QObject *parent);

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    int rowHeight_;
};

} // namespace quorvel
