#include "SaveDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QPointer>

namespace {
struct Kind
{
    QString folder;
    QList<QPointer<QFileDialog>> dialogs;
};

QHash<QString, Kind> &kinds()
{
    static QHash<QString, Kind> all;
    return all;
}

QString startFolder(const Kind &kind)
{
    return !kind.folder.isEmpty() && QFileInfo(kind.folder).isDir() ? kind.folder : QDir::homePath();
}
} // namespace

void setUpSaveDialog(QFileDialog &dialog, const QString &nameFilter, const QString &defaultSuffix)
{
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(nameFilter);
    dialog.setDefaultSuffix(defaultSuffix);
    followLastFolder(dialog, defaultSuffix);
}

void followLastFolder(QFileDialog &dialog, const QString &name)
{
    Kind &kind = kinds()[name];
    kind.dialogs.removeAll(nullptr);
    kind.dialogs.append(&dialog);
    dialog.setDirectory(startFolder(kind));
}

void rememberFolder(const QString &name, const QString &path)
{
    Kind &kind = kinds()[name];
    kind.folder = QFileInfo(path).absolutePath();
    for (QFileDialog *d : std::as_const(kind.dialogs))
        if (d)
            d->setDirectory(kind.folder);
}
