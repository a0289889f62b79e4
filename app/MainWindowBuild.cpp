// The main window's construction: its menus, tool bar, editor panel and
// totals panel. What the window does with them is in MainWindow.cpp.
#include "MainWindow.h"
#include "Cp1250Validator.h"
#include "DeviceBar.h"
#include "DatePicker.h"
#include "HelpWindow.h"
#include "LocaleService.h"
#include "MaskedTimeEdit.h"
#include "ModalWindow.h"
#include "Messages.h"
#include "RideLogFiles.h"
#include "RideLogTable.h"
#include "RouteNameBox.h"
#include "PlacementStorage.h"
#include "TableSorter.h"
#include "StringTable.h"
#include "RideFilterBar.h"
#include "StringTableView.h"

#include <QAction>
#include <QApplication>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTimer>
#include <QComboBox>
#include <QVBoxLayout>

namespace {
// A label of an editor: its buddy, so that Alt with the underlined letter
// reaches the editor and a screen reader names the editor by the label.
QLabel *panelLabel(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setBuddy(buddy);
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, QColor(128, 0, 0));
    l->setPalette(p);
    return l;
}

QFrame *colouredPanel(const QString &name, const QColor &colour, int height, QWidget *parent)
{
    auto *f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::StyledPanel);
    f->setFrameShadow(QFrame::Raised);
    f->setAutoFillBackground(true);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, colour);
    f->setPalette(p);
    f->setFixedHeight(height);
    return f;
}
} // namespace

void MainWindow::buildWindow()
{
    if (m_where.userFolder.isEmpty())
        m_where.userFolder = m_where.folder;
    openWithDesktop = openWithDesktopProgram;

    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(8);
    setFont(f);
    resize(544, 342);
    setAcceptDrops(true);
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());

    // The ride log table.
    m_log = new StringTable(this);
    m_log->setObjectName(QStringLiteral("rideLogTable"));
    setUpRideLogTable(*m_log);
    m_files = new RideLogFiles(*m_log, m_where, this);
    m_rideLogPath = m_files->logPath();

    buildMenus();
    buildToolBar();

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildEditorPanel());
    buildDeviceBar();
    layout->addWidget(deviceBar);
    buildFilterBar();
    layout->addWidget(filterBar);

    rideTable = new StringTableView(central);
    rideTable->setObjectName(QStringLiteral("rideTable"));
    rideTable->setAccessibleName(QStringLiteral("Jízdy"));
    rideTable->setGrid(m_log);
    // The file's widths are the old program's: dates, distances and the
    // headings show whole, and the last column takes what room is left.
    rideTable->setWidthsInOldUnits(true, rideLogWidthSamples());
    rideTable->setLastColumnFills(true);
    rideTable->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(rideTable, 1);
    offerRideTableMenu();
    layout->addWidget(buildTotalsPanel());
    bindEditors();
    setCentralWidget(central);

    buildStatusBar();

    connect(rideTable, &StringTableView::selectCell, this, &MainWindow::loadEditors);
    connect(qApp, &QApplication::focusChanged, this, &MainWindow::onFocusChanged);
    // In a window that is not active the focus moves without any signal:
    // a click on the grid still leaves the editor before it acts.
    connect(rideTable, &StringTableView::pressReceived, this, [this] {
        if (!isActiveWindow())
            onFocusChanged(nullptr, focusWidget());
    });
    connect(rideTable, &StringTableView::gridMousePress, this, &MainWindow::tablePressed);
    connect(rideTable, &StringTableView::gridMouseRelease, this, &MainWindow::tableReleased);

    headingSorter = new TableSorter(this);
    headingSorter->setObjectName(QStringLiteral("headingSorter"));
    headingSorter->setTable(m_log);
    headingSorter->setStartIndex(1); // row 0 holds the headings and never moves
    headingSorter->setEndIndex(3);
    headingSorter->setSortIndex(4);
    headingSorter->setShowMessageOnError(true);

    placementStorage = new PlacementStorage(this, QStringLiteral("TForm1"));
    placementStorage->setIniFileName(m_where.settings());
    placementStorage->keepProperty(QStringLiteral("item_op_novy_Checked"), askOnStartAction, "checked");

    // Tab order of the editors; the grid comes after them.
    setTabOrder(dateEdit, routeNameBox);
    setTabOrder(routeNameBox, distanceEdit);
    setTabOrder(distanceEdit, timeEdit);
    setTabOrder(timeEdit, averageEdit);
    setTabOrder(averageEdit, difficultyBox);
    setTabOrder(difficultyBox, bikeBox);
    setTabOrder(bikeBox, courseEdit);
    setTabOrder(courseEdit, rideTable);
}

