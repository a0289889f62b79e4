#include "WidgetMessages.h"

#include <QApplication>
#include <QMessageBox>

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
