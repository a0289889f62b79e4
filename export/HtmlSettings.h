#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The look of the exported HTML page, kept in section HtmlSet of
// store.ini. Colours are Windows colour values: red in bits 0–7, green
// 8–15, blue 16–23; bit 31 set names a system colour by its low byte.
struct HtmlSettings
{
    QString tableFontName = QStringLiteral("Arial");
    qint32 tableFontSize = 8; // points
    qint32 tableFontColour = 0;
    QString titleFontName = QStringLiteral("Arial");
    qint32 titleFontSize = 10; // points
    qint32 titleFontColour = 0;
    qint32 borderSize = 1; // pixels
    qint32 borderColour = 0;
    qint32 tableColour = 15859454; // F1FEFE, a very pale yellow
    qint32 pageColour = 16777215;  // white
    QString title = QStringLiteral("Trasovník HTML výstup");
    bool cutLongTexts = true; // cells do not wrap and are cut to cutLength characters
    qint32 cutLength = 36;

    static constexpr int kMinBorder = 0;
    static constexpr int kMaxBorder = 10;

    bool operator==(const HtmlSettings &) const = default;
};

size_t qHash(const HtmlSettings &s, size_t seed = 0);

// A font family name holds only what a CSS family name can: letters (those
// Windows-1250 has, Czech ones included), digits, blanks, "-" and "_". So
// it is always storable in store.ini, and quoted in the page's style sheet
// it can never end the quote, the rule or the <STYLE> element.
bool isFontNameCharacter(QChar c);
// The name with every other character left out and the blanks at its
// ends trimmed.
QString cleanFontName(QStringView name);

namespace HtmlSettingsFile {

inline constexpr QStringView kSection = u"HtmlSet";

// The thirteen keys of the section; a missing key or an integer key that
// is not a whole number gives the factory value. Font names are cleaned
// (cleanFontName); each stored name that lost characters that way is
// added to `cleaned` as it was stored.
HtmlSettings load(const QString &iniPath, QStringList *cleaned = nullptr);
// Writes all thirteen keys in one write of the file. Throws
// AppError("Unable to write to <path>").
void save(const QString &iniPath, const HtmlSettings &settings);
// Removes the section, so that the factory values count again.
void erase(const QString &iniPath);

} // namespace HtmlSettingsFile
