// Every input kept in the fuzz corpus (seed files and past findings)
// goes through its file check, so that what was fixed stays fixed.

#include "FileChecks.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

class TestCorpus : public QObject
{
    Q_OBJECT
private slots:
    void replay_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("path");
        for (const auto &target : FileChecks::targets) {
            const QDir dir(QStringLiteral(TRASOVNIK_CORPUS_DIR "/") + QLatin1String(target.name));
            const QStringList files = dir.entryList(QDir::Files, QDir::Name);
            QVERIFY2(!files.isEmpty(), qPrintable(dir.path() + QStringLiteral(" holds no inputs")));
            for (const QString &file : files)
                QTest::addRow("%s/%s", target.name, qPrintable(file))
                    << QString::fromLatin1(target.name) << dir.filePath(file);
        }
    }

    void replay()
    {
        QFETCH(QString, target);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray input = file.readAll();
        const auto *entry = std::find_if(FileChecks::targets.begin(), FileChecks::targets.end(),
                                         [&](const auto &t) { return target == QLatin1String(t.name); });
        QVERIFY(entry != FileChecks::targets.end());
        QTemporaryDir scratch;
        QVERIFY(scratch.isValid());
        const QString finding = entry->check(input, scratch.path());
        QVERIFY2(finding.isEmpty(), qPrintable(finding));
    }
};

QTEST_GUILESS_MAIN(TestCorpus)
#include "tst_corpus.moc"
