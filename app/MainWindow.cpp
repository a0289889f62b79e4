#include "MainWindow.h"
#include "ExportWindowLoader.h"
#include "WaypointEditor.h"
#include "AppError.h"
#include "CsvFile.h"
#include "BackupWindow.h"
#include "BikeGarage.h"
#include "DatePicker.h"
#include "HelpWindow.h"
#include "ImportWindow.h"
#include "LocaleService.h"
#include "MaskedTimeEdit.h"
#include "Messages.h"
#include "ModalWindow.h"
#include "RideColumn.h"
#include "RideLogFiles.h"
#include "RideLogTable.h"
#include "SaveBeforeClosing.h"
#include "SaveDialog.h"
#include "PlacementStorage.h"
#include "AddRideQuestion.h"
#include "TableSorter.h"
#include "StringTable.h"
#include "StringTableView.h"
#include "WriteFailure.h"
#include "YearlyGoal.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QDateEdit>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace {
const QString kTitle = QString::fromUtf16(kAppTitle);
const QString kDistanceMessage = QStringLiteral("Nelze spočítat vzdálenost.");
const QString kTimeCalcMessage = QStringLiteral("Nelze spočítat čas.");
const QString kAverageMessage =
    QStringLiteral("Nelze provést přepočet průměru! Pravděpodobně neplatný formát času.");
const QString kMakerNotice = QStringLiteral("Deník cyklistických jízd. Vytvořili vývojáři Trasovníku, 2026.");

} // namespace

MainWindow::MainWindow(const ProgramFolder::Location &where, RideLogPrefetch *prefetch, QWidget *parent)
    : QMainWindow(parent), m_where(where), m_prefetch(prefetch)
{
    setObjectName(QStringLiteral("MainWindow"));
    buildWindow();
}

MainWindow::MainWindow(const QString &programFolder, QWidget *parent)
    : MainWindow(programFolder.isEmpty() ? ProgramFolder::locate() : ProgramFolder::Location::inFolder(programFolder),
             nullptr, parent)
{
}

MainWindow::~MainWindow()
{
    // Destroying the window moves the focus among its controls: nothing
    // may be committed from a half-destroyed window.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    // Ended by another way than closing the window (a signal, the end of
    // the session): the placement is kept all the same.
    placementStorage->saveIfNotSaved();
}

// ---------------------------------------------------------------- start and end: the
// first showing, the start-up question, the data folder, closing and the
// end of the session

void MainWindow::setVisible(bool visible)
{
    // The stored placement is taken before the window first appears, so
    // that it opens where and as large as it was left.
    if (visible && !placementStorage->isRestored())
        placementStorage->restorePlacement();
    QMainWindow::setVisible(visible);
}

void MainWindow::askAboutNewRide()
{
    if (isEnding() || !askOnStartAction->isChecked())
        return;
    if (!addRideQuestion)
        addRideQuestion = new AddRideQuestion(askOnStartAction, this);
    if (addRideQuestion->exec() == QDialog::Accepted && !isEnding())
        addRide();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        afterShown();
    }
}

void MainWindow::afterShown()
{
    loadRideLog();
    rideTable->setFocus(Qt::OtherFocusReason);
    const int last = m_log->tableRowCount() - 1;
    rideTable->setCurrentRow(last);
    loadEditors(0, last);
    setWindowTitle(kTitle);
    // Worked out beside the reading, on the same cells: the heading row
    // and empty rows the window may have added count nothing.
    if (m_prefetched)
        showTotals(m_prefetch->totals());
    else
        recalcTotals();
    readBikesAside();
    m_goals = YearlyGoal::read(m_where.settings());
    scheduleGoalCheck();
    announceDataFolder();
    const QString rescued = m_files->keeper().takeRescueReport();
    if (!rescued.isEmpty())
        Messages::instance().info(rescued);
    const QString backupProblem = m_files->backUpDaily(QDate::currentDate());
    if (!backupProblem.isEmpty())
        Messages::instance().failure(backupProblem);
    offerUnsavedChanges();
    // The devices are looked at once the window has drawn itself: its
    // first frames do not share the processor with the scan.
    QTimer::singleShot(500, this, [this] { runGuarded([this] { watchDevices(); }); });
}

void MainWindow::loadRideLog()
{
    const QString said = m_files->load(m_prefetch, &m_prefetched);
    if (!said.isEmpty())
        Messages::instance().failure(said);
}

