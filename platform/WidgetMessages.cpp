#include "WidgetMessages.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

void WidgetMessages::show(Kind kind, const QString &text)
{
    QWidget *parent = QApplication::activeWindow();
    const QString title = QString::fromUtf16(kAppTitle);
    switch (kind) {
    case Kind::Info: {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
        box.exec();
        break;
    }
    case Kind::Failure:
        QMessageBox::critical(parent, title, text);
        break;
    case Kind::ErrorDialog:
        QMessageBox::critical(parent, QStringLiteral("Chyba"), text);
        break;
    }
}

int WidgetMessages::choose(const QString &text, const QStringList &buttons, int defaultButton, int escape)
{
    QMessageBox box(QMessageBox::Warning, QString::fromUtf16(kAppTitle), text, QMessageBox::NoButton,
                    QApplication::activeWindow());
    QList<QAbstractButton *> added;
    for (int i = 0; i < buttons.size(); ++i) {
        QPushButton *b = box.addButton(buttons.at(i), i == escape ? QMessageBox::RejectRole
                                                                  : QMessageBox::AcceptRole);
        added.append(b);
        if (i == defaultButton)
            box.setDefaultButton(b);
    }
    if (escape >= 0 && escape < added.size())
        box.setEscapeButton(added.at(escape));
    box.exec();
    const int chosen = int(added.indexOf(box.clickedButton()));
    return chosen < 0 ? escape : chosen;
}
