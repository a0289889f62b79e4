#include "StatisticsWindow.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "LocaleService.h"
#include "Messages.h"
#include "RecordsView.h"
#include "RideRecords.h"
#include "SaveDialog.h"
#include "StringTable.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStackedBarSeries>
#include <QBuffer>
#include <QCheckBox>
#include <QLineSeries>
#include <QTabWidget>
#include <QChart>
#include <QChartView>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace {
enum Column { Period, Rides, Km, Time, Average, Longest, Route, ColumnCount };
constexpr int kYearRole = Qt::UserRole;
} // namespace

StatisticsWindow::StatisticsWindow(const StringTable &log, QWidget *parent)
    : StatisticsWindow(log, parent, Options())
{
}

StatisticsWindow::StatisticsWindow(const StringTable &log, QWidget *parent, Options options)
    : QDialog(parent), m_log(log), m_goals(std::move(options.yearlyGoals))
{
    if (options.shownRows)
        m_shownRows = *options.shownRows;
    m_stats = RideStatistics::compute(log, std::nullopt, chosenRows());
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(QStringLiteral("Statistika jízd"));
    setModal(true);
    resize(920, 680);

    yearTree = new QTreeWidget;
    yearTree->setObjectName(QStringLiteral("yearTree"));
    yearTree->setColumnCount(ColumnCount);
    yearTree->setHeaderLabels({QStringLiteral("Rok/Měsíc"), QStringLiteral("Jízd"), QStringLiteral("Km"),
                           QStringLiteral("Čas"), QStringLiteral("Průměr km/h"), QStringLiteral("Nejdelší jízda"),
                           QStringLiteral("Nejčastější trasa")});
    yearTree->setSelectionMode(QAbstractItemView::SingleSelection);
    yearTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    yearTree->setUniformRowHeights(true);
    yearTree->setAlternatingRowColors(true);
    yearTree->header()->setStretchLastSection(true);
    yearTree->header()->setSectionsMovable(false);
    for (int c = Rides; c < Route; ++c)
        yearTree->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);

    QChart *chart = buildChart();
    chartView = new QChartView(chart);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setRenderHint(QPainter::Antialiasing);
    chartView->setMinimumHeight(260);

    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(yearTree);
    splitter->addWidget(chartView);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);

    tabs = new QTabWidget;
    tabs->setObjectName(QStringLiteral("statisticsTabs"));
    tabs->addTab(splitter, QStringLiteral("&Přehled"));
    recordsView = new RecordsView;
    tabs->addTab(recordsView, QStringLiteral("&Rekordy"));

    saveChartButton = new QPushButton(QStringLiteral("&Uložit graf…"));
    saveChartButton->setObjectName(QStringLiteral("saveChartButton"));
    saveChartButton->setAutoDefault(false);
    closeButton = new QPushButton(QStringLiteral("&Zavřít"));
    closeButton->setObjectName(QStringLiteral("closeButton"));
    auto *buttons = new QDialogButtonBox;
    buttons->addButton(saveChartButton, QDialogButtonBox::ActionRole);
    buttons->addButton(closeButton, QDialogButtonBox::RejectRole);

    auto *layout = new QVBoxLayout(this);
    addBikeChoice();
    if (QWidget *choices = buildChoices())
        layout->addWidget(choices);
    layout->addWidget(tabs, 1);
    layout->addWidget(buttons);

    saveChartDialog = new QFileDialog(this);
    saveChartDialog->setObjectName(QStringLiteral("saveChartDialog"));
    saveChartDialog->setWindowTitle(QStringLiteral("Uložit graf"));
    setUpSaveDialog(*saveChartDialog, QStringLiteral("Obrázek PNG (*.png)"), QStringLiteral("png"));

    connect(saveChartButton, &QPushButton::clicked, this, guardedSlot(this, &StatisticsWindow::saveChart));
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(yearTree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (!item)
            return;
        const QVariant year = item->data(Period, kYearRole);
        if (year.isValid())
            showYear(year.toInt());
    });
    connect(tabs, &QTabWidget::currentChanged, this, [this] {
        if (tabs->currentWidget() == recordsView && m_recordsStale)
            showRecords();
    });
    connect(recordsView, &RecordsView::rideActivated, this, [this](int gridRow) {
        emit rideActivated(gridRow);
        accept();
    });

    fillTree();
    saveChartButton->setEnabled(!m_stats.years.empty());
}

