// Makes the picture of the main window that the package ships for the
// software centres: the window over a spring of rides, drawn offscreen.
//   trasovnik-screenshot OUTPUT.png
#include "ProgramFolder.h"
#include "RideArithmetic.h"
#include "RideColumn.h"
#include "RideLogTable.h"
#include "StringTable.h"
#include "TableFile.h"
#include "ToolkitTranslation.h"
#include "LocaleService.h"
#include "MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>

namespace {
struct Ride
{
    const char *date, *name, *course, *km, *time, *difficulty, *bike;
};

const Ride kRides[] = {
    {"14.3.2026", "Kolem přehrady", "Brno - Bystrc - Přehrada - Veverská Bítýška - Brno", "38,6", "01:52", "2", "Silniční"},
    {"22.3.2026", "Moravský kras", "Brno - Bílovice - Křtiny - Jedovnice - Blansko - Brno", "71,3", "03:41", "4", "Silniční"},
    {"29.3.2026", "Vinice", "Brno - Modřice - Židlochovice - Hustopeče - Brno", "82,4", "03:35", "3", "Silniční"},
    {"5.4.2026", "Kolem přehrady", "Brno - Bystrc - Přehrada - Veverská Bítýška - Brno", "38,6", "01:44", "2", "Silniční"},
    {"12.4.2026", "Do práce", "Žabovřesky - Centrum - Slatina", "12,1", "00:38", "1", "Městské"},
    {"13.4.2026", "Do práce", "Žabovřesky - Centrum - Slatina", "12,1", "00:36", "1", "Městské"},
    {"19.4.2026", "Pálava", "Brno - Pohořelice - Mikulov - Pavlov - Brno", "112,8", "04:56", "4", "Silniční"},
    {"26.4.2026", "Podyjí", "Znojmo - Vranov nad Dyjí - Hardegg - Znojmo", "64,0", "03:20", "5", "Silniční"},
    {"3.5.2026", "Svratka", "Brno - Tišnov - Nedvědice - Tišnov - Brno", "89,5", "04:02", "3", "Silniční"},
    {"10.5.2026", "Vinice", "Brno - Modřice - Židlochovice - Hustopeče - Brno", "82,4", "03:28", "3", "Silniční"},
};
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: trasovnik-screenshot OUTPUT.png\n");
        return 2;
    }
    installToolkitTranslation(LocaleService::instance().locale());
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;

    // The rides as the editors would have written them: the average worked
    // out from km and time.
    StringTable log;
    setUpRideLogTable(log);
    QList<QStringList> rides;
    for (const Ride &r : kRides) {
        const QString km = QString::fromUtf8(r.km), time = QString::fromUtf8(r.time);
        rides.append({QString::fromUtf8(r.date), QString::fromUtf8(r.name), QString::fromUtf8(r.course), km, time,
                      RideArithmetic::average(km, time).value_or(QString()), QString::fromUtf8(r.difficulty),
                      QString::fromUtf8(r.bike)});
    }
    addBikeColumn(log);
    appendRides(log, rides);
    // Widened as a rider widens them, so that names and courses show whole.
    log.setColumnWidth(RideColumn::Name, 120);
    log.setColumnWidth(RideColumn::Course, 290);
    TableFile::save(log, folder.filePath(QStringLiteral("default.tvl")));
    // Two bikes; the road bike's chain is near its interval.
    QFile bikes(folder.filePath(QStringLiteral("kola.ini")));
    if (!bikes.open(QIODevice::WriteOnly))
        return 1;
    bikes.write("[kolo1]\r\nnazev=Silni\xe8n\xed\r\ntyp=silni\xe8n\xed\r\nvychozi=1\r\n"
                "[kolo2]\r\nnazev=M\xecstsk\xe9\r\ntyp=m\xecstsk\xe9\r\n"
                "[dil1]\r\nnazev=\xf8" "et\xec" "z\r\ninterval_km=600\r\n"
                "udalost1=2026-03-01;mont\xe1\x9e;kolo1\r\n");
    bikes.close();

    MainWindow window(ProgramFolder::Location::inFolder(folder.path()));
    window.resize(980, 560);
    window.show();
    // Shown, read and laid out: the rides and totals are in place.
    QElapsedTimer shown;
    shown.start();
    while (shown.elapsed() < 300 || !(window.windowHandle() && window.windowHandle()->isExposed())) {
        if (shown.elapsed() > 10000)
            return 1;
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    window.close();
    return saved ? 0 : 1;
}
