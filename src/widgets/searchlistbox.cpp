#include "widgets/searchlistbox.h"

#include "widgets/beep.h"
#include "widgets/framepainter.h"
#include "widgets/listboxitems.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>

namespace
{

constexpr int searchTimeoutMs = 1500;
constexpr int wheelNotch = 120;

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

// A typed text that searches: one printable character (a surrogate pair counts as one).
bool isSearchText(const QString &text)
{
    if (text.isEmpty())
        return false;
    const char32_t first = text.toUcs4().value(0);
    return first >= 32 && first != 127 && !(first >= 0x80 && first < 0xA0);
}

} // namespace

TSearchListBox::TSearchListBox(QWidget *parent) : QListView(parent)
{
    m_items = new ListBoxItems(this);
    QListView::setModel(m_items);
    watchModel(m_items);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row is as high as the first: the platform's list box has one item height, and a
    // list of 100,000 rows then lays out without measuring each row.
    setUniformItemSizes(true);
    // Rows scroll whole, so the vertical scroll position counts rows as the wheel expects.
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frameColor = palette().color(QPalette::Dark);

    m_searchTimer = new QTimer(this);
    m_searchTimer->setObjectName(QStringLiteral("SearchTimer"));
    m_searchTimer->setInterval(searchTimeoutMs);
    connect(m_searchTimer, &QTimer::timeout, this, &TSearchListBox::searchTimerFired);
}

TSearchListBox::~TSearchListBox()
{
    // The model outlives this part of the object (a shared one outlives it entirely) and may
    // empty itself as it goes; its signals must not reach a list box that is half destroyed.
    if (QAbstractItemModel *items = model())
        disconnect(items, nullptr, this, nullptr);
}

void TSearchListBox::keyboardSearch(const QString &) {}

// --- rows ---------------------------------------------------------------------------------

void TSearchListBox::watchModel(QAbstractItemModel *items)
{
    connect(items, &QAbstractItemModel::modelReset, this, &TSearchListBox::OnDeleteItems);
    connect(items, &QAbstractItemModel::rowsRemoved, this, &TSearchListBox::OnDeleteItems);
}

void TSearchListBox::setModel(QAbstractItemModel *items)
{
    if (!items)
        items = m_items;
    if (items == model())
        return;
    disconnect(model(), &QAbstractItemModel::modelReset, this, &TSearchListBox::OnDeleteItems);
    disconnect(model(), &QAbstractItemModel::rowsRemoved, this, &TSearchListBox::OnDeleteItems);
    // The view makes a selection model per model and leaves the old one to its owner.
    QItemSelectionModel *oldSelection = selectionModel();
    QListView::setModel(items);
    if (oldSelection != selectionModel())
        delete oldSelection;
    watchModel(items);
    m_prefix.clear();
}

int TSearchListBox::count() const
{
    return model()->rowCount(rootIndex());
}

QModelIndex TSearchListBox::rowIndex(int row) const
{
    return model()->index(row, modelColumn(), rootIndex());
}

QString TSearchListBox::rowText(int row) const
{
    if (row < 0 || row >= count())
        return {};
    if (model() == m_items)
        return m_items->text(row);
    return model()->data(rowIndex(row), Qt::DisplayRole).toString();
}

void TSearchListBox::addItem(const QString &text)
{
    addItems(QStringList{text});
}

void TSearchListBox::addItems(const QStringList &texts)
{
    setModel(m_items);
    m_items->append(texts);
}

void TSearchListBox::clear()
{
    setModel(m_items);
    m_items->clear();
}

int TSearchListBox::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void TSearchListBox::setCurrentRow(int row)
{
    switch (selectionMode()) {
    case QAbstractItemView::SingleSelection:
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        break;
    case QAbstractItemView::NoSelection:
        setCurrentRow(row, QItemSelectionModel::NoUpdate);
        break;
    default:
        setCurrentRow(row, QItemSelectionModel::SelectCurrent);
        break;
    }
}

