#include "ImportWindow.h"
#include "GiveWay.h"
#include "AppError.h"
#include "AtomicWrite.h"
#include "LocaleService.h"
#include "Messages.h"
#include "NumberText.h"
#include "RideColumn.h"
#include "StringTable.h"
#include "PlacementStorage.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QRegularExpression>
#include <QElapsedTimer>
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

using GpsImport::FileRides;
using GpsImport::ImportRow;

namespace {

// Pieces of the readings are listed together at most this often, each
// time for at most a slice of the window's time.
constexpr int kPieceMs = 50;
constexpr int kSliceMs = 15;

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

// A row of the list; a heading click sorts by that column's values
// (dates by the start, numbers as numbers), equal ones in the order they
// came.
class ImportItem : public QTreeWidgetItem
{
public:
    ImportItem(const QList<ImportRow> &rows, int index) : m_rows(rows), m_index(index)
    {
        setData(Tick, Qt::UserRole, index);
    }

    bool operator<(const QTreeWidgetItem &other) const override
    {
        const int otherIndex = other.data(Tick, Qt::UserRole).toInt();
        const ImportRow &a = m_rows.at(m_index);
        const ImportRow &b = m_rows.at(otherIndex);
        const int column = treeWidget() ? treeWidget()->sortColumn() : Date;
        const int order = compare(a, b, column);
        return order != 0 ? order < 0 : m_index < otherIndex;
    }

private:
    static int compare(const ImportRow &a, const ImportRow &b, int column)
    {
        const auto number = [](const ImportRow &row, int cell) {
            return NumberText::parse(row.cells.value(cell)).value_or(-1.0);
        };
        const auto three = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
        switch (column) {
        case Tick: return three(int(!a.offered) * 2 + int(!a.ticked), int(!b.offered) * 2 + int(!b.ticked));
        case Date:
            // Rides by their start, then the files that gave none.
            if (a.start.isValid() != b.start.isValid())
                return a.start.isValid() ? -1 : 1;
            return three(a.start, b.start);
        case Km: return three(number(a, RideColumn::Km), number(b, RideColumn::Km));
        case Average: return three(number(a, RideColumn::Average), number(b, RideColumn::Average));
        case Time: return three(a.cells.value(RideColumn::Time).rightJustified(5, u'0'),
                                b.cells.value(RideColumn::Time).rightJustified(5, u'0'));
        case Name: return LocaleService::instance().compareText(a.cells.value(RideColumn::Name), b.cells.value(RideColumn::Name));
        case File: return LocaleService::instance().compareText(a.files.join(u','), b.files.join(u','));
        default: return LocaleService::instance().compareText(a.remarkText(), b.remarkText());
        }
    }

