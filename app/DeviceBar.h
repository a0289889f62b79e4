#pragma once
#include "DeviceWatch.h"

#include <QFrame>

class QLabel;
class QPushButton;

// The bar above the ride table that says which of the rider's devices
// hold rides never imported, one line a device ("Zařízení „EDGE 530“:
// 3 nové jízdy"), with "Importovat" and "Skrýt". No devices: no bar.
class DeviceBar : public QFrame
{
    Q_OBJECT
public:
    explicit DeviceBar(QWidget *parent = nullptr);

    // The lines of the devices; hidden when there are none.
    void showDevices(const QList<GpsImport::DeviceWatch::Device> &devices);
    // The devices the bar shows.
    const QList<GpsImport::DeviceWatch::Device> &devices() const { return m_devices; }
    // Every new file of the devices shown.
    QStringList files() const;

    QLabel *textLabel = nullptr;
    QPushButton *importButton = nullptr;
    QPushButton *hideButton = nullptr;

signals:
    void importClicked();
    void hideClicked();

private:
    QList<GpsImport::DeviceWatch::Device> m_devices;
};
