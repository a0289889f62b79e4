// The main window's editor panel at work: which editor is in use, the
// commit of its cell when it is left, Enter moving on, the editors loaded
// from a row, and the favourite routes that fill them in.
#include "MainWindow.h"
#include "DatePicker.h"
#include "FavouriteRoutes.h"
#include "LocaleService.h"
#include "MaskedTimeEdit.h"
#include "Messages.h"
#include "RideColumn.h"
#include "RouteNameBox.h"
#include "StringTable.h"
#include "StringTableView.h"
#include "TimeText.h"

#include <QApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QSpinBox>

namespace {
const QString kTimeMessage = QStringLiteral("Neplatný formát času, zadej dle vzoru x:xx");
const QString kDateMessage = QStringLiteral("Datum %1 neexistuje, zadej platné datum.");
const QString kRouteSaved = QStringLiteral("Nyní je trasa je k dispozici v rozbalovacím seznamu \"Název trasy\".");
const QString kRouteRemoved = QStringLiteral("Trasa byla ze seznamu odstraněna.");

// Shows a cell's text in an editor as it is: the editor's input rules are
// for what the rider types and pastes, not for what the log holds.
void showCellText(QLineEdit *editor, const QString &text)
{
    const QValidator *rules = editor->validator();
    editor->setValidator(nullptr);
    editor->setText(text);
    editor->setValidator(rules);
}

// Line breaks would split a cell in the ride log file.
QString cellText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(u'\r', u' ');
    text.replace(u'\n', u' ');
    return text;
}
} // namespace

// ---------------------------------------------------------------- focus and keys: the
// editor in use, its commit when it is left, Enter moving on

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
            // The key is passed on after the focus moved.
            onEnterKey(watched);
        }
        break;
    }
    case QEvent::KeyRelease:
        if (watched == courseEdit)
            commitCourse();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::onFocusChanged(QWidget *, QWidget *now)
{
    // An editor is left when another control of this window takes the
    // focus. Losing the focus to another window, a menu or a message box
    // leaves nothing: the editor still counts as the one in use, and it is
    // committed when the rider comes back to some other control — also by
    // a click that reactivates the window.
    // The menu bar takes the focus while a menu is opened by keyboard and
    // gives it back afterwards: like a menu opened by mouse, that leaves
    // nothing.
    if (!now || now->window() != this || qobject_cast<QMenuBar *>(now))
        return;
    // The focus may sit in an editor's inner line edit.
    for (QWidget *w = now; w && w != this; w = w->parentWidget()) {
        if (bindingOf(w)) {
            now = w;
            break;
        }
    }
    if (now == m_activeEditor)
        return;
    QWidget *left = m_activeEditor;
    m_activeEditor = bindingOf(now) ? now : nullptr;
    if (left)
        onCommitLeave(left);
}

const MainWindow::EditorBinding *MainWindow::bindingOf(const QObject *w) const
{
    for (const EditorBinding &b : m_editors)
        if (b.editor == w)
            return &b;
    return nullptr;
}

void MainWindow::onCommitLeave(QObject *editor)
{
    if (const EditorBinding *b = bindingOf(editor))
        runGuarded([&] { (this->*b->commit)(); });
}

void MainWindow::commitActiveEditor()
{
    // What the rider was typing belongs to the ride shown now.
    if (m_activeEditor)
        onCommitLeave(m_activeEditor);
}

