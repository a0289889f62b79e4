#include "TPubStrGridView.h"

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

int alignmentFlags(TPubStrGrid::TAlignment a)
{
    switch (a) {
    case TPubStrGrid::taRightJustify: return Qt::AlignRight;
    case TPubStrGrid::taCenter: return Qt::AlignHCenter;
    case TPubStrGrid::taLeftJustify: break;
    }
    return Qt::AlignLeft;
}
} // namespace

class PubStrGridDelegate : public QStyledItemDelegate
{
public:
    explicit PubStrGridDelegate(TPubStrGridView *view)
        : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        TPubStrGrid *g = m_view->grid();
        if (!g)
            return;
        const int col = g->gridCol(index.column());
        const int row = g->gridRow(index.row());
        const auto opts = g->Options();
        const QPalette &pal = option.palette;

        TPubStrGridView::DrawState state;
        const bool selected = option.state & QStyle::State_Selected;
        const bool focused = option.state & QStyle::State_HasFocus;
        if (selected)
            state |= TPubStrGridView::gdSelected;
        if (focused)
            state |= TPubStrGridView::gdFocused;

        TPubStrGridView::CellPaint cell{pal.brush(QPalette::Base), option.font,
                                        pal.color(QPalette::Text)};
        const bool highlight = selected
                               && !(focused && !opts.testFlag(TPubStrGrid::goDrawFocusSelected)
                                    && !opts.testFlag(TPubStrGrid::goRowSelect));
        if (highlight) {
            cell.brush = pal.brush(QPalette::Highlight);
            cell.textColor = pal.color(QPalette::HighlightedText);
        }
        if (m_view->OnGetCellColor)
            m_view->OnGetCellColor(m_view, row, col, state, cell);

        const QRect r = option.rect;
        if (g->DefaultDrawing()) {
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
        } else if (m_view->OnDrawCell) {
            m_view->OnDrawCell(m_view, row, col, r, state, painter);
        }
        if (g->Grid3D() && opts.testFlag(TPubStrGrid::goVertLine) && opts.testFlag(TPubStrGrid::goHorzLine))
            drawRaisedEdge(painter, r, pal);
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor && m_view->OnEditorCreated)
            m_view->OnEditorCreated(editor);
        return editor;
    }

private:
    TPubStrGridView *m_view;
};

class PubStrGridHeader : public QHeaderView
{
public:
    PubStrGridHeader(Qt::Orientation o, TPubStrGridView *view)
        : QHeaderView(o, view), m_view(view) {}

protected:
    void paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const override
    {
        painter->save();
        QHeaderView::paintSection(painter, rect, logicalIndex);
        painter->restore();
        TPubStrGrid *g = m_view->grid();
        if (g && g->Grid3D() && g->Options().testFlag(TPubStrGrid::goVertLine)
            && g->Options().testFlag(TPubStrGrid::goHorzLine))
            drawRaisedEdge(painter, rect, palette());
    }

private:
    TPubStrGridView *m_view;
};

// ---------------------------------------------------------------- view

TPubStrGridView::TPubStrGridView(QWidget *parent)
    : QTableView(parent)
{
    setHorizontalHeader(new PubStrGridHeader(Qt::Horizontal, this));
    setVerticalHeader(new PubStrGridHeader(Qt::Vertical, this));
    setItemDelegate(new PubStrGridDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setWordWrap(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionsClickable(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setMinimumSectionSize(0);
    // A drag never makes a size that the table file could not bring back.
    horizontalHeader()->setMaximumSectionSize(TPubStrGrid::kMaxSize);
    verticalHeader()->setMaximumSectionSize(TPubStrGrid::kMaxSize);
    horizontalHeader()->viewport()->installEventFilter(this);
    viewport()->installEventFilter(this);

    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (m_syncing || !m_grid)
            return;
        const int col = m_grid->gridCol(section);
        if (col < m_grid->ColCount())
            m_grid->setColWidths(col, gridWidth(size));
        fitLastColumn();
    });
    connect(horizontalHeader(), &QHeaderView::sectionCountChanged, this, [this] { fitLastColumn(); });
    connect(verticalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (m_syncing || !m_grid)
            return;
        const int row = m_grid->gridRow(section);
        if (row < m_grid->RowCount())
            m_grid->setRowHeights(row, size);
    });
}

