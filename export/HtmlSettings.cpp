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
    s.FontTableName = fontName(kFontTableName, factory.FontTableName);
    s.FontTableSize = number(kFontTableSize, factory.FontTableSize);
    s.FontTableColor = number(kFontTableColor, factory.FontTableColor);
    s.FontTitleName = fontName(kFontTitleName, factory.FontTitleName);
    s.FontTitleSize = number(kFontTitleSize, factory.FontTitleSize);
    s.FontTitleColor = number(kFontTitleColor, factory.FontTitleColor);
    s.BorderSize = number(kBorderSize, factory.BorderSize);
    s.BorderColor = number(kBorderColor, factory.BorderColor);
    s.TableColor = number(kTableColor, factory.TableColor);
    s.BodyColor = number(kBodyColor, factory.BodyColor);
    s.Title = text(kTitle, factory.Title);
    s.usewrap = number(kUsewrap, factory.usewrap ? 1 : 0) != 0;
    s.zkraceni = number(kZkraceni, factory.zkraceni);
    return s;
}

void save(const QString &iniPath, const HtmlSettings &s)
{
    const auto n = [](qint32 v) { return QString::number(v); };
    IniFile::writeStrings(iniPath, kSection,
                          {
                              {kFontTableName, s.FontTableName},
                              {kFontTableSize, n(s.FontTableSize)},
                              {kFontTableColor, n(s.FontTableColor)},
                              {kFontTitleName, s.FontTitleName},
                              {kFontTitleSize, n(s.FontTitleSize)},
                              {kFontTitleColor, n(s.FontTitleColor)},
                              {kBorderSize, n(s.BorderSize)},
                              {kBorderColor, n(s.BorderColor)},
                              {kTableColor, n(s.TableColor)},
                              {kBodyColor, n(s.BodyColor)},
                              {kTitle, s.Title},
                              {kUsewrap, s.usewrap ? QStringLiteral("1") : QStringLiteral("0")},
                              {kZkraceni, n(s.zkraceni)},
                          });
}

void erase(const QString &iniPath)
{
    IniFile::eraseSection(iniPath, kSection);
}

} // namespace HtmlSettingsFile

size_t qHash(const HtmlSettings &s, size_t seed)
{
    return qHashMulti(seed, s.FontTableName, s.FontTableSize, s.FontTableColor, s.FontTitleName, s.FontTitleSize,
                      s.FontTitleColor, s.BorderSize, s.BorderColor, s.TableColor, s.BodyColor, s.Title, s.usewrap,
                      s.zkraceni);
}