void MainWindow::buildStatusBar()
{
    messageBar = new QStatusBar(this);
    messageBar->setObjectName(QStringLiteral("messageBar"));
    messageBar->setFixedHeight(19);
    messageBar->setSizeGripEnabled(true);
    // A message longer than the window is wide (a copy's path) is cut at
    // the edge: the whole text is its tooltip.
    connect(messageBar, &QStatusBar::messageChanged, messageBar, &QWidget::setToolTip);
    setStatusBar(messageBar);
    serviceReminder = new QToolButton(messageBar);
    serviceReminder->setObjectName(QStringLiteral("serviceReminder"));
    serviceReminder->setAutoRaise(true);
    serviceReminder->setFocusPolicy(Qt::NoFocus);
    serviceReminder->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QPalette due = serviceReminder->palette();
    due.setColor(QPalette::ButtonText, QColor(160, 0, 0));
    serviceReminder->setPalette(due);
    serviceReminder->hide();
    connect(serviceReminder, &QToolButton::clicked, this, guardedSlot(this, &MainWindow::openBikesWindow));
    messageBar->addPermanentWidget(serviceReminder);
    // The reminders follow the rides' km and bikes, once the changes of a
    // commit are all in.
    m_bikeCheck = new QTimer(this);
    m_bikeCheck->setSingleShot(true);
    m_bikeCheck->setInterval(0);
    connect(m_bikeCheck, &QTimer::timeout, this, [this] {
        m_bikeCheck->setInterval(0);
        runGuarded([this] { showServiceReminders(); });
    });
    connect(m_log, &StringTable::dataChanged, this, &MainWindow::scheduleBikeCheck);
    connect(m_log, &StringTable::modelReset, this, &MainWindow::scheduleBikeCheck);
    connect(m_log, &StringTable::rowsRemoved, this, &MainWindow::scheduleBikeCheck);
    connect(m_log, &StringTable::dataChanged, this, &MainWindow::scheduleGoalCheck);
    connect(m_log, &StringTable::modelReset, this, &MainWindow::scheduleGoalCheck);
    connect(m_log, &StringTable::rowsRemoved, this, &MainWindow::scheduleGoalCheck);
}

QAction *MainWindow::newAction(const QString &name, const QString &text, std::function<void()> run)
{
    auto *a = new QAction(text, this);
    a->setObjectName(name);
    // Every action of the window runs under the one guard: a failure is
    // shown in the error box and the window goes on.
    if (run)
        connect(a, &QAction::triggered, this, [run = std::move(run)] { runGuarded(run); });
    return a;
}

QMenu *MainWindow::addMenuItems(QMenu *menu, std::initializer_list<MenuItem> items)
{
    for (const MenuItem &item : items) {
        if (item.name.isEmpty()) {
            menu->addSeparator();
            continue;
        }
        QAction *a = newAction(item.name, item.text, item.run);
        a->setShortcut(item.keys);
        if (item.member)
            this->*item.member = a;
        menu->addAction(a);
    }
    return menu;
}

QMenu *MainWindow::addMenu(const QString &name, const QString &title, std::initializer_list<MenuItem> items)
{
    QMenu *menu = menuBar()->addMenu(title);
    menu->setObjectName(name);
    return addMenuItems(menu, items);
}

