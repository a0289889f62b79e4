#include "LocaleService.h"
#include "MessageRecorder.h"
#include "NumberText.h"
#include "TableSorter.h"
#include "StringTable.h"
#include "TestLocale.h"

#include <QCollatorSortKey>
#include <QRandomGenerator>
#include <QSet>
#include <QtTest>

#include <memory>

namespace {

using Grid = std::unique_ptr<StringTable>;

// A heading row, then one row per key: the key in column 0, the row's
// original number in column 1.
Grid keyGrid(const QStringList &keys)
{
    auto g = std::make_unique<StringTable>();
    g->setTableColumnCount(2);
    g->setTableRowCount(int(keys.size()) + 1);
    g->setCell(0, 0, QStringLiteral("Klíč"));
    g->setCell(1, 0, QStringLiteral("Č."));
    for (int i = 0; i < keys.size(); ++i) {
        g->setCell(0, i + 1, keys[i]);
        g->setCell(1, i + 1, QString::number(i + 1));
    }
    return g;
}

QStringList column(const StringTable &g, int col, int from = 1)
{
    QStringList out;
    for (int r = from; r < g.tableRowCount(); ++r)
        out.append(g.cell(col, r));
    return out;
}

QStringList allCells(const StringTable &g)
{
    QStringList out;
    for (int r = 0; r < g.tableRowCount(); ++r)
        out += g.rowTexts(r);
    return out;
}

bool sortKeys(StringTable &g, TableSorter::KeyKind type,
              TableSorter::Direction dir = TableSorter::Ascending,
              bool caseSensitiv = false)
{
    TableSorter s;
    s.setTable(&g);
    s.setStartIndex(1);
    s.setEndIndex(g.tableRowCount() - 1);
    s.setKeyKind(type);
    s.setSortDirection(dir);
    s.setCaseSensitive(caseSensitiv);
    return s.sort();
}

} // namespace

class TestTableSorter : public QObject
{
    Q_OBJECT
    std::unique_ptr<TestLocale> m_czech;

private slots:
    void initTestCase() { m_czech = std::make_unique<TestLocale>(); }
    void cleanupTestCase() { m_czech.reset(); }

    void defaults();
    void checks_data();
    void checks();
    void messageOnlyWithShowMessageOnError();
    void gridClearedWhenDestroyed();
    void order_data();
    void order();
    void equalKeysKeepTheAlgorithmsOrder_data();
    void equalKeysKeepTheAlgorithmsOrder();
    void numericInvalidKeysCountAsZero();
    void decimalSeparatorOfLocale_data();
    void decimalSeparatorOfLocale();
    void descendingIsReverseOfAscending_data();
    void descendingIsReverseOfAscending();
    void largeRangesAreOrdered_data();
    void largeRangesAreOrdered();
    void wholeRowsMoveInsideRangeOnly();
    void columnMode();
    void columnRangeBeyondLastColumn();
    void sortKeyOrdersAsCollator_data();
    void sortKeyOrdersAsCollator();
};

void TestTableSorter::defaults()
{
    TableSorter s;
    QCOMPARE(s.table(), nullptr);
    QCOMPARE(s.startIndex(), 0);
    QCOMPARE(s.endIndex(), 0);
    QCOMPARE(s.sortIndex(), 0);
    QCOMPARE(s.keyKind(), TableSorter::Character);
    QCOMPARE(s.caseSensitive(), false);
    QCOMPARE(s.sortDirection(), TableSorter::Ascending);
    QCOMPARE(s.sortAlong(), TableSorter::Row);
    QCOMPARE(s.showMessageOnError(), false);
    QCOMPARE(s.resultCode(), 0);
    // Ordinals as stored in a form description.
    QCOMPARE(int(TableSorter::DateTime), 2);
    QCOMPARE(int(TableSorter::Descending), 1);
    QCOMPARE(int(TableSorter::Row), 1);
    QCOMPARE(s.property("keyKind").toInt(), 0);
}

