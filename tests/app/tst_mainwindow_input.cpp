#include "MessageRecorder.h"
#include "Modal.h"
#include "NumberText.h"
#include "RideArithmetic.h"
#include "RideLogFile.h"
#include "RouteNameBox.h"
#include "StringTable.h"
#include "StringTableView.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "MainWindow.h"
#include "WaypointEditor.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QStringList kRide = {"3.5.2005", "Okruh", "Lhota - Ves", "42,5", "01:55", "22,2", "3"};
const QStringList kRide2 = {"7.5.2005", "Do práce", "", "12", "00:40", "18", "1"};

// Rides of 0,20 to 150,19 km, as a rider's log might hold.
QStringList rides(int count)
{
    QStringList km;
    quint32 x = 1;
    for (int i = 0; i < count; ++i) {
        x = (x * 1103515245u + 12345u) & 0x7fffffffu;
        const quint32 cents = x % 15000 + 20;
        km << QString::asprintf("%u,%02u", cents / 100, cents % 100);
    }
    return km;
}

// The exact sums by Python's decimal module, one for each list of numbers,
// in the general number format.
QStringList decimalSums(const QList<QStringList> &lists)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QStringLiteral("import sys, decimal\n"
                                                       "decimal.getcontext().prec = 1000\n"
                                                       "for numbers in sys.stdin.read().split('\\n\\n'):\n"
                                                       "    print(sum(decimal.Decimal(n.strip().replace(',', '.'))"
                                                       " for n in numbers.split('\\n')))")});
    QStringList groups;
    for (const QStringList &numbers : lists)
        groups << numbers.join(u'\n');
    python.write(groups.join(QStringLiteral("\n\n")).toUtf8());
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {};
    QStringList sums;
    for (const QString &sum : QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
        sums << NumberText::format(*NumberText::parse(QString(sum).replace(u'.', u','), u','), u',');
    return sums;
}
} // namespace

// The main window driven by the keys a rider presses, and the numbers and
// widths it shows.
class TestMainWindowInput : public QObject
{
    Q_OBJECT
    TestLocale m_locale;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> msgs;
    std::unique_ptr<MainWindow> w;

    QString file(const QString &name) const { return m_dir->filePath(name); }
    StringTable *log() const { return w->rideLog(); }
    QString cell(int col) const { return log()->cell(col, w->rideTable->currentRow()); }