void MainWindow::buildMenus()
{
    // What a menu item does, run on this window.
    auto run = [this](void (MainWindow::*handler)()) { return [this, handler] { (this->*handler)(); }; };
    const MenuItem separator;

    addMenu(QStringLiteral("ridesMenu"), QStringLiteral("&Záznamy"), {
        {&MainWindow::newRideAction, QStringLiteral("newRideAction"), QStringLiteral("Nový záznam"), QKeySequence::New,
         run(&MainWindow::addRide)},
        {&MainWindow::deleteRideAction, QStringLiteral("deleteRideAction"), QStringLiteral("Odstranit záznam"), {},
         run(&MainWindow::deleteRide)},
        {&MainWindow::undoDeleteAction, QStringLiteral("undoDeleteAction"), QStringLiteral("Vrátit odstraněný záznam"),
         QKeySequence::Undo, run(&MainWindow::undoDelete)},
        {&MainWindow::importAction, QStringLiteral("importAction"), QStringLiteral("Import z GPS…"),
         QKeySequence(Qt::CTRL | Qt::Key_I), run(&MainWindow::pickRideFiles)},
        {&MainWindow::findAction, QStringLiteral("findAction"), QStringLiteral("Hledat…"), QKeySequence::Find,
         run(&MainWindow::openFilterBar)},
        {&MainWindow::showTrackAction, QStringLiteral("showTrackAction"), QStringLiteral("Zobrazit trasu"),
         QKeySequence(Qt::CTRL | Qt::Key_T), run(&MainWindow::showTrack)},
        separator,
        {&MainWindow::exportHtmlAction, QStringLiteral("exportHtmlAction"), QStringLiteral("Export do HTML a Tisk"), {},
         run(&MainWindow::openExportWindow)},
        {&MainWindow::exportCsvAction, QStringLiteral("exportCsvAction"), QStringLiteral("Export do CSV…"), {},
         run(&MainWindow::exportCsv)},
        separator,
        {&MainWindow::restoreBackupAction, QStringLiteral("restoreBackupAction"), QStringLiteral("Obnovit ze zálohy…"), {},
         run(&MainWindow::restoreBackup)},
    });
    undoDeleteAction->setEnabled(false);

    addMenu(QStringLiteral("routesMenu"), QStringLiteral("&Trasy"), {
        {&MainWindow::saveRouteAction, QStringLiteral("saveRouteAction"), QStringLiteral("Uložit trasu do oblíbených"), {},
         run(&MainWindow::saveRoute)},
        {&MainWindow::deleteRouteAction, QStringLiteral("deleteRouteAction"),
         QStringLiteral("Odstranit trasu z oblíbených"), {}, run(&MainWindow::deleteRoute)},
    });

    addMenu(QStringLiteral("calculationsMenu"), QStringLiteral("&Výpočty"), {
        {&MainWindow::recalcTotalsAction, QStringLiteral("recalcTotalsAction"),
         QStringLiteral("Přepočet celkových hodnot"), {}, run(&MainWindow::recalcTotals)},
        separator,
        {&MainWindow::recalcDistanceAction, QStringLiteral("recalcDistanceAction"), QStringLiteral("Přepočet délky"), {}, run(&MainWindow::recalcDistance)},
        {&MainWindow::recalcTimeAction, QStringLiteral("recalcTimeAction"), QStringLiteral("Přepočet času"), {}, run(&MainWindow::recalcTime)},
        {&MainWindow::recalcAverageAction, QStringLiteral("recalcAverageAction"), QStringLiteral("Přepočet průměru"), {}, run(&MainWindow::recalcAverage)},
        separator,
        // A window of its own is one row: it opens over this one.
        {nullptr, QStringLiteral("statisticsAction"), QStringLiteral("Statistika…"), {},
         run(&MainWindow::openStatistics)},
    });

    addMenu(QStringLiteral("bikesMenu"), QStringLiteral("&Kola"), {
        {&MainWindow::bikesAction, QStringLiteral("bikesAction"), QStringLiteral("Kola a díly…"),
         QKeySequence(Qt::CTRL | Qt::Key_K), run(&MainWindow::openBikesWindow)},
    });

    addMenu(QStringLiteral("optionsMenu"), QStringLiteral("&Možnosti"), {
        {&MainWindow::askOnStartAction, QStringLiteral("askOnStartAction"), QStringLiteral("Po startu se ptát na nový záznam"), {},
         nullptr},
        {&MainWindow::yearlyGoalAction, QStringLiteral("yearlyGoalAction"), QStringLiteral("Roční cíl…"), {},
         run(&MainWindow::editYearlyGoal)},
        {&MainWindow::rideFoldersAction, QStringLiteral("rideFoldersAction"), QStringLiteral("Složky se záznamy jízd…"),
         {}, run(&MainWindow::editRideFolders)},
        {&MainWindow::mapSourceAction, QStringLiteral("mapSourceAction"), QStringLiteral("Mapový podklad…"), {},
         run(&MainWindow::editMapSource)},
    });
    askOnStartAction->setCheckable(true);
    askOnStartAction->setChecked(false);

    addMenu(QStringLiteral("helpMenu"), QStringLiteral("Pomo&c"), {
        {&MainWindow::helpAction, QStringLiteral("helpAction"), QStringLiteral("Nápověda"), QKeySequence::HelpContents,
         run(&MainWindow::showHelp)},
        separator,
        {&MainWindow::aboutAction, QStringLiteral("aboutAction"), QStringLiteral("O aplikaci"), {},
         run(&MainWindow::showAbout)},
    });

    recalculateMenu = new QMenu(this);
    recalculateMenu->setObjectName(QStringLiteral("recalculateMenu"));
    addMenuItems(recalculateMenu, {
        {&MainWindow::recalculateAction, QStringLiteral("recalculateAction"), QStringLiteral("Přepočítej"), {},
         run(&MainWindow::recalculateField)},
    });
}

