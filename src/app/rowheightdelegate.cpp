#include "app/rowheightdelegate.h"

namespace quorvel
{

RowHeightDelegate::RowHeightDelegate(int rowHeight, QObject *parent)
    : QStyledItemDelegate(parent), rowHeight_(rowHeight)
{
}

QSize RowHeightDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.setHeight(rowHeight_);
    return size;
}

} // namespace quorvel
