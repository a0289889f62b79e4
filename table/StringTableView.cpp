#include "StringTableView.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

// ---------------------------------------------------------------- painting

namespace {
void drawRaisedEdge(QPainter *p, const QRect &r, const QPalette &pal)
{
    // Left edge bottom to top, then the top edge.
    p->save();
    p->setPen(pal.color(QPalette::HighlightedText));
    p->drawLine(r.left(), r.bottom(), r.left(), r.top());
    p->drawLine(r.left(), r.top(), r.right(), r.top());
    p->restore();
}

// The focused cell's mark: a dotted frame in the cell's text colour, seen
// on a highlighted row as well as on a plain one, and however the focus
// came (the style's own focus frame shows after keyboard use only).
void drawFocusMark(QPainter *p, const QRect &r, const QColor &colour)
{
    p->save();
    p->setPen(QPen(colour, 1, Qt::DotLine));
    p->setBrush(Qt::NoBrush);
    p->drawRect(r.adjusted(1, 1, -2, -2));
    p->restore();
}

// Room the cell text leaves on each side (the text band of the painting).
constexpr int kTextMargin = 2;

int alignmentFlags(StringTable::Alignment a)
{
    switch (a) {
    case StringTable::RightAligned: return Qt::AlignRight;
    case StringTable::Centred: return Qt::AlignHCenter;
    case StringTable::LeftAligned: break;
    }
    return Qt::AlignLeft;
}
} // namespace

class StringTableDelegate : public QStyledItemDelegate
{
public:
    explicit StringTableDelegate(StringTableView *view)
        : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        StringTable *g = m_view->grid();
        if (!g)
            return;
        const int col = g->gridCol(index.column());
        const int row = g->gridRow(index.row());
        const auto opts = g->options();
        const QPalette &pal = option.palette;

        StringTableView::DrawState state;
        const bool selected = option.state & QStyle::State_Selected;
        const bool focused = option.state & QStyle::State_HasFocus;
        if (selected)
            state |= StringTableView::Selected;
        if (focused)
            state |= StringTableView::Focused;

        StringTableView::CellPaint cell{pal.brush(QPalette::Base), option.font,
                                        pal.color(QPalette::Text)};
        const bool highlight = selected
                               && !(focused && !opts.testFlag(StringTable::DrawFocusSelected)
                                    && !opts.testFlag(StringTable::RowSelect));
        if (highlight) {
            cell.brush = pal.brush(QPalette::Highlight);
            cell.textColor = pal.color(QPalette::HighlightedText);
        }
        if (m_view->cellPainter)
            m_view->cellPainter(m_view, row, col, state, cell);

        const QRect r = option.rect;
        if (g->defaultDrawing()) {
            painter->save();
            painter->fillRect(r, cell.brush);
            painter->setFont(cell.font);
            painter->setPen(cell.textColor);
            const int h = QFontMetrics(cell.font).boundingRect(QStringLiteral("W")).height();
            QRect band = r;
            band.setTop((r.top() + r.bottom() + 1 - h) / 2);
            band.setHeight(h);
            band.adjust(kTextMargin, 0, -kTextMargin, 0);
            painter->setClipRect(band);
            painter->drawText(band,
                              alignmentFlags(g->cellAlignment(col, row)) | Qt::AlignVCenter
                                  | Qt::TextShowMnemonic | Qt::TextExpandTabs | Qt::TextSingleLine,
                              g->cellView(col, row).toString());
            painter->restore();
            // Also in whole-row selection: Tab moves from cell to cell.
            if (focused)
                drawFocusMark(painter, r, cell.textColor);
        } else if (m_view->cellDrawer) {
            m_view->cellDrawer(m_view, row, col, r, state, painter);
        }
        if (g->grid3D() && opts.testFlag(StringTable::VerticalLines) && opts.testFlag(StringTable::HorizontalLines))
            drawRaisedEdge(painter, r, pal);
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor && m_view->editorCreated)
            m_view->editorCreated(editor);
        return editor;
    }

private:
    StringTableView *m_view;
};

