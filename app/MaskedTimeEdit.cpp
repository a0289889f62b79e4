#include "MaskedTimeEdit.h"
#include "TimeText.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>

MaskedTimeEdit::MaskedTimeEdit(int hourPlaces, QWidget *parent)
    : QLineEdit(parent), m_hourPlaces(hourPlaces)
{
    m_text = emptyText();
    setMaxLength(int(m_text.size()));
    setDragEnabled(false);
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    refresh(0);
}

void MaskedTimeEdit::setHourPlaces(int places)
{
    places = std::max(places, 1);
    if (places == m_hourPlaces)
        return;
    m_hourPlaces = places;
    m_text = emptyText();
    setMaxLength(int(m_text.size()));
    refresh(0);
}

QString MaskedTimeEdit::emptyText() const
{
    return QString(m_hourPlaces, u' ') + QStringLiteral(":  ");
}

void MaskedTimeEdit::setTimeText(const QString &text)
{
    QString placed = TimeText::placeIntoMask(text, m_hourPlaces);
    // Only digits and blanks can stand in the places.
    for (int i = 0; i < placed.size(); ++i)
        if (i != m_hourPlaces && !placed[i].isDigit())
            placed[i] = u' ';
    m_text = placed;
    refresh(0);
}

void MaskedTimeEdit::clearTime()
{
    m_text = emptyText();
    refresh(0);
}

void MaskedTimeEdit::refresh(int cursor)
{
    QString display = m_text;
    display.replace(u' ', u'_');
    setText(display);
    setCursorPosition(cursor);
}

void MaskedTimeEdit::blank(int from, int to)
{
    for (int i = from; i < to; ++i)
        if (isPlace(i))
            m_text[i] = u' ';
}

void MaskedTimeEdit::typeDigit(QChar digit)
{
    int pos = cursorPosition();
    if (hasSelectedText()) {
        pos = selectionStart();
        blank(pos, pos + int(selectedText().size()));
    }
    if (pos == m_hourPlaces)
        ++pos;
    if (!isPlace(pos))
        return;
    m_text[pos] = digit;
    int next = pos + 1;
    if (next == m_hourPlaces)
        ++next;
    refresh(std::min<int>(next, int(m_text.size())));
    emit timeEdited();
}

void MaskedTimeEdit::paste()
{
    const QString clip = QApplication::clipboard()->text().trimmed();
    if (clip.isEmpty() || clip.size() > 16)
        return;
    for (QChar c : clip)
        if (!c.isDigit() && c != u':' && c != u' ')
            return;
    setTimeText(clip);
    emit timeEdited();
}

void MaskedTimeEdit::keyPressEvent(QKeyEvent *event)
{
    if (isReadOnly()) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        copy();
        if (hasSelectedText()) {
            const int from = selectionStart();
            blank(from, from + int(selectedText().size()));
            refresh(from);
            emit timeEdited();
        }
        return;
    }
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))
        return;

    switch (event->key()) {
    case Qt::Key_Backspace: {
        int pos = cursorPosition();
        if (hasSelectedText()) {
            pos = selectionStart();
            blank(pos, pos + int(selectedText().size()));
        } else {
            --pos;
            if (pos == m_hourPlaces)
                --pos;
            if (pos < 0)
                return;
            blank(pos, pos + 1);
        }
        refresh(pos);
        emit timeEdited();
        return;
    }
    case Qt::Key_Delete: {
        int pos = cursorPosition();
        if (hasSelectedText()) {
            pos = selectionStart();
            blank(pos, pos + int(selectedText().size()));
        } else {
            blank(pos, pos + 1);
        }
        refresh(pos);
        emit timeEdited();
        return;
    }
    default:
        break;
    }

    const QString t = event->text();
    if (t.size() == 1 && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar c = t.at(0);
        if (c.isDigit() && c.unicode() < 0x80) {
            typeDigit(c);
        } else if (c == u':' && cursorPosition() <= m_hourPlaces) {
            // ":" jumps to the minutes, right-aligning the hours typed so far.
            QString hours = m_text.left(m_hourPlaces).trimmed();
            hours.remove(u' ');
            m_text = TimeText::placeIntoMask(hours + u':' + m_text.mid(m_hourPlaces + 1).trimmed(),
                                             m_hourPlaces);
            refresh(m_hourPlaces + 1);
            emit timeEdited();
        }
        // Anything else printable cannot stand in a place.
        if (c.isPrint())
            return;
    }
    // Navigation, selection, Enter, Tab and the rest.
    QLineEdit::keyPressEvent(event);
}

void MaskedTimeEdit::inputMethodEvent(QInputMethodEvent *event)
{
    event->accept();
}
