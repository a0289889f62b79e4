#pragma once
#include "DatePicker.h"
#include "ProgramFolder.h"
#include "HtmlSettings.h"
#include "DeletedRides.h"
#include "RideArithmetic.h"
#include "RideFilter.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <vector>

namespace Bikes {
class Garage;
}
namespace GpsImport {
class DeviceWatch;
}
class QAction;
class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QToolBar;
class QToolButton;
class QThreadPool;
class RideFilterBar;
class DeviceBar;
class QTimer;
class QValidator;
class MaskedTimeEdit;
class HelpWindow;
class RideLogFiles;
class RideLogPrefetch;
class RouteNameBox;
class PlacementStorage;
class AddRideQuestion;
class TableSorter;
class StringTable;
class StringTableView;

// The main window: the ride log table, the editor panel that always shows
// the current ride, the totals, and the menus that reach everything else.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // The data files are in where.folder; rescue copies go to
    // where.userFolder. A prefetch of the ride log file, when given, is
    // taken instead of reading the file when the window is shown.
    explicit MainWindow(const ProgramFolder::Location &where, RideLogPrefetch *prefetch = nullptr,
                    QWidget *parent = nullptr);
    // programFolder: where the data files are (rescue copies too); empty
    // means the folder of the executable, or the per-user data folder when
    // that is not writable.
    explicit MainWindow(const QString &programFolder = QString(), QWidget *parent = nullptr);
    ~MainWindow() override;

    const QString &rideLogPath() const { return m_rideLogPath; }
    StringTable *rideLog() const { return m_log; }
    // Where the data files are.
    const ProgramFolder::Location &location() const { return m_where; }

    // The program is told to end (a signal, the session's end): the ride
    // log and whatever the open windows hold are written, or when that
    // fails kept in rescue copies in the per-user data folder, without a
    // question. Closing then asks nothing.
    void endSession();
    bool isEnding() const;
    // The session asks to keep the data: the same without ending.
    void commitSession();
    // The ride log's files and the keeper of every data file.
    RideLogFiles *files() const { return m_files; }
    // Brings the window (or the window open over it) to the front; a
    // second start of the program asks for it.
    void bringToFront();
    // Opens "Import jízd" for the rider's ride files (FIT, GPX, TCX). While
    // another window is open over this one, the files wait until it closes.
    void importRideFiles(const QStringList &paths);
    // A later start of the program handed over its files: the window comes
    // to the front and imports them.
    void takeArguments(const QStringList &files);

    // After the window is shown: asks whether to add a ride, when the
    // option says so.
    void askAboutNewRide();
    // Opens a file with the desktop's own program; false when the desktop
    // has none for it. Replaceable, so that a test can stand in.
    std::function<bool(const QString &)> openWithDesktop;
    // The program's own help window, once it was opened.
    HelpWindow *helpWindow() const;

    // The window's controls; each carries its own name as its object name.
    QToolBar *rideToolBar = nullptr;
    QAction *newRideTool = nullptr;
    QAction *deleteRideTool = nullptr;
    QAction *totalsTool = nullptr;
    QFrame *editorPanel = nullptr;
    DatePicker *dateEdit = nullptr;
    RouteNameBox *routeNameBox = nullptr;
    QLineEdit *distanceEdit = nullptr;
    MaskedTimeEdit *timeEdit = nullptr;
    QLineEdit *averageEdit = nullptr;
    QSpinBox *difficultyBox = nullptr;
    QLineEdit *courseEdit = nullptr;
    // The ride's bike; shown once the rider has a bike or the log names one.
    QLabel *bikeLabel = nullptr;
    QComboBox *bikeBox = nullptr;
    QPushButton *editCourseButton = nullptr;
    StringTableView *rideTable = nullptr;
    QFrame *totalsPanel = nullptr;
    QLineEdit *totalDistanceEdit = nullptr;
    MaskedTimeEdit *totalTimeEdit = nullptr;
    QLineEdit *totalAverageEdit = nullptr;
    QLabel *totalDistanceLabel = nullptr;
    QLabel *totalTimeLabel = nullptr;
    QLabel *totalAverageLabel = nullptr;
    // This year's km against the yearly goal; hidden without a goal.
    QLabel *goalLabel = nullptr;
    // The filter over the log, above the table; hidden until Ctrl+F.
    RideFilterBar *filterBar = nullptr;
    // The rider's devices and folders with rides never imported, above
    // the table; hidden while there are none.
    DeviceBar *deviceBar = nullptr;
    // Watches the devices and folders, from just after the window is shown.
    GpsImport::DeviceWatch *deviceWatch() const { return m_deviceWatch; }
    QStatusBar *messageBar = nullptr;
    // The parts due for a service, in the status bar; a click opens "Kola".
    QToolButton *serviceReminder = nullptr;
    QMenu *recalculateMenu = nullptr;
    // Sorts the ride log when a heading is clicked.
    TableSorter *headingSorter = nullptr;
    // Keeps the window's placement and the start-up option in "store.ini".
    PlacementStorage *placementStorage = nullptr;
    // The start-up question, created when it is first asked.
    AddRideQuestion *addRideQuestion = nullptr;

    QAction *newRideAction = nullptr;
    QAction *deleteRideAction = nullptr;
    QAction *undoDeleteAction = nullptr;
    QAction *importAction = nullptr;
    QAction *restoreBackupAction = nullptr;
    QAction *exportHtmlAction = nullptr;
    QAction *exportCsvAction = nullptr;
    QAction *saveRouteAction = nullptr;
    QAction *deleteRouteAction = nullptr;
    QAction *recalcTotalsAction = nullptr;
    QAction *recalcDistanceAction = nullptr;
    QAction *recalcTimeAction = nullptr;
    QAction *recalcAverageAction = nullptr;
    QAction *bikesAction = nullptr;
    QAction *findAction = nullptr;
    QAction *yearlyGoalAction = nullptr;
    QAction *rideFoldersAction = nullptr;
    QAction *mapSourceAction = nullptr;
    QAction *showTrackAction = nullptr;
    // The ride table's own menu (right button, the menu key).
    QMenu *rideTableMenu = nullptr;
    QAction *askOnStartAction = nullptr;
    QAction *helpAction = nullptr;
    QAction *aboutAction = nullptr;
    QAction *recalculateAction = nullptr;

