// The main window's construction: its menus, tool bar, editor panel and
// totals panel. What the window does with them is in Unit1.cpp.
#include "Unit1.h"
#include "Cp1250Validator.h"
#include "DatePicker.h"
#include "HelpWindow.h"
#include "LocaleService.h"
#include "MaskedTimeEdit.h"
#include "Messages.h"
#include "RideLogFiles.h"
#include "RideLogTable.h"
#include "RouteNameBox.h"
#include "TFormStorage.h"
#include "TPubSortStrGrid.h"
#include "TPubStrGrid.h"
#include "TPubStrGridView.h"

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

void TForm1::FormCreate()
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
    m_log = new TPubStrGrid(this);
    m_log->setObjectName(QStringLiteral("pbsData"));
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

    pbs = new TPubStrGridView(central);
    pbs->setObjectName(QStringLiteral("pbs"));
    pbs->setAccessibleName(QStringLiteral("Jízdy"));
    pbs->setGrid(m_log);
    // The file's widths are the old program's: dates, distances and the
    // headings show whole, and the last column takes what room is left.
    pbs->setWidthsInOldUnits(true, rideLogWidthSamples());
    pbs->setLastColumnFills(true);
    pbs->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(pbs, 1);
    layout->addWidget(buildTotalsPanel());
    bindEditors();
    setCentralWidget(central);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(true);
    // A message longer than the window is wide (a copy's path) is cut at
    // the edge: the whole text is its tooltip.
    connect(StatusBar1, &QStatusBar::messageChanged, StatusBar1, &QWidget::setToolTip);
    setStatusBar(StatusBar1);

    connect(pbs, &TPubStrGridView::selectCell, this, &TForm1::pbsSelectCell);
    connect(qApp, &QApplication::focusChanged, this, &TForm1::onFocusChanged);
    // In a window that is not active the focus moves without any signal:
    // a click on the grid still leaves the editor before it acts.
    connect(pbs, &TPubStrGridView::pressReceived, this, [this] {
        if (!isActiveWindow())
            onFocusChanged(nullptr, focusWidget());
    });
    connect(pbs, &TPubStrGridView::gridMousePress, this, &TForm1::pbsMouseDown);
    connect(pbs, &TPubStrGridView::gridMouseRelease, this, &TForm1::pbsMouseUp);

    PbsSort = new TPubSortStrGrid(this);
    PbsSort->setObjectName(QStringLiteral("PbsSort"));
    PbsSort->setGridToSort(m_log);
    PbsSort->setStartIndex(1); // row 0 holds the headings and never moves
    PbsSort->setEndIndex(3);
    PbsSort->setSortIndex(4);
    PbsSort->setShowMessageOnError(true);

    FormStorage1 = new TFormStorage(this);
    FormStorage1->setObjectName(QStringLiteral("FormStorage1"));
    FormStorage1->setIniFileName(m_where.settings());
    FormStorage1->setStoredProps({QStringLiteral("item_op_novy.Checked")});

    // Tab order of the editors; the grid comes after them.
    setTabOrder(DateTimePicker1, Combo_Nazev);
    setTabOrder(Combo_Nazev, Edit_km);
    setTabOrder(Edit_km, edit_cas);
    setTabOrder(edit_cas, Edit_prumer);
    setTabOrder(Edit_prumer, Spin_Naroc);
    setTabOrder(Spin_Naroc, Edit_Trasa);
    setTabOrder(Edit_Trasa, pbs);
}

QAction *TForm1::newAction(const QString &name, const QString &text, std::function<void()> run)
{
    auto *a = new QAction(text, this);
    a->setObjectName(name);
    // Every action of the window runs under the one guard: a failure is
    // shown in the error box and the window goes on.
    if (run)
        connect(a, &QAction::triggered, this, [run = std::move(run)] { runGuarded(run); });
    return a;
}

QMenu *TForm1::addMenuItems(QMenu *menu, std::initializer_list<MenuItem> items)
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

QMenu *TForm1::addMenu(const QString &name, const QString &title, std::initializer_list<MenuItem> items)
{
    QMenu *menu = menuBar()->addMenu(title);
    menu->setObjectName(name);
    return addMenuItems(menu, items);
}

