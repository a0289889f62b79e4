#include "NumberText.h"
#include "LocaleService.h"

#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace NumberText {

namespace {
// Validates the text and copies it to an ASCII buffer with "." as the
// separator; false when it is not a number.
bool normalise(QStringView text, QChar sep, QByteArray &out)
{
    qsizetype i = 0, n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    while (n > i && text[n - 1] == u' ')
        --n;
    if (i >= n)
        return false;
    out.clear();
    out.reserve(n - i);
    if (text[i] == u'+' || text[i] == u'-')
        out.append(char(text[i++].unicode()));
    int mantissaDigits = 0;
    bool seenSep = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.unicode() >= u'0' && c.unicode() <= u'9') {
            out.append(char(c.unicode()));
            ++mantissaDigits;
        } else if (c == sep && !seenSep) {
            out.append('.');
            seenSep = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        out.append('e');
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            out.append(char(text[i++].unicode()));
        int expDigits = 0;
        for (; i < n && text[i].unicode() >= u'0' && text[i].unicode() <= u'9'; ++i) {
            out.append(char(text[i].unicode()));
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return i == n;
}
} // namespace

std::optional<double> parse(QStringView text, QChar sep)
{
    QByteArray buf;
    if (!normalise(text, sep, buf))
        return std::nullopt;
    const double v = std::strtod(buf.constData(), nullptr);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<long double> parseExtended(QStringView text, QChar sep)
{
    QByteArray buf;
    if (!normalise(text, sep, buf))
        return std::nullopt;
    const long double v = std::strtold(buf.constData(), nullptr);
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<double> parse(QStringView text)
{
    return parse(text, LocaleService::instance().decimalSeparator());
}

QString format(double value, QChar sep)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (value == 0)
        return QStringLiteral("0");

    // 15 significant digits, then decide the form by the decimal exponent
    // of the rounded value.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    // buf: [-]d.dddddddddddddde[+-]xx
    const char *p = buf;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    QByteArray digits;
    digits.append(*p++);
    if (*p == '.')
        ++p;
    while (*p && *p != 'e')
        digits.append(*p++);
    const int exponent = std::atoi(p + 1);
    while (digits.size() > 1 && digits.endsWith('0'))
        digits.chop(1);

    QString out;
    if (negative)
        out += u'-';
    const bool scientific = std::fabs(value) < 0.0001 || exponent >= 15;
    if (scientific) {
        out += QLatin1Char(digits.at(0));
        if (digits.size() > 1) {
            out += sep;
            out += QLatin1String(digits.mid(1));
        }
        out += u'E';
        out += QString::number(exponent);
        return out;
    }
    if (exponent < 0) {
        out += u'0';
        out += sep;
        out += QString(-exponent - 1, u'0');
        out += QLatin1String(digits);
        return out;
    }
    const int intDigits = exponent + 1;
    if (digits.size() <= intDigits) {
        out += QLatin1String(digits);
        out += QString(intDigits - digits.size(), u'0');
    } else {
        out += QLatin1String(digits.left(intDigits));
        out += sep;
        out += QLatin1String(digits.mid(intDigits));
    }
    return out;
}

QString format(double value)
{
    return format(value, LocaleService::instance().decimalSeparator());
}

} // namespace NumberText

double RoundTo2(double x)
{
    static_assert(sizeof(long double) > sizeof(double),
                  "RoundTo2 needs an extended-precision long double");
    const volatile double factor = 0.01;
    const long double quotient = static_cast<long double>(x) / static_cast<long double>(factor);
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const long double whole = std::nearbyintl(quotient);
    std::fesetround(saved);
    return static_cast<double>(whole * static_cast<long double>(factor));
}
