#include "WaypointEditor.h"
#include "AnsiFile.h"
#include "AppError.h"
#include "Cp1250Validator.h"
#include "DataKeeper.h"
#include "Messages.h"
#include "SaveBeforeClosing.h"
#include "SaveDialog.h"
#include "PlacementStorage.h"
#include "TableSorter.h"
#include "StringTable.h"
#include "WaypointList.h"
#include "WaypointPanels.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
constexpr int kPanelWidth = 152;
constexpr int kPanelMinimumWidth = 140;
constexpr int kButtonPanelWidth = 113;
// What the splitter leaves to the course list.
constexpr int kCourseListKeep = 30;
const QString kFilter = QStringLiteral("Seznam bodů pro Trasovník (*.tvb);;Textové soubory (*.txt)");
// Exported and imported lists share their dialogs' folder.
const QString kListFiles = QStringLiteral("tvb");
} // namespace

WaypointEditor::WaypointEditor(QLineEdit *courseEdit, std::function<void()> commitCourse,
                     const ProgramFolder::Location &where, QWidget *parent)
    : QDialog(parent), m_courseEdit(courseEdit), m_commitCourse(std::move(commitCourse)),
      m_where(where)
{
    setObjectName(QStringLiteral("WaypointEditor"));
    setWindowTitle(QStringLiteral("Editace trasy"));
    setModal(true);
    setSizeGripEnabled(true);

    createWaypointList();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    buildWaypointPanel();
    layout->addWidget(waypointPanel);
    buildButtonPanel();
    buildCoursePanel();

    splitter = new PanelSplitter(waypointPanel, coursePanel, kCourseListKeep, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    layout->addWidget(splitter);
    layout->addWidget(buttonPanel);
    layout->addWidget(coursePanel, 1);
    coursePanel->setMinimumWidth(kCourseListKeep);

    setTabOrder(waypointTable, addButton);
    setTabOrder(addButton, removeButton);
    setTabOrder(removeButton, doneButton);
    setTabOrder(doneButton, courseList);

    createFileDialogs();
    createSorter();

    placementStorage = new PlacementStorage(this, QStringLiteral("formEdit"));
    placementStorage->keepProperty(QStringLiteral("Panel1_Width"), waypointPanel, "Width");

    connectSignals();

    resize(433, 244);
}

// The waypoint list: one column of names without headings, saved by the
// window itself when it closes.
void WaypointEditor::createWaypointList()
{
    m_list = new StringTable(this);
    m_list->setObjectName(QStringLiteral("waypointList"));
    m_list->setHeadingRows(0);
    m_list->setHeadingColumns(0);
    m_list->setTableColumnCount(1);
    m_list->setTableRowCount(1);
    m_list->setDefaultRowHeight(18);
    m_list->setAutoBackup(false);
    m_list->setGrid3D(false);
    m_list->setOptions(StringTable::HeadingVerticalLines | StringTable::HeadingHorizontalLines | StringTable::VerticalLines
                       | StringTable::HorizontalLines | StringTable::RangeSelect | StringTable::RowSizing
                       | StringTable::ColumnSizing | StringTable::RowMoving | StringTable::Editing);
}

// The left panel: the tool bar over the waypoint table.
void WaypointEditor::buildWaypointPanel()
{
    waypointPanel = new SidePanel(kPanelWidth, kPanelMinimumWidth, this);
    waypointPanel->setObjectName(QStringLiteral("waypointPanel"));
    auto *left = new QVBoxLayout(waypointPanel);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);

    buildWaypointToolBar();
    left->addWidget(waypointToolBar);

    buildWaypointTable();
    left->addWidget(waypointTable, 1);
}

