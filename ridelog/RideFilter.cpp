#include "RideFilter.h"
#include "NumberText.h"
#include "RideColumn.h"
#include "RideDayReader.h"
#include "StringTable.h"

#include <array>
#include <memory>

namespace RideFilter {

namespace {
// Every UTF-16 unit's folded form: lower case, and a letter with a
// diacritic as its base letter. The log's texts come from Windows-1250
// files, so the Latin letters matter most; others fold to lower case.
const std::array<char16_t, 0x10000> &foldTable()
{
    static const auto table = [] {
        auto t = std::make_unique<std::array<char16_t, 0x10000>>();
        for (int u = 0; u < 0x10000; ++u) {
            QChar c{char16_t(u)};
            if (c.decompositionTag() == QChar::Canonical) {
                const QString parts = c.decomposition();
                if (!parts.isEmpty() && !QChar::isSurrogate(parts.front().unicode()))
                    c = parts.front();
            }
            (*t)[size_t(u)] = c.toLower().unicode();
        }
        return t;
    }();
    return *table;
}

// Looks for the folded needle in a cell, folding the cell into a buffer
// that is kept between calls.
class FoldedSearch
{
public:
    explicit FoldedSearch(const QString &needle) : m_needle(needle), m_fold(foldTable()) {}

    bool foundIn(QStringView text)
    {
        if (text.size() < m_needle.size())
            return false;
        m_buffer.resize(text.size());
        char16_t *out = reinterpret_cast<char16_t *>(m_buffer.data());
        for (const QChar c : text)
            *out++ = m_fold[c.unicode()];
        return QStringView(m_buffer).contains(m_needle);
    }

private:
    const QString &m_needle;
    const std::array<char16_t, 0x10000> &m_fold;
    QString m_buffer;
};

bool difficultyIs(QStringView cell, int difficulty)
{
    const QStringView t = cell.trimmed();
    return t.size() == 1 && t.front().unicode() == u'0' + difficulty;
}
} // namespace

bool Criteria::isEmpty() const
{
    return text.isEmpty() && !from && !until && !bike && !minKm && !maxKm && difficulty == 0;
}

QString fold(QStringView text)
{
    const auto &table = foldTable();
    QString folded(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        folded[i] = QChar(table[text[i].unicode()]);
    return folded;
}

bool narrows(const Criteria &narrower, const Criteria &wider)
{
    return narrower.from == wider.from && narrower.until == wider.until && narrower.bike == wider.bike
           && narrower.minKm == wider.minKm && narrower.maxKm == wider.maxKm
           && narrower.difficulty == wider.difficulty && fold(narrower.text).contains(fold(wider.text));
}

std::vector<int> matchingRows(const StringTable &log, const Criteria &criteria, const std::vector<int> *among)
{
    const QString needle = fold(criteria.text);
    FoldedSearch search(needle);
    RideDayReader dates;
    const bool anyDate = criteria.from || criteria.until;
    const bool anyKm = criteria.minKm || criteria.maxKm;
    std::vector<int> rows;
    const int count = among ? int(among->size()) : log.tableRowCount() - 1;
    for (int i = 0; i < count; ++i) {
        const int r = among ? (*among)[size_t(i)] : i + 1;
        if (!needle.isEmpty() && !search.foundIn(log.cellView(RideColumn::Name, r))
            && !search.foundIn(log.cellView(RideColumn::Course, r)))
            continue;
        if (criteria.difficulty != 0 && !difficultyIs(log.cellView(RideColumn::Difficulty, r), criteria.difficulty))
            continue;
        if (criteria.bike) {
            const QStringView bike = log.cellView(RideColumn::Bike, r);
            if (bike.size() != criteria.bike->size() || bike.compare(*criteria.bike, Qt::CaseInsensitive) != 0)
                continue;
        }
        if (anyKm) {
            const auto km = NumberText::parse(log.cellView(RideColumn::Km, r));
            if (!km || (criteria.minKm && *km < *criteria.minKm) || (criteria.maxKm && *km > *criteria.maxKm))
                continue;
        }
        if (anyDate) {
            const auto day = dates.dayOf(log.cellView(RideColumn::Date, r));
            if (!day || (criteria.from && *day < *criteria.from) || (criteria.until && *day > *criteria.until))
                continue;
        }
        rows.push_back(r);
    }
    return rows;
}

} // namespace RideFilter