void TPubStrGridView::setGrid(TPubStrGrid *grid)
{
    if (m_grid)
        disconnect(m_grid, nullptr, this, nullptr);
    m_grid = grid;
    setModel(grid);
    if (!grid)
        return;
    // A reset (loading, sorting) keeps the current position and the
    // scrolling, as a grid whose texts were rewritten in place does.
    connect(grid, &TPubStrGrid::modelAboutToBeReset, this, [this] {
        const QModelIndex i = currentIndex();
        m_keptRow = i.isValid() ? i.row() : -1;
        m_keptCol = i.isValid() ? i.column() : 0;
        m_keptScroll = verticalScrollBar()->value();
    });
    connect(grid, &TPubStrGrid::modelReset, this, [this] {
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
    connect(grid, &TPubStrGrid::sizesChanged, this, &TPubStrGridView::applySizes);
    connect(grid, &TPubStrGrid::colWidthChanged, this, &TPubStrGridView::applyColWidth);
    connect(grid, &TPubStrGrid::rowHeightChanged, this, &TPubStrGridView::applyRowHeight);
    connect(grid, &TPubStrGrid::appearanceChanged, this, [this] {
        applyOptions();
        viewport()->update();
        horizontalHeader()->viewport()->update();
    });
    connect(grid, &TPubStrGrid::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        for (int v = first; v <= last; ++v)
            applyRowHeight(m_grid->gridRow(v));
    });
    syncFromGrid();
}

void TPubStrGridView::syncFromGrid()
{
    applyOptions();
    updateWidthScale();
    applySizes();
}

void TPubStrGridView::setWidthsInOldUnits(bool on, const QStringList &samples)
{
    m_oldUnits = on;
    m_widthSamples = samples;
    updateWidthScale();
    applySizes();
}

void TPubStrGridView::setLastColumnFills(bool on)
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

int TPubStrGridView::shownWidth(int gridWidth) const
{
    return qRound(gridWidth * m_widthScale);
}

int TPubStrGridView::gridWidth(int shownWidth) const
{
    return std::clamp(int(qRound(shownWidth / m_widthScale)), 0, TPubStrGrid::kMaxSize);
}

void TPubStrGridView::updateWidthScale()
{
    double scale = 1;
    const int defaultWidth = m_grid ? m_grid->DefaultColWidth() : 0;
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
        if (m_grid->FixedRows() > 0)
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
    horizontalHeader()->setMaximumSectionSize(int(TPubStrGrid::kMaxSize * scale));
}

void TPubStrGridView::fitLastColumn()
{
    if (!m_grid || !m_lastColumnFills || m_syncing)
        return;
    QHeaderView *hh = horizontalHeader();
    const int count = hh->count();
    if (count == 0)
        return;
    const int last = hh->logicalIndex(count - 1);
    int others = 0;
    for (int v = 0; v < count; ++v)
        if (v != last && !hh->isSectionHidden(v))
            others += hh->sectionSize(v);
    const int own = shownWidth(m_grid->ColWidths(m_grid->gridCol(last)));
    const int width = std::max(own, viewport()->width() - others);
    if (hh->sectionSize(last) == width)
        return;
    m_syncing = true;
    hh->resizeSection(last, width);
    m_syncing = false;
}

void TPubStrGridView::resizeEvent(QResizeEvent *event)
{
    // The view's own resizes and its viewport's (a scroll bar that comes
    // or goes) both come here.
    QTableView::resizeEvent(event);
    fitLastColumn();
}

void TPubStrGridView::changeEvent(QEvent *event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        const double before = m_widthScale;
        updateWidthScale();
        if (m_widthScale != before)
            applySizes();
    }
}

void TPubStrGridView::keyPressEvent(QKeyEvent *event)
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

void TPubStrGridView::applyOptions()
{
    if (!m_grid)
        return;
    const auto o = m_grid->Options();
    setShowGrid(o.testFlag(TPubStrGrid::goVertLine) || o.testFlag(TPubStrGrid::goHorzLine));
    setSelectionBehavior(o.testFlag(TPubStrGrid::goRowSelect) ? SelectRows : SelectItems);
    setEditTriggers(o.testFlag(TPubStrGrid::goEditing)
                        ? (DoubleClicked | EditKeyPressed | AnyKeyPressed)
                        : NoEditTriggers);
    setTabKeyNavigation(o.testFlag(TPubStrGrid::goTabs));
    horizontalHeader()->setSectionResizeMode(o.testFlag(TPubStrGrid::goColSizing) ? QHeaderView::Interactive
                                                                                  : QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(o.testFlag(TPubStrGrid::goRowSizing) ? QHeaderView::Interactive
                                                                                : QHeaderView::Fixed);
    horizontalHeader()->setVisible(m_grid->FixedRows() > 0);
    verticalHeader()->setVisible(m_grid->FixedCols() > 0);
}

void TPubStrGridView::applySizes()
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
    horizontalHeader()->setDefaultSectionSize(shownWidth(m_grid->DefaultColWidth()));
    for (int v = 0; v < m_grid->columnCount(); ++v)
        horizontalHeader()->resizeSection(v, shownWidth(m_grid->ColWidths(m_grid->gridCol(v))));
    verticalHeader()->setDefaultSectionSize(m_grid->DefaultRowHeight());
    const int def = m_grid->DefaultRowHeight();
    for (int r = m_grid->FixedRows(); r < m_grid->RowCount(); ++r) {
        const int h = m_grid->RowHeights(r);
        if (h != def || verticalHeader()->sectionSize(r - m_grid->FixedRows()) != h)
            verticalHeader()->resizeSection(r - m_grid->FixedRows(), h);
    }
    if (m_grid->FixedRows() > 0)
        horizontalHeader()->setFixedHeight(m_grid->RowHeights(m_grid->FixedRows() - 1));
    if (m_grid->FixedCols() > 0)
        verticalHeader()->setFixedWidth(shownWidth(m_grid->ColWidths(m_grid->FixedCols() - 1)));
    hh->setUpdatesEnabled(hhUpdates);
    vh->setUpdatesEnabled(vhUpdates);
    m_syncing = false;
    fitLastColumn();
}

