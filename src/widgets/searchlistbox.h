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

signals:
    // The user changed the selection by a left click or a navigation key. Never fired for a
    // selection made by the program, nor for one made by the incremental search.
    void OnClick();
    // A typed key selected a matching row.
    void OnMatch();
    // A typed character that the search passed on (the key-press event of the control).
    void OnKeyPress(QChar key);
    void OnMouseEnter();
    void OnMouseLeave();
    void OnDeleteItems();
};
