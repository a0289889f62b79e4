#include "BackupWindow.h"
#include "LocaleService.h"
#include "Messages.h"
#include "RideLogFiles.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

BackupWindow::BackupWindow(RideLogFiles &files, QWidget *parent) : QDialog(parent), m_files(files)
{
    setObjectName(QStringLiteral("BackupWindow"));
    setWindowTitle(QStringLiteral("Obnovit ze zálohy"));
    setModal(true);
    setSizeGripEnabled(true);

    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(
        QStringLiteral("Zálohy knihy jízd ve složce „%1“:").arg(RideLogBackups::folderFor(files.logPath())), this);
    label->setWordWrap(true);
    layout->addWidget(label);

    Seznam = new QTreeWidget(this);
    Seznam->setObjectName(QStringLiteral("Seznam"));
    Seznam->setRootIsDecorated(false);
    Seznam->setUniformRowHeights(true);
    Seznam->setHeaderLabels({QStringLiteral("Záloha"), QStringLiteral("Druh"), QStringLiteral("Jízd"),
                             QStringLiteral("Km")});
    label->setBuddy(Seznam);
    layout->addWidget(Seznam, 1);

    m_entries = RideLogBackups::list(files.logPath());
    for (const RideLogBackups::Entry &e : m_entries) {
        const RideLogBackups::Summary sum = RideLogBackups::summarize(e.path);
        auto *item = new QTreeWidgetItem(Seznam);
        item->setText(0, RideLogBackups::whenText(e));
        item->setText(1, RideLogBackups::kindText(e.kind) + (sum.readable ? QString() : QStringLiteral(" (poškozená)")));
        item->setText(2, LocaleService::instance().locale().toString(sum.rides));
        item->setText(3, sum.km);
        item->setToolTip(0, e.path);
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (m_entries.isEmpty()) {
        auto *item = new QTreeWidgetItem(Seznam, {QStringLiteral("Žádná záloha zatím není.")});
        item->setFlags(Qt::NoItemFlags);
    } else {
        Seznam->setCurrentItem(Seznam->topLevelItem(0));
    }
    for (int c = 0; c < Seznam->columnCount(); ++c)
        Seznam->resizeColumnToContents(c);

    auto *buttons = new QDialogButtonBox(this);
    BtnObnovit = buttons->addButton(QStringLiteral("&Obnovit"), QDialogButtonBox::AcceptRole);
    BtnObnovit->setObjectName(QStringLiteral("BtnObnovit"));
    BtnObnovit->setEnabled(!m_entries.isEmpty());
    BtnZavrit = buttons->addButton(QStringLiteral("&Zavřít"), QDialogButtonBox::RejectRole);
    BtnZavrit->setObjectName(QStringLiteral("BtnZavrit"));
    layout->addWidget(buttons);
    connect(BtnObnovit, &QPushButton::clicked, this, guardedSlot(this, &BackupWindow::BtnObnovitClick));
    connect(BtnZavrit, &QPushButton::clicked, this, &QDialog::reject);
    connect(Seznam, &QTreeWidget::itemActivated, this, guardedSlot(this, &BackupWindow::BtnObnovitClick));

    int width = 0;
    for (int c = 0; c < Seznam->columnCount(); ++c)
        width += Seznam->columnWidth(c);
    resize(std::max(420, width + 60), 320);
}

void BackupWindow::BtnObnovitClick()
{
    const int index = Seznam->indexOfTopLevelItem(Seznam->currentItem());
    if (index < 0 || index >= m_entries.size())
        return;
    const RideLogBackups::Entry &entry = m_entries[index];
    const int answer = Messages::instance().choose(
        QStringLiteral("Nahradit knihu jízd zálohou z %1? Dosavadní kniha jízd se nejdřív uloží mezi zálohy.")
            .arg(RideLogBackups::whenText(entry)),
        {QStringLiteral("Ano"), QStringLiteral("Ne")}, 1, 1);
    if (answer != 0)
        return;
    m_files.restore(entry.path);
    accept();
}
