#include "LocaleService.h"
#include "TimeText.h"

#include <QDateTime>
#include <QRegularExpression>

#include <limits>

namespace {
bool usesCzechConventions(const QLocale &l)
{
    return l.language() == QLocale::C || l.language() == QLocale::Czech;
}

// Blanks allowed around the numbers of a date: spaces, including the
// non-breaking ones, and invisible formatting marks such as the
// right-to-left mark some locales put into their date format.
inline bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u == u' ';
    return c.isSpace() || c.category() == QChar::Other_Format;
}

inline bool isAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

QStringView trimBlanks(QStringView t)
{
    qsizetype b = 0;
    qsizetype e = t.size();
    while (b < e && isBlank(t[b]))
        ++b;
    while (e > b && isBlank(t[e - 1]))
        --e;
    return t.sliced(b, e - b);
}

QString trimBlanks(const QString &t)
{
    return trimBlanks(QStringView(t)).toString();
}
} // namespace

LocaleService &LocaleService::instance()
{
    static LocaleService service;
    return service;
}

LocaleService::LocaleService()
{
    setLocale(QLocale::system());
}

void LocaleService::setLocale(const QLocale &requested)
{
    m_locale = requested.language() == QLocale::C
                   ? QLocale(QLocale::Czech, QLocale::CzechRepublic)
                   : requested;
    const QString dec = m_locale.decimalPoint();
    m_decimal = dec.size() == 1 ? dec.at(0) : QChar(u',');

    if (usesCzechConventions(m_locale)) {
        m_dateFormat = QStringLiteral("d.M.yyyy");
    } else {
        QString f = m_locale.dateFormat(QLocale::ShortFormat);
        static const QRegularExpression years(QStringLiteral("y+"));
        f.replace(years, QStringLiteral("yyyy"));
        m_dateFormat = f;
    }

    // Order of the three parts as the format writes them, and the literal
    // text around them ('quoted' text is literal, '' is a quote).
    int n = 0;
    bool seen[3] = {false, false, false};
    bool numeric = true;
    QString literal[4];
    const qsizetype len = m_dateFormat.size();
    for (qsizetype i = 0; i < len; ++i) {
        const QChar c = m_dateFormat.at(i);
        if (c == u'\'') {
            if (i + 1 < len && m_dateFormat.at(i + 1) == u'\'') {
                literal[n] += u'\'';
                ++i;
                continue;
            }
            for (++i; i < len; ++i) {
                if (m_dateFormat.at(i) == u'\'') {
                    if (i + 1 < len && m_dateFormat.at(i + 1) == u'\'') {
                        literal[n] += u'\'';
                        ++i;
                        continue;
                    }
                    break;
                }
                literal[n] += m_dateFormat.at(i);
            }
            continue;
        }
        Part p;
        if (c == u'd')
            p = Part::Day;
        else if (c == u'M')
            p = Part::Month;
        else if (c == u'y')
            p = Part::Year;
        else {
            literal[n] += c;
            continue;
        }
        while (i + 1 < len && m_dateFormat.at(i + 1) == c)
            ++i;
        if (n == 3 || seen[int(p)]) {
            numeric = false;
            break;
        }
        seen[int(p)] = true;
        m_order[n++] = p;
    }
    if (!numeric || n != 3) {
        m_order[0] = Part::Day;
        m_order[1] = Part::Month;
        m_order[2] = Part::Year;
        literal[1] = literal[2] = QStringLiteral(".");
        literal[3].clear();
    }
    m_sep[0] = trimBlanks(literal[1]);
    m_sep[1] = trimBlanks(literal[2]);
    m_tail = trimBlanks(literal[3]);
    if (m_order[0] == Part::Year) {
        m_pairSep = m_sep[1];
        m_pairTail = m_tail;
    } else {
        m_pairSep = m_sep[0];
        m_pairTail = m_order[2] == Part::Year ? m_sep[1] : m_tail;
    }

    m_collator = QCollator(m_locale);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(false);
}

QString LocaleService::formatDate(const QDate &date) const
{
    return date.toString(m_dateFormat);
}

int LocaleService::currentYear()
{
    // Asking for today's date means a time zone conversion; dates are
    // parsed by the hundred thousand when a log is sorted.
    static qint64 checkedAt = 0;
    static int year = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - checkedAt > 60'000 || now < checkedAt) {
        year = QDate::currentDate().year();
        checkedAt = now;
    }
    return year;
}

