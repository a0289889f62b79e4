#include "RouteNameBox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QWheelEvent>

RouteNameBox::RouteNameBox(QWidget *parent) : QComboBox(parent)
{
    connect(this, &QComboBox::activated, this, [this] {
        if (m_picking || m_listClosing) {
            m_listClosing = false;
            emit picked();
        }
    });
}

void RouteNameBox::showPopup()
{
    m_listClosing = false;
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

void RouteNameBox::hidePopup()
{
    // A click or Enter in the list closes it before the choice is said;
    // Escape, F4 or a click elsewhere close it without one, and the next
    // key, wheel turn or focus change forgets the mark.
    if (view() && view()->isVisible())
        m_listClosing = true;
    QComboBox::hidePopup();
}

template <typename Step>
void RouteNameBox::handle(bool pick, Step step)
{
    m_listClosing = false;
    const QString typed = currentText();
    m_picking = pick;
    step();
    m_picking = false;
    // The toolkit puts the list's spelling of a typed name into the box.
    if (!pick && isEditable() && currentText() != typed && lineEdit())
        lineEdit()->setText(typed);
}

void RouteNameBox::keyPressEvent(QKeyEvent *event)
{
    bool pick = false;
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        pick = plain;
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        break;
    default:
        // Typing: the completer may complete, which is no pick, but the
        // text it completes is the rider's.
        m_listClosing = false;
        QComboBox::keyPressEvent(event);
        return;
    }
    handle(pick, [&] { QComboBox::keyPressEvent(event); });
}

void RouteNameBox::focusOutEvent(QFocusEvent *event)
{
    handle(false, [&] { QComboBox::focusOutEvent(event); });
}

void RouteNameBox::wheelEvent(QWheelEvent *event)
{
    // The wheel turns the list of the box that has the focus only: a wheel
    // turned over the box in passing changes no ride.
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    handle(true, [&] { QComboBox::wheelEvent(event); });
}