void WaypointEditor::buildWaypointToolBar()
{
    waypointToolBar = new QToolBar(waypointPanel);
    waypointToolBar->setObjectName(QStringLiteral("waypointToolBar"));
    waypointToolBar->setIconSize(QSize(16, 16));
    waypointToolBar->setMovable(false);
    waypointToolBar->setFloatable(false);
    waypointToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Icons only; the tooltip names the tool and its key.
    const auto tool = [this](const char *name, const char *icon, const QString &what, const QKeySequence &key,
                             const QString &keyName) {
        QAction *a = waypointToolBar->addAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon))), QString());
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        a->setToolTip(QStringLiteral("%1 (%2)").arg(what, keyName));
        QWidget *button = waypointToolBar->widgetForAction(a);
        button->setObjectName(QLatin1String(name));
        button->setAccessibleName(what);
        return a;
    };
    newWaypointAction = tool("newWaypointAction", "waypoint-new", QStringLiteral("Nový bod"), Qt::Key_Insert, QStringLiteral("Insert"));
    deleteWaypointAction = tool("deleteWaypointAction", "waypoint-delete", QStringLiteral("Smazat bod"), Qt::Key_Delete,
                     QStringLiteral("Delete"));
    waypointToolBar->addSeparator();
    exportListAction = tool("exportListAction", "waypoint-export", QStringLiteral("Export seznamu"), Qt::CTRL | Qt::Key_E,
                     QStringLiteral("Ctrl+E"));
    importListAction = tool("importListAction", "waypoint-import", QStringLiteral("Import seznamu"), Qt::CTRL | Qt::Key_O,
                     QStringLiteral("Ctrl+O"));
    waypointToolBar->addSeparator();
    sortListAction = tool("sortListAction", "waypoint-sort", QStringLiteral("Seřadit seznam"), Qt::CTRL | Qt::Key_S,
                      QStringLiteral("Ctrl+S"));
}

void WaypointEditor::buildWaypointTable()
{
    waypointTable = new WaypointTable(waypointPanel);
    waypointTable->setObjectName(QStringLiteral("waypointTable"));
    waypointTable->setWaypointGrid(m_list);
    waypointTable->setSelectionMode(QAbstractItemView::ContiguousSelection);
    waypointTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    waypointTable->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette green = waypointTable->palette();
    green.setColor(QPalette::Base, QColor(0xC0, 0xDC, 0xC0));
    waypointTable->setPalette(green);
    // Names go into "default.tvb", in Windows-1250, one per line.
    waypointTable->editorCreated = [](QWidget *editor) {
        if (auto *edit = qobject_cast<QLineEdit *>(editor))
            keepStorable(edit);
    };
    waypointTable->viewport()->installEventFilter(this);
    // Delete removes a waypoint only from the table (an open in-place
    // editor keeps the key for its text), not from the course list.
    deleteWaypointAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    waypointTable->addAction(deleteWaypointAction);
}

// The buttons between the two lists.
void WaypointEditor::buildButtonPanel()
{
    buttonPanel = new QFrame(this);
    buttonPanel->setObjectName(QStringLiteral("buttonPanel"));
    buttonPanel->setFixedWidth(kButtonPanelWidth);
    buttonPanel->setMinimumHeight(190);
    auto *buttons = new QVBoxLayout(buttonPanel);
    buttons->setContentsMargins(8, 8, 8, 8);
    buttons->setSpacing(6);
    const auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, buttonPanel);
        b->setObjectName(QLatin1String(name));
        // Enter runs none of them; Esc closes the window like its close
        // box.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    addButton = button("addButton", QStringLiteral(">>> Přidat"));
    removeButton = button("removeButton", QStringLiteral("Odebrat <<<"));
    doneButton = button("doneButton", QStringLiteral("OK"));
    buttons->addWidget(addButton);
    buttons->addWidget(removeButton);
    buttons->addStretch(1);
    buttons->addWidget(doneButton);
}

// The right panel: the course list.
void WaypointEditor::buildCoursePanel()
{
    coursePanel = new QFrame(this);
    coursePanel->setObjectName(QStringLiteral("coursePanel"));
    auto *right = new QVBoxLayout(coursePanel);
    right->setContentsMargins(0, 0, 0, 0);
    courseList = new QListWidget(coursePanel);
    courseList->setObjectName(QStringLiteral("courseList"));
    courseList->setSelectionMode(QAbstractItemView::SingleSelection);
    courseList->setSortingEnabled(false);
    QPalette yellow = courseList->palette();
    yellow.setColor(QPalette::Base, yellow.color(QPalette::ToolTipBase));
    yellow.setColor(QPalette::Text, yellow.color(QPalette::ToolTipText));
    courseList->setPalette(yellow);
    right->addWidget(courseList);
}

