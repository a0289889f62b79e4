#include "XmlRideFile.h"

#include <QDateTime>
#include <QIODevice>

#include <charconv>

namespace GpsImport::XmlRideFile {

namespace {

bool isBlank(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

QStringView trimmed(QStringView s)
{
    while (!s.isEmpty() && isBlank(s.front().unicode()))
        s = s.sliced(1);
    while (!s.isEmpty() && isBlank(s.back().unicode()))
        s.chop(1);
    return s;
}

// The value of the digits s[at .. at+count), or -1.
int digits(QStringView s, qsizetype at, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        const char16_t c = s[at + i].unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

bool isLeap(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(int y, int m, int d)
{
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

// The common form, "YYYY-MM-DDThh:mm:ss[.f…][Z|±hh[:]mm]"; empty for any
// other, which the general parser then tries.
std::optional<qint64> parseCommonTime(QStringView s)
{
    if (s.size() < 19 || s[4] != u'-' || s[7] != u'-' || (s[10] != u'T' && s[10] != u't') || s[13] != u':'
        || s[16] != u':')
        return std::nullopt;
    const int year = digits(s, 0, 4), month = digits(s, 5, 2), day = digits(s, 8, 2);
    const int hour = digits(s, 11, 2), minute = digits(s, 14, 2), second = digits(s, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 || minute < 0 || minute > 59
        || second < 0 || second > 60 || day > daysInMonth(year, month))
        return std::nullopt;
    qsizetype at = 19;
    qint64 ms = 0;
    if (at < s.size() && (s[at] == u'.' || s[at] == u',')) {
        ++at;
        const qsizetype first = at;
        qint64 scale = 100;
        bool roundUp = false;
        while (at < s.size() && s[at] >= u'0' && s[at] <= u'9') {
            const int d = s[at].unicode() - u'0';
            if (scale > 0)
                ms += d * scale;
            else if (scale == 0)
                roundUp = d >= 5;
            scale = scale > 0 ? scale / 10 : -1;
            ++at;
        }
        if (at == first)
            return std::nullopt;
        ms += roundUp;
    }
    qint64 offsetMinutes = 0;
    if (at < s.size()) {
        const char16_t sign = s[at].unicode();
        if (sign == u'Z' || sign == u'z') {
            ++at;
        } else if (sign == u'+' || sign == u'-') {
            const QStringView zone = s.sliced(at + 1);
            int oh = -1, om = 0;
            if (zone.size() == 5 && zone[2] == u':') {
                oh = digits(zone, 0, 2);
                om = digits(zone, 3, 2);
            } else if (zone.size() == 4) {
                oh = digits(zone, 0, 2);
                om = digits(zone, 2, 2);
            } else if (zone.size() == 2) {
                oh = digits(zone, 0, 2);
            }
            if (oh < 0 || oh > 23 || om < 0 || om > 59)
                return std::nullopt;
            offsetMinutes = (sign == u'-' ? -1 : 1) * (oh * 60 + om);
            at = s.size();
        } else {
            return std::nullopt;
        }
    }
    if (at != s.size())
        return std::nullopt;
    const qint64 seconds = daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second
        - offsetMinutes * 60;
    return seconds * 1000 + ms;
}

} // namespace

std::optional<qint64> parseTime(QStringView text)
{
    const QStringView s = trimmed(text);
    if (const auto common = parseCommonTime(s))
        return common;
    if (s.size() > 64)
        return std::nullopt;
    QDateTime t = QDateTime::fromString(s.toString(), Qt::ISODateWithMs);
    if (!t.isValid())
        return std::nullopt;
    // Without an offset the time is UTC, as GPX and TCX have it.
    if (t.timeSpec() == Qt::LocalTime)
        t = QDateTime(t.date(), t.time(), Qt::UTC);
    return t.toMSecsSinceEpoch();
}

std::optional<double> parseNumber(QStringView text)
{
    QStringView s = trimmed(text);
    if (!s.isEmpty() && s.front() == u'+')
        s = s.sliced(1);
    char bytes[64];
    if (s.isEmpty() || s.size() > qsizetype(sizeof bytes))
        return std::nullopt;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (c > 0x7f)
            return std::nullopt;
        bytes[i] = char(c);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(bytes, bytes + s.size(), value);
    if (error != std::errc() || end != bytes + s.size())
        return std::nullopt;
    return value;
}

void prepare(QXmlStreamReader &xml, QIODevice &in)
{
    xml.setDevice(&in);
    // No entity resolver is set: nothing outside the file is read. An
    // entity declared in the file expands to a few kilobytes at most.
    xml.setEntityExpansionLimit(4096);
}

QString Tokens::text(qsizetype limit)
{
    QString collected;
    walkElement([&](QStringView part) {
        if (collected.size() < limit)
            collected.append(part.left(limit - collected.size()));
    });
    return collected.trimmed();
}

bool findRoot(Tokens &tokens, QXmlStreamReader &xml)
{
    while (tokens.next())
        if (xml.isStartElement())
            return true;
    return false;
}

std::optional<QString> openRoot(QIODevice &in, Tokens &tokens, QXmlStreamReader &xml, QStringView root,
                                const QString &otherKind, QString &rootNamespace)
{
    if (in.peek(1).isEmpty() && in.atEnd())
        return emptyFileProblem();
    if (!findRoot(tokens, xml) || xml.name() != root)
        return tokens.stopped() ? stoppedProblem() : otherKind;
    rootNamespace = xml.namespaceUri().toString();
    return std::nullopt;
}

std::optional<QString> walkProblem(const Tokens &tokens, const QXmlStreamReader &xml)
{
    if (tokens.stopped())
        return stoppedProblem();
    if (xml.hasError() && !endedEarly(xml))
        return brokenXml(xml);
    return std::nullopt;
}

QString brokenXml(const QXmlStreamReader &xml)
{
    return QStringLiteral("poškozený soubor XML (řádek %1): %2").arg(xml.lineNumber()).arg(xml.errorString());
}

} // namespace GpsImport::XmlRideFile
