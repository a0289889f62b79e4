#include "SpinEdit.h"

#include <QLineEdit>

SpinEdit::SpinEdit(QWidget *parent) : QSpinBox(parent)
{
    // The field's own updates (setValue, the arrows) change the text with
    // the line edit's signals blocked: both ways are watched, and each new
    // text is reported once.
    const auto report = [this] {
        if (lineEdit()->text() == m_reported)
            return;
        m_reported = lineEdit()->text();
        emit textValueChanged(textValue());
    };
    connect(lineEdit(), &QLineEdit::textChanged, this, report);
    connect(this, &QSpinBox::valueChanged, this, report);
}

int SpinEdit::textValue() const
{
    bool ok = false;
    const int v = locale().toInt(lineEdit()->text().trimmed(), &ok);
    return ok ? v : 0;
}

void SpinEdit::fixup(QString &input) const
{
    // Left empty (or with a sign alone): the field shows the 0 it counts as.
    bool ok = false;
    locale().toInt(input.trimmed(), &ok);
    if (!ok)
        input = locale().toString(std::clamp(0, minimum(), maximum()));
}

void SpinEdit::setTextValue(int value)
{
    setValue(value);
    const QString shown = textFromValue(this->value());
    if (lineEdit()->text() != shown)
        lineEdit()->setText(shown);
}
