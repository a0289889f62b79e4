// The main window's bar of the rider's devices and folders with rides
// never imported, and the rider's folders in "Možnosti".
#include "MainWindow.h"
#include "DeviceBar.h"
#include "DeviceWatch.h"
#include "Messages.h"
#include "RideDevices.h"
#include "RideFoldersDialog.h"

void MainWindow::buildDeviceBar()
{
    deviceBar = new DeviceBar(this);
    deviceBar->hide();
    connect(deviceBar, &DeviceBar::importClicked, this, guardedSlot(this, &MainWindow::importFromDevices));
    connect(deviceBar, &DeviceBar::hideClicked, this, guardedSlot(this, &MainWindow::hideDevices));
}

void MainWindow::watchDevices()
{
    if (m_deviceWatch || isEnding())
        return;
    m_deviceWatch = new GpsImport::DeviceWatch(m_where.importRegister(), this);
    m_deviceWatch->setObjectName(QStringLiteral("deviceWatch"));
    m_deviceWatch->setRiderFolders(GpsImport::RideDevices::readRiderFolders(m_where.settings()));
    connect(m_deviceWatch, &GpsImport::DeviceWatch::offeredChanged, deviceBar, &DeviceBar::showDevices);
    m_deviceWatch->start();
}

void MainWindow::importFromDevices()
{
    const QStringList files = deviceBar->files();
    // Handed over: not offered again while the device stays mounted,
    // whether the rider ticks them in the import window or not.
    m_deviceWatch->hide(deviceBar->devices());
    deviceBar->showDevices({});
    importRideFiles(files);
    // The register knows what was imported by now.
    m_deviceWatch->scanNow();
}

void MainWindow::hideDevices()
{
    m_deviceWatch->hide(deviceBar->devices());
    deviceBar->showDevices({});
}

void MainWindow::editRideFolders()
{
    commitActiveEditor();
    RideFoldersDialog dialog(GpsImport::RideDevices::readRiderFolders(m_where.settings()), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    GpsImport::RideDevices::writeRiderFolders(m_where.settings(), dialog.folders());
    if (m_deviceWatch)
        m_deviceWatch->setRiderFolders(dialog.folders());
}
