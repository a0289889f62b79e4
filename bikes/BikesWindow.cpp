#include "BikesWindow.h"
#include "AppError.h"
#include "BikeDialogs.h"
#include "DataKeeper.h"
#include "IniFile.h"
#include "LocaleService.h"
#include "Messages.h"
#include "NumberText.h"

#include <QAbstractTableModel>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
enum BikeColumn { BikeName, BikeType, KmBefore, Rides, KmInLog, KmTotal, LastRide, BikeColumns };
enum PartColumn { PartName, Mounted, Interval, SinceService, State, PartColumns };
constexpr int kSectionRole = Qt::UserRole;
// The name a ride gives and no bike has: its row has no section.
constexpr int kRideNameRole = Qt::UserRole + 1;

const QString kUnknownBike = QStringLiteral("neznámé kolo");

QString intervalText(const Bikes::Part &p)
{
    QStringList parts;
    if (p.intervalKm)
        parts.append(Bikes::kmText(*p.intervalKm) + QStringLiteral(" km"));
    if (p.intervalMonths > 0)
        parts.append(QString::number(p.intervalMonths) + QStringLiteral(" měs."));
    return parts.isEmpty() ? QStringLiteral("–") : parts.join(QStringLiteral(" / "));
}

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}
} // namespace

// The parts of one bike; their states are worked out for the rows shown.
class PartTableModel : public QAbstractTableModel
{
public:
    PartTableModel(const Bikes::Garage &garage, QObject *parent) : QAbstractTableModel(parent), m_garage(garage) {}

    void show(const QList<const Bikes::Part *> &parts, const Bikes::Mileage *mileage)
    {
        beginResetModel();
        m_rows = parts;
        m_mileage = mileage;
        m_states.clear();
        endResetModel();
    }
    const Bikes::Part *partAt(int row) const { return row >= 0 && row < m_rows.size() ? m_rows.at(row) : nullptr; }
    int rowOf(const QString &section) const
    {
        for (qsizetype i = 0; i < m_rows.size(); ++i)
            if (m_rows.at(i)->section == section)
                return int(i);
        return -1;
    }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : PartColumns; }
    QVariant headerData(int section, Qt::Orientation o, int role) const override
    {
        static const QStringList headings = {QStringLiteral("Díl"), QStringLiteral("Namontováno"),
                                             QStringLiteral("Interval"), QStringLiteral("Najeto"),
                                             QStringLiteral("Stav")};
        if (o == Qt::Horizontal && role == Qt::DisplayRole)
            return headings.value(section);
        return {};
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        const Bikes::Part *p = partAt(index.row());
        if (!p)
            return {};
        if (role == Qt::ForegroundRole && p->isReplaced())
            return QColor(Qt::gray);
        if (role == Qt::TextAlignmentRole && index.column() == SinceService)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        switch (index.column()) {
        case PartName: return excerpt(p->name, Bikes::Garage::kMaxNameLength);
        case Mounted: return LocaleService::instance().formatDate(p->mounted());
        case Interval: return intervalText(*p);
        case SinceService: return Bikes::kmText(state(p).sinceService);
        case State: return state(p).text;
        default: return {};
        }
    }

private:
    const Bikes::PartStatus &state(const Bikes::Part *p) const
    {
        auto it = m_states.find(p->section);
        if (it == m_states.end())
            it = m_states.insert(p->section, Bikes::statusOf(*p, *m_mileage, m_garage, QDate::currentDate()));
        return it.value();
    }

    const Bikes::Garage &m_garage;
    QList<const Bikes::Part *> m_rows;
    const Bikes::Mileage *m_mileage = nullptr;
    mutable QHash<QString, Bikes::PartStatus> m_states;
};