void TestTableSorter::checks_data()
{
    QTest::addColumn<bool>("withGrid");
    QTest::addColumn<bool>("columns");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("cols");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");

    const QString t1 = QStringLiteral("StringGrid není");
    const QString t2 = QStringLiteral("StartIndex je větší či roven EndIndex");
    const QString t3 = QStringLiteral("StartIndex je menší než 0");
    const QString t4 = QStringLiteral("StartIndex je větší než počet řádků/sloupců");
    const QString t5 = QStringLiteral("EndIndex je větší než počet řádků/sloupců");
    const QString t6 = QStringLiteral("Sort Index je menší než 0");
    const QString t7 = QStringLiteral("Sort Index je větší než počet řádků/sloupců");

    QTest::newRow("no grid") << false << false << 4 << 2 << 1 << 3 << 0 << 1 << t1;
    QTest::newRow("no grid before range") << false << false << 4 << 2 << 3 << 1 << -1 << 1 << t1;
    QTest::newRow("one ride") << true << false << 2 << 7 << 1 << 1 << 3 << 2 << t2;
    QTest::newRow("no ride") << true << false << 1 << 7 << 1 << 0 << 3 << 2 << t2;
    QTest::newRow("start negative") << true << false << 4 << 2 << -1 << 2 << 0 << 3 << t3;
    QTest::newRow("both negative") << true << false << 4 << 2 << -3 << -1 << 0 << 3 << t3;
    QTest::newRow("start past rows before end") << true << false << 4 << 2 << 5 << 9 << 0 << 4 << t4;
    QTest::newRow("end past rows") << true << false << 4 << 2 << 1 << 4 << 0 << 5 << t5;
    QTest::newRow("key negative") << true << false << 4 << 2 << 1 << 3 << -1 << 6 << t6;
    QTest::newRow("key = ColCount") << true << false << 4 << 7 << 1 << 3 << 7 << 7 << t7;
    QTest::newRow("key = ColCount - 1") << true << false << 4 << 7 << 1 << 3 << 6 << 0 << "Ok";
    QTest::newRow("end = RowCount - 1") << true << false << 4 << 2 << 0 << 3 << 1 << 0 << "Ok";
    // Sorting columns still measures the range by rows, the key by columns.
    QTest::newRow("columns: end past rows") << true << true << 3 << 10 << 1 << 5 << 0 << 5 << t5;
    QTest::newRow("columns: key = ColCount") << true << true << 10 << 3 << 0 << 2 << 3 << 7 << t7;
}

void TestTableSorter::checks()
{
    QFETCH(bool, withGrid);
    QFETCH(bool, columns);
    QFETCH(int, rows);
    QFETCH(int, cols);
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, key);
    QFETCH(int, code);
    QFETCH(QString, text);

    StringTable g;
    g.setTableRowCount(rows);
    g.setTableColumnCount(cols);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            g.setCell(c, r, QString::number((r * 7 + c * 3) % 5));
    const QStringList before = allCells(g);

    TableSorter s;
    if (withGrid)
        s.setTable(&g);
    s.setSortAlong(columns ? TableSorter::Column : TableSorter::Row);
    s.setStartIndex(start);
    s.setEndIndex(end);
    s.setSortIndex(key);
    s.setKeyKind(TableSorter::Numeric);

    QCOMPARE(s.sort(), code == 0);
    QCOMPARE(s.resultCode(), code);
    QCOMPARE(s.resultText(), text);
    if (code != 0)
        QCOMPARE(allCells(g), before);
}

void TestTableSorter::messageOnlyWithShowMessageOnError()
{
    MessageRecorder recorder;
    Grid g = keyGrid({QStringLiteral("b"), QStringLiteral("a")});
    TableSorter s;
    s.setTable(g.get());
    s.setStartIndex(1);
    s.setEndIndex(1);

    QVERIFY(!s.sort());
    QVERIFY(recorder.shown.isEmpty());

    s.setShowMessageOnError(true);
    QVERIFY(!s.sort());
    QCOMPARE(recorder.shown.size(), 1);
    QCOMPARE(recorder.shown[0].first, Messages::Kind::ErrorDialog);
    QCOMPARE(recorder.shown[0].second, QStringLiteral("StartIndex je větší či roven EndIndex"));

    // A sort that succeeds shows nothing and resets the result.
    s.setEndIndex(2);
    QVERIFY(s.sort());
    QCOMPARE(recorder.shown.size(), 1);
    QCOMPARE(s.resultCode(), 0);
    QCOMPARE(s.resultText(), QStringLiteral("Ok"));
    QCOMPARE(column(*g, 0), QStringList({"a", "b"}));
}

