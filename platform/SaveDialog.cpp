#include "SaveDialog.h"

#include <QFileDialog>

void setUpSaveDialog(QFileDialog &dialog, const QString &nameFilter, const QString &defaultSuffix)
{
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(nameFilter);
    dialog.setDefaultSuffix(defaultSuffix);
}