class StringTableHeader : public QHeaderView
{
public:
    StringTableHeader(Qt::Orientation o, StringTableView *view)
        : QHeaderView(o, view), m_view(view) {}

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        StringTable *g = m_view->grid();
        if (g && g->grid3D() && g->options().testFlag(StringTable::VerticalLines)
            && g->options().testFlag(StringTable::HorizontalLines))
            drawRaisedEdge(painter, rect, palette());
    }

private:
    StringTableView *m_view;
};

// ---------------------------------------------------------------- view

StringTableView::StringTableView(QWidget *parent)
    : QTableView(parent)
{
    setHorizontalHeader(new StringTableHeader(Qt::Horizontal, this));
    setVerticalHeader(new StringTableHeader(Qt::Vertical, this));
    setItemDelegate(new StringTableDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setMinimumSectionSize(0);
    // A drag never makes a size that the table file could not bring back.
    horizontalHeader()->setMaximumSectionSize(StringTable::kMaxSize);
    verticalHeader()->setMaximumSectionSize(StringTable::kMaxSize);
    horizontalHeader()->viewport()->installEventFilter(this);
    viewport()->installEventFilter(this);

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (m_syncing || !m_grid)
            return;
        const int col = m_grid->gridCol(section);
        if (col < m_grid->tableColumnCount())
            m_grid->setColumnWidth(col, gridWidth(size));
        fitLastColumn();
    });
    connect(horizontalHeader(), &QHeaderView::sectionCountChanged, this, [this] { fitLastColumn(); });
    connect(verticalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (m_syncing || !m_grid)
            return;
        const int row = m_grid->gridRow(section);
        if (row < m_grid->tableRowCount())
            m_grid->setRowHeight(row, size);
    });
}

void StringTableView::setGrid(StringTable *grid)
{
    if (m_grid)
        disconnect(m_grid, nullptr, this, nullptr);
    m_grid = grid;
    setModel(grid);
    if (!grid)
        return;
    // A reset (loading, sorting) keeps the current position and the
    // scrolling, as a grid whose texts were rewritten in place does.
    connect(grid, &StringTable::modelAboutToBeReset, this, [this] {
        const QModelIndex i = currentIndex();
        m_keptRow = i.isValid() ? i.row() : -1;
        m_keptCol = i.isValid() ? i.column() : 0;
        m_keptScroll = verticalScrollBar()->value();
    });
    connect(grid, &StringTable::modelReset, this, [this] {
        syncFromGrid();
        if (m_keptRow >= 0 && m_grid->rowCount() > 0) {
            const QModelIndex target = m_grid->index(std::min(m_keptRow, m_grid->rowCount() - 1),
                                                     std::min(m_keptCol, std::max(0, m_grid->columnCount() - 1)));
            m_restoring = true;
            selectionModel()->setCurrentIndex(
                target, QItemSelectionModel::ClearAndSelect
                            | (selectionBehavior() == SelectRows ? QItemSelectionModel::Rows
                                                                 : QItemSelectionModel::NoUpdate));
            m_restoring = false;
            verticalScrollBar()->setValue(m_keptScroll);
        }
        m_keptRow = -1;
    });
    connect(grid, &StringTable::sizesChanged, this, &StringTableView::applySizes);
    connect(grid, &StringTable::colWidthChanged, this, &StringTableView::applyColWidth);
    connect(grid, &StringTable::rowHeightChanged, this, &StringTableView::applyRowHeight);
    connect(grid, &StringTable::appearanceChanged, this, [this] {
        applyOptions();
        viewport()->update();
        horizontalHeader()->viewport()->update();
    });
    connect(grid, &StringTable::columnsInserted, this, &StringTableView::applySizes);
    connect(grid, &StringTable::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        for (int v = first; v <= last; ++v)
            applyRowHeight(m_grid->gridRow(v));
    });
    syncFromGrid();
}

void StringTableView::syncFromGrid()
{
    applyOptions();
    updateWidthScale();
    applySizes();
}

void StringTableView::setWidthsInOldUnits(bool on, const QStringList &samples)
{
    m_oldUnits = on;
    m_widthSamples = samples;
    updateWidthScale();
    applySizes();
}