    const QList<ImportRow> &m_rows;
    int m_index;
};

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
    , m_keepStop(std::make_shared<GpsImport::StopFlag>(false))
{
    // The links of the rides in the log: a known file's ride that is not
    // among them has been deleted since.
    if (log.tableColumnCount() > RideColumn::KeptFile)
        for (int row = log.headingRows(); row < log.tableRowCount(); ++row)
            if (const QStringView link = log.cellView(RideColumn::KeptFile, row); !link.isEmpty())
                m_linksInLog.insert(link.toString());
    QString problem;
    m_register = std::make_shared<GpsImport::ImportRegister>(
        GpsImport::ImportRegister::load(m_where.importRegister(), &problem));
    buildWindow();
    startReading();
}

ImportWindow::~ImportWindow()
{
    // Readers still at work see the flag and end; what they find is not
    // delivered to a window that is gone. The readers wait for the members
    // they handed to the parsers.
    m_stop->store(true);
    m_keepStop->store(true);
    m_readers->waitForDone();
    m_parsers->waitForDone();
}

QList<ImportRow> ImportWindow::rows() const
{
    QList<ImportRow> shown;
    for (int i = 0; i < m_list->topLevelItemCount(); ++i)
        shown.append(m_rows.at(m_list->topLevelItem(i)->data(Tick, Qt::UserRole).toInt()));
    return shown;
}

void ImportWindow::buildWindow()
{
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(QStringLiteral("Import jízd"));
    setSizeGripEnabled(true);
    resize(820, 420);
    buildList();

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ImportProgress"));
    // The bytes of the picked files, in KiB.
    for (const QString &path : std::as_const(m_paths))
        m_bytesAll += std::max<qint64>(QFileInfo(path).size(), 1);
    m_progress->setRange(0, int(std::min<qint64>(m_bytesAll / 1024 + 1, INT_MAX)));
    m_status = new QLabel(this);
    m_stopButton = new QPushButton(QStringLiteral("Zrušit"), this);
    m_stopButton->setObjectName(QStringLiteral("ImportStop"));
    m_stopButton->setAutoDefault(false);
    connect(m_stopButton, &QPushButton::clicked, this, [this] {
        if (!m_keeping) {
            stopReading();
            return;
        }
        // "Zrušit" while the files are kept: nothing is added.
        m_keepStop->store(true);
        m_keeping = false;
        m_progress->setRange(0, 1);
        m_progress->setValue(0);
        m_status->setText(QStringLiteral("Přidávání zrušeno"));
        m_stopButton->setEnabled(false);
        updateAddButton();
        m_allButton->setEnabled(true);
        m_noneButton->setEnabled(true);
    });
    // Files read fast come in bursts: the progress is shown at most every
    // 50 ms, which keeps the window's thread free for the rider.
    m_progressTimer = new QTimer(this);
    m_progressTimer->setSingleShot(true);
    m_progressTimer->setInterval(50);
    connect(m_progressTimer, &QTimer::timeout, this, &ImportWindow::showProgress);
    // Rows found come in bursts too: they are listed together, at most
    // every 50 ms.
    m_pieceTimer = new QTimer(this);
    m_pieceTimer->setSingleShot(true);
    m_pieceTimer->setInterval(kPieceMs);
    connect(m_pieceTimer, &QTimer::timeout, this, &ImportWindow::takePieces);
    // Not Qt's global pool: the raster painter hands parts of its fills
    // to that pool and waits for them, so readers filling it would keep
    // the window from painting (and "Zrušit" from being pressed) until a
    // reader finished its file. The members of archives are parsed in a
    // pool of their own, so that a reader waiting for them never keeps
    // them from a thread.
    m_readers = new QThreadPool(this);
    m_readers->setObjectName(QStringLiteral("ImportReaders"));
    m_parsers = new QThreadPool(this);
    m_parsers->setObjectName(QStringLiteral("ImportParsers"));
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_status);
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_stopButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(progressRow);
    layout->addWidget(m_list, 1);
    layout->addLayout(buildButtons());
    setTabOrder(m_list, m_allButton);
    setTabOrder(m_allButton, m_noneButton);
    setTabOrder(m_noneButton, m_addButton);
    setTabOrder(m_addButton, m_closeButton);
    setTabOrder(m_closeButton, m_stopButton);

    m_storage = new PlacementStorage(this, QStringLiteral("formImport"));
}

void ImportWindow::buildList()
{
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
    // Columns fitted to their texts look at a few hundred rows, not at
    // every one of thousands (which held the window up for tens of ms).
    m_list->header()->setResizeContentsPrecision(250);
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
        const int index = item->data(Tick, Qt::UserRole).toInt();
        if (index >= 0 && index < m_rows.size() && m_rows[index].offered)
            m_rows[index].ticked = item->checkState(Tick) == Qt::Checked;
        updateAddButton();
    });
    m_list->setSortingEnabled(true);
    m_list->sortByColumn(Date, Qt::AscendingOrder);
}

