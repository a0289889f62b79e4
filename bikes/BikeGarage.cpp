#include "BikeGarage.h"
#include "AnsiFile.h"
#include "AppError.h"
#include "DataKeeper.h"
#include "IniFile.h"
#include "NumberText.h"

#include <QSet>

#include <algorithm>
#include <cmath>

namespace Bikes {
namespace {
const QString kBikePrefix = QStringLiteral("kolo");
const QString kPartPrefix = QStringLiteral("dil");
const QString kName = QStringLiteral("nazev");
const QString kType = QStringLiteral("typ");
const QString kKmBefore = QStringLiteral("najeto_pred");
const QString kDefault = QStringLiteral("vychozi");
const QString kRetired = QStringLiteral("vyrazeno");
const QString kIntervalKm = QStringLiteral("interval_km");
const QString kIntervalMonths = QStringLiteral("interval_mesice");
const QString kEvent = QStringLiteral("udalost");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

// The words of the events in the file, in the order of PartEvent::Kind.
const QStringList &eventWords()
{
    static const QStringList words = {QStringLiteral("montáž"), QStringLiteral("servis"), QStringLiteral("přesun"),
                                      QStringLiteral("výměna")};
    return words;
}

// "kolo12" for prefix "kolo": the number after the prefix, else -1.
int sectionNumber(QStringView section, const QString &prefix)
{
    if (!section.startsWith(prefix, Qt::CaseInsensitive) || section.size() == prefix.size()
        || section.size() > prefix.size() + 9)
        return -1;
    int n = 0;
    for (QChar c : section.sliced(prefix.size())) {
        if (c < u'0' || c > u'9')
            return -1;
        n = n * 10 + (c.unicode() - u'0');
    }
    return n;
}

QString valueOf(const IniFile::Entries &entries, const QString &key)
{
    for (const auto &[k, v] : entries)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return QString();
}

bool isFlagSet(const IniFile::Entries &entries, const QString &key)
{
    return IniFile::parseInteger(valueOf(entries, key), 0) != 0;
}

// A distance of the file: a number from 0 to Garage::kMaxKm.
std::optional<double> kmOf(const QString &text)
{
    const auto km = NumberText::parse(text);
    if (!km || !std::isfinite(*km) || *km < 0 || *km > Garage::kMaxKm)
        return std::nullopt;
    return km;
}

// A date of the file: ISO, years 1900 to 9999.
QDate dateOf(QStringView text)
{
    const QDate d = QDate::fromString(text.trimmed().toString(), kDateFormat);
    return d.isValid() && d.year() >= 1900 && d.year() <= 9999 ? d : QDate();
}

QString kmText(double km)
{
    return NumberText::format(km);
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}
} // namespace

QStringList bikeTypes()
{
    return {QStringLiteral("silniční"), QStringLiteral("horské"), QStringLiteral("gravel"),
            QStringLiteral("trekové"), QStringLiteral("městské"), QStringLiteral("elektrokolo"),
            QStringLiteral("jiné")};
}

QStringList partSuggestions()
{
    return {QStringLiteral("řetěz"), QStringLiteral("kazeta"), QStringLiteral("přední plášť"),
            QStringLiteral("zadní plášť"), QStringLiteral("brzdové destičky"), QStringLiteral("převodník"),
            QStringLiteral("ložiska"), QStringLiteral("řídítková páska"), QStringLiteral("lanka a bowdeny"),
            QStringLiteral("vidlice (servis)"), QStringLiteral("tlumič (servis)")};
}

// ---------------------------------------------------------------- a part's history

QString Part::bike() const
{
    for (auto it = events.crbegin(); it != events.crend(); ++it)
        if (it->kind == PartEvent::Mounted || it->kind == PartEvent::Moved)
            return it->bike;
    return QString();
}

QDate Part::mounted() const
{
    return events.isEmpty() ? QDate() : events.constFirst().date;
}

bool Part::isReplaced() const
{
    return replacedOn().has_value();
}

std::optional<QDate> Part::replacedOn() const
{
    for (const PartEvent &e : events)
        if (e.kind == PartEvent::Replaced)
            return e.date;
    return std::nullopt;
}

QDate Part::countFrom() const
{
    QDate from = mounted();
    for (const PartEvent &e : events)
        if (e.kind == PartEvent::Serviced)
            from = e.date;
    return from;
}

QList<std::pair<QString, QString>> bikeEntries(const Bike &bike)
{
    return {{kName, bike.name},
            {kType, bike.type},
            {kKmBefore, kmText(bike.kmBefore)},
            {kDefault, flag(bike.isDefault)},
            {kRetired, flag(bike.retired)}};
}

QList<std::pair<QString, QString>> partEntries(const Part &part)
{
    QList<std::pair<QString, QString>> entries = {
        {kName, part.name},
        {kIntervalKm, part.intervalKm ? kmText(*part.intervalKm) : QString()},
        {kIntervalMonths, part.intervalMonths > 0 ? QString::number(part.intervalMonths) : QString()}};
    for (qsizetype i = 0; i < part.events.size(); ++i) {
        const PartEvent &e = part.events.at(i);
        QString text = e.date.toString(kDateFormat) + u';' + eventWords().at(e.kind);
        if (e.kind == PartEvent::Mounted || e.kind == PartEvent::Moved)
            text += u';' + e.bike;
        entries.append({kEvent + QString::number(i + 1), text});
    }
    return entries;
}

Garage::Writer writerThrough(DataKeeper *keeper, const QString &path)
{
    return [keeper, path](const QList<IniFile::SectionChange> &changes) {
        DataKeeper::Data data;
        data.path = path;
        data.partOfFile = true;
        data.write = [changes](const QString &target) { IniFile::change(target, changes); };
        if (!keeper) {
            data.write(path);
            return;
        }
        QString error;
        if (!keeper->writeOrRescue(data, &error))
            throw AppError(error);
    };
}

// ---------------------------------------------------------------- reading

Garage Garage::read(const QString &path)
{
    Garage g;
    QSet<QString> seen;
    int skippedBikes = 0, skippedParts = 0;
    // Only the sections within the bounds are read whole; of the others,
    // a number and a count.
    const auto wanted = [&](const QString &section) {
        const int bike = sectionNumber(section, kBikePrefix);
        const int part = bike < 0 ? sectionNumber(section, kPartPrefix) : -1;
        g.m_lastBike = std::max(g.m_lastBike, bike);
        g.m_lastPart = std::max(g.m_lastPart, part);
        if (bike < 0 && part < 0)
            return false;
        if (seen.size() >= kMaxBikes + kMaxParts) {
            ++(bike >= 0 ? skippedBikes : skippedParts);
            return false;
        }
        const qsizetype before = seen.size();
        seen.insert(section.toCaseFolded());
        // As in every INI file, the first section of a name counts.
        return seen.size() > before;
    };
    const QList<IniFile::Section> sections = IniFile::readAll(path, &g.m_unreadable, wanted);
    if (g.m_unreadable)
        g.m_problems.append(QStringLiteral("soubor nelze přečíst"));
    for (const IniFile::Section &s : sections) {
        if (s.entries.isEmpty() && !seen.contains(s.name.toCaseFolded()))
            continue;
        if (sectionNumber(s.name, kBikePrefix) >= 0) {
            if (g.m_bikes.size() < kMaxBikes)
                g.readBike(s.name, s.entries);
            else
                ++skippedBikes;
        } else if (sectionNumber(s.name, kPartPrefix) >= 0) {
            if (g.m_parts.size() < kMaxParts)
                g.readPart(s.name, s.entries);
            else
                ++skippedParts;
        }
        seen.remove(s.name.toCaseFolded());
    }
    if (skippedBikes > 0)
        g.m_problems.append(QStringLiteral("dalších %1 kol nad %2 program nenačetl").arg(skippedBikes).arg(kMaxBikes));
    if (skippedParts > 0)
        g.m_problems.append(QStringLiteral("dalších %1 dílů nad %2 program nenačetl").arg(skippedParts).arg(kMaxParts));
    g.indexBikes();
    // Parts of no known bike are no parts of any bike the rider sees.
    g.m_parts.removeIf([&g](const Part &p) {
        const bool known = g.bikeBySection(p.bike()) != nullptr;
        if (!known)
            g.m_problems.append(QStringLiteral("díl [%1] nepatří žádnému kolu").arg(excerpt(p.section, 20)));
        return !known;
    });
    // One default bike at most: the first one marked.
    bool haveDefault = false;
    for (Bike &b : g.m_bikes) {
        b.isDefault = b.isDefault && !haveDefault;
        haveDefault = haveDefault || b.isDefault;
    }
    return g;
}

void Garage::readBike(const QString &section, const IniFile::Entries &entries)
{
    Bike b;
    b.section = section;
    b.name = valueOf(entries, kName);
    if (b.name.isEmpty()) {
        m_problems.append(QStringLiteral("kolo [%1] nemá název").arg(excerpt(section, 20)));
        return;
    }
    if (bikeNamed(b.name)) {
        m_problems.append(QStringLiteral("kolo [%1] má stejný název jako jiné kolo").arg(excerpt(section, 20)));
        return;
    }
    b.type = valueOf(entries, kType);
    if (!b.type.isEmpty() && !bikeTypes().contains(b.type)) {
        m_problems.append(QStringLiteral("kolo „%1“ má neznámý typ „%2“").arg(excerpt(b.name, 30), excerpt(b.type, 30)));
        b.type = bikeTypes().constLast();
    }
    const QString before = valueOf(entries, kKmBefore);
    if (const auto km = kmOf(before))
        b.kmBefore = *km;
    else if (!before.isEmpty())
        m_problems.append(QStringLiteral("kolo „%1“: najeto před deníkem „%2“ není počet km")
                              .arg(excerpt(b.name, 30), excerpt(before, 30)));
    b.isDefault = isFlagSet(entries, kDefault);
    b.retired = isFlagSet(entries, kRetired);
    m_bikes.append(b);
}

void Garage::readPart(const QString &section, const IniFile::Entries &entries)
{
    Part p;
    p.section = section;
    p.name = valueOf(entries, kName);
    const QString shown = excerpt(p.name.isEmpty() ? section : p.name, 30);
    const QString km = valueOf(entries, kIntervalKm);
    if (!km.isEmpty()) {
        p.intervalKm = kmOf(km);
        if (!p.intervalKm || *p.intervalKm <= 0) {
            p.intervalKm.reset();
            m_problems.append(QStringLiteral("díl „%1“: interval „%2“ není počet km").arg(shown, excerpt(km, 30)));
        }
    }
    const QString months = valueOf(entries, kIntervalMonths);
    p.intervalMonths = IniFile::parseInteger(months, 0);
    if (p.intervalMonths < 0 || p.intervalMonths > 1200 || (p.intervalMonths == 0 && !months.isEmpty())) {
        m_problems.append(QStringLiteral("díl „%1“: interval „%2“ není počet měsíců").arg(shown, excerpt(months, 30)));
        p.intervalMonths = 0;
    }
    bool badEvent = false;
    for (const auto &[key, value] : entries) {
        if (!key.startsWith(kEvent, Qt::CaseInsensitive) || p.events.size() >= kMaxEventsPerPart)
            continue;
        const QStringList fields = value.split(u';');
        // An event of an unknown kind is left out.
        const qsizetype kind = eventWords().indexOf(fields.value(1).trimmed());
        if (kind < 0) {
            badEvent = true;
            continue;
        }
        PartEvent e;
        e.date = dateOf(fields.value(0));
        e.kind = PartEvent::Kind(kind);
        e.bike = fields.value(2).trimmed();
        const bool needsBike = e.kind == PartEvent::Mounted || e.kind == PartEvent::Moved;
        // Events keep their order: one out of order is left out.
        if (!e.date.isValid() || (needsBike && e.bike.isEmpty())
            || (!p.events.isEmpty() && (e.date < p.events.constLast().date || e.kind == PartEvent::Mounted
                                        || p.events.constLast().kind == PartEvent::Replaced))
            || (p.events.isEmpty() && e.kind != PartEvent::Mounted)) {
            badEvent = true;
            continue;
        }
        p.events.append(e);
    }
    if (badEvent)
        m_problems.append(QStringLiteral("díl „%1“ má v historii nepoužitelné záznamy").arg(shown));
    if (p.events.isEmpty()) {
        m_problems.append(QStringLiteral("díl „%1“ nemá datum montáže").arg(shown));
        return;
    }
    m_parts.append(p);
}

// ---------------------------------------------------------------- looking up

void Garage::indexBikes()
{
    m_bikeIndex.clear();
    for (qsizetype i = 0; i < m_bikes.size(); ++i)
        m_bikeIndex.insert(m_bikes.at(i).section.toCaseFolded(), i);
}

const Bike *Garage::bikeBySection(const QString &section) const
{
    const auto it = m_bikeIndex.constFind(section.toCaseFolded());
    return it == m_bikeIndex.constEnd() ? nullptr : &m_bikes.at(it.value());
}

const Bike *Garage::bikeNamed(QStringView name) const
{
    for (const Bike &b : m_bikes)
        if (b.name.size() == name.size() && name.compare(b.name, Qt::CaseInsensitive) == 0)
            return &b;
    return nullptr;
}

const Bike *Garage::defaultBike() const
{
    for (const Bike &b : m_bikes)
        if (b.isDefault)
            return &b;
    return nullptr;
}

const Part *Garage::partBySection(const QString &section) const
{
    for (const Part &p : m_parts)
        if (p.section.compare(section, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

Bike *Garage::bike(const QString &section)
{
    return const_cast<Bike *>(bikeBySection(section));
}

Part *Garage::part(const QString &section)
{
    return const_cast<Part *>(partBySection(section));
}

QList<const Bike *> Garage::bikesInOrder() const
{
    QList<const Bike *> order;
    for (const Bike &b : m_bikes)
        order.append(&b);
    std::stable_sort(order.begin(), order.end(), [](const Bike *a, const Bike *b) {
        if (a->retired != b->retired)
            return !a->retired;
        return a->name.localeAwareCompare(b->name) < 0;
    });
    return order;
}

QList<const Part *> Garage::partsOf(const QString &bikeSection) const
{
    QList<const Part *> list;
    for (const Part &p : m_parts)
        if (p.bike().compare(bikeSection, Qt::CaseInsensitive) == 0)
            list.append(&p);
    std::stable_sort(list.begin(), list.end(),
                     [](const Part *a, const Part *b) { return !a->isReplaced() && b->isReplaced(); });
    return list;
}

QString Garage::bikeNameProblem(const QString &name, const QString &section) const
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Kolo musí mít název.");
    if (name != name.trimmed())
        return QStringLiteral("Název kola nesmí začínat ani končit mezerou.");
    if (name.contains(u'\r') || name.contains(u'\n') || name.contains(u'\t'))
        return QStringLiteral("Název kola nesmí obsahovat konec řádku ani tabulátor.");
    if (name.size() > kMaxNameLength)
        return QStringLiteral("Název kola může mít nejvýš %1 znaků.").arg(kMaxNameLength);
    if (const QString lost = AnsiFile::unencodableCharacters(name); !lost.isEmpty())
        return QStringLiteral("Znaky %1 nelze uložit do souborů s jízdami a koly (kódování Windows-1250).")
            .arg(excerpt(lost, 20));
    if (const Bike *other = bikeNamed(name); other && other->section.compare(section, Qt::CaseInsensitive) != 0)
        return QStringLiteral("Kolo „%1“ už v seznamu je (velikost písmen se nerozlišuje).").arg(other->name);
    return QString();
}

QString Garage::partNameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Díl musí mít název.");
    if (name.contains(u'\r') || name.contains(u'\n'))
        return QStringLiteral("Název dílu nesmí obsahovat konec řádku.");
    if (name.trimmed().size() > kMaxNameLength)
        return QStringLiteral("Název dílu může mít nejvýš %1 znaků.").arg(kMaxNameLength);
    if (const QString lost = AnsiFile::unencodableCharacters(name); !lost.isEmpty())
        return QStringLiteral("Znaky %1 nelze uložit do souboru s koly (kódování Windows-1250).").arg(excerpt(lost, 20));
    return QString();
}

// ---------------------------------------------------------------- changes

void Garage::write(const QList<IniFile::SectionChange> &changes)
{
    if (!m_writer)
        throw AppError(QStringLiteral("Soubor s koly nelze zapsat."));
    m_writer(changes);
}

QString Garage::freeSection(const QString &prefix) const
{
    return prefix + QString::number((prefix == kBikePrefix ? m_lastBike : m_lastPart) + 1);
}

const Bike &Garage::addBike(Bike b)
{
    b.section = freeSection(kBikePrefix);
    b.isDefault = m_bikes.isEmpty() || !defaultBike();
    write({{b.section, bikeEntries(b)}});
    ++m_lastBike;
    m_bikes.append(b);
    indexBikes();
    return m_bikes.constLast();
}

void Garage::updateBike(const Bike &changed)
{
    Bike *b = bike(changed.section);
    if (!b)
        return;
    Bike next = *b;
    next.name = changed.name;
    next.type = changed.type;
    next.kmBefore = changed.kmBefore;
    write({{next.section, bikeEntries(next)}});
    *b = next;
}

void Garage::setRetired(const QString &section, bool retired)
{
    Bike *b = bike(section);
    if (!b)
        return;
    // A retired bike is no default for new rides.
    const bool wasDefault = b->isDefault && retired;
    write({{b->section, {{kDefault, flag(b->isDefault && !retired)}, {kRetired, flag(retired)}}}});
    b->retired = retired;
    b->isDefault = b->isDefault && !wasDefault;
}

void Garage::setDefault(const QString &section)
{
    QList<IniFile::SectionChange> changes;
    for (const Bike &b : m_bikes)
        if (b.isDefault != (b.section == section))
            changes.append({b.section, {{kDefault, flag(!b.isDefault)}}});
    write(changes);
    for (Bike &b : m_bikes)
        b.isDefault = b.section == section;
}

void Garage::removeBike(const QString &section)
{
    if (!partsOf(section).isEmpty())
        throw AppError(QStringLiteral("Kolo má díly: nejdřív je přesuňte na jiné kolo nebo odstraňte."));
    IniFile::SectionChange erase;
    erase.section = section;
    erase.erase = true;
    write({erase});
    m_bikes.removeIf([&](const Bike &b) { return b.section == section; });
    indexBikes();
}

const Part &Garage::addPart(Part p)
{
    p.section = freeSection(kPartPrefix);
    write({{p.section, partEntries(p)}});
    ++m_lastPart;
    m_parts.append(p);
    return m_parts.constLast();
}

void Garage::updatePart(const Part &changed)
{
    Part *p = part(changed.section);
    if (!p)
        return;
    write({{changed.section, partEntries(changed)}});
    *p = changed;
}

void Garage::removePart(const QString &section)
{
    IniFile::SectionChange erase;
    erase.section = section;
    erase.erase = true;
    write({erase});
    m_parts.removeIf([&](const Part &p) { return p.section == section; });
}

void Garage::addEvent(const QString &partSection, const PartEvent &event)
{
    const Part *p = partBySection(partSection);
    if (!p)
        return;
    Part next = *p;
    next.events.append(event);
    updatePart(next);
}

const Part &Garage::replacePart(const QString &section, const QDate &date)
{
    const Part *old = partBySection(section);
    if (!old)
        throw AppError(QStringLiteral("Díl nebyl nalezen."));
    Part replaced = *old;
    replaced.events.append({date, PartEvent::Replaced, {}});
    Part fresh;
    fresh.section = freeSection(kPartPrefix);
    fresh.name = old->name;
    fresh.intervalKm = old->intervalKm;
    fresh.intervalMonths = old->intervalMonths;
    fresh.events = {{date, PartEvent::Mounted, old->bike()}};
    write({{replaced.section, partEntries(replaced)}, {fresh.section, partEntries(fresh)}});
    *part(section) = replaced;
    ++m_lastPart;
    m_parts.append(fresh);
    return m_parts.constLast();
}

} // namespace Bikes