// The import and export dialogs of the waypoint list.
void WaypointEditor::createFileDialogs()
{
    const auto fileDialog = [this](const char *name, QFileDialog::AcceptMode mode) {
        auto *d = new QFileDialog(this);
        d->setObjectName(QLatin1String(name));
        d->setAcceptMode(mode);
        d->setFileMode(QFileDialog::AnyFile);
        d->setNameFilter(kFilter);
        followLastFolder(*d, kListFiles);
        return d;
    };
    importDialog = fileDialog("importDialog", QFileDialog::AcceptOpen);
    exportDialog = fileDialog("exportDialog", QFileDialog::AcceptSave);
    exportDialog->setDefaultSuffix(QStringLiteral("tvb"));
    exportDialog->setOption(QFileDialog::DontConfirmOverwrite);
}

void WaypointEditor::createSorter()
{
    sorter = new TableSorter(this);
    sorter->setObjectName(QStringLiteral("sorter"));
    sorter->setTable(m_list);
    sorter->setCaseSensitive(true);
}

void WaypointEditor::connectSignals()
{
    connect(newWaypointAction, &QAction::triggered, this, guardedSlot(this, &WaypointEditor::newWaypoint));
    connect(deleteWaypointAction, &QAction::triggered, this, guardedSlot(this, &WaypointEditor::deleteWaypoint));
    connect(exportListAction, &QAction::triggered, this, guardedSlot(this, &WaypointEditor::exportList));
    connect(importListAction, &QAction::triggered, this, guardedSlot(this, &WaypointEditor::importList));
    connect(sortListAction, &QAction::triggered, this, guardedSlot(this, &WaypointEditor::sortList));
    connect(addButton, &QPushButton::clicked, this, guardedSlot(this, &WaypointEditor::addToCourse));
    connect(removeButton, &QPushButton::clicked, this, guardedSlot(this, &WaypointEditor::removeFromCourse));
    connect(doneButton, &QPushButton::clicked, this, guardedSlot(this, &WaypointEditor::finish));
    connect(waypointPanel, &SidePanel::resized, this, &WaypointEditor::waypointPanelResized);
    connect(m_list, &StringTable::dataChanged, this, [this] { ++m_listVersion; });
    connect(m_list, &StringTable::modelReset, this, [this] { ++m_listVersion; });
    connect(m_list, &StringTable::rowsInserted, this, [this] { ++m_listVersion; });
    connect(m_list, &StringTable::rowsRemoved, this, [this] { ++m_listVersion; });
    connect(m_list, &StringTable::rowMoved, this, [this] { ++m_listVersion; });
}

WaypointEditor::~WaypointEditor()
{
    if (m_keeper)
        m_keeper->letGo(QStringLiteral("waypoints"));
}

QString WaypointEditor::waypointFilePath() const
{
    return m_where.waypoints();
}

QStringList WaypointEditor::courseEntries() const
{
    QStringList entries;
    entries.reserve(courseList->count());
    for (int i = 0; i < courseList->count(); ++i)
        entries.append(courseList->item(i)->text());
    return entries;
}

int WaypointEditor::selectedCourseEntry() const
{
    const QList<QListWidgetItem *> selected = courseList->selectedItems();
    return selected.isEmpty() ? -1 : courseList->row(selected.first());
}

void WaypointEditor::setSelectedCourseEntry(int entry)
{
    if (entry >= 0 && entry < courseList->count()) {
        courseList->setCurrentRow(entry, QItemSelectionModel::ClearAndSelect);
    } else {
        courseList->clearSelection();
        courseList->setCurrentItem(nullptr);
    }
}

// ---------------------------------------------------------------- opening

void WaypointEditor::showEvent(QShowEvent *event)
{
    if (!m_shown) {
        m_shown = true;
        afterShown();
    }
    QDialog::showEvent(event);
}

