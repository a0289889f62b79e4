#pragma once
#include <QLineEdit>

// A time editor with a fixed mask of hour places, ":" and two minute
// places. Every place holds a digit or is empty; empty places show "_"
// and read as blanks, so timeText() always has the mask's length.
class MaskedTimeEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit MaskedTimeEdit(int hourPlaces, QWidget *parent = nullptr);

    int hourPlaces() const { return m_hourPlaces; }
    // Changes the number of hour places; the time is emptied.
    void setHourPlaces(int places);
    // The mask's text: digits and blanks around ":".
    QString timeText() const { return m_text; }
    // Places a text into the mask: each part padded on the left with
    // blanks, only its last places kept.
    void setTimeText(const QString &text);
    // All places empty.
    void clearTime();
    QString emptyText() const;

signals:
    // The user changed a place.
    void timeEdited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    bool isPlace(int pos) const { return pos >= 0 && pos < m_text.size() && pos != m_hourPlaces; }
    void refresh(int cursor);
    void blank(int from, int to);
    void typeDigit(QChar digit);
    void paste();

    int m_hourPlaces;
    QString m_text;
};
