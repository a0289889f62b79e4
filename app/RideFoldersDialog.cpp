#include "RideFoldersDialog.h"
#include "SaveDialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

RideFoldersDialog::RideFoldersDialog(const QStringList &folders, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RideFoldersDialog"));
    setWindowTitle(QStringLiteral("Složky se záznamy jízd"));
    auto *note = new QLabel(QStringLiteral("Kromě připojených zařízení hledá program nové jízdy "
                                           "(FIT, GPX, TCX) i v těchto složkách:"),
                            this);
    note->setWordWrap(true);
    folderList = new QListWidget(this);
    folderList->setObjectName(QStringLiteral("folderList"));
    folderList->addItems(folders);
    note->setBuddy(folderList);
    addButton = new QPushButton(QStringLiteral("&Přidat…"), this);
    addButton->setObjectName(QStringLiteral("addFolderButton"));
    removeButton = new QPushButton(QStringLiteral("&Odebrat"), this);
    removeButton->setObjectName(QStringLiteral("removeFolderButton"));
    removeButton->setEnabled(false);
    auto *side = new QVBoxLayout;
    side->addWidget(addButton);
    side->addWidget(removeButton);
    side->addStretch(1);
    auto *middle = new QHBoxLayout;
    middle->addWidget(folderList, 1);
    middle->addLayout(side);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Zrušit"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(middle, 1);
    layout->addWidget(buttons);
    resize(460, 260);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(addButton, &QPushButton::clicked, this, &RideFoldersDialog::addFolder);
    connect(removeButton, &QPushButton::clicked, this, &RideFoldersDialog::removeFolder);
    connect(folderList, &QListWidget::currentRowChanged, this, [this](int row) { removeButton->setEnabled(row >= 0); });
}

QStringList RideFoldersDialog::folders() const
{
    QStringList out;
    for (int i = 0; i < folderList->count(); ++i)
        out.append(folderList->item(i)->text());
    return out;
}

void RideFoldersDialog::addFolder()
{
    QFileDialog dialog(this, QStringLiteral("Složka se záznamy jízd"));
    dialog.setObjectName(QStringLiteral("RideFolderPicker"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    // The toolkit's own dialog, the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    followLastFolder(dialog, QStringLiteral("gps"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString folder = QDir::cleanPath(dialog.selectedFiles().constFirst());
    rememberFolder(QStringLiteral("gps"), folder);
    const auto same = folderList->findItems(folder, Qt::MatchExactly);
    if (!same.isEmpty()) {
        folderList->setCurrentItem(same.constFirst());
        return;
    }
    folderList->addItem(folder);
    folderList->setCurrentRow(folderList->count() - 1);
}

void RideFoldersDialog::removeFolder()
{
    delete folderList->takeItem(folderList->currentRow());
}
