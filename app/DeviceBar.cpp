#include "DeviceBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

DeviceBar::DeviceBar(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("deviceBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(255, 248, 214));
    p.setColor(QPalette::WindowText, QColor(0, 0, 0));
    setPalette(p);
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(5);
    textLabel = new QLabel(this);
    textLabel->setObjectName(QStringLiteral("deviceText"));
    textLabel->setTextFormat(Qt::PlainText);
    importButton = new QPushButton(QStringLiteral("Importovat"), this);
    importButton->setObjectName(QStringLiteral("importDevicesButton"));
    hideButton = new QPushButton(QStringLiteral("Skrýt"), this);
    hideButton->setObjectName(QStringLiteral("hideDevicesButton"));
    row->addWidget(textLabel, 1);
    row->addWidget(importButton, 0, Qt::AlignTop);
    row->addWidget(hideButton, 0, Qt::AlignTop);
    connect(importButton, &QPushButton::clicked, this, &DeviceBar::importClicked);
    connect(hideButton, &QPushButton::clicked, this, &DeviceBar::hideClicked);
}

void DeviceBar::showDevices(const QList<GpsImport::DeviceWatch::Device> &devices)
{
    m_devices = devices;
    QStringList lines;
    for (const auto &d : devices)
        lines.append(QStringLiteral("Zařízení „%1“: %2").arg(d.name, GpsImport::RideDevices::newRidesText(d.files.size())));
    textLabel->setText(lines.join(u'\n'));
    setVisible(!devices.isEmpty());
}

QStringList DeviceBar::files() const
{
    QStringList all;
    for (const auto &d : m_devices)
        all += d.files;
    return all;
}
