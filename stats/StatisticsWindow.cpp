#include "StatisticsWindow.h"
#include "AnsiFile.h"
#include "AtomicWrite.h"
#include "LocaleService.h"
#include "Messages.h"
#include "SaveDialog.h"
#include "TPubStrGrid.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QBuffer>
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

StatisticsWindow::StatisticsWindow(const TPubStrGrid &log, QWidget *parent)
    : QDialog(parent), m_stats(RideStatistics::compute(log))
{
    setObjectName(QStringLiteral("StatisticsWindow"));
    setWindowTitle(QStringLiteral("Statistika jízd"));
    setModal(true);
    resize(920, 680);

    Tree = new QTreeWidget;
    Tree->setObjectName(QStringLiteral("Tree"));
    Tree->setColumnCount(ColumnCount);
    Tree->setHeaderLabels({QStringLiteral("Rok/Měsíc"), QStringLiteral("Jízd"), QStringLiteral("Km"),
                           QStringLiteral("Čas"), QStringLiteral("Průměr km/h"), QStringLiteral("Nejdelší jízda"),
                           QStringLiteral("Nejčastější trasa")});
    Tree->setSelectionMode(QAbstractItemView::SingleSelection);
    Tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Tree->setUniformRowHeights(true);
    Tree->setAlternatingRowColors(true);
    Tree->header()->setStretchLastSection(true);
    Tree->header()->setSectionsMovable(false);
    for (int c = Rides; c < Route; ++c)
        Tree->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);

    auto *chart = new QChart;
    chart->setTitle(QStringLiteral("Kilometry po měsících"));
    chart->setLocalizeNumbers(true);
    chart->setLocale(LocaleService::instance().locale());
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto *series = new QBarSeries;
    SelectedYearSet = new QBarSet(QString());
    PreviousYearSet = new QBarSet(QString());
    SelectedYearSet->setColor(QColor(0x2e, 0x7d, 0x32));
    PreviousYearSet->setColor(QColor(0xa5, 0xd6, 0xa7));
    for (QBarSet *set : {SelectedYearSet, PreviousYearSet})
        for (int m = 0; m < 12; ++m)
            set->append(0.0);
    series->append(SelectedYearSet);
    series->append(PreviousYearSet);
    chart->addSeries(series);
    QStringList months;
    for (int m = 1; m <= 12; ++m)
        months << LocaleService::instance().locale().standaloneMonthName(m, QLocale::ShortFormat);
    auto *axisMonths = new QBarCategoryAxis;
    axisMonths->append(months);
    chart->addAxis(axisMonths, Qt::AlignBottom);
    series->attachAxis(axisMonths);
    m_axisKm = new QValueAxis;
    m_axisKm->setTitleText(QStringLiteral("km"));
    m_axisKm->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(m_axisKm, Qt::AlignLeft);
    series->attachAxis(m_axisKm);

    ChartView = new QChartView(chart);
    ChartView->setObjectName(QStringLiteral("ChartView"));
    ChartView->setRenderHint(QPainter::Antialiasing);
    ChartView->setMinimumHeight(260);

    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(Tree);
    splitter->addWidget(ChartView);
    splitter->setChildrenCollapsible(false);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);

    BtnUlozitGraf = new QPushButton(QStringLiteral("&Uložit graf…"));
    BtnUlozitGraf->setObjectName(QStringLiteral("BtnUlozitGraf"));
    BtnUlozitGraf->setAutoDefault(false);
    BtnZavrit = new QPushButton(QStringLiteral("&Zavřít"));
    BtnZavrit->setObjectName(QStringLiteral("BtnZavrit"));
    auto *buttons = new QDialogButtonBox;
    buttons->addButton(BtnUlozitGraf, QDialogButtonBox::ActionRole);
    buttons->addButton(BtnZavrit, QDialogButtonBox::RejectRole);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(buttons);

    SaveChartDialog = new QFileDialog(this);
    SaveChartDialog->setObjectName(QStringLiteral("SaveChartDialog"));
    SaveChartDialog->setWindowTitle(QStringLiteral("Uložit graf"));
    setUpSaveDialog(*SaveChartDialog, QStringLiteral("Obrázek PNG (*.png)"), QStringLiteral("png"));

    connect(BtnUlozitGraf, &QPushButton::clicked, this, guardedSlot(this, &StatisticsWindow::BtnUlozitGrafClick));
    connect(BtnZavrit, &QPushButton::clicked, this, &QDialog::reject);
    connect(Tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *item) {
        if (!item)
            return;
        const QVariant year = item->data(Period, kYearRole);
        if (year.isValid())
            showYear(year.toInt());
    });

    fillTree();
    BtnUlozitGraf->setEnabled(!m_stats.years.empty());
}

QTreeWidgetItem *StatisticsWindow::addRow(QTreeWidgetItem *parent, const QString &first,
                                          const RideStatistics::Sums &sums)
{
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(Tree);
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
    Tree->expandAll();
    for (int c = 0; c < Route; ++c) {
        Tree->resizeColumnToContents(c);
        Tree->setColumnWidth(c, Tree->columnWidth(c) + 12);
    }
    Tree->collapseAll();
    if (QTreeWidgetItem *newest = Tree->topLevelItem(0); newest && !m_stats.years.empty()) {
        newest->setExpanded(true);
        Tree->setCurrentItem(newest);
    }
    if (m_stats.years.empty())
        showYear(0);
}

void StatisticsWindow::showYear(int year)
{
    m_chartYear = year;
    const auto selected = m_stats.kmPerMonth(year);
    const auto previous = m_stats.kmPerMonth(year - 1);
    double top = 0;
    for (int m = 0; m < 12; ++m) {
        SelectedYearSet->replace(m, selected[size_t(m)]);
        PreviousYearSet->replace(m, previous[size_t(m)]);
        top = std::max({top, selected[size_t(m)], previous[size_t(m)]});
    }
    SelectedYearSet->setLabel(year > 0 ? QString::number(year) : QString());
    PreviousYearSet->setLabel(year > 0 ? QString::number(year - 1) : QString());
    m_axisKm->setRange(0, top > 0 ? top : 100);
    m_axisKm->applyNiceNumbers();
}

void StatisticsWindow::BtnUlozitGrafClick()
{
    SaveChartDialog->selectFile(QStringLiteral("statistika-%1.png").arg(m_chartYear));
    if (SaveChartDialog->exec() != QDialog::Accepted || SaveChartDialog->selectedFiles().isEmpty())
        return;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ChartView->grab().save(&buffer, "PNG");
    AtomicWrite::replaceFile(SaveChartDialog->selectedFiles().constFirst(), png);
    rememberFolder(SaveChartDialog->defaultSuffix(), SaveChartDialog->selectedFiles().constFirst());
}
