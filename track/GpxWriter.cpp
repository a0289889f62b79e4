// A ride's track as a GPX 1.1 file, for the rider to take to other
// programs: the elements in the order the GPX schema has them, numbers
// without exponents (xsd:decimal), times in UTC.

#include "RideTrack.h"

#include <QDateTime>
#include <QXmlStreamWriter>

#include <charconv>
#include <cmath>

namespace RideTrack {

namespace {

const QString kGpx = QStringLiteral("http://www.topografix.com/GPX/1/1");
const QString kSchemaInstance = QStringLiteral("http://www.w3.org/2001/XMLSchema-instance");
const QString kTrackPointExtension = QStringLiteral("http://www.garmin.com/xmlschemas/TrackPointExtension/v1");
const QString kPowerExtension = QStringLiteral("http://www.garmin.com/xmlschemas/PowerExtension/v1");

// The shortest decimal that reads back as the same number.
template<typename Number>
QString decimal(Number value)
{
    char text[400];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return error == std::errc() ? QString::fromLatin1(text, end - text) : QStringLiteral("0");
}

QString timeText(qint64 ms)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
    return t.toString(ms % 1000 == 0 ? QStringLiteral("yyyy-MM-ddTHH:mm:ssZ") : QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

// Characters XML 1.0 cannot hold are left out of a name.
QString xmlText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (c.unicode() >= 0x20 || c == u'\t' || c == u'\n' || c == u'\r')
            if (c.unicode() != 0xFFFE && c.unicode() != 0xFFFF)
                out.append(c);
    return out;
}

// A whole number within the range of the extension's field; none when
// the point has no such value.
std::optional<int> whole(float value, int lowest, int highest)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const long rounded = std::lround(value);
    return rounded >= lowest && rounded <= highest ? std::optional(int(rounded)) : std::nullopt;
}

struct Measured
{
    std::optional<int> heartRate, cadence, power;
    bool garmin() const { return heartRate || cadence; }
    bool any() const { return garmin() || power; }
};

Measured measuredAt(const TrackPoint &p)
{
    return {whole(p.heartRate, 1, 255), whole(p.cadence, 0, 254), whole(p.power, 0, 65535)};
}

void writePoint(QXmlStreamWriter &xml, const TrackPoint &p)
{
    xml.writeStartElement(kGpx, QStringLiteral("trkpt"));
    xml.writeAttribute(QStringLiteral("lat"), decimal(p.lat));
    xml.writeAttribute(QStringLiteral("lon"), decimal(p.lon));
    if (std::isfinite(p.elevation))
        xml.writeTextElement(kGpx, QStringLiteral("ele"), decimal(p.elevation));
    if (p.timed())
        xml.writeTextElement(kGpx, QStringLiteral("time"), timeText(p.ms));
    const Measured m = measuredAt(p);
    if (m.any()) {
        xml.writeStartElement(kGpx, QStringLiteral("extensions"));
        if (m.power)
            xml.writeTextElement(kPowerExtension, QStringLiteral("PowerInWatts"), QString::number(*m.power));
        if (m.garmin()) {
            xml.writeStartElement(kTrackPointExtension, QStringLiteral("TrackPointExtension"));
            if (m.heartRate)
                xml.writeTextElement(kTrackPointExtension, QStringLiteral("hr"), QString::number(*m.heartRate));
            if (m.cadence)
                xml.writeTextElement(kTrackPointExtension, QStringLiteral("cad"), QString::number(*m.cadence));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

} // namespace

QByteArray gpxOf(const Track &track, const QString &name)
{
    bool garmin = false, power = false;
    for (const TrackPiece &piece : track.pieces)
        for (const TrackPoint &p : piece) {
            const Measured m = measuredAt(p);
            garmin |= m.garmin();
            power |= m.power.has_value();
        }
    QByteArray out;
    out.reserve(track.pointCount() * 90 + 1024);
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(kGpx);
    xml.writeNamespace(kSchemaInstance, QStringLiteral("xsi"));
    if (garmin)
        xml.writeNamespace(kTrackPointExtension, QStringLiteral("gpxtpx"));
    if (power)
        xml.writeNamespace(kPowerExtension, QStringLiteral("gpxpx"));
    xml.writeStartElement(kGpx, QStringLiteral("gpx"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("creator"), QStringLiteral("Trasovník " TRASOVNIK_VERSION));
    xml.writeAttribute(kSchemaInstance, QStringLiteral("schemaLocation"),
                       QStringLiteral("http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd"));
    const QString shownName = xmlText(name);
    xml.writeStartElement(kGpx, QStringLiteral("metadata"));
    if (!shownName.isEmpty())
        xml.writeTextElement(kGpx, QStringLiteral("name"), shownName);
    xml.writeEndElement();
    xml.writeStartElement(kGpx, QStringLiteral("trk"));
    if (!shownName.isEmpty())
        xml.writeTextElement(kGpx, QStringLiteral("name"), shownName);
    for (const TrackPiece &piece : track.pieces) {
        xml.writeStartElement(kGpx, QStringLiteral("trkseg"));
        for (const TrackPoint &p : piece)
            writePoint(xml, p);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

} // namespace RideTrack