void MainWindow::buildToolBar()
{
    rideToolBar = new QToolBar(this);
    rideToolBar->setObjectName(QStringLiteral("rideToolBar"));
    rideToolBar->setMovable(false);
    rideToolBar->setFloatable(false);
    rideToolBar->setFixedHeight(29);
    rideToolBar->setIconSize(QSize(20, 20));
    rideToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, rideToolBar);

    auto button = [this](const QString &name, const QString &icon, const QString &hint, auto slot) {
        QAction *a = newAction(name, hint, [this, slot] { (this->*slot)(); });
        a->setIcon(QIcon(icon));
        a->setToolTip(hint);
        rideToolBar->addAction(a);
        if (QWidget *w = rideToolBar->widgetForAction(a)) {
            w->setObjectName(name + QStringLiteral("Button"));
            // Tool buttons never take the focus, so using one commits nothing.
            w->setFocusPolicy(Qt::NoFocus);
            w->setAccessibleName(hint);
        }
        return a;
    };
    newRideTool = button(QStringLiteral("newRideTool"), QStringLiteral(":/icons/new.svg"), QStringLiteral("Nový záznam"),
                     &MainWindow::addRide);
    deleteRideTool = button(QStringLiteral("deleteRideTool"), QStringLiteral(":/icons/delete.svg"),
                          QStringLiteral("Odstranit záznam"), &MainWindow::deleteRide);
    rideToolBar->addSeparator();
    totalsTool = button(QStringLiteral("totalsTool"), QStringLiteral(":/icons/totals.svg"),
                       QStringLiteral("Přepočítat celkové hodnoty"), &MainWindow::recalcTotals);
}

QWidget *MainWindow::buildEditorPanel()
{
    editorPanel = colouredPanel(QStringLiteral("editorPanel"), QColor(240, 202, 166), 116, this);
    auto *grid = new QGridLayout(editorPanel);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);

    auto *validator = new Cp1250Validator(this);
    connect(validator, &Cp1250Validator::charactersDropped, this, &MainWindow::showDroppedCharacters);

    createDateEdit();
    createRouteNameBox(validator);
    createRideNumberEditors(validator);
    createCourseEditors(validator);
    createBikeBox();
    offerRecalculateMenu();
    layOutEditors(grid);
    connectEditorChoices();
    return editorPanel;
}

void MainWindow::createDateEdit()
{
    dateEdit = new DatePicker(editorPanel);
    dateEdit->setObjectName(QStringLiteral("dateEdit"));
    dateEdit->setCalendarPopup(true);
    dateEdit->setDisplayFormat(LocaleService::instance().shortDateFormat());
    dateEdit->setDate(QDate::currentDate());
    // Typed digits count once the part is complete (Enter or leaving the
    // picker); the arrow keys and the calendar change the date at once.
    dateEdit->setKeyboardTracking(false);
    dateEdit->setMinimumWidth(90);
}

void MainWindow::createRouteNameBox(QValidator *validator)
{
    routeNameBox = new RouteNameBox(editorPanel);
    routeNameBox->setObjectName(QStringLiteral("routeNameBox"));
    routeNameBox->setEditable(true);
    routeNameBox->setInsertPolicy(QComboBox::NoInsert);
    routeNameBox->addItems({QStringLiteral("jedna"), QStringLiteral("druhá"), QStringLiteral("třetí")});
    routeNameBox->setEditText(QString());
    routeNameBox->setFixedWidth(182);
    routeNameBox->lineEdit()->setValidator(validator);
    connect(routeNameBox, &RouteNameBox::aboutToShowPopup, this, &MainWindow::fillRouteNames);
    // A name picked from the list with the mouse or the arrow keys; a name
    // typed and finished by Enter fills in nothing.
    connect(routeNameBox, &RouteNameBox::picked, this, [this] { runGuarded([this] { takePickedRoute(); }); });
}

