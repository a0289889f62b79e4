#pragma once
#include <QComboBox>

// The route name box: says when its list is about to drop down, so that
// the list can be filled from the favourites first.
class RouteNameBox : public QComboBox
{
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void showPopup() override
    {
        emit aboutToShowPopup();
        QComboBox::showPopup();
    }

signals:
    void aboutToShowPopup();
};
