#pragma once
#include <QString>

// The sum of decimal number texts, such as the distances of a ride log,
// kept exact: a sum of doubles drifts with every addition (3,000 rides of
// two decimals each add up to 225106,720000001 instead of 225106,72); the
// numbers as they are written add up without drift.
//
// What counts as a number is NumberText::parse's rule. A number with more
// significant digits or decimals than the exact part carries (18 each), or
// a huge exponent, is added as a double, and so is the exact part itself
// when it would overflow: a sum of such numbers is no worse than a sum of
// doubles.
class DecimalSum
{
public:
    // Adds the text when it is a number; false when it is not.
    bool add(QStringView text, QChar decimalSeparator);
    // The double nearest to the sum (to the exact sum, as long as every
    // number was exact and nothing overflowed).
    double value() const;

private:
    bool addExact(QStringView text, QChar decimalSeparator);
    void spill();

    // The exact part: m_units × 10^-m_scale.
    __int128 m_units = 0;
    int m_scale = 0;
    // Everything that could not be held exactly.
    double m_inexact = 0;
};
