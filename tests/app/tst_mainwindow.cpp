#include "AnsiFile.h"
#include "MaskedTimeEdit.h"
#include "MessageRecorder.h"
#include "Modal.h"
#include "RideLogFile.h"
#include "RideLogTable.h"
#include "RouteNameBox.h"
#include "StringTable.h"
#include "TableFile.h"
#include "StringTableView.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "MainWindow.h"
#include "WindowFixture.h"

#include <QAccessible>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>
#include <sys/stat.h>

namespace {
const QString kTimeMessage = QStringLiteral("Neplatný formát času, zadej dle vzoru x:xx");
const QString kAverageMessage =
    QStringLiteral("Nelze provést přepočet průměru! Pravděpodobně neplatný formát času.");
} // namespace

// Shows each message in a real modal box that closes itself.
class ModalMessages final : public Messages
{
public:
    ModalMessages() { Messages::install(this); }
    ~ModalMessages() override { Messages::install(nullptr); }
    void show(Kind, const QString &text) override
    {
        shown.append(text);
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Trasovník " TRASOVNIK_VERSION), text, QMessageBox::Ok,
                        QApplication::activeWindow());
        QTimer::singleShot(200, &box, &QMessageBox::accept);
        box.exec();
    }
    QStringList shown;
};

// The main window over a ride log: what it shows, what its editors
// commit, its recalculations, and how it reads and saves the file.
class TestMainWindow : public WindowFixture
{
    Q_OBJECT
    QString cell(int col, int row) const { return log()->cell(col, row); }