void TestTableSorter::gridClearedWhenDestroyed()
{
    TableSorter s;
    {
        Grid g = keyGrid({QStringLiteral("b"), QStringLiteral("a")});
        s.setTable(g.get());
        s.setStartIndex(1);
        s.setEndIndex(2);
        QVERIFY(s.sort());
    }
    QCOMPARE(s.table(), nullptr);
    QVERIFY(!s.sort());
    QCOMPARE(s.resultCode(), 1);
    QCOMPARE(s.resultText(), QStringLiteral("StringGrid není"));
}

void TestTableSorter::order_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("caseSensitiv");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("expected");

    const int text = TableSorter::Character;
    const int num = TableSorter::Numeric;
    const int date = TableSorter::DateTime;

    QTest::newRow("text: numbers as text") << text << false
        << QStringList{"10", "9", "abc", ""} << QStringList{"", "10", "9", "abc"};
    // Ranges of up to five are bubble sorted: equal keys keep their order.
    QTest::newRow("text: stable, A first") << text << false
        << QStringList{"b", "A", "a"} << QStringList{"A", "a", "b"};
    QTest::newRow("text: stable, a first") << text << false
        << QStringList{"b", "a", "A"} << QStringList{"a", "A", "b"};
    QTest::newRow("text: case sensitive flag, A first") << text << true
        << QStringList{"b", "A", "a"} << QStringList{"A", "a", "b"};
    QTest::newRow("text: case sensitive flag, a first") << text << true
        << QStringList{"b", "a", "A"} << QStringList{"a", "A", "b"};
    QTest::newRow("text: Czech, bubble") << text << false
        << QStringList{"hrad", "chata", "čáp", "cesta", "dům"}
        << QStringList{"cesta", "čáp", "dům", "hrad", "chata"};
    QTest::newRow("text: Czech, quicksort") << text << false
        << QStringList{"chata", "Žďár", "hrad", "Čerčany", "izba", "cesta", "řeka", "Rokytnice", "", "ševce"}
        << QStringList{"", "cesta", "Čerčany", "hrad", "chata", "izba", "Rokytnice", "řeka", "ševce", "Žďár"};
    // Case is ignored with either setting of the flag.
    QTest::newRow("text: case sensitive flag, quicksort") << text << true
        << QStringList{"Chata", "hrad", "cesta", "Dům", "čáp", "Izba", "", "bába"}
        << QStringList{"", "bába", "cesta", "čáp", "Dům", "hrad", "Chata", "Izba"};
    QTest::newRow("numeric: decimal comma, sign, exponent, blanks") << num << false
        << QStringList{"42,5", " 1,5e1 ", "-3", "+2", "100", "0,25", "7"}
        << QStringList{"-3", "0,25", "+2", "7", " 1,5e1 ", "42,5", "100"};
    // Equal keys that no double represents exactly must not throw the
    // partition off.
    QTest::newRow("numeric: equal inexact keys") << num << false
        << QStringList{"22,3", "18,2", "22,3", "22,3", "18,2", "0,1", "22,3", "0,1", "18,2", "22,3", "22,3", "22,3"}
        << QStringList{"0,1", "0,1", "18,2", "18,2", "18,2", "22,3", "22,3", "22,3", "22,3", "22,3", "22,3", "22,3"};
    QTest::newRow("numeric: all equal inexact") << num << false
        << QStringList{"22,3", "22,3", "22,3", "22,3", "22,3", "22,3", "22,3"}
        << QStringList{"22,3", "22,3", "22,3", "22,3", "22,3", "22,3", "22,3"};
    QTest::newRow("date: days") << date << false
        << QStringList{"1.1.2006", "7.5.2005", "3.5.2005"} << QStringList{"3.5.2005", "7.5.2005", "1.1.2006"};
    QTest::newRow("date: times alone") << date << false
        << QStringList{"10:00", "9:30", "1:55", "0:05"} << QStringList{"0:05", "1:55", "9:30", "10:00"};
    QTest::newRow("date: dates with times") << date << false
        << QStringList{"7.5.2005 18:30", "7.5.2005 8:15", "7.5.2005", "6.5.2005 23:59", "8.5.2005 0:01", "7.5.2005 18:29"}
        << QStringList{"6.5.2005 23:59", "7.5.2005", "7.5.2005 8:15", "7.5.2005 18:29", "7.5.2005 18:30", "8.5.2005 0:01"};
    QTest::newRow("date: invalid is day 0, before a time") << date << false
        << QStringList{"3.5.2005", "1:55", "nic", "31.12.1899"} << QStringList{"nic", "1:55", "31.12.1899", "3.5.2005"};
}