void MainWindow::offerUnsavedChanges()
{
    const auto unsaved = m_files->unsavedChanges();
    if (!unsaved)
        return;
    const QString when = LocaleService::instance().formatDate(unsaved->written.date()) + u' '
                         + unsaved->written.time().toString(QStringLiteral("H:mm"));
    const int answer = Messages::instance().choose(QStringLiteral("Obnovit neuložené změny z %1?").arg(when),
                                                   {QStringLiteral("Ano"), QStringLiteral("Ne")}, 0, 1);
    if (isEnding())
        return;
    if (answer == 0) {
        QString copy;
        const QString failure = failureOf([&] { copy = m_files->takeUnsavedChanges(); });
        if (failure.isEmpty()) {
            showRow(m_log->tableRowCount() - 1);
            if (!copy.isEmpty())
                messageBar->showMessage(QStringLiteral("Neuložené změny obnoveny; dosavadní kniha jízd je v záloze „%1“.")
                                            .arg(QDir::toNativeSeparators(copy)));
            else if (QFileInfo::exists(m_rideLogPath))
                Messages::instance().failure(
                    QStringLiteral("Neuložené změny jsou obnoveny, ale soubor s jízdami „%1“, jak byl uložen, se "
                                   "nepodařilo zazálohovat. Při zavření programu se do něj zapíšou obnovené jízdy.")
                        .arg(QDir::toNativeSeparators(m_rideLogPath)));
            return;
        }
        Messages::instance().failure(failure);
    }
    const QString kept = m_files->keepUnsavedChanges();
    if (!kept.isEmpty())
        messageBar->showMessage(
            QStringLiteral("Neuložené změny jsou uloženy v záloze „%1“.").arg(QDir::toNativeSeparators(kept)));
    else
        Messages::instance().failure(
            QStringLiteral("Neuložené změny se nepodařilo zazálohovat. Zůstávají v souboru „%1“, který program "
                           "nepřepíše ani nesmaže.")
                .arg(QDir::toNativeSeparators(m_files->unsavedPath())));
}

void MainWindow::showRow(int row)
{
    // A ride the filter hides is shown besides the others.
    m_log->showRowToo(row);
    rideTable->setCurrentRow(row);
    loadEditors(0, rideTable->currentRow());
    recalcTotals();
}

void MainWindow::announceDataFolder()
{
    // Said once, at the start that made the per-user folder, and again
    // only when files of the program's folder were copied or could not be.
    if (!m_where.moved || (!m_where.created && m_where.copied.isEmpty() && m_where.notCopied.isEmpty()))
        return;
    const QString folder = QDir::toNativeSeparators(m_where.folder);
    const QString programDir = QDir::toNativeSeparators(m_where.programDir);
    QString text = m_where.installed
                       ? QStringLiteral("Jízdy a nastavení se ukládají do složky „%1“: program je nainstalovaný ve "
                                        "složce „%2“, do které se data neukládají.")
                             .arg(folder, programDir)
                       : QStringLiteral("Data jsou ve složce „%1“: do složky programu „%2“ nelze zapisovat.")
                             .arg(folder, programDir);
    if (!m_where.copied.isEmpty())
        text += QStringLiteral(" Zkopírováno ze složky programu: %1.").arg(m_where.copied.join(QStringLiteral(", ")));
    if (!m_where.notCopied.isEmpty())
        text += QStringLiteral(" Nepodařilo se zkopírovat: %1.").arg(m_where.notCopied.join(QStringLiteral(", ")));
    Messages::instance().info(text);
}

bool MainWindow::isEnding() const
{
    return m_files->isEnding();
}

void MainWindow::endSession()
{
    m_files->end();
}

void MainWindow::commitSession()
{
    m_files->commit();
}

void MainWindow::bringToFront()
{
    QWidget *front = QApplication::activeModalWidget();
    if (!front)
        front = this;
    if (front->isMinimized())
        front->setWindowState((front->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    front->show();
    front->raise();
    front->activateWindow();
}

bool MainWindow::saveRideLogElsewhere()
{
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Uložit jízdy jinam"),
                                                m_where.rideLogInUserFolder(),
                                                QStringLiteral("Jízdy Trasovníku (*.tvl)"));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".tvl");
    QString error;
    if (m_files->saveAs(path, &error))
        return true;
    Messages::instance().failure(error);
    return false;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The placement first; a failure is told and the closing goes on.
    if (!isEnding())
        runGuarded([this] { placementStorage->savePlacement(); });
    const SaveBeforeClosing saving{
        .save = [this] {
            QString error;
            return m_files->save(&error) ? QString() : error;
        },
        .question = [this](const QString &error) {
            const WriteFailure::Diagnosis why = WriteFailure::diagnose(m_rideLogPath, error);
            return QStringLiteral("Soubor s jízdami „%1“ se nepodařilo uložit: %2.\n\n"
                                  "Zkusit znovu: uložit znovu na totéž místo (%3).\n"
                                  "Uložit jinam…: uložit jízdy do souboru, který vyberete; program ho při příštím "
                                  "spuštění sám nenačte.\n"
                                  "Zavřít bez uložení: změny od posledního uložení se ztratí.\n"
                                  "Zrušit: okno zůstane otevřené.")
                .arg(QDir::toNativeSeparators(m_rideLogPath), why.reason, why.remedy);
        },
        .saveElsewhere = [this] { return saveRideLogElsewhere(); },
        .keepOpen = QStringLiteral("Zrušit"),
        .ending = [this] { return isEnding(); },
        // This very state is in a rescue copy already (the session asked
        // to keep the data): nothing is lost by closing.
        .keptAnyway = [this] { return m_files->isRescued(); },
    };
    if (!saving.run()) {
        event->ignore();
        return;
    }
    event->accept();
}

