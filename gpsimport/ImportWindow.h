#pragma once
#include "ImportKeeping.h"
#include "ImportRegister.h"
#include "ImportRules.h"
#include "ProgramFolder.h"
#include "RideSources.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QSet>
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

// "Import jízd": the rides of the rider's FIT, GPX and TCX files and of
// archives of them, read in worker threads of the window's own, listed as
// they come with a box to tick each (files the register knows listed from
// it, unticked); "Přidat vybrané" keeps a copy of each added ride's file,
// enters the files into the register, hands the ticked rides, in the order
// they started and each with the link to its kept copy, to `add` and
// closes the window. The reasons of the rows stay in view: long names and
// file names are cut short, whole in a tooltip. A heading click sorts.
class ImportWindow : public QDialog
{
    Q_OBJECT
public:
    using AddRides = std::function<void(const QList<QStringList> &rides)>;

    ImportWindow(const QStringList &paths, const StringTable &log, AddRides add,
                 const ProgramFolder::Location &where, QWidget *parent,
                 const QTimeZone &zone = QTimeZone::systemTimeZone());
    ~ImportWindow() override;

    // The rows as listed, in the order they are shown.
    QList<GpsImport::ImportRow> rows() const;
    int rowCount() const { return int(m_rows.size()); }
    bool isReading() const { return m_pending > 0; }
    bool isKeeping() const { return m_keeping; }
    // The limits archives are read with (a test's smaller ones).
    void setArchiveLimits(const GpsImport::ArchiveLimits &limits) { m_limits = limits; }

    void done(int result) override;

signals:
    // Every file has been read, or the reading was stopped.
    void readingEnded();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWindow();
    void buildList();
    QLayout *buildButtons();
    void startReading();
    void pieceRead(GpsImport::SourcePiece &&piece);
    void takePieces();
    void addRow(GpsImport::ImportRow row);
    void amend(const GpsImport::Amendment &amendment);
    void showRow(QTreeWidgetItem *item, const GpsImport::ImportRow &row);
    void tickAll(bool ticked);
    void stopReading();
    // Every file read, or the reading stopped: the columns fit the rows.
    void readingDone();
    // The short columns fit their texts, the reasons whole beside them;
    // the name and the file share the rest.
    void fitColumns();
    void showProgress();
    void updateAddButton();
    void addTicked();
    void keepingDone(const GpsImport::KeptCopies &copies);

    QStringList m_paths;
    GpsImport::LoggedRides m_logged;
    AddRides m_add;
    ProgramFolder::Location m_where;
    QTimeZone m_zone;
    QList<GpsImport::ImportRow> m_rows; // in the order they came; items point into it
    QList<QTreeWidgetItem *> m_items;    // the item of each row
    QHash<QString, QList<int>> m_byDate; // rows by their date text
    QHash<QString, QList<int>> m_byMember; // rows of each archive member
    QList<GpsImport::SourcePiece> m_incoming;
    QList<GpsImport::ReadArchive> m_archives;
    QSet<QString> m_linksInLog;
    std::shared_ptr<GpsImport::ImportRegister> m_register;
    std::shared_ptr<GpsImport::StopFlag> m_stop;
    std::shared_ptr<GpsImport::StopFlag> m_keepStop;
    GpsImport::ArchiveLimits m_limits;
    QList<qsizetype> m_adding;
    qint64 m_bytesAll = 0;
    QHash<QString, qint64> m_bytesRead;
    qsizetype m_pieceRow = 0; // rows of the first incoming piece already listed
    int m_read = 0;
    int m_pending = 0;
    bool m_keeping = false;
    bool m_stopped = false;
    bool m_filling = false;
    bool m_fittingColumns = false;
    bool m_columnsByHand = false;
    int m_leastName = 0;
    int m_leastFile = 0;

    QThreadPool *m_readers = nullptr;
    QThreadPool *m_parsers = nullptr;
    QTimer *m_pieceTimer = nullptr;
    QTreeWidget *m_list = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_progressTimer = nullptr;
    QPushButton *m_stopButton = nullptr;
    QPushButton *m_addButton = nullptr;
    QPushButton *m_allButton = nullptr;
    QPushButton *m_noneButton = nullptr;
    QPushButton *m_closeButton = nullptr;
    PlacementStorage *m_storage = nullptr;
};
