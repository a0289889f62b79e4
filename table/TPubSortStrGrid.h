#pragma once
#include <QObject>
#include <QPointer>
#include <QString>

#include "TPubStrGrid.h"

// Sorts a consecutive range of rows of a TPubStrGrid in place by the
// texts of one key column (or a range of columns by one key row), as
// text, numbers or dates and times, ascending or descending.
//
// The range settings are checked first; a failed check leaves the table
// untouched, is kept in ResultCode/ResultText and, with
// ShowMessageOnError, shown in the error box.
class TPubSortStrGrid : public QObject
{
    Q_OBJECT
public:
    enum ToSortType { Character, Numeric, DateTime };
    Q_ENUM(ToSortType)
    enum SortDirType { Ascending, Descending };
    Q_ENUM(SortDirType)
    // What HowToSort reorders: whole columns or whole rows.
    enum SortType { Column, Row };
    Q_ENUM(SortType)

    Q_PROPERTY(TPubStrGrid *GridToSort READ GridToSort WRITE setGridToSort)
    Q_PROPERTY(int StartIndex READ StartIndex WRITE setStartIndex)
    Q_PROPERTY(int EndIndex READ EndIndex WRITE setEndIndex)
    Q_PROPERTY(int SortIndex READ SortIndex WRITE setSortIndex)
    Q_PROPERTY(ToSortType SortType READ sortType WRITE setSortType)
    Q_PROPERTY(bool CaseSensitiv READ CaseSensitiv WRITE setCaseSensitiv)
    Q_PROPERTY(SortDirType SortDirection READ SortDirection WRITE setSortDirection)
    Q_PROPERTY(SortType HowToSort READ HowToSort WRITE setHowToSort)
    Q_PROPERTY(bool ShowMessageOnError READ ShowMessageOnError WRITE setShowMessageOnError)
    Q_PROPERTY(int ResultCode READ ResultCode)
    Q_PROPERTY(QString ResultText READ ResultText)

    explicit TPubSortStrGrid(QObject *parent = nullptr);

    // The table to sort; becomes nullptr by itself when the table is
    // destroyed.
    TPubStrGrid *GridToSort() const { return m_grid; }
    void setGridToSort(TPubStrGrid *grid) { m_grid = grid; }

    int StartIndex() const { return m_startIndex; }
    void setStartIndex(int index) { m_startIndex = index; }
    int EndIndex() const { return m_endIndex; }
    void setEndIndex(int index) { m_endIndex = index; }
    int SortIndex() const { return m_sortIndex; }
    void setSortIndex(int index) { m_sortIndex = index; }

    // The getter cannot be called SortType: that name belongs to the
    // enumeration of HowToSort.
    ToSortType sortType() const { return m_sortType; }
    void setSortType(ToSortType type) { m_sortType = type; }

    // Off: text keys are folded to upper case (a-z only) before they are
    // compared. Text keys are compared ignoring case either way, as the
    // user's locale collates them.
    bool CaseSensitiv() const { return m_caseSensitiv; }
    void setCaseSensitiv(bool on) { m_caseSensitiv = on; }

    SortDirType SortDirection() const { return m_sortDirection; }
    void setSortDirection(SortDirType direction) { m_sortDirection = direction; }
    SortType HowToSort() const { return m_howToSort; }
    void setHowToSort(SortType how) { m_howToSort = how; }
    bool ShowMessageOnError() const { return m_showMessageOnError; }
    void setShowMessageOnError(bool on) { m_showMessageOnError = on; }

    // Checks the settings and sorts the range. False when a check failed.
    Q_INVOKABLE bool Sort();

    // Outcome of the last Sort: 0 "Ok", or the number of the failed check.
    int ResultCode() const { return m_resultCode; }
    QString ResultText() const;
    // The text for a result code.
    static QString resultText(int code);

private:
    int check() const;
    void reorder();

    QPointer<TPubStrGrid> m_grid;
    int m_startIndex = 0;
    int m_endIndex = 0;
    int m_sortIndex = 0;
    ToSortType m_sortType = Character;
    bool m_caseSensitiv = false;
    SortDirType m_sortDirection = Ascending;
    SortType m_howToSort = Row;
    bool m_showMessageOnError = false;
    int m_resultCode = 0;
};
