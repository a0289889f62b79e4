#include "HtmlSettings.h"
#include "AnsiFile.h"
#include "IniFile.h"

#include <QHash>

bool isFontNameCharacter(QChar c)
{
    if (c == u' ' || c == u'-' || c == u'_')
        return true;
    return (c.isLetter() || c.isDigit()) && AnsiFile::encodeChar(c) >= 0;
}

QString cleanFontName(QStringView name)
{
    QString kept;
    kept.reserve(name.size());
    for (QChar c : name)
        if (isFontNameCharacter(c))
            kept += c;
    return kept.trimmed();
}

namespace HtmlSettingsFile {

namespace {
const QString kFontTableName = QStringLiteral("FontTableName");
const QString kFontTableSize = QStringLiteral("FontTableSize");
const QString kFontTableColor = QStringLiteral("FontTableColor");
const QString kFontTitleName = QStringLiteral("FontTitleName");
const QString kFontTitleSize = QStringLiteral("FontTitleSize");
const QString kFontTitleColor = QStringLiteral("FontTitleColor");
const QString kBorderSize = QStringLiteral("BorderSize");
const QString kBorderColor = QStringLiteral("BorderColor");
const QString kTableColor = QStringLiteral("TableColor");
const QString kBodyColor = QStringLiteral("BodyColor");
const QString kTitle = QStringLiteral("Title");
const QString kUsewrap = QStringLiteral("usewrap");
const QString kZkraceni = QStringLiteral("zkraceni");
} // namespace

HtmlSettings load(const QString &iniPath, QStringList *cleaned)
{
    const HtmlSettings factory;
    HtmlSettings s;
    const auto text = [&](const QString &key, const QString &fallback) {
        return IniFile::readString(iniPath, kSection, key, fallback);
    };
    const auto number = [&](const QString &key, qint32 fallback) {
        return IniFile::readInteger(iniPath, kSection, key, fallback);
    };
    const auto fontName = [&](const QString &key, const QString &fallback) {
        const QString stored = text(key, fallback);
        const QString name = cleanFontName(stored);
        if (cleaned && name != stored.trimmed())
            cleaned->append(stored);
        return name;
    };
    s.tableFontName = fontName(kFontTableName, factory.tableFontName);
    s.tableFontSize = number(kFontTableSize, factory.tableFontSize);
    s.tableFontColour = number(kFontTableColor, factory.tableFontColour);
    s.titleFontName = fontName(kFontTitleName, factory.titleFontName);
    s.titleFontSize = number(kFontTitleSize, factory.titleFontSize);
    s.titleFontColour = number(kFontTitleColor, factory.titleFontColour);
    s.borderSize = number(kBorderSize, factory.borderSize);
    s.borderColour = number(kBorderColor, factory.borderColour);
    s.tableColour = number(kTableColor, factory.tableColour);
    s.pageColour = number(kBodyColor, factory.pageColour);
    s.title = text(kTitle, factory.title);
    s.cutLongTexts = number(kUsewrap, factory.cutLongTexts ? 1 : 0) != 0;
    s.cutLength = number(kZkraceni, factory.cutLength);
    return s;
}

void save(const QString &iniPath, const HtmlSettings &s)
{
    const auto n = [](qint32 v) { return QString::number(v); };
    IniFile::writeStrings(iniPath, kSection,
                          {
                              {kFontTableName, s.tableFontName},
                              {kFontTableSize, n(s.tableFontSize)},
                              {kFontTableColor, n(s.tableFontColour)},
                              {kFontTitleName, s.titleFontName},
                              {kFontTitleSize, n(s.titleFontSize)},
                              {kFontTitleColor, n(s.titleFontColour)},
                              {kBorderSize, n(s.borderSize)},
                              {kBorderColor, n(s.borderColour)},
                              {kTableColor, n(s.tableColour)},
                              {kBodyColor, n(s.pageColour)},
                              {kTitle, s.title},
                              {kUsewrap, s.cutLongTexts ? QStringLiteral("1") : QStringLiteral("0")},
                              {kZkraceni, n(s.cutLength)},
                          });
}

void erase(const QString &iniPath)
{
    IniFile::eraseSection(iniPath, kSection);
}

} // namespace HtmlSettingsFile

size_t qHash(const HtmlSettings &s, size_t seed)
{
    return qHashMulti(seed, s.tableFontName, s.tableFontSize, s.tableFontColour, s.titleFontName, s.titleFontSize,
                      s.titleFontColour, s.borderSize, s.borderColour, s.tableColour, s.pageColour, s.title, s.cutLongTexts,
                      s.cutLength);
}
