#include "UnitEdit.h"
#include "AnsiFile.h"
#include "AppError.h"
#include "Cp1250Validator.h"
#include "DataKeeper.h"
#include "Messages.h"
#include "SaveBeforeClosing.h"
#include "SaveDialog.h"
#include "TFormStorage.h"
#include "TPubSortStrGrid.h"
#include "TPubStrGrid.h"
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

TFormEdit::TFormEdit(QLineEdit *courseEdit, std::function<void()> commitCourse,
                     const ProgramFolder::Location &where, QWidget *parent)
    : QDialog(parent), m_courseEdit(courseEdit), m_commitCourse(std::move(commitCourse)),
      m_where(where)
{
    setObjectName(QStringLiteral("FormEdit"));
    setWindowTitle(QStringLiteral("Editace trasy"));
    setModal(true);
    setSizeGripEnabled(true);

    m_list = new TPubStrGrid(this);
    m_list->setObjectName(QStringLiteral("pbseList"));
    m_list->setFixedRows(0);
    m_list->setFixedCols(0);
    m_list->setColCount(1);
    m_list->setRowCount(1);
    m_list->setDefaultRowHeight(18);
    m_list->setAutoSave(false);
    m_list->setAutoBackup(false);
    m_list->setGrid3D(false);
    m_list->setOptions(TPubStrGrid::goFixedVertLine | TPubStrGrid::goFixedHorzLine | TPubStrGrid::goVertLine
                       | TPubStrGrid::goHorzLine | TPubStrGrid::goRangeSelect | TPubStrGrid::goRowSizing
                       | TPubStrGrid::goColSizing | TPubStrGrid::goRowMoving | TPubStrGrid::goEditing);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Panel1 = new SidePanel(kPanelWidth, kPanelMinimumWidth, this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto *left = new QVBoxLayout(Panel1);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);

    ToolBar1 = new QToolBar(Panel1);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Icons only; the tooltip names the tool and its key.
    const auto tool = [this](const char *name, const char *icon, const QString &what, const QKeySequence &key,
                             const QString &keyName) {
        QAction *a = ToolBar1->addAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(icon))), QString());
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        a->setToolTip(QStringLiteral("%1 (%2)").arg(what, keyName));
        QWidget *button = ToolBar1->widgetForAction(a);
        button->setObjectName(QLatin1String(name));
        button->setAccessibleName(what);
        return a;
    };
    tb_novy = tool("tb_novy", "waypoint-new", QStringLiteral("Nový bod"), Qt::Key_Insert, QStringLiteral("Insert"));
    tb_smazat = tool("tb_smazat", "waypoint-delete", QStringLiteral("Smazat bod"), Qt::Key_Delete,
                     QStringLiteral("Delete"));
    ToolBar1->addSeparator();
    tb_export = tool("tb_export", "waypoint-export", QStringLiteral("Export seznamu"), Qt::CTRL | Qt::Key_E,
                     QStringLiteral("Ctrl+E"));
    tb_import = tool("tb_import", "waypoint-import", QStringLiteral("Import seznamu"), Qt::CTRL | Qt::Key_O,
                     QStringLiteral("Ctrl+O"));
    ToolBar1->addSeparator();
    tb_seradit = tool("tb_seradit", "waypoint-sort", QStringLiteral("Seřadit seznam"), Qt::CTRL | Qt::Key_S,
                      QStringLiteral("Ctrl+S"));
    left->addWidget(ToolBar1);

    pbse = new WaypointTable(Panel1);
    pbse->setObjectName(QStringLiteral("pbse"));
    pbse->setWaypointGrid(m_list);
    pbse->setSelectionMode(QAbstractItemView::ContiguousSelection);
    pbse->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pbse->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette green = pbse->palette();
    green.setColor(QPalette::Base, QColor(0xC0, 0xDC, 0xC0));
    pbse->setPalette(green);
    // Names go into "default.tvb", in Windows-1250, one per line.
    pbse->OnEditorCreated = [](QWidget *editor) {
        if (auto *edit = qobject_cast<QLineEdit *>(editor))
            keepStorable(edit);
    };
    pbse->viewport()->installEventFilter(this);
    // Delete removes a waypoint only from the table (an open in-place
    // editor keeps the key for its text), not from the course list.
    tb_smazat->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    pbse->addAction(tb_smazat);
    left->addWidget(pbse, 1);
    layout->addWidget(Panel1);

    Panel3 = new QFrame(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setFixedWidth(kButtonPanelWidth);
    Panel3->setMinimumHeight(190);
    auto *buttons = new QVBoxLayout(Panel3);
    buttons->setContentsMargins(8, 8, 8, 8);
    buttons->setSpacing(6);
    const auto button = [this](const char *name, const QString &caption) {
        auto *b = new QPushButton(caption, Panel3);
        b->setObjectName(QLatin1String(name));
        // Enter runs none of them; Esc closes the window like its close
        // box.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    btn_Pridat = button("btn_Pridat", QStringLiteral(">>> Přidat"));
    btn_odebrat = button("btn_odebrat", QStringLiteral("Odebrat <<<"));
    btn_hotovo = button("btn_hotovo", QStringLiteral("OK"));
    buttons->addWidget(btn_Pridat);
    buttons->addWidget(btn_odebrat);
    buttons->addStretch(1);
    buttons->addWidget(btn_hotovo);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto *right = new QVBoxLayout(Panel2);
    right->setContentsMargins(0, 0, 0, 0);
    lb = new QListWidget(Panel2);
    lb->setObjectName(QStringLiteral("lb"));
    lb->setSelectionMode(QAbstractItemView::SingleSelection);
    lb->setSortingEnabled(false);
    QPalette yellow = lb->palette();
    yellow.setColor(QPalette::Base, yellow.color(QPalette::ToolTipBase));
    yellow.setColor(QPalette::Text, yellow.color(QPalette::ToolTipText));
    lb->setPalette(yellow);
    right->addWidget(lb);

    Splitter1 = new PanelSplitter(Panel1, Panel2, kCourseListKeep, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    layout->addWidget(Splitter1);
    layout->addWidget(Panel3);
    layout->addWidget(Panel2, 1);
    Panel2->setMinimumWidth(kCourseListKeep);

    setTabOrder(pbse, btn_Pridat);
    setTabOrder(btn_Pridat, btn_odebrat);
    setTabOrder(btn_odebrat, btn_hotovo);
    setTabOrder(btn_hotovo, lb);

    const auto fileDialog = [this](const char *name, QFileDialog::AcceptMode mode) {
        auto *d = new QFileDialog(this);
        d->setObjectName(QLatin1String(name));
        d->setAcceptMode(mode);
        d->setFileMode(QFileDialog::AnyFile);
        d->setNameFilter(kFilter);
        followLastFolder(*d, kListFiles);
        return d;
    };
    OpenDialog1 = fileDialog("OpenDialog1", QFileDialog::AcceptOpen);
    SaveDialog1 = fileDialog("SaveDialog1", QFileDialog::AcceptSave);
    SaveDialog1->setDefaultSuffix(QStringLiteral("tvb"));
    SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);

    PbSort = new TPubSortStrGrid(this);
    PbSort->setObjectName(QStringLiteral("PbSort"));
    PbSort->setGridToSort(m_list);
    PbSort->setCaseSensitiv(true);

    FormStorage2 = new TFormStorage(this);
    FormStorage2->setObjectName(QStringLiteral("FormStorage2"));
    FormStorage2->setIniSection(QStringLiteral("formEdit"));
    FormStorage2->setStoredProps({QStringLiteral("Panel1.Width")});

    connect(tb_novy, &QAction::triggered, this, guardedSlot(this, &TFormEdit::tb_novyClick));
    connect(tb_smazat, &QAction::triggered, this, guardedSlot(this, &TFormEdit::tb_smazatClick));
    connect(tb_export, &QAction::triggered, this, guardedSlot(this, &TFormEdit::tb_exportClick));
    connect(tb_import, &QAction::triggered, this, guardedSlot(this, &TFormEdit::tb_importClick));
    connect(tb_seradit, &QAction::triggered, this, guardedSlot(this, &TFormEdit::tb_seraditClick));
    connect(btn_Pridat, &QPushButton::clicked, this, guardedSlot(this, &TFormEdit::btn_PridatClick));
    connect(btn_odebrat, &QPushButton::clicked, this, guardedSlot(this, &TFormEdit::btn_odebratClick));
    connect(btn_hotovo, &QPushButton::clicked, this, guardedSlot(this, &TFormEdit::btn_hotovoClick));
    connect(Panel1, &SidePanel::resized, this, &TFormEdit::Panel1Resize);
    connect(m_list, &TPubStrGrid::dataChanged, this, [this] { ++m_listVersion; });
    connect(m_list, &TPubStrGrid::modelReset, this, [this] { ++m_listVersion; });
    connect(m_list, &TPubStrGrid::rowsInserted, this, [this] { ++m_listVersion; });
    connect(m_list, &TPubStrGrid::rowsRemoved, this, [this] { ++m_listVersion; });
    connect(m_list, &TPubStrGrid::rowMoved, this, [this] { ++m_listVersion; });

    resize(433, 244);
}

TFormEdit::~TFormEdit()
{
    if (m_keeper)
        m_keeper->letGo(QStringLiteral("waypoints"));
}

QString TFormEdit::waypointFilePath() const
{
    return m_where.waypoints();
}

QStringList TFormEdit::courseEntries() const
{
    QStringList entries;
    entries.reserve(lb->count());
    for (int i = 0; i < lb->count(); ++i)
        entries.append(lb->item(i)->text());
    return entries;
}

int TFormEdit::selectedCourseEntry() const
{
    const QList<QListWidgetItem *> selected = lb->selectedItems();
    return selected.isEmpty() ? -1 : lb->row(selected.first());
}

void TFormEdit::setSelectedCourseEntry(int entry)
{
    if (entry >= 0 && entry < lb->count()) {
        lb->setCurrentRow(entry, QItemSelectionModel::ClearAndSelect);
    } else {
        lb->clearSelection();
        lb->setCurrentItem(nullptr);
    }
}

// ---------------------------------------------------------------- opening

void TFormEdit::showEvent(QShowEvent *event)
{
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
    QDialog::showEvent(event);
}

void TFormEdit::FormShow()
{
    // Each step runs whatever happened in the one before, so that the
    // course list is always filled and "OK" never loses the course.
    runGuarded([this] {
        FormStorage2->setIniFileName(m_where.settings());
        FormStorage2->RestorePlacement();
    });
    // A stored width that leaves no room for the course list is narrowed.
    const int room = width() - Splitter1->width() - kButtonPanelWidth - kCourseListKeep;
    if (Panel1->Width() > room)
        Panel1->setWidth(room);
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
    lb->clear();
    if (m_courseEdit)
        lb->addItems(SplitCourse(m_courseEdit->text()));
    setSelectedCourseEntry(-1);
}

void TFormEdit::loadWaypoints()
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

void TFormEdit::tb_novyClick()
{
    // A name still being typed into the table counts.
    pbse->commitEditing();
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
    pbse->setRow(row);
    pbse->scrollTo(m_list->index(row, 0));
}

void TFormEdit::tb_smazatClick()
{
    // A name still being typed into the table counts.
    pbse->commitEditing();
    DeleteWaypoint(*m_list, pbse->Row());
}

void TFormEdit::tb_exportClick()
{
    // A name still being typed into the table counts.
    pbse->commitEditing();
    if (SaveDialog1->exec() != QDialog::Accepted || SaveDialog1->selectedFiles().isEmpty())
        return;
    SaveWaypointFile(*m_list, SaveDialog1->selectedFiles().constFirst());
    rememberFolder(kListFiles, SaveDialog1->selectedFiles().constFirst());
}

void TFormEdit::tb_importClick()
{
    // A name still being typed into the table counts.
    pbse->commitEditing();
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty())
        return;
    LoadWaypointFile(*m_list, OpenDialog1->selectedFiles().constFirst());
    rememberFolder(kListFiles, OpenDialog1->selectedFiles().constFirst());
}