QChart *StatisticsWindow::buildChart()
{
    auto *chart = new QChart;
    chart->setTitle(QStringLiteral("Kilometry po měsících"));
    chart->setLocalizeNumbers(true);
    chart->setLocale(LocaleService::instance().locale());
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto *series = new QBarSeries;
    m_yearSeries = series;
    selectedYearBars = new QBarSet(QString());
    previousYearBars = new QBarSet(QString());
    selectedYearBars->setColor(QColor(0x2e, 0x7d, 0x32));
    previousYearBars->setColor(QColor(0xa5, 0xd6, 0xa7));
    for (QBarSet *set : {selectedYearBars, previousYearBars})
        for (int m = 0; m < 12; ++m)
            set->append(0.0);
    series->append(selectedYearBars);
    series->append(previousYearBars);
    chart->addSeries(series);
    QStringList months;
    for (int m = 1; m <= 12; ++m)
        months << LocaleService::instance().locale().standaloneMonthName(m, QLocale::ShortFormat);
    auto *axisMonths = new QBarCategoryAxis;
    axisMonths->append(months);
    chart->addAxis(axisMonths, Qt::AlignBottom);
    series->attachAxis(axisMonths);
    m_axisMonths = axisMonths;
    m_axisKm = new QValueAxis;
    m_axisKm->setTitleText(QStringLiteral("km"));
    m_axisKm->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(m_axisKm, Qt::AlignLeft);
    series->attachAxis(m_axisKm);
    if (!m_goals.empty())
        addGoalLines(chart);
    return chart;
}

void StatisticsWindow::addGoalLines(QChart *chart)
{
    m_axisGoal = new QValueAxis;
    m_axisGoal->setObjectName(QStringLiteral("goalAxis"));
    m_axisGoal->setTitleText(QStringLiteral("km v roce"));
    m_axisGoal->setLabelFormat(QStringLiteral("%.0f"));
    m_axisGoal->setVisible(false);
    chart->addAxis(m_axisGoal, Qt::AlignRight);
    cumulativeLine = new QLineSeries(this);
    cumulativeLine->setName(QStringLiteral("Kumulativně (km)"));
    cumulativeLine->setPen(QPen(QColor(0x1b, 0x5e, 0x20), 2.5));
    goalLine = new QLineSeries(this);
    goalLine->setName(QStringLiteral("Roční cíl (km)"));
    goalLine->setPen(QPen(QColor(0xc6, 0x28, 0x28), 2, Qt::DashLine));
}

void StatisticsWindow::showGoal(int year)
{
    if (!goalLine)
        return;
    // Out and back in, so that the lines stay drawn over the bars.
    QChart *chart = chartView->chart();
    for (QLineSeries *line : {cumulativeLine, goalLine})
        if (chart->series().contains(line)) {
            chart->removeSeries(line);
            line->setParent(this);
        }
    const auto goal = m_goals.find(year);
    m_axisGoal->setVisible(year > 0 && goal != m_goals.end());
    if (!m_axisGoal->isVisible())
        return;
    const auto due = RideStatistics::goalByMonthEnd(year, goal->second);
    const auto ridden = RideStatistics::cumulativeKm(m_stats, year);
    // The year under way: the km ridden only up to this month.
    const QDate today = QDate::currentDate();
    const int months = year == today.year() ? today.month() : (year > today.year() ? 0 : 12);
    QList<QPointF> duePoints{{-0.5, 0}}, riddenPoints{{-0.5, 0}};
    for (int m = 0; m < 12; ++m) {
        duePoints << QPointF(m + 0.5, due[size_t(m)]);
        if (m < months)
            riddenPoints << QPointF(m + 0.5, ridden[size_t(m)]);
    }
    goalLine->replace(duePoints);
    cumulativeLine->replace(riddenPoints);
    for (QLineSeries *line : {cumulativeLine, goalLine}) {
        chart->addSeries(line);
        line->attachAxis(m_axisMonths);
        line->attachAxis(m_axisGoal);
    }
    const double top = std::max(goal->second, ridden[11]);
    m_axisGoal->setRange(0, top > 0 ? top : 100);
    m_axisGoal->applyNiceNumbers();
}