    void open(const QList<QStringList> &rides)
    {
        putFile(file(QStringLiteral("default.tvl")), rideLogFile(rides));
        w = std::make_unique<MainWindow>(m_dir->path());
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void focus(QWidget *target)
    {
        target->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY2(target->hasFocus(), qPrintable(target->objectName()));
    }
    // Each key goes where the focus is, as from a keyboard; "\n" is Enter.
    static void typeKeys(const QString &keys)
    {
        for (QChar c : keys) {
            if (c == u'\n')
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            else
                QTest::keyClicks(QApplication::focusWidget(), QString(c));
        }
    }
    // A new ride: the picker has the focus, its first part selected.
    void newRide()
    {
        open({kRide});
        QTest::keyClick(w.get(), Qt::Key_N, Qt::ControlModifier);
        QTRY_VERIFY(w->dateEdit->hasFocus());
        QCOMPARE(w->rideTable->currentRow(), 2);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        msgs = std::make_unique<MessageRecorder>();
    }
    void cleanup()
    {
        w.reset();
        msgs.reset();
        m_dir.reset();
    }

    // A name typed and finished by Enter, or by leaving the box, is the
    // ride's name; the favourite or placeholder of that name fills in
    // nothing.
    void typedNameFillsInNothing_data()
    {
        QTest::addColumn<bool>("dropDown"); // favourites are listed from the first drop-down
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("finish");
        QTest::addColumn<QString>("name");
        QTest::newRow("favourite in other letter case, Enter") << true << "brno" << int(Qt::Key_Return) << "brno";
        QTest::newRow("favourite as listed, Enter") << true << "Brno" << int(Qt::Key_Enter) << "Brno";
        QTest::newRow("favourite, Tab") << true << "BRNO" << int(Qt::Key_Tab) << "BRNO";
        QTest::newRow("completed by the completer, Enter") << true << "Br" << int(Qt::Key_Return) << "Brno";
        QTest::newRow("placeholder, Enter") << false << "třetí" << int(Qt::Key_Return) << "třetí";
        QTest::newRow("placeholder in capitals, Enter") << false << "DRUHÁ" << int(Qt::Key_Return) << "DRUHÁ";
    }
    void typedNameFillsInNothing()
    {
        QFETCH(bool, dropDown);
        QFETCH(QString, typed);
        QFETCH(int, finish);
        QFETCH(QString, name);
        putFile(file(QStringLiteral("trasy.ini")), "[Brno]\r\npopis=Brno - Tisnov\r\ndelka=25,5\r\nnaroc=5\r\n");
        open({kRide});
        RouteNameBox *box = w->routeNameBox;
        if (dropDown) {
            box->showPopup();
            box->hidePopup();
        }
        QVERIFY(box->findText(name, Qt::MatchFixedString) >= 0);
        focus(box);
        box->lineEdit()->selectAll();
        if (typed.toLatin1() == typed.toUtf8())
            QTest::keyClicks(box, typed);
        else
            box->lineEdit()->insert(typed); // key events carry ASCII only here
        QCOMPARE(box->currentText(), name); // with the completer's part
        QTest::keyClick(box, Qt::Key(finish));

        QVERIFY(w->distanceEdit->hasFocus());
        QCOMPARE(box->currentText(), name);
        QStringList ride = kRide;
        ride[1] = name;
        QCOMPARE(log()->rowTexts(1), ride);
        QCOMPARE(QStringList({w->courseEdit->text(), w->distanceEdit->text(), w->averageEdit->text(), w->difficultyBox->text()}),
                 QStringList({kRide[2], kRide[3], kRide[5], kRide[6]}));
        QVERIFY(msgs->shown.isEmpty());
    }

    void typedDate_data()
    {
        QTest::addColumn<QString>("keys"); // "\n" stands for Enter
        QTest::addColumn<QString>("date"); // the date cell afterwards
        QTest::addColumn<bool>("movedOn");
        QTest::newRow("whole date") << "15.11.2025" << "15.11.2025" << true;
        QTest::newRow("one-digit day and month") << "3.5.2005" << "3.5.2005" << true;
        QTest::newRow("parts that take no second digit") << "4.7.2024" << "4.7.2024" << true;
        QTest::newRow("the year not complete yet") << "15.11.202" << "" << false;
        QTest::newRow("Enter takes what is typed") << "1.2\n" << "1.2.YYYY" << true;
    }
    void typedDate()
    {
        QFETCH(QString, keys);
        QFETCH(QString, date);
        QFETCH(bool, movedOn);
        newRide();
        typeKeys(keys);
        QCOMPARE(cell(0), date.replace(QStringLiteral("YYYY"), QString::number(QDate::currentDate().year())));
        QCOMPARE(w->routeNameBox->hasFocus(), movedOn);
        QCOMPARE(w->dateEdit->hasFocus(), !movedOn);
        QCOMPARE(w->routeNameBox->currentText(), QString());
        QCOMPARE(cell(1), QString());
    }

    // Typed into the date of a ride after a click and Home: each part
    // typed replaces the part, and the date typed is the date committed,
    // or the rider is told it names no day and nothing is committed.
    void typedDateInARide_data()
    {
        QTest::addColumn<QString>("keys"); // "\n" stands for Enter
        QTest::addColumn<QString>("date"); // the date cell afterwards
        QTest::addColumn<bool>("refused");
        QTest::newRow("whole date") << "15.11.2025" << "15.11.2025" << false;
        QTest::newRow("day only") << "15\n" << "15.5.2005" << false;
        QTest::newRow("leap day, over February of a common year") << "29.2.2024" << "29.2.2024" << false;
        QTest::newRow("two-digit year") << "1.2.25\n" << "1.2.2025" << false;
        QTest::newRow("31 February") << "31.2.2025" << "7.5.2005" << true;
        QTest::newRow("month 13") << "3.13.2024" << "7.5.2005" << true;
        QTest::newRow("day 0") << "0.5.2005" << "7.5.2005" << true;
    }
    void typedDateInARide()
    {
        QFETCH(QString, keys);
        QFETCH(QString, date);
        QFETCH(bool, refused);
        open({kRide2});
        auto *text = w->dateEdit->findChild<QLineEdit *>();
        QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(text->width() / 3, text->height() / 2));
        QTRY_VERIFY(w->dateEdit->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
        typeKeys(keys);
        QCOMPARE(cell(0), date);
        const QString typed = keys.remove(u'\n');
        QCOMPARE(msgs->texts(), refused ? QStringList{u"Datum %1 neexistuje, zadej platné datum."_qs.arg(typed)}
                                        : QStringList());
        QTRY_COMPARE(w->dateEdit->hasFocus(), refused);
        if (refused) {
            QCOMPARE(w->dateEdit->date(), QDate(2005, 5, 7));
            // Leaving now commits the date shown, the ride's own.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCOMPARE(cell(0), date);
        }
    }

    // The calendar opens from the keyboard; walking through it chooses
    // nothing, Enter on a day does.
    void calendarByKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::newRow("F4") << int(Qt::Key_F4) << int(Qt::NoModifier);
        QTest::newRow("Alt+Down") << int(Qt::Key_Down) << int(Qt::AltModifier);
    }
    void calendarByKeys()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        newRide();
        QDateEdit *picker = w->dateEdit;
        const QDate start = picker->date();
        QTest::keyClick(picker, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCalendarWidget *calendar = picker->calendarWidget();
        QTRY_VERIFY(calendar->isVisible());
        QWidget *days = calendar->focusProxy() ? calendar->focusProxy() : calendar;
        QTest::keyClick(days, Qt::Key_Right);
        QVERIFY(calendar->isVisible());
        QCOMPARE(w->focusWidget(), picker);
        QCOMPARE(cell(0), QString());
        QTest::keyClick(days, Qt::Key_Return);
        QTRY_VERIFY(!calendar->isVisible());
        QTRY_VERIFY(w->routeNameBox->hasFocus());
        QCOMPARE(cell(0), LocaleService::instance().formatDate(start.addDays(1)));
    }

