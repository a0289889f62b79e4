#include "TimeText.h"
#include <algorithm>

namespace TimeText {

namespace {
// One number with blanks around it; false when there is no digit or the
// part holds anything else.
bool number(QStringView part, int &value)
{
    part = part.trimmed();
    if (part.isEmpty() || part.size() > 4)
        return false;
    int v = 0;
    for (QChar c : part) {
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return false;
        v = v * 10 + (c.unicode() - u'0');
    }
    value = v;
    return true;
}

struct Parsed
{
    Clock clock;
    int seconds = 0;
};

std::optional<Parsed> parseFull(QStringView text)
{
    // The ride log's own form, "HH:MM" with two digits in each part.
    const auto digit = [&text](int i) { return text[i].unicode() >= u'0' && text[i].unicode() <= u'9'; };
    if (text.size() == 5 && text[2] == u':' && digit(0) && digit(1) && digit(3) && digit(4)) {
        Parsed p;
        p.clock.hours = (text[0].unicode() - u'0') * 10 + (text[1].unicode() - u'0');
        p.clock.minutes = (text[3].unicode() - u'0') * 10 + (text[4].unicode() - u'0');
        if (p.clock.hours > 23 || p.clock.minutes > 59)
            return std::nullopt;
        return p;
    }
    const qsizetype c1 = text.indexOf(u':');
    if (c1 < 0)
        return std::nullopt;
    const qsizetype c2 = text.indexOf(u':', c1 + 1);
    Parsed p;
    if (!number(text.left(c1), p.clock.hours))
        return std::nullopt;
    if (c2 < 0) {
        if (!number(text.mid(c1 + 1), p.clock.minutes))
            return std::nullopt;
    } else {
        if (!number(text.mid(c1 + 1, c2 - c1 - 1), p.clock.minutes)
            || !number(text.mid(c2 + 1), p.seconds))
            return std::nullopt;
    }
    if (p.clock.hours > 23 || p.clock.minutes > 59 || p.seconds > 59)
        return std::nullopt;
    return p;
}
} // namespace

std::optional<Clock> parse(QStringView text)
{
    if (auto p = parseFull(text))
        return p->clock;
    return std::nullopt;
}

std::optional<double> parseClock(QStringView text)
{
    if (auto p = parseFull(text))
        return (p->clock.hours * 3600.0 + p->clock.minutes * 60.0 + p->seconds) / 86400.0;
    return std::nullopt;
}

bool isValid(QStringView text)
{
    return parse(text).has_value();
}

QString placeIntoMask(QStringView text, int hourPlaces)
{
    const qsizetype colon = text.indexOf(u':');
    QStringView hours = colon < 0 ? text : text.left(colon);
    QStringView minutes = colon < 0 ? QStringView() : text.mid(colon + 1);
    auto fit = [](QStringView part, int places) {
        if (part.size() >= places)
            return part.right(places).toString();
        return QString(places - part.size(), u' ') + part.toString();
    };
    return fit(hours, hourPlaces) + u':' + fit(minutes, 2);
}

QString zeroFilled(QString text)
{
    text.replace(u' ', u'0');
    return text;
}

} // namespace TimeText

QString TimeText::formatTotal(qint64 hours, qint64 minutes)
{
    const QString hourText = QString::number(hours);
    const int places = std::max<int>(4, int(hourText.size()));
    return zeroFilled(placeIntoMask(hourText + u':' + QString::number(minutes), places));
}

double TimeTextToHours(QStringView text)
{
    if (auto c = TimeText::parse(text))
        return c->hours + c->minutes / 60.0;
    return 0.0;
}
