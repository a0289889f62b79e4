// The rides of a TCX file: one per activity, with the distance and timer
// time its laps give. The trackpoints are skipped: a lap carries its own
// totals, which are what the device showed the rider.
//
// A ride has no name: a TCX activity carries none (its notes are the
// rider's free text, and courses are planned routes, not rides).

#include "RecordedRide.h"
#include "XmlRideFile.h"

#include <QDateTime>
#include <QIODevice>
#include <QTimeZone>
#include <QXmlStreamReader>

#include <cmath>

namespace GpsImport {

namespace {

using namespace XmlRideFile;

// A lap's distance or time beyond this (10,000 km, 115 days) is no
// recording but damage, and is left out.
constexpr double kLargestLapValue = 1e7;

struct Activity
{
    std::optional<qint64> startMs;
    std::optional<qint64> firstLapStartMs;
    double metres = 0;
    bool measured = false; // a lap gave a distance
    double seconds = 0;
    QString sport;
};

class TcxFile
{
public:
    TcxFile(QIODevice &in, const StopFlag &stop)
        : m_tokens(m_xml, stop), m_latestMs(QDateTime::currentMSecsSinceEpoch() + kYearMs)
    {
        prepare(m_xml, in);
    }

    FileRides read(QIODevice &in);

private:
    bool isTcx(QStringView name) const { return m_xml.name() == name && m_xml.namespaceUri() == m_namespace; }
    void readActivities();
    void readActivity();
    void readLap(Activity &activity);
    std::optional<double> readLapValue();
    std::optional<qint64> plausible(std::optional<qint64> ms) const
    {
        return ms && *ms >= kEarliestMs && *ms <= m_latestMs ? ms : std::nullopt;
    }

    QXmlStreamReader m_xml;
    Tokens m_tokens;
    qint64 m_latestMs;
    QString m_namespace;
    QList<RecordedRide> m_rides;
    qint64 m_firstUndatedLine = 0;
};

FileRides TcxFile::read(QIODevice &in)
{
    if (const auto problem = openRoot(in, m_tokens, m_xml, u"TrainingCenterDatabase",
                                      QStringLiteral("není to soubor TCX"), m_namespace))
        return {{}, *problem};
    while (m_tokens.next()) {
        if (!m_xml.isStartElement())
            continue;
        if (isTcx(u"Activities"))
            readActivities();
        else
            m_tokens.skipElement();
    }
    if (const auto problem = walkProblem(m_tokens, m_xml))
        return {{}, *problem};
    const bool endedEarly = XmlRideFile::endedEarly(m_xml);
    FileRides result;
    result.rides = m_rides;
    if (endedEarly)
        for (RecordedRide &ride : result.rides)
            ride.remarks.append(QString::fromUtf16(kRemarkTruncated));
    if (result.rides.isEmpty()) {
        if (endedEarly)
            result.problem = brokenXml(m_xml);
        else if (m_firstUndatedLine > 0)
            result.problem = QStringLiteral("aktivita na řádku %1 nemá použitelný čas začátku").arg(m_firstUndatedLine);
        else
            result.problem = QStringLiteral("soubor neobsahuje žádnou aktivitu");
    }
    return result;
}

// Activities stand in the list itself or inside a multisport session.
void TcxFile::readActivities()
{
    while (m_tokens.nextChild()) {
        if (isTcx(u"Activity"))
            readActivity();
        else if (isTcx(u"MultiSportSession") || isTcx(u"FirstSport") || isTcx(u"NextSport"))
            readActivities();
        else
            m_tokens.skipElement();
    }
}

void TcxFile::readActivity()
{
    const qint64 line = m_xml.lineNumber();
    Activity activity;
    // Without a sport named it is taken for a bike ride.
    const QStringView sport = m_xml.attributes().value(QLatin1String("Sport")).trimmed();
    if (!sport.isEmpty())
        activity.sport = otherSportName(sport);
    while (m_tokens.nextChild()) {
        if (isTcx(u"Id"))
            activity.startMs = plausible(parseTime(m_tokens.text(64)));
        else if (isTcx(u"Lap"))
            readLap(activity);
        else
            m_tokens.skipElement();
    }
    // An activity cut off by the end of the file counts with its laps so far.
    const std::optional<qint64> start = activity.startMs ? activity.startMs : activity.firstLapStartMs;
    if (!start) {
        if (m_firstUndatedLine == 0)
            m_firstUndatedLine = line;
        return;
    }
    RecordedRide ride;
    ride.start = QDateTime::fromMSecsSinceEpoch(*start, Qt::UTC);
    if (activity.measured)
        ride.metres = activity.metres;
    else
        ride.remarks.append(QString::fromUtf16(kRemarkNoDistance));
    ride.seconds = activity.seconds;
    ride.otherSport = activity.sport;
    m_rides.append(ride);
}

void TcxFile::readLap(Activity &activity)
{
    if (!activity.firstLapStartMs)
        activity.firstLapStartMs = plausible(parseTime(m_xml.attributes().value(QLatin1String("StartTime"))));
    while (m_tokens.nextChild()) {
        if (isTcx(u"DistanceMeters")) {
            if (const auto metres = readLapValue()) {
                activity.metres += *metres;
                activity.measured = true;
            }
        } else if (isTcx(u"TotalTimeSeconds")) {
            if (const auto seconds = readLapValue())
                activity.seconds += *seconds;
        } else {
            m_tokens.skipElement();
        }
    }
}

std::optional<double> TcxFile::readLapValue()
{
    const std::optional<double> value = parseNumber(m_tokens.text(64));
    // A value cut off by the end of the file may have lost digits.
    if (!m_xml.hasError() && value && *value >= 0 && *value <= kLargestLapValue)
        return value;
    return std::nullopt;
}

} // namespace

FileRides readTcx(QIODevice &in, const StopFlag &stop)
{
    TcxFile file(in, stop);
    return file.read(in);
}

} // namespace GpsImport
