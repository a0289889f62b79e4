#pragma once
#include <QCollator>
#include <QDate>
#include <QLocale>
#include <QString>
#include <optional>

// The user's locale as the program uses it: decimal separator, short date
// format and its parsing, and text collation. A C/POSIX locale (no locale
// set) gets Czech conventions. Tests pin a locale with setLocale().
class LocaleService
{
public:
    static LocaleService &instance();

    void setLocale(const QLocale &locale);
    const QLocale &locale() const { return m_locale; }

    QChar decimalSeparator() const { return m_decimal; }
    // Short date format in QDate notation, years always with four digits.
    const QString &shortDateFormat() const { return m_dateFormat; }

    QString formatDate(const QDate &date) const;
    // Reads a short date: day, month and year in the order of the format,
    // separated by the format's own separators (blanks around the numbers
    // allowed), optionally ending in the format's trailing text or in one
    // more separator. Day and month alone (in the format's order) mean the
    // current year; a two-digit year is widened into the century window
    // around the current year.
    std::optional<QDate> parseDate(QStringView text) const;
    // A short date followed by an optional time, or a time alone, as days
    // since 30 December 1899 with the time of day as fraction.
    std::optional<double> parseDateTime(QStringView text) const;
    // The same text in its parts: the date (none for a time alone) and
    // the time of day as a fraction of a day.
    struct DateAndTime
    {
        std::optional<QDate> date;
        double time = 0;
    };
    std::optional<DateAndTime> parseDateAndTime(QStringView text) const;

    // Collation of the user's locale, ignoring case.
    int compareText(const QString &a, const QString &b) const;
    const QCollator &collator() const { return m_collator; }

    // Widens a two-digit year the way the program always has: into the
    // hundred years that start fifty years before the current year.
    static int widenYear(int year, int currentYear);
    // The current year, looked up at most once a minute.
    static int currentYear();

private:
    LocaleService();
    enum class Part { Day, Month, Year };

    QLocale m_locale;
    QChar m_decimal;
    QString m_dateFormat;
    Part m_order[3];
    // Separators of the short date format with blanks trimmed: between the
    // first and second part, between the second and third, and the text
    // after the third. For day and month alone: the separator between
    // them and the one that follows the second of them.
    QString m_sep[2];
    QString m_tail;
    QString m_pairSep;
    QString m_pairTail;
    QCollator m_collator;
};