QTreeWidgetItem *StatisticsWindow::addRow(QTreeWidgetItem *parent, const QString &first,
                                          const RideStatistics::Sums &sums)
{
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(yearTree);
    item->setText(Period, first);
    const QStringList texts = RideStatistics::columnTexts(sums);
    for (int c = Rides; c < ColumnCount; ++c) {
        item->setText(c, texts.at(c - Rides));
        if (c != Route)
            item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    }
    return item;
}

void StatisticsWindow::fillTree()
{
    const QLocale &locale = LocaleService::instance().locale();
    for (const RideStatistics::Year &year : m_stats.years) {
        QTreeWidgetItem *yearItem = addRow(nullptr, QString::number(year.year), year.sums);
        yearItem->setData(Period, kYearRole, year.year);
        for (const RideStatistics::Month &month : year.months) {
            QTreeWidgetItem *monthItem =
                addRow(yearItem, locale.standaloneMonthName(month.month, QLocale::LongFormat), month.sums);
            monthItem->setData(Period, kYearRole, year.year);
        }
    }
    if (m_stats.undated.rides > 0)
        addRow(nullptr, QStringLiteral("bez data"), m_stats.undated);
    QTreeWidgetItem *total = addRow(nullptr, QStringLiteral("Celkem"), m_stats.total);
    QFont bold = total->font(Period);
    bold.setBold(true);
    for (int c = 0; c < ColumnCount; ++c)
        total->setFont(c, bold);

    // Wide enough for every month, also of the years shown collapsed.
    yearTree->expandAll();
    for (int c = 0; c < Route; ++c) {
        yearTree->resizeColumnToContents(c);
        yearTree->setColumnWidth(c, yearTree->columnWidth(c) + 12);
    }
    yearTree->collapseAll();
    if (QTreeWidgetItem *newest = yearTree->topLevelItem(0); newest && !m_stats.years.empty()) {
        newest->setExpanded(true);
        yearTree->setCurrentItem(newest);
    }
    if (m_stats.years.empty())
        showYear(0);
}

void StatisticsWindow::addBikeChoice()
{
    const QStringList bikes = RideStatistics::bikeNames(m_log);
    if (bikes.isEmpty())
        return;
    bikeFilterBox = new QComboBox(this);
    bikeFilterBox->setObjectName(QStringLiteral("bikeFilterBox"));
    bikeFilterBox->addItem(QStringLiteral("Všechna kola"));
    bikeSeries = new QStackedBarSeries;
    for (const QString &bike : bikes) {
        bikeFilterBox->addItem(bike, bike);
        m_perBike.append({bike, bike, {}});
    }
    // The rides without a bike stand in the chart too, when the log has
    // any (whether or not the filter shows them: the chart keeps its bars).
    const QString noBike = QStringLiteral("");
    RideStatistics::Statistics withoutBike = RideStatistics::compute(m_log, noBike);
    if (withoutBike.total.rides > 0)
        m_perBike.append({QStringLiteral("bez kola"), noBike, std::move(withoutBike)});
    computePerBike();
    for (const BikeSums &sums : std::as_const(m_perBike)) {
        auto *set = new QBarSet(sums.label);
        for (int m = 0; m < 12; ++m)
            set->append(0.0);
        bikeSeries->append(set);
    }
    bikeFilterBox->addItem(QStringLiteral("bez kola"), QStringLiteral(""));
    bikeSeries->setBarWidth(0.6);
    bikeSeries->setParent(this);
    connect(bikeFilterBox, &QComboBox::currentIndexChanged, this, &StatisticsWindow::showChosenBike);
}

void StatisticsWindow::computePerBike()
{
    for (BikeSums &sums : m_perBike)
        sums.stats = RideStatistics::compute(m_log, sums.bike, chosenRows());
}

QWidget *StatisticsWindow::buildChoices()
{
    if (m_shownRows) {
        shownOnlyBox = new QCheckBox(QStringLiteral("&jen zobrazené jízdy"), this);
        shownOnlyBox->setObjectName(QStringLiteral("shownOnlyBox"));
        shownOnlyBox->setChecked(true);
        connect(shownOnlyBox, &QCheckBox::toggled, this, [this] {
            computePerBike();
            showChosenBike();
        });
    }
    if (!bikeFilterBox && !shownOnlyBox)
        return nullptr;
    auto *choices = new QWidget(this);
    auto *row = new QHBoxLayout(choices);
    row->setContentsMargins(0, 0, 0, 0);
    if (bikeFilterBox) {
        auto *label = new QLabel(QStringLiteral("&Kolo:"), choices);
        label->setBuddy(bikeFilterBox);
        row->addWidget(label);
        row->addWidget(bikeFilterBox);
        row->addSpacing(16);
    }
    if (shownOnlyBox)
        row->addWidget(shownOnlyBox);
    row->addStretch(1);
    return choices;
}