// The editors of km, time, average and difficulty.
void MainWindow::createRideNumberEditors(QValidator *validator)
{
    distanceEdit = new QLineEdit(editorPanel);
    distanceEdit->setObjectName(QStringLiteral("distanceEdit"));
    distanceEdit->setFixedWidth(55);
    distanceEdit->setValidator(validator);

    timeEdit = new MaskedTimeEdit(2, editorPanel);
    timeEdit->setObjectName(QStringLiteral("timeEdit"));
    timeEdit->setFixedWidth(45);

    averageEdit = new QLineEdit(editorPanel);
    averageEdit->setObjectName(QStringLiteral("averageEdit"));
    averageEdit->setFixedWidth(55);
    averageEdit->setValidator(validator);

    difficultyBox = new QSpinBox(editorPanel);
    difficultyBox->setObjectName(QStringLiteral("difficultyBox"));
    difficultyBox->setRange(1, 5);
    difficultyBox->setValue(2);
    difficultyBox->setFixedWidth(45);
}

void MainWindow::createCourseEditors(QValidator *validator)
{
    courseEdit = new QLineEdit(editorPanel);
    courseEdit->setObjectName(QStringLiteral("courseEdit"));
    courseEdit->setFixedWidth(452);
    courseEdit->setValidator(validator);

    // Alt+E opens the waypoint editor from anywhere in the window.
    editCourseButton = new QPushButton(QStringLiteral("&Editovat"), editorPanel);
    editCourseButton->setObjectName(QStringLiteral("editCourseButton"));
    editCourseButton->setFocusPolicy(Qt::ClickFocus);
    editCourseButton->setFixedWidth(70);
    connect(editCourseButton, &QPushButton::clicked, this, [this] { runGuarded([this] { openWaypointEditor(); }); });
}

void MainWindow::createBikeBox()
{
    bikeBox = new QComboBox(editorPanel);
    bikeBox->setObjectName(QStringLiteral("bikeBox"));
    bikeBox->setFixedWidth(120);
    bikeBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    bikeBox->setAccessibleName(QStringLiteral("Kolo"));
    bikeLabel = panelLabel(QStringLiteral("Ko&lo"), bikeBox, editorPanel);
    bikeLabel->setObjectName(QStringLiteral("bikeLabel"));
    // Until the rider has a bike, the panel is as it always was.
    bikeLabel->hide();
    bikeBox->hide();
}

// Right-clicking km, time or average offers the recalculation of one of
// them from the other two.
void MainWindow::offerRecalculateMenu()
{
    for (QWidget *w : {static_cast<QWidget *>(distanceEdit), static_cast<QWidget *>(timeEdit),
                       static_cast<QWidget *>(averageEdit)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { recalculateMenu->popup(w->mapToGlobal(pos)); });
    }
}

// The labels above their editors, the course line below them.
void MainWindow::layOutEditors(QGridLayout *grid)
{
    grid->addWidget(panelLabel(QStringLiteral("Datum &jízdy"), dateEdit, editorPanel), 0, 0);
    grid->addWidget(panelLabel(QStringLiteral("&Název trasy"), routeNameBox, editorPanel), 0, 1);
    grid->addWidget(panelLabel(QStringLiteral("&Délka (km)"), distanceEdit, editorPanel), 0, 2);
    grid->addWidget(panelLabel(QStringLiteral("Ča&s (h:mm)"), timeEdit, editorPanel), 0, 3);
    grid->addWidget(panelLabel(QStringLiteral("&Průměr"), averageEdit, editorPanel), 0, 4);
    grid->addWidget(panelLabel(QStringLiteral("Nár&očnost"), difficultyBox, editorPanel), 0, 5);
    grid->addWidget(dateEdit, 1, 0);
    grid->addWidget(routeNameBox, 1, 1);
    grid->addWidget(distanceEdit, 1, 2);
    grid->addWidget(timeEdit, 1, 3);
    grid->addWidget(averageEdit, 1, 4);
    grid->addWidget(difficultyBox, 1, 5);
    grid->addWidget(bikeLabel, 0, 6);
    grid->addWidget(bikeBox, 1, 6);
    grid->addWidget(panelLabel(QStringLiteral("Průběh nebo popis t&rasy"), courseEdit, editorPanel), 2, 0, 1, 6);
    // The course line has its own row so that the panel keeps the window's width.
    auto *courseRow = new QHBoxLayout;
    courseRow->setSpacing(6);
    courseRow->addWidget(courseEdit);
    courseRow->addWidget(editCourseButton);
    courseRow->addStretch(1);
    grid->addLayout(courseRow, 3, 0, 1, 8);
    grid->setColumnStretch(7, 1);
    grid->setRowStretch(4, 1);
}