QLayout *ImportWindow::buildButtons()
{
    m_allButton = new QPushButton(QStringLiteral("Vybrat vše"), this);
    m_allButton->setObjectName(QStringLiteral("ImportTickAll"));
    m_allButton->setAutoDefault(false);
    connect(m_allButton, &QPushButton::clicked, this, [this] { tickAll(true); });
    m_noneButton = new QPushButton(QStringLiteral("Zrušit výběr"), this);
    m_noneButton->setObjectName(QStringLiteral("ImportTickNone"));
    m_noneButton->setAutoDefault(false);
    connect(m_noneButton, &QPushButton::clicked, this, [this] { tickAll(false); });
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
    buttons->addWidget(m_allButton);
    buttons->addWidget(m_noneButton);
    buttons->addStretch(1);
    buttons->addWidget(m_addButton);
    buttons->addWidget(m_closeButton);
    return buttons;
}

void ImportWindow::startReading()
{
    m_pending = int(m_paths.size());
    showProgress();
    for (const QString &path : std::as_const(m_paths)) {
        GpsImport::SourceReading reading;
        reading.path = path;
        reading.zone = m_zone;
        reading.knownFiles = m_register;
        reading.stop = m_stop;
        reading.parsers = m_parsers;
        reading.limits = m_limits;
        // Pieces go to the window's thread; once the window is gone they
        // are dropped with it.
        reading.deliver = [this](GpsImport::SourcePiece &&piece) {
            QMetaObject::invokeMethod(
                this, [this, piece = std::move(piece)]() mutable { pieceRead(std::move(piece)); },
                Qt::QueuedConnection);
        };
        const std::shared_ptr<GpsImport::StopFlag> stop = m_stop;
        m_readers->start([reading, stop] {
            if (stop->load())
                return;
            GpsImport::giveWayToTheWindow();
            GpsImport::readSource(reading);
        });
    }
    if (m_pending == 0)
        readingDone();
}

void ImportWindow::pieceRead(GpsImport::SourcePiece &&piece)
{
    if (m_stopped || m_keeping)
        return;
    m_bytesRead[piece.source] = piece.bytesRead;
    if (piece.finished)
        ++m_read;
    m_incoming.append(std::move(piece));
    // Every file read: the rest is listed at once.
    if (!m_pieceTimer->isActive() || m_read == m_paths.size())
        m_pieceTimer->start(m_read == m_paths.size() ? 0 : kPieceMs);
    if (!m_progressTimer->isActive())
        m_progressTimer->start();
}

void ImportWindow::takePieces()
{
    // Rows are listed a slice of time at a time, so that thousands of
    // them (an archive the register knows, listed at once) never keep the
    // window from its events for long.
    QElapsedTimer spent;
    spent.start();
    const bool sorting = m_list->isSortingEnabled();
    m_list->setSortingEnabled(false);
    m_list->setUpdatesEnabled(false);
    while (!m_incoming.isEmpty() && spent.elapsed() < kSliceMs) {
        GpsImport::SourcePiece &piece = m_incoming.first();
        while (m_pieceRow < piece.rows.size() && spent.elapsed() < kSliceMs)
            addRow(piece.rows.at(m_pieceRow++));
        if (m_pieceRow < piece.rows.size())
            break;
        for (const GpsImport::Amendment &amendment : std::as_const(piece.amendments))
            amend(amendment);
        if (piece.finished && piece.archive)
            m_archives.append({piece.source, piece.archiveBytes, piece.archiveHash, piece.memberHashes});
        m_incoming.removeFirst();
        m_pieceRow = 0;
    }
    m_list->setUpdatesEnabled(true);
    // The new rows take their places by the column the list is sorted by.
    m_list->setSortingEnabled(sorting);
    if (!m_list->currentItem() && m_list->topLevelItemCount() > 0)
        m_list->setCurrentItem(m_list->topLevelItem(0));
    updateAddButton();
    if (!m_incoming.isEmpty()) {
        m_pieceTimer->start(0);
    } else if (m_read == m_paths.size() && m_pending > 0) {
        m_pending = 0;
        readingDone();
    }
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
    m_incoming.clear();
    m_pieceRow = 0;
    m_pieceTimer->stop();
    readingDone();
}

