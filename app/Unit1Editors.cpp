// The main window's editor panel at work: which editor is in use, the
// commit of its cell when it is left, Enter moving on, the editors loaded
// from a row, and the favourite routes that fill them in.
#include "Unit1.h"
#include "DatePicker.h"
#include "FavouriteRoutes.h"
#include "LocaleService.h"
#include "MaskedTimeEdit.h"
#include "Messages.h"
#include "RideColumn.h"
#include "RouteNameBox.h"
#include "TPubStrGrid.h"
#include "TPubStrGridView.h"
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

bool TForm1::eventFilter(QObject *watched, QEvent *event)
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
        if (watched == Edit_Trasa)
            Edit_TrasaExit();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::onFocusChanged(QWidget *, QWidget *now)
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

const TForm1::EditorBinding *TForm1::bindingOf(const QObject *w) const
{
    for (const EditorBinding &b : m_editors)
        if (b.editor == w)
            return &b;
    return nullptr;
}

void TForm1::onCommitLeave(QObject *editor)
{
    if (const EditorBinding *b = bindingOf(editor))
        runGuarded([&] { (this->*b->commit)(); });
}

void TForm1::commitActiveEditor()
{
    // What the rider was typing belongs to the ride shown now.
    if (m_activeEditor)
        onCommitLeave(m_activeEditor);
}