BikesWindow::BikesWindow(const StringTable &log, const QString &bikesPath, DataKeeper *keeper,
                         RenameRides renameRides, QWidget *parent)
    : QDialog(parent), m_log(log), m_path(bikesPath), m_keeper(keeper), m_renameRides(std::move(renameRides)),
      m_garage(Bikes::Garage::read(bikesPath)), m_mileage(std::make_unique<Bikes::Mileage>(log))
{
    setObjectName(QStringLiteral("BikesWindow"));
    setWindowTitle(QStringLiteral("Kola"));
    setModal(true);
    resize(860, 620);
    m_garage.setWriter(Bikes::writerThrough(keeper, bikesPath));

    bikeTable = new QTableWidget(0, BikeColumns, this);
    bikeTable->setObjectName(QStringLiteral("bikeTable"));
    bikeTable->setHorizontalHeaderLabels({QStringLiteral("Kolo"), QStringLiteral("Typ"),
                                          QStringLiteral("Najeto před deníkem"), QStringLiteral("Jízd"),
                                          QStringLiteral("Km v deníku"), QStringLiteral("Km celkem"),
                                          QStringLiteral("Poslední jízda")});
    partTable = new QTableView(this);
    partTable->setObjectName(QStringLiteral("partTable"));
    m_parts = new PartTableModel(m_garage, this);
    partTable->setModel(m_parts);
    for (QTableView *t : {static_cast<QTableView *>(bikeTable), partTable}) {
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        t->setSelectionMode(QAbstractItemView::SingleSelection);
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->verticalHeader()->hide();
        t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 8);
        t->horizontalHeader()->setStretchLastSection(true);
        t->setTabKeyNavigation(false);
    }
    partTable->horizontalHeader()->resizeSection(PartName, 180);
    partTable->horizontalHeader()->resizeSection(State, 200);
    historyView = new QPlainTextEdit(this);
    historyView->setObjectName(QStringLiteral("historyView"));
    historyView->setReadOnly(true);
    historyView->setMaximumHeight(110);

    auto label = [this](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, this);
        l->setBuddy(buddy);
        return l;
    };
    auto *bikesBox = new QWidget(this);
    auto *bikesLayout = new QVBoxLayout(bikesBox);
    bikesLayout->setContentsMargins(0, 0, 0, 0);
    bikesLayout->addWidget(label(QStringLiteral("&Kola:"), bikeTable));
    bikesLayout->addWidget(bikeTable, 1);
    bikesLayout->addWidget(buildBikeButtons());
    auto *partsBox = new QWidget(this);
    auto *partsLayout = new QVBoxLayout(partsBox);
    partsLayout->setContentsMargins(0, 0, 0, 0);
    partsLayout->addWidget(label(QStringLiteral("Díl&y vybraného kola:"), partTable));
    partsLayout->addWidget(partTable, 1);
    partsLayout->addWidget(buildPartButtons());
    partsLayout->addWidget(label(QStringLiteral("&Historie dílu:"), historyView));
    partsLayout->addWidget(historyView);
    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(bikesBox);
    splitter->addWidget(partsBox);
    splitter->setChildrenCollapsible(false);

    closeButton = button(QStringLiteral("closeButton"), QStringLiteral("&Zavřít"), this);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(closeButton, QDialogButtonBox::RejectRole);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(buttons);

    connect(bikeTable, &QTableWidget::currentCellChanged, this, [this] {
        showParts();
        updateButtons();
    });
    connect(partTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        showHistory();
        updateButtons();
    });
    // Enter or a double click: the bike's dialog; on a bike known only
    // from rides, a new bike of that name.
    connect(bikeTable, &QTableWidget::cellActivated, this, [this] {
        runGuarded([this] { m_garage.bikeBySection(selectedBike()) ? editBike() : newBike(); });
    });
    fillBikes(m_garage.defaultBike() ? m_garage.defaultBike()->section : QString());
    tellProblemsOnce();
}

BikesWindow::~BikesWindow() = default;

