#include "AnsiFile.h"
#include "AppError.h"
#include "DataKeeper.h"
#include "IniFile.h"
#include "MessageRecorder.h"
#include "OtherUser.h"
#include "Modal.h"
#include "RideLogBackups.h"
#include "RideLogFile.h"
#include "RideLogFiles.h"
#include "SingleInstance.h"
#include "StringTable.h"
#include "StringTableView.h"
#include "TerminationSignals.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "MainWindow.h"
#include "WaypointEditor.h"
#include "ExportWindowLoader.h"
#include "WaypointList.h"
#include "BackupWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <csignal>
#include <thread>
#include <unistd.h>

namespace {
const QList<QStringList> kRides = {{u"1.5.2025"_qs, u"A"_qs, QString(), u"10"_qs},
                                   {u"2.5.2025"_qs, u"B"_qs, QString(), u"20"_qs},
                                   {u"3.5.2025"_qs, u"C"_qs, QString(), u"30"_qs},
                                   {u"4.5.2025"_qs, u"D"_qs, QString(), u"40"_qs}};

QStringList names(const StringTable &log)
{
    QStringList n;
    for (int row = 1; row < log.tableRowCount(); ++row)
        n.append(log.cell(1, row));
    return n;
}

// Opens a menu of the main window by Alt+letter and clicks one of its items.
void chooseFromMenu(MainWindow *w, Qt::Key letter, QAction *item)
{
    QTest::keyClick(w, letter, Qt::AltModifier);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QVERIFY(menu->actions().contains(item));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}
} // namespace

// The main window's data safety: deleted rides come back, the log has
// daily copies and can be restored from them, unsaved changes survive a
// crash, and ending the program keeps what every open window holds.
class TestDataSafety : public QObject
{
    Q_OBJECT
    TestLocale m_locale;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> msgs;
    MainWindow *w = nullptr;

