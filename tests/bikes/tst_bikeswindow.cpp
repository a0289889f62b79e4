// The window "Kola" driven as a rider drives it: buttons by mouse and by
// Alt with their letters, dialogs typed into.
#include "BikeDialogs.h"
#include "BikesWindow.h"
#include "MessageRecorder.h"
#include "Modal.h"
#include "RideColumn.h"
#include "RideLogTable.h"
#include "StringTable.h"
#include "TestFiles.h"
#include "TestLocale.h"

#include <QComboBox>
#include <QDir>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Saves a picture of the window when TRASOVNIK_PICTURES names a folder.
void picture(QWidget *w, const QString &name)
{
    const QString folder = qEnvironmentVariable("TRASOVNIK_PICTURES");
    if (!folder.isEmpty())
        w->grab().save(folder + u'/' + name + QStringLiteral(".png"));
}

// Alt with a letter, where the rider's focus is. A button reached so
// clicks itself a moment later, as on screen: the dialog it opens has
// been answered (and closed) when this returns.
void alt(QWidget *window, Qt::Key key)
{
    // The window is active again after the dialog before (the offscreen
    // platform has no window manager to give it back).
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
    QTest::qWait(200);
}

void clickOk(QDialog *d)
{
    QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("okButton")), Qt::LeftButton);
}
} // namespace

class TestBikesWindow : public QObject
{
    Q_OBJECT
    TestLocale m_locale;
    QTemporaryDir m_dir;
    MessageRecorder m_msgs;
    StringTable m_log;
    QList<std::pair<QString, QString>> m_renamed;

    QString path() const { return m_dir.filePath(QStringLiteral("kola.ini")); }

    std::unique_ptr<BikesWindow> openWindow()
    {
        auto w = std::make_unique<BikesWindow>(m_log, path(), nullptr, [this](const QString &from, const QString &to) {
            m_renamed.append({from, to});
            renameBikeInRides(m_log, from, to);
        });
        w->show();
        w->activateWindow();
        [&] { QVERIFY(QTest::qWaitForWindowActive(w.get())); }();
        return w;
    }

    QString bikeCell(BikesWindow *w, int row, int column) const
    {
        const QTableWidgetItem *item = w->bikeTable->item(row, column);
        return item ? item->text() : QStringLiteral("<none>");
    }

private slots:
    void init()
    {
        QFile::remove(path());
        m_renamed.clear();
        m_msgs.clear();
        setUpRideLogTable(m_log);
        addBikeColumn(m_log);
        m_log.setTableRowCount(4);
        const QStringList rides[] = {{"3.5.2024", "", "", "42,5", "", "", "", "Trek"},
                                     {"4.5.2024", "", "", "10", "", "", "", "trek"},
                                     {"5.5.2024", "", "", "7", "", "", "", "Babiččino"}};
        for (int i = 0; i < 3; ++i)
            m_log.setRowTexts(i + 1, rides[i]);
    }

    // A bike made by mouse: its rides in the log counted at once, a
    // name the files cannot hold refused in the dialog.
    void newBikeByMouse()
    {
        auto w = openWindow();
        // The bike the rides name and the file does not know is listed.
        QCOMPARE(bikeCell(w.get(), 0, 0), QStringLiteral("Trek"));
        QCOMPARE(bikeCell(w.get(), 0, 1), QStringLiteral("neznámé kolo"));
        QCOMPARE(bikeCell(w.get(), 0, 4), QStringLiteral("53"));
        QStringList refusals;
        onModal<BikeDialog>([&](BikeDialog *d) {
            QCOMPARE(d->nameEdit->text(), QStringLiteral("Trek")); // offered from the selected row
            d->nameEdit->selectAll();
            d->nameEdit->insert(QStringLiteral("Trek ✓")); // as pasted
            clickOk(d);
            refusals << (d->problemLabel->isVisible() ? d->problemLabel->text() : QString());
            d->nameEdit->setText(QStringLiteral("Trek"));
            d->typeBox->setCurrentIndex(2);
            d->kmBeforeEdit->setText(QStringLiteral("1000"));
            clickOk(d);
        });
        QTest::mouseClick(w->newBikeButton, Qt::LeftButton);
        QVERIFY2(refusals.value(0).contains(QStringLiteral("Windows-1250")), qPrintable(refusals.value(0)));
        QCOMPARE(bikeCell(w.get(), 0, 0), QStringLiteral("Trek (výchozí)"));
        QCOMPARE(bikeCell(w.get(), 0, 1), QStringLiteral("gravel"));
        QCOMPARE(bikeCell(w.get(), 0, 3), QStringLiteral("2"));
        QCOMPARE(bikeCell(w.get(), 0, 5), QStringLiteral("1\u00a0053"));
        QVERIFY(fileBytes(path()).contains("nazev=Trek\r\ntyp=gravel\r\nnajeto_pred=1000\r\nvychozi=1\r\n"));
        // A bike with rides cannot be deleted.
        QVERIFY(!w->removeBikeButton->isEnabled());
        picture(w.get(), QStringLiteral("kola"));
    }