std::optional<QString> StatisticsWindow::chosenBike() const
{
    const QVariant bike = bikeFilterBox ? bikeFilterBox->currentData() : QVariant();
    return bike.isValid() ? std::optional<QString>(bike.toString()) : std::nullopt;
}

const std::vector<int> *StatisticsWindow::chosenRows() const
{
    if (!m_shownRows || (shownOnlyBox && !shownOnlyBox->isChecked()))
        return nullptr;
    return &*m_shownRows;
}

void StatisticsWindow::showChosenBike()
{
    m_stats = RideStatistics::compute(m_log, chosenBike(), chosenRows());
    yearTree->clear();
    fillTree();
    m_recordsStale = true;
    if (tabs->currentWidget() == recordsView)
        showRecords();
}

void StatisticsWindow::showRecords()
{
    recordsView->showRecords(RideRecords::compute(m_log, chosenBike(), chosenRows()));
    m_recordsStale = false;
}

void StatisticsWindow::showYear(int year)
{
    m_chartYear = year;
    // All bikes of a log with bikes: the year's km stacked by bike.
    const bool byBike = bikeSeries && !bikeFilterBox->currentData().isValid();
    if (bikeSeries) {
        // Bar series in one chart stand side by side: only the one shown
        // is in the chart.
        QAbstractBarSeries *shown = byBike ? static_cast<QAbstractBarSeries *>(bikeSeries) : m_yearSeries;
        QAbstractBarSeries *hidden = byBike ? static_cast<QAbstractBarSeries *>(m_yearSeries) : bikeSeries;
        QChart *chart = chartView->chart();
        if (chart->series().contains(hidden)) {
            chart->removeSeries(hidden);
            hidden->setParent(this);
        }
        if (!chart->series().contains(shown)) {
            chart->addSeries(shown);
            shown->attachAxis(m_axisMonths);
            shown->attachAxis(m_axisKm);
        }
    }
    showGoal(year);
    if (byBike) {
        double top = 0;
        std::array<double, 12> sums{};
        for (qsizetype b = 0; b < m_perBike.size(); ++b) {
            const auto months = m_perBike.at(b).stats.kmPerMonth(year);
            for (int m = 0; m < 12; ++m) {
                bikeSeries->barSets().at(b)->replace(m, months[size_t(m)]);
                sums[size_t(m)] += months[size_t(m)];
                top = std::max(top, sums[size_t(m)]);
            }
        }
        m_axisKm->setRange(0, top > 0 ? top : 100);
        m_axisKm->applyNiceNumbers();
        return;
    }
    const auto selected = m_stats.kmPerMonth(year);
    const auto previous = m_stats.kmPerMonth(year - 1);
    double top = 0;
    for (int m = 0; m < 12; ++m) {
        selectedYearBars->replace(m, selected[size_t(m)]);
        previousYearBars->replace(m, previous[size_t(m)]);
        top = std::max({top, selected[size_t(m)], previous[size_t(m)]});
    }
    selectedYearBars->setLabel(year > 0 ? QString::number(year) : QString());
    previousYearBars->setLabel(year > 0 ? QString::number(year - 1) : QString());
    m_axisKm->setRange(0, top > 0 ? top : 100);
    m_axisKm->applyNiceNumbers();
}

void StatisticsWindow::saveChart()
{
    saveChartDialog->selectFile(QStringLiteral("statistika-%1.png").arg(m_chartYear));
    if (saveChartDialog->exec() != QDialog::Accepted || saveChartDialog->selectedFiles().isEmpty())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    chartView->grab().save(&buffer, "PNG");
    AtomicWrite::replaceFile(saveChartDialog->selectedFiles().constFirst(), png);
    rememberFolder(saveChartDialog->defaultSuffix(), saveChartDialog->selectedFiles().constFirst());
}
