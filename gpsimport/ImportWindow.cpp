#include "ImportWindow.h"
#include "Messages.h"
#include "RideColumn.h"
#include "PlacementStorage.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QThreadPool>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cerrno>

#ifdef Q_OS_LINUX
#include <sys/resource.h>
#include <unistd.h>
#endif

using GpsImport::FileRides;
using GpsImport::ImportRow;

namespace {

enum Column { Tick, Date, Name, Km, Time, Average, File, Remark, ColumnCount };

// The window's columns and the ride log's cells they show.
struct Shown
{
    Column column;
    int cell;
};
constexpr Shown kShownCells[] = {
    {Date, RideColumn::Date}, {Name, RideColumn::Name},       {Km, RideColumn::Km},
    {Time, RideColumn::Time}, {Average, RideColumn::Average},
};

// A reader gives way to the window's thread: its thread's nice value is
// raised (Linux keeps one per thread), so that the processor goes to the
// window first whenever it has something to do, and to the readers
// otherwise. Qt's thread priorities leave ordinary threads as they are
// on Linux. Done once in each of the window's own threads.
void giveWayToTheWindow()
{
#ifdef Q_OS_LINUX
    constexpr int kLower = 10;
    static thread_local const bool lowered = [] {
        const pid_t thread = gettid();
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, id_t(thread));
        return errno == 0 && setpriority(PRIO_PROCESS, id_t(thread), std::min(nice + kLower, 19)) == 0;
    }();
    Q_UNUSED(lowered);
#endif
}

} // namespace

ImportWindow::ImportWindow(const QStringList &paths, const StringTable &log, AddRides add,
                           const ProgramFolder::Location &where, QWidget *parent, const QTimeZone &zone)
    : QDialog(parent)
    , m_paths(paths)
    , m_logged(log)
    , m_add(std::move(add))
    , m_where(where)
    , m_zone(zone)
    , m_stop(std::make_shared<GpsImport::StopFlag>(false))
{
    buildWindow();
    startReading();
}

ImportWindow::~ImportWindow()
{
    // Readers still at work see the flag and end (the pool, going with
    // the window, waits for them); what they find is not delivered to a
    // window that is gone.
    m_stop->store(true);
}

void ImportWindow::buildWindow()
{
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(QStringLiteral("Import jízd"));
    setSizeGripEnabled(true);
    resize(820, 420);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("ImportList"));
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->setHeaderLabels({QString(), QStringLiteral("Datum"), QStringLiteral("Název"), QStringLiteral("Km"),
                             QStringLiteral("Čas"), QStringLiteral("km/h"), QStringLiteral("Soubor"),
                             QStringLiteral("Poznámka")});
    m_list->header()->setStretchLastSection(true);
    m_list->header()->setSectionsMovable(false);
    // Widths that hold the usual texts from the start; they are fitted to
    // the rows once the reading ends (fitting at each row would cost the
    // whole list each time).
    const QFontMetrics metrics = m_list->fontMetrics();
    const int pad = metrics.horizontalAdvance(QStringLiteral("MM"));
    const struct
    {
        Column column;
        const char *sample;
    } samples[] = {{Tick, "M"},         {Date, "00.00.0000"}, {Name, "Název trasy"},       {Km, "000,00"},
                   {Time, "00:00"},     {Average, "00,00"},   {File, "0000-00-00-00-00.fit"}};
    for (const auto &sample : samples)
        m_list->header()->resizeSection(sample.column,
                                        metrics.horizontalAdvance(QString::fromUtf8(sample.sample)) + pad);
    // Less than the samples the name and the file never get.
    m_leastName = m_list->header()->sectionSize(Name);
    m_leastFile = m_list->header()->sectionSize(File);
    connect(m_list->header(), &QHeaderView::sectionResized, this, [this](int column) {
        if (!m_fittingColumns && column != Remark)
            m_columnsByHand = true;
    });
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    connect(m_list, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *item, int column) {
        if (m_filling || column != Tick)
            return;
        const int index = m_list->indexOfTopLevelItem(item);
        if (index >= 0 && m_rows[index].offered)
            m_rows[index].ticked = item->checkState(Tick) == Qt::Checked;
        updateAddButton();
    });

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ImportProgress"));
    m_progress->setRange(0, int(m_paths.size()));
    m_status = new QLabel(this);
    m_stopButton = new QPushButton(QStringLiteral("Zrušit"), this);
    m_stopButton->setObjectName(QStringLiteral("ImportStop"));
    m_stopButton->setAutoDefault(false);
    connect(m_stopButton, &QPushButton::clicked, this, &ImportWindow::stopReading);
    // Files read fast come in bursts: the progress is shown at most every
    // 50 ms, which keeps the window's thread free for the rider.
    m_progressTimer = new QTimer(this);
    m_progressTimer->setSingleShot(true);
    m_progressTimer->setInterval(50);
    connect(m_progressTimer, &QTimer::timeout, this, &ImportWindow::showProgress);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_status);
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_stopButton);

    m_addButton = new QPushButton(QStringLiteral("Přidat vybrané"), this);
    m_addButton->setObjectName(QStringLiteral("ImportAdd"));
    m_addButton->setDefault(true);
    m_addButton->setEnabled(false);
    connect(m_addButton, &QPushButton::clicked, this, guardedSlot(this, &ImportWindow::addTicked));
    m_closeButton = new QPushButton(QStringLiteral("Zavřít"), this);
    m_closeButton->setObjectName(QStringLiteral("ImportClose"));
    m_closeButton->setAutoDefault(false);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_closeButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(progressRow);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    setTabOrder(m_list, m_addButton);
    setTabOrder(m_addButton, m_closeButton);
    setTabOrder(m_closeButton, m_stopButton);

    m_storage = new PlacementStorage(this, QStringLiteral("formImport"));
}

