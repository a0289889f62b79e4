// The desktop knows the rider's ride files as the program's: the MIME
// package it installs, compiled by the desktop's own update-mime-database
// beside the shared database, tells FIT rides from FITS images, and the
// desktop entry offers the program for each type.
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestMimeTypes : public QObject
{
    Q_OBJECT
    QTemporaryDir m_share;

    QString put(const QString &name, const QByteArray &bytes)
    {
        QFile f(m_share.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }

private slots:
    void initTestCase()
    {
        const QString shared = QStringLiteral("/usr/share/mime/packages/freedesktop.org.xml");
        if (!QFile::exists(shared) || QStandardPaths::findExecutable("update-mime-database").isEmpty())
            QSKIP("the shared MIME database (shared-mime-info) is not installed");
        QVERIFY(QDir(m_share.path()).mkpath("mime/packages"));
        QVERIFY(QFile::copy(shared, m_share.filePath("mime/packages/freedesktop.org.xml")));
        QVERIFY(QFile::copy(TRASOVNIK_MIME_XML, m_share.filePath("mime/packages/trasovnik.xml")));
        QProcess update;
        update.start("update-mime-database", {m_share.filePath("mime")});
        QVERIFY(update.waitForFinished(60000));
        QCOMPARE(update.exitCode(), 0);
        // The database is read at its first use, from these folders only.
        qputenv("XDG_DATA_HOME", m_share.path().toLocal8Bit());
        qputenv("XDG_DATA_DIRS", m_share.path().toLocal8Bit());
    }

    void typesOfRideFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("type");
        QTest::newRow("FIT") << "ride.fit" << QByteArray("\x0e\x10\x11\x08\x00\x00\x00\x00.FIT\x00\x00", 14)
                             << "application/vnd.ant.fit";
        QTest::newRow("FIT in capitals") << "RIDE.FIT" << QByteArray("\x0c\x10\x11\x08\x00\x00\x00\x00.FIT", 12)
                                         << "application/vnd.ant.fit";
        QTest::newRow("FITS image") << "sky.fit" << QByteArray("SIMPLE  =                    T").leftJustified(80, ' ')
                                    << "application/fits";
        QTest::newRow("TCX") << "ride.tcx"
                             << QByteArray("<?xml version=\"1.0\"?><TrainingCenterDatabase xmlns=\"http://www.garmin."
                                           "com/xmlschemas/TrainingCenterDatabase/v2\"/>")
                             << "application/vnd.garmin.tcx+xml";
        QTest::newRow("GPX") << "ride.gpx"
                             << QByteArray("<?xml version=\"1.0\"?><gpx xmlns=\"http://www.topografix.com/GPX/1/1\"/>")
                             << "application/gpx+xml";
    }

    void typesOfRideFiles()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, type);
        QCOMPARE(QMimeDatabase().mimeTypeForFile(put(name, bytes)).name(), type);
    }

    void desktopEntryOffersTheProgram()
    {
        QFile file(TRASOVNIK_DESKTOP_ENTRY);
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QHash<QString, QString> entry;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n'))
            if (const qsizetype eq = line.indexOf(u'='); eq > 0)
                entry.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
        QVERIFY(entry.value("Exec").endsWith(" %F"));
        const QStringList types = entry.value("MimeType").split(u';', Qt::SkipEmptyParts);
        QMimeDatabase db;
        for (const char *type : {"application/vnd.ant.fit", "application/gpx+xml", "application/vnd.garmin.tcx+xml"}) {
            QVERIFY2(types.contains(QLatin1String(type)), type);
            QVERIFY2(db.mimeTypeForName(QLatin1String(type)).isValid(), type);
        }
    }
};

QTEST_GUILESS_MAIN(TestMimeTypes)
#include "tst_mimetypes.moc"
