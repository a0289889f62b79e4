#pragma once
#include <QObject>
#include <QPointer>
#include <QString>

#include "StringTable.h"

// Sorts a consecutive range of rows of a StringTable in place by the
// texts of one key column (or a range of columns by one key row), as
// text, numbers or dates and times, ascending or descending.
//
// The range settings are checked first; a failed check leaves the table
// untouched, is kept in resultCode/resultText and, with
// showMessageOnError, shown in the error box.
class TableSorter : public QObject
{
    Q_OBJECT
public:
    enum KeyKind { Character, Numeric, DateTime };
    Q_ENUM(KeyKind)
    enum Direction { Ascending, Descending };
    Q_ENUM(Direction)
    // What sortAlong reorders: whole columns or whole rows.
    enum SortAlong { Column, Row };
    Q_ENUM(SortAlong)

    Q_PROPERTY(StringTable *table READ table WRITE setTable)
    Q_PROPERTY(int startIndex READ startIndex WRITE setStartIndex)
    Q_PROPERTY(int endIndex READ endIndex WRITE setEndIndex)
    Q_PROPERTY(int sortIndex READ sortIndex WRITE setSortIndex)
    Q_PROPERTY(KeyKind keyKind READ keyKind WRITE setKeyKind)
    Q_PROPERTY(bool caseSensitive READ caseSensitive WRITE setCaseSensitive)
    Q_PROPERTY(Direction sortDirection READ sortDirection WRITE setSortDirection)
    Q_PROPERTY(SortAlong sortAlong READ sortAlong WRITE setSortAlong)
    Q_PROPERTY(bool showMessageOnError READ showMessageOnError WRITE setShowMessageOnError)
    Q_PROPERTY(int resultCode READ resultCode)
    Q_PROPERTY(QString resultText READ resultText)

    explicit TableSorter(QObject *parent = nullptr);

    // The table to sort; becomes nullptr by itself when the table is
    // destroyed.
    StringTable *table() const { return m_grid; }
    void setTable(StringTable *grid) { m_grid = grid; }

    int startIndex() const { return m_startIndex; }
    void setStartIndex(int index) { m_startIndex = index; }
    int endIndex() const { return m_endIndex; }
    void setEndIndex(int index) { m_endIndex = index; }
    int sortIndex() const { return m_sortIndex; }
    void setSortIndex(int index) { m_sortIndex = index; }

    KeyKind keyKind() const { return m_keyKind; }
    void setKeyKind(KeyKind type) { m_keyKind = type; }

    // Off: text keys are folded to upper case (a-z only) before they are
    // compared. Text keys are compared ignoring case either way, as the
    // user's locale collates them.
    bool caseSensitive() const { return m_caseSensitive; }
    void setCaseSensitive(bool on) { m_caseSensitive = on; }

    Direction sortDirection() const { return m_sortDirection; }
    void setSortDirection(Direction direction) { m_sortDirection = direction; }
    SortAlong sortAlong() const { return m_sortAlong; }
    void setSortAlong(SortAlong along) { m_sortAlong = along; }
    bool showMessageOnError() const { return m_showMessageOnError; }
    void setShowMessageOnError(bool on) { m_showMessageOnError = on; }

    // Checks the settings and sorts the range. False when a check failed.
    Q_INVOKABLE bool sort();

    // Outcome of the last sort: 0 "Ok", or the number of the failed check.
    int resultCode() const { return m_resultCode; }
    QString resultText() const;
    // The text for a result code.
    static QString resultText(int code);

private:
    int check() const;
    void reorder();

    QPointer<StringTable> m_grid;
    int m_startIndex = 0;
    int m_endIndex = 0;
    int m_sortIndex = 0;
    KeyKind m_keyKind = Character;
    bool m_caseSensitive = false;
    Direction m_sortDirection = Ascending;
    SortAlong m_sortAlong = Row;
    bool m_showMessageOnError = false;
    int m_resultCode = 0;
};
