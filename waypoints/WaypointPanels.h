#pragma once
#include "StringTableView.h"

#include <QFrame>
#include <QPointer>

// A panel kept at the left edge with a width of its own: the layout gives
// it exactly that width, which the splitter beside it and the settings
// storage (property "Width") change.
class SidePanel : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(int Width READ Width WRITE setWidth)
public:
    SidePanel(int width, int minimumWidth, QWidget *parent = nullptr);

    int Width() const { return m_width; }
    // Not below the minimum width.
    void setWidth(int width);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The panel's size on screen changed.
    void resized();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    int m_width;
};

// A thin bar to the right of a SidePanel that drags the panel's width,
// leaving at least `keep` pixels to the widget on its other side.
class PanelSplitter : public QWidget
{
    Q_OBJECT
public:
    PanelSplitter(SidePanel *panel, QWidget *other, int keep, QWidget *parent = nullptr);

    // The widest the panel may be now.
    int maximumPanelWidth() const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QPointer<SidePanel> m_panel;
    QPointer<QWidget> m_other;
    int m_keep;
    int m_pressX = -1;
    int m_pressWidth = 0;
    int m_pressRoom = 0;
};

// The waypoint table: a double click does not edit (the window gives it
// another meaning), a click on the current cell does, and the current row
// can be dragged up or down to another place.
class WaypointTable : public StringTableView
{
    Q_OBJECT
public:
    explicit WaypointTable(QWidget *parent = nullptr);
    // Shows a table; with Editing a click on the current cell edits it.
    void setWaypointGrid(StringTable *grid);

    bool isDraggingRow() const { return m_dragRow >= 0; }
    // Takes what an open in-place editor holds into the table and closes
    // the editor.
    void commitEditing();

protected:
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_pressRow = -1;
    QPoint m_pressPos;
    int m_dragRow = -1;
};
