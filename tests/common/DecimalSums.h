#pragma once
#include "NumberText.h"

#include <QList>
#include <QProcess>
#include <QStringList>

// Rides of 0,20 to 150,19 km, as a rider's log might hold.
inline QStringList rides(int count)
{
    QStringList km;
    quint32 x = 1;
    for (int i = 0; i < count; ++i) {
        x = (x * 1103515245u + 12345u) & 0x7fffffffu;
        const quint32 cents = x % 15000 + 20;
        km << QString::asprintf("%u,%02u", cents / 100, cents % 100);
    }
    return km;
}

// The exact sums by Python's decimal module, one for each list of numbers,
// in the general number format.
inline QStringList decimalSums(const QList<QStringList> &lists)
{
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QStringLiteral("import sys, decimal\n"
                                                       "decimal.getcontext().prec = 1000\n"
                                                       "for numbers in sys.stdin.read().split('\\n\\n'):\n"
                                                       "    print(sum(decimal.Decimal(n.strip().replace(',', '.'))"
                                                       " for n in numbers.split('\\n')))")});
    QStringList groups;
    for (const QStringList &numbers : lists)
        groups << numbers.join(u'\n');
    python.write(groups.join(QStringLiteral("\n\n")).toUtf8());
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {};
    QStringList sums;
    for (const QString &sum : QString::fromUtf8(python.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts))
        sums << NumberText::format(*NumberText::parse(QString(sum).replace(u'.', u','), u','), u',');
    return sums;
}
