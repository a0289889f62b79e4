#pragma once
#include <QDateEdit>

// The ride's date picker: a date edit with a drop-down calendar that says
// when the rider has chosen a date, so that the window can move on to the
// next editor. Typing a date is not choosing it part by part: "15.11.2025"
// typed whole is one date, taken when its last part is complete.
//
// A date is chosen by a pick in the calendar (a click, or Enter on a day),
// by a step of the arrow keys or the wheel, by typing the last part of the
// date in full (the year's four digits), or by the program setting it.
// Walking through the open calendar and typing the other parts choose
// nothing. F4 and Alt+Down open the calendar. A separator typed right
// after a part that the picker completed and left by itself (a two-digit
// day) moves no further.
class DatePicker : public QDateEdit
{
    Q_OBJECT
public:
    explicit DatePicker(QWidget *parent = nullptr);

    void stepBy(int steps) override;
    // Opens the calendar, as a click on the drop-down arrow does.
    void openCalendar();

signals:
    void dateChosen();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool lastPartComplete() const;
    bool calendarShown() const;

    // Set while a key is being typed into the date.
    bool m_typing = false;
    // The last digit completed a part and the picker moved on by itself.
    bool m_movedOn = false;
};