void MainWindow::connectEditorChoices()
{
    connect(dateEdit, &DatePicker::dateChosen, this, [this] {
        // Only while the rider is in the picker (its calendar open counts):
        // a date taken as the picker is left must not pull the focus back.
        // Parts of a date being typed are no choice yet.
        if (!m_settingDate && focusWidget() == dateEdit)
            commitChosenDate();
    });
    connect(difficultyBox, &QSpinBox::textChanged, this, [this] {
        if (m_editorLoading)
            difficultyStepped();
    });
}

QWidget *MainWindow::buildTotalsPanel()
{
    totalsPanel = colouredPanel(QStringLiteral("totalsPanel"), QColor(209, 165, 165), 33, this);
    auto *row = new QHBoxLayout(totalsPanel);
    row->setContentsMargins(8, 2, 8, 2);
    row->setSpacing(6);

    auto field = [this](const QString &name) {
        auto *e = new QLineEdit(totalsPanel);
        e->setObjectName(name);
        e->setReadOnly(true);
        e->setFrame(false);
        e->setFixedWidth(kTotalsWidth);
        return e;
    };
    totalDistanceEdit = field(QStringLiteral("totalDistanceEdit"));
    totalAverageEdit = field(QStringLiteral("totalAverageEdit"));
    totalTimeEdit = new MaskedTimeEdit(4, totalsPanel);
    totalTimeEdit->setObjectName(QStringLiteral("totalTimeEdit"));
    totalTimeEdit->setFrame(false);
    totalTimeEdit->setFixedWidth(kTotalsWidth);

    totalDistanceLabel = panelLabel(QStringLiteral("Ujeté km celkem :"), totalDistanceEdit, totalsPanel);
    totalTimeLabel = panelLabel(QStringLiteral("Čas celkem (hod):"), totalTimeEdit, totalsPanel);
    totalAverageLabel = panelLabel(QStringLiteral("Celkový průměr km/h :"), totalAverageEdit, totalsPanel);
    row->addWidget(totalDistanceLabel);
    row->addWidget(totalDistanceEdit);
    row->addWidget(totalTimeLabel);
    row->addWidget(totalTimeEdit);
    row->addWidget(totalAverageLabel);
    row->addWidget(totalAverageEdit);
    row->addStretch(1);
    goalLabel = panelLabel(QString(), nullptr, totalsPanel);
    goalLabel->setObjectName(QStringLiteral("goalLabel"));
    goalLabel->hide();
    row->addWidget(goalLabel);
    return totalsPanel;
}

void MainWindow::bindEditors()
{
    // Each editor with the commit of its cell when it is left and the
    // editor that Enter moves on to. The total time takes a time typed
    // into it as the current ride's time.
    m_editors = {
        {dateEdit, &MainWindow::commitDate, routeNameBox},
        {routeNameBox, &MainWindow::commitRouteName, distanceEdit},
        {distanceEdit, &MainWindow::commitDistance, timeEdit},
        {timeEdit, &MainWindow::commitTime, averageEdit},
        {averageEdit, &MainWindow::commitAverage, difficultyBox},
        {difficultyBox, &MainWindow::commitDifficulty, bikeBox},
        {bikeBox, &MainWindow::commitBike, courseEdit},
        {courseEdit, &MainWindow::commitCourse, nullptr},
        {totalTimeEdit, &MainWindow::commitTime, averageEdit},
    };
    for (const EditorBinding &b : m_editors)
        b.editor->installEventFilter(this);
}