void TestTableSorter::order()
{
    QFETCH(int, type);
    QFETCH(bool, caseSensitiv);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, expected);

    Grid g = keyGrid(keys);
    QVERIFY(sortKeys(*g, TableSorter::KeyKind(type), TableSorter::Ascending, caseSensitiv));
    QCOMPARE(column(*g, 0), expected);
    QCOMPARE(g->cell(0, 0), QStringLiteral("Klíč"));
}

// Equal keys end up where the partition puts them, which is not the order a
// stable sort would give. Each trace uses grid rows 1..n, the pivot value is
// the key at (lo + hi) / 2; "#n" is the row's original number, "a<>b" an
// exchange of the positions a and b.
void TestTableSorter::equalKeysKeepTheAlgorithmsOrder_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("expected"); // original row numbers

    const int text = TableSorter::Character;
    const int num = TableSorter::Numeric;
    const int date = TableSorter::DateTime;
    const QStringList km{"12,5", "25", "8", "25,0", "40,2", "12,5", "25", "12,5"};

    // 1..8 pivot 25: 2<>8, 4<>7, 5<>6 -> 1..5 | 6..8.
    // 1..5 pivot 8: 1<>3 -> 1 | 2..5; 2..5 pivot 12,5: 2<>5, 3<>3 -> 4..5: 4<>5.
    // 6..8 pivot 25: 6<>8, 7<>7. A stable sort: 3 1 6 8 2 4 7 5.
    QTest::newRow("numeric: rides with the same km") << num << false << km
        << QStringList{"3", "6", "1", "8", "7", "2", "4", "5"};
    // The ascending result reversed (a stable descending sort: 5 2 4 7 1 6 8 3).
    QTest::newRow("numeric: same km, descending") << num << true << km
        << QStringList{"5", "4", "2", "7", "8", "1", "6", "3"};
    // Values 3 0 0 0 -1 0 3. 1..7 pivot 0: 1<>6, 2<>5, 3<>4 -> 1..3 | 4..7.
    // 1..3 pivot -1: 1<>2 -> 2..3: 2<>3. 4..7 pivot 0: 4<>5 -> 5..7 pivot 3:
    // 6<>7 -> 5..6 pivot 0: 5<>5. A stable sort: 5 2 3 4 6 1 7.
    QTest::newRow("numeric: texts that are no number equal 0") << num << false
        << QStringList{"3", "", "abc", "0", "-1", "nic", "3,0"}
        << QStringList{"5", "4", "6", "2", "3", "7", "1"};
    // Folded L B V L B L V B. 1..8 pivot LHOTA: 1<>8, 3<>6, 4<>5 -> 1..4 | 5..8,
    // both bubble sorted: #8 #2 #6 #5 -> 8 2 5 6; #4 #3 #7 #1 -> 4 1 3 7.
    // A stable sort: 2 5 8 1 4 6 3 7.
    QTest::newRow("text: equal but for case, quicksort") << text << false
        << QStringList{"Lhota", "Brno", "Ves", "lhota", "brno", "LHOTA", "ves", "Brno"}
        << QStringList{"8", "2", "5", "6", "4", "1", "3", "7"};
    // Keys H "" H CH H "" CH ("ch" after "h"). 1..7 pivot CHATA: 4<>7 ->
    // 1..6 | 7. 1..6 (six rows, still a quicksort) pivot HRAD: 1<>6, 3<>5 ->
    // bubble 1..3 (#6 #2 #5 stay) and 4..6 (#7 #3 #1 -> 3 1 7).
    // A stable sort: 2 6 1 3 5 4 7.
    QTest::newRow("text: empty and Czech keys, quicksort") << text << false
        << QStringList{"Hrad", "", "hrad", "Chata", "HRAD", "", "chata"}
        << QStringList{"6", "2", "5", "3", "1", "7", "4"};
    // Five rows are only bubble sorted, so equal keys keep their order; the
    // quicksort would give 4 2 5 1 3.
    QTest::newRow("text: five rows, bubble sort") << text << false
        << QStringList{"Ves", "lhota", "ves", "Lhota", "VES"}
        << QStringList{"2", "4", "1", "3", "5"};
    // Days 3 7 1 3 1 3 7. 1..7 pivot 3.5.: 1<>6, 2<>5, 4<>4 -> 1..3 | 5..7.
    // 1..3 pivot 1.5.: 1<>3, 2<>2. 5..7 pivot 3.5.: 5<>6 -> 6..7: 6<>7.
    // A stable sort: 3 5 1 4 6 2 7.
    QTest::newRow("date: rides on the same day") << date << false
        << QStringList{"3.5.2005", "7.5.2005", "1.5.2005", "3.5.2005", "1.5.2005", "3.5.2005", "7.5.2005"}
        << QStringList{"3", "5", "6", "4", "1", "7", "2"};
}