public slots:
    void afterShown();

    // Loads the editors from a row.
    void loadEditors(int column, int row);

    // Commits: one editor into its cell of the current row.
    void commitDate();
    void commitRouteName();
    void commitCourse();
    void commitDistance();
    void commitTime();
    void commitAverage();
    void commitDifficulty();
    void difficultyStepped();
    void commitChosenDate();
    void commitBike();

    void addRide();
    void deleteRide();
    // Undoes the last deletion of a ride or renaming of a bike.
    void undoDelete();
    // Lists the copies of the ride log and restores one.
    void restoreBackup();

    void recalcTotals();
    void recalcDistance();
    void recalcTime();
    void recalcAverage();
    void recalculateField();

    // Favourite routes.
    void fillRouteNames();
    void takePickedRoute();
    void saveRoute();
    void deleteRoute();

    void showHelp();
    void showAbout();
    void openExportWindow();
    // The rider's ride files to import, picked in a file dialog.
    void pickRideFiles();
    // The ride log as a CSV file for spreadsheets, to a file the rider picks.
    void exportCsv();
    // The waypoint editor for the course field.
    void openWaypointEditor();
    // "Kola": the rider's bikes and their parts.
    void openBikesWindow();
    // "Statistika jízd", with the records and the yearly goal.
    void openStatistics();
    // The filter bar, with the focus in its search field.
    void openFilterBar();
    // The rides that match the filter bar's fields are shown.
    void applyFilter();
    // Every ride shown again; the bar's fields cleared.
    void clearFilter();
    // "Roční cíl…": the km the rider means to ride in a year.
    void editYearlyGoal();
    // "Složky se záznamy jízd…": the rider's folders looked at for new rides.
    void editRideFolders();
    // "Trasa jízdy" for the current ride, read from its kept file.
    void showTrack();
    void editMapSource();

    // Heading clicks: a press in the grid arms, the release on a heading sorts.
    void tablePressed(Qt::MouseButton button, const QPoint &pos);
    void tableReleased(Qt::MouseButton button, const QPoint &pos);

