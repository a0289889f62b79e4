#pragma once
#include <QDateEdit>

// The ride's date picker: a date edit with a drop-down calendar that says
// when the rider has chosen a date, so that the window can move on to the
// next editor. Typing a date is not choosing it part by part: "15.11.2025"
// typed whole is one date, taken when its last part is complete.
//
// A date is chosen by a pick in the calendar (a click, or Enter on a day)
// or by typing the last part of the date in full (the year's four
// digits); Enter moves on as in every editor. Steps of the arrow keys or
// the wheel, walking through the open calendar, typing the other parts and
// dates set by the program choose nothing: the rider stays in the picker. F4 and Alt+Down open the calendar. A separator typed right
// after a part that the picker completed and left by itself (a two-digit
// day) moves no further.
class DatePicker : public QDateEdit
{
    Q_OBJECT
public:
    explicit DatePicker(QWidget *parent = nullptr);

    // Opens the calendar, as a click on the drop-down arrow does.
    void openCalendar();

signals:
    void dateChosen();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool lastPartComplete() const;

    // The last digit completed a part and the picker moved on by itself.
    bool m_movedOn = false;
};