void TestTableSorter::equalKeysKeepTheAlgorithmsOrder()
{
    QFETCH(int, type);
    QFETCH(bool, descending);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, expected);

    Grid g = keyGrid(keys);
    QVERIFY(sortKeys(*g, TableSorter::KeyKind(type),
                     descending ? TableSorter::Descending : TableSorter::Ascending));
    QCOMPARE(column(*g, 1), expected);
}

void TestTableSorter::numericInvalidKeysCountAsZero()
{
    Grid g = keyGrid({"10", "9", "abc", ""});
    QVERIFY(sortKeys(*g, TableSorter::Numeric));
    const QStringList got = column(*g, 0);
    QCOMPARE(got.mid(2), QStringList({"9", "10"}));
    QCOMPARE(QSet<QString>(got.begin(), got.begin() + 2), QSet<QString>({"abc", ""}));
}

void TestTableSorter::decimalSeparatorOfLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("Czech: comma") << QLocale(QLocale::Czech, QLocale::CzechRepublic)
                                  << QStringList{"-1", "7", "42,5", "100"};
    QTest::newRow("English: dot") << QLocale(QLocale::English, QLocale::UnitedStates)
                                  << QStringList{"-1", "42,5", "7", "100"};
}

void TestTableSorter::decimalSeparatorOfLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, expected);
    TestLocale pinned(locale);
    Grid g = keyGrid({"100", "42,5", "7", "-1"});
    QVERIFY(sortKeys(*g, TableSorter::Numeric));
    QCOMPARE(column(*g, 0), expected);
}

void TestTableSorter::descendingIsReverseOfAscending_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("keys");

    QStringList text, num, date;
    const QStringList words{"a", "A", "b", "B", "", "ch", "h", "č"};
    for (int i = 0; i < 40; ++i) {
        text << words[(i * 5 + 3) % words.size()];
        num << QString::number((i * 7) % 4) + QStringLiteral(",3");
        date << QStringLiteral("%1.5.2005").arg((i * 3) % 5 + 1);
    }
    QTest::newRow("text") << int(TableSorter::Character) << text;
    QTest::newRow("numeric") << int(TableSorter::Numeric) << num;
    QTest::newRow("date") << int(TableSorter::DateTime) << date;
}

void TestTableSorter::descendingIsReverseOfAscending()
{
    QFETCH(int, type);
    QFETCH(QStringList, keys);
    const auto t = TableSorter::KeyKind(type);

    Grid up = keyGrid(keys);
    Grid down = keyGrid(keys);
    QVERIFY(sortKeys(*up, t, TableSorter::Ascending));
    QVERIFY(sortKeys(*down, t, TableSorter::Descending));

    QStringList ascendingIds = column(*up, 1);
    std::reverse(ascendingIds.begin(), ascendingIds.end());
    QCOMPARE(column(*down, 1), ascendingIds);
}

void TestTableSorter::largeRangesAreOrdered_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QStringList>("keys");

    QRandomGenerator rng(20050503);
    const QStringList syllables{"ch", "h", "č", "c", "ř", "r", "á", "a", "Š", "s", "Ž", "z", "ě", "e", " ", "-"};
    QStringList text, num, date;
    for (int i = 0; i < 3000; ++i) {
        QString w;
        for (int n = int(rng.bounded(4)); n >= 0; --n)
            w += syllables[int(rng.bounded(syllables.size()))];
        text << (rng.bounded(20) == 0 ? QString() : w);
        num << QStringLiteral("%1,%2").arg(rng.bounded(200)).arg(rng.bounded(10));
        date << QStringLiteral("%1.%2.%3 %4:%5").arg(rng.bounded(1, 29)).arg(rng.bounded(1, 13))
                    .arg(rng.bounded(2000, 2010)).arg(rng.bounded(24)).arg(rng.bounded(60), 2, 10, QChar(u'0'));
    }
    QTest::newRow("text") << int(TableSorter::Character) << text;
    QTest::newRow("numeric") << int(TableSorter::Numeric) << num;
    QTest::newRow("date") << int(TableSorter::DateTime) << date;
}