void StringTableView::setLastColumnFills(bool on)
{
    m_lastColumnFills = on;
    if (on) {
        fitLastColumn();
    } else if (m_grid) {
        const int last = horizontalHeader()->logicalIndex(horizontalHeader()->count() - 1);
        if (last >= 0)
            applyColWidth(m_grid->gridCol(last));
    }
}

int StringTableView::shownWidth(int gridWidth) const
{
    return qRound(gridWidth * m_widthScale);
}

int StringTableView::gridWidth(int shownWidth) const
{
    return std::clamp(int(qRound(shownWidth / m_widthScale)), 0, StringTable::kMaxSize);
}

void StringTableView::updateWidthScale()
{
    double scale = 1;
    const int defaultWidth = m_grid ? m_grid->defaultColumnWidth() : 0;
    if (m_oldUnits && defaultWidth > 0) {
        // What a text needs in a cell: the painted band's margins, the
        // grid line, and a pixel to spare.
        const int lines = showGrid() ? 1 : 0;
        const QFontMetrics cellFont(font());
        int cell = 0;
        for (const QString &sample : m_widthSamples)
            cell = std::max(cell, cellFont.horizontalAdvance(sample) + 2 * kTextMargin + lines + 1);
        // And a heading in the header, with the style's margins and two
        // pixels to spare.
        QHeaderView *hh = horizontalHeader();
        const QFontMetrics headingFont(hh->font());
        const int margin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, hh);
        int heading = 0;
        if (m_grid->headingRows() > 0)
            for (int v = 0; v < m_grid->columnCount(); ++v)
                heading = std::max(heading, headingFont.horizontalAdvance(
                                                m_grid->headerData(v, Qt::Horizontal, Qt::DisplayRole).toString())
                                                + 2 * margin + 3);
        scale = std::max({1.0, cell / (defaultWidth * 15.0 / 16.0), heading / double(defaultWidth)});
    }
    if (scale == m_widthScale)
        return;
    m_widthScale = scale;
    // A drag never makes a size that the table file could not bring back.
    horizontalHeader()->setMaximumSectionSize(int(StringTable::kMaxSize * scale));
}

void StringTableView::fitLastColumn()
{
    if (!m_grid || !m_lastColumnFills || m_syncing)
        return;
    QHeaderView *hh = horizontalHeader();
    const int count = hh->count();
    if (count == 0)
        return;
    int lastShown = count - 1;
    while (lastShown > 0 && hh->isSectionHidden(hh->logicalIndex(lastShown)))
        --lastShown;
    const int last = hh->logicalIndex(lastShown);
    int others = 0;
    for (int v = 0; v < count; ++v)
        if (v != last && !hh->isSectionHidden(v))
            others += hh->sectionSize(v);
    const int own = shownWidth(m_grid->columnWidth(m_grid->gridCol(last)));
    const int width = std::max(own, viewport()->width() - others);
    if (hh->sectionSize(last) == width)
        return;
    m_syncing = true;
    hh->resizeSection(last, width);
    m_syncing = false;
}

void StringTableView::resizeEvent(QResizeEvent *event)
{
    // The view's own resizes and its viewport's (a scroll bar that comes
    // or goes) both come here.
    QTableView::resizeEvent(event);
    fitLastColumn();
}

void StringTableView::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        const double before = m_widthScale;
        updateWidthScale();
        if (m_widthScale != before)
            applySizes();
    }
}

void StringTableView::keyPressEvent(QKeyEvent *event)
{
    // Tab and Shift+Tab may move from cell to cell; Ctrl+Tab and
    // Ctrl+Shift+Tab always leave the table for the next or previous control.
    if ((event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
        && (event->modifiers() & Qt::ControlModifier)) {
        const bool forward = event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier);
        event->accept();
        QAbstractScrollArea::focusNextPrevChild(forward);
        return;
    }
    QTableView::keyPressEvent(event);
}

