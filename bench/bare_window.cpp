// A bare Qt Widgets window of the main window's shape: its menus, a tool
// bar, the editors, a 7-column table, the totals and the toolkit's Czech
// catalogue, with none of the program's own code. bench_startup starts it
// beside the program as the baseline of a start.
//
// Built once plain and once for each library the program may load at
// start (BARE_WITH_...), so that the start can be priced library by
// library against the plain window.
//
// Run with a folder as its only argument, it prints, once the window is
// shown: the moment (steady clock, ns), the resident memory and its peak
// (kB), as the program's child in MainWindowStart does.

#include "ChildFigures.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QTableWidget>
#include <QTest>
#include <QToolBar>
#include <QTranslator>
#include <QVBoxLayout>

#if defined(BARE_WITH_CHARTS)
#include <QChartView>
#endif
#if defined(BARE_WITH_PRINTSUPPORT)
#include <QPrintDialog>
#endif
#if defined(BARE_WITH_WEBENGINE)
#include <QWebEngineView>
#endif
#if defined(BARE_WITH_NETWORK)
#include <QLocalServer>
#endif
#if defined(BARE_WITH_SQL)
#include <QSqlDatabase>
#endif


namespace {

// A reference that the linker cannot drop, so that the library is loaded
// at start as it would be for the program.
const void *linkedLibrary()
{
#if defined(BARE_WITH_CHARTS)
    return &QChartView::staticMetaObject;
#elif defined(BARE_WITH_PRINTSUPPORT)
    return &QPrintDialog::staticMetaObject;
#elif defined(BARE_WITH_WEBENGINE)
    return &QWebEngineView::staticMetaObject;
#elif defined(BARE_WITH_NETWORK)
    return &QLocalServer::staticMetaObject;
#elif defined(BARE_WITH_SQL)
    return reinterpret_cast<const void *>(&QSqlDatabase::drivers);
#else
    return nullptr;
#endif
}

QIcon toolIcon(QStyle::StandardPixmap standard, const char *svg)
{
#if defined(BARE_WITH_SVG)
    Q_UNUSED(standard);
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(svg)));
#else
    Q_UNUSED(svg);
    return QApplication::style()->standardIcon(standard);
#endif
}

} // namespace

int main(int argc, char **argv)
{
#if defined(BARE_WITH_SHARED_GL) || defined(BARE_WITH_WEBENGINE)
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
    QApplication app(argc, argv);
    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QStringLiteral("cs_CZ")), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    if (linkedLibrary() == &app)
        return 2;

    QMainWindow window;
    window.resize(544, 342);
    const char *menus[][6] = {
        {"&Záznamy", "Nový záznam", "Odstranit záznam", "Vrátit odstraněný záznam", "Export do HTML a Tisk",
         "Export do CSV…"},
        {"&Trasy", "Uložit trasu do oblíbených", "Odstranit trasu z oblíbených", nullptr, nullptr, nullptr},
        {"&Výpočty", "Přepočet celkových hodnot", "Přepočet délky", "Přepočet času", "Přepočet průměru",
         "Statistika…"},
        {"&Možnosti", "Po startu se ptát na nový záznam", nullptr, nullptr, nullptr, nullptr},
        {"Pomo&c", "Nápověda", "O aplikaci", nullptr, nullptr, nullptr},
    };
    for (const auto &m : menus) {
        QMenu *menu = window.menuBar()->addMenu(QString::fromUtf8(m[0]));
        for (int i = 1; i < 6 && m[i]; ++i)
            menu->addAction(QString::fromUtf8(m[i]));
    }
    QToolBar *tools = window.addToolBar(QStringLiteral("Nástroje"));
    tools->setIconSize(QSize(20, 20));
    tools->addAction(toolIcon(QStyle::SP_FileIcon, "new"), QStringLiteral("Nový záznam"));
    tools->addAction(toolIcon(QStyle::SP_TrashIcon, "delete"), QStringLiteral("Odstranit záznam"));
    tools->addSeparator();
    tools->addAction(toolIcon(QStyle::SP_BrowserReload, "totals"), QStringLiteral("Přepočítat celkové hodnoty"));

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    auto *editors = new QWidget;
    auto *grid = new QGridLayout(editors);
    const char *labels[] = {"Datum &jízdy", "&Název trasy", "&Délka (km)", "Ča&s (h:mm)", "&Průměr", "Nár&očnost"};
    QWidget *fields[] = {new QDateEdit(QDate::currentDate()), new QComboBox, new QLineEdit, new QLineEdit,
                         new QLineEdit, new QSpinBox};
    static_cast<QComboBox *>(fields[1])->setEditable(true);
    for (int c = 0; c < 6; ++c) {
        auto *label = new QLabel(QString::fromUtf8(labels[c]));
        label->setBuddy(fields[c]);
        grid->addWidget(label, 0, c);
        grid->addWidget(fields[c], 1, c);
    }
    grid->addWidget(new QLabel(QStringLiteral("Průběh nebo popis t&rasy")), 2, 0, 1, 6);
    grid->addWidget(new QLineEdit, 3, 0, 1, 5);
    grid->addWidget(new QPushButton(QStringLiteral("&Editovat")), 3, 5);
    layout->addWidget(editors);

    auto *table = new QTableWidget(1, 7);
    table->setHorizontalHeaderLabels({QStringLiteral("Datum"), QStringLiteral("Název trasy"),
                                      QStringLiteral("Průběh trasy"), QStringLiteral("Km"), QStringLiteral("Čas"),
                                      QStringLiteral("Průměr"), QStringLiteral("Náročnost")});
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table, 1);

    auto *totals = new QWidget;
    auto *row = new QHBoxLayout(totals);
    for (const char *text : {"Ujeté km celkem :", "Čas celkem (hod):", "Celkový průměr km/h :"}) {
        row->addWidget(new QLabel(QString::fromUtf8(text)));
        auto *field = new QLineEdit;
        field->setReadOnly(true);
        row->addWidget(field);
    }
    layout->addWidget(totals);
    window.setCentralWidget(central);
    window.setStatusBar(new QStatusBar);

    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QCoreApplication::processEvents();
    ChildFigures::print(ChildFigures::nowNs());
    return 0;
}