void ImportWindow::showProgress()
{
    qint64 read = 0;
    for (const qint64 bytes : std::as_const(m_bytesRead))
        read += bytes;
    // Read whole: full, whatever the sizes told at the start.
    const bool whole = m_pending == 0 && !m_stopped && !m_keeping;
    m_progress->setValue(whole ? m_progress->maximum() : int(std::min<qint64>(read / 1024, m_progress->maximum())));
    const int all = int(m_paths.size());
    if (m_keeping)
        m_status->setText(QStringLiteral("Ukládám kopie souborů jízd…"));
    else if (m_stopped)
        m_status->setText(QStringLiteral("Čtení zrušeno: přečteno %1 z %2 souborů").arg(m_read).arg(all));
    else if (m_pending > 0)
        m_status->setText(QStringLiteral("Čtu soubory: %1 z %2").arg(m_read).arg(all));
    else
        m_status->setText(QStringLiteral("Přečteno %1 z %2 souborů").arg(m_read).arg(all));
    m_stopButton->setEnabled(m_pending > 0 || m_keeping);
}

void ImportWindow::addRow(ImportRow row)
{
    if (row.known && !row.link.isEmpty() && !m_linksInLog.contains(row.link))
        row.remarks.append(QString::fromUtf16(GpsImport::kRemarkGoneFromLog));
    if (row.offered && !row.known && m_logged.contains(row.cells)) {
        row.remarks.append(QString::fromUtf16(GpsImport::kRemarkInLog));
        row.ticked = false;
    }
    // The same ride from another file (or the same file picked twice) is
    // listed once; of the two, the one read without trouble stays. A ride
    // imported before stays unticked whatever file brings it again.
    const QString date = row.cells.value(RideColumn::Date);
    for (const int i : m_byDate.value(date)) {
        ImportRow &listed = m_rows[i];
        if (!GpsImport::sameRide(listed, row))
            continue;
        QStringList files = listed.files;
        for (const QString &file : std::as_const(row.files))
            if (!files.contains(file))
                files.append(file);
        const bool known = listed.known || row.known;
        if (row.remarks.size() < listed.remarks.size() && !listed.known) {
            row.ticked = listed.ticked && !row.known;
            listed = std::move(row);
        }
        listed.files = files;
        if (known)
            listed.ticked = false;
        showRow(m_items[i], listed);
        return;
    }
    const int index = int(m_rows.size());
    m_rows.append(std::move(row));
    auto *item = new ImportItem(m_rows, index);
    m_items.append(item);
    if (!date.isEmpty() && m_rows.constLast().offered)
        m_byDate[date].append(index);
    if (!m_rows.constLast().member.isEmpty())
        m_byMember[m_rows.constLast().member].append(index);
    m_list->addTopLevelItem(item);
    showRow(item, m_rows.constLast());
}

void ImportWindow::amend(const GpsImport::Amendment &amendment)
{
    for (const int i : m_byMember.value(amendment.member)) {
        ImportRow &row = m_rows[i];
        if (row.source != amendment.source || !row.offered || row.known)
            continue;
        GpsImport::applyListedActivity(row, amendment.activity);
        showRow(m_items[i], row);
    }
}

