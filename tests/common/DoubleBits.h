#pragma once
#include <QString>

#include <bit>

// Bit-exact view of a double, so that a result one unit in the last place
// off is a failure and the message shows both values in full.
inline QString bits(double v)
{
    return QStringLiteral("%1 (%2)")
        .arg(QString::number(v, 'g', 17))
        .arg(QString::number(std::bit_cast<quint64>(v), 16));
}
