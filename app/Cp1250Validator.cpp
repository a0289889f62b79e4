#include "Cp1250Validator.h"
#include "AnsiFile.h"

QValidator::State Cp1250Validator::validate(QString &input, int &) const
{
    if (input.contains(u'\n') || input.contains(u'\r'))
        return Invalid;
    return AnsiFile::isEncodable(input) ? Acceptable : Invalid;
}

void Cp1250Validator::fixup(QString &input) const
{
    input.replace(u'\r', u' ');
    input.replace(u'\n', u' ');
}
