#pragma once
#include "BikeGarage.h"
#include "BikeMileage.h"

#include <QDialog>

#include <functional>
#include <memory>

class DataKeeper;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class QTableWidget;
class PartTableModel;
class StringTable;

// "Kola": the rider's bikes with their km from the ride log, the parts of
// the selected bike with their state and history, and what can be done
// with them. Every change is written to "kola.ini" at once.
class BikesWindow : public QDialog
{
    Q_OBJECT
public:
    // Renames the bike in every ride of the log as one change that the
    // main window can undo.
    using RenameRides = std::function<void(const QString &from, const QString &to)>;

    BikesWindow(const StringTable &log, const QString &bikesPath, DataKeeper *keeper, RenameRides renameRides,
                QWidget *parent = nullptr);
    ~BikesWindow() override;

    const Bikes::Garage &garage() const { return m_garage; }
    // The section of the selected bike; empty for none or a bike known
    // only from rides.
    QString selectedBike() const;
    QString selectedPart() const;
    // Selects the bike of a section (or, when it has one, of a part).
    void selectBike(const QString &section);
    void selectPart(const QString &section);

    QTableWidget *bikeTable = nullptr;
    QTableView *partTable = nullptr;
    QPlainTextEdit *historyView = nullptr;
    QPushButton *newBikeButton = nullptr;
    QPushButton *editBikeButton = nullptr;
    QPushButton *retireBikeButton = nullptr;
    QPushButton *defaultBikeButton = nullptr;
    QPushButton *removeBikeButton = nullptr;
    QPushButton *newPartButton = nullptr;
    QPushButton *serviceButton = nullptr;
    QPushButton *replaceButton = nullptr;
    QPushButton *moveButton = nullptr;
    QPushButton *removePartButton = nullptr;
    QPushButton *closeButton = nullptr;

    // The actions of the buttons.
    void newBike();
    void editBike();
    void retireBike();
    void makeDefault();
    void removeBike();
    void newPart();
    void partServiced();
    void replacePart();
    void movePart();
    void removePart();

private:
    QWidget *buildBikeButtons();
    QWidget *buildPartButtons();
    void tellProblemsOnce();
    // The bikes' rows again, after a change or a rename of rides.
    void fillBikes(const QString &select);
    void showParts();
    void showHistory();
    void updateButtons();
    int rowOfSelectedBike() const;
    // The bike's rides in the log (so that it cannot be deleted).
    int ridesOf(const Bikes::Bike &bike) const;

    const StringTable &m_log;
    QString m_path;
    DataKeeper *m_keeper;
    RenameRides m_renameRides;
    Bikes::Garage m_garage;
    std::unique_ptr<Bikes::Mileage> m_mileage;
    PartTableModel *m_parts = nullptr;
};