void TFormEdit::tb_seraditClick()
{
    // A name still being typed into the table counts.
    pbse->commitEditing();
    PbSort->setSortIndex(0);
    PbSort->setEndIndex(m_list->RowCount() - 1);
    PbSort->Sort();
    PbSort->setSortDirection(PbSort->SortDirection() == TPubSortStrGrid::Ascending ? TPubSortStrGrid::Descending
                                                                                  : TPubSortStrGrid::Ascending);
}

void TFormEdit::Panel1Resize()
{
    const int width = pbse->viewport()->width();
    if (width > 0 && m_list->ColWidths(0) != width)
        m_list->setColWidths(0, width);
}

bool TFormEdit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == pbse->viewport()) {
        // A viewport resized while hidden reports no resize when shown.
        if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
            Panel1Resize();
        else if (event->type() == QEvent::MouseButtonDblClick
                 && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            runGuarded([this] { pbseDblClick(); });
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------- course list

void TFormEdit::btn_PridatClick()
{
    const QString name = m_list->Cells(0, pbse->Row());
    const int before = selectedCourseEntry();
    if (before >= 0)
        lb->insertItem(before, name);
    else
        lb->addItem(name);
    setSelectedCourseEntry(-1);
}

void TFormEdit::pbseDblClick()
{
    btn_PridatClick();
}

void TFormEdit::btn_odebratClick()
{
    const int entry = selectedCourseEntry();
    if (entry < 0)
        return;
    delete lb->takeItem(entry);
    setSelectedCourseEntry(entry < lb->count() ? entry : -1);
}

void TFormEdit::btn_hotovoClick()
{
    if (m_courseEdit) {
        m_courseEdit->setText(JoinCourse(courseEntries()));
        if (m_commitCourse)
            m_commitCourse();
    }
    accept();
}

// ---------------------------------------------------------------- closing

void TFormEdit::done(int result)
{
    if (!FormClose())
        return;
    QDialog::done(result);
}

bool TFormEdit::FormClose()
{
    // A name still being typed into the table counts.
    pbse->commitEditing();
    const QString failure = failureOf([this] { FormStorage2->SavePlacement(); });
    if (!failure.isEmpty())
        Messages::instance().failure(failure);
    return saveWaypoints();
}

void TFormEdit::writeWaypoints(const QString &target)
{
    pbse->commitEditing();
    if (target == waypointFilePath() && m_keepUnreadFile
        && (QFileInfo::exists(target) || !AnsiFile::whatIsInTheWay(target).isEmpty())) {
        // The list the failed loading left is the empty one: nothing to lose.
        if (m_list->RowCount() == 1 && m_list->cellView(0, 0).isEmpty())
            return;
        throw AppError(QStringLiteral("Soubor %1 se nepodařilo přečíst, proto se do něj seznam průjezdních bodů "
                                      "neuloží.")
                           .arg(QDir::toNativeSeparators(target)));
    }
    SaveWaypointFile(*m_list, target);
}

bool TFormEdit::saveWaypoints()
{
    // The program is ending: the keeper has written the list already.
    const auto ending = [this] { return m_keeper && m_keeper->isEnding(); };
    if (ending())
        return true;
    const QString path = waypointFilePath();
    if (m_keepUnreadFile && (QFileInfo::exists(path) || !AnsiFile::whatIsInTheWay(path).isEmpty())) {
        // The list the failed loading left is the empty one: nothing to lose.
        if (m_list->RowCount() == 1 && m_list->cellView(0, 0).isEmpty())
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
