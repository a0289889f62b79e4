#include "ModalWindow.h"

#include <QPointer>

int execModal(std::unique_ptr<QDialog> window)
{
    if (!window)
        return QDialog::Rejected;
    const QPointer<QDialog> open = window.release();
    const int result = open->exec();
    delete open.data();
    return result;
}
