#include "NumberText.h"
#include "LocaleService.h"

#include <cfenv>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace NumberText {

namespace {
// Validates the text and copies it to an ASCII buffer with "." as the
// separator; false when it is not a number.
bool normalise(QStringView text, QChar sep, std::string &out)
{
    qsizetype i = 0, n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    while (n > i && text[n - 1] == u' ')
        --n;
    if (i >= n)
        return false;
    // Short texts stay in the string's own buffer: no allocation.
    out.clear();
    if (text[i] == u'+' || text[i] == u'-')
        out.push_back(char(text[i++].unicode()));
    int mantissaDigits = 0;
    bool seenSep = false;
    for (; i < n; ++i) {
        const QChar c = text[i];
        if (c.unicode() >= u'0' && c.unicode() <= u'9') {
            out.push_back(char(c.unicode()));
            ++mantissaDigits;
        } else if (c == sep && !seenSep) {
            out.push_back('.');
            seenSep = true;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        out.push_back('e');
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            out.push_back(char(text[i++].unicode()));
        int expDigits = 0;
        for (; i < n && text[i].unicode() >= u'0' && text[i].unicode() <= u'9'; ++i) {
            out.push_back(char(text[i].unicode()));
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    return i == n;
}
// The C library's conversions follow the process locale (a Czech one
// wants a comma); these never do.
template <typename Number>
std::optional<Number> convert(const std::string &buf)
{
    const char *first = buf.data();
    const char *last = first + buf.size();
    bool negative = false;
    if (*first == '+' || *first == '-') {
        negative = *first == '-';
        ++first;
    }
    Number v = 0;
    const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too small to hold is zero; too large is no number.
        if (buf.find("e-") == std::string::npos)
            return std::nullopt;
        v = 0;
    } else if (ec != std::errc() || end != last || !std::isfinite(v)) {
        return std::nullopt;
    }
    return negative ? -v : v;
}
} // namespace

namespace {
// The common case of a ride log: blanks, a sign, at most 15 digits with
// one separator, no exponent. Such a number is an integer below 2^53
// divided by an exact power of ten, and one division rounds it exactly as
// the general conversion does. false: take the general way.
template <typename Number>
bool parseSimple(QStringView text, QChar sep, Number &value)
{
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    qsizetype i = 0, n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    while (n > i && text[n - 1] == u' ')
        --n;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    qint64 mantissa = 0;
    int digits = 0;
    int fraction = -1; // digits after the separator; -1: none seen
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            if (++digits > 15)
                return false;
            mantissa = mantissa * 10 + (c - u'0');
            if (fraction >= 0)
                ++fraction;
        } else if (text[i] == sep && fraction < 0) {
            fraction = 0;
        } else {
            return false;
        }
    }
    if (digits == 0)
        return false;
    const Number v = fraction > 0 ? Number(mantissa) / Number(kPowers[fraction]) : Number(mantissa);
    value = negative ? -v : v;
    return true;
}
} // namespace

std::optional<double> parse(QStringView text, QChar sep)
{
    double simple;
    if (parseSimple(text, sep, simple))
        return simple;
    std::string buf;
    if (!normalise(text, sep, buf))
        return std::nullopt;
    return convert<double>(buf);
}

std::optional<long double> parseExtended(QStringView text, QChar sep)
{
    long double simple;
    if (parseSimple(text, sep, simple))
        return simple;
    std::string buf;
    if (!normalise(text, sep, buf))
        return std::nullopt;
    return convert<long double>(buf);
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
    const auto written = std::to_chars(buf, buf + sizeof buf - 1, value, std::chars_format::scientific, 14);
    *written.ptr = '\0';
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