void StringTableView::applyOptions()
{
    if (!m_grid)
        return;
    const auto o = m_grid->options();
    setShowGrid(o.testFlag(StringTable::VerticalLines) || o.testFlag(StringTable::HorizontalLines));
    setSelectionBehavior(o.testFlag(StringTable::RowSelect) ? SelectRows : SelectItems);
    setEditTriggers(o.testFlag(StringTable::Editing)
                        ? (DoubleClicked | EditKeyPressed | AnyKeyPressed)
                        : NoEditTriggers);
    setTabKeyNavigation(o.testFlag(StringTable::Tabs));
    horizontalHeader()->setSectionResizeMode(o.testFlag(StringTable::ColumnSizing) ? QHeaderView::Interactive
                                                                                  : QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(o.testFlag(StringTable::RowSizing) ? QHeaderView::Interactive
                                                                                : QHeaderView::Fixed);
    horizontalHeader()->setVisible(m_grid->headingRows() > 0);
    verticalHeader()->setVisible(m_grid->headingColumns() > 0);
}

void StringTableView::applySizes()
{
    if (!m_grid)
        return;
    m_syncing = true;
    // A header that paints nothing in between takes each size in constant
    // time; with updates on it works out the section's position on screen
    // every time, which makes many individual sizes take quadratic time.
    QHeaderView *hh = horizontalHeader();
    QHeaderView *vh = verticalHeader();
    const bool hhUpdates = hh->updatesEnabled();
    const bool vhUpdates = vh->updatesEnabled();
    hh->setUpdatesEnabled(false);
    vh->setUpdatesEnabled(false);
    horizontalHeader()->setDefaultSectionSize(shownWidth(m_grid->defaultColumnWidth()));
    for (int v = 0; v < m_grid->columnCount(); ++v) {
        horizontalHeader()->resizeSection(v, shownWidth(m_grid->columnWidth(m_grid->gridCol(v))));
        // The program's own columns are never shown.
        horizontalHeader()->setSectionHidden(v, m_grid->gridCol(v) >= m_grid->riderColumnCount());
    }
    verticalHeader()->setDefaultSectionSize(m_grid->defaultRowHeight());
    const int def = m_grid->defaultRowHeight();
    for (int v = 0; v < m_grid->rowCount(); ++v) {
        const int h = m_grid->rowHeight(m_grid->gridRow(v));
        if (h != def || verticalHeader()->sectionSize(v) != h)
            verticalHeader()->resizeSection(v, h);
    }
    if (m_grid->headingRows() > 0)
        horizontalHeader()->setFixedHeight(m_grid->rowHeight(m_grid->headingRows() - 1));
    if (m_grid->headingColumns() > 0)
        verticalHeader()->setFixedWidth(shownWidth(m_grid->columnWidth(m_grid->headingColumns() - 1)));
    hh->setUpdatesEnabled(hhUpdates);
    vh->setUpdatesEnabled(vhUpdates);
    m_syncing = false;
    fitLastColumn();
}

void StringTableView::applyColWidth(int col)
{
    if (!m_grid)
        return;
    m_syncing = true;
    const int width = m_grid->columnWidth(col);
    if (col >= m_grid->headingColumns()) {
        // A width the rider is dragging stays as dragged while it stands
        // for the same grid width.
        const int v = col - m_grid->headingColumns();
        if (gridWidth(horizontalHeader()->sectionSize(v)) != width)
            horizontalHeader()->resizeSection(v, shownWidth(width));
    } else if (col == m_grid->headingColumns() - 1) {
        verticalHeader()->setFixedWidth(shownWidth(width));
    }
    m_syncing = false;
    fitLastColumn();
}

void StringTableView::applyRowHeight(int row)
{
    if (!m_grid)
        return;
    m_syncing = true;
    if (const int v = m_grid->viewRow(row); v >= 0)
        verticalHeader()->resizeSection(v, m_grid->rowHeight(row));
    else if (row == m_grid->headingRows() - 1)
        horizontalHeader()->setFixedHeight(m_grid->rowHeight(row));
    m_syncing = false;
}

int StringTableView::currentRow() const
{
    if (!m_grid)
        return 0;
    const QModelIndex i = currentIndex();
    return i.isValid() ? m_grid->gridRow(i.row()) : m_grid->headingRows();
}

int StringTableView::currentColumn() const
{
    if (!m_grid)
        return 0;
    const QModelIndex i = currentIndex();
    return i.isValid() ? m_grid->gridCol(i.column()) : m_grid->headingColumns();
}

void StringTableView::setCurrentRow(int row)
{
    if (!m_grid)
        return;
    const int v = m_grid->viewRow(row);
    if (v < 0)
        return;
    const QModelIndex cur = currentIndex();
    const int c = cur.isValid() ? cur.column() : 0;
    const QModelIndex target = m_grid->index(v, std::max(0, c));
    const auto flags = QItemSelectionModel::ClearAndSelect
                       | (selectionBehavior() == SelectRows ? QItemSelectionModel::Rows
                                                            : QItemSelectionModel::NoUpdate);
    selectionModel()->setCurrentIndex(target, flags);
    scrollTo(target);
}

void StringTableView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_grid && !m_restoring && current.isValid() && current.row() != previous.row())
        emit selectCell(m_grid->gridCol(current.column()), m_grid->gridRow(current.row()));
}