void ImportWindow::tickAll(bool ticked)
{
    m_list->setUpdatesEnabled(false);
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        if (!m_rows[i].offered)
            continue;
        m_rows[i].ticked = ticked;
        m_filling = true;
        m_items[i]->setCheckState(Tick, ticked ? Qt::Checked : Qt::Unchecked);
        m_filling = false;
    }
    m_list->setUpdatesEnabled(true);
    updateAddButton();
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
    if (m_keeping)
        return;
    m_adding.clear();
    for (qsizetype i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].offered && m_rows[i].ticked)
            m_adding.append(i);
    if (m_adding.isEmpty())
        return;
    stopReading();
    // The added rides' files are kept before the rides go into the log
    // (a worker reads them again, an archive once for all its members);
    // the window waits, "Zrušit" gives up the adding.
    m_keeping = true;
    for (QPushButton *button : {m_addButton, m_allButton, m_noneButton})
        button->setEnabled(false);
    m_progress->setRange(0, 0);
    showProgress();
    QList<ImportRow> keep;
    for (const qsizetype i : std::as_const(m_adding))
        keep.append(m_rows[i]);
    QStringList hashArchives;
    for (const GpsImport::ReadArchive &archive : std::as_const(m_archives))
        if (archive.hash.isEmpty())
            hashArchives.append(archive.path);
    m_keepStop = std::make_shared<GpsImport::StopFlag>(false);
    auto *watcher = new QFutureWatcher<GpsImport::KeptCopies>(this);
    connect(watcher, &QFutureWatcher<GpsImport::KeptCopies>::finished, this, [this, watcher, stop = m_keepStop] {
        watcher->deleteLater();
        if (stop->load())
            return;
        runGuarded([&] { keepingDone(watcher->result()); });
    });
    const std::shared_ptr<const GpsImport::ImportRegister> known = m_register;
    const std::shared_ptr<GpsImport::StopFlag> stop = m_keepStop;
    watcher->setFuture(QtConcurrent::run(m_readers, [keep, known, root = m_where.keptRides(), zone = m_zone,
                                                     hashArchives, stop] {
        return GpsImport::keepRideFiles(keep, *known, root, zone, hashArchives, *stop);
    }));
}

void ImportWindow::keepingDone(const GpsImport::KeptCopies &copies)
{
    const QStringList links = GpsImport::registerImport(*m_register, m_rows, m_adding, copies, m_archives,
                                                        QDate::currentDate());
    // The register is written after the copies are on the disk, and before
    // the rides are in the log: it never names a copy that is not there.
    const QString failure = failureOf([this] {
        if (!m_register->wasReadable())
            throw AppError(QStringLiteral("Rejstřík importovaných souborů %1 nelze přečíst, a proto se do něj "
                                          "nic nezapsalo; jízdy jsou přidány.")
                               .arg(QDir::toNativeSeparators(m_where.importRegister())));
        QDir().mkpath(m_where.keptRides());
        AtomicWrite::replaceFile(m_where.importRegister(), m_register->bytes());
    });
    QList<std::pair<QDateTime, QStringList>> rides;
    for (qsizetype i = 0; i < m_adding.size(); ++i) {
        const ImportRow &row = m_rows[m_adding[i]];
        QStringList cells = row.cells;
        if (!links[i].isEmpty()) {
            cells.resize(RideColumn::CountWithKeptFile);
            cells[RideColumn::KeptFile] = links[i];
        }
        rides.append({row.start, cells});
    }
    std::stable_sort(rides.begin(), rides.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<QStringList> cells;
    for (const auto &ride : std::as_const(rides))
        cells.append(ride.second);
    m_keeping = false;
    m_add(cells);
    if (!failure.isEmpty() || !copies.failures.isEmpty())
        Messages::instance().failure(
            QStringList(copies.failures + QStringList(failure)).filter(QRegularExpression(QStringLiteral("\\S")))
                .join(u'\n'));
    accept();
}

void ImportWindow::showEvent(QShowEvent *event)
{
    m_storage->restoreOnFirstShow(m_where.settings());
    QDialog::showEvent(event);
}

void ImportWindow::done(int result)
{
    stopReading();
    // Closing while the files are kept gives up the adding.
    m_keepStop->store(true);
    m_keeping = false;
    m_storage->saveOnClose();
    QDialog::done(result);
}