void TSearchListBox::setCurrentRow(int row, QItemSelectionModel::SelectionFlags command)
{
    selectionModel()->setCurrentIndex(rowIndex(row), command);
}

int TSearchListBox::selectedRow() const
{
    int first = -1;
    for (const QModelIndex &index : selectionModel()->selectedIndexes()) {
        if (first < 0 || index.row() < first)
            first = index.row();
    }
    return first;
}

bool TSearchListBox::isRowSelected(int row) const
{
    return selectionModel()->isSelected(rowIndex(row));
}

QRect TSearchListBox::visualRowRect(int row) const
{
    return visualRect(rowIndex(row));
}

void TSearchListBox::scrollToRow(int row)
{
    scrollTo(rowIndex(row));
}

QModelIndex TSearchListBox::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    if (action == MoveLeft)
        action = MoveUp;
    else if (action == MoveRight)
        action = MoveDown;
    return QListView::moveCursor(action, modifiers);
}

// --- user changes and OnClick -------------------------------------------------------------

TSearchListBox::SelectionState TSearchListBox::selectionState() const
{
    SelectionState state;
    state.current = currentRow();
    if (selectionModel()) {
        for (const QModelIndex &index : selectionModel()->selectedIndexes())
            state.selected.append(index.row());
    }
    std::sort(state.selected.begin(), state.selected.end());
    return state;
}

template <typename Handling> void TSearchListBox::asUser(Handling handling)
{
    // Nested calls (a double click that replays a press) report once, from the outermost.
    if (m_userDepth++ == 0)
        m_before = selectionState();
    handling();
    if (--m_userDepth == 0 && selectionState() != m_before)
        emit OnClick();
}

template <typename Handling> void TSearchListBox::byKey(Handling handling)
{
    const SelectionState before = selectionState();
    handling();
    if (selectionState() != before)
        emit keySelectionChanged();
}

// Only the left button selects rows, as in the platform's list box. The right button opens the
// pop-up menu, whose commands act on the row selected before; Qt delivers that request on its
// own, so the press and release are simply kept from the standard handling.
void TSearchListBox::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    dropPrefix();
    asUser([&] { QListView::mousePressEvent(e); });
}

void TSearchListBox::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    asUser([&] { QListView::mouseReleaseEvent(e); });
}

void TSearchListBox::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        e->accept();
        return;
    }
    // Not inside asUser: the double-click signal's handler may pump events for seconds (a
    // check), and clicks made meanwhile must be reported at once. A double click away from the
    // pressed row is replayed as a press through mousePressEvent, which reports it.
    QListView::mouseDoubleClickEvent(e);
}

void TSearchListBox::mouseMoveEvent(QMouseEvent *e)
{
    // Dragging with the left button held moves the selection like a click does.
    if (e->buttons() & Qt::LeftButton)
        asUser([&] { QListView::mouseMoveEvent(e); });
    else
        QListView::mouseMoveEvent(e);
}

// --- keyboard and incremental search ------------------------------------------------------

void TSearchListBox::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    if (isNavigationKey(key)) {
        dropPrefix();
        asUser([&] { QListView::keyPressEvent(e); });
        return;
    }
    if (key == Qt::Key_Escape) {
        dropPrefix();
        byKey([&] { selectionModel()->clear(); });
        e->accept();
        return;
    }
    if (key == Qt::Key_Backspace) {
        byKey([&] { typeBackspace(); });
        e->accept();
        return;
    }
    // With Control, Alt or Meta held a key is a command, not a character to search for; like
    // keys without a character (function keys) it keeps the standard handling, which can
    // still change the selection (Ctrl+Space deselects).
    const auto commandModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    const QString text = e->text();
    if ((e->modifiers() & commandModifiers) || text.isEmpty()) {
        asUser([&] { QListView::keyPressEvent(e); });
        return;
    }
    if (isSearchText(text))
        byKey([&] { typeText(text); });
    // Enter, Tab and the other control characters do nothing in the list.
    e->accept();
}

