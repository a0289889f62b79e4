#include "DatePicker.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionComboBox>


DatePicker::DatePicker(QWidget *parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    // After the calendar's own handling, which has set the date and closed it.
    if (QCalendarWidget *calendar = calendarWidget()) {
        connect(calendar, &QCalendarWidget::clicked, this, &DatePicker::dateChosen);
        connect(calendar, &QCalendarWidget::activated, this, &DatePicker::dateChosen);
    }
}

void DatePicker::openCalendar()
{
    if (!calendarPopup() || isReadOnly())
        return;
    // The toolkit opens the calendar for a press on the arrow only.
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QPoint arrow = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, this).center();
    QMouseEvent press(QEvent::MouseButtonPress, arrow, mapToGlobal(arrow), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QDateEdit::mousePressEvent(&press);
}

void DatePicker::keyPressEvent(QKeyEvent *event)
{
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if ((key == Qt::Key_F4 && modifiers == Qt::NoModifier) || (key == Qt::Key_Down && modifiers == Qt::AltModifier)) {
        event->accept();
        openCalendar();
        return;
    }

    const QString text = event->text();
    const bool typed = text.size() == 1 && text[0].isPrint() && !(modifiers & ~Qt::ShiftModifier);
    if (m_movedOn && typed && !text[0].isLetterOrNumber()) {
        // The separator after a part the picker has already left.
        m_movedOn = false;
        event->accept();
        return;
    }
    m_movedOn = false;

    // Digits, separators and moves between the parts take what was typed
    // so far into the date: no choice yet.
    const int part = currentSectionIndex();
    QDateEdit::keyPressEvent(event);
    if (!typed || !text[0].isDigit())
        return;
    if (currentSectionIndex() != part)
        m_movedOn = true;
    else if (part == sectionCount() - 1 && lastPartComplete())
        emit dateChosen();
}

bool DatePicker::lastPartComplete() const
{
    const Section last = sectionAt(sectionCount() - 1);
    int places = 2;
    if (last == YearSection && displayFormat().count(u'y') >= 4)
        places = 4;
    return sectionText(last).trimmed().size() >= places;
}