    void focus(QWidget *target)
    {
        target->setFocus(Qt::MouseFocusReason);
        QTRY_VERIFY2(target->hasFocus(), qPrintable(target->objectName()));
    }
    // Moves the focus on with the Tab key, as a rider leaves an editor.
    void leave(QWidget *from)
    {
        QVERIFY(from->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    void typeInto(QWidget *target, const QString &text)
    {
        focus(target);
        if (auto *le = qobject_cast<QLineEdit *>(target))
            le->selectAll();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Delete);
        bool ascii = true;
        for (QChar c : text)
            ascii = ascii && c.unicode() < 0x80;
        if (ascii) {
            QTest::keyClicks(QApplication::focusWidget(), text);
        } else {
            // Key events carry only ASCII here: insert the rest as typed text.
            auto *combo = qobject_cast<QComboBox *>(target);
            QLineEdit *le = combo ? combo->lineEdit() : qobject_cast<QLineEdit *>(target);
            QVERIFY(le);
            le->insert(text);
        }
    }
    QPoint cellCenter(int viewRow, int viewCol = 1) const
    {
        const QRect r = w->rideTable->visualRect(log()->index(viewRow, viewCol));
        return r.center();
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void firstStartWithoutFile()
    {
        open();
        QCOMPARE(log()->tableRowCount(), 2);
        QCOMPARE(log()->rowTexts(0), QStringList({"Datum", "Název", "Průběh trasy", "Km", "Čas", "km/h", "1-5"}));
        QCOMPARE(w->rideTable->currentRow(), 1);
        QCOMPARE(w->windowTitle(), QStringLiteral("Trasovník " TRASOVNIK_VERSION));
        QCOMPARE(w->totalTimeEdit->timeText(), QStringLiteral("0000:00"));
        QVERIFY(w->totalDistanceEdit->text().isEmpty());
        QVERIFY(w->totalAverageEdit->text().isEmpty());
        QCOMPARE(w->dateEdit->date(), QDate::currentDate());
        QCOMPARE(w->difficultyBox->value(), 2);
        // The only row has no date yet: a new record is refused.
        w->newRideAction->trigger();
        QCOMPARE(log()->tableRowCount(), 2);
    }

    void showsLastRideAndTotals()
    {
        open({{"3.5.2005", "Okruh", "Lhota - Ves - Lhota", "42,5", "01:55", "22,2", "3"},
              {"7.5.2005", "Do práce", "", "12", "0:40", "18", "1"}});
        QCOMPARE(w->rideTable->currentRow(), 2);
        QCOMPARE(w->dateEdit->date(), QDate(2005, 5, 7));
        QCOMPARE(w->routeNameBox->currentText(), QStringLiteral("Do práce"));
        QCOMPARE(w->timeEdit->timeText(), QStringLiteral(" 0:40"));
        QCOMPARE(w->difficultyBox->value(), 1);
        QCOMPARE(w->totalDistanceEdit->text(), QStringLiteral("54,5"));
        QCOMPARE(w->totalTimeEdit->timeText(), QStringLiteral("0002:35"));
        QCOMPARE(w->totalAverageEdit->text(), QStringLiteral("20,1"));
        // Selecting the first ride loads it.
        w->rideTable->setCurrentRow(1);
        QCOMPARE(w->courseEdit->text(), QStringLiteral("Lhota - Ves - Lhota"));
        QCOMPARE(w->distanceEdit->text(), QStringLiteral("42,5"));
        QCOMPARE(w->difficultyBox->value(), 3);
    }

    void loadingCellsThatDoNotParse_data()
    {
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("difficulty");
        QTest::addColumn<QDate>("shownDate");
        QTest::addColumn<int>("shownDifficulty");
        QTest::newRow("another locale's date") << "2005-05-03" << "3" << QDate::currentDate() << 3;
        QTest::newRow("empty cells") << "" << "" << QDate::currentDate() << 2;
        QTest::newRow("difficulty text") << "3.5.05" << "těžká" << QDate(2005, 5, 3) << 2;
        QTest::newRow("difficulty above range") << "3.5.2005" << "9" << QDate(2005, 5, 3) << 5;
    }
    void loadingCellsThatDoNotParse()
    {
        QFETCH(QString, date);
        QFETCH(QString, difficulty);
        QFETCH(QDate, shownDate);
        QFETCH(int, shownDifficulty);
        open({{date, "a", "", "1", "", "", difficulty}, {"1.1.2020", "b", "", "1", "", "", "4"}});
        w->rideTable->setCurrentRow(1);
        QCOMPARE(w->dateEdit->date(), shownDate);
        QCOMPARE(w->difficultyBox->value(), shownDifficulty);
        // Loading never writes: the cells keep their texts, and the
        // spinner's change did not reach the row that was current before.
        QCOMPARE(cell(0, 1), date);
        QCOMPARE(cell(6, 1), difficulty);
        QCOMPARE(cell(6, 2), QStringLiteral("4"));
    }

    void commitsWriteTheCurrentRow()
    {
        open({{"3.5.2005", "Okruh", "", "42,5", "01:55", "22,2", "3"}});
        typeInto(w->routeNameBox, QStringLiteral("Kolem přehrady"));
        leave(w->routeNameBox);
        QCOMPARE(cell(1, 1), QStringLiteral("Kolem přehrady"));

        typeInto(w->distanceEdit, QStringLiteral("50"));
        QCOMPARE(cell(3, 1), QStringLiteral("42,5")); // not before leaving
        leave(w->distanceEdit);
        QCOMPARE(cell(3, 1), QStringLiteral("50"));
        QCOMPARE(w->totalDistanceEdit->text(), QStringLiteral("50"));

        // The course is committed keystroke by keystroke.
        focus(w->courseEdit);
        QTest::keyClicks(w->courseEdit, QStringLiteral("Ves"));
        QCOMPARE(cell(2, 1), QStringLiteral("Ves"));

        // The difficulty on every change.
        focus(w->difficultyBox);
        QTest::keyClick(w->difficultyBox, Qt::Key_Up);
        QCOMPARE(cell(6, 1), QStringLiteral("4"));

        // The date when the picker is left.
        focus(w->dateEdit);
        w->dateEdit->setDate(QDate(2006, 7, 9));
        QCOMPARE(cell(0, 1), QStringLiteral("3.5.2005")); // not before leaving
        focus(w->routeNameBox);
        QCOMPARE(cell(0, 1), QStringLiteral("9.7.2006"));
    }

    void noCommitWhileTheFocusIsAway_data()
    {
        QTest::addColumn<QString>("away");
        QTest::newRow("another window") << "window";
        QTest::newRow("context menu") << "menu";
        QTest::newRow("message box") << "box";
    }
    void noCommitWhileTheFocusIsAway()
    {
        QFETCH(QString, away);
        open({{"3.5.2005", "Okruh", "", "42,5", "01:55", "22,2", "3"}});
        typeInto(w->distanceEdit, QStringLiteral("77"));
        QWidget other;
        QMenu menu;
        menu.addAction(QStringLiteral("x"));
        if (away == QLatin1String("window")) {
            other.show();
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
        } else if (away == QLatin1String("menu")) {
            menu.popup(w->distanceEdit->mapToGlobal(QPoint(2, 2)));
            QVERIFY(QTest::qWaitForWindowExposed(&menu));
            QTest::keyClick(&menu, Qt::Key_Escape);
        } else {
            QDialog box(w);
            QTimer::singleShot(100, &box, &QDialog::accept);
            box.exec();
        }
        QCOMPARE(cell(3, 1), QStringLiteral("42,5"));
        // Coming back to another control of the window leaves the editor.
        other.hide();
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTest::mouseClick(w->rideTable->viewport(), Qt::LeftButton, {}, cellCenter(0));
        QCOMPARE(cell(3, 1), QStringLiteral("77"));
    }

    void closingKeepsStoredValues()
    {
        open({{"3.5.2005", "Okruh", "", "42,5", "01:55", "22,2", "3"}});
        typeInto(w->distanceEdit, QStringLiteral("99"));
        QVERIFY(w->close());
        const QByteArray saved = fileBytes(logPath());
        QVERIFY(saved.contains("3|1|42,5\r\n"));
        QVERIFY(!saved.contains("99"));
        QCOMPARE(saved, rideLogFile({{"3.5.2005", "Okruh", "", "42,5", "01:55", "22,2", "3"}}));
    }

    void timeCommit_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("stored");
        QTest::newRow("valid") << "0145" << true << "01:45";
        QTest::newRow("blank-padded hour") << "1:45" << true << " 1:45";
        QTest::newRow("empty stores the empty time") << "" << true << "  :  ";
        QTest::newRow("hours only") << "12" << false << "";
        QTest::newRow("minutes only") << ":30" << false << "";
        QTest::newRow("24 hours") << "2400" << false << "";
        QTest::newRow("60 minutes") << "0160" << false << "";
    }
    void timeCommit()
    {
        QFETCH(QString, keys);
        QFETCH(bool, valid);
        QFETCH(QString, stored);
        open({{"3.5.2005", "Okruh", "", "", "01:55", "22,2", "3"}});
        typeInto(w->timeEdit, keys);
        leave(w->timeEdit);
        if (valid) {
            QVERIFY(msgs->texts().isEmpty());
            QCOMPARE(cell(4, 1), stored);
        } else {
            QCOMPARE(msgs->texts(), QStringList{kTimeMessage});
            QCOMPARE(cell(4, 1), QStringLiteral("01:55"));
            QCOMPARE(w->timeEdit->timeText(), w->timeEdit->emptyText());
            QTRY_VERIFY(w->timeEdit->hasFocus());
        }
    }

    void invalidTimeKeepsTheRowOnClick()
    {
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}, {"4.5.2005", "B", "", "20", "02:00", "10", "3"}});
        QCOMPARE(w->rideTable->currentRow(), 2);
        typeInto(w->timeEdit, QStringLiteral("99"));
        QTest::mouseClick(w->rideTable->viewport(), Qt::LeftButton, {}, cellCenter(0));
        QCOMPARE(msgs->texts(), QStringList{kTimeMessage});
        QCOMPARE(w->rideTable->currentRow(), 2);
        QTRY_VERIFY(w->timeEdit->hasFocus());
        QCOMPARE(cell(4, 2), QStringLiteral("02:00"));
        // With a valid time the click selects the row and loads it.
        typeInto(w->timeEdit, QStringLiteral("0230"));
        QTest::mouseClick(w->rideTable->viewport(), Qt::LeftButton, {}, cellCenter(0));
        QCOMPARE(cell(4, 2), QStringLiteral("02:30"));
        QCOMPARE(w->rideTable->currentRow(), 1);
        QCOMPARE(w->routeNameBox->currentText(), QStringLiteral("A"));
    }

    // A refused time sends the rider back to the time editor; the editor
    // whose click left it was never settled in and commits nothing: a
    // date the picker could not read, a difficulty the spinner shows as 2,
    // stay as the log holds them.
    void invalidTimeCommitsNoOtherEditor_data()
    {
        QTest::addColumn<QString>("clicked");
        QTest::addColumn<bool>("modalBox");
        QTest::newRow("date picker") << "dateEdit" << false;
        QTest::newRow("date picker, real box") << "dateEdit" << true;
        QTest::newRow("difficulty") << "difficultyBox" << false;
        QTest::newRow("difficulty, real box") << "difficultyBox" << true;
    }
    void invalidTimeCommitsNoOtherEditor()
    {
        QFETCH(QString, clicked);
        QFETCH(bool, modalBox);
        const QStringList ride = {"7/5/2005", "A", "", "10", "01:00", "10", ""};
        open({ride});
        std::optional<ModalMessages> modal;
        if (modalBox)
            modal.emplace();
        typeInto(w->timeEdit, QStringLiteral("2570"));
        auto *target = w->findChild<QWidget *>(clicked);
        QVERIFY(target);
        auto *text = target->findChild<QLineEdit *>();
        QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(4, text->height() / 2));
        QCOMPARE(modal ? modal->shown : msgs->texts(), QStringList{kTimeMessage});
        if (modal) {
            w->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(w));
        }
        QTRY_VERIFY(w->timeEdit->hasFocus());
        QCOMPARE(log()->rowTexts(1), ride);
        // A valid time then leaves for the editor clicked, as usual.
        QTest::keyClicks(w->timeEdit, QStringLiteral("0145"));
        QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(4, text->height() / 2));
        QCOMPARE(cell(4, 1), QStringLiteral("01:45"));
        QCOMPARE(cell(0, 1), ride[0]);
    }

    // The same with a real modal box, which takes the focus away from the
    // window while it is open.
    void invalidTimeWithAModalBox()
    {
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}, {"4.5.2005", "B", "", "20", "02:00", "10", "3"}});
        ModalMessages modal;
        typeInto(w->timeEdit, QStringLiteral("30"));
        QTest::mouseClick(w->rideTable->viewport(), Qt::LeftButton, {}, cellCenter(0));
        QCOMPARE(modal.shown, QStringList{kTimeMessage});
        QCOMPARE(w->rideTable->currentRow(), 2);
        // The desktop gives the window back its activation.
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        QTRY_VERIFY(w->timeEdit->hasFocus());
        QTest::keyClicks(w->timeEdit, QStringLiteral("0145"));
        leave(w->timeEdit);
        QCOMPARE(cell(4, 2), QStringLiteral("01:45"));
    }

    // A click into a window that is not active yet: the editor is left
    // before the click selects another ride.
    void clickIntoAnInactiveWindowCommitsFirst()
    {
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}, {"4.5.2005", "B", "", "20", "02:00", "10", "3"}});
        typeInto(w->distanceEdit, QStringLiteral("25"));
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!w->isActiveWindow());
        QTest::mouseClick(w->rideTable->viewport(), Qt::LeftButton, {}, cellCenter(0));
        QCOMPARE(cell(3, 2), QStringLiteral("25"));
        QCOMPARE(cell(3, 1), QStringLiteral("10"));
        QCOMPARE(w->rideTable->currentRow(), 1);
    }

    void averageFilledWhenTimeIsLeft()
    {
        open({{"3.5.2005", "A", "", "", "", "", "3"}});
        typeInto(w->distanceEdit, QStringLiteral("42,5"));
        leave(w->distanceEdit);
        QVERIFY(w->timeEdit->hasFocus());
        QTest::keyClicks(w->timeEdit, QStringLiteral("0155"));
        leave(w->timeEdit);
        QCOMPARE(w->averageEdit->text(), QStringLiteral("22,17"));
        QCOMPARE(cell(5, 1), QStringLiteral("22,17"));
        QCOMPARE(w->totalAverageEdit->text(), QStringLiteral("22,17"));
        // An average already there is kept.
        typeInto(w->timeEdit, QStringLiteral("0200"));
        leave(w->timeEdit);
        QCOMPARE(cell(5, 1), QStringLiteral("22,17"));
    }

    void enterMovesTheFocus()
    {
        open({{"3.5.2005", "A", "", "", "", "", "3"}});
        const QList<QPair<QWidget *, QWidget *>> steps = {
            {w->routeNameBox, w->distanceEdit}, {w->distanceEdit, w->timeEdit},     {w->timeEdit, w->averageEdit},
            {w->averageEdit, w->difficultyBox}, {w->difficultyBox, w->courseEdit}, {w->totalTimeEdit, w->averageEdit}};
        for (const auto &[from, to] : steps) {
            focus(from);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QVERIFY2(to->hasFocus(), qPrintable(from->objectName()));
        }
        // A step of the arrow keys stays in the picker; Enter moves on.
        focus(w->dateEdit);
        QTest::keyClick(w->dateEdit, Qt::Key_Up);
        QTest::keyClick(w->dateEdit, Qt::Key_Up);
        QVERIFY(w->dateEdit->hasFocus());
        QTest::keyClick(w->dateEdit, Qt::Key_Return);
        QVERIFY(w->routeNameBox->hasFocus());
        // Typing a two-digit day does not move on after its first digit.
        focus(w->dateEdit);
        w->dateEdit->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClick(w->dateEdit, Qt::Key_1);
        QVERIFY(w->dateEdit->hasFocus());
        QTest::keyClick(w->dateEdit, Qt::Key_5);
        QTest::keyClick(w->dateEdit, Qt::Key_Return);
        QVERIFY(w->routeNameBox->hasFocus());
        QCOMPARE(w->rideLog()->cell(0, 1).section(u'.', 0, 0), QStringLiteral("15"));
    }

    // The total time field is bound to the time editor's commit: leaving
    // it checks and stores what the time editor holds.
    void totalTimeFieldCommitsTheTimeEditor()
    {
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}});
        focus(w->totalTimeEdit);
        w->timeEdit->setTimeText(QStringLiteral("02:30"));
        focus(w->courseEdit);
        QCOMPARE(cell(4, 1), QStringLiteral("02:30"));
        QCOMPARE(w->totalTimeEdit->timeText(), QStringLiteral("0002:30"));
        focus(w->totalTimeEdit);
        w->timeEdit->setTimeText(QStringLiteral("25:00"));
        w->courseEdit->setFocus(Qt::MouseFocusReason);
        QCOMPARE(msgs->texts(), QStringList{kTimeMessage});
        QCOMPARE(cell(4, 1), QStringLiteral("02:30"));
        QTRY_VERIFY(w->timeEdit->hasFocus());
    }

    void newAndDeleteRecord()
    {
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "1"}});
        focus(w->distanceEdit);
        w->newRideTool->trigger();
        QCOMPARE(log()->tableRowCount(), 3);
        QCOMPARE(w->rideTable->currentRow(), 2);
        QVERIFY(w->dateEdit->hasFocus());
        QVERIFY(w->distanceEdit->text().isEmpty());
        QCOMPARE(w->difficultyBox->value(), 2);
        QCOMPARE(w->dateEdit->date(), QDate::currentDate());
        QVERIFY(log()->rowTexts(2).join(QString()).isEmpty());

        w->rideTable->setCurrentRow(1);
        w->deleteRideAction->trigger();
        QCOMPARE(log()->tableRowCount(), 2);
        QCOMPARE(w->rideTable->currentRow(), 1);
        QVERIFY(cell(1, 1).isEmpty());

        // With one row left, deleting empties it and keeps it.
        log()->setCell(0, 1, QStringLiteral("1.1.2020"));
        log()->setCell(3, 1, QStringLiteral("5"));
        w->deleteRideTool->trigger();
        QCOMPARE(log()->tableRowCount(), 2);
        QVERIFY(log()->rowTexts(1).join(QString()).isEmpty());
        QVERIFY(w->distanceEdit->text().isEmpty());
        QCOMPARE(log()->cell(0, 0), QStringLiteral("Datum"));
    }

    void deleteLastRowSelectsNewLast()
    {
        open({{"1.5.2005", "A", "", "1", "", "", "1"},
              {"2.5.2005", "B", "", "2", "", "", "1"},
              {"3.5.2005", "C", "", "3", "", "", "1"}});
        QCOMPARE(w->rideTable->currentRow(), 3);
        w->deleteRideAction->trigger();
        QCOMPARE(log()->tableRowCount(), 3);
        QCOMPARE(w->rideTable->currentRow(), 2);
        QCOMPARE(w->routeNameBox->currentText(), QStringLiteral("B"));
        QCOMPARE(w->totalDistanceEdit->text(), QStringLiteral("3"));
    }

    void recalculations_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("km");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("average");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("stored");
        QTest::newRow("distance") << "recalcDistanceAction" << "" << "01:30" << "25" << "" << 3 << "37,5";
        QTest::newRow("distance of an empty time") << "recalcDistanceAction" << "5" << "" << "25" << "" << 3 << "0";
        QTest::newRow("distance without average") << "recalcDistanceAction" << "5" << "01:30" << "x"
                                                  << "Nelze spočítat vzdálenost." << 3 << "5";
        QTest::newRow("time") << "recalcTimeAction" << "30" << "" << "20" << "" << 4 << "01:30";
        QTest::newRow("time at average 0") << "recalcTimeAction" << "30" << "" << "0" << "Nelze spočítat čas." << 4 << "  :  ";
        QTest::newRow("time whose minutes round to 60") << "recalcTimeAction" << "0,999" << "" << "1" << kTimeMessage << 4
                                                       << "  :  ";
        QTest::newRow("time of 30 hours") << "recalcTimeAction" << "300" << "" << "10" << kTimeMessage << 4 << "  :  ";
        QTest::newRow("time of 100 hours or more") << "recalcTimeAction" << "1005" << "" << "10" << kTimeMessage << 4
                                                  << "  :  ";
        QTest::newRow("average") << "recalcAverageAction" << "42,5" << "01:55" << "" << "" << 5 << "22,17";
        QTest::newRow("average of zero time") << "recalcAverageAction" << "42,5" << "00:00" << "" << kAverageMessage << 5 << "";
        QTest::newRow("average of empty time") << "recalcAverageAction" << "42,5" << "" << "" << kAverageMessage << 5 << "";
    }
    void recalculations()
    {
        QFETCH(QString, action);
        QFETCH(QString, km);
        QFETCH(QString, time);
        QFETCH(QString, average);
        QFETCH(QString, message);
        QFETCH(int, column);
        QFETCH(QString, stored);
        open({{"3.5.2005", "A", "", km, time.isEmpty() ? QStringLiteral("  :  ") : time, average, "3"}});
        w->findChild<QAction *>(action)->trigger();
        QCOMPARE(msgs->texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(cell(column, 1), stored);
        if (action == QLatin1String("recalcTimeAction") && message.isEmpty())
            QCOMPARE(w->timeEdit->timeText(), stored);
        if (message == kTimeMessage)
            QCOMPARE(w->timeEdit->timeText(), w->timeEdit->emptyText());
    }

    void recalculateFromContextMenu_data()
    {
        QTest::addColumn<QString>("focused");
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("expected");
        QTest::newRow("km editor: distance") << "distanceEdit" << 3 << "20";
        QTest::newRow("time editor: time") << "timeEdit" << 4 << "02:00";
        QTest::newRow("average editor: average") << "averageEdit" << 5 << "10";
        QTest::newRow("elsewhere: totals only") << "courseEdit" << 3 << "10";
    }
    void recalculateFromContextMenu()
    {
        QFETCH(QString, focused);
        QFETCH(int, column);
        QFETCH(QString, expected);
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}});
        // Different values in the editors than in the cells show which ran.
        w->averageEdit->setText(QStringLiteral("20"));
        w->averageEdit->setProperty("x", 1);
        focus(w->findChild<QWidget *>(focused));
        if (focused == QLatin1String("averageEdit")) {
            w->distanceEdit->setText(QStringLiteral("10"));
            w->timeEdit->setTimeText(QStringLiteral("01:00"));
        } else if (focused == QLatin1String("timeEdit")) {
            w->distanceEdit->setText(QStringLiteral("40"));
        }
        w->totalDistanceEdit->clear();
        w->recalculateAction->trigger();
        QCOMPARE(cell(column, 1), expected);
        QVERIFY(!w->totalDistanceEdit->text().isEmpty());
    }

    void accessibleNames()
    {
        open();
        const QList<QPair<QString, QString>> names = {
            {"dateEdit", "Datum jízdy"}, {"routeNameBox", "Název trasy"}, {"distanceEdit", "Délka (km)"},
            {"timeEdit", "Čas (h:mm)"},         {"averageEdit", "Průměr"},       {"difficultyBox", "Náročnost"},
            {"courseEdit", "Průběh nebo popis trasy"}, {"totalDistanceEdit", "Ujeté km celkem :"}};
        for (const auto &[name, label] : names) {
            QWidget *editor = w->findChild<QWidget *>(name);
            QVERIFY2(editor, qPrintable(name));
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(editor);
            QVERIFY(a);
            QCOMPARE(a->text(QAccessible::Name), label);
        }
        // Alt with a label's underlined letter reaches its editor.
        const QList<QPair<Qt::Key, QString>> mnemonics = {
            {Qt::Key_D, "distanceEdit"}, {Qt::Key_S, "timeEdit"}, {Qt::Key_P, "averageEdit"},
            {Qt::Key_N, "routeNameBox"}, {Qt::Key_R, "courseEdit"}, {Qt::Key_O, "difficultyBox"}};
        for (const auto &[key, name] : mnemonics) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
            QVERIFY2(w->findChild<QWidget *>(name)->hasFocus(), qPrintable(name));
        }
        for (QAction *a : {w->newRideTool, w->deleteRideTool, w->totalsTool}) {
            QWidget *b = w->rideToolBar->widgetForAction(a);
            QCOMPARE(b->focusPolicy(), Qt::NoFocus);
            QCOMPARE(QAccessible::queryAccessibleInterface(b)->text(QAccessible::Name), a->toolTip());
        }
    }

    void inputThatTheFileCannotHoldIsRefused()
    {
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}});
        focus(w->courseEdit);
        w->courseEdit->insert(QStringLiteral("Ves \U0001F6B2"));
        QVERIFY(!w->courseEdit->text().contains(QStringLiteral("\U0001F6B2")));
        w->courseEdit->insert(QStringLiteral("Ves – Lhota"));
        QVERIFY(!w->courseEdit->text().contains(u'–') || AnsiFile::isEncodable(w->courseEdit->text()));
        // A line break never reaches a cell.
        w->routeNameBox->setEditText(QStringLiteral("Dva\nřádky"));
        focus(w->routeNameBox);
        leave(w->routeNameBox);
        QCOMPARE(cell(1, 1), QStringLiteral("Dva řádky"));
        QVERIFY(w->close());
        QVERIFY(fileBytes(logPath()).contains("1|1|Dva \xf8\xe1" "dky\r\n"));
    }

    // The answers to the box of a failed save: 0 try again, 1 save
    // elsewhere, 2 close without saving, 3 cancel.
    void failedSave_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<bool>("clearTheWay"); // the obstacle goes away at the first question
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("savedTo"); // file name with the rides afterwards, or ""
        QTest::newRow("cancel keeps the window open") << QList<int>{3} << false << false << "";
        QTest::newRow("try again") << QList<int>{0} << true << true << "default.tvl";
        QTest::newRow("try again, fails again, cancel") << QList<int>{0, 3} << false << false << "";
        QTest::newRow("save elsewhere") << QList<int>{1} << false << true << "jinde.tvl";
        QTest::newRow("close without saving") << QList<int>{2} << false << true << "";
    }
    void failedSave()
    {
        QFETCH(QList<int>, answers);
        QFETCH(bool, clearTheWay);
        QFETCH(bool, closed);
        QFETCH(QString, savedTo);
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}});
        // A folder where the file should be: it cannot be written.
        QVERIFY(QFile::remove(logPath()));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("default.tvl")));
        msgs->answers = answers;
        msgs->onQuestion = [&] {
            if (clearTheWay)
                QDir(m_dir->path()).rmdir(QStringLiteral("default.tvl"));
        };
        // The save dialog, driven as a rider would.
        const QString elsewhere = m_dir->filePath(QStringLiteral("jinde"));
        QTimer fill;
        connect(&fill, &QTimer::timeout, this, [&] {
            if (auto *d = qobject_cast<QFileDialog *>(QApplication::activeModalWidget())) {
                fill.stop();
                enterFileName(d, elsewhere);
                fill.start(20);
            }
        });
        fill.start(20);
        QCOMPARE(w->close(), closed);
        QCOMPARE(w->isVisible(), !closed);
        QCOMPARE(msgs->questions.size(), answers.size());
        QVERIFY(msgs->questions[0].contains(logPath()));
        QCOMPARE(msgs->questionButtons,
                 QStringList({"Zkusit znovu", "Uložit jinam…", "Zavřít bez uložení", "Zrušit"}));
        QVERIFY(msgs->shown.isEmpty());
        for (const QString name : {"default.tvl", "jinde.tvl"})
            QCOMPARE(fileBytes(m_dir->filePath(name)).contains("0|1|3.5.2005"), name == savedTo);
        if (!closed) {
            // Once the way is clear, closing again saves.
            QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("default.tvl")));
            QVERIFY(w->close());
            QVERIFY(fileBytes(logPath()).contains("0|1|3.5.2005"));
        }
    }

    // Each state of a log that cannot be written is kept once: in the
    // file of unsaved changes at once, and in one rescue copy however
    // often the session asks; a new change is kept anew.
    void failedWritesKeepEachStateOnce()
    {
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}});
        const QString unsaved = m_dir->filePath(QStringLiteral("default-obnova.tvl"));
        const auto rescued = [this] {
            return QDir(m_dir->path()).entryList({QStringLiteral("default-zachrana-*.tvl")}).size();
        };
        QVERIFY(QFile::remove(logPath()));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("default.tvl")));
        typeInto(w->routeNameBox, QStringLiteral("B"));
        leave(w->routeNameBox);
        w->commitSession();
        QVERIFY(fileBytes(unsaved).contains("1|1|B\r\n"));
        w->commitSession();
        QCOMPARE(rescued(), 1);
        typeInto(w->routeNameBox, QStringLiteral("C"));
        leave(w->routeNameBox);
        // Closing fails too: the new state is on the disk before the
        // rider is asked what to do.
        QByteArray atQuestion;
        msgs->onQuestion = [&] { atQuestion = fileBytes(unsaved); };
        msgs->answers = {3};
        QVERIFY(!w->close());
        QVERIFY(atQuestion.contains("1|1|C\r\n"));
        w->commitSession();
        w->commitSession();
        QCOMPARE(rescued(), 2);
        QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("default.tvl")));
    }

    void endingWhileAskedKeepsARescueCopy()
    {
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}});
        QVERIFY(QFile::remove(logPath()));
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("default.tvl")));
        // The program is told to end while the rider looks at the box.
        msgs->onQuestion = [&] { w->endSession(); };
        QVERIFY(w->close());
        QCOMPARE(msgs->questions.size(), 1);
        const QStringList copies = QDir(m_dir->path()).entryList({QStringLiteral("default-zachrana-*.tvl")});
        QCOMPARE(copies.size(), 1);
        QVERIFY(fileBytes(m_dir->filePath(copies[0])).contains("0|1|3.5.2005\r\n1|1|A"));
        // The next start says where the rides are, once.
        QVERIFY(QDir(m_dir->path()).rmdir(QStringLiteral("default.tvl")));
        delete w;
        w = nullptr;
        msgs->clear();
        open();
        QCOMPARE(msgs->texts().size(), 1);
        QVERIFY(msgs->texts()[0].contains(m_dir->filePath(copies[0])));
        delete w;
        w = nullptr;
        msgs->clear();
        open();
        QVERIFY(msgs->shown.isEmpty());
    }

    void prefetchedLogIsTheSame_data()
    {
        QTest::addColumn<QByteArray>("content"); // "" for no file
        QTest::newRow("rides") << rideLogFile({{"3.5.2005", "Okruh", "Lhota - Ves", "42,5", "01:55", "22,2", "3"},
                                               {"7.5.2005", "Do práce", "", "12", "00:40", "18", "1"}});
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("damaged") << QByteArray("|\r\n3|7\r\n18\r\n\r\n\r\nTop\r\nRow 1 Height: 30\r\n0|1|3.5.2005\r\nx|1|A\r\n");
        QTest::newRow("cell outside") << QByteArray("|\r\n2|7\r\n18\r\n\r\nTitulek\r\nTop\r\n0|1|3.5.2005\r\n0|5|mimo\r\n");
    }
    void prefetchedLogIsTheSame()
    {
        // The table read while the program starts is the table the window
        // would have read itself, and a failure is handled the same way.
        QFETCH(QByteArray, content);
        if (!content.isEmpty())
            putFile(logPath(), content);
        open();
        const QString direct = TableFile::text(*log());
        const QStringList told = msgs->texts();
        const QStringList totals = {w->totalDistanceEdit->text(), w->totalTimeEdit->text(), w->totalAverageEdit->text()};
        delete w;
        w = nullptr;
        msgs->clear();
        for (const QString &copy : QDir(m_dir->path()).entryList({QStringLiteral("*poskozeny*")}))
            QVERIFY(QFile::remove(m_dir->filePath(copy)));

        ProgramFolder::Location where;
        where.folder = where.userFolder = where.programDir = m_dir->path() + u'/';
        RideLogPrefetch prefetch(logPath());
        w = new MainWindow(where, &prefetch);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(TableFile::text(*log()), direct);
        QCOMPARE(QStringList({w->totalDistanceEdit->text(), w->totalTimeEdit->text(), w->totalAverageEdit->text()}),
                 totals);
        QCOMPARE(msgs->texts().size(), told.size());
        // The kept copies' names hold the time of the copy, which may be a
        // second later the second time.
        const auto withoutTime = [](QString text) {
            return text.section(u'„', 0, 2).replace(QRegularExpression(QStringLiteral("-poskozeny-[0-9-]+")),
                                                     QStringLiteral("-poskozeny-"));
        };
        for (int i = 0; i < told.size(); ++i)
            QCOMPARE(withoutTime(msgs->texts()[i]), withoutTime(told[i]));
        QCOMPARE(w->rideTable->currentRow(), log()->tableRowCount() - 1);
    }

    // The per-user data folder is named once: at the start that made it,
    // or when files beside the program were copied into it.
    void dataFolderIsAnnouncedOnce_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("created");
        QTest::addColumn<QStringList>("copied");
        QTest::addColumn<QStringList>("said");
        QTest::newRow("installed, first start")
            << true << true << QStringList() << QStringList{"program je nainstalovaný ve složce „/usr/bin/“"};
        QTest::newRow("installed, later start") << true << false << QStringList() << QStringList();
        QTest::newRow("read-only folder, files copied")
            << false << false << QStringList{"default.tvl", "trasy.ini"}
            << QStringList{"nelze zapisovat", "Zkopírováno ze složky programu: default.tvl, trasy.ini."};
    }

    void dataFolderIsAnnouncedOnce()
    {
        QFETCH(bool, installed);
        QFETCH(bool, created);
        QFETCH(QStringList, copied);
        QFETCH(QStringList, said);
        ProgramFolder::Location where;
        where.folder = where.userFolder = m_dir->path() + u'/';
        where.programDir = QStringLiteral("/usr/bin/");
        where.moved = true;
        where.installed = installed;
        where.created = created;
        where.copied = copied;
        w = new MainWindow(where);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(msgs->texts().size(), said.isEmpty() ? 0 : 1);
        for (const QString &piece : said.isEmpty() ? said : said + QStringList{where.folder})
            QVERIFY2(msgs->texts().value(0).contains(piece), qPrintable(msgs->texts().value(0)));
    }

    void totalsShowEveryDigit()
    {
        // 23 hours a ride, 543 rides: 12489 hours; and a long total km.
        QList<QStringList> rides;
        for (int i = 0; i < 543; ++i)
            rides.append({"3.5.2005", "A", "", "123456,5", "23:00", "", "3"});
        open(rides);
        QCOMPARE(w->totalTimeEdit->timeText(), QStringLiteral("12489:00"));
        QCOMPARE(w->totalDistanceEdit->text(), QStringLiteral("67036879,5"));
        for (QLineEdit *field : {static_cast<QLineEdit *>(w->totalTimeEdit), w->totalDistanceEdit}) {
            // With the cursor at the end, the first character is still in
            // view: the whole text fits.
            field->setCursorPosition(int(field->text().size()));
            QCOMPARE(field->cursorPositionAt(QPoint(3, field->height() / 2)), 0);
        }
    }

    void menuOpenedByKeyboardCommitsNothing_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byMouse");
        QTest::newRow("km, Alt+V") << "distanceEdit" << "77" << false;
        QTest::newRow("incomplete time, Alt+V") << "timeEdit" << "1" << false;
        QTest::newRow("incomplete time, mouse") << "timeEdit" << "1" << true;
    }
    void menuOpenedByKeyboardCommitsNothing()
    {
        QFETCH(QString, editor);
        QFETCH(QString, typed);
        QFETCH(bool, byMouse);
        open({{"3.5.2005", "A", "", "10", "01:00", "10", "3"}});
        auto *e = w->findChild<QLineEdit *>(editor);
        typeInto(e, typed);
        if (byMouse) {
            QMenuBar *bar = w->menuBar();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().at(2)).center());
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_V, Qt::AltModifier);
        }
        QTRY_VERIFY(QApplication::activePopupWidget());
        QCOMPARE(QApplication::activePopupWidget()->objectName(), QStringLiteral("calculationsMenu"));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        if (QApplication::focusWidget() == w->menuBar())
            QTest::keyClick(w->menuBar(), Qt::Key_Escape);
        QTRY_VERIFY(e->hasFocus());
        QVERIFY(msgs->shown.isEmpty());
        QCOMPARE(log()->rowTexts(1), QStringList({"3.5.2005", "A", "", "10", "01:00", "10", "3"}));
        // Leaving the editor for another control still commits it.
        if (editor == QLatin1String("distanceEdit")) {
            leave(e);
            QCOMPARE(log()->cell(3, 1), typed);
        }
    }

    void pasteKeepsWhatTheFileCanHold()
    {
        open({{"3.5.2005", "A", "a\tb", "10", "01:00", "10", "3"}});
        // A cell is shown as it is, tab included.
        QCOMPARE(w->courseEdit->text(), QStringLiteral("a\tb"));
        focus(w->courseEdit);
        w->courseEdit->selectAll();
        QApplication::clipboard()->setText(QStringLiteral("Lhota\r\nVes\t\U0001F6B2 Týn – Žďár ✓"));
        QTest::keyClick(w->courseEdit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w->courseEdit->text(), QStringLiteral("Lhota Ves  Týn – Žďár "));
        const QString said = w->messageBar->currentMessage();
        QVERIFY2(said.contains(QStringLiteral("\U0001F6B2✓")), qPrintable(said));
        leave(w->courseEdit);
        QCOMPARE(log()->cell(2, 1), QStringLiteral("Lhota Ves  Týn – Žďár "));
    }

    void whatIsInTheWay_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "složka";
        QTest::newRow("pipe") << "pojmenovaná roura";
    }
    void whatIsInTheWay()
    {
        // Not a file at the log's path: nothing is read, nothing blocks,
        // and one box says what is there.
        QFETCH(QString, kind);
        if (kind == QStringLiteral("složka"))
            QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("default.tvl")));
        else
            QCOMPARE(::mkfifo(QFile::encodeName(logPath()).constData(), 0600), 0);
        open();
        QCOMPARE(msgs->texts().size(), 1);
        QVERIFY(msgs->texts()[0].contains(kind));
        QVERIFY(msgs->texts()[0].contains(logPath()));
        QCOMPARE(log()->tableRowCount(), 2);
        QVERIFY(QDir(m_dir->path()).entryList({QStringLiteral("*poskozeny*")}).isEmpty());
    }

    void damagedFileIsKept_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::newRow("bad cell line") << QByteArray("|\r\n3|7\r\n18\r\n\r\n\r\nTop\r\n0|1|3.5.2005\r\nx|1|A\r\n0|2|4.5.2005\r\n")
                                       << "'x' is not a valid integer value";
        QTest::newRow("bad size line") << QByteArray("|\r\n3|7\r\n18\r\n\r\n\r\nTop\r\n0|1|3.5.2005\r\nRow 9 Height: 5\r\n")
                                       << "Grid index out of range";
        QTest::newRow("a billion rows") << QByteArray("|\r\n1000000000|7\r\n18\r\n")
                                        << "1000000000";
    }
    void damagedFileIsKept()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        putFile(logPath(), content);
        open();
        QCOMPARE(msgs->shown.size(), 1);
        const QString text = msgs->shown[0].second;
        QVERIFY2(text.contains(error), qPrintable(text));
        const QStringList kept = QDir(m_dir->path()).entryList({QStringLiteral("default-poskozeny-*.tvl")});
        QCOMPARE(kept.size(), 1);
        QVERIFY(text.contains(kept[0]));
        QCOMPARE(fileBytes(m_dir->filePath(kept[0])), content);
        // The window still works with what could be read.
        QCOMPARE(log()->tableColumnCount(), 7);
        QVERIFY(log()->tableRowCount() >= 2);
        QCOMPARE(log()->headingRows(), 1);
    }

    void fileRoundTripThroughTheWindow()
    {
        const QByteArray original = rideLogFile({{"3.5.2005", "Okruh", "Lhota - Ves - Lhota", "42,5", "01:55", "22,2", "3"},
                                                 {"7.5.2005", "Do práce", "", "12", "00:40", "18", "1"}});
        putFile(logPath(), original);
        open();
        w->rideTable->setCurrentRow(1);
        w->rideTable->setCurrentRow(2);
        QVERIFY(w->close());
        QCOMPARE(fileBytes(logPath()), original);
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TestMainWindow t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_mainwindow.moc"