// ---------------------------------------------------------------- rides: new, deleted,
// brought back, restored from a copy

void MainWindow::addRide()
{
    if (isNewRideLog(*m_log))
        return;
    const QString bike = bikeForNewRide(rideTable->currentRow());
    // The new ride is to be seen: the filter goes.
    clearFilter();
    m_log->setTableRowCount(m_log->tableRowCount() + 1);
    const int last = m_log->tableRowCount() - 1;
    setRideBike(last, bike);
    rideTable->setCurrentRow(last);
    if (rideTable->currentRow() != last)
        return;
    dateEdit->setFocus(Qt::OtherFocusReason);
    recalcTotals();
}

void MainWindow::deleteRide()
{
    int row = rideTable->currentRow();
    // A filter that shows no ride leaves none to delete.
    if (m_log->viewRow(row) < 0)
        return;
    if (dataRowCount() == 1) {
        pushDeleted(1);
        m_log->clearRow(1);
        row = 1;
    } else if (m_log->rowsFiltered()) {
        // The next shown ride becomes current, else the one before.
        const int shownAt = m_log->viewRow(row);
        pushDeleted(row);
        m_log->deleteRow(row);
        if (m_log->rowCount() > 0)
            rideTable->setCurrentRow(m_log->gridRow(std::min(shownAt, m_log->rowCount() - 1)));
        row = rideTable->currentRow();
    } else {
        pushDeleted(row);
        m_log->deleteRow(row);
        row = std::min(row, m_log->tableRowCount() - 1);
        rideTable->setCurrentRow(row);
    }
    loadEditors(0, row);
    recalcTotals();
    updateUndoAction();
}

void MainWindow::pushDeleted(int row)
{
    const int before = m_deleted.count();
    m_deleted.push(row, m_log->rowTexts(row));
    if (m_deleted.count() > before)
        m_undoSteps.append(UndoStep{});
}

void MainWindow::restoreBackup()
{
    commitActiveEditor();
    if (execModal<BackupWindow>(*m_files, this) != QDialog::Accepted)
        return;
    // The rides deleted before belong to the log that was replaced.
    m_deleted.clear();
    m_undoSteps.clear();
    updateUndoAction();
    clearFilter();
    showRow(m_log->tableRowCount() - 1);
    messageBar->showMessage(QStringLiteral("Kniha jízd byla obnovena ze zálohy; dosavadní stav je uložen mezi zálohami."));
}

// ---------------------------------------------------------------- sorting by a heading click

void MainWindow::tablePressed(Qt::MouseButton, const QPoint &)
{
    m_gridPressed = true;
}

void MainWindow::tableReleased(Qt::MouseButton, const QPoint &pos)
{
    if (!m_gridPressed)
        return;
    m_gridPressed = false;
    int col = -1, row = -1;
    if (!rideTable->cellAt(pos, col, row) || row != 0)
        return;
    static const TableSorter::KeyKind kinds[RideColumn::CountWithBike] = {
        TableSorter::DateTime, TableSorter::Character, TableSorter::Character,
        TableSorter::Numeric,  TableSorter::DateTime,  TableSorter::Numeric,
        TableSorter::Numeric,  TableSorter::Character};
    if (col < 0 || col >= std::min<int>(RideColumn::CountWithBike, m_log->tableColumnCount()))
        return;
    // One ride or none: nothing to sort, nothing to say, and the direction
    // stays for the next sort.
    if (dataRowCount() < 2)
        return;
    headingSorter->setKeyKind(kinds[col]);
    if (col == m_lastSortColumn)
        headingSorter->setSortDirection(headingSorter->sortDirection() == TableSorter::Ascending
                                      ? TableSorter::Descending
                                      : TableSorter::Ascending);
    headingSorter->setSortIndex(col);
    headingSorter->setEndIndex(m_log->tableRowCount() - 1);
    if (headingSorter->sort()) {
        // Another ride may now stand in the current row: show that one, so
        // that nothing loaded from one ride is ever committed into another.
        loadEditors(0, rideTable->currentRow());
    }
    m_lastSortColumn = col;
}

