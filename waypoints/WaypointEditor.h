#pragma once
#include "ProgramFolder.h"
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <functional>

class QAction;
class QFileDialog;
class QFrame;
class QLineEdit;
class QListWidget;
class QPushButton;
class QToolBar;
class DataKeeper;
class PanelSplitter;
class SidePanel;
class PlacementStorage;
class TableSorter;
class StringTable;
class WaypointTable;

// "Editace trasy": composes a ride's course from the waypoint list kept in
// "default.tvb". The course field's text is split into the course list
// when the window opens; "OK" joins the list back into the field and
// commits it. The waypoint list is saved whenever the window closes
// (Esc closes it like the close box).
class WaypointEditor : public QDialog
{
    Q_OBJECT
public:
    // courseEdit: the main window's course field; commitCourse stores its
    // text into the current ride. The waypoint list and the window's
    // placement are kept in the data folder `where`.
    WaypointEditor(QLineEdit *courseEdit, std::function<void()> commitCourse, const ProgramFolder::Location &where,
              QWidget *parent = nullptr);
    ~WaypointEditor() override;

    // The waypoint list shown by waypointTable.
    StringTable *waypointList() const { return m_list; }
    QString waypointFilePath() const;
    // The course list's entries in order.
    QStringList courseEntries() const;
    // The selected course entry, or -1.
    int selectedCourseEntry() const;
    // While the window is open, the keeper knows the waypoint list, so
    // that the program writes it when it is told to end.
    void setDataKeeper(DataKeeper *keeper) { m_keeper = keeper; }

    // The window's controls; each carries its own name as its object name.
    SidePanel *waypointPanel = nullptr;
    QToolBar *waypointToolBar = nullptr;
    QAction *newWaypointAction = nullptr;
    QAction *deleteWaypointAction = nullptr;
    QAction *exportListAction = nullptr;
    QAction *importListAction = nullptr;
    QAction *sortListAction = nullptr;
    WaypointTable *waypointTable = nullptr;
    PanelSplitter *splitter = nullptr;
    QFrame *buttonPanel = nullptr;
    QPushButton *addButton = nullptr;
    QPushButton *removeButton = nullptr;
    QPushButton *doneButton = nullptr;
    QFrame *coursePanel = nullptr;
    QListWidget *courseList = nullptr;
    QFileDialog *importDialog = nullptr;
    QFileDialog *exportDialog = nullptr;
    TableSorter *sorter = nullptr;
    PlacementStorage *placementStorage = nullptr;

public slots:
    // Opening: placement, the waypoint list, the course list.
    void afterShown();
    void newWaypoint();
    void deleteWaypoint();
    void exportList();
    void importList();
    void sortList();
    void addToCourse();
    void waypointDoubleClicked();
    void removeFromCourse();
    void finish();
    void waypointPanelResized();

public:
    // Closing: saves the placement and the waypoint list. False when the
    // rider chose to keep the window open after a failure.
    bool saveOnClosing();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void done(int result) override;

private:
    // The window's construction, step by step.
    void createWaypointList();
    void buildWaypointPanel();
    void buildWaypointToolBar();
    void buildWaypointTable();
    void buildButtonPanel();
    void buildCoursePanel();
    void createFileDialogs();
    void createSorter();
    void connectSignals();

    void loadWaypoints();
    bool saveWaypoints();
    // The list as the keeper writes it: a name being typed counts.
    void writeWaypoints(const QString &target);
    void setSelectedCourseEntry(int entry);

    QPointer<QLineEdit> m_courseEdit;
    std::function<void()> m_commitCourse;
    ProgramFolder::Location m_where;
    StringTable *m_list = nullptr;
    bool m_shown = false;
    // "default.tvb" was there at opening but could not be read, nor
    // copied: it is not written over, so that what it holds is not lost.
    bool m_keepUnreadFile = false;
    DataKeeper *m_keeper = nullptr;
    // Counts the changes of the list, for the keeper.
    quint64 m_listVersion = 0;
};