    void editButtonByAltE()
    {
        open({kRide});
        QCOMPARE(w->editCourseButton->text(), QStringLiteral("&Editovat"));
        // Each Alt+letter of the window reaches one control only.
        QStringList texts;
        for (const QLabel *l : w->findChildren<QLabel *>())
            texts << l->text();
        for (const QAction *a : w->menuBar()->actions())
            texts << a->text();
        QString letters = QKeySequence::mnemonic(w->editCourseButton->text()).toString();
        for (const QString &t : texts)
            letters += QKeySequence::mnemonic(t).toString();
        for (const QString &key : letters.split(QStringLiteral("Alt+"), Qt::SkipEmptyParts))
            QVERIFY2(letters.count(QStringLiteral("Alt+") + key) == 1, qPrintable(letters));

        focus(w->distanceEdit);
        bool opened = false;
        onModal<WaypointEditor>([&](WaypointEditor *d) {
            opened = true;
            d->reject();
        });
        QTest::keyClick(w.get(), Qt::Key_E, Qt::AltModifier);
        QTRY_VERIFY(opened);
    }

    // The focused cell carries a mark while the table has the focus; Tab
    // moves it from cell to cell.
    void tableShowsTheFocusedCell()
    {
        open({kRide, kRide2});
        StringTableView *rideTable = w->rideTable;
        focus(rideTable);
        const QModelIndex current = rideTable->currentIndex();
        QVERIFY(current.isValid());
        const int col = current.column();
        const auto part = [&](const QImage &image, int column) {
            return image.copy(rideTable->visualRect(log()->index(current.row(), column)));
        };
        const QImage focused = rideTable->viewport()->grab().toImage();
        focus(w->distanceEdit);
        const QImage away = rideTable->viewport()->grab().toImage();
        QVERIFY(part(focused, col) != part(away, col));
        QVERIFY(part(focused, col + 1) == part(away, col + 1));

        focus(rideTable);
        QTest::keyClick(rideTable, Qt::Key_Tab);
        QCOMPARE(rideTable->currentIndex().column(), col + 1);
        const QImage moved = rideTable->viewport()->grab().toImage();
        QVERIFY(part(moved, col + 1) != part(away, col + 1));
        QVERIFY(part(moved, col) == part(away, col));
    }

    // Tab moves within the table; Ctrl+Tab and Ctrl+Shift+Tab leave it.
    void ctrlTabLeavesTheTable_data()
    {
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("next");
        QTest::newRow("Ctrl+Tab") << int(Qt::ControlModifier) << "totalDistanceEdit";
        QTest::newRow("Ctrl+Shift+Tab") << int(Qt::ControlModifier | Qt::ShiftModifier) << "courseEdit";
    }
    void ctrlTabLeavesTheTable()
    {
        QFETCH(int, modifiers);
        QFETCH(QString, next);
        open({kRide2, kRide});
        focus(w->rideTable);
        QTest::keyClick(w->rideTable, Qt::Key_Tab, Qt::KeyboardModifiers(modifiers));
        auto *now = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(now);
        QCOMPARE(now->objectName(), next);
        // It shows the focus as after Tab: its text selected.
        QVERIFY(!now->text().isEmpty());
        QCOMPARE(now->selectedText(), now->text());
    }

