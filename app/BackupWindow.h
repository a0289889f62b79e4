#pragma once
#include "RideLogBackups.h"

#include <QDialog>
#include <QThreadPool>

#include <atomic>
#include <memory>

class QLabel;
class QPushButton;
class QTreeWidget;
class RideLogFiles;

// "Obnovit ze zálohy": the copies of the ride log, newest first, each with
// its date, kind, rides and km; "Obnovit" replaces the log by the chosen
// copy after a question (the log as it stands becomes a copy first). The
// window is accepted when the log was replaced.
//
// The copies are listed at once and read one by one in a thread of the
// window's own, so that neither a large copy nor many of them keep the
// window from opening; a copy that is not a ride log is listed as damaged
// and cannot be restored.
class BackupWindow : public QDialog
{
    Q_OBJECT
public:
    BackupWindow(RideLogFiles &files, QWidget *parent = nullptr);
    ~BackupWindow() override;

    const QList<RideLogBackups::Entry> &entries() const { return m_entries; }
    // True while copies are still being read.
    bool isReading() const { return m_summarised < m_entries.size(); }

    QTreeWidget *copyList = nullptr;
    QPushButton *restoreButton = nullptr;
    QPushButton *closeButton = nullptr;

signals:
    // Every copy has been read.
    void readingEnded();

private:
    void restoreChosenCopy();
    void summarise();
    void showSummary(int index, const RideLogBackups::Summary &summary);
    void updateRestoreButton();

    QLabel *m_why = nullptr;
    RideLogFiles &m_files;
    QList<RideLogBackups::Entry> m_entries;
    // Why each copy cannot be restored; empty when it can or is not read yet.
    QStringList m_problems;
    int m_summarised = 0;
    std::shared_ptr<std::atomic_bool> m_stop = std::make_shared<std::atomic_bool>(false);
    // Last: it waits for its thread before the members above go.
    QThreadPool m_reader;
};
