#pragma once
#include <QDateEdit>
#include <optional>

// The ride's date picker: a date edit with a drop-down calendar that says
// when the rider has chosen a date, so that the window can move on to the
// next editor. Typing a date is not choosing it part by part: "15.11.2025"
// typed whole is one date, taken when its last part is complete.
//
// A date is chosen by a pick in the calendar (a click, or Enter on a day)
// or by typing the last part of the date in full (the year's four
// digits); Enter moves on as in every editor. Steps of the arrow keys or
// the wheel, walking through the open calendar, typing the other parts and
// dates set by the program choose nothing: the rider stays in the picker.
// F4 and Alt+Down open the calendar. A separator typed right after a part
// that the picker completed and left by itself (a two-digit day) moves no
// further. The first digit typed into a part replaces the part, wherever
// the cursor stood in it.
class DatePicker : public QDateEdit
{
    Q_OBJECT
public:
    explicit DatePicker(QWidget *parent = nullptr);

    // Opens the calendar, as a click on the drop-down arrow does.
    void openCalendar();

    // What the rider typed since the picker got the focus: the digits of
    // the parts typed into, the other parts as shown. The picker itself
    // keeps a valid date at every keystroke, so it may show another one
    // (31.2. becomes 28.2., a refused "3" of a month 13 is dropped); the
    // typed text is what the rider meant. No date when it names none.
    // Nothing when no digit was typed. The record starts anew.
    struct TypedDate
    {
        QString text;
        std::optional<QDate> date;
    };
    std::optional<TypedDate> takeTypedDate();
    // Forgets what was typed (the program shows another ride's date).
    void clearTyping();

signals:
    void dateChosen();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    bool lastPartComplete() const;

    // The last digit completed a part and the picker moved on by itself.
    bool m_movedOn = false;
    // The part the rider is typing digits into; -1 before the first digit.
    int m_typingPart = -1;
    // The digits typed into each part; empty for a part not typed into.
    QStringList m_typed;
};