void MainWindow::onEnterKey(QObject *editor)
{
    const EditorBinding *b = bindingOf(editor);
    QWidget *next = b ? b->next : nullptr;
    // An editor the window does not show (the bike's before the rider has
    // a bike) is passed over.
    while (next && next->isHidden()) {
        const EditorBinding *after = bindingOf(next);
        next = after ? after->next : nullptr;
    }
    if (next)
        next->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- the editors loaded
// from a row and committed into it

int MainWindow::dataRowCount() const
{
    return m_log->tableRowCount() - 1;
}

void MainWindow::loadEditors(int, int row)
{
    const auto date = LocaleService::instance().parseDate(m_log->cellView(RideColumn::Date, row));
    m_settingDate = true;
    dateEdit->setDate(date ? *date : QDate::currentDate());
    dateEdit->clearTyping();
    m_settingDate = false;

    showCellText(routeNameBox->lineEdit(), m_log->cell(RideColumn::Name, row));
    showCellText(courseEdit, m_log->cell(RideColumn::Course, row));
    showCellText(distanceEdit, m_log->cell(RideColumn::Km, row));
    const QString time = m_log->cell(RideColumn::Time, row);
    if (time.isEmpty())
        timeEdit->clearTime();
    else
        timeEdit->setTimeText(time);
    showCellText(averageEdit, m_log->cell(RideColumn::Average, row));

    m_editorLoading = false;
    bool ok = false;
    const int difficulty = m_log->cellView(RideColumn::Difficulty, row).trimmed().toInt(&ok);
    difficultyBox->setValue(ok ? difficulty : 2);
    m_editorLoading = true;
    showRideBike(row);
    updateTrackAction(row);
}

void MainWindow::commit(int column, const QString &text)
{
    // A filter that shows no ride leaves none to write into.
    const int row = rideTable->currentRow();
    if (m_log->viewRow(row) >= 0)
        m_log->setCellIfChanged(column, row, cellText(text));
}

void MainWindow::commitDate()
{
    // Digits typed into a part count even when the focus leaves first.
    dateEdit->interpretText();
    // The picker keeps a valid date at every keystroke; what counts is
    // the date the rider typed.
    if (const auto typed = dateEdit->takeTypedDate()) {
        if (!typed->date) {
            rejectDate(typed->text);
            return;
        }
        m_settingDate = true;
        dateEdit->setDate(*typed->date);
        m_settingDate = false;
    }
    commit(RideColumn::Date, LocaleService::instance().formatDate(dateEdit->date()));
}

void MainWindow::rejectDate(const QString &typed)
{
    Messages::instance().info(kDateMessage.arg(typed));
    // The picker shows the ride's date again.
    const auto date = LocaleService::instance().parseDate(m_log->cellView(RideColumn::Date, rideTable->currentRow()));
    m_settingDate = true;
    dateEdit->setDate(date ? *date : QDate::currentDate());
    m_settingDate = false;
    returnTo(dateEdit);
}

void MainWindow::commitChosenDate()
{
    // The rider changed the date, so the picker is the editor in use even
    // if it never got the focus (a date picked from its calendar while the
    // window was not active): moving on commits it.
    m_activeEditor = dateEdit;
    routeNameBox->setFocus(Qt::OtherFocusReason);
}

void MainWindow::commitRouteName()
{
    commit(RideColumn::Name, routeNameBox->currentText());
}

void MainWindow::commitCourse()
{
    commit(RideColumn::Course, courseEdit->text());
}

void MainWindow::commitDistance()
{
    commit(RideColumn::Km, distanceEdit->text());
    recalcTotals();
}

void MainWindow::rejectTime()
{
    Messages::instance().info(kTimeMessage);
    timeEdit->clearTime();
    returnTo(timeEdit);
}

void MainWindow::returnTo(QWidget *editor)
{
    // The rider never settled in the editor whose click left the refused
    // one: going back leaves that one without its commit.
    m_activeEditor = editor;
    editor->setFocus(Qt::OtherFocusReason);
}

void MainWindow::commitTime()
{
    const QString time = timeEdit->timeText();
    if (!TimeText::isValid(time) && time != TimeText::kEmpty) {
        rejectTime();
        return;
    }
    commit(RideColumn::Time, time);
    if (!distanceEdit->text().isEmpty() && averageEdit->text().isEmpty() && time != TimeText::kEmpty)
        recalcAverage();
    recalcTotals();
}

void MainWindow::commitAverage()
{
    commit(RideColumn::Average, averageEdit->text());
    recalcTotals();
}

void MainWindow::commitDifficulty()
{
    bool ok = false;
    const int v = difficultyBox->cleanText().trimmed().toInt(&ok);
    commit(RideColumn::Difficulty, QString::number(ok ? v : 1));
}

void MainWindow::difficultyStepped()
{
    commitDifficulty();
}

// ---------------------------------------------------------------- favourite routes
// filling in the editors

void MainWindow::fillRouteNames()
{
    // The list becomes the stored names; the text in the box stays.
    const QString text = routeNameBox->currentText();
    const QStringList names = FavouriteRoutes::names(m_where.favourites());
    const QSignalBlocker block(routeNameBox);
    routeNameBox->clear();
    routeNameBox->addItems(names);
    routeNameBox->setCurrentIndex(routeNameBox->findText(text));
    routeNameBox->setEditText(text);
}

void MainWindow::takePickedRoute()
{
    const FavouriteRoutes::Route route = FavouriteRoutes::read(m_where.favourites(), routeNameBox->currentText());
    showCellText(distanceEdit, route.distance);
    showCellText(courseEdit, route.course);
    // The spinner holds it within 1 to 5; its change goes into the row at once.
    difficultyBox->setValue(route.difficulty);
    averageEdit->clear();
    timeEdit->clearTime();
    commitRouteName();
    commitDistance();
    commitCourse();
    commitDifficulty();
    commitAverage();
    commitTime();
}

void MainWindow::saveRoute()
{
    const QString name = routeNameBox->currentText();
    const QString problem = FavouriteRoutes::nameProblem(name);
    if (!problem.isEmpty()) {
        Messages::instance().failure(problem);
        return;
    }
    runGuarded([&] {
        FavouriteRoutes::save(m_where.favourites(), name, {courseEdit->text(), distanceEdit->text(), difficultyBox->value()});
        Messages::instance().info(kRouteSaved);
    });
}

void MainWindow::deleteRoute()
{
    runGuarded([&] {
        if (FavouriteRoutes::remove(m_where.favourites(), routeNameBox->currentText()))
            Messages::instance().info(kRouteRemoved);
    });
}
