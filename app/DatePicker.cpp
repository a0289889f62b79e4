#include "DatePicker.h"

#include "LocaleService.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionComboBox>


DatePicker::DatePicker(QWidget *parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    clearTyping();
    // After the calendar's own handling, which has set the date and closed it.
    if (QCalendarWidget *calendar = calendarWidget()) {
        // A day picked in the calendar is the date, whatever was typed.
        connect(calendar, &QCalendarWidget::clicked, this, &DatePicker::clearTyping);
        connect(calendar, &QCalendarWidget::activated, this, &DatePicker::clearTyping);
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

    // Steps of the arrow keys set a part by its value, not by digits.
    if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown)
        clearTyping();

    // Digits, separators and moves between the parts take what was typed
    // so far into the date: no choice yet.
    const int part = currentSectionIndex();
    const bool digit = typed && text[0].isDigit();
    if (digit && part >= 0 && part < m_typed.size()) {
        // The first digit typed into a part replaces it: with the cursor in
        // front of the "7" of "7.5.2005", "15" is the 15th, not "175".
        if (part != m_typingPart) {
            m_typed[part].clear();
            if (!lineEdit()->hasSelectedText())
                setSelectedSection(currentSection());
        }
        // Kept as typed, also a digit the picker refuses ("13" for a month).
        m_typed[part] += text;
    }
    QDateEdit::keyPressEvent(event);
    if ((key == Qt::Key_Backspace || key == Qt::Key_Delete) && currentSectionIndex() >= 0
        && currentSectionIndex() < m_typed.size()) {
        // Digits taken away: the rest of the part is typed on.
        m_typingPart = currentSectionIndex();
        m_typed[m_typingPart] = sectionText(currentSection()).trimmed();
        return;
    }
    m_typingPart = digit && currentSectionIndex() == part ? part : -1;
    if (!digit)
        return;
    if (currentSectionIndex() != part)
        m_movedOn = true;
    else if (part == sectionCount() - 1 && lastPartComplete())
        emit dateChosen();
}

void DatePicker::focusInEvent(QFocusEvent *event)
{
    clearTyping();
    QDateEdit::focusInEvent(event);
}

void DatePicker::mousePressEvent(QMouseEvent *event)
{
    m_typingPart = -1;
    QDateEdit::mousePressEvent(event);
}

void DatePicker::wheelEvent(QWheelEvent *event)
{
    clearTyping();
    QDateEdit::wheelEvent(event);
}

void DatePicker::clearTyping()
{
    m_typingPart = -1;
    m_typed = QStringList(sectionCount());
}

std::optional<DatePicker::TypedDate> DatePicker::takeTypedDate()
{
    if (std::all_of(m_typed.cbegin(), m_typed.cend(), [](const QString &t) { return t.isEmpty(); })) {
        clearTyping();
        return std::nullopt;
    }
    // The format's separators around and between its parts: "d.M.yyyy"
    // gives "", ".", ".", "".
    static const QRegularExpression parts(QStringLiteral("d+|M+|y+"));
    const QStringList separators = displayFormat().split(parts);
    TypedDate typed;
    for (int i = 0; i < sectionCount(); ++i) {
        typed.text += separators.value(i);
        typed.text += m_typed.value(i).isEmpty() ? sectionText(sectionAt(i)).trimmed() : m_typed.value(i);
    }
    typed.text += separators.value(sectionCount());
    typed.date = LocaleService::instance().parseDate(typed.text);
    clearTyping();
    return typed;
}

bool DatePicker::lastPartComplete() const
{
    const Section last = sectionAt(sectionCount() - 1);
    int places = 2;
    if (last == YearSection && displayFormat().count(u'y') >= 4)
        places = 4;
    return sectionText(last).trimmed().size() >= places;
}
