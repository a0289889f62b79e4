#pragma once
#include "StringTable.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QTableView>
#include <functional>

// Shows a StringTable: its fixed row as the horizontal header, its fixed
// column as the vertical header. Keeps the grid's sizes and the view's in
// step, reports mouse presses and releases anywhere in the table (headings
// included) and the row about to become current.
class StringTableView : public QTableView
{
    Q_OBJECT
public:
    enum DrawStateFlag { Selected = 1, Focused = 2, Heading = 4 };
    Q_DECLARE_FLAGS(DrawState, DrawStateFlag)

    // What a cell is painted with; the colour hook may change any of it.
    struct CellPaint
    {
        QBrush brush;
        QFont font;
        QColor textColor;
    };
    // (Sender, row, column, state, paint): row before column.
    using CellPainter = std::function<void(StringTableView *, int, int, DrawState, CellPaint &)>;
    // Owner drawing when the grid's defaultDrawing is off.
    using CellDrawer = std::function<void(StringTableView *, int, int, const QRect &, DrawState, QPainter *)>;

    explicit StringTableView(QWidget *parent = nullptr);

    void setGrid(StringTable *grid);
    StringTable *grid() const { return m_grid; }

    // Current row and column in grid positions (fixed ones included).
    int currentRow() const;
    int currentColumn() const;
    void setCurrentRow(int row);

    // The cell under a position given in this widget's coordinates;
    // false when the position is on no cell.
    bool cellAt(const QPoint &pos, int &column, int &row) const;

    CellPainter cellPainter;
    CellDrawer cellDrawer;
    // Called with every in-place editor the view makes (a QLineEdit for
    // text), before it is shown: the owner may restrict what it takes.
    std::function<void(QWidget *editor)> editorCreated;

    // Re-applies the grid's options, sizes and headings.
    void syncFromGrid();

    // Column widths in the grid (and in its table file) are in the old
    // program's units, pixels of its smaller 8-point font. When on, they
    // are shown scaled to this view's font: a column of the default width
    // holds each of `samples` (cell texts such as a date) and every
    // heading, and a column a sixteenth narrower still holds the samples.
    // A border the rider drags goes back into the grid in the same units;
    // nothing else changes the grid's widths. Off (the default): widths
    // are this view's pixels.
    void setWidthsInOldUnits(bool on, const QStringList &samples = {});
    // Shown width = grid width × widthScale(); 1 when the units are off.
    double widthScale() const { return m_widthScale; }
    // The last column also takes the room the viewport leaves; its width
    // in the grid stays as it is.
    void setLastColumnFills(bool on);

signals:
    // The row (and column) that has just become current.
    void selectCell(int column, int row);
    // A mouse press or release in the table, position in widget
    // coordinates. A press that starts a column resize is not reported.
    void gridMousePress(Qt::MouseButton button, const QPoint &pos);
    // A mouse press reached the table, before it is judged or acted on:
    // the owner can settle what the focus change meant (a window that was
    // not active raised no focus events for it).
    void pressReceived();
    void gridMouseRelease(Qt::MouseButton button, const QPoint &pos);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    friend class StringTableDelegate;
    friend class StringTableHeader;
    bool onResizeHandle(const QPoint &headerPos) const;
    void applySizes();
    void applyColWidth(int col);
    void applyRowHeight(int row);
    void applyOptions();
    void updateWidthScale();
    void fitLastColumn();
    int shownWidth(int gridWidth) const;
    int gridWidth(int shownWidth) const;

    StringTable *m_grid = nullptr;
    bool m_oldUnits = false;
    QStringList m_widthSamples;
    double m_widthScale = 1;
    bool m_lastColumnFills = false;
    bool m_syncing = false;
    bool m_restoring = false;
    int m_keptRow = -1;
    int m_keptCol = 0;
    int m_keptScroll = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(StringTableView::DrawState)