    void totalKm_data()
    {
        QTest::addColumn<QStringList>("km");
        QTest::addColumn<QString>("exact");
        const QList<QPair<const char *, QStringList>> cases = {
            {"3,000 rides of two decimals", rides(3000)},
            {"decimals of every length and form",
             {"0,1", "0,02", "0,003", "1E1", "2,5e-1", " +7 ", "-0,1", "0010,50", "0,0000001"}},
            {"more decimals than the exact sum carries", {"0,1234567890123456789", "1"}},
            {"past the exact range", QStringList(3000, QStringLiteral("1E35"))},
            {"mixed with a huge one", {"9E30", "1,5", "1,5E300"}},
            {"a big log of long rides", QStringList(20000, QStringLiteral("99999999,99"))},
        };
        QList<QStringList> lists;
        for (const auto &c : cases)
            lists << c.second;
        const QStringList sums = decimalSums(lists);
        QCOMPARE(sums.size(), cases.size());
        for (int i = 0; i < cases.size(); ++i)
            QTest::newRow(cases[i].first) << cases[i].second << sums[i];
    }
    void totalKm()
    {
        QFETCH(QStringList, km);
        QFETCH(QString, exact);
        StringTable grid;
        grid.setTableColumnCount(7);
        grid.setTableRowCount(int(km.size()) + 1);
        for (int r = 0; r < km.size(); ++r)
            grid.setCell(3, r + 1, km[r]);
        QCOMPARE(RideArithmetic::totals(grid).km, exact);
    }

    void totalKmInTheWindow()
    {
        const QStringList km = rides(3000);
        QList<QStringList> log;
        for (const QString &k : km)
            log.append({"3.5.2005", "Okruh", "", k, "01:00", "", "3"});
        open(log);
        QCOMPARE(w->totalDistanceEdit->text(), decimalSums({km}).value(0));
    }

    // The file's widths are the old program's: shown wider with this
    // font, so that dates, distances and headings show whole, and the last
    // column fills the window. The file keeps them, except a width the
    // rider drags, stored in the same units.
    void columnWidths_data()
    {
        QTest::addColumn<bool>("drag");
        QTest::newRow("shown and closed") << false;
        QTest::newRow("a border dragged") << true;
    }
    void columnWidths()
    {
        QFETCH(bool, drag);
        QByteArray original = rideLogFile({{"28.12.2025", "Okruh", "", "1234,56", "01:55", "22,2", "3"}});
        original.replace("Column 0 Width: 62\r\n", "Column 0 Width: 62\r\nColumn 2 Width: 150\r\n");
        putFile(file(QStringLiteral("default.tvl")), original);
        w = std::make_unique<MainWindow>(m_dir->path());
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));

        QHeaderView *hh = w->rideTable->horizontalHeader();
        const int margin = hh->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, hh);
        for (int c = 0; c < 7; ++c)
            QVERIFY2(hh->sectionSize(c) >= std::max(hh->fontMetrics().horizontalAdvance(log()->cell(c, 0)) + 2 * margin,
                                                    w->rideTable->fontMetrics().horizontalAdvance(log()->cell(c, 1)) + 5),
                     qPrintable(log()->cell(c, 0)));
        QVERIFY(hh->sectionSize(2) > 2 * hh->sectionSize(1)); // the rider's wide column

        const auto total = [hh] {
            int sum = 0;
            for (int c = 0; c < hh->count(); ++c)
                sum += hh->sectionSize(c);
            return sum;
        };
        w->resize(900, 500);
        QTRY_COMPARE(total(), w->rideTable->viewport()->width());
        // In a narrow window the last column keeps its own width.
        w->resize(560, 342);
        QTRY_VERIFY(total() > w->rideTable->viewport()->width());
        QCOMPARE(hh->sectionSize(6), hh->sectionSize(5));

        if (drag) {
            const QPoint border(hh->sectionViewportPosition(1) + hh->sectionSize(1) - 1, 5);
            const QPoint to = border + QPoint(40, 0);
            QTest::mousePress(hh->viewport(), Qt::LeftButton, {}, border);
            QMouseEvent move(QEvent::MouseMove, to, hh->viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(hh->viewport(), &move);
            QTest::mouseRelease(hh->viewport(), Qt::LeftButton, {}, to);
            const int stored = qRound(hh->sectionSize(1) / w->rideTable->widthScale());
            QVERIFY(stored > 64);
            original.replace("Column 2 Width", QByteArray("Column 1 Width: ") + QByteArray::number(stored)
                                                   + "\r\nColumn 2 Width");
        }
        QVERIFY(w->close());
        QCOMPARE(fileBytes(file(QStringLiteral("default.tvl"))), original);
    }
};

QTEST_MAIN(TestMainWindowInput)
#include "tst_mainwindow_input.moc"