QWidget *BikesWindow::buildBikeButtons()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    newBikeButton = button(QStringLiteral("newBikeButton"), QStringLiteral("&Nové kolo"), row);
    editBikeButton = button(QStringLiteral("editBikeButton"), QStringLiteral("&Upravit"), row);
    retireBikeButton = button(QStringLiteral("retireBikeButton"), QStringLiteral("&Vyřadit"), row);
    defaultBikeButton = button(QStringLiteral("defaultBikeButton"), QStringLiteral("Vý&chozí"), row);
    removeBikeButton = button(QStringLiteral("removeBikeButton"), QStringLiteral("&Smazat"), row);
    const std::pair<QPushButton *, void (BikesWindow::*)()> actions[] = {
        {newBikeButton, &BikesWindow::newBike},       {editBikeButton, &BikesWindow::editBike},
        {retireBikeButton, &BikesWindow::retireBike}, {defaultBikeButton, &BikesWindow::makeDefault},
        {removeBikeButton, &BikesWindow::removeBike}};
    for (const auto &[b, action] : actions) {
        layout->addWidget(b);
        connect(b, &QPushButton::clicked, this, guardedSlot(this, action));
    }
    layout->addStretch(1);
    return row;
}

QWidget *BikesWindow::buildPartButtons()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    newPartButton = button(QStringLiteral("newPartButton"), QStringLiteral("Nový &díl"), row);
    serviceButton = button(QStringLiteral("serviceButton"), QStringLiteral("Servis &proveden"), row);
    replaceButton = button(QStringLiteral("replaceButton"), QStringLiteral("Vy&měnit"), row);
    moveButton = button(QStringLiteral("moveButton"), QStringLiteral("Přesunout na k&olo…"), row);
    removePartButton = button(QStringLiteral("removePartButton"), QStringLiteral("Odstranit dí&l"), row);
    const std::pair<QPushButton *, void (BikesWindow::*)()> actions[] = {
        {newPartButton, &BikesWindow::newPart},   {serviceButton, &BikesWindow::partServiced},
        {replaceButton, &BikesWindow::replacePart}, {moveButton, &BikesWindow::movePart},
        {removePartButton, &BikesWindow::removePart}};
    for (const auto &[b, action] : actions) {
        layout->addWidget(b);
        connect(b, &QPushButton::clicked, this, guardedSlot(this, action));
    }
    layout->addStretch(1);
    return row;
}

// ---------------------------------------------------------------- the file

void BikesWindow::tellProblemsOnce()
{
    // Said once a run for each file: the copy is made the first time.
    static QSet<QString> told;
    if (m_garage.problems().isEmpty() || told.contains(m_path))
        return;
    told.insert(m_path);
    const QString problems = QStringLiteral("V souboru s koly je, co program nemůže použít: %1.")
                                 .arg(m_garage.problems().mid(0, 5).join(QStringLiteral("; ")))
                             + (m_garage.problems().size() > 5
                                    ? QStringLiteral(" (a dalších %1)").arg(m_garage.problems().size() - 5)
                                    : QString());
    QString said = problems;
    if (!m_garage.unreadable()) {
        const DataKeeper local(QFileInfo(m_path).absolutePath(), QFileInfo(m_path).absolutePath());
        said = (m_keeper ? *m_keeper : local)
                   .keepDamagedAndSay(m_path, problems, QStringLiteral("při první změně v okně „Kola“"));
    }
    QTimer::singleShot(0, this, [said] { Messages::instance().failure(said); });
}

// ---------------------------------------------------------------- showing

int BikesWindow::ridesOf(const Bikes::Bike &bike) const
{
    return m_mileage->figures(bike.name).rides;
}

