#include "TableSorter.h"

#include "LocaleService.h"
#include "Messages.h"
#include "NumberText.h"

#include <QCollatorSortKey>
#include <QHash>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// One row of the key table: the key and the position it came from.
// Exchanging two rows exchanges both.
template <typename Key>
struct KeyRow
{
    Key key;
    int source;
};

// A text key, converted once: the collator's sort key orders exactly as
// the collator's comparison of the texts, so the sort never collates text
// at a comparison.
struct TextKey
{
    QCollatorSortKey sortKey;
    bool empty;
};

// QCollatorSortKey has no move constructor: exchange its shared data
// instead of letting std::swap copy it.
void swap(TextKey &a, TextKey &b) noexcept
{
    a.sortKey.swap(b.sortKey);
    std::swap(a.empty, b.empty);
}

template <typename Key>
void swap(KeyRow<Key> &a, KeyRow<Key> &b) noexcept
{
    using std::swap;
    swap(a.key, b.key);
    swap(a.source, b.source);
}

int compareKeys(const TextKey &a, const TextKey &b)
{
    // An empty key orders before any other, even one whose characters
    // the collation ignores.
    if (a.empty || b.empty)
        return int(b.empty) - int(a.empty);
    return a.sortKey.compare(b.sortKey);
}

template <typename Number>
int compareKeys(Number a, Number b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

template <typename Key>
void bubbleSort(std::vector<KeyRow<Key>> &rows, int lo, int hi)
{
    bool exchanged = true;
    while (exchanged) {
        exchanged = false;
        for (int p = lo; p < hi; ++p) {
            if (compareKeys(rows[size_t(p)].key, rows[size_t(p + 1)].key) > 0) {
                swap(rows[size_t(p)], rows[size_t(p + 1)]);
                exchanged = true;
            }
        }
    }
}

// Quicksort with the middle key as pivot, taken once before partitioning.
// With smallRangesByBubble, ranges of at most five positions are bubble
// sorted instead (stable). The pivot has the keys' own type: a long double
// key compared with a pivot rounded to double would let the scans run past
// a range of equal keys such as "22,3".
//
// The smaller part is sorted by recursion and the larger one by the loop,
// which keeps the stack shallow; the parts are disjoint, so the result is
// the same as sorting lo..j first and then i..hi.
template <typename Key>
void quickSort(std::vector<KeyRow<Key>> &rows, int lo, int hi, bool smallRangesByBubble)
{
    for (;;) {
        if (smallRangesByBubble && hi - lo <= 4) {
            bubbleSort(rows, lo, hi);
            return;
        }
        if (lo >= hi)
            return;
        const Key pivot = rows[size_t((lo + hi) / 2)].key;
        int i = lo;
        int j = hi;
        while (i <= j) {
            while (compareKeys(rows[size_t(i)].key, pivot) < 0)
                ++i;
            while (compareKeys(rows[size_t(j)].key, pivot) > 0)
                --j;
            if (i <= j) {
                swap(rows[size_t(i)], rows[size_t(j)]);
                ++i;
                --j;
            }
        }
        if (j - lo < hi - i) {
            quickSort(rows, lo, j, smallRangesByBubble);
            lo = i;
        } else {
            quickSort(rows, i, hi, smallRangesByBubble);
            hi = j;
        }
    }
}

// Only a to z are folded; every other character stays as it is.
QString foldAsciiUpper(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z')
            c = QChar(char16_t(u - (u'a' - u'A')));
    }
    return out;
}

// A ride log repeats its route names and dates many times: each distinct
// text is converted once and its key shared.
template <typename Key, typename Convert>
class ConvertOnce
{
public:
    explicit ConvertOnce(const Convert &convert)
        : m_convert(convert)
    {
    }
    Key operator()(QStringView text)
    {
        auto it = m_seen.constFind(text);
        if (it == m_seen.constEnd())
            it = m_seen.emplace(text, m_convert(text));
        return it.value();
    }

private:
    const Convert &m_convert;
    QHash<QStringView, Key> m_seen;
};

// Sorts the keys of positions first..first+n-1 and returns, for each
// position of the range in ascending order, the position it takes its
// texts from.
template <typename Key, typename Convert>
std::vector<int> orderOf(int first, int n, const Convert &keyAt, bool smallRangesByBubble)
{
    std::vector<KeyRow<Key>> rows;
    rows.reserve(size_t(n));
    for (int p = first; p < first + n; ++p)
        rows.push_back(KeyRow<Key>{keyAt(p), p});
    quickSort(rows, 0, n - 1, smallRangesByBubble);
    std::vector<int> sources;
    sources.reserve(size_t(n));
    for (const auto &r : rows)
        sources.push_back(r.source);
    return sources;
}

} // namespace

