#include "DecimalSum.h"
#include "NumberText.h"

#include <charconv>
#include <string>

namespace {
constexpr int kMaxDigits = 18;
constexpr int kMaxScale = 18;
// 10^36 still leaves room below the 128-bit limit (about 1.7 × 10^38).
constexpr int kMaxExactExponent = 36;

__int128 powerOfTen(int n)
{
    __int128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// "digits e exponent", read back by the C++ library's correctly rounded
// conversion, which follows no locale.
double toDouble(__int128 units, int scale)
{
    if (units == 0)
        return 0;
    const bool negative = units < 0;
    unsigned __int128 u = negative ? -static_cast<unsigned __int128>(units) : static_cast<unsigned __int128>(units);
    std::string text;
    while (u > 0) {
        text.insert(text.begin(), char('0' + int(u % 10)));
        u /= 10;
    }
    text += 'e';
    text += std::to_string(-scale);
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return negative ? -v : v;
}
} // namespace

bool DecimalSum::add(QStringView text, QChar sep)
{
    const auto number = NumberText::parse(text, sep);
    if (!number)
        return false;
    if (!addExact(text, sep))
        m_inexact += *number;
    return true;
}

// The text is a number by NumberText::parse: blanks, a sign, digits with
// at most one separator, an optional exponent.
bool DecimalSum::addExact(QStringView text, QChar sep)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';

    // The significant digits without leading zeros; trailing zeros go into
    // the exponent.
    qint64 digits = 0;
    int count = 0;
    int zeros = 0; // zeros seen after the last non-zero digit
    int fraction = 0;
    bool inFraction = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= u'0' && c <= u'9') {
            if (inFraction)
                ++fraction;
            if (c == u'0') {
                if (count > 0)
                    ++zeros;
                continue;
            }
            // The zeros before this digit are significant after all.
            if (count + zeros + 1 > kMaxDigits)
                return false;
            for (; zeros > 0; --zeros, ++count)
                digits *= 10;
            digits = digits * 10 + (c - u'0');
            ++count;
        } else if (text[i] == sep && !inFraction) {
            inFraction = true;
        } else {
            break;
        }
    }
    int exponent = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            negativeExponent = text[i++] == u'-';
        for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
            if (exponent < 100'000)
                exponent = exponent * 10 + (text[i].unicode() - u'0');
        if (negativeExponent)
            exponent = -exponent;
    }
    if (digits == 0)
        return true; // zero, however written

    // value = digits × 10^power
    const int power = exponent + zeros - fraction;
    if (power < -kMaxScale || count + power > kMaxExactExponent)
        return false;
    int scale = power < 0 ? -power : 0;
    __int128 units = static_cast<__int128>(digits) * powerOfTen(power > 0 ? power : 0);
    if (negative)
        units = -units;

    // Bring both to the finer of the two scales, then add.
    if (scale < m_scale) {
        if (__builtin_mul_overflow(units, powerOfTen(m_scale - scale), &units))
            return false;
        scale = m_scale;
    } else if (scale > m_scale) {
        __int128 rescaled = 0;
        if (__builtin_mul_overflow(m_units, powerOfTen(scale - m_scale), &rescaled)) {
            spill();
        } else {
            m_units = rescaled;
        }
        m_scale = scale;
    }
    __int128 sum = 0;
    if (__builtin_add_overflow(m_units, units, &sum)) {
        spill();
        sum = units;
    }
    m_units = sum;
    return true;
}

void DecimalSum::spill()
{
    m_inexact += toDouble(m_units, m_scale);
    m_units = 0;
}

double DecimalSum::value() const
{
    return toDouble(m_units, m_scale) + m_inexact;
}