void BikesWindow::fillBikes(const QString &select)
{
    const QSignalBlocker block(bikeTable);
    bikeTable->setRowCount(0);
    const QLocale &locale = LocaleService::instance().locale();
    auto addRow = [&](const QStringList &texts, const QString &section, const QString &rideName, bool grey) {
        const int row = bikeTable->rowCount();
        bikeTable->insertRow(row);
        for (int c = 0; c < BikeColumns; ++c) {
            auto *item = new QTableWidgetItem(texts.value(c));
            item->setData(kSectionRole, section);
            item->setData(kRideNameRole, rideName);
            if (c >= KmBefore && c <= KmTotal)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (grey)
                item->setForeground(QColor(Qt::gray));
            bikeTable->setItem(row, c, item);
        }
    };
    auto figureTexts = [&](const Bikes::BikeFigures &f, double before) {
        return QStringList{Bikes::kmText(before), locale.toString(f.rides), Bikes::kmText(f.km),
                           Bikes::kmText(before + f.km),
                           f.lastRide.isValid() ? LocaleService::instance().formatDate(f.lastRide) : QString()};
    };
    for (const Bikes::Bike *b : m_garage.bikesInOrder()) {
        QString name = excerpt(b->name, Bikes::Garage::kMaxNameLength);
        if (b->isDefault)
            name += QStringLiteral(" (výchozí)");
        if (b->retired)
            name += QStringLiteral(" (vyřazené)");
        addRow(QStringList{name, b->type} + figureTexts(m_mileage->figures(b->name), b->kmBefore), b->section,
               QString(), b->retired);
    }
    // Bikes that rides name and the file does not know: listed with their
    // km, so that nothing of the log is out of sight.
    for (const QString &name : m_mileage->namesInRides())
        if (!m_garage.bikeNamed(name))
            addRow(QStringList{excerpt(name, Bikes::Garage::kMaxNameLength), kUnknownBike}
                       + figureTexts(m_mileage->figures(name), 0),
                   QString(), name, true);
    bikeTable->resizeColumnsToContents();
    int row = 0;
    for (int r = 0; r < bikeTable->rowCount(); ++r)
        if (!select.isEmpty() && bikeTable->item(r, 0)->data(kSectionRole).toString() == select)
            row = r;
    if (bikeTable->rowCount() > 0)
        bikeTable->setCurrentCell(row, 0);
    showParts();
    updateButtons();
}

int BikesWindow::rowOfSelectedBike() const
{
    return bikeTable->currentRow();
}

QString BikesWindow::selectedBike() const
{
    const QTableWidgetItem *item = bikeTable->item(rowOfSelectedBike(), 0);
    return item ? item->data(kSectionRole).toString() : QString();
}

QString BikesWindow::selectedPart() const
{
    const Bikes::Part *p = m_parts->partAt(partTable->currentIndex().row());
    return p ? p->section : QString();
}

void BikesWindow::selectBike(const QString &section)
{
    for (int r = 0; r < bikeTable->rowCount(); ++r)
        if (bikeTable->item(r, 0)->data(kSectionRole).toString() == section)
            bikeTable->setCurrentCell(r, 0);
}

void BikesWindow::selectPart(const QString &section)
{
    if (const Bikes::Part *p = m_garage.partBySection(section))
        selectBike(p->bike());
    const int row = m_parts->rowOf(section);
    if (row >= 0)
        partTable->setCurrentIndex(m_parts->index(row, 0));
}

void BikesWindow::showParts()
{
    m_parts->show(m_garage.partsOf(selectedBike()), m_mileage.get());
    if (m_parts->rowCount() > 0)
        partTable->setCurrentIndex(m_parts->index(0, 0));
    showHistory();
}

void BikesWindow::showHistory()
{
    const Bikes::Part *p = m_parts->partAt(partTable->currentIndex().row());
    historyView->setPlainText(p ? Bikes::historyOf(*p, *m_mileage, m_garage).join(u'\n') : QString());
}

void BikesWindow::updateButtons()
{
    const Bikes::Bike *bike = m_garage.bikeBySection(selectedBike());
    const Bikes::Part *part = m_parts->partAt(partTable->currentIndex().row());
    const bool partInUse = part && !part->isReplaced();
    editBikeButton->setEnabled(bike);
    retireBikeButton->setEnabled(bike);
    retireBikeButton->setText(bike && bike->retired ? QStringLiteral("Vrátit do pro&vozu") : QStringLiteral("&Vyřadit"));
    defaultBikeButton->setEnabled(bike && !bike->isDefault && !bike->retired);
    removeBikeButton->setEnabled(bike && ridesOf(*bike) == 0);
    newPartButton->setEnabled(bike);
    serviceButton->setEnabled(partInUse);
    replaceButton->setEnabled(partInUse);
    moveButton->setEnabled(partInUse && m_garage.bikes().size() > 1);
    removePartButton->setEnabled(part);
}