    QString file(const QString &name) const { return m_dir->filePath(name); }
    void open()
    {
        w = new MainWindow(m_dir->path());
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    // Ends the window as a killed program would: no closing step runs.
    void crash()
    {
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        delete w;
        w = nullptr;
    }
    void close()
    {
        QVERIFY(w->close());
        delete w;
        w = nullptr;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        msgs = std::make_unique<MessageRecorder>();
    }
    void cleanup()
    {
        // A signal ended every event loop, and none starts again until the
        // application's own loop has run once more.
        if (w && w->isEnding()) {
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            QCoreApplication::exec();
        }
        delete w;
        w = nullptr;
        msgs.reset();
        m_dir.reset();
    }

    // Two rides deleted come back one by one, each at its row: the last
    // one by Ctrl+Z in the table, the one before from the menu.
    void deletedRidesComeBack()
    {
        putFile(file(u"default.tvl"_qs), rideLogFile(kRides));
        open();
        QVERIFY(!w->undoDeleteAction->isEnabled());
        w->rideTable->setCurrentRow(2);
        w->deleteRideTool->trigger();
        w->rideTable->setCurrentRow(3);
        w->deleteRideTool->trigger();
        QCOMPARE(names(*w->rideLog()), (QStringList{u"A"_qs, u"C"_qs}));
        w->rideTable->setFocus();
        QTest::keyClick(w->rideTable, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(names(*w->rideLog()), (QStringList{u"A"_qs, u"C"_qs, u"D"_qs}));
        QCOMPARE(w->rideTable->currentRow(), 3);
        chooseFromMenu(w, Qt::Key_Z, w->undoDeleteAction);
        QCOMPARE(names(*w->rideLog()), (QStringList{u"A"_qs, u"B"_qs, u"C"_qs, u"D"_qs}));
        QCOMPARE(w->rideLog()->cell(3, 2), u"20"_qs);
        QCOMPARE(w->distanceEdit->text(), u"20"_qs);
        QVERIFY(!w->undoDeleteAction->isEnabled());
        QCOMPARE(w->totalDistanceEdit->text(), u"100"_qs);
    }

    // The only ride is emptied by deleting; it comes back into its row,
    // without an empty row beside it.
    void theOnlyRideComesBack()
    {
        putFile(file(u"default.tvl"_qs), rideLogFile({kRides[0]}));
        open();
        w->deleteRideAction->trigger();
        QCOMPARE(names(*w->rideLog()), QStringList{QString()});
        w->undoDeleteAction->trigger();
        QCOMPARE(names(*w->rideLog()), QStringList{u"A"_qs});
        QCOMPARE(w->rideLog()->cell(0, 1), u"1.5.2025"_qs);
    }

    // The first start of a day copies the log as it is; a later one that
    // day does not copy again.
    void dailyCopy()
    {
        const QByteArray first = rideLogFile(kRides);
        putFile(file(u"default.tvl"_qs), first);
        open();
        const QString copy = file(u"zalohy/default-"_qs + QDate::currentDate().toString(u"yyyy-MM-dd"_qs) + u".tvl"_qs);
        QCOMPARE(fileBytes(copy), first);
        close();
        putFile(file(u"default.tvl"_qs), rideLogFile({kRides[0]}));
        open();
        QCOMPARE(fileBytes(copy), first);
        QCOMPARE(QDir(file(u"zalohy"_qs)).entryList(QDir::Files).size(), 1);
    }

    // "Obnovit ze zálohy…" lists the copies with their rides and km; the
    // chosen one replaces the log after a question, and the log as it
    // stood becomes a copy first.
    void restoreFromACopy()
    {
        QDir().mkpath(file(u"zalohy"_qs));
        putFile(file(u"zalohy/default-2025-05-01.tvl"_qs), rideLogFile(kRides.mid(0, 2)));
        putFile(file(u"default.tvl"_qs), rideLogFile(kRides));
        open();
        w->rideLog()->setCell(1, 4, u"D upraveno"_qs);
        msgs->answers = {0};
        BackupWindow *window = nullptr;
        QStringList row;
        onModal<BackupWindow>([&](BackupWindow *d) {
            window = d;
            QTRY_VERIFY(!d->isReading());
            QTreeWidgetItem *oldest = d->copyList->topLevelItem(d->copyList->topLevelItemCount() - 1);
            for (int c = 0; c < 4; ++c)
                row.append(oldest->text(c));
            d->copyList->setCurrentItem(oldest);
            QTest::mouseClick(d->restoreButton, Qt::LeftButton);
        });
        chooseFromMenu(w, Qt::Key_Z, w->restoreBackupAction);
        QTRY_VERIFY(window && !QApplication::activeModalWidget());
        QCOMPARE(row, (QStringList{u"1.5.2025"_qs, u"denní záloha"_qs, u"2"_qs, u"30"_qs}));
        QVERIFY(msgs->questions.value(0).startsWith(u"Nahradit knihu jízd zálohou z 1.5.2025?"_qs));
        QCOMPARE(names(*w->rideLog()), (QStringList{u"A"_qs, u"B"_qs}));
        QCOMPARE(w->totalDistanceEdit->text(), u"30"_qs);
        // The log file is written at closing; a crash before finds the
        // restored log in the file of unsaved changes already.
        QCOMPARE(fileBytes(file(u"default-obnova.tvl"_qs)), rideLogFile(kRides.mid(0, 2)));
        // The log as it stood, with the change not yet saved, is a copy.
        bool kept = false;
        for (const RideLogBackups::Entry &e : RideLogBackups::list(file(u"default.tvl"_qs)))
            kept = kept || (e.kind == RideLogBackups::Entry::BeforeReplacing
                            && AnsiFile::decode(fileBytes(e.path)).contains(u"1|4|D upraveno"_qs));
        QVERIFY(kept);
    }

    // Files that only bear a copy's name (NUL bytes, also a sparse file
    // larger than any log; another kind of file) are listed as damaged,
    // read in the window's own thread, and cannot be restored.
    void copiesThatAreNoRideLog()
    {
        putFile(file(u"default.tvl"_qs), rideLogFile(kRides));
        QDir().mkpath(file(u"zalohy"_qs));
        putFile(file(u"zalohy/default-2025-05-04.tvl"_qs), rideLogFile(kRides.mid(0, 1)));
        putFile(file(u"zalohy/default-2025-05-03.tvl"_qs), QByteArray(4096, '\0'));
        putFile(file(u"zalohy/default-2025-05-02.tvl"_qs), "<?xml version=\"1.0\"?>\r\n<gpx/>\r\n");
        QFile sparse(file(u"zalohy/default-2025-05-01.tvl"_qs));
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(RideLogBackups::kLargestCopy + 1));
        sparse.close();
        open();
        QStringList rows;
        QList<bool> restorable;
        onModal<BackupWindow>([&](BackupWindow *d) {
            QTRY_VERIFY(!d->isReading());
            for (int i = 0; i < d->copyList->topLevelItemCount(); ++i) {
                QTreeWidgetItem *item = d->copyList->topLevelItem(i);
                rows.append(QStringList{item->text(1), item->text(2), item->text(3)}.join(u'/'));
                d->copyList->setCurrentItem(item);
                restorable.append(d->restoreButton->isEnabled());
                // Enter on a damaged copy asks nothing.
                QTest::keyClick(d->copyList, Qt::Key_Return);
            }
            QTest::mouseClick(d->closeButton, Qt::LeftButton);
        });
        chooseFromMenu(w, Qt::Key_Z, w->restoreBackupAction);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        // Today's copy, made at this start, comes first.
        QCOMPARE(rows, (QStringList{u"denní záloha/4/100"_qs, u"denní záloha/1/10"_qs,
                                    u"denní záloha (poškozená)//"_qs, u"denní záloha (poškozená)//"_qs,
                                    u"denní záloha (poškozená)//"_qs}));
        QCOMPARE(restorable, (QList<bool>{true, true, false, false, false}));
        // Those that are ride logs asked before they would replace the log.
        QCOMPARE(msgs->questions.size(), 2);
        QCOMPARE(names(*w->rideLog()), (QStringList{u"A"_qs, u"B"_qs, u"C"_qs, u"D"_qs}));
        QVERIFY_THROWS_EXCEPTION(AppError, w->files()->restore(file(u"zalohy/default-2025-05-03.tvl"_qs)));
        QCOMPARE(names(*w->rideLog()), (QStringList{u"A"_qs, u"B"_qs, u"C"_qs, u"D"_qs}));
    }

    // "zalohy" is a file (a rider's mistake, a sync tool's conflict): the
    // start says so once, every copy goes beside the log, and the unsaved
    // changes of a crashed run are never lost, whatever the rider answers.
    void copiesWhenTheirFolderIsAFile_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Ano") << 0;
        QTest::newRow("Ne") << 1;
    }
    void copiesWhenTheirFolderIsAFile()
    {
        QFETCH(int, answer);
        const QByteArray before = rideLogFile(kRides);
        putFile(file(u"default.tvl"_qs), before);
        putFile(file(u"zalohy"_qs), "konflikt synchronizace");
        QList<QStringList> changed = kRides;
        changed[3][3] = u"99"_qs;
        putFile(file(u"default-obnova.tvl"_qs), rideLogFile(changed));
        QFile unsaved(file(u"default-obnova.tvl"_qs));
        QVERIFY(unsaved.open(QIODevice::ReadWrite));
        QVERIFY(unsaved.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
        unsaved.close();

        msgs->answers = {answer};
        open();
        QCOMPARE(msgs->questions.size(), 1);
        QCOMPARE(msgs->texts().size(), 1);
        QVERIFY(msgs->texts()[0].startsWith(u"Složku záloh „%1“ nelze použít: na jejím místě je soubor."_qs
                                                .arg(file(u"zalohy"_qs))));
        QCOMPARE(w->rideLog()->cell(3, 4), answer == 0 ? u"99"_qs : u"40"_qs);
        const QString today = QDate::currentDate().toString(u"yyyy-MM-dd"_qs);
        QCOMPARE(fileBytes(file(u"default-"_qs + today + u".tvl"_qs)), before);
        // What was not taken is a copy beside the log, and the rider is
        // told where.
        const auto kind = answer == 0 ? RideLogBackups::Entry::BeforeReplacing : RideLogBackups::Entry::UnsavedChanges;
        QString kept;
        for (const RideLogBackups::Entry &e : RideLogBackups::list(file(u"default.tvl"_qs)))
            if (e.kind == kind)
                kept = e.path;
        QVERIFY(RideLogBackups::isBesideTheLog(kept, file(u"default.tvl"_qs)));
        QCOMPARE(fileBytes(kept), answer == 0 ? before : rideLogFile(changed));
        QVERIFY(w->messageBar->currentMessage().contains(kept));
        QCOMPARE(w->messageBar->toolTip(), w->messageBar->currentMessage());
        close();
        QCOMPARE(fileBytes(file(u"default.tvl"_qs)), answer == 0 ? rideLogFile(changed) : before);
        QCOMPARE(fileBytes(kept), answer == 0 ? before : rideLogFile(changed));
    }

    // A log that cannot be written at closing: the box names the cause in
    // Czech and what to do about it, not the write's English error. The
    // causes are real: a folder of another user's, a disk of the child's
    // own mounted read-only or full, a folder in the file's place.
    void failedSaveNamesTheCause_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("remedy");
        QTest::newRow("no permission") << "permission" << "nemáte oprávnění zapisovat do souboru"
                                       << "třeba po změně oprávnění souboru";
        QTest::newRow("no permission in the folder") << "folder permission" << "nemáte oprávnění zapisovat do složky"
                                                     << "třeba po změně oprávnění složky";
        QTest::newRow("read-only disk") << "readonly" << "je připojen jen pro čtení"
                                        << "třeba po připojení disku pro zápis";
        QTest::newRow("full disk") << "full" << "není dost místa" << "třeba po uvolnění místa na disku";
        QTest::newRow("folder in its place") << "folder" << "na jeho místě je složka"
                                             << "třeba po odstranění toho, co je na jeho místě";
    }
    void failedSaveNamesTheCause()
    {
        QFETCH(QString, cause);
        QFETCH(QString, reason);
        QFETCH(QString, remedy);
        const QString folder = file(u"data"_qs);
        QVERIFY(QDir().mkpath(folder));
        const QString log = folder + u"/default.tvl"_qs;
        QProcess child;
        QString program = QCoreApplication::applicationFilePath();
        QStringList arguments{u"--save-and-tell"_qs, folder};
        if (cause.endsWith(u"permission")) {
            // The log writable by the child only when the folder is what
            // keeps it from writing.
            const bool ownLog = cause == u"folder permission";
            putFile(log, rideLogFile(kRides));
            for (const QString &f : {m_dir->path(), folder})
                QVERIFY(QFile::setPermissions(f, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                     | QFile::ReadOther | QFile::ExeOther));
            QVERIFY(QFile::setPermissions(log, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther
                                                   | (ownLog ? QFile::WriteOther : QFile::Permissions())));
            if (::geteuid() == 0) {
                runAsNobody(child);
            } else {
                QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
                if (!ownLog)
                    QVERIFY(QFile::setPermissions(log, QFile::ReadOwner));
            }
        } else if (cause == u"folder") {
            QVERIFY(QDir().mkpath(log));
        } else {
            putFile(file(u"kniha.tvl"_qs), rideLogFile(kRides));
            const QString fill = cause == u"readonly" ? u"mount -o remount,ro \"$1\""_qs
                                                      : u"{ dd if=/dev/zero of=\"$1/vypln\" bs=4096 2>/dev/null; true; }"_qs;
            arguments = QStringList{u"-m"_qs, u"sh"_qs, u"-c"_qs,
                                    u"mount -t tmpfs -o size=512k tmpfs \"$1\" || exit 77; cp \"$2\" \"$1/default.tvl\" "
                                    "&& %1 && exec \"$3\" --save-and-tell \"$1\""_qs.arg(fill),
                                    u"sh"_qs, folder, file(u"kniha.tvl"_qs), program};
            program = u"unshare"_qs;
        }
        child.start(program, arguments);
        QVERIFY(child.waitForFinished(60000));
        if (child.exitCode() == 77 || (program == u"unshare" && child.exitCode() != 0))
            QSKIP("A disk of the test's own cannot be mounted here (needs root in a mount namespace).");
        QCOMPARE(child.exitCode(), 0);
        const QString question = QString::fromUtf8(child.readAllStandardOutput());
        QVERIFY2(question.startsWith(u"Soubor s jízdami „%1“ se nepodařilo uložit: "_qs.arg(log)), qPrintable(question));
        QVERIFY2(question.contains(reason), qPrintable(question));
        QVERIFY2(question.contains(u"Zkusit znovu: uložit znovu na totéž místo (%1).\n"_qs.arg(remedy)),
                 qPrintable(question));
        QVERIFY(!question.contains(u"Cannot"_qs) && !question.contains(u"Unable"_qs));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Changes are written to default-obnova.tvl a moment after they are
    // made; a start after a crash offers them back. "Ano" takes them (the
    // log file becomes a copy), "Ne" keeps them as a copy.
    void unsavedChangesAfterACrash_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("Ano") << 0;
        QTest::newRow("Ne") << 1;
    }
    void unsavedChangesAfterACrash()
    {
        QFETCH(int, answer);
        const QByteArray before = rideLogFile(kRides);
        putFile(file(u"default.tvl"_qs), before);
        // Another process edits the log and is killed (SIGKILL).
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {u"--edit-and-wait"_qs, m_dir->path()});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("ready"), 20000);
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(fileBytes(file(u"default.tvl"_qs)), before);

        msgs->answers = {answer};
        open();
        QCOMPARE(msgs->questions.size(), 1);
        QVERIFY(msgs->questions[0].startsWith(u"Obnovit neuložené změny z "_qs));
        QCOMPARE(w->rideLog()->cell(3, 4), answer == 0 ? u"99"_qs : u"40"_qs);
        const QList<RideLogBackups::Entry> copies = RideLogBackups::list(file(u"default.tvl"_qs));
        QCOMPARE(copies.size(), 2); // today's daily copy and the one of this choice
        const RideLogBackups::Entry &copy = copies[0].kind == RideLogBackups::Entry::Daily ? copies[1] : copies[0];
        if (answer == 0) {
            QCOMPARE(copy.kind, RideLogBackups::Entry::BeforeReplacing);
            QCOMPARE(fileBytes(copy.path), before);
        } else {
            QCOMPARE(copy.kind, RideLogBackups::Entry::UnsavedChanges);
            QVERIFY(fileBytes(copy.path).contains("3|4|99\r\n"));
            QVERIFY(!QFileInfo::exists(file(u"default-obnova.tvl"_qs)));
        }
        close();
        // A normal close writes the log and leaves no unsaved changes.
        QVERIFY(!QFileInfo::exists(file(u"default-obnova.tvl"_qs)));
        QCOMPARE(fileBytes(file(u"default.tvl"_qs)).contains("3|4|99\r\n"), answer == 0);
    }

    // SIGTERM while the waypoint editor or the export window is open: the
    // list and the page's look are written as the ride log is, or kept in
    // a rescue copy that the next start names.
    void endingWithAWindowOpen_data()
    {
        QTest::addColumn<bool>("editor");
        QTest::addColumn<bool>("writable");
        QTest::newRow("Editace trasy") << true << true;
        QTest::newRow("Editace trasy, file in the way") << true << false;
        QTest::newRow("HTML výstup") << false << true;
        QTest::newRow("HTML výstup, file in the way") << false << false;
    }
    void endingWithAWindowOpen()
    {
        QFETCH(bool, editor);
        QFETCH(bool, writable);
        putFile(file(u"default.tvl"_qs), rideLogFile(kRides));
        const QString target = file(editor ? u"default.tvb"_qs : u"store.ini"_qs);
        open();
        TerminationSignals::install();
        TerminationSignals::watch(*w);
        bool seen = false;
        const auto endNow = [&] {
            seen = true;
            // A signal that never ends the window fails the test, not hangs it.
            QTimer::singleShot(15000, QApplication::activeModalWidget(), &QWidget::close);
            if (!writable) {
                // Something other than a file takes the data file's place.
                QFile::remove(target);
                QVERIFY(QDir().mkdir(target));
            }
            ::kill(::getpid(), SIGTERM);
        };
        if (editor) {
            onModal<WaypointEditor>([&](WaypointEditor *d) {
                AddWaypoint(*d->waypointList(), u"Nová Ves"_qs);
                endNow();
            });
            QTest::mouseClick(w->editCourseButton, Qt::LeftButton);
        } else {
            // The window comes from the export module, loaded as the
            // program loads it.
            onModal<QDialog>([&](QDialog *d) {
                auto *title = d->findChild<QLineEdit *>(u"titleEdit"_qs);
                QVERIFY(title);
                title->setText(u"Jízdy 2026"_qs);
                endNow();
            });
            chooseFromMenu(w, Qt::Key_Z, w->exportHtmlAction);
        }
        QTRY_VERIFY_WITH_TIMEOUT(seen && !QApplication::activeModalWidget(), 20000);
        QVERIFY(w->isEnding());
        QString written = target;
        if (!writable) {
            const QFileInfo t(target);
            const QStringList copies = QDir(m_dir->path()).entryList(
                {t.completeBaseName() + u"-zachrana-*."_qs + t.suffix()});
            QCOMPARE(copies.size(), 1);
            written = file(copies[0]);
        }
        if (editor)
            QVERIFY(fileBytes(written).contains("Nov\xe1 Ves\r\n"));
        else
            QCOMPARE(IniFile::readString(written, u"HtmlSet", u"Title"), u"Jízdy 2026"_qs);
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        crash();
        if (!writable) {
            QDir(target).removeRecursively();
            open();
            QCOMPARE(msgs->texts().filter(u"-zachrana-"_qs).size(), 1);
            QVERIFY(msgs->texts().filter(u"-zachrana-"_qs)[0].contains(written));
        }
    }

    // A NUL byte in default.tvb ends the list there: the file is kept as
    // it was and the rider told, before the shorter list is written.
    void waypointFileWithANulByte()
    {
        const QByteArray original("Brno\r\nTi\x9anov\0Kn\xECž\r\nJihlava\r\n", 27);
        putFile(file(u"default.tvb"_qs), original);
        open();
        QStringList shown;
        onModal<WaypointEditor>([&](WaypointEditor *d) {
            QTRY_VERIFY(!msgs->texts().isEmpty());
            shown = d->waypointList()->columnTexts(0);
            QTest::mouseClick(d->doneButton, Qt::LeftButton);
        });
        QTest::mouseClick(w->editCourseButton, Qt::LeftButton);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(shown, (QStringList{u"Brno"_qs, u"Tišnov"_qs}));
        const QStringList kept = QDir(m_dir->path()).entryList({u"default-poskozeny-*.tvb"_qs});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(fileBytes(file(kept[0])), original);
        QCOMPARE(msgs->texts().size(), 1);
        QVERIFY(msgs->texts()[0].contains(kept[0]));
        QCOMPARE(fileBytes(file(u"default.tvb"_qs)), QByteArray("Brno\r\nTi\x9anov\r\n"));
    }
};

