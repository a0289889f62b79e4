#pragma once
// MBTiles files for the tests, made by Debian's sqlite3 program (not by
// the program's own reader): a solid tile as PNG, SQL run into a new file.
#include <QBuffer>
#include <QColor>
#include <QImage>
#include <QProcess>
#include <QtTest>

inline QByteArray pngOf(const QColor &color)
{
    QImage image(256, 256, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Runs SQL through the sqlite3 program into a new file.
inline void sqlite(const QString &file, const QString &sql)
{
#ifdef TRASOVNIK_SQLITE3
    QProcess p;
    p.start(QStringLiteral(TRASOVNIK_SQLITE3), {file});
    QVERIFY(p.waitForStarted());
    p.write(sql.toUtf8());
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished());
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
#else
    Q_UNUSED(file) Q_UNUSED(sql)
    QSKIP("sqlite3 is not installed");
#endif
}

inline const QString kMbTilesTables = QStringLiteral(
    "CREATE TABLE metadata (name TEXT, value TEXT);\n"
    "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB);\n");

// A tile's row: rows of an MBTiles file count from the south.
inline QString tileInsert(int z, int x, int tmsRow, const QByteArray &data)
{
    return QStringLiteral("INSERT INTO tiles VALUES (%1, %2, %3, X'%4');\n")
        .arg(z).arg(x).arg(tmsRow).arg(QString::fromLatin1(data.toHex()));
}
