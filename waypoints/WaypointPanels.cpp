#include "WaypointPanels.h"

#include <QApplication>
#include <QMouseEvent>

SidePanel::SidePanel(int width, int minimumWidth, QWidget *parent) : QFrame(parent), m_width(width)
{
    setMinimumWidth(minimumWidth);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

void SidePanel::setWidth(int width)
{
    width = qMax(width, minimumWidth());
    if (width == m_width)
        return;
    m_width = width;
    updateGeometry();
}

QSize SidePanel::sizeHint() const
{
    return {m_width, QFrame::sizeHint().height()};
}

QSize SidePanel::minimumSizeHint() const
{
    return {m_width, QFrame::minimumSizeHint().height()};
}

void SidePanel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    emit resized();
}

PanelSplitter::PanelSplitter(SidePanel *panel, QWidget *other, int keep, QWidget *parent)
    : QWidget(parent), m_panel(panel), m_other(other), m_keep(keep)
{
    setFixedWidth(4);
    setCursor(Qt::SplitHCursor);
}

int PanelSplitter::maximumPanelWidth() const
{
    if (!m_panel || !m_other)
        return 0;
    return qMax(m_panel->minimumWidth(), m_panel->width() + m_other->width() - m_keep);
}

void PanelSplitter::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_panel)
        return;
    m_pressX = int(event->globalPosition().x());
    m_pressWidth = m_panel->width();
    m_pressRoom = maximumPanelWidth();
}

void PanelSplitter::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressX < 0 || !m_panel)
        return;
    const int wanted = m_pressWidth + int(event->globalPosition().x()) - m_pressX;
    m_panel->setWidth(qBound(m_panel->minimumWidth(), wanted, m_pressRoom));
}

void PanelSplitter::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressX = -1;
}

WaypointTable::WaypointTable(QWidget *parent) : StringTableView(parent)
{
}

void WaypointTable::setWaypointGrid(StringTable *grid)
{
    setGrid(grid);
    const auto clickToEdit = [this] {
        if (this->grid() && this->grid()->options().testFlag(StringTable::Editing))
            setEditTriggers(editTriggers() | SelectedClicked);
    };
    clickToEdit();
    connect(grid, &StringTable::appearanceChanged, this, clickToEdit);
}

void WaypointTable::commitEditing()
{
    if (state() != EditingState)
        return;
    for (QWidget *editor : viewport()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (editor->isVisible()) {
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
}

bool WaypointTable::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (trigger == DoubleClicked)
        return false;
    return StringTableView::edit(index, trigger, event);
}

void WaypointTable::mousePressEvent(QMouseEvent *event)
{
    m_dragRow = -1;
    m_pressRow = -1;
    const QModelIndex at = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && at.isValid()
        && at == currentIndex() && grid() && grid()->options().testFlag(StringTable::RowMoving)) {
        m_pressRow = at.row();
        m_pressPos = event->position().toPoint();
    }
    StringTableView::mousePressEvent(event);
}

void WaypointTable::mouseMoveEvent(QMouseEvent *event)
{
    if (m_pressRow >= 0 && m_dragRow < 0 && (event->buttons() & Qt::LeftButton)
        && (event->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
        m_dragRow = m_pressRow;
        setCursor(Qt::SizeVerCursor);
    }
    if (m_dragRow < 0) {
        StringTableView::mouseMoveEvent(event);
        return;
    }
    // The row follows the mouse: it moves as soon as the mouse is over
    // another row.
    const int y = qBound(0, int(event->position().y()), viewport()->height() - 1);
    int target = rowAt(y);
    if (target < 0)
        target = model()->rowCount() - 1;
    if (target != m_dragRow) {
        grid()->moveRow(grid()->gridRow(m_dragRow), grid()->gridRow(target));
        m_dragRow = target;
        setCurrentRow(grid()->gridRow(target));
        scrollTo(model()->index(target, 0));
    }
    event->accept();
}

void WaypointTable::mouseReleaseEvent(QMouseEvent *event)
{
    m_pressRow = -1;
    if (m_dragRow >= 0 && event->button() == Qt::LeftButton) {
        m_dragRow = -1;
        unsetCursor();
        setState(NoState);
        event->accept();
        return;
    }
    StringTableView::mouseReleaseEvent(event);
}
