#include "GarageFile.h"
#include "BikeGarage.h"
#include "IniFile.h"

#include <iterator>
#include <random>

namespace {
struct PartKind
{
    const char16_t *name;
    double intervalKm; // 0: none
    int intervalMonths;
};
const PartKind kKinds[] = {
    {u"řetěz", 3000, 0},
    {u"zadní plášť", 5000, 24},
    {u"vidlice (servis)", 0, 12},
    {u"řídítková páska", 0, 0},
};

QString bikeSection(qsizetype i)
{
    return QStringLiteral("kolo%1").arg(i + 1);
}
} // namespace

int writeGarageFile(const QString &path, const QStringList &bikes, const QDate &first, const QDate &last)
{
    std::mt19937 rnd(20240503);
    auto pick = [&](int n) { return int(rnd() % unsigned(n)); };
    const qsizetype count = bikes.size();
    QList<IniFile::SectionChange> changes;
    for (qsizetype i = 0; i < count; ++i) {
        Bikes::Bike b;
        b.section = bikeSection(i);
        b.name = bikes.at(i);
        b.type = Bikes::bikeTypes().at(i % Bikes::bikeTypes().size());
        b.kmBefore = double(1000 * i);
        b.isDefault = i == 0;
        b.retired = count > 1 && i == count - 1;
        changes.append({b.section, Bikes::bikeEntries(b)});
    }
    int parts = 0;
    auto add = [&](const Bikes::Part &p) {
        changes.append({QStringLiteral("dil%1").arg(++parts), Bikes::partEntries(p)});
    };
    for (qsizetype i = 0; i < count; ++i) {
        for (qsizetype k = 0; k < 3; ++k) {
            const PartKind &kind = kKinds[(i + k) % qsizetype(std::size(kKinds))];
            Bikes::Part p;
            p.name = QString::fromUtf16(kind.name);
            if (kind.intervalKm > 0)
                p.intervalKm = kind.intervalKm;
            p.intervalMonths = kind.intervalMonths;
            qsizetype on = i;
            QDate date = first.addDays(pick(60));
            p.events = {{date, Bikes::PartEvent::Mounted, bikeSection(on)}};
            for (;;) {
                date = date.addDays(180 + pick(360));
                if (date > last)
                    break;
                const int what = pick(10);
                if (what < 7) {
                    p.events.append({date, Bikes::PartEvent::Serviced, {}});
                } else if (what < 9 && count > 1) {
                    on = (on + 1 + pick(int(count - 1))) % count;
                    p.events.append({date, Bikes::PartEvent::Moved, bikeSection(on)});
                } else {
                    p.events.append({date, Bikes::PartEvent::Replaced, {}});
                    add(p);
                    p.events = {{date, Bikes::PartEvent::Mounted, bikeSection(on)}};
                }
            }
            add(p);
        }
    }
    IniFile::change(path, changes);
    return parts;
}
