#include "BikeMileage.h"
#include "AppError.h"
#include "LocaleService.h"
#include "NumberText.h"
#include "RideColumn.h"
#include "RideLogTable.h"
#include "StringTable.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Bikes {
namespace {
// Czech plural forms after a number: 1, 2–4, the rest.
QString counted(qint64 n, const char16_t *one, const char16_t *few, const char16_t *many)
{
    const char16_t *word = n == 1 ? one : (n >= 2 && n <= 4) ? few : many;
    return QString::number(n) + u' ' + QString::fromUtf16(word);
}

// "3 měsíce" or "12 dní": months from 60 days on, else days.
QString span(qint64 days)
{
    if (days >= 60)
        return counted(days * 12 / 365, u"měsíc", u"měsíce", u"měsíců");
    return counted(days, u"den", u"dny", u"dní");
}

QString dateText(const QDate &d)
{
    return LocaleService::instance().formatDate(d);
}

// Names as the rider reads them in a line: a name of absurd length cut.
QString shown(const QString &name)
{
    return excerpt(name, Garage::kMaxNameLength);
}

QString bikeName(const Garage &garage, const QString &section)
{
    const Bike *b = garage.bikeBySection(section);
    return shown(b ? b->name : section);
}
} // namespace

QString kmText(double km)
{
    return LocaleService::instance().locale().toString(std::round(km), 'f', 0);
}

// ---------------------------------------------------------------- the rides of each bike

Mileage::Mileage(const StringTable &log)
{
    const bool bikes = log.tableColumnCount() > RideColumn::Bike;
    // Consecutive rides are mostly on one bike: its entry is looked up once.
    QString lastName;
    int last = -1;
    // The rides of a day mostly follow one another: a date text like the
    // one before is not parsed again (the view of that cell stays valid,
    // the table does not change meanwhile).
    QStringView lastDateCell;
    std::optional<QDate> date;
    bool parsed = false;
    std::vector<std::vector<std::pair<int, double>>> dated;
    for (int row = log.headingRows(); row < log.tableRowCount(); ++row) {
        const QStringView bike = bikes ? log.cellView(RideColumn::Bike, row) : QStringView();
        const QStringView dateCell = log.cellView(RideColumn::Date, row);
        const QStringView kmCell = log.cellView(RideColumn::Km, row);
        // An empty new ride, also one that took its bike from the ride before.
        if (dateCell.isEmpty() && kmCell.isEmpty() && isEmptyRide(log, row))
            continue;
        const auto km = NumberText::parse(kmCell);
        const double value = km && std::isfinite(*km) ? *km : 0;
        if (!parsed || dateCell != lastDateCell) {
            date = LocaleService::instance().parseDate(dateCell);
            lastDateCell = dateCell;
            parsed = true;
        }
        BikeFigures *figures = &m_withoutBike;
        if (!bike.isEmpty()) {
            if (last < 0 || bike != lastName) {
                lastName = bike.toString();
                const QString key = lastName.toCaseFolded();
                auto it = m_index.constFind(key);
                if (it == m_index.constEnd()) {
                    it = m_index.insert(key, int(m_rides.size()));
                    m_rides.emplace_back();
                    dated.emplace_back();
                    m_names.append(lastName);
                }
                last = it.value();
            }
            figures = &m_rides[size_t(last)].figures;
            if (date)
                dated[size_t(last)].emplace_back(int(date->toJulianDay()), value);
        }
        ++figures->rides;
        figures->km += value;
        if (date && (!figures->lastRide.isValid() || *date > figures->lastRide))
            figures->lastRide = *date;
    }
    const auto byDay = [](const auto &a, const auto &b) { return a.first < b.first; };
    for (size_t i = 0; i < m_rides.size(); ++i) {
        auto &rides = dated[i];
        // A log kept in date order needs no sorting.
        if (!std::is_sorted(rides.begin(), rides.end(), byDay))
            std::stable_sort(rides.begin(), rides.end(), byDay);
        Rides &r = m_rides[i];
        r.days.reserve(rides.size());
        r.prefix.reserve(rides.size() + 1);
        r.prefix.push_back(0);
        for (const auto &[day, km] : rides) {
            r.days.push_back(day);
            r.prefix.push_back(r.prefix.back() + km);
        }
    }
}

const Mileage::Rides *Mileage::ridesOf(QStringView bike) const
{
    const auto it = m_index.constFind(bike.toString().toCaseFolded());
    return it == m_index.constEnd() ? nullptr : &m_rides[size_t(it.value())];
}

BikeFigures Mileage::figures(QStringView bike) const
{
    const Rides *r = ridesOf(bike);
    return r ? r->figures : BikeFigures();
}

double Mileage::km(QStringView bike, const QDate &from, const QDate &until) const
{
    const Rides *r = ridesOf(bike);
    if (!r)
        return 0;
    const auto first = from.isValid() ? std::lower_bound(r->days.begin(), r->days.end(), int(from.toJulianDay()))
                                      : r->days.begin();
    const auto end = until.isValid() ? std::lower_bound(r->days.begin(), r->days.end(), int(until.toJulianDay()))
                                     : r->days.end();
    if (end <= first)
        return 0;
    return r->prefix[size_t(end - r->days.begin())] - r->prefix[size_t(first - r->days.begin())];
}