void TForm1::buildMenus()
{
    // What a menu item does, run on this window.
    auto run = [this](void (TForm1::*handler)()) { return [this, handler] { (this->*handler)(); }; };
    const MenuItem separator;

    addMenu(QStringLiteral("Zznamy1"), QStringLiteral("&Záznamy"), {
        {&TForm1::Novzznam1, QStringLiteral("Novzznam1"), QStringLiteral("Nový záznam"), QKeySequence::New,
         run(&TForm1::Novzznam1Click)},
        {&TForm1::Odstranitzznam1, QStringLiteral("Odstranitzznam1"), QStringLiteral("Odstranit záznam"), {},
         run(&TForm1::Odstranitzznam1Click)},
        {&TForm1::VratitZaznam1, QStringLiteral("VratitZaznam1"), QStringLiteral("Vrátit odstraněný záznam"),
         QKeySequence::Undo, run(&TForm1::VratitZaznam1Click)},
        {&TForm1::ImportGps1, QStringLiteral("ImportGps1"), QStringLiteral("Import z GPS…"),
         QKeySequence(Qt::CTRL | Qt::Key_I), run(&TForm1::ImportGps1Click)},
        separator,
        {&TForm1::ExportdoHTML1, QStringLiteral("ExportdoHTML1"), QStringLiteral("Export do HTML a Tisk"), {},
         run(&TForm1::ExportdoHTML1Click)},
        {&TForm1::ExportdoCSV1, QStringLiteral("ExportdoCSV1"), QStringLiteral("Export do CSV…"), {},
         run(&TForm1::ExportdoCSV1Click)},
        separator,
        {&TForm1::ObnovitZalohu1, QStringLiteral("ObnovitZalohu1"), QStringLiteral("Obnovit ze zálohy…"), {},
         run(&TForm1::ObnovitZalohu1Click)},
    });
    VratitZaznam1->setEnabled(false);

    addMenu(QStringLiteral("Trasy1"), QStringLiteral("&Trasy"), {
        {&TForm1::UlozitTrasuItem, QStringLiteral("UlozitTrasuItem"), QStringLiteral("Uložit trasu do oblíbených"), {},
         run(&TForm1::UlozitTrasuItemClick)},
        {&TForm1::OdstranitTrasuItem, QStringLiteral("OdstranitTrasuItem"),
         QStringLiteral("Odstranit trasu z oblíbených"), {}, run(&TForm1::OdstranitTrasuItemClick)},
    });

    addMenu(QStringLiteral("Vpoty1"), QStringLiteral("&Výpočty"), {
        {&TForm1::Pepoetcelkovchhodnot1, QStringLiteral("Pepoetcelkovchhodnot1"),
         QStringLiteral("Přepočet celkových hodnot"), {}, run(&TForm1::Pepoetcelkovchhodnot1Click)},
        separator,
        {&TForm1::Dlka1, QStringLiteral("Dlka1"), QStringLiteral("Přepočet délky"), {}, run(&TForm1::Dlka1Click)},
        {&TForm1::as1, QStringLiteral("as1"), QStringLiteral("Přepočet času"), {}, run(&TForm1::as1Click)},
        {&TForm1::Prmr1, QStringLiteral("Prmr1"), QStringLiteral("Přepočet průměru"), {}, run(&TForm1::Prmr1Click)},
        separator,
        {&TForm1::Statistika1, QStringLiteral("Statistika1"), QStringLiteral("Statistika…"), {},
         run(&TForm1::Statistika1Click)},
    });

    addMenu(QStringLiteral("Monosti1"), QStringLiteral("&Možnosti"), {
        {&TForm1::item_op_novy, QStringLiteral("item_op_novy"), QStringLiteral("Po startu se ptát na nový záznam"), {},
         nullptr},
    });
    item_op_novy->setCheckable(true);
    item_op_novy->setChecked(false);

    addMenu(QStringLiteral("Pomoc1"), QStringLiteral("Pomo&c"), {
        {&TForm1::Npovda1, QStringLiteral("Npovda1"), QStringLiteral("Nápověda"), QKeySequence::HelpContents,
         run(&TForm1::Npovda1Click)},
        separator,
        {&TForm1::Oaplikaci1, QStringLiteral("Oaplikaci1"), QStringLiteral("O aplikaci"), {},
         run(&TForm1::Oaplikaci1Click)},
    });

    PopupPocitej = new QMenu(this);
    PopupPocitej->setObjectName(QStringLiteral("PopupPocitej"));
    addMenuItems(PopupPocitej, {
        {&TForm1::PrepocitejItem, QStringLiteral("PrepocitejItem"), QStringLiteral("Přepočítej"), {},
         run(&TForm1::PrepocitejItemClick)},
    });
}

