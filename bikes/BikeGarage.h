#pragma once
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class DataKeeper;
namespace IniFile {
struct SectionChange;
}

// The rider's bikes and their parts as "kola.ini" keeps them: one section
// per bike ("kolo<n>") and one per part ("dil<n>"), Windows-1250 INI like
// the favourite routes. A part names its bike by the bike's section, so
// that renaming a bike touches no part. Distances are never stored: they
// are worked out from the ride log (BikeMileage).
//
//   [kolo1]                 [dil1]
//   nazev=Trek              nazev=řetěz
//   typ=silniční            interval_km=3000
//   najeto_pred=1200        interval_mesice=12
//   vychozi=1               udalost1=2024-05-03;montáž;kolo1
//   vyrazeno=0              udalost2=2024-09-01;servis
//                           udalost3=2025-01-10;přesun;kolo2
//                           udalost4=2025-06-01;výměna
//
// Every other line of the file (comments, other sections, keys the
// program does not know) stays as it is: a change writes only the keys of
// its own sections, in one atomic write of the whole file.
namespace Bikes {

// The types a bike can have, in the order the dialog offers them.
QStringList bikeTypes();

struct Bike
{
    QString section;        // "kolo<n>": how parts refer to the bike
    QString name;
    QString type;
    double kmBefore = 0;    // km the bike had when the rider started logging it
    bool retired = false;
    bool isDefault = false;
};

struct PartEvent
{
    enum Kind { Mounted, Serviced, Moved, Replaced };
    QDate date;
    Kind kind = Mounted;
    QString bike;           // Mounted and Moved: the bike's section
};

struct Part
{
    QString section;        // "dil<n>"
    QString name;
    std::optional<double> intervalKm;
    int intervalMonths = 0; // 0: no interval in months
    // In date order; the first one mounts the part.
    QList<PartEvent> events;

    // The bike the part is on (its last Mounted or Moved), or empty.
    QString bike() const;
    QDate mounted() const;
    // Replaced: taken off for good (its km stay counted in its history).
    bool isReplaced() const;
    std::optional<QDate> replacedOn() const;
    // Where the count of km since the last service starts: the last
    // service, else the mounting.
    QDate countFrom() const;
};

// The suggestions for a part's name.
QStringList partSuggestions();

class Garage
{
public:
    // Bounds on what a file may ask for; what lies beyond them stays in
    // the file untouched and is named in problems().
    static constexpr int kMaxBikes = 1000;
    static constexpr int kMaxParts = 10'000;
    static constexpr int kMaxEventsPerPart = 1000;
    static constexpr double kMaxKm = 10'000'000;
    static constexpr int kMaxNameLength = 60;

    // Reads the file in one pass. What cannot be used (a value that is no
    // number or date, an unknown type, a part of no known bike) is left
    // out and named in problems(); the file keeps it.
    static Garage read(const QString &path);

    const QList<Bike> &bikes() const { return m_bikes; }
    const QList<Part> &parts() const { return m_parts; }
    // Said in Czech: what of the file could not be used. Empty when all.
    const QStringList &problems() const { return m_problems; }
    // The file could not be read at all (it is kept as it is).
    bool unreadable() const { return m_unreadable; }

    const Bike *bikeBySection(const QString &section) const;
    // The bike of a name, ignoring letter case.
    const Bike *bikeNamed(QStringView name) const;
    const Bike *defaultBike() const;
    const Part *partBySection(const QString &section) const;
    // The bikes in use first, then the retired ones, each group by name.
    QList<const Bike *> bikesInOrder() const;
    // The parts of a bike: in use first, then the replaced ones.
    QList<const Part *> partsOf(const QString &bikeSection) const;

    // Why a bike cannot have this name, in Czech; empty when it can.
    // `section`: the bike being renamed (its own name is no clash).
    QString bikeNameProblem(const QString &name, const QString &section = QString()) const;
    static QString partNameProblem(const QString &name);

    // ---- changes: each is written to the file at once through
    // `writer`, then taken into this garage. When the writer throws,
    // nothing changes here and the error goes on to the caller.
    using Writer = std::function<void(const QList<IniFile::SectionChange> &)>;
    void setWriter(Writer writer) { m_writer = std::move(writer); }

    // A new bike; its section is made here. The first bike becomes the
    // default one.
    const Bike &addBike(Bike bike);
    // Name, type and km before logging of a bike.
    void updateBike(const Bike &bike);
    void setRetired(const QString &section, bool retired);
    void setDefault(const QString &section);
    // A bike without parts; the caller makes sure it has no rides.
    void removeBike(const QString &section);

    const Part &addPart(Part part);
    void updatePart(const Part &part);
    void removePart(const QString &section);
    void addEvent(const QString &partSection, const PartEvent &event);
    // The part is replaced on `date` and a new one of the same name and
    // interval is mounted on its bike that day. The new part.
    const Part &replacePart(const QString &section, const QDate &date);

private:
    void write(const QList<IniFile::SectionChange> &changes);
    QString freeSection(const QString &prefix) const;
    Bike *bike(const QString &section);
    Part *part(const QString &section);
    void readBike(const QString &section, const QList<std::pair<QString, QString>> &entries);
    void readPart(const QString &section, const QList<std::pair<QString, QString>> &entries);

    // After every change of the list of bikes.
    void indexBikes();

    QList<Bike> m_bikes;
    QHash<QString, qsizetype> m_bikeIndex; // case-folded section -> m_bikes
    QList<Part> m_parts;
    QStringList m_problems;
    // The highest numbers of the file's bike and part sections, so that a
    // new one takes a number no section of the file has.
    int m_lastBike = 0;
    int m_lastPart = 0;
    bool m_unreadable = false;
    Writer m_writer;
};

// A writer that writes the changes to the file through the keeper of the
// data files (without one, straight to the file): when the file cannot be
// written, the changes go to a rescue copy and the error is thrown.
Garage::Writer writerThrough(DataKeeper *keeper, const QString &path);

// The keys of a bike's and a part's section, as the file holds them.
QList<std::pair<QString, QString>> bikeEntries(const Bike &bike);
QList<std::pair<QString, QString>> partEntries(const Part &part);

} // namespace Bikes