// ---------------------------------------------------------------- a part's km

QList<Stint> stintsOf(const Part &part)
{
    QList<Stint> stints;
    for (const PartEvent &e : part.events) {
        const bool ends = e.kind == PartEvent::Moved || e.kind == PartEvent::Replaced;
        if (ends && !stints.isEmpty() && !stints.last().until.isValid())
            stints.last().until = e.date;
        if (e.kind == PartEvent::Mounted || e.kind == PartEvent::Moved)
            stints.append({e.bike, e.date, QDate()});
    }
    return stints;
}

namespace {
// km of the part's stints on the days from `from` on.
double partKm(const QList<Stint> &stints, const Mileage &mileage, const Garage &garage, const QDate &from)
{
    double km = 0;
    for (const Stint &s : stints) {
        const Bike *bike = garage.bikeBySection(s.bike);
        if (!bike)
            continue;
        const QDate start = from.isValid() && from > s.from ? from : s.from;
        km += mileage.km(bike->name, start, s.until);
    }
    return km;
}

// "za 3 měsíce", "dnes", "po termínu 12 dní".
QString dueText(const QDate &due, const QDate &today)
{
    const qint64 days = today.daysTo(due);
    if (days == 0)
        return QStringLiteral("termín dnes");
    return days > 0 ? QStringLiteral("za ") + span(days) : QStringLiteral("po termínu ") + span(-days);
}
} // namespace

PartStatus statusOf(const Part &part, const Mileage &mileage, const Garage &garage, const QDate &today)
{
    PartStatus s;
    const QList<Stint> stints = stintsOf(part);
    s.total = partKm(stints, mileage, garage, QDate());
    s.sinceService = partKm(stints, mileage, garage, part.countFrom());
    if (const auto replaced = part.replacedOn()) {
        s.text = QStringLiteral("vyměněno %1").arg(dateText(*replaced));
        return s;
    }
    QStringList texts;
    if (part.intervalKm) {
        texts.append(kmText(s.sinceService) + QStringLiteral(" / ") + kmText(*part.intervalKm) + QStringLiteral(" km"));
        s.reminder = s.sinceService >= 0.9 * *part.intervalKm;
    }
    if (part.intervalMonths > 0 && part.countFrom().isValid()) {
        const QDate start = part.countFrom();
        s.due = start.addMonths(part.intervalMonths);
        texts.append(dueText(*s.due, today));
        const qint64 length = start.daysTo(*s.due);
        s.reminder = s.reminder || today.daysTo(*s.due) <= length / 10;
    }
    s.text = texts.isEmpty() ? kmText(s.sinceService) + QStringLiteral(" km") : texts.join(QStringLiteral(", "));
    return s;
}

QStringList historyOf(const Part &part, const Mileage &mileage, const Garage &garage)
{
    QStringList lines;
    const QList<Stint> stints = stintsOf(part);
    QDate counting = part.mounted();
    int stint = -1;
    for (const PartEvent &e : part.events) {
        const QString date = dateText(e.date);
        switch (e.kind) {
        case PartEvent::Mounted:
            ++stint;
            lines.append(QStringLiteral("%1 namontováno na kolo %2").arg(date, bikeName(garage, e.bike)));
            break;
        case PartEvent::Serviced: {
            // km of the finished count: from its start up to the day before.
            double km = 0;
            for (const Stint &s : stints) {
                if (const Bike *b = garage.bikeBySection(s.bike)) {
                    const QDate from = counting > s.from ? counting : s.from;
                    const QDate until = s.until.isValid() && s.until < e.date ? s.until : e.date;
                    km += mileage.km(b->name, from, until);
                }
            }
            lines.append(QStringLiteral("%1 servis (od předchozího %2 km)").arg(date, kmText(km)));
            counting = e.date;
            break;
        }
        case PartEvent::Moved: {
            const Stint &left = stints.at(stint);
            const Bike *b = garage.bikeBySection(left.bike);
            const double km = b ? mileage.km(b->name, left.from, e.date) : 0;
            ++stint;
            lines.append(QStringLiteral("%1 přesunuto na kolo %2 (na kole %3 najeto %4 km)")
                             .arg(date, bikeName(garage, e.bike), bikeName(garage, left.bike), kmText(km)));
            break;
        }
        case PartEvent::Replaced:
            lines.append(QStringLiteral("%1 vyměněno").arg(date));
            break;
        }
    }
    lines.append(QStringLiteral("Celkem najeto %1 km").arg(kmText(partKm(stints, mileage, garage, QDate()))));
    return lines;
}

QList<Reminder> reminders(const Garage &garage, const Mileage &mileage, const QDate &today)
{
    QList<Reminder> due;
    for (const Part &part : garage.parts()) {
        if (part.isReplaced() || (!part.intervalKm && part.intervalMonths <= 0))
            continue;
        const Bike *bike = garage.bikeBySection(part.bike());
        if (!bike || bike->retired)
            continue;
        const PartStatus s = statusOf(part, mileage, garage, today);
        if (s.reminder)
            due.append({part.section, QStringLiteral("Servis: %1 (%2) %3").arg(shown(part.name), shown(bike->name), s.text)});
    }
    return due;
}

} // namespace Bikes