void TForm1::buildToolBar()
{
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setFixedHeight(29);
    ToolBar1->setIconSize(QSize(20, 20));
    ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, ToolBar1);

    auto button = [this](const QString &name, const QString &icon, const QString &hint, auto slot) {
        QAction *a = newAction(name, hint, [this, slot] { (this->*slot)(); });
        a->setIcon(QIcon(icon));
        a->setToolTip(hint);
        ToolBar1->addAction(a);
        if (QWidget *w = ToolBar1->widgetForAction(a)) {
            w->setObjectName(name + QStringLiteral("Button"));
            // Tool buttons never take the focus, so using one commits nothing.
            w->setFocusPolicy(Qt::NoFocus);
            w->setAccessibleName(hint);
        }
        return a;
    };
    tb_novy = button(QStringLiteral("tb_novy"), QStringLiteral(":/icons/new.svg"), QStringLiteral("Nový záznam"),
                     &TForm1::Novzznam1Click);
    tb_odstranit = button(QStringLiteral("tb_odstranit"), QStringLiteral(":/icons/delete.svg"),
                          QStringLiteral("Odstranit záznam"), &TForm1::Odstranitzznam1Click);
    ToolBar1->addSeparator();
    tb_celkem = button(QStringLiteral("tb_celkem"), QStringLiteral(":/icons/totals.svg"),
                       QStringLiteral("Přepočítat celkové hodnoty"), &TForm1::Pepoetcelkovchhodnot1Click);
}

QWidget *TForm1::buildEditorPanel()
{
    Panel1 = colouredPanel(QStringLiteral("Panel1"), QColor(240, 202, 166), 116, this);
    auto *grid = new QGridLayout(Panel1);
    grid->setContentsMargins(8, 6, 8, 6);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);

    auto *validator = new Cp1250Validator(this);
    connect(validator, &Cp1250Validator::charactersDropped, this, &TForm1::showDroppedCharacters);

    auto *datePicker = new DatePicker(Panel1);
    DateTimePicker1 = datePicker;
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(LocaleService::instance().shortDateFormat());
    DateTimePicker1->setDate(QDate::currentDate());
    // Typed digits count once the part is complete (Enter or leaving the
    // picker); the arrow keys and the calendar change the date at once.
    DateTimePicker1->setKeyboardTracking(false);
    DateTimePicker1->setMinimumWidth(90);

    Combo_Nazev = new RouteNameBox(Panel1);
    Combo_Nazev->setObjectName(QStringLiteral("Combo_Nazev"));
    Combo_Nazev->setEditable(true);
    Combo_Nazev->setInsertPolicy(QComboBox::NoInsert);
    Combo_Nazev->addItems({QStringLiteral("jedna"), QStringLiteral("druhá"), QStringLiteral("třetí")});
    Combo_Nazev->setEditText(QString());
    Combo_Nazev->setFixedWidth(182);
    Combo_Nazev->lineEdit()->setValidator(validator);
    connect(Combo_Nazev, &RouteNameBox::aboutToShowPopup, this, &TForm1::Combo_NazevDropDown);
    // A name picked from the list with the mouse or the arrow keys; a name
    // typed and finished by Enter fills in nothing.
    connect(Combo_Nazev, &RouteNameBox::picked, this, [this] { runGuarded([this] { Combo_NazevSelect(); }); });

    Edit_km = new QLineEdit(Panel1);
    Edit_km->setObjectName(QStringLiteral("Edit_km"));
    Edit_km->setFixedWidth(55);
    Edit_km->setValidator(validator);

    edit_cas = new MaskedTimeEdit(2, Panel1);
    edit_cas->setObjectName(QStringLiteral("edit_cas"));
    edit_cas->setFixedWidth(45);

    Edit_prumer = new QLineEdit(Panel1);
    Edit_prumer->setObjectName(QStringLiteral("Edit_prumer"));
    Edit_prumer->setFixedWidth(55);
    Edit_prumer->setValidator(validator);

    Spin_Naroc = new QSpinBox(Panel1);
    Spin_Naroc->setObjectName(QStringLiteral("Spin_Naroc"));
    Spin_Naroc->setRange(1, 5);
    Spin_Naroc->setValue(2);
    Spin_Naroc->setFixedWidth(45);

    Edit_Trasa = new QLineEdit(Panel1);
    Edit_Trasa->setObjectName(QStringLiteral("Edit_Trasa"));
    Edit_Trasa->setFixedWidth(452);
    Edit_Trasa->setValidator(validator);

    // Alt+E opens the waypoint editor from anywhere in the window.
    Btn_edittrasa = new QPushButton(QStringLiteral("&Editovat"), Panel1);
    Btn_edittrasa->setObjectName(QStringLiteral("Btn_edittrasa"));
    Btn_edittrasa->setFocusPolicy(Qt::ClickFocus);
    Btn_edittrasa->setFixedWidth(70);

    for (QWidget *w : {static_cast<QWidget *>(Edit_km), static_cast<QWidget *>(edit_cas),
                       static_cast<QWidget *>(Edit_prumer)}) {
        w->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(w, &QWidget::customContextMenuRequested, this,
                [this, w](const QPoint &pos) { PopupPocitej->popup(w->mapToGlobal(pos)); });
    }

    grid->addWidget(panelLabel(QStringLiteral("Datum &jízdy"), DateTimePicker1, Panel1), 0, 0);
    grid->addWidget(panelLabel(QStringLiteral("&Název trasy"), Combo_Nazev, Panel1), 0, 1);
    grid->addWidget(panelLabel(QStringLiteral("&Délka (km)"), Edit_km, Panel1), 0, 2);
    grid->addWidget(panelLabel(QStringLiteral("Ča&s (h:mm)"), edit_cas, Panel1), 0, 3);
    grid->addWidget(panelLabel(QStringLiteral("&Průměr"), Edit_prumer, Panel1), 0, 4);
    grid->addWidget(panelLabel(QStringLiteral("Nár&očnost"), Spin_Naroc, Panel1), 0, 5);
    grid->addWidget(DateTimePicker1, 1, 0);
    grid->addWidget(Combo_Nazev, 1, 1);
    grid->addWidget(Edit_km, 1, 2);
    grid->addWidget(edit_cas, 1, 3);
    grid->addWidget(Edit_prumer, 1, 4);
    grid->addWidget(Spin_Naroc, 1, 5);
    grid->addWidget(panelLabel(QStringLiteral("Průběh nebo popis t&rasy"), Edit_Trasa, Panel1), 2, 0, 1, 6);
    // The course line has its own row so that the panel keeps the window's width.
    auto *courseRow = new QHBoxLayout;
    courseRow->setSpacing(6);
    courseRow->addWidget(Edit_Trasa);
    courseRow->addWidget(Btn_edittrasa);
    connect(Btn_edittrasa, &QPushButton::clicked, this, [this] { runGuarded([this] { Btn_edittrasaClick(); }); });
    courseRow->addStretch(1);
    grid->addLayout(courseRow, 3, 0, 1, 7);
    grid->setColumnStretch(6, 1);
    grid->setRowStretch(4, 1);

    connect(datePicker, &DatePicker::dateChosen, this, [this] {
        // Only while the rider is in the picker (its calendar open counts):
        // a date taken as the picker is left must not pull the focus back.
        // Parts of a date being typed are no choice yet.
        if (!m_settingDate && focusWidget() == DateTimePicker1)
            DateTimePicker1Change();
    });
    connect(Spin_Naroc, &QSpinBox::textChanged, this, [this] {
        if (m_editorLoading)
            Spin_NarocChange();
    });
    return Panel1;
}