void WaypointEditor::afterShown()
{
    // Each step runs whatever happened in the one before, so that the
    // course list is always filled and "OK" never loses the course.
    runGuarded([this] {
        placementStorage->setIniFileName(m_where.settings());
        placementStorage->restorePlacement();
    });
    // A stored width that leaves no room for the course list is narrowed.
    const int room = width() - splitter->width() - kButtonPanelWidth - kCourseListKeep;
    if (waypointPanel->Width() > room)
        waypointPanel->setWidth(room);
    if (QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr) {
        const QRect over = owner->frameGeometry();
        const QSize outer = frameGeometry().size();
        // Centred over the main window, but on its screen.
        const QRect area = owner->screen() ? owner->screen()->availableGeometry() : over;
        move(qMax(area.left(), qMin(over.center().x() - outer.width() / 2, area.right() + 1 - outer.width())),
             qMax(area.top(), qMin(over.center().y() - outer.height() / 2, area.bottom() + 1 - outer.height())));
    }
    loadWaypoints();
    if (m_keeper) {
        DataKeeper::Data data;
        data.path = waypointFilePath();
        data.write = [this](const QString &target) { writeWaypoints(target); };
        data.version = [this] { return m_listVersion; };
        m_keeper->hold(QStringLiteral("waypoints"), data);
    }
    courseList->clear();
    if (m_courseEdit)
        courseList->addItems(SplitCourse(m_courseEdit->text()));
    setSelectedCourseEntry(-1);
}

void WaypointEditor::loadWaypoints()
{
    const QString path = waypointFilePath();
    m_keepUnreadFile = false;
    if (!QFileInfo::exists(path) && AnsiFile::whatIsInTheWay(path).isEmpty())
        return;
    const QString failure = failureOf([&] { LoadWaypointFile(*m_list, path); });
    if (failure.isEmpty())
        return;
    // What the file holds is kept before the list is ever written over
    // it; when not even a copy can be made, the file is not written.
    const DataKeeper local(m_where.folder, m_where.folder);
    bool kept = false;
    QString said = (m_keeper ? *m_keeper : local).keepDamagedAndSay(path, failure, QStringLiteral("při zavření okna"), &kept);
    if (!kept) {
        m_keepUnreadFile = true;
        said = failure
               + QStringLiteral("\n\nSeznam průjezdních bodů se nepodařilo načíst. Soubor zůstane, jak je: "
                                "při zavření okna se do něj nic nezapíše.");
    }
    // Told once the window is on screen.
    QTimer::singleShot(0, this, [said] { Messages::instance().failure(said); });
}

// ---------------------------------------------------------------- waypoint list

void WaypointEditor::newWaypoint()
{
    // A name still being typed into the table counts.
    waypointTable->commitEditing();
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("NewWaypointDialog"));
    dialog.setWindowTitle(QStringLiteral("Nový průjezdní bod"));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setLabelText(QStringLiteral(" Zadej nový průjezdní bod:"));
    dialog.setTextValue(QString());
    if (auto *edit = dialog.findChild<QLineEdit *>()) {
        edit->setMaxLength(255);
        keepStorable(edit);
    }
    // Cancel adds nothing.
    if (dialog.exec() != QDialog::Accepted)
        return;
    const int row = AddWaypoint(*m_list, dialog.textValue());
    if (row < 0) {
        Messages::instance().info(QStringLiteral("Bod již existuje!"));
        return;
    }
    waypointTable->setCurrentRow(row);
    waypointTable->scrollTo(m_list->index(row, 0));
}

void WaypointEditor::deleteWaypoint()
{
    // A name still being typed into the table counts.
    waypointTable->commitEditing();
    DeleteWaypoint(*m_list, waypointTable->currentRow());
}

void WaypointEditor::exportList()
{
    // A name still being typed into the table counts.
    waypointTable->commitEditing();
    if (exportDialog->exec() != QDialog::Accepted || exportDialog->selectedFiles().isEmpty())
        return;
    SaveWaypointFile(*m_list, exportDialog->selectedFiles().constFirst());
    rememberFolder(kListFiles, exportDialog->selectedFiles().constFirst());
}

void WaypointEditor::importList()
{
    // A name still being typed into the table counts.
    waypointTable->commitEditing();
    if (importDialog->exec() != QDialog::Accepted || importDialog->selectedFiles().isEmpty())
        return;
    LoadWaypointFile(*m_list, importDialog->selectedFiles().constFirst());
    rememberFolder(kListFiles, importDialog->selectedFiles().constFirst());
}

void WaypointEditor::sortList()
{
    // A name still being typed into the table counts.
    waypointTable->commitEditing();
    sorter->setSortIndex(0);
    sorter->setEndIndex(m_list->tableRowCount() - 1);
    sorter->sort();
    sorter->setSortDirection(sorter->sortDirection() == TableSorter::Ascending ? TableSorter::Descending
                                                                                  : TableSorter::Ascending);
}

