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

    // Order of the three parts as the format writes them.
    int n = 0;
    bool seen[3] = {false, false, false};
    for (QChar c : std::as_const(m_dateFormat)) {
        Part p;
        if (c == u'd')
            p = Part::Day;
        else if (c == u'M')
            p = Part::Month;
        else if (c == u'y')
            p = Part::Year;
        else
            continue;
        if (!seen[int(p)] && n < 3) {
            seen[int(p)] = true;
            m_order[n++] = p;
        }
    }
    if (n != 3) {
        m_order[0] = Part::Day;
        m_order[1] = Part::Month;
        m_order[2] = Part::Year;
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
// Up to `max` unsigned numbers separated by non-digit, non-blank
// characters; blanks are allowed around each number. Stops at the
// first position that does not belong to the date.
struct Numbers
{
    int value[3];
    int digits[3];
    int count = 0;
};

bool readNumber(QStringView t, qsizetype &i, int &value, int &digits)
{
    while (i < t.size() && t[i] == u' ')
        ++i;
    qsizetype start = i;
    qint64 v = 0;
    while (i < t.size() && t[i].isDigit() && t[i].unicode() < 0x80) {
        v = v * 10 + (t[i].unicode() - u'0');
        if (v > 1000000)
            return false;
        ++i;
    }
    digits = int(i - start);
    value = int(v);
    while (i < t.size() && t[i] == u' ')
        ++i;
    return digits > 0;
}
} // namespace

std::optional<QDate> LocaleService::parseDate(QStringView text) const
{
    qsizetype i = 0;
    int values[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int count = 0;
    while (count < 3) {
        if (!readNumber(text, i, values[count], digits[count]))
            return std::nullopt;
        ++count;
        if (count == 3)
            break;
        if (i >= text.size())
            break;
        const QChar sep = text[i];
        if (sep.isDigit() || sep.isLetter())
            return std::nullopt;
        ++i;
        // "3.5." is day and month with the current year.
        qsizetype rest = i;
        while (rest < text.size() && text[rest] == u' ')
            ++rest;
        if (rest == text.size()) {
            i = rest;
            break;
        }
    }
    // Trailing text: at most one separator (a Czech date may end in ".").
    if (i < text.size()) {
        if (text[i].isDigit() || text[i].isLetter())
            return std::nullopt;
        ++i;
        while (i < text.size() && text[i] == u' ')
            ++i;
        if (i < text.size())
            return std::nullopt;
    }
    const int currentYear = LocaleService::currentYear();
    int day = 0, month = 0, year = currentYear;
    if (count == 3) {
        for (int k = 0; k < 3; ++k) {
            switch (m_order[k]) {
            case Part::Day: day = values[k]; break;
            case Part::Month: month = values[k]; break;
            case Part::Year:
                year = values[k];
                if (digits[k] <= 2)
                    year = widenYear(year, currentYear);
                break;
            }
        }
    } else if (count == 2) {
        // Day and month in the format's order; the current year.
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

std::optional<double> LocaleService::parseDateTime(QStringView text) const
{
    static const QDate epoch(1899, 12, 30);
    const QStringView t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (auto time = TimeText::parseClock(t))
        return *time;
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
    const double days = double(epoch.daysTo(*date));
    // Before the epoch the fraction counts away from zero, as in the
    // day-count representation this format comes from.
    return days < 0 ? days - fraction : days + fraction;
}

int LocaleService::compareText(const QString &a, const QString &b) const
{
    return m_collator.compare(a, b);
}
