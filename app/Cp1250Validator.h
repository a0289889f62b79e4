#pragma once
#include <QValidator>

// Refuses input that holds a line break or a character the ride log file
// (Windows-1250) cannot store, so that nothing typed is lost on saving.
class Cp1250Validator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;
};