void ImportWindow::startReading()
{
    // Not Qt's global pool: the raster painter hands parts of its fills
    // to that pool and waits for them, so readers filling it would keep
    // the window from painting (and "Zrušit" from being pressed) until a
    // reader finished its file.
    m_readers = new QThreadPool(this);
    m_readers->setObjectName(QStringLiteral("ImportReaders"));
    const QTimeZone zone = m_zone;
    m_pending = int(m_paths.size());
    showProgress();
    for (const QString &path : std::as_const(m_paths)) {
        auto *watcher = new QFutureWatcher<FileRides>(this);
        const QString fileName = QFileInfo(path).fileName();
        connect(watcher, &QFutureWatcher<FileRides>::finished, this, [this, watcher, fileName] {
            watcher->deleteLater();
            if (m_stopped)
                return;
            ++m_read;
            --m_pending;
            fileRead(fileName, watcher->result());
            if (m_pending == 0)
                readingDone();
            else if (!m_progressTimer->isActive())
                m_progressTimer->start();
        });
        const std::shared_ptr<GpsImport::StopFlag> stop = m_stop;
        watcher->setFuture(QtConcurrent::run(m_readers, [path, zone, stop] {
            if (stop->load())
                return FileRides{};
            giveWayToTheWindow();
            return GpsImport::readRideFile(path, zone, *stop);
        }));
    }
    if (m_pending == 0)
        readingDone();
}

void ImportWindow::readingDone()
{
    m_progressTimer->stop();
    showProgress();
    if (!m_columnsByHand)
        fitColumns();
    emit readingEnded();
}

void ImportWindow::fitColumns()
{
    QHeaderView *header = m_list->header();
    const QScopedValueRollback fitting(m_fittingColumns, true);
    // What each column needs for its texts (the view's own measure, as
    // when a column is fitted to its contents).
    const QAbstractItemView *view = m_list;
    const auto wanted = [view, header](Column c) {
        return std::max(view->sizeHintForColumn(c), header->sectionSizeHint(c));
    };
    int room = m_list->viewport()->width();
    for (const Column c : {Tick, Date, Km, Time, Average}) {
        header->resizeSection(c, wanted(c));
        room -= header->sectionSize(c);
    }
    // The reasons (the last column, which takes what is left) whole as far
    // as the least widths of the name and the file let them be.
    room -= std::clamp(wanted(Remark), 0, std::max(0, room - m_leastName - m_leastFile));
    // The name and the file get their least widths and share the rest:
    // whole if they fit; else the one that needs no more than half of it
    // whole, the other cut short; else half each.
    const int spare = std::max(0, room - m_leastName - m_leastFile);
    int name = std::max(0, wanted(Name) - m_leastName), file = std::max(0, wanted(File) - m_leastFile);
    if (name + file > spare) {
        const int half = spare / 2;
        if (name <= half)
            file = spare - name;
        else if (file <= half)
            name = spare - file;
        else
            name = half, file = spare - half;
    }
    header->resizeSection(Name, m_leastName + name);
    header->resizeSection(File, m_leastFile + file);
}

void ImportWindow::stopReading()
{
    if (m_pending == 0 || m_stopped)
        return;
    m_stop->store(true);
    m_stopped = true;
    m_pending = 0;
    readingDone();
}

void ImportWindow::showProgress()
{
    m_progress->setValue(m_read);
    const int all = int(m_paths.size());
    if (m_stopped)
        m_status->setText(QStringLiteral("Čtení zrušeno: přečteno %1 z %2 souborů").arg(m_read).arg(all));
    else if (m_pending > 0)
        m_status->setText(QStringLiteral("Čtu soubory: %1 z %2").arg(m_read).arg(all));
    else
        m_status->setText(QStringLiteral("Přečteno %1 z %2 souborů").arg(m_read).arg(all));
    m_stopButton->setEnabled(m_pending > 0);
}