void TPubStrGridView::applyColWidth(int col)
{
    if (!m_grid)
        return;
    m_syncing = true;
    const int width = m_grid->ColWidths(col);
    if (col >= m_grid->FixedCols()) {
        // A width the rider is dragging stays as dragged while it stands
        // for the same grid width.
        const int v = col - m_grid->FixedCols();
        if (gridWidth(horizontalHeader()->sectionSize(v)) != width)
            horizontalHeader()->resizeSection(v, shownWidth(width));
    } else if (col == m_grid->FixedCols() - 1) {
        verticalHeader()->setFixedWidth(shownWidth(width));
    }
    m_syncing = false;
    fitLastColumn();
}

void TPubStrGridView::applyRowHeight(int row)
{
    if (!m_grid)
        return;
    m_syncing = true;
    if (row >= m_grid->FixedRows())
        verticalHeader()->resizeSection(row - m_grid->FixedRows(), m_grid->RowHeights(row));
    else if (row == m_grid->FixedRows() - 1)
        horizontalHeader()->setFixedHeight(m_grid->RowHeights(row));
    m_syncing = false;
}

int TPubStrGridView::Row() const
{
    if (!m_grid)
        return 0;
    const QModelIndex i = currentIndex();
    return i.isValid() ? m_grid->gridRow(i.row()) : m_grid->FixedRows();
}

int TPubStrGridView::Col() const
{
    if (!m_grid)
        return 0;
    const QModelIndex i = currentIndex();
    return i.isValid() ? m_grid->gridCol(i.column()) : m_grid->FixedCols();
}

void TPubStrGridView::setRow(int row)
{
    if (!m_grid || row < m_grid->FixedRows() || row >= m_grid->RowCount())
        return;
    const int v = row - m_grid->FixedRows();
    const QModelIndex cur = currentIndex();
    const int c = cur.isValid() ? cur.column() : 0;
    const QModelIndex target = m_grid->index(v, std::max(0, c));
    const auto flags = QItemSelectionModel::ClearAndSelect
                       | (selectionBehavior() == SelectRows ? QItemSelectionModel::Rows
                                                            : QItemSelectionModel::NoUpdate);
    selectionModel()->setCurrentIndex(target, flags);
    scrollTo(target);
}

void TPubStrGridView::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QTableView::currentChanged(current, previous);
    if (m_grid && !m_restoring && current.isValid() && current.row() != previous.row())
        emit selectCell(m_grid->gridCol(current.column()), m_grid->gridRow(current.row()));
}

bool TPubStrGridView::MouseToCell(const QPoint &pos, int &ACol, int &ARow) const
{
    ACol = ARow = -1;
    if (!m_grid)
        return false;
    const QHeaderView *hh = horizontalHeader();
    if (hh->isVisible() && hh->geometry().contains(pos)) {
        const int v = hh->logicalIndexAt(pos.x() - hh->geometry().left());
        if (v < 0)
            return false;
        ACol = m_grid->gridCol(v);
        ARow = m_grid->FixedRows() - 1;
        return true;
    }
    if (!viewport()->geometry().contains(pos))
        return false;
    const QModelIndex i = indexAt(viewport()->mapFrom(this, pos));
    if (!i.isValid())
        return false;
    ACol = m_grid->gridCol(i.column());
    ARow = m_grid->gridRow(i.row());
    return true;
}

bool TPubStrGridView::onResizeHandle(const QPoint &headerPos) const
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

bool TPubStrGridView::eventFilter(QObject *watched, QEvent *event)
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

void TPubStrGridView::mousePressEvent(QMouseEvent *event)
{
    // A press that could not take the focus (the control left behind
    // refused to let it go) does not move the selection either.
    if (focusPolicy() != Qt::NoFocus && window()->focusWidget() != this) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}
