#include "PlacementFile.h"

#include <QRegularExpression>

namespace PlacementFile {
namespace {
QString positionText(int a, int b, int c, int d)
{
    return QStringLiteral("%1,%2,%3,%4").arg(a).arg(b).arg(c).arg(d);
}

// The key with the screen suffix first; the plain key of the last save
// when this screen size has none.
QString readPosition(const QString &path, const QString &section, const QString &key, const QString &suffix)
{
    const QString suffixed = IniFile::readString(path, section, key + suffix);
    return suffixed.isEmpty() ? IniFile::readString(path, section, key) : suffixed;
}
} // namespace

QString screenSuffix(QSize screen)
{
    return QStringLiteral("(%1x%2)").arg(screen.width()).arg(screen.height());
}

std::array<int, 4> positionWords(QStringView text, const std::array<int, 4> &defaults)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    const QStringList words = text.toString().split(separators, Qt::SkipEmptyParts);
    std::array<int, 4> values = defaults;
    for (int i = 0; i < 4 && i < words.size(); ++i)
        values[i] = IniFile::parseInteger(words[i], defaults[i]);
    return values;
}

void save(const QString &path, const QString &section, int version, const WindowPlacement &p,
          const Screen &screen, bool visible, const IniFile::Entries &properties)
{
    const QString suffix = screenSuffix(screen.size);
    const QString minMax = positionText(p.minPosition.x(), p.minPosition.y(), p.maxPosition.x(), p.maxPosition.y());
    const QString norm = positionText(p.normalRect[0], p.normalRect[1], p.normalRect[2], p.normalRect[3]);
    IniFile::Entries entries = {
        {QStringLiteral("FormVersion"), QString::number(version)},
        {QStringLiteral("Flags"), QString::number(p.flags)},
        {QStringLiteral("ShowCmd"), QString::number(p.showCmd)},
        {QStringLiteral("PixelsPerInch"), QString::number(screen.pixelsPerInch)},
        {QStringLiteral("MinMaxPos") + suffix, minMax},
        {QStringLiteral("MinMaxPos"), minMax},
        {QStringLiteral("NormPos") + suffix, norm},
        {QStringLiteral("NormPos"), norm},
        {QStringLiteral("Visible"), visible ? QStringLiteral("1") : QStringLiteral("0")},
    };
    for (const auto &[key, value] : properties)
        entries.append({key, value.trimmed()});
    IniFile::writeStrings(path, section, entries);
}

Restored read(const QString &path, const QString &section, int version, const WindowPlacement &current,
              const Screen &screen)
{
    Restored r;
    r.placement = current;
    if (IniFile::readInteger(path, section, QStringLiteral("FormVersion"), 0) < version) {
        r.versionFits = false;
        return r;
    }
    const QString suffix = screenSuffix(screen.size);
    WindowPlacement &p = r.placement;
    p.flags = IniFile::readInteger(path, section, QStringLiteral("Flags"), current.flags);
    bool found = false;
    const QString minMax = readPosition(path, section, QStringLiteral("MinMaxPos"), suffix);
    if (!minMax.isEmpty()) {
        const auto w = positionWords(minMax, {0, 0, 0, 0});
        p.minPosition = QPoint(w[0], w[1]);
        p.maxPosition = QPoint(w[2], w[3]);
        found = true;
    }
    const QString norm = readPosition(path, section, QStringLiteral("NormPos"), suffix);
    if (!norm.isEmpty()) {
        p.normalRect = positionWords(norm, current.normalRect);
        found = true;
    }
    const int ppi = IniFile::readInteger(path, section, QStringLiteral("PixelsPerInch"), screen.pixelsPerInch);
    r.hasPosition = found && ppi == screen.pixelsPerInch;
    switch (IniFile::readInteger(path, section, QStringLiteral("ShowCmd"), 0)) {
    case 1: case 5: case 9:
        r.showCmd = WindowPlacement::Normal;
        break;
    case 2: case 6: case 7:
        r.showCmd = WindowPlacement::Minimized;
        break;
    case 3:
        r.showCmd = WindowPlacement::Maximized;
        break;
    default:
        r.showCmd = WindowPlacement::Hide;
        break;
    }
    return r;
}

} // namespace PlacementFile
