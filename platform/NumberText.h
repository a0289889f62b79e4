#pragma once
#include <QString>
#include <optional>

// Number texts of the ride log: distances and averages.
namespace NumberText {

// Reads a decimal number with the given decimal separator: blanks before
// and after, an optional sign, digits with at most one separator, an
// optional exponent. An empty text or any other text is not a number.
std::optional<double> parse(QStringView text, QChar decimalSeparator);
std::optional<long double> parseExtended(QStringView text, QChar decimalSeparator);
// The same with the user's decimal separator.
std::optional<double> parse(QStringView text);

// General format with at most 15 significant digits: the shortest
// fixed-point form without trailing zeros, scientific ("1,5E-5", "1E20")
// for values below 0.0001 other than zero or with more than 15 integer
// digits.
QString format(double value, QChar decimalSeparator);
QString format(double value);

} // namespace NumberText

// x rounded to two decimals, ties to even, the quotient by 0.01 formed in
// extended precision.
double RoundTo2(double x);
