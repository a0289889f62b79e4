#include "MapTiles.h"
#include "IniFile.h"
#include "MbTilesFile.h"

#include <QHashFunctions>
#include <QTextDocumentFragment>
#include <QUrl>

namespace MapTiles {

namespace {
constexpr char16_t kSection[] = u"MapovyPodklad";
constexpr char16_t kKindKey[] = u"Zdroj";
constexpr char16_t kTemplateKey[] = u"Sablona";
constexpr char16_t kFileKey[] = u"Soubor";

constexpr char16_t kOsmAttribution[] = u"© přispěvatelé OpenStreetMap";

struct KindName
{
    MapSource::Kind kind;
    const char16_t *name;
};
constexpr KindName kKindNames[] = {
    {MapSource::Kind::None, u"zadny"},
    {MapSource::Kind::OpenStreetMap, u"osm"},
    {MapSource::Kind::UrlTemplate, u"sablona"},
    {MapSource::Kind::MbTiles, u"mbtiles"},
};

bool isOsmHost(const QString &host)
{
    const QString h = host.toLower();
    return h == QLatin1String("openstreetmap.org") || h.endsWith(QLatin1String(".openstreetmap.org"));
}
} // namespace

// ---------------------------------------------------------------- settings

MapSource readMapSource(const QString &storeIniPath)
{
    MapSource source;
    const QString kind = IniFile::readString(storeIniPath, kSection, kKindKey).toLower();
    for (const KindName &k : kKindNames) {
        if (kind == QStringView(k.name))
            source.kind = k.kind;
    }
    source.urlTemplate = IniFile::readString(storeIniPath, kSection, kTemplateKey);
    source.mbtilesPath = IniFile::readString(storeIniPath, kSection, kFileKey);
    return source;
}

void writeMapSource(const QString &storeIniPath, const MapSource &source)
{
    QString kind;
    for (const KindName &k : kKindNames) {
        if (k.kind == source.kind)
            kind = QString::fromUtf16(k.name);
    }
    // The address and the file stay when another map is chosen: going
    // back to them needs no typing.
    IniFile::writeStrings(storeIniPath, kSection,
                          {{QString::fromUtf16(kKindKey), kind},
                           {QString::fromUtf16(kTemplateKey), source.urlTemplate},
                           {QString::fromUtf16(kFileKey), source.mbtilesPath}});
}

QString attributionOf(const MapSource &source)
{
    switch (source.kind) {
    case MapSource::Kind::None:
        return {};
    case MapSource::Kind::OpenStreetMap:
        return QString::fromUtf16(kOsmAttribution);
    case MapSource::Kind::UrlTemplate:
        // The rider's own server credits itself; OpenStreetMap's asks for this.
        return isOsmHost(QUrl(source.urlTemplate).host()) ? QString::fromUtf16(kOsmAttribution) : QString();
    case MapSource::Kind::MbTiles: {
        MbTilesFile file;
        if (!file.open(source.mbtilesPath).isEmpty())
            return {};
        const QString html = file.metadata(QStringLiteral("attribution"));
        return QTextDocumentFragment::fromHtml(html).toPlainText().simplified();
    }
    }
    return {};
}

QString osmTemplate()
{
    const QString local = qEnvironmentVariable("TRASOVNIK_OSM_TILES");
    return local.isEmpty() ? QString::fromUtf16(kOsmTemplate) : local;
}

QString urlTemplateProblem(const QString &urlTemplate)
{
    const QString t = urlTemplate.trimmed();
    if (t.isEmpty())
        return QStringLiteral("Zadejte adresu dlaždic.");
    if (!t.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        && !t.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return QStringLiteral("Adresa dlaždic musí začínat http:// nebo https://.");
    QStringList missing;
    for (const char *part : {"{z}", "{x}", "{y}"}) {
        if (!t.contains(QLatin1String(part)) && !(part[1] == 'y' && t.contains(QLatin1String("{-y}"))))
            missing.append(QLatin1String(part));
    }
    if (!missing.isEmpty())
        return QStringLiteral("V adrese dlaždic chybí %1.").arg(missing.join(QStringLiteral(", ")));
    if (QUrl(tileUrl(t, {}), QUrl::StrictMode).host().isEmpty())
        return QStringLiteral("Adresa dlaždic nemá platný název serveru.");
    return {};
}

QString mbtilesProblem(const QString &path)
{
    MbTilesFile file;
    return file.open(path);
}

size_t qHash(const TileKey &key, size_t seed)
{
    return qHashMulti(seed, key.z, key.x, key.y);
}

QString tileUrl(const QString &urlTemplate, const TileKey &key)
{
    QString url = urlTemplate.trimmed();
    url.replace(QLatin1String("{z}"), QString::number(key.z));
    url.replace(QLatin1String("{x}"), QString::number(key.x));
    url.replace(QLatin1String("{-y}"), QString::number((1 << key.z) - 1 - key.y));
    url.replace(QLatin1String("{y}"), QString::number(key.y));
    url.replace(QLatin1String("{s}"), QLatin1String("a"));
    return url;
}

} // namespace MapTiles