public:
    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    // Ride files dropped on the window are imported.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The totals fields' width when their texts are short.
    static constexpr int kTotalsWidth = 56;

    void buildWindow();
    // An item of a menu: the window's member that keeps the action (none
    // when nothing else refers to it), the action's name, its text, its
    // keys and what it does (nothing for a check box). An item without a
    // name is a separator.
    struct MenuItem
    {
        QAction *MainWindow::*member = nullptr;
        QString name;
        QString text;
        QKeySequence keys;
        std::function<void()> run;
    };
    // An action of the window that runs under the error guard.
    QAction *newAction(const QString &name, const QString &text, std::function<void()> run);
    QMenu *addMenu(const QString &name, const QString &title, std::initializer_list<MenuItem> items);
    QMenu *addMenuItems(QMenu *menu, std::initializer_list<MenuItem> items);
    void buildMenus();
    void buildToolBar();
    void buildStatusBar();
    QWidget *buildEditorPanel();
    void createDateEdit();
    void createRouteNameBox(QValidator *validator);
    void createRideNumberEditors(QValidator *validator);
    void createCourseEditors(QValidator *validator);
    void createBikeBox();
    void offerRecalculateMenu();
    void layOutEditors(QGridLayout *grid);
    void connectEditorChoices();
    QWidget *buildTotalsPanel();
    void loadRideLog();
    void offerUnsavedChanges();
    void announceDataFolder();
    bool saveRideLogElsewhere();
    // Shows the current row in the editors and the totals after the log
    // was replaced or a ride came back.
    void showRow(int row);
    // "Zobrazit trasu" is there for a ride with a kept file.
    void updateTrackAction(int row);
    void offerRideTableMenu();
    void fitTotalsWidth(QLineEdit *field);
    void showTotals(const RideArithmetic::Totals &totals);
    void showDroppedCharacters(const QString &characters);
    void commit(int column, const QString &text);
    void rejectTime();
    // A typed date that names no day: said, and the rider is back in the
    // picker with the ride's date; nothing is committed.
    void rejectDate(const QString &typed);
    // After a refused commit the rider is back in `editor`, and the editor
    // clicked meanwhile is not left: nothing else is committed.
    void returnTo(QWidget *editor);
    void onCommitLeave(QObject *editor);
    // Commits the editor in use, if any, into the ride shown.
    void commitActiveEditor();
    void onFocusChanged(QWidget *old, QWidget *now);
    // An editor of the window: the commit of its cell when it is left, and
    // the editor that Enter moves on to (none after the last).
    struct EditorBinding
    {
        QWidget *editor;
        void (MainWindow::*commit)();
        QWidget *next;
    };
    void bindEditors();
    const EditorBinding *bindingOf(const QObject *w) const;
    void onEnterKey(QObject *editor);
    int dataRowCount() const;

    // Bikes: the garage read again, the combo box filled from it, the
    // reminders of parts due.
    void readBikes();
    void readBikesAside();
    void takeBikes(Bikes::Garage garage);
    void fillBikeBox();
    void showRideBike(int row);
    // The bike a new ride gets: the current ride's, else the default one.
    QString bikeForNewRide(int currentRow) const;
    // The imported rides' bikes: a bike the file names when the rider has
    // one of that name, else the default one.
    void giveBikes(QList<QStringList> &rides) const;
    void setRideBike(int row, const QString &bike);
    void scheduleBikeCheck();
    void showServiceReminders();
    void renameBikeInRides(const QString &from, const QString &to);
    void updateUndoAction();
    // Keeps a deleted ride for Ctrl+Z.
    void pushDeleted(int row);
    // The filter: its count, the years and bikes it offers, the editors
    // when it shows no ride.
    void buildFilterBar();
    void updateFilterCount();
    void offerFilterChoices();
    // The rides a window works on: with a filter on and the rider's
    // "jen zobrazené jízdy", a copy of the shown rides only.
    std::unique_ptr<StringTable> shownRidesCopy() const;
    void scheduleGoalCheck();
    void showGoalProgress();
    // The devices: the bar, the watch started after the window is shown,
    // the bar's two buttons.
    void buildDeviceBar();
    void watchDevices();
    void importFromDevices();
    void hideDevices();
    ProgramFolder::Location m_where;
    RideLogPrefetch *m_prefetch = nullptr;
    // True when the ride log was taken from the prefetch.
    bool m_prefetched = false;
    QString m_rideLogPath;
    StringTable *m_log = nullptr;
    RideLogFiles *m_files = nullptr;
    DeletedRides m_deleted;
    // What Ctrl+Z undoes, the last first: a deleted ride (its texts are in
    // m_deleted) or a bike renamed in every ride.
    struct UndoStep
    {
        bool bikeRename = false;
        QString from, to;
    };
    QList<UndoStep> m_undoSteps;
    std::unique_ptr<Bikes::Garage> m_bikes;
    std::unique_ptr<QThreadPool> m_bikeReader;
    QTimer *m_bikeCheck = nullptr;
    QTimer *m_goalCheck = nullptr;
    // What the filter last looked for.
    std::optional<RideFilter::Criteria> m_lastCriteria;
    // Year → km, from store.ini.
    std::map<int, double> m_goals;
    GpsImport::DeviceWatch *m_deviceWatch = nullptr;
    // False only while the editors are being loaded from a row.
    bool m_editorLoading = true;
    // Set while the picker's date is being set by the program.
    bool m_settingDate = false;
    bool m_shown = false;
    std::vector<EditorBinding> m_editors;
    // The editor the rider is in, kept while the focus is away in another
    // window, a menu or a message box.
    QPointer<QWidget> m_activeEditor;
    // Set by a mouse press in the grid, cleared by the next release there.
    bool m_gridPressed = false;
    int m_lastSortColumn = 0;
    QPointer<HelpWindow> m_help;
    // The look of the exported page, for the whole run.
    HtmlSettings m_htmlSettings;
    // The CSV file last written, offered again by the next export.
    QString m_lastCsvName;
    // Ride files that wait for the window open over this one to close.
    QStringList m_importLater;
};
