#pragma once
#include "RideFilter.h"

#include <QFrame>

class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;

// The bar above the ride table that filters the log as the rider types:
// text, period, bike, km from–to and difficulty. Esc clears and hides it.
// A value that cannot be read (a date that is no date) is refused with the
// reason in the bar; the rest of the filter still applies.
class RideFilterBar : public QFrame
{
    Q_OBJECT
public:
    explicit RideFilterBar(QWidget *parent = nullptr);

    // What the fields ask for, as far as they read.
    RideFilter::Criteria criteria() const;
    // The years the period offers (besides this year and last year), and
    // the bikes (no bike choice when empty). The choices made stay when
    // they are still offered.
    void setYears(const QList<int> &years);
    void setBikes(const QStringList &names);
    // Shows "Zobrazeno shown z total jízd".
    void showCount(int shown, int total);
    // Every field back to "everything", without a signal per field.
    void clear();
    // Shows the bar with the focus in the search field.
    void open();

    QLineEdit *searchEdit = nullptr;
    QComboBox *periodBox = nullptr;
    QLineEdit *fromEdit = nullptr;
    QLineEdit *untilEdit = nullptr;
    QLabel *bikeLabel = nullptr;
    QComboBox *bikeBox = nullptr;
    QLineEdit *minKmEdit = nullptr;
    QLineEdit *maxKmEdit = nullptr;
    QComboBox *difficultyBox = nullptr;
    QLabel *countLabel = nullptr;
    // Why a typed value is not used; hidden while every value reads.
    QLabel *problemLabel = nullptr;
    QToolButton *closeButton = nullptr;

signals:
    // Any field changed: the filter is to be applied again.
    void criteriaChanged();
    // Esc or the close button: the fields are cleared and the bar hidden.
    void closed();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void periodChosen();
    // The criteria, and why a typed value is not used (empty when all read).
    RideFilter::Criteria read(QString *problem) const;
    void changed();
    void closeBar();
    QLineEdit *smallEdit(const QString &name, int width);

    bool m_quiet = false;
};
