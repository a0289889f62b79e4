#pragma once
#include <QSpinBox>

// A whole-number field whose value is its text: a text that is not a
// whole number (an empty field, a lone "-") counts as 0. Every change of
// the text, typed or by the arrows, reports the value at once. Values put
// in are held within the range; when the field is left empty it shows 0.
class SpinEdit : public QSpinBox
{
    Q_OBJECT
public:
    explicit SpinEdit(QWidget *parent = nullptr);
    // The value in effect: the text read as a whole number, else 0.
    int textValue() const;
    // Puts a value in, held within the range, and shows it even when the
    // field was left with a text that is no number.
    void setTextValue(int value);

signals:
    void textValueChanged(int value);

protected:
    void fixup(QString &input) const override;

private:
    QString m_reported;
};
