#include "RecordsView.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
enum Column { Title, Value, When, Route, ColumnCount };
constexpr int kRowRole = Qt::UserRole;
} // namespace

RecordsView::RecordsView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("recordsView"));
    recordList = new QTreeWidget;
    recordList->setObjectName(QStringLiteral("recordList"));
    recordList->setColumnCount(ColumnCount);
    recordList->setHeaderLabels(
        {QStringLiteral("Rekord"), QStringLiteral("Hodnota"), QStringLiteral("Kdy"), QStringLiteral("Trasa")});
    recordList->setRootIsDecorated(false);
    recordList->setSelectionMode(QAbstractItemView::SingleSelection);
    recordList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordList->setUniformRowHeights(true);
    recordList->setAlternatingRowColors(true);
    recordList->header()->setStretchLastSection(true);
    recordList->header()->setSectionsMovable(false);
    recordList->headerItem()->setTextAlignment(Value, Qt::AlignRight | Qt::AlignVCenter);
    // Double click or Enter, as the desktop activates items.
    connect(recordList, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { emit rideActivated(item->data(Title, kRowRole).toInt()); });

    skippedLabel = new QLabel;
    skippedLabel->setObjectName(QStringLiteral("skippedLabel"));
    skippedLabel->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(recordList, 1);
    layout->addWidget(skippedLabel);
}

void RecordsView::showRecords(const RideRecords::Records &records)
{
    recordList->clear();
    for (int k = 0; k < RideRecords::KindCount; ++k) {
        const auto kind = RideRecords::Kind(k);
        const std::optional<RideRecords::Record> &record = records.of[size_t(k)];
        if (!record)
            continue;
        auto *item = new QTreeWidgetItem(recordList);
        item->setText(Title, RideRecords::title(kind));
        item->setText(Value, RideRecords::valueText(kind, *record));
        item->setTextAlignment(Value, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(When, RideRecords::whenText(kind, *record));
        item->setText(Route, record->route);
        item->setData(Title, kRowRole, record->row);
    }
    for (int c = 0; c < Route; ++c) {
        recordList->resizeColumnToContents(c);
        recordList->setColumnWidth(c, recordList->columnWidth(c) + 12);
    }
    if (recordList->topLevelItemCount() > 0)
        recordList->setCurrentItem(recordList->topLevelItem(0));
    skippedLabel->setText(RideRecords::skippedText(records.skipped));
    skippedLabel->setVisible(records.skipped > 0);
}
