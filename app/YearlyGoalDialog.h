#pragma once
#include <QDialog>

#include <map>

class QSpinBox;
class QLabel;

// "Roční cíl": the km the rider means to ride in a year; 0 km removes the
// year's goal.
class YearlyGoalDialog : public QDialog
{
    Q_OBJECT
public:
    YearlyGoalDialog(const std::map<int, double> &goals, int year, QWidget *parent = nullptr);

    int year() const;
    double km() const;

    QSpinBox *yearBox = nullptr;
    QSpinBox *kmBox = nullptr;

private:
    void showGoalOfYear();

    std::map<int, double> m_goals;
};