QWidget *TForm1::buildTotalsPanel()
{
    Panel2 = colouredPanel(QStringLiteral("Panel2"), QColor(209, 165, 165), 33, this);
    auto *row = new QHBoxLayout(Panel2);
    row->setContentsMargins(8, 2, 8, 2);
    row->setSpacing(6);

    auto field = [this](const QString &name) {
        auto *e = new QLineEdit(Panel2);
        e->setObjectName(name);
        e->setReadOnly(true);
        e->setFrame(false);
        e->setFixedWidth(kTotalsWidth);
        return e;
    };
    Edit_celkem_km = field(QStringLiteral("Edit_celkem_km"));
    Edit_celkem_prumer = field(QStringLiteral("Edit_celkem_prumer"));
    Edit_celkem_cas = new MaskedTimeEdit(4, Panel2);
    Edit_celkem_cas->setObjectName(QStringLiteral("Edit_celkem_cas"));
    Edit_celkem_cas->setFrame(false);
    Edit_celkem_cas->setFixedWidth(kTotalsWidth);

    row->addWidget(panelLabel(QStringLiteral("Ujeté km celkem :"), Edit_celkem_km, Panel2));
    row->addWidget(Edit_celkem_km);
    row->addWidget(panelLabel(QStringLiteral("Čas celkem (hod):"), Edit_celkem_cas, Panel2));
    row->addWidget(Edit_celkem_cas);
    row->addWidget(panelLabel(QStringLiteral("Celkový průměr km/h :"), Edit_celkem_prumer, Panel2));
    row->addWidget(Edit_celkem_prumer);
    row->addStretch(1);
    return Panel2;
}

void TForm1::bindEditors()
{
    // Each editor with the commit of its cell when it is left and the
    // editor that Enter moves on to. The total time takes a time typed
    // into it as the current ride's time.
    m_editors = {
        {DateTimePicker1, &TForm1::DateTimePicker1Exit, Combo_Nazev},
        {Combo_Nazev, &TForm1::Combo_NazevExit, Edit_km},
        {Edit_km, &TForm1::Edit_kmExit, edit_cas},
        {edit_cas, &TForm1::edit_casExit, Edit_prumer},
        {Edit_prumer, &TForm1::Edit_prumerExit, Spin_Naroc},
        {Spin_Naroc, &TForm1::Spin_NarocExit, Edit_Trasa},
        {Edit_Trasa, &TForm1::Edit_TrasaExit, nullptr},
        {Edit_celkem_cas, &TForm1::edit_casExit, Edit_prumer},
    };
    for (const EditorBinding &b : m_editors)
        b.editor->installEventFilter(this);
}
