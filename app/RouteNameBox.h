#pragma once
#include <QComboBox>

// The route name box: says when its list is about to drop down, so that
// the list can be filled from the favourites first, and when a name is
// picked from the list.
//
// The toolkit's `activated` says more than a pick: it also comes when a
// typed name that the list holds (in any letter case) is finished by Enter
// or by leaving the box, and when the completer completes one. `picked`
// comes only for a choice from the list: a click or Enter in the open
// list, or an arrow key or the wheel in the closed box that has the focus.
// A typed name stays as it was typed.
class RouteNameBox : public QComboBox
{
    Q_OBJECT
public:
    explicit RouteNameBox(QWidget *parent = nullptr);

    void showPopup() override;
    void hidePopup() override;

signals:
    void aboutToShowPopup();
    void picked();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    // Runs a step of the toolkit's own handling; `activated` during it is
    // a pick when `pick` is set, and otherwise the text typed is kept.
    template <typename Step>
    void handle(bool pick, Step step);

    // Set while the open list closes by a choice: the toolkit closes it
    // and then says `activated`.
    bool m_listClosing = false;
    bool m_picking = false;
};