// One program per data folder.
class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    // A later start hands its arguments to the program of the folder.
    void argumentsReachTheRunningProgram()
    {
        QTemporaryDir dir;
        SingleInstance first(dir.path()), later(dir.path());
        QVERIFY(first.acquire());
        QVERIFY(first.listen());
        QVERIFY(!later.acquire());
        QSignalSpy received(&first, &SingleInstance::argumentsReceived);
        const QStringList args = {u"jízda 1.fit"_qs, u"/tmp/ráno.gpx"_qs, QString()};
        bool taken = false;
        std::thread other([&] { taken = later.handOver(args); });
        QTRY_COMPARE(received.size(), 1);
        other.join();
        QVERIFY(taken);
        QCOMPARE(received[0][0].toStringList(), args);
    }

    // The real program: a second start on the same folder ends at once and
    // the first goes on; a lock left by a program that no longer runs is
    // taken over.
    void secondStartEnds()
    {
        QTemporaryDir dir, data;
        const QString exe = dir.filePath(u"trasovnik"_qs);
        QVERIFY(QFile::copy(QStringLiteral(TRASOVNIK_EXE), exe));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
        env.insert(u"XDG_DATA_HOME"_qs, data.path());
        const auto start = [&](QProcess &p, const QStringList &args) {
            p.setProcessEnvironment(env);
            p.start(exe, args);
            QVERIFY(p.waitForStarted());
        };
        // A lock whose program has ended.
        QProcess ended;
        ended.start(u"true"_qs, {});
        const qint64 endedPid = ended.processId();
        QVERIFY(ended.waitForFinished());
        putFile(dir.filePath(SingleInstance::lockFileName()),
                QByteArray::number(endedPid) + "\ntrasovnik\n" + QSysInfo::machineHostName().toUtf8() + '\n');
        QProcess first, second;
        start(first, {});
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(dir.filePath(SingleInstance::lockFileName()))
                                     .startsWith(QByteArray::number(first.processId()) + '\n'),
                                 10000);
        start(second, {u"jizda.gpx"_qs});
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        ::kill(pid_t(first.processId()), SIGTERM);
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(fileBytes(dir.filePath(u"default.tvl"_qs)).contains("0|0|Datum\r\n"));
    }
};

