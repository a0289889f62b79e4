#pragma once
#include "RideLogBackups.h"

#include <QDialog>

class QPushButton;
class QTreeWidget;
class RideLogFiles;

// "Obnovit ze zálohy": the copies of the ride log, newest first, each with
// its date, kind, rides and km; "Obnovit" replaces the log by the chosen
// copy after a question (the log as it stands becomes a copy first). The
// window is accepted when the log was replaced.
class BackupWindow : public QDialog
{
    Q_OBJECT
public:
    BackupWindow(RideLogFiles &files, QWidget *parent = nullptr);

    const QList<RideLogBackups::Entry> &entries() const { return m_entries; }

    QTreeWidget *Seznam = nullptr;
    QPushButton *BtnObnovit = nullptr;
    QPushButton *BtnZavrit = nullptr;

private:
    void BtnObnovitClick();

    RideLogFiles &m_files;
    QList<RideLogBackups::Entry> m_entries;
};