void WaypointEditor::waypointPanelResized()
{
    const int width = waypointTable->viewport()->width();
    if (width > 0 && m_list->columnWidth(0) != width)
        m_list->setColumnWidth(0, width);
}

bool WaypointEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == waypointTable->viewport()) {
        // A viewport resized while hidden reports no resize when shown.
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            waypointPanelResized();
        else if (event->type() == QEvent::MouseButtonDblClick
                 && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            runGuarded([this] { waypointDoubleClicked(); });
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- course list

void WaypointEditor::addToCourse()
{
    const QString name = m_list->cell(0, waypointTable->currentRow());
    const int before = selectedCourseEntry();
    if (before >= 0)
        courseList->insertItem(before, name);
    else
        courseList->addItem(name);
    setSelectedCourseEntry(-1);
}

void WaypointEditor::waypointDoubleClicked()
{
    addToCourse();
}

void WaypointEditor::removeFromCourse()
{
    const int entry = selectedCourseEntry();
    if (entry < 0)
        return;
    delete courseList->takeItem(entry);
    setSelectedCourseEntry(entry < courseList->count() ? entry : -1);
}

void WaypointEditor::finish()
{
    if (m_courseEdit) {
        m_courseEdit->setText(JoinCourse(courseEntries()));
        if (m_commitCourse)
            m_commitCourse();
    }
    accept();
}

// ---------------------------------------------------------------- closing

void WaypointEditor::done(int result)
{
    if (!saveOnClosing())
        return;
    QDialog::done(result);
}

bool WaypointEditor::saveOnClosing()
{
    // A name still being typed into the table counts.
    waypointTable->commitEditing();
    const QString failure = failureOf([this] { placementStorage->savePlacement(); });
    if (!failure.isEmpty())
        Messages::instance().failure(failure);
    return saveWaypoints();
}

void WaypointEditor::writeWaypoints(const QString &target)
{
    waypointTable->commitEditing();
    if (target == waypointFilePath() && m_keepUnreadFile
        && (QFileInfo::exists(target) || !AnsiFile::whatIsInTheWay(target).isEmpty())) {
        // The list the failed loading left is the empty one: nothing to lose.
        if (m_list->tableRowCount() == 1 && m_list->cellView(0, 0).isEmpty())
            return;
        throw AppError(QStringLiteral("Soubor %1 se nepodařilo přečíst, proto se do něj seznam průjezdních bodů "
                                      "neuloží.")
                           .arg(QDir::toNativeSeparators(target)));
    }
    SaveWaypointFile(*m_list, target);
}

bool WaypointEditor::saveWaypoints()
{
    // The program is ending: the keeper has written the list already.
    const auto ending = [this] { return m_keeper && m_keeper->isEnding(); };
    if (ending())
        return true;
    const QString path = waypointFilePath();
    if (m_keepUnreadFile && (QFileInfo::exists(path) || !AnsiFile::whatIsInTheWay(path).isEmpty())) {
        // The list the failed loading left is the empty one: nothing to lose.
        if (m_list->tableRowCount() == 1 && m_list->cellView(0, 0).isEmpty())
            return true;
        const int answer = Messages::instance().choose(
            QStringLiteral("Soubor %1 se při otevření okna nepodařilo přečíst, proto se do něj změněný seznam "
                           "průjezdních bodů neuloží. Seznam můžete exportovat do jiného "
                           "souboru.\n\nZavřít okno bez uložení seznamu?")
                .arg(QDir::toNativeSeparators(path)),
            {QStringLiteral("Zavřít bez uložení"), QStringLiteral("Ponechat okno otevřené")}, 1, 1);
        return answer == 0;
    }
    const SaveBeforeClosing saving{
        .save = [&] { return failureOf([&] { SaveWaypointFile(*m_list, path); }); },
        .question = [](const QString &) { return QStringLiteral("Seznam průjezdních bodů se nepodařilo uložit."); },
        .showFailureFirst = true,
        .keepOpen = QStringLiteral("Ponechat okno otevřené"),
        .ending = ending,
    };
    return saving.run();
}
