// The main window's way to a ride's track: "Zobrazit trasu" in the menu
// and the table's own menu, and the map under it in "Možnosti".

#include "MainWindow.h"

#include "MapSourceDialog.h"
#include "ModalWindow.h"
#include "RideColumn.h"
#include "StringTable.h"
#include "StringTableView.h"
#include "TrackWindow.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

void MainWindow::updateTrackAction(int row)
{
    const bool kept = !m_log->cellView(RideColumn::KeptFile, row).trimmed().isEmpty();
    showTrackAction->setEnabled(kept);
    showTrackAction->setToolTip(kept ? QStringLiteral("Trasa jízdy na mapě, její profil a údaje ze záznamu")
                                     : QStringLiteral("Jízda nemá uložený záznam z GPS: trasu mají jen jízdy "
                                                      "importované z GPS („Import z GPS…“)."));
    showTrackAction->setStatusTip(showTrackAction->toolTip());
}

namespace {

// Opens the ride table's menu: by the mouse about the ride under the
// pointer, by the keyboard about the current ride, beside its cell.
class RideTableMenuOpener : public QObject
{
public:
    RideTableMenuOpener(StringTableView *table, QMenu *menu) : QObject(table), m_table(table), m_menu(menu) {}

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            // The menu key and Shift+F10, whether or not the platform
            // makes a menu event of them.
            const auto *key = static_cast<QKeyEvent *>(event);
            const bool menuKey = key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
            const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
            if (!menuKey && !shiftF10)
                return false;
            popUpAt(m_table->visualRect(m_table->currentIndex()).center());
            return true;
        }
        if (event->type() != QEvent::ContextMenu)
            return false;
        const auto *e = static_cast<QContextMenuEvent *>(event);
        QPoint at = e->pos();
        if (e->reason() == QContextMenuEvent::Mouse) {
            const QModelIndex index = m_table->indexAt(at);
            if (index.isValid())
                m_table->setCurrentIndex(index);
        } else {
            at = m_table->visualRect(m_table->currentIndex()).center();
        }
        popUpAt(at);
        return true;
    }

    void popUpAt(const QPoint &inViewport) { m_menu->popup(m_table->viewport()->mapToGlobal(inViewport)); }

private:
    StringTableView *m_table;
    QMenu *m_menu;
};

} // namespace

void MainWindow::offerRideTableMenu()
{
    rideTableMenu = new QMenu(this);
    rideTableMenu->setObjectName(QStringLiteral("rideTableMenu"));
    rideTableMenu->setToolTipsVisible(true);
    rideTableMenu->addAction(showTrackAction);
    rideTableMenu->addSeparator();
    rideTableMenu->addAction(newRideAction);
    rideTableMenu->addAction(deleteRideAction);
    if (auto *menu = menuBar()->findChild<QMenu *>(QStringLiteral("ridesMenu")))
        menu->setToolTipsVisible(true);
    auto *opener = new RideTableMenuOpener(rideTable, rideTableMenu);
    rideTable->viewport()->installEventFilter(opener);
    rideTable->installEventFilter(opener);
}

void MainWindow::showTrack()
{
    commitActiveEditor();
    const int row = rideTable->currentRow();
    const QString link = m_log->cell(RideColumn::KeptFile, row).trimmed();
    if (link.isEmpty() || m_log->viewRow(row) < 0)
        return;
    execModal<TrackWindow>(m_log->rowTexts(row), link, m_where, this);
}

void MainWindow::editMapSource()
{
    commitActiveEditor();
    MapSourceDialog::edit(this, m_where.settings());
}
