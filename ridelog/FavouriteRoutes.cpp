#include "FavouriteRoutes.h"
#include "AppError.h"
#include "IniFile.h"

namespace FavouriteRoutes {
namespace {
const QString kCourse = QStringLiteral("popis");
const QString kDistance = QStringLiteral("delka");
const QString kDifficulty = QStringLiteral("naroc");
} // namespace

QStringList names(const QString &path)
{
    return IniFile::sections(path);
}

Route read(const QString &path, const QString &name)
{
    Route r;
    r.distance = IniFile::readString(path, name, kDistance);
    r.course = IniFile::readString(path, name, kCourse);
    r.difficulty = IniFile::readInteger(path, name, kDifficulty, kDefaultDifficulty);
    return r;
}

QString nameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Trasu nelze uložit bez názvu. Napište její název do pole „Název trasy“.");
    if (!IniFile::isUsableSectionName(name))
        return QStringLiteral("Trasu „%1“ nelze uložit: název oblíbené trasy nesmí obsahovat hranaté závorky "
                              "„[“ a „]“ ani konec řádku.")
            .arg(excerpt(name));
    return QString();
}

void save(const QString &path, const QString &name, const Route &route)
{
    IniFile::writeStrings(path, name,
                          {{kCourse, route.course},
                           {kDistance, route.distance},
                           {kDifficulty, QString::number(route.difficulty)}});
}

bool remove(const QString &path, const QString &name)
{
    if (!IniFile::hasKeys(path, name))
        return false;
    IniFile::eraseSection(path, name);
    return true;
}

} // namespace FavouriteRoutes