void TForm1::onEnterKey(QObject *editor)
{
    if (const EditorBinding *b = bindingOf(editor); b && b->next)
        b->next->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------- the editors loaded
// from a row and committed into it

int TForm1::dataRowCount() const
{
    return m_log->RowCount() - 1;
}

void TForm1::pbsSelectCell(int, int ARow)
{
    const auto date = LocaleService::instance().parseDate(m_log->cellView(RideColumn::Date, ARow));
    m_settingDate = true;
    DateTimePicker1->setDate(date ? *date : QDate::currentDate());
    DateTimePicker1->clearTyping();
    m_settingDate = false;

    showCellText(Combo_Nazev->lineEdit(), m_log->Cells(RideColumn::Name, ARow));
    showCellText(Edit_Trasa, m_log->Cells(RideColumn::Course, ARow));
    showCellText(Edit_km, m_log->Cells(RideColumn::Km, ARow));
    const QString time = m_log->Cells(RideColumn::Time, ARow);
    if (time.isEmpty())
        edit_cas->clearTime();
    else
        edit_cas->setTimeText(time);
    showCellText(Edit_prumer, m_log->Cells(RideColumn::Average, ARow));

    m_editorLoading = false;
    bool ok = false;
    const int difficulty = m_log->cellView(RideColumn::Difficulty, ARow).trimmed().toInt(&ok);
    Spin_Naroc->setValue(ok ? difficulty : 2);
    m_editorLoading = true;
}

void TForm1::commit(int column, const QString &text)
{
    m_log->SetCellIfChanged(column, pbs->Row(), cellText(text));
}

void TForm1::DateTimePicker1Exit()
{
    // Digits typed into a part count even when the focus leaves first.
    DateTimePicker1->interpretText();
    // The picker keeps a valid date at every keystroke; what counts is
    // the date the rider typed.
    if (const auto typed = DateTimePicker1->takeTypedDate()) {
        if (!typed->date) {
            rejectDate(typed->text);
            return;
        }
        m_settingDate = true;
        DateTimePicker1->setDate(*typed->date);
        m_settingDate = false;
    }
    commit(RideColumn::Date, LocaleService::instance().formatDate(DateTimePicker1->date()));
}

void TForm1::rejectDate(const QString &typed)
{
    Messages::instance().info(kDateMessage.arg(typed));
    // The picker shows the ride's date again.
    const auto date = LocaleService::instance().parseDate(m_log->cellView(RideColumn::Date, pbs->Row()));
    m_settingDate = true;
    DateTimePicker1->setDate(date ? *date : QDate::currentDate());
    m_settingDate = false;
    returnTo(DateTimePicker1);
}

void TForm1::DateTimePicker1Change()
{
    // The rider changed the date, so the picker is the editor in use even
    // if it never got the focus (a date picked from its calendar while the
    // window was not active): moving on commits it.
    m_activeEditor = DateTimePicker1;
    Combo_Nazev->setFocus(Qt::OtherFocusReason);
}

void TForm1::Combo_NazevExit()
{
    commit(RideColumn::Name, Combo_Nazev->currentText());
}

void TForm1::Edit_TrasaExit()
{
    commit(RideColumn::Course, Edit_Trasa->text());
}

void TForm1::Edit_kmExit()
{
    commit(RideColumn::Km, Edit_km->text());
    RecalcTotals();
}

void TForm1::rejectTime()
{
    Messages::instance().info(kTimeMessage);
    edit_cas->clearTime();
    returnTo(edit_cas);
}

void TForm1::returnTo(QWidget *editor)
{
    // The rider never settled in the editor whose click left the refused
    // one: going back leaves that one without its commit.
    m_activeEditor = editor;
    editor->setFocus(Qt::OtherFocusReason);
}

void TForm1::edit_casExit()
{
    const QString time = edit_cas->timeText();
    if (!TimeText::isValid(time) && time != TimeText::kEmpty) {
        rejectTime();
        return;
    }
    commit(RideColumn::Time, time);
    if (!Edit_km->text().isEmpty() && Edit_prumer->text().isEmpty() && time != TimeText::kEmpty)
        RecalcAverage();
    RecalcTotals();
}

void TForm1::Edit_prumerExit()
{
    commit(RideColumn::Average, Edit_prumer->text());
    RecalcTotals();
}

void TForm1::Spin_NarocExit()
{
    bool ok = false;
    const int v = Spin_Naroc->cleanText().trimmed().toInt(&ok);
    commit(RideColumn::Difficulty, QString::number(ok ? v : 1));
}

void TForm1::Spin_NarocChange()
{
    Spin_NarocExit();
}

// ---------------------------------------------------------------- favourite routes
// filling in the editors

void TForm1::Combo_NazevDropDown()
{
    // The list becomes the stored names; the text in the box stays.
    const QString text = Combo_Nazev->currentText();
    const QStringList names = FavouriteRoutes::names(m_where.favourites());
    const QSignalBlocker block(Combo_Nazev);
    Combo_Nazev->clear();
    Combo_Nazev->addItems(names);
    Combo_Nazev->setCurrentIndex(Combo_Nazev->findText(text));
    Combo_Nazev->setEditText(text);
}

void TForm1::Combo_NazevSelect()
{
    const FavouriteRoutes::Route route = FavouriteRoutes::read(m_where.favourites(), Combo_Nazev->currentText());
    showCellText(Edit_km, route.distance);
    showCellText(Edit_Trasa, route.course);
    // The spinner holds it within 1 to 5; its change goes into the row at once.
    Spin_Naroc->setValue(route.difficulty);
    Edit_prumer->clear();
    edit_cas->clearTime();
    Combo_NazevExit();
    Edit_kmExit();
    Edit_TrasaExit();
    Spin_NarocExit();
    Edit_prumerExit();
    edit_casExit();
}

void TForm1::UlozitTrasuItemClick()
{
    const QString name = Combo_Nazev->currentText();
    const QString problem = FavouriteRoutes::nameProblem(name);
    if (!problem.isEmpty()) {
        Messages::instance().failure(problem);
        return;
    }
    runGuarded([&] {
        FavouriteRoutes::save(m_where.favourites(), name, {Edit_Trasa->text(), Edit_km->text(), Spin_Naroc->value()});
        Messages::instance().info(kRouteSaved);
    });
}

void TForm1::OdstranitTrasuItemClick()
{
    runGuarded([&] {
        if (FavouriteRoutes::remove(m_where.favourites(), Combo_Nazev->currentText()))
            Messages::instance().info(kRouteRemoved);
    });
}