    // Parts by keyboard: a part mounted, serviced, moved and replaced,
    // each button reached with Alt and its letter.
    void partsByKeyboard()
    {
        putFile(path(), "[kolo1]\r\nnazev=Trek\r\nvychozi=1\r\n[kolo2]\r\nnazev=Babi\xe8\xe8ino\r\n");
        auto w = openWindow();
        QCOMPARE(w->selectedBike(), QStringLiteral("kolo1"));
        onModal<PartDialog>([&](PartDialog *d) {
            QTest::keyClicks(d->nameBox->lineEdit(), QStringLiteral("kazeta"));
            d->mountedEdit->setDate(QDate(2024, 5, 4));
            QTest::keyClicks(d->intervalKmEdit, QStringLiteral("50"));
            QTest::keyClick(d->intervalKmEdit, Qt::Key_Return);
        });
        alt(w.get(), Qt::Key_D);
        QCOMPARE(w->partTable->model()->rowCount(), 1);
        const QModelIndex state = w->partTable->model()->index(0, 4);
        QCOMPARE(state.data().toString(), QStringLiteral("10 / 50 km"));

        onModal<PartEventDialog>([&](PartEventDialog *d) {
            d->dateEdit->setDate(QDate(2024, 5, 3)); // before the mounting: refused
            QTest::keyClick(d->dateEdit, Qt::Key_Return);
            QVERIFY(d->problemLabel->isVisible());
            d->dateEdit->setDate(QDate(2024, 5, 5));
            QTest::keyClick(d->dateEdit, Qt::Key_Return);
        });
        alt(w.get(), Qt::Key_P);
        QCOMPARE(w->partTable->model()->index(0, 4).data().toString(), QStringLiteral("0 / 50 km"));

        onModal<PartEventDialog>([&](PartEventDialog *d) {
            QCOMPARE(d->bikeBox->currentText(), QStringLiteral("Babiččino"));
            d->dateEdit->setDate(QDate(2024, 5, 5));
            QTest::keyClick(d->dateEdit, Qt::Key_Return);
        });
        alt(w.get(), Qt::Key_O);
        QCOMPARE(w->selectedBike(), QStringLiteral("kolo2"));
        QCOMPARE(w->partTable->model()->index(0, 4).data().toString(), QStringLiteral("7 / 50 km"));
        QVERIFY2(w->historyView->toPlainText().contains(QStringLiteral("přesunuto na kolo Babiččino (na kole Trek najeto 10 km)")),
                 qPrintable(w->historyView->toPlainText()));

        onModal<PartEventDialog>([&](PartEventDialog *d) {
            d->dateEdit->setDate(QDate(2024, 5, 6));
            QTest::keyClick(d->dateEdit, Qt::Key_Return);
        });
        alt(w.get(), Qt::Key_M);
        QCOMPARE(w->partTable->model()->rowCount(), 2);
        QCOMPARE(w->partTable->model()->index(0, 4).data().toString(), QStringLiteral("0 / 50 km"));
        QCOMPARE(w->partTable->model()->index(1, 4).data().toString(), QStringLiteral("vyměněno 6.5.2024"));
        picture(w.get(), QStringLiteral("kola-dily"));
    }

    // A file with values the program cannot use is kept as it was, in a
    // copy the rider is told of, once a run.
    void damagedFileKept()
    {
        const QByteArray damaged = "[kolo1]\r\nnazev=Trek\r\nnajeto_pred=hodn\xec\r\n";
        putFile(path(), damaged);
        for (int opening = 0; opening < 2; ++opening)
            openWindow();
        QTRY_COMPARE(m_msgs.texts().size(), 1);
        const QString said = m_msgs.texts().constFirst();
        QVERIFY2(said.contains(QStringLiteral("najeto před deníkem „hodně“ není počet km")), qPrintable(said));
        const QStringList copies = QDir(m_dir.path()).entryList({QStringLiteral("kola-poskozeny-*.ini")});
        QCOMPARE(copies.size(), 1);
        QVERIFY(said.contains(copies.constFirst()));
        QCOMPARE(fileBytes(m_dir.filePath(copies.constFirst())), damaged);
    }

    // Renaming a bike renames its rides through the main window's hook;
    // retiring keeps the bike's km.
    void renameAndRetire()
    {
        putFile(path(), "[kolo1]\r\nnazev=Trek\r\nvychozi=1\r\n[kolo2]\r\nnazev=Cube\r\n");
        auto w = openWindow();
        w->selectBike(QStringLiteral("kolo1"));
        onModal<BikeDialog>([&](BikeDialog *d) {
            d->nameEdit->setText(QStringLiteral("cube"));
            QTest::keyClick(d->nameEdit, Qt::Key_Return);
            QVERIFY(d->problemLabel->text().contains(QStringLiteral("už v seznamu je")));
            d->nameEdit->setText(QStringLiteral("Trek Domane"));
            QTest::keyClick(d->nameEdit, Qt::Key_Return);
        });
        alt(w.get(), Qt::Key_U);
        QCOMPARE(m_renamed, (QList<std::pair<QString, QString>>{{"Trek", "Trek Domane"}}));
        QCOMPARE(m_log.cell(RideColumn::Bike, 2), QStringLiteral("Trek Domane"));
        QCOMPARE(bikeCell(w.get(), 1, 0), QStringLiteral("Trek Domane (výchozí)"));
        QCOMPARE(bikeCell(w.get(), 1, 4), QStringLiteral("53"));

        alt(w.get(), Qt::Key_V);
        const int last = w->bikeTable->rowCount() - 2; // the unknown bike stays last
        QCOMPARE(bikeCell(w.get(), last, 0), QStringLiteral("Trek Domane (vyřazené)"));
        QCOMPARE(bikeCell(w.get(), last, 4), QStringLiteral("53"));
        QVERIFY(fileBytes(path()).contains("nazev=Trek Domane\r\n"));
        QVERIFY(fileBytes(path()).startsWith("[kolo1]\r\nnazev=Trek Domane\r\nvychozi=0\r\ntyp=silni\xe8n\xed\r\n"
                                             "najeto_pred=0\r\nvyrazeno=1\r\n[kolo2]"));
        QVERIFY(!w->garage().defaultBike()); // a retired bike is nobody's default
    }
};

QTEST_MAIN(TestBikesWindow)
#include "tst_bikeswindow.moc"
