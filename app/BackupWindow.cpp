#include "BackupWindow.h"
#include "LocaleService.h"
#include "Messages.h"
#include "RideLogFiles.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
enum Column { When, Kind, Rides, Km };
const QString kReading = QStringLiteral("…");
} // namespace

BackupWindow::BackupWindow(RideLogFiles &files, QWidget *parent) : QDialog(parent), m_files(files)
{
    setObjectName(QStringLiteral("BackupWindow"));
    setWindowTitle(QStringLiteral("Obnovit ze zálohy"));
    setModal(true);
    setSizeGripEnabled(true);

    auto *layout = new QVBoxLayout(this);
    auto *label = new QLabel(QStringLiteral("Zálohy knihy jízd ve složce „%1“:")
                                 .arg(QDir::toNativeSeparators(QDir::cleanPath(RideLogBackups::folderFor(files.logPath())))),
                             this);
    label->setWordWrap(true);
    layout->addWidget(label);

    copyList = new QTreeWidget(this);
    copyList->setObjectName(QStringLiteral("copyList"));
    copyList->setRootIsDecorated(false);
    copyList->setUniformRowHeights(true);
    copyList->setHeaderLabels({QStringLiteral("Záloha"), QStringLiteral("Druh"), QStringLiteral("Jízd"),
                             QStringLiteral("Km")});
    label->setBuddy(copyList);
    layout->addWidget(copyList, 1);
    // Why the chosen copy cannot be restored.
    m_why = new QLabel(this);
    m_why->setObjectName(QStringLiteral("Proc"));
    m_why->setWordWrap(true);
    layout->addWidget(m_why);

    m_entries = RideLogBackups::list(files.logPath());
    m_problems.resize(m_entries.size());
    for (const RideLogBackups::Entry &e : m_entries) {
        auto *item = new QTreeWidgetItem(copyList);
        item->setText(When, RideLogBackups::whenText(e));
        item->setText(Kind, RideLogBackups::kindText(e.kind));
        item->setText(Rides, kReading);
        item->setText(Km, kReading);
        item->setToolTip(When, QDir::toNativeSeparators(e.path));
        item->setTextAlignment(Rides, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(Km, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (m_entries.isEmpty()) {
        auto *item = new QTreeWidgetItem(copyList, {QStringLiteral("Žádná záloha zatím není.")});
        item->setFlags(Qt::NoItemFlags);
    } else {
        copyList->setCurrentItem(copyList->topLevelItem(0));
    }
    // Room for a damaged copy's kind and for the km of a long log.
    const QFontMetrics metrics = copyList->fontMetrics();
    const int pad = metrics.horizontalAdvance(QStringLiteral("MM"));
    copyList->resizeColumnToContents(When);
    copyList->header()->resizeSection(
        Kind, metrics.horizontalAdvance(RideLogBackups::kindText(RideLogBackups::Entry::UnsavedChanges)
                                        + QStringLiteral(" (poškozená)"))
                  + pad);
    copyList->header()->resizeSection(Rides, metrics.horizontalAdvance(QStringLiteral("Jízd 000 000")) + pad);
    copyList->header()->resizeSection(Km, metrics.horizontalAdvance(QStringLiteral("0 000 000,00")) + pad);

    auto *buttons = new QDialogButtonBox(this);
    restoreButton = buttons->addButton(QStringLiteral("&Obnovit"), QDialogButtonBox::AcceptRole);
    restoreButton->setObjectName(QStringLiteral("restoreButton"));
    closeButton = buttons->addButton(QStringLiteral("&Zavřít"), QDialogButtonBox::RejectRole);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    layout->addWidget(buttons);
    connect(restoreButton, &QPushButton::clicked, this, guardedSlot(this, &BackupWindow::restoreChosenCopy));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    // Enter is the default button's ("Obnovit"); the list passes the key
    // on after its own activation, which would ask a second time.
    connect(copyList, &QTreeWidget::itemDoubleClicked, this, guardedSlot(this, &BackupWindow::restoreChosenCopy));
    connect(copyList, &QTreeWidget::currentItemChanged, this, &BackupWindow::updateRestoreButton);
    updateRestoreButton();

    int width = 0;
    for (int c = 0; c < copyList->columnCount(); ++c)
        width += copyList->columnWidth(c);
    resize(std::max(420, width + 60), 320);

    m_reader.setMaxThreadCount(1);
    summarise();
}

BackupWindow::~BackupWindow()
{
    // The copy being read is finished; the rest are not begun.
    m_stop->store(true);
}

void BackupWindow::summarise()
{
    if (m_entries.isEmpty())
        return;
    QStringList paths;
    for (const RideLogBackups::Entry &e : m_entries)
        paths.append(e.path);
    m_reader.start([this, paths, stop = m_stop] {
        for (int i = 0; i < paths.size() && !stop->load(); ++i) {
            const RideLogBackups::Summary summary = RideLogBackups::summarize(paths[i]);
            // Delivered to the window's thread; dropped when the window is gone.
            QMetaObject::invokeMethod(this, [this, i, summary] { showSummary(i, summary); }, Qt::QueuedConnection);
        }
    });
}

void BackupWindow::showSummary(int index, const RideLogBackups::Summary &summary)
{
    QTreeWidgetItem *item = copyList->topLevelItem(index);
    const RideLogBackups::Entry &entry = m_entries[index];
    QString kind = RideLogBackups::kindText(entry.kind);
    if (!summary.readable)
        kind += QStringLiteral(" (poškozená)");
    item->setText(Kind, kind);
    if (summary.problem.isEmpty()) {
        item->setText(Rides, LocaleService::instance().locale().toString(summary.rides));
        item->setText(Km, summary.km);
    } else {
        m_problems[index] = summary.problem;
        item->setText(Rides, QString());
        item->setText(Km, QString());
        item->setToolTip(Kind, summary.problem);
        item->setForeground(When, palette().brush(QPalette::Disabled, QPalette::Text));
        item->setForeground(Kind, palette().brush(QPalette::Disabled, QPalette::Text));
    }
    ++m_summarised;
    updateRestoreButton();
    if (!isReading())
        emit readingEnded();
}

void BackupWindow::updateRestoreButton()
{
    const int index = copyList->indexOfTopLevelItem(copyList->currentItem());
    const bool known = index >= 0 && index < m_entries.size();
    restoreButton->setEnabled(known && m_problems[index].isEmpty());
    m_why->setText(known && !m_problems[index].isEmpty()
                       ? QStringLiteral("Tuto zálohu nelze obnovit, není to kniha jízd: %1.").arg(m_problems[index])
                       : QString());
}

void BackupWindow::restoreChosenCopy()
{
    const int index = copyList->indexOfTopLevelItem(copyList->currentItem());
    if (index < 0 || index >= m_entries.size() || !m_problems[index].isEmpty())
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
