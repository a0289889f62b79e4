// Tests of the error guard of Messages: a failure ends the action and is
// shown once in the error box.

#include "AppError.h"
#include "Messages.h"

#include "MessageRecorder.h"

#include <QtTest>

#include <new>
#include <stdexcept>

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void runGuardedShowsFailure_data();
    void runGuardedShowsFailure();
    void runGuardedSuccess();
};

void TestMessages::runGuardedShowsFailure_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("AppError") << 0 << "Cannot open file /x/default.tvl";
    QTest::newRow("AppError with Czech text") << 0 << "Soubor tabulky udává příliš mnoho řádků";
    QTest::newRow("integer conversion") << 1 << "'x' is not a valid integer value";
    QTest::newRow("other exception") << 2 << "something broke";
    QTest::newRow("out of memory") << 3 << "Out of memory";
}

void TestMessages::runGuardedShowsFailure()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    MessageRecorder recorder;
    bool after = false;
    const bool ok = runGuarded([&] {
        switch (kind) {
        case 0: throw AppError(text);
        case 1: throw invalidIntegerError(u"x");
        case 2: throw std::runtime_error(text.toStdString());
        default: throw std::bad_alloc();
        }
        after = true;
    });
    QVERIFY(!ok);
    QVERIFY(!after);
    QCOMPARE(recorder.shown.size(), 1);
    QCOMPARE(recorder.shown.at(0).first, Messages::Kind::Failure);
    QCOMPARE(recorder.shown.at(0).second, text);
}

void TestMessages::runGuardedSuccess()
{
    MessageRecorder recorder;
    int runs = 0;
    QVERIFY(runGuarded([&] { ++runs; }));
    QCOMPARE(runs, 1);
    QVERIFY(recorder.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
