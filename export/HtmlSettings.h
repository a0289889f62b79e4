#pragma once
#include <QString>
#include <QtGlobal>

// The look of the exported HTML page, kept in section HtmlSet of
// store.ini. Colours are Windows colour values: red in bits 0–7, green
// 8–15, blue 16–23; bit 31 set names a system colour by its low byte.
struct HtmlSettings
{
    QString FontTableName = QStringLiteral("Arial");
    qint32 FontTableSize = 8; // points
    qint32 FontTableColor = 0;
    QString FontTitleName = QStringLiteral("Arial");
    qint32 FontTitleSize = 10; // points
    qint32 FontTitleColor = 0;
    qint32 BorderSize = 1; // pixels
    qint32 BorderColor = 0;
    qint32 TableColor = 15859454; // F1FEFE, a very pale yellow
    qint32 BodyColor = 16777215;  // white
    QString Title = QStringLiteral("Trasovník HTML výstup");
    bool usewrap = true; // cells do not wrap and are cut to zkraceni characters
    qint32 zkraceni = 36;

    static constexpr int kMinBorder = 0;
    static constexpr int kMaxBorder = 10;

    bool operator==(const HtmlSettings &) const = default;
};

size_t qHash(const HtmlSettings &s, size_t seed = 0);

namespace HtmlSettingsFile {

inline constexpr QStringView kSection = u"HtmlSet";

// The thirteen keys of the section; a missing key or an integer key that
// is not a whole number gives the factory value.
HtmlSettings load(const QString &iniPath);
// Writes all thirteen keys in one write of the file. Throws
// AppError("Unable to write to <path>").
void save(const QString &iniPath, const HtmlSettings &settings);
// Removes the section, so that the factory values count again.
void erase(const QString &iniPath);

} // namespace HtmlSettingsFile
