#pragma once
// A grey text drawn inside an empty list, over its viewport: it says why the list is empty and
// what to do. It is not a row, so the list stays empty, and it takes no mouse or keyboard input.

#include <QString>
#include <QWidget>
#include <string>

class TSearchListBox;

namespace quorvel
{

class EmptyListNotice : public QWidget
{
    Q_OBJECT
public:
    explicit EmptyListNotice(TSearchListBox *list);

    QString text() const { return text_; }
    // An empty text draws nothing; the text is drawn only while the list has no rows.
    void setText(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    TSearchListBox *list_;
    QString text_;
};

// What the empty favorites list says: why nothing was found in folder, then how to pick one.
QString emptyCatalogueNotice(const std::string &folder);

} // namespace quorvel
