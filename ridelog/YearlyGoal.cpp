#include "YearlyGoal.h"
#include "IniFile.h"
#include "LocaleService.h"
#include "NumberText.h"
#include "RideColumn.h"
#include "RideDayReader.h"
#include "StringTable.h"

#include <cmath>

namespace YearlyGoal {

namespace {
QString wholeKm(double km)
{
    return LocaleService::instance().locale().toString(std::round(km), 'f', 0);
}
} // namespace

std::map<int, double> read(const QString &settingsPath)
{
    std::map<int, double> goals;
    const auto sections = IniFile::readAll(settingsPath, nullptr, [](const QString &s) {
        return s.compare(QStringView(kSection), Qt::CaseInsensitive) == 0;
    });
    for (const IniFile::Section &s : sections) {
        if (s.name.compare(QStringView(kSection), Qt::CaseInsensitive) != 0)
            continue;
        for (const auto &[key, value] : s.entries) {
            bool isYear = false;
            const int year = key.toInt(&isYear);
            const auto km = NumberText::parse(value);
            if (isYear && year >= 1 && year <= 9999 && km && std::isfinite(*km) && *km > 0 && !goals.count(year))
                goals[year] = *km;
        }
        break;
    }
    return goals;
}

void write(const QString &settingsPath, int year, double km)
{
    std::map<int, double> goals = read(settingsPath);
    if (km > 0)
        goals[year] = km;
    else
        goals.erase(year);
    IniFile::Entries entries;
    for (const auto &[y, goal] : goals)
        entries.append({QString::number(y), NumberText::format(goal)});
    QList<IniFile::SectionChange> changes{{QStringView(kSection).toString(), {}, true}};
    if (!entries.isEmpty())
        changes.append({QStringView(kSection).toString(), entries, false});
    IniFile::change(settingsPath, changes);
}

Progress progress(const StringTable &log, double goal, const QDate &today)
{
    Progress p;
    p.goal = goal;
    RideDayReader days;
    for (int r = 1; r < log.tableRowCount(); ++r) {
        const auto day = days.dayOf(log.cellView(RideColumn::Date, r));
        if (day && day->year() == today.year())
            p.km += NumberText::parse(log.cellView(RideColumn::Km, r)).value_or(0.0);
    }
    p.planned = goal * today.dayOfYear() / today.daysInYear();
    return p;
}

QString progressText(const Progress &p)
{
    const double percent = p.goal > 0 ? std::floor(100 * p.km / p.goal) : 0;
    return QStringLiteral("Letos %1 / %2 km (%3 %)").arg(wholeKm(p.km), wholeKm(p.goal), wholeKm(percent));
}

QString paceText(const Progress &p)
{
    const double ahead = std::round(p.km - p.planned);
    if (ahead == 0)
        return QStringLiteral("přesně podle plánu");
    return ahead > 0 ? QStringLiteral("o %1 km před plánem").arg(wholeKm(ahead))
                     : QStringLiteral("o %1 km za plánem").arg(wholeKm(-ahead));
}

} // namespace YearlyGoal