void ImportWindow::fileRead(const QString &fileName, const FileRides &found)
{
    for (ImportRow &row : GpsImport::rowsOf(fileName, found, m_zone))
        addRow(std::move(row));
    updateAddButton();
}

void ImportWindow::addRow(ImportRow row)
{
    if (row.offered && m_logged.contains(row.cells)) {
        row.remarks.append(QString::fromUtf16(GpsImport::kRemarkInLog));
        row.ticked = false;
    }
    // The same ride from another file (or the same file picked twice) is
    // listed once; of the two, the one read without trouble stays.
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        ImportRow &listed = m_rows[i];
        if (!GpsImport::sameRide(listed, row))
            continue;
        QStringList files = listed.files;
        for (const QString &file : std::as_const(row.files))
            if (!files.contains(file))
                files.append(file);
        if (row.remarks.size() < listed.remarks.size()) {
            row.ticked = listed.ticked;
            listed = std::move(row);
        }
        listed.files = files;
        showRow(m_list->topLevelItem(int(i)), listed);
        return;
    }
    const qsizetype place = GpsImport::insertionPlace(m_rows, row);
    auto *item = new QTreeWidgetItem;
    m_rows.insert(place, row);
    m_list->insertTopLevelItem(int(place), item);
    showRow(item, m_rows[place]);
    if (!m_list->currentItem())
        m_list->setCurrentItem(item);
}

void ImportWindow::showRow(QTreeWidgetItem *item, const ImportRow &row)
{
    m_filling = true;
    for (const Shown &shown : kShownCells)
        item->setText(shown.column, row.cells.value(shown.cell));
    item->setTextAlignment(Km, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(Average, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(File, row.files.join(QStringLiteral(", ")));
    item->setText(Remark, row.remarkText());
    // Texts cut short in their columns are whole in the tooltip.
    item->setToolTip(Name, row.cells.value(RideColumn::Name));
    item->setToolTip(File, row.files.join(u'\n'));
    item->setToolTip(Remark, row.remarkText());
    // A row that cannot be added is greyed.
    const QVariant greyed =
        row.offered ? QVariant() : QVariant(m_list->palette().brush(QPalette::Disabled, QPalette::Text));
    for (int c = 0; c < ColumnCount; ++c)
        item->setData(c, Qt::ForegroundRole, greyed);
    if (row.offered) {
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Tick, row.ticked ? Qt::Checked : Qt::Unchecked);
    } else {
        // A file that gave no ride: shown, never added.
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setData(Tick, Qt::CheckStateRole, QVariant());
    }
    m_filling = false;
}

void ImportWindow::updateAddButton()
{
    m_addButton->setEnabled(std::any_of(m_rows.cbegin(), m_rows.cend(),
                                        [](const ImportRow &row) { return row.offered && row.ticked; }));
}

bool ImportWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Once the rows are all there, a window made narrower or wider shares
    // its width anew, unless the rider has set the columns by hand (while
    // files are read, the columns keep the widths of their samples).
    if (watched == m_list->viewport() && event->type() == QEvent::Resize && m_pending == 0 && !m_columnsByHand
        && !m_fittingColumns
        && static_cast<QResizeEvent *>(event)->oldSize().width() != static_cast<QResizeEvent *>(event)->size().width())
        fitColumns();
    // Space ticks or unticks the ride the cursor is on, whichever column
    // the cursor is in.
    if (watched == m_list && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space
        && static_cast<QKeyEvent *>(event)->modifiers() == Qt::NoModifier) {
        QTreeWidgetItem *item = m_list->currentItem();
        if (item && (item->flags() & Qt::ItemIsUserCheckable))
            item->setCheckState(Tick, item->checkState(Tick) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void ImportWindow::addTicked()
{
    QList<QStringList> rides;
    for (const ImportRow &row : std::as_const(m_rows))
        if (row.offered && row.ticked)
            rides.append(row.cells);
    if (rides.isEmpty())
        return;
    stopReading();
    m_add(rides);
    accept();
}

void ImportWindow::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        runGuarded([this] {
            m_storage->setIniFileName(m_where.settings());
            m_storage->restorePlacement();
        });
    }
    QDialog::showEvent(event);
}

void ImportWindow::done(int result)
{
    stopReading();
    const QString failure = failureOf([this] { m_storage->savePlacement(); });
    if (!failure.isEmpty())
        Messages::instance().failure(failure);
    QDialog::done(result);
}