// ---------------------------------------------------------------- totals and the
// recalculation of km, time or average

void MainWindow::recalcTotals()
{
    // With a filter on, the totals are those of the rides shown.
    showTotals(m_log->rowsFiltered() ? RideArithmetic::totals(*m_log, m_log->shownRows())
                                     : RideArithmetic::totals(*m_log));
    updateFilterCount();
}

void MainWindow::showTotals(const RideArithmetic::Totals &t)
{
    // The field grows with the hours: 12351 hours show whole.
    totalTimeEdit->setHourPlaces(int(t.time.indexOf(u':')));
    totalTimeEdit->setTimeText(t.time);
    totalAverageEdit->setText(t.average);
    totalDistanceEdit->setText(t.km);
    for (QLineEdit *field : {static_cast<QLineEdit *>(totalDistanceEdit), static_cast<QLineEdit *>(totalTimeEdit),
                             totalAverageEdit})
        fitTotalsWidth(field);
}

void MainWindow::fitTotalsWidth(QLineEdit *field)
{
    // Wide enough for the whole text: the line edit's own margins and the
    // cursor take a few pixels besides the text.
    const int needed = field->fontMetrics().horizontalAdvance(field->text()) + 8;
    field->setFixedWidth(std::max(kTotalsWidth, needed));
}

void MainWindow::showDroppedCharacters(const QString &characters)
{
    messageBar->showMessage(
        QStringLiteral("Znaky %1 nelze uložit do souboru s jízdami (kódování Windows-1250), byly vynechány.")
            .arg(excerpt(characters, 20)));
}

void MainWindow::recalcDistance()
{
    const auto km = RideArithmetic::distance(averageEdit->text(), timeEdit->timeText());
    if (!km) {
        Messages::instance().info(kDistanceMessage);
        return;
    }
    distanceEdit->setText(*km);
    commitDistance();
}

void MainWindow::recalcTime()
{
    const auto t = RideArithmetic::time(distanceEdit->text(), averageEdit->text());
    if (!t) {
        Messages::instance().info(kTimeCalcMessage);
        return;
    }
    // The editor holds two hour places: a ride of 100 hours or more would
    // lose its leading digits and turn into another, valid time.
    if (t->hours >= 100 || t->hours < 0) {
        rejectTime();
        return;
    }
    timeEdit->setTimeText(t->text);
    timeEdit->deselect();
    commitTime();
}

void MainWindow::recalcAverage()
{
    const auto avg = RideArithmetic::average(distanceEdit->text(), timeEdit->timeText());
    if (!avg) {
        Messages::instance().info(kAverageMessage);
        return;
    }
    averageEdit->setText(*avg);
    commitAverage();
}

void MainWindow::recalculateField()
{
    QWidget *focused = focusWidget();
    if (focused == distanceEdit)
        recalcDistance();
    else if (focused == timeEdit)
        recalcTime();
    else if (focused == averageEdit)
        recalcAverage();
    recalcTotals();
}

// ---------------------------------------------------------------- help and about

HelpWindow *MainWindow::helpWindow() const
{
    return m_help;
}