void TSearchListBox::typeText(const QString &text)
{
    m_inSearch = true;
    searchFor(m_prefix + text, text.at(0));
    // The pause that drops the prefix counts from the last typed key.
    m_searchTimer->stop();
    m_searchTimer->start();
    m_inSearch = false;
}

void TSearchListBox::typeBackspace()
{
    const QChar backspace(8);
    if (m_prefix.isEmpty()) {
        invalidKey();
        searchFor(QString(), backspace);
        return;
    }
    m_prefix.chop(m_prefix.size() >= 2 && m_prefix.back().isLowSurrogate() ? 2 : 1);
    if (!m_prefix.isEmpty()) {
        searchFor(m_prefix, backspace);
        return;
    }
    if (count() > 0)
        setCurrentRow(0);
    m_prefix.clear();
    emit OnKeyPress(backspace);
}

bool TSearchListBox::searchFor(const QString &text, QChar key)
{
    // From the top of the list, letter case ignored; the empty text matches the first row.
    const int foundRow = firstRowStartingWith(text);
    if (foundRow < 0) {
        invalidKey();
        return false;
    }
    const QModelIndex index = rowIndex(foundRow);
    if (selectionMode() == QAbstractItemView::SingleSelection ||
        selectionMode() == QAbstractItemView::NoSelection) {
        setCurrentRow(foundRow);
    } else {
        const QModelIndex previous = currentIndex();
        if (previous.isValid())
            selectionModel()->select(previous, QItemSelectionModel::Deselect);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::Select);
    }
    scrollTo(index);
    m_prefix = text;
    emit OnKeyPress(key);
    emit OnMatch();
    return true;
}

int TSearchListBox::firstRowStartingWith(const QString &text) const
{
    if (count() == 0)
        return -1;
    // Through the model's own search, which a model of many rows can answer without making a
    // text of each row.
    const QModelIndexList found =
        model()->match(rowIndex(0), Qt::DisplayRole, text, 1, Qt::MatchStartsWith);
    return found.isEmpty() ? -1 : found.first().row();
}

void TSearchListBox::invalidKey()
{
    if (m_beepOnInvalidKey)
        quorvel::beep();
}

void TSearchListBox::dropPrefix()
{
    m_prefix.clear();
}

void TSearchListBox::searchTimerFired()
{
    if (m_inSearch)
        return;
    m_searchTimer->stop();
    m_prefix.clear();
}

// --- wheel --------------------------------------------------------------------------------

void TSearchListBox::wheelEvent(QWheelEvent *e)
{
    // Fine-grained wheels send parts of a notch; scroll once a whole notch has gathered.
    m_wheelRemainder += e->angleDelta().y();
    const int notches = m_wheelRemainder / wheelNotch;
    m_wheelRemainder -= notches * wheelNotch;
    QScrollBar *bar = verticalScrollBar();
    const int lines = QApplication::wheelScrollLines();
    for (int i = 0; i < notches; ++i) // wheel turned away from the user: up
        bar->setValue(std::max(0, bar->value() - lines));
    for (int i = 0; i > notches; --i)
        bar->setValue(bar->value() + lines);
    e->accept();
}

// --- horizontal range ---------------------------------------------------------------------

void TSearchListBox::setHorzExtent(quint16 pixels)
{
    m_horzExtent = pixels;
    applyHorzExtent();
}