int LocaleService::widenYear(int year, int currentYear)
{
    const int base = currentYear - 50;
    int y = year + base / 100 * 100;
    if (y < base)
        y += 100;
    return y;
}

namespace {
// A number of ASCII digits with the blanks around it.
bool readNumber(QStringView t, qsizetype &i, int &value, int &digits)
{
    while (i < t.size() && isBlank(t[i]))
        ++i;
    const qsizetype start = i;
    qint64 v = 0;
    while (i < t.size() && isAsciiDigit(t[i])) {
        v = v * 10 + (t[i].unicode() - u'0');
        if (v > 1000000)
            return false;
        ++i;
    }
    digits = int(i - start);
    value = int(v);
    while (i < t.size() && isBlank(t[i]))
        ++i;
    return digits > 0;
}

// The text from i up to the next digit or the end, blanks trimmed.
QStringView readSeparator(QStringView t, qsizetype &i)
{
    const qsizetype start = i;
    while (i < t.size() && !isAsciiDigit(t[i]))
        ++i;
    return trimBlanks(t.sliced(start, i - start));
}
} // namespace

std::optional<QDate> LocaleService::parseDate(QStringView text) const
{
    qsizetype i = 0;
    int values[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    // What follows each number: a separator, or after the last number
    // the trailing text.
    QStringView after[3];
    int count = 0;
    while (count < 3) {
        if (!readNumber(text, i, values[count], digits[count]))
            return std::nullopt;
        after[count] = readSeparator(text, i);
        ++count;
        if (i == text.size())
            break;
    }
    if (i != text.size())
        return std::nullopt;

    // Today's year only where the text leaves the century or the year out.
    int day = 0, month = 0, year = 0;
    if (count == 3) {
        if (after[0] != m_sep[0] || after[1] != m_sep[1])
            return std::nullopt;
        // A Czech date may end in one more ".".
        if (!after[2].isEmpty() && after[2] != m_tail && after[2] != m_sep[1])
            return std::nullopt;
        for (int k = 0; k < 3; ++k) {
            switch (m_order[k]) {
            case Part::Day: day = values[k]; break;
            case Part::Month: month = values[k]; break;
            case Part::Year:
                year = values[k];
                if (digits[k] <= 2)
                    year = widenYear(year, currentYear());
                break;
            }
        }
    } else if (count == 2) {
        // Day and month in the format's order ("3.5." or "3.5"); the
        // current year.
        if (after[0] != m_pairSep)
            return std::nullopt;
        if (!after[1].isEmpty() && after[1] != m_pairTail && after[1] != m_pairSep)
            return std::nullopt;
        year = currentYear();
        int k = 0;
        for (Part p : m_order) {
            if (p == Part::Year)
                continue;
            (p == Part::Day ? day : month) = values[k++];
        }
    } else {
        return std::nullopt;
    }
    const QDate d(year, month, day);
    if (!d.isValid())
        return std::nullopt;
    return d;
}

std::optional<LocaleService::DateAndTime> LocaleService::parseDateAndTime(QStringView text) const
{
    const QStringView t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (auto time = TimeText::parseClock(t))
        return DateAndTime{std::nullopt, *time};
    // A date, then optionally a blank and a time.
    qsizetype cut = -1;
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (t[i] == u':') {
            cut = t.lastIndexOf(u' ', i);
            break;
        }
    }
    QStringView datePart = cut > 0 ? t.left(cut) : t;
    double fraction = 0;
    if (cut > 0) {
        const auto time = TimeText::parseClock(t.mid(cut + 1));
        if (!time)
            return std::nullopt;
        fraction = *time;
    }
    const auto date = parseDate(datePart);
    if (!date)
        return std::nullopt;
    return DateAndTime{date, fraction};
}

std::optional<double> LocaleService::parseDateTime(QStringView text) const
{
    static const QDate epoch(1899, 12, 30);
    const auto parts = parseDateAndTime(text);
    if (!parts)
        return std::nullopt;
    if (!parts->date)
        return parts->time;
    const double days = double(epoch.daysTo(*parts->date));
    // Before the epoch the fraction counts away from zero, as in the
    // day-count representation this format comes from.
    return days < 0 ? days - parts->time : days + parts->time;
}

int LocaleService::compareText(const QString &a, const QString &b) const
{
    return m_collator.compare(a, b);
}
