#pragma once
#include <QValidator>

// Keeps what is typed or pasted storable in the ride log file: line
// breaks and tabs become blanks, and characters that Windows-1250 cannot
// hold are left out (reported by charactersDropped) while the rest of the
// input stays.
class Cp1250Validator : public QValidator
{
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString &input, int &pos) const override;

signals:
    // The characters just left out of an input, each once.
    void charactersDropped(const QString &characters) const;
};

class QLineEdit;
// Gives a line edit a Cp1250Validator that says in a tooltip below the
// field which characters it left out.
void keepStorable(QLineEdit *edit);
