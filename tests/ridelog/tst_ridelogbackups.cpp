#include "RideLogBackups.h"

#include "TestFiles.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

// The copies of the ride log in "zalohy": which of them are kept. Qt Core
// only, no window.
class TestRideLogBackups : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;

    QString file(const QString &name) const { return m_dir->filePath(name); }

private slots:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }
    void cleanup() { m_dir.reset(); }

    // Of the daily copies, the newest 30 stay and then the newest of each
    // of the last 12 months; copies made on purpose always stay.
    void oldCopiesArePruned()
    {
        const QString log = file(u"default.tvl"_qs);
        QDir().mkpath(file(u"zalohy"_qs));
        const QDate today(2026, 12, 8);
        QStringList made;
        for (int d = 0; d <= 40; ++d)
            made.append(today.addDays(-d).toString(u"yyyy-MM-dd"_qs));
        made += {u"2026-03-15"_qs, u"2026-03-01"_qs, u"2026-01-05"_qs, u"2025-12-20"_qs, u"2024-01-01-120000"_qs};
        for (const QString &stamp : made)
            putFile(file(u"zalohy/default-"_qs + stamp + u".tvl"_qs), "x");
        RideLogBackups::prune(log, today);
        QStringList kept;
        for (const RideLogBackups::Entry &e : RideLogBackups::list(log))
            kept.append(QFileInfo(e.path).completeBaseName().mid(8));
        QStringList expected = made.mid(0, 30); // 8.12. back to 9.11.
        expected += {u"2026-10-31"_qs, u"2026-03-15"_qs, u"2026-01-05"_qs, u"2024-01-01-120000"_qs};
        QCOMPARE(kept, expected);
    }
};

QTEST_GUILESS_MAIN(TestRideLogBackups)
#include "tst_ridelogbackups.moc"