void TSearchListBox::setHorzScrollBar(bool show)
{
    m_horzScrollBar = show;
    // Always on rather than as needed: the bar's presence must not hang on the range, which
    // Qt resets on every relayout before we put the extent back.
    setHorizontalScrollBarPolicy(show ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    applyHorzExtent();
}

void TSearchListBox::updateGeometries()
{
    // Qt sizes the range by the rows' texts and clamps the position to it; keep the user's
    // sideways position when rows come and go.
    const int position = horizontalScrollBar()->value();
    QListView::updateGeometries();
    applyHorzExtent();
    horizontalScrollBar()->setValue(position);
}

void TSearchListBox::applyHorzExtent()
{
    // The list scrolls sideways by exactly the extent beyond its visible width, whatever the
    // rows hold; without an extent it does not scroll sideways at all.
    QScrollBar *bar = horizontalScrollBar();
    const int width = viewport()->width();
    bar->setRange(0, std::max(0, int(m_horzExtent) - width));
    bar->setPageStep(std::max(1, width));
    bar->setSingleStep(std::max(1, fontMetrics().averageCharWidth()));
}

// --- frame --------------------------------------------------------------------------------

void TSearchListBox::setFrameVisible(bool visible)
{
    m_frameVisible = visible;
    applyFrameMargins();
}

void TSearchListBox::setFrameColor(const QColor &color)
{
    m_frameColor = color;
    update();
}

void TSearchListBox::setFrameStyle(TFrameStyle style)
{
    m_frameStyle = style;
    update();
}

void TSearchListBox::setFrameFlat(bool flat)
{
    m_frameFlat = flat;
    if (flat) {
        m_frameSides = allFrameSides;
        m_frameStyle = m_frameFlatStyle;
        setFrameVisible(true);
        updateFlatStyle();
    }
    update();
}

void TSearchListBox::setFrameFlatStyle(TFrameStyle style)
{
    m_frameFlatStyle = style;
    updateFlatStyle();
}

void TSearchListBox::setFrameFocusStyle(TFrameStyle style)
{
    m_frameFocusStyle = style;
    updateFlatStyle();
}

void TSearchListBox::setFrameSides(TFrameSides sides)
{
    m_frameSides = sides;
    applyFrameMargins();
}

void TSearchListBox::applyFrameMargins()
{
    // Qt's plain box of the same width reserves the room and lays out the rows and scroll bars
    // inside it; our painting then covers it.
    if (m_frameVisible) {
        QFrame::setFrameStyle(QFrame::Box | QFrame::Plain);
        setLineWidth(quorvel::frameWidth);
    } else {
        QFrame::setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        setLineWidth(1);
    }
    update();
}

void TSearchListBox::updateFlatStyle()
{
    if (!m_frameFlat)
        return;
    const bool active = hasFocus() || m_mouseInside;
    const TFrameStyle wanted = active ? m_frameFocusStyle : m_frameFlatStyle;
    if (wanted != m_frameStyle) {
        m_frameStyle = wanted;
        update();
    }
}

void TSearchListBox::paintOwnFrame()
{
    QPainter painter(this);
    quorvel::paintFrame(painter, rect(), m_frameStyle, m_frameSides,
                        quorvel::frameShades(palette(), m_frameColor));
}

bool TSearchListBox::event(QEvent *e)
{
    const bool handled = QListView::event(e);
    if (e->type() == QEvent::Paint && m_frameVisible)
        paintOwnFrame();
    return handled;
}

void TSearchListBox::changeEvent(QEvent *e)
{
    QListView::changeEvent(e);
    if (e->type() == QEvent::PaletteChange && m_frameVisible)
        update();
}

// --- focus and mouse ----------------------------------------------------------------------

void TSearchListBox::enterEvent(QEnterEvent *e)
{
    QListView::enterEvent(e);
    m_mouseInside = true;
    updateFlatStyle();
    emit OnMouseEnter();
}

void TSearchListBox::leaveEvent(QEvent *e)
{
    QListView::leaveEvent(e);
    m_mouseInside = false;
    updateFlatStyle();
    emit OnMouseLeave();
}

void TSearchListBox::focusInEvent(QFocusEvent *e)
{
    QListView::focusInEvent(e);
    updateFlatStyle();
}

void TSearchListBox::focusOutEvent(QFocusEvent *e)
{
    QListView::focusOutEvent(e);
    updateFlatStyle();
}
