#pragma once
#include "ImportRules.h"
#include "ProgramFolder.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <QTimeZone>

#include <functional>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QThreadPool;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class PlacementStorage;
class StringTable;

// "Import jízd": the rides of the rider's FIT, GPX and TCX files, read in
// worker threads of the window's own, listed as they come with a box to
// tick each; "Přidat vybrané" hands the ticked rides, in the order they
// started, to `add` and closes the window. The reasons of the rows stay
// in view: long names and file names are cut short, whole in a tooltip.
class ImportWindow : public QDialog
{
    Q_OBJECT
public:
    using AddRides = std::function<void(const QList<QStringList> &rides)>;

    ImportWindow(const QStringList &paths, const StringTable &log, AddRides add,
                 const ProgramFolder::Location &where, QWidget *parent,
                 const QTimeZone &zone = QTimeZone::systemTimeZone());
    ~ImportWindow() override;

    // The rows as listed, in their order.
    const QList<GpsImport::ImportRow> &rows() const { return m_rows; }
    bool isReading() const { return m_pending > 0; }

    void done(int result) override;

signals:
    // Every file has been read, or the reading was stopped.
    void readingEnded();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void startReading();
    void fileRead(const QString &fileName, const GpsImport::FileRides &found);
    void addRow(GpsImport::ImportRow row);
    void showRow(QTreeWidgetItem *item, const GpsImport::ImportRow &row);
    void stopReading();
    // Every file read, or the reading stopped: the columns fit the rows.
    void readingDone();
    // The short columns fit their texts, the reasons whole beside them;
    // the name and the file share the rest.
    void fitColumns();
    void showProgress();
    void updateAddButton();
    void addTicked();

    QStringList m_paths;
    GpsImport::LoggedRides m_logged;
    AddRides m_add;
    ProgramFolder::Location m_where;
    QTimeZone m_zone;
    QList<GpsImport::ImportRow> m_rows;
    std::shared_ptr<GpsImport::StopFlag> m_stop;
    int m_read = 0;
    int m_pending = 0;
    bool m_stopped = false;
    bool m_filling = false;
    bool m_placed = false;
    bool m_fittingColumns = false;
    bool m_columnsByHand = false;
    int m_leastName = 0;
    int m_leastFile = 0;

    QThreadPool *m_readers = nullptr;
    QTreeWidget *m_list = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_progressTimer = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    PlacementStorage *m_storage = nullptr;
};