void MainWindow::showHelp()
{
    const QString chm = m_where.help();
    if (QFileInfo(chm).isFile() && openWithDesktop && openWithDesktop(chm))
        return;
    // No program for it on this desktop: the help that comes with the
    // program, in a window of its own.
    if (!m_help)
        m_help = new HelpWindow(this);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void MainWindow::showAbout()
{
    Messages::instance().info(kTitle + QStringLiteral("   ") + kMakerNotice + u'\n');
}

// ---------------------------------------------------------------- the windows over
// this one: waypoint editor, export to HTML, export to CSV, statistics

void MainWindow::openWaypointEditor()
{
    // A new editor for every opening; it reads the course field and, on
    // "OK", writes it back and commits it into the current ride.
    auto window = std::make_unique<WaypointEditor>(courseEdit, [this] { commitCourse(); }, m_where, this);
    window->setDataKeeper(&m_files->keeper());
    execModal(std::move(window));
}

void MainWindow::openExportWindow()
{
    // The window is made for this opening only and shows the committed
    // cells of the ride log. It comes from the export module, loaded now
    // if this is the first opening; when it cannot be loaded, a box has
    // said why.
    commitActiveEditor();
    // With a filter on, the rider may export the rides shown only.
    const std::unique_ptr<StringTable> shown = shownRidesCopy();
    execModal(std::unique_ptr<QDialog>(
        ExportWindowLoader::createWindow(*m_log, m_htmlSettings, m_where, &m_files->keeper(), this, shown.get())));
}

// ---------------------------------------------------------------- rides from the rider's devices

void MainWindow::pickRideFiles()
{
    QFileDialog dialog(this, QStringLiteral("Import z GPS"));
    dialog.setObjectName(QStringLiteral("ImportGpsDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    // The toolkit's own dialog, whose name filter ignores the letters'
    // case: devices write "RIDE.FIT" as often as "ride.fit".
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilter(QStringLiteral("Záznamy jízd (*.fit *.gpx *.tcx)"));
    followLastFolder(dialog, QStringLiteral("gps"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    rememberFolder(QStringLiteral("gps"), dialog.selectedFiles().constFirst());
    importRideFiles(dialog.selectedFiles());
}

void MainWindow::takeArguments(const QStringList &files)
{
    bringToFront();
    importRideFiles(files);
}

void MainWindow::importRideFiles(const QStringList &paths)
{
    if (paths.isEmpty() || isEnding())
        return;
    // A window open over this one (a box, the export, a file dialog) is
    // finished first; the files wait.
    if (QApplication::activeModalWidget() || !isVisible()) {
        m_importLater += paths;
        QTimer::singleShot(300, this, [this] {
            const QStringList waiting = std::exchange(m_importLater, {});
            importRideFiles(waiting);
        });
        return;
    }
    commitActiveEditor();
    const auto add = [this](QList<QStringList> rides) {
        giveBikes(rides);
        for (const QStringList &cells : std::as_const(rides)) {
            if (cells.size() > RideColumn::KeptFile)
                addKeptFileColumn(*m_log);
            else if (cells.size() > RideColumn::Bike)
                addBikeColumn(*m_log);
        }
        // The imported rides are to be seen: the filter goes.
        if (!rides.isEmpty())
            clearFilter();
        const int row = appendRides(*m_log, rides);
        if (row >= 0)
            showRow(row);
        // Many rides at once: on the disk before anything else can happen.
        m_files->writeUnsavedNow(true);
    };
    execModal<ImportWindow>(paths, *m_log, add, m_where, this);
}

namespace {
// The local files among what is dragged over the window.
QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    if (data && data->hasUrls())
        for (const QUrl &url : data->urls())
            if (url.isLocalFile())
                paths.append(url.toLocalFile());
    return paths;
}

// "jen zobrazené jízdy", checked, under a file dialog's fields (in the
// toolkit's own dialog, which can hold it); nothing when not offered.
QCheckBox *offerOnlyShown(QFileDialog &dialog, bool offer)
{
    if (!offer)
        return nullptr;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto *box = new QCheckBox(QStringLiteral("jen zobrazené jízdy"), &dialog);
    box->setObjectName(QStringLiteral("onlyShownBox"));
    box->setChecked(true);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(box, grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}
} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // The drag's source waits for the drop to end: the window opens after.
    QTimer::singleShot(0, this, [this, paths] { importRideFiles(paths); });
}

void MainWindow::exportCsv()
{
    QFileDialog dialog(this, QStringLiteral("Export do CSV"));
    dialog.setObjectName(QStringLiteral("SaveCsvDialog"));
    setUpSaveDialog(dialog, QStringLiteral("CSV soubor (*.csv)"), QStringLiteral("csv"));
    if (m_lastCsvName.isEmpty()) {
        dialog.selectFile(QFileInfo(m_rideLogPath).completeBaseName() + QStringLiteral(".csv"));
    } else {
        dialog.selectFile(m_lastCsvName);
    }
    // With a filter on, the rider may write the rides shown only.
    QCheckBox *onlyShown = offerOnlyShown(dialog, m_log->rowsFiltered());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().constFirst();
    const std::unique_ptr<StringTable> shown = onlyShown && onlyShown->isChecked() ? shownRidesCopy() : nullptr;
    if (runGuarded([&] { CsvFile::write(path, shown ? *shown : *m_log); })) {
        m_lastCsvName = path;
        rememberFolder(dialog.defaultSuffix(), path);
        messageBar->showMessage(QStringLiteral("Jízdy jsou uloženy do souboru „%1“.").arg(QDir::toNativeSeparators(path)));
    }
}