// The result is checked with the plain conversions and the collator, not
// with anything the sorter precomputes.
void TestTableSorter::largeRangesAreOrdered()
{
    QFETCH(int, type);
    QFETCH(QStringList, keys);
    Grid g = keyGrid(keys);
    QVERIFY(sortKeys(*g, TableSorter::KeyKind(type)));

    const LocaleService &ls = LocaleService::instance();
    const QStringList got = column(*g, 0);
    for (int i = 1; i < got.size(); ++i) {
        const QString &a = got[i - 1], &b = got[i];
        bool inOrder = true;
        if (type == TableSorter::Character)
            inOrder = ls.compareText(a, b) <= 0;
        else if (type == TableSorter::Numeric)
            inOrder = NumberText::parse(a, u',').value() <= NumberText::parse(b, u',').value();
        else
            inOrder = ls.parseDateTime(a).value() <= ls.parseDateTime(b).value();
        if (!inOrder)
            QFAIL(qPrintable(QStringLiteral("\"%1\" before \"%2\" at %3").arg(a, b).arg(i)));
    }
    // Every row moved with its key.
    QSet<int> ids;
    for (int r = 1; r < g->tableRowCount(); ++r) {
        const int id = g->cell(1, r).toInt();
        QCOMPARE(g->cell(0, r), keys[id - 1]);
        ids.insert(id);
    }
    QCOMPARE(ids.size(), keys.size());
}

void TestTableSorter::wholeRowsMoveInsideRangeOnly()
{
    // A ride log: headings, rides 1..6 to sort, two rows after the range.
    StringTable g;
    g.setTableColumnCount(7);
    g.setTableRowCount(9);
    const QStringList km{"", "42,5", "12", "7", "101,25", "12", "0,5", "3", "1"};
    for (int r = 0; r < 9; ++r)
        g.setRowTexts(r, {QStringLiteral("%1.5.2005").arg(r), QStringLiteral("Trasa %1").arg(r), "Lhota - Ves",
                      km[r], "01:55", QString::number(r), "3"});
    g.setRowTexts(0, {"Datum", "Název", "Průběh trasy", "Km", "Čas", "km/h", "1-5"});
    g.setRowHeight(2, 40);
    g.setRowHeight(8, 33);
    g.setColumnWidth(0, 62);
    QList<QStringList> before;
    for (int r = 0; r < 9; ++r)
        before << g.rowTexts(r);

    TableSorter s;
    s.setTable(&g);
    s.setStartIndex(1);
    s.setEndIndex(6);
    s.setSortIndex(3);
    s.setKeyKind(TableSorter::Numeric);
    s.setSortDirection(TableSorter::Descending);
    QVERIFY(s.sort());

    QCOMPARE(g.rowTexts(0), before[0]);
    QCOMPARE(g.rowTexts(7), before[7]);
    QCOMPARE(g.rowTexts(8), before[8]);
    // By km descending: 4 (101,25), 1 (42,5), the two 12s (2 and 5), 3 (7), 6 (0,5).
    const int order[] = {4, 1, -1, -1, 3, 6};
    for (int p = 1; p <= 6; ++p) {
        const int src = g.cell(5, p).toInt();
        QCOMPARE(g.rowTexts(p), before[src]);
        if (order[p - 1] >= 0)
            QCOMPARE(src, order[p - 1]);
        else
            QVERIFY(src == 2 || src == 5);
    }
    QCOMPARE(g.rowHeight(2), 40);
    QCOMPARE(g.rowHeight(1), g.defaultRowHeight());
    QCOMPARE(g.rowHeight(8), 33);
    QCOMPARE(g.columnWidth(0), 62);
}

