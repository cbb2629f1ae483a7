#pragma once
// TSearchListBox: the list box used for every list of the main window. A single-column list
// with incremental search by typed prefix, wheel scrolling by the system's line count, a
// horizontal scroll range and an optional drawn frame.

#include <QListWidget>

class TSearchListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TSearchListBox(QWidget *parent = nullptr);
    ~TSearchListBox() override;
};