TableSorter::TableSorter(QObject *parent)
    : QObject(parent)
{
}

QString TableSorter::resultText(int code)
{
    switch (code) {
    case 0: return QStringLiteral("Ok");
    case 1: return QStringLiteral("StringGrid není");
    case 2: return QStringLiteral("StartIndex je větší či roven EndIndex");
    case 3: return QStringLiteral("StartIndex je menší než 0");
    case 4: return QStringLiteral("StartIndex je větší než počet řádků/sloupců");
    case 5: return QStringLiteral("EndIndex je větší než počet řádků/sloupců");
    case 6: return QStringLiteral("Sort Index je menší než 0");
    case 7: return QStringLiteral("Sort Index je větší než počet řádků/sloupců");
    }
    return QString();
}

QString TableSorter::resultText() const
{
    return resultText(m_resultCode);
}

// The checks in their order; the first that fails gives the code. Both
// ways of sorting compare the range with tableRowCount and the key with
// tableColumnCount.
int TableSorter::check() const
{
    if (!m_grid)
        return 1;
    if (m_startIndex >= m_endIndex)
        return 2;
    if (m_startIndex < 0)
        return 3;
    if (m_startIndex > m_grid->tableRowCount() - 1)
        return 4;
    if (m_endIndex > m_grid->tableRowCount() - 1)
        return 5;
    if (m_sortIndex < 0)
        return 6;
    if (m_sortIndex > m_grid->tableColumnCount() - 1)
        return 7;
    return 0;
}

bool TableSorter::sort()
{
    m_resultCode = check();
    if (m_resultCode > 0) {
        if (m_showMessageOnError)
            Messages::instance().errorDialog(resultText());
        return false;
    }
    reorder();
    return true;
}

void TableSorter::reorder()
{
    StringTable &grid = *m_grid;
    const bool byRows = m_sortAlong == Row;
    const int first = m_startIndex;
    int last = m_endIndex;
    // Sorting columns, the checks let the range reach past the last
    // column. Positions there hold no texts and cannot move, so they are
    // left out: only the columns that exist are sorted.
    if (!byRows)
        last = std::min(last, grid.tableColumnCount() - 1);
    const int n = last - first + 1;
    if (n < 2)
        return;

    const int k = m_sortIndex;
    // The views stay valid: the table does not change while keys are read.
    auto keyText = [&grid, byRows, k](int p) {
        return byRows ? grid.cellView(k, p) : grid.cellView(p, k);
    };

    std::vector<int> sources;
    switch (m_keyKind) {
    case Character: {
        const QCollator &collator = LocaleService::instance().collator();
        const bool fold = !m_caseSensitive;
        auto convert = [&](QStringView text) {
            const QString key = fold ? foldAsciiUpper(text) : text.toString();
            return TextKey{collator.sortKey(key), key.isEmpty()};
        };
        ConvertOnce<TextKey, decltype(convert)> keyOf(convert);
        sources = orderOf<TextKey>(first, n, [&](int p) { return keyOf(keyText(p)); }, true);
        break;
    }
    case Numeric: {
        const QChar sep = LocaleService::instance().decimalSeparator();
        auto keyAt = [&](int p) {
            return NumberText::parseExtended(keyText(p), sep).value_or(0.0L);
        };
        sources = orderOf<long double>(first, n, keyAt, false);
        break;
    }
    case DateTime: {
        const LocaleService &locale = LocaleService::instance();
        auto convert = [&](QStringView text) { return locale.parseDateTime(text).value_or(0.0); };
        ConvertOnce<double, decltype(convert)> keyOf(convert);
        sources = orderOf<double>(first, n, [&](int p) { return keyOf(keyText(p)); }, false);
        break;
    }
    }

    // Descending is the ascending result written back reversed, so equal
    // keys also come in the reverse of their ascending order.
    if (m_sortDirection == Descending)
        std::reverse(sources.begin(), sources.end());

    // Whole rows (columns) move; row heights and column widths stay.
    if (byRows)
        grid.permuteRows(first, sources);
    else
        grid.permuteColumns(first, sources);
}
