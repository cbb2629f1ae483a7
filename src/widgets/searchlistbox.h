#pragma once
// TSearchListBox: the list box used for every list of the main window. A single-column list
// with incremental search by typed prefix, wheel scrolling by the system's line count, a
// horizontal scroll range and an optional drawn frame.
//
// The rows are its own texts (addItem, clear) or one column of a model shown with setModel, so
// that several lists can show one large table without a copy of it each. Rows all have the
// height of the first, so a list of any length lays out without measuring each row.

#include "widgets/framestyle.h"

#include <QColor>
#include <QItemSelectionModel>
#include <QListView>
#include <QString>
#include <QStringList>

class QTimer;
class ListBoxItems;

class TSearchListBox : public QListView
{
    Q_OBJECT
public:
    explicit TSearchListBox(QWidget *parent = nullptr);
    ~TSearchListBox() override;

    bool BeepOnInvalidKey() const { return m_beepOnInvalidKey; }
    void setBeepOnInvalidKey(bool on) { m_beepOnInvalidKey = on; }

    quint16 HorzExtent() const { return m_horzExtent; }
    void setHorzExtent(quint16 pixels);
    bool HorzScrollBar() const { return m_horzScrollBar; }
    void setHorzScrollBar(bool show);

    bool FrameVisible() const { return m_frameVisible; }
    void setFrameVisible(bool visible);
    QColor FrameColor() const { return m_frameColor; }
    void setFrameColor(const QColor &color);
    TFrameStyle FrameStyle() const { return m_frameStyle; }
    void setFrameStyle(TFrameStyle style);
    bool FrameFlat() const { return m_frameFlat; }
    void setFrameFlat(bool flat);
    TFrameStyle FrameFlatStyle() const { return m_frameFlatStyle; }
    void setFrameFlatStyle(TFrameStyle style);
    TFrameStyle FrameFocusStyle() const { return m_frameFocusStyle; }
    void setFrameFocusStyle(TFrameStyle style);
    TFrameSides FrameSides() const { return m_frameSides; }
    void setFrameSides(TFrameSides sides);
    bool UseFrameController() const { return m_useFrameController; }
    void setUseFrameController(bool use) { m_useFrameController = use; }

    // The rows. addItem, addItems and clear work on the list's own texts and show them again
    // when another model was shown; setModel shows modelColumn() of any model instead.
    int count() const;
    QString rowText(int row) const;
    void addItem(const QString &text);
    void addItems(const QStringList &texts);
    void clear();
    void setModel(QAbstractItemModel *model) override;

    // The current row (-1 when none); setting it selects it as the platform's list box does.
    int currentRow() const;
    void setCurrentRow(int row);
    void setCurrentRow(int row, QItemSelectionModel::SelectionFlags command);
    // The first selected row, -1 when none.
    int selectedRow() const;
    bool isRowSelected(int row) const;
    QRect visualRowRect(int row) const;
    void scrollToRow(int row);

    // The typed prefix the incremental search holds (empty when none).
    QString searchPrefix() const { return m_prefix; }

    // Replaced by our own prefix search in keyPressEvent; Qt's one-letter search must not run.
    void keyboardSearch(const QString &search) override;

signals:
    // The user changed the selection by a left click or a navigation key. Never fired for a
    // selection made by the program, nor for one made by the incremental search.
    void OnClick();
    // A typed key selected a matching row.
    void OnMatch();
    // A key of the incremental search (a typed character, Backspace or Escape) changed the
    // selection. Not a click, but an owner that keeps lists in step needs to know.
    void keySelectionChanged();
    // A typed character that the search passed on (the key-press event of the control).
    void OnKeyPress(QChar key);
    void OnMouseEnter();
    void OnMouseLeave();
    void OnDeleteItems();

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void wheelEvent(QWheelEvent *e) override;
    void enterEvent(QEnterEvent *e) override;
    void leaveEvent(QEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void changeEvent(QEvent *e) override;
    void updateGeometries() override;
    // Left and Right move like Up and Down, as in a one-column list box of the platform.
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    struct SelectionState {
        int current = -1;
        QList<int> selected;
        bool operator==(const SelectionState &) const = default;
    };

    // Runs a piece of the standard handling on the user's behalf and fires OnClick when it
    // changed the selection or the current row.
    template <typename Handling> void asUser(Handling handling);
    // Runs a key of the incremental search and fires keySelectionChanged when it changed the
    // selection.
    template <typename Handling> void byKey(Handling handling);
    SelectionState selectionState() const;

    void typeText(const QString &text);
    void typeBackspace();
    bool searchFor(const QString &text, QChar key);
    int firstRowStartingWith(const QString &text) const;
    QModelIndex rowIndex(int row) const;
    void watchModel(QAbstractItemModel *model);
    void invalidKey();
    void dropPrefix();
    void searchTimerFired();

    void applyHorzExtent();
    void applyFrameMargins();
    void updateFlatStyle();
    void paintOwnFrame();

    bool m_beepOnInvalidKey = true;
    quint16 m_horzExtent = 0;
    bool m_horzScrollBar = false;
    bool m_frameVisible = false;
    QColor m_frameColor;
    TFrameStyle m_frameStyle = fsFlat;
    bool m_frameFlat = false;
    TFrameStyle m_frameFlatStyle = fsStatus;
    TFrameStyle m_frameFocusStyle = fsLowered;
    TFrameSides m_frameSides = allFrameSides;
    bool m_useFrameController = true;

    ListBoxItems *m_items = nullptr;
    QString m_prefix;
    QTimer *m_searchTimer = nullptr;
    bool m_inSearch = false;
    bool m_mouseInside = false;
    int m_userDepth = 0;
    SelectionState m_before;
    int m_wheelRemainder = 0;
};