bool StringTableView::cellAt(const QPoint &pos, int &column, int &row) const
{
    column = row = -1;
    if (!m_grid)
        return false;
    const QHeaderView *hh = horizontalHeader();
    if (hh->isVisible() && hh->geometry().contains(pos)) {
        const int v = hh->logicalIndexAt(pos.x() - hh->geometry().left());
        if (v < 0)
            return false;
        column = m_grid->gridCol(v);
        row = m_grid->headingRows() - 1;
        return true;
    }
    if (!viewport()->geometry().contains(pos))
        return false;
    const QModelIndex i = indexAt(viewport()->mapFrom(this, pos));
    if (!i.isValid())
        return false;
    column = m_grid->gridCol(i.column());
    row = m_grid->gridRow(i.row());
    return true;
}

bool StringTableView::onResizeHandle(const QPoint &headerPos) const
{
    const QHeaderView *hh = horizontalHeader();
    if (hh->sectionResizeMode(0) != QHeaderView::Interactive)
        return false;
    const int margin = style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, hh);
    const int x = headerPos.x();
    const int v = hh->logicalIndexAt(x);
    if (v < 0) {
        // Past the last section: its right edge may still be in reach.
        const int last = hh->logicalIndex(hh->count() - 1);
        return last >= 0 && x - (hh->sectionViewportPosition(last) + hh->sectionSize(last)) < margin;
    }
    const int left = hh->sectionViewportPosition(v);
    const int right = left + hh->sectionSize(v);
    return (x - left < margin && hh->visualIndex(v) > 0) || right - x <= margin;
}

bool StringTableView::eventFilter(QObject *watched, QEvent *event)
{
    const bool header = watched == horizontalHeader()->viewport();
    if (header || watched == viewport()) {
        const auto type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick
            || type == QEvent::MouseButtonRelease) {
            auto *me = static_cast<QMouseEvent *>(event);
            QWidget *w = static_cast<QWidget *>(watched);
            const QPoint pos = w->mapTo(this, me->position().toPoint());
            if (type == QEvent::MouseButtonRelease) {
                emit gridMouseRelease(me->button(), pos);
            } else {
                emit pressReceived();
                const bool resize = header && me->button() == Qt::LeftButton
                                    && onResizeHandle(me->position().toPoint());
                // The application has already tried to give this view the
                // focus. When the control left behind kept it (it refused
                // its value), the press goes no further.
                if (!resize && focusPolicy() != Qt::NoFocus && window()->focusWidget() != this)
                    return true;
                if (!resize)
                    emit gridMousePress(me->button(), pos);
            }
        }
    }
    return QTableView::eventFilter(watched, event);
}

void StringTableView::mousePressEvent(QMouseEvent *event)
{
    // A press that could not take the focus (the control left behind
    // refused to let it go) does not move the selection either.
    if (focusPolicy() != Qt::NoFocus && window()->focusWidget() != this) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}