// The child of unsavedChangesAfterACrash: types a distance into the last
// ride of the log in `folder`, leaves the field, and once the unsaved
// changes are on the disk says so and waits to be killed.
int editAndWait(const QString &folder)
{
    TestLocale locale;
    MainWindow w(folder);
    w.show();
    if (!QTest::qWaitForWindowActive(&w))
        return 1;
    w.distanceEdit->setFocus();
    QTest::keyClick(w.distanceEdit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w.distanceEdit, u"99"_qs);
    QTest::keyClick(w.distanceEdit, Qt::Key_Tab);
    while (!QFileInfo::exists(folder + u"/default-obnova.tvl"_qs))
        QTest::qWait(50);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;)
        QTest::qWait(1000);
}

// The child of failedSaveNamesTheCause: changes a ride of the log in
// `folder`, closes the window, keeps it open at the question of the failed
// save and prints the question.
int saveAndTell(const QString &folder)
{
    TestLocale locale;
    MessageRecorder msgs;
    msgs.answers = {3};
    MainWindow w(folder);
    w.show();
    if (!QTest::qWaitForWindowActive(&w))
        return 1;
    w.rideLog()->setCell(1, 1, u"změněno"_qs);
    if (w.close() || msgs.questions.isEmpty())
        return 2;
    std::printf("%s", msgs.questions.constLast().toUtf8().constData());
    return 0;
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ExportWindowLoader::searchOnlyIn(QStringLiteral(TRASOVNIK_MODULE_DIR));
    if (argc == 3 && qstrcmp(argv[1], "--edit-and-wait") == 0)
        return editAndWait(QString::fromLocal8Bit(argv[2]));
    if (argc == 3 && qstrcmp(argv[1], "--save-and-tell") == 0)
        return saveAndTell(QString::fromLocal8Bit(argv[2]));
    int status = 0;
    {
        TestDataSafety t;
        status |= QTest::qExec(&t, argc, argv);
    }
    {
        TestSingleInstance t;
        status |= QTest::qExec(&t, argc, argv);
    }
    return status;
}

#include "tst_safety.moc"