void TestTableSorter::columnMode()
{
    // Row 1 holds the keys; columns 1..6 are sorted, 0 and 7 stay.
    StringTable g;
    g.setTableRowCount(3);
    g.setTableColumnCount(8);
    const QStringList keys{"x", "5", "1,5", "30", "-2", "1,5", "4", "y"};
    for (int c = 0; c < 8; ++c)
        g.setColumnTexts(c, {QStringLiteral("H%1").arg(c), keys[c], QString::number(c)});
    g.setColumnWidth(3, 99);

    TableSorter s;
    s.setTable(&g);
    s.setSortAlong(TableSorter::Column);
    s.setStartIndex(1);
    s.setEndIndex(6); // tableRowCount limits the range even here
    QVERIFY(!s.sort());
    QCOMPARE(s.resultCode(), 5);

    g.setTableRowCount(7);
    s.setSortIndex(1);
    s.setKeyKind(TableSorter::Numeric);
    QVERIFY(s.sort());

    QStringList gotKeys, gotIds;
    for (int c = 0; c < 8; ++c) {
        gotKeys << g.cell(c, 1);
        gotIds << g.cell(c, 2);
        QCOMPARE(g.cell(c, 0), QStringLiteral("H%1").arg(g.cell(c, 2)));
    }
    QCOMPARE(gotKeys, QStringList({"x", "-2", "1,5", "1,5", "4", "5", "30", "y"}));
    QCOMPARE(gotIds.first(), QStringLiteral("0"));
    QCOMPARE(gotIds.last(), QStringLiteral("7"));
    QCOMPARE(g.columnWidth(3), 99);
}

void TestTableSorter::columnRangeBeyondLastColumn()
{
    // 20 rows let the range pass the checks, but there are only 4 columns:
    // the columns that exist are sorted, the rest of the range is skipped.
    StringTable g;
    g.setTableRowCount(20);
    g.setTableColumnCount(4);
    for (int c = 0; c < 4; ++c)
        g.setCell(c, 0, QString(QChar(u'd' - c)));

    TableSorter s;
    s.setTable(&g);
    s.setSortAlong(TableSorter::Column);
    s.setStartIndex(1);
    s.setEndIndex(15);
    QVERIFY(s.sort());
    QCOMPARE(g.rowTexts(0), QStringList({"d", "a", "b", "c"}));
    QCOMPARE(g.tableColumnCount(), 4);

    s.setStartIndex(5); // nothing of the range exists
    QVERIFY(s.sort());
    QCOMPARE(g.rowTexts(0), QStringList({"d", "a", "b", "c"}));
}

void TestTableSorter::sortKeyOrdersAsCollator_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("Czech") << QLocale(QLocale::Czech, QLocale::CzechRepublic);
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedKingdom);
}

// The sorter compares collator sort keys instead of collating texts; the
// two must agree for every pair, or the order would depend on the method.
void TestTableSorter::sortKeyOrdersAsCollator()
{
    QFETCH(QLocale, locale);
    TestLocale pinned(locale);
    const QCollator &collator = LocaleService::instance().collator();
    const QStringList texts{"", " ", "a", "A", "á", "Á", "b", "c", "C", "č", "Č", "ch", "CH", "Ch", "h", "H",
                            "hrad", "Hrad", "chata", "cesta", "čáp", "ř", "r", "s", "š", "z", "ž", "ÿ", "10", "9",
                            "a-b", "ab", "a b", "Lhota - Ves", "Lhota-Ves", "Žďár nad Sázavou", "zdar", "ß", "ss"};
    for (const QString &a : texts) {
        for (const QString &b : texts) {
            const int direct = collator.compare(a, b);
            const int byKey = collator.sortKey(a).compare(collator.sortKey(b));
            if ((direct > 0) != (byKey > 0) || (direct < 0) != (byKey < 0))
                QFAIL(qPrintable(QStringLiteral("\"%1\" vs \"%2\": %3 / %4").arg(a, b).arg(direct).arg(byKey)));
        }
    }
    // Czech collation is really in use: "ch" after "h", "č" after "c".
    if (locale.language() == QLocale::Czech) {
        QVERIFY(collator.compare("chata", "hrad") > 0);
        QVERIFY(collator.compare("čáp", "cesta") > 0);
        QVERIFY(collator.compare("čáp", "dům") < 0);
    }
}

QTEST_GUILESS_MAIN(TestTableSorter)
#include "tst_tablesorter.moc"
