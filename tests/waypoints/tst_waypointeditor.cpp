#include "AnsiFile.h"
#include "MessageRecorder.h"
#include "Modal.h"
#include "RideLogFile.h"
#include "PlacementStorage.h"
#include "TableSorter.h"
#include "StringTable.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "MainWindow.h"
#include "WaypointEditor.h"
#include "WaypointPanels.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

namespace {
const QString kCourse = QStringLiteral("Brno - Tišnov - Nedvědice");
const QByteArray kList("Brno\r\nTi\x9anov\r\nKu\xf8im\r\n");

void clickRow(QAbstractItemView *view, const QModelIndex &index, bool twice = false)
{
    const QPoint at = view->visualRect(index).center();
    // A double click: press and release, then the second press.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}
void clickTool(WaypointEditor *d, QAction *tool)
{
    QTest::mouseClick(d->waypointToolBar->widgetForAction(tool), Qt::LeftButton);
}
// Answers the next file dialog with a name, or cancels it; tells the
// folder it started in.
void answerFileDialog(const QString &name, QString *startedIn = nullptr)
{
    onModal<QFileDialog>([name, startedIn](QFileDialog *f) {
        if (startedIn)
            *startedIn = f->directory().absolutePath();
        if (name.isEmpty())
            return f->reject();
        enterFileName(f, name);
    });
}
} // namespace

// The waypoint editor, opened from the main window's "Editovat" and
// driven by mouse and keyboard.
class TestWaypointEditor : public QObject
{
    Q_OBJECT
    TestLocale m_locale;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> msgs;
    std::unique_ptr<MainWindow> w;

    QString file(const QString &name) const { return m_dir->filePath(name); }
    QString course() const { return w->rideLog()->cell(2, 1); }

    // Opens the editor with the button, runs `act` in it and waits until
    // it is closed; a failed check inside still closes it.
    void edit(std::function<void(WaypointEditor *)> act)
    {
        bool ran = false;
        onModal<WaypointEditor>([&](WaypointEditor *d) {
            ran = true;
            act(d);
            if (d->isVisible())
                d->QDialog::done(0);
        });
        QTest::mouseClick(w->editCourseButton, Qt::LeftButton);
        QVERIFY(ran);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        msgs = std::make_unique<MessageRecorder>();
        putFile(file(u"default.tvl"_qs), rideLogFile({{u"3.5.2005"_qs, u"Okruh"_qs, kCourse, u"42"_qs}}));
        putFile(file(u"default.tvb"_qs), kList);
        w = std::make_unique<MainWindow>(m_dir->path());
        w->resize(720, 490);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(w->courseEdit->text(), kCourse);
    }
    void cleanup()
    {
        w.reset();
        msgs.reset();
    }

    void openingAndOk()
    {
        QVERIFY(w->editCourseButton->isEnabled());
        edit([&](WaypointEditor *d) {
            QCOMPARE(d->windowTitle(), u"Editace trasy"_qs);
            QCOMPARE(d->size(), QSize(433, 244));
            QVERIFY((d->geometry().center() - w->geometry().center()).manhattanLength() < 4);
            QCOMPARE(d->waypointPanel->width(), 152);
            QCOMPARE(d->waypointList()->columnTexts(0), (QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Kuřim"_qs}));
            QTRY_COMPARE(d->waypointList()->columnWidth(0), d->waypointTable->viewport()->width());
            QCOMPARE(d->courseEntries(), (QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Nedvědice"_qs}));
            QCOMPARE(d->selectedCourseEntry(), -1);
            QTest::mouseClick(d->doneButton, Qt::LeftButton);
        });
        QCOMPARE(w->courseEdit->text(), kCourse);
        QCOMPARE(course(), kCourse);
        QVERIFY(msgs->shown.isEmpty());
        // Closing saved the list and the placement.
        QCOMPARE(fileBytes(file(u"default.tvb"_qs)), kList);
        QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("[formEdit]\r\n"));
        QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("Panel1_Width=152\r\n"));
    }

    void composeCourse()
    {
        edit([&](WaypointEditor *d) {
            StringTable *list = d->waypointList();
            // With "Tišnov" selected, "Kuřim" goes before it and the
            // selection is gone: the next one goes to the end.
            clickRow(d->courseList, d->courseList->model()->index(1, 0));
            clickRow(d->waypointTable, list->index(2, 0));
            QTest::mouseClick(d->addButton, Qt::LeftButton);
            QCOMPARE(d->selectedCourseEntry(), -1);
            QTest::mouseClick(d->addButton, Qt::LeftButton);
            // On the current row, too: a double click does not edit.
            clickRow(d->waypointTable, list->index(0, 0));
            clickRow(d->waypointTable, list->index(0, 0), true);
            QTest::qWait(QApplication::doubleClickInterval() + 100);
            QVERIFY(!d->waypointTable->viewport()->findChild<QLineEdit *>());
            QCOMPARE(d->courseEntries(),
                     (QStringList{u"Brno"_qs, u"Kuřim"_qs, u"Tišnov"_qs, u"Nedvědice"_qs, u"Kuřim"_qs, u"Brno"_qs}));
            // Removing the last entry leaves nothing selected; another
            // selects the entry that took its place.
            clickRow(d->courseList, d->courseList->model()->index(5, 0));
            QTest::mouseClick(d->removeButton, Qt::LeftButton);
            QCOMPARE(d->selectedCourseEntry(), -1);
            QTest::mouseClick(d->removeButton, Qt::LeftButton);
            QCOMPARE(d->courseList->count(), 5);
            clickRow(d->courseList, d->courseList->model()->index(1, 0));
            QTest::mouseClick(d->removeButton, Qt::LeftButton);
            QCOMPARE(d->selectedCourseEntry(), 1);
            // Enter does not close the window.
            QTest::keyClick(d->courseList, Qt::Key_Return);
            QVERIFY(d->isVisible());
            QTest::mouseClick(d->doneButton, Qt::LeftButton);
        });
        const QString joined = u"Brno - Tišnov - Nedvědice - Kuřim"_qs;
        QCOMPARE(w->courseEdit->text(), joined);
        QCOMPARE(course(), joined);
    }

    void newWaypoint_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("list");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QStringList>("shown");
        const QStringList none;
        QTest::newRow("new name") << kList << u"Vranov"_qs
                                  << QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Kuřim"_qs, u"Vranov"_qs}
                                  << kList + "Vranov\r\n" << none;
        QTest::newRow("case differs") << kList << u"KUŘIM"_qs
                                      << QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Kuřim"_qs} << kList
                                      << QStringList{u"Bod již existuje!"_qs};
        QTest::newRow("cancel") << kList << QString() << QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Kuřim"_qs}
                                << kList << none;
        QTest::newRow("into the empty list") << QByteArray() << u"Žďár"_qs << QStringList{u"Žďár"_qs}
                                             << QByteArray("\x8e\xef\xe1r\r\n") << none;
        QTest::newRow("empty name, empty list") << QByteArray("\r\n") << u""_qs << QStringList{QString()}
                                                << QByteArray("\r\n") << QStringList{u"Bod již existuje!"_qs};
    }
    void newWaypoint()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, typed);
        QFETCH(QStringList, list);
        QFETCH(QByteArray, saved);
        QFETCH(QStringList, shown);
        putFile(this->file(u"default.tvb"_qs), file);
        edit([&](WaypointEditor *d) {
            QString label;
            onModal<QInputDialog>([&](QInputDialog *input) {
                label = input->windowTitle() + u'|' + input->labelText();
                auto *field = input->findChild<QLineEdit *>();
                QCOMPARE(field->maxLength(), 255);
                field->insert(typed);
                if (typed.isNull())
                    input->reject();
                else
                    QTest::mouseClick(input->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok),
                                      Qt::LeftButton);
            });
            clickTool(d, d->newWaypointAction);
            QCOMPARE(label, u"Nový průjezdní bod| Zadej nový průjezdní bod:"_qs);
            QCOMPARE(d->waypointList()->columnTexts(0), list);
            if (shown.isEmpty() && !typed.isNull())
                QCOMPARE(d->waypointTable->currentRow(), int(list.size()) - 1);
            // The close box: the course stays, the list is saved.
            d->close();
        });
        QCOMPARE(msgs->texts(), shown);
        QCOMPARE(fileBytes(this->file(u"default.tvb"_qs)), saved);
        QCOMPARE(w->courseEdit->text(), kCourse);
    }

    void deleteAndSort()
    {
        putFile(file(u"default.tvb"_qs), "b\r\nC\r\na\r\nD\r\n");
        edit([&](WaypointEditor *d) {
            StringTable *list = d->waypointList();
            clickTool(d, d->sortListAction);
            QCOMPARE(list->columnTexts(0), (QStringList{u"a"_qs, u"b"_qs, u"C"_qs, u"D"_qs}));
            clickTool(d, d->sortListAction);
            QCOMPARE(list->columnTexts(0), (QStringList{u"D"_qs, u"C"_qs, u"b"_qs, u"a"_qs}));
            // The current row is dragged down by the mouse.
            clickRow(d->waypointTable, list->index(0, 0));
            const QPoint from = d->waypointTable->visualRect(list->index(0, 0)).center();
            QTest::mousePress(d->waypointTable->viewport(), Qt::LeftButton, {}, from);
            QTest::mouseMove(d->waypointTable->viewport(), from + QPoint(0, 10));
            QTest::mouseMove(d->waypointTable->viewport(), d->waypointTable->visualRect(list->index(2, 0)).center());
            QTest::mouseRelease(d->waypointTable->viewport(), Qt::LeftButton, {}, d->waypointTable->visualRect(list->index(2, 0)).center());
            QCOMPARE(list->columnTexts(0), (QStringList{u"C"_qs, u"b"_qs, u"D"_qs, u"a"_qs}));
            QCOMPARE(d->waypointTable->currentRow(), 2);
            for (int i = 0; i < 4; ++i)
                clickTool(d, d->deleteWaypointAction);
            QCOMPARE(list->tableRowCount(), 1);
            QCOMPARE(list->columnTexts(0), QStringList{QString()});
            // One row: nothing to sort, yet the direction flips.
            QCOMPARE(d->sorter->sortDirection(), TableSorter::Ascending);
            clickTool(d, d->sortListAction);
            QCOMPARE(d->sorter->sortDirection(), TableSorter::Descending);
            // Typing edits the cell in place; closing takes what is typed.
            QTest::keyClick(d->waypointTable, Qt::Key_L);
            auto *cell = d->waypointTable->viewport()->findChild<QLineEdit *>();
            QVERIFY(cell);
            QTest::keyClicks(cell, "ipuvka");
            d->close();
        });
        QCOMPARE(fileBytes(file(u"default.tvb"_qs)), QByteArray("lipuvka\r\n"));
        QVERIFY(msgs->shown.isEmpty());
    }

    // Every tool, by its button or its key, takes a name still being typed
    // into the table (an open in-place editor) first.
    void toolsTakeTheTypedName_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QKeySequence>("key"); // none: the button is clicked
        QTest::addColumn<bool>("typing");
        QTest::addColumn<QStringList>("list");
        const QString brno = u"Brno"_qs, adamov = u"Adamov"_qs, tisnov = u"Tišnov"_qs, kurim = u"Kuřim"_qs;
        const QKeySequence click;
        QTest::newRow("sort, click") << "sortListAction" << click << true << QStringList{adamov, brno, kurim};
        QTest::newRow("sort, Ctrl+S") << "sortListAction" << QKeySequence(u"Ctrl+S"_qs) << true
                                      << QStringList{adamov, brno, kurim};
        QTest::newRow("delete, Delete") << "deleteWaypointAction" << QKeySequence(Qt::Key_Delete) << false
                                        << QStringList{brno, kurim};
        QTest::newRow("import, click") << "importListAction" << click << true << QStringList{u"X"_qs, u"Y"_qs};
        QTest::newRow("import, Ctrl+O") << "importListAction" << QKeySequence(u"Ctrl+O"_qs) << false
                                        << QStringList{u"X"_qs, u"Y"_qs};
        QTest::newRow("export, click") << "exportListAction" << click << true << QStringList{brno, adamov, kurim};
        QTest::newRow("export, Ctrl+E") << "exportListAction" << QKeySequence(u"Ctrl+E"_qs) << false
                                        << QStringList{brno, tisnov, kurim};
        QTest::newRow("new, Insert") << "newWaypointAction" << QKeySequence(Qt::Key_Insert) << false
                                     << QStringList{brno, tisnov, kurim, u"Vranov"_qs};
    }
    void toolsTakeTheTypedName()
    {
        QFETCH(QString, tool);
        QFETCH(QKeySequence, key);
        QFETCH(bool, typing);
        QFETCH(QStringList, list);
        putFile(file(u"two.txt"_qs), "X\r\nY\r\n");
        const QString exported = file(u"out.tvb"_qs);
        edit([&](WaypointEditor *d) {
            auto *action = d->findChild<QAction *>(tool);
            const QMap<QString, QString> tips = {{u"newWaypointAction"_qs, u"Nový bod (Insert)"_qs},
                                                 {u"deleteWaypointAction"_qs, u"Smazat bod (Delete)"_qs},
                                                 {u"exportListAction"_qs, u"Export seznamu (Ctrl+E)"_qs},
                                                 {u"importListAction"_qs, u"Import seznamu (Ctrl+O)"_qs},
                                                 {u"sortListAction"_qs, u"Seřadit seznam (Ctrl+S)"_qs}};
            QCOMPARE(d->waypointToolBar->widgetForAction(action)->toolTip(), tips[tool]);
            QTRY_COMPARE(QApplication::activeWindow(), d);
            clickRow(d->waypointTable, d->waypointList()->index(1, 0));
            if (typing) {
                QTest::keyClick(d->waypointTable, 'A');
                auto *cell = d->waypointTable->viewport()->findChild<QLineEdit *>();
                QVERIFY(cell && cell->hasFocus());
                QTest::keyClicks(cell, "damov");
            }
            if (tool == u"newWaypointAction") {
                onModal<QInputDialog>([](QInputDialog *input) {
                    input->findChild<QLineEdit *>()->insert(u"Vranov"_qs);
                    input->accept();
                });
            } else if (tool != u"sortListAction" && tool != u"deleteWaypointAction") {
                answerFileDialog(tool == u"importListAction" ? file(u"two.txt"_qs) : exported);
            }
            if (key.isEmpty())
                clickTool(d, action);
            else
                QTest::keySequence(QApplication::focusWidget(), key);
            QTRY_VERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == d);
            QCOMPARE(d->waypointList()->columnTexts(0), list);
            for (QLineEdit *cell : d->waypointTable->viewport()->findChildren<QLineEdit *>())
                QVERIFY(!cell->isVisible());
            d->close();
        });
        if (tool == u"exportListAction")
            QCOMPARE(fileBytes(exported), AnsiFile::encode(list.join(u"\r\n"_qs) + u"\r\n"_qs));
        QCOMPARE(fileBytes(file(u"default.tvb"_qs)), AnsiFile::encode(list.join(u"\r\n"_qs) + u"\r\n"_qs));
    }

    // In an open in-place editor Delete and Esc are the editor's; outside
    // it Esc closes the window like its close box.
    void keysInAndOutOfTheEditor()
    {
        edit([&](WaypointEditor *d) {
            QTRY_COMPARE(QApplication::activeWindow(), d);
            clickRow(d->waypointTable, d->waypointList()->index(1, 0));
            QTest::keyClick(d->waypointTable, 'A');
            auto *cell = d->waypointTable->viewport()->findChild<QLineEdit *>();
            QVERIFY(cell);
            QTest::keyClicks(cell, "damov");
            QTest::keyClick(cell, Qt::Key_Home);
            QTest::keyClick(cell, Qt::Key_Delete);
            QCOMPARE(cell->text(), u"damov"_qs);
            QCOMPARE(d->waypointList()->tableRowCount(), 3);
            QTest::keyClick(cell, Qt::Key_Escape);
            QVERIFY(d->isVisible());
            QCOMPARE(d->waypointList()->columnTexts(0), (QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Kuřim"_qs}));
            QTest::keyClick(d->waypointTable, Qt::Key_Delete);
            // Delete in the course list removes no waypoint.
            QTest::mouseClick(d->addButton, Qt::LeftButton);
            clickRow(d->courseList, d->courseList->model()->index(3, 0));
            QTest::keyClick(d->courseList, Qt::Key_Delete);
            QCOMPARE(d->waypointList()->columnTexts(0), (QStringList{u"Brno"_qs, u"Kuřim"_qs}));
            QTest::keyClick(d->courseList, Qt::Key_Escape);
            QVERIFY(!d->isVisible());
        });
        // Closed like the close box: the course stays, the list is saved.
        QCOMPARE(w->courseEdit->text(), kCourse);
        QCOMPARE(fileBytes(file(u"default.tvb"_qs)), QByteArray("Brno\r\nKu\xf8im\r\n"));
    }

    void importAndExport()
    {
        putFile(file(u"three.txt"_qs), "X\r\n\r\nY");
        const QString missing = file(u"nothing/here.tvb"_qs);
        edit([&](WaypointEditor *d) {
            QCOMPARE(d->importDialog->nameFilters(),
                     (QStringList{u"Seznam bodů pro Trasovník (*.tvb)"_qs, u"Textové soubory (*.txt)"_qs}));
            // The folders of earlier tests are gone: the dialogs start at
            // home, then where a list was last written or read.
            QString startedIn;
            answerFileDialog(file(u"copy"_qs), &startedIn);
            clickTool(d, d->exportListAction);
            QCOMPARE(startedIn, QDir::homePath());
            answerFileDialog(missing);
            clickTool(d, d->exportListAction);
            answerFileDialog(file(u"absent.tvb"_qs), &startedIn);
            clickTool(d, d->importListAction);
            QCOMPARE(startedIn, m_dir->path());
            QCOMPARE(d->waypointList()->tableRowCount(), 3);
            answerFileDialog(file(u"three.txt"_qs));
            clickTool(d, d->importListAction);
            QCOMPARE(d->waypointList()->columnTexts(0), (QStringList{u"X"_qs, QString(), u"Y"_qs}));
            answerFileDialog(QString());
            clickTool(d, d->importListAction);
            QCOMPARE(d->waypointList()->tableRowCount(), 3);
            d->close();
        });
        QCOMPARE(fileBytes(file(u"copy.tvb"_qs)), kList);
        QCOMPARE(msgs->texts(), (QStringList{u"Cannot create file "_qs + missing,
                                             u"Cannot open file "_qs + file(u"absent.tvb"_qs)}));
        QCOMPARE(fileBytes(file(u"default.tvb"_qs)), QByteArray("X\r\n\r\nY\r\n"));
    }

    void listCannotBeSaved_data()
    {
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QByteArray>("saved");
        // Keep the window open, then try again once the way is clear.
        QTest::newRow("stay, then retry") << QList<int>{2, 0} << QByteArray("Ti\x9anov\r\nKu\xf8im\r\n");
        QTest::newRow("close anyway") << QList<int>{1} << QByteArray("<missing>");
    }
    void listCannotBeSaved()
    {
        QFETCH(QList<int>, answers);
        QFETCH(QByteArray, saved);
        const QString path = file(u"default.tvb"_qs);
        edit([&](WaypointEditor *d) {
            clickTool(d, d->deleteWaypointAction);
            // Something in the way of the file.
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir().mkpath(path + u"/x"_qs));
            msgs->answers = answers;
            msgs->onQuestion = [&] {
                if (msgs->answers == QList<int>{0})
                    QDir(path).removeRecursively();
            };
            QTest::mouseClick(d->doneButton, Qt::LeftButton);
            if (answers.first() == 2) {
                QVERIFY(d->isVisible());
                QTest::mouseClick(d->doneButton, Qt::LeftButton);
            }
            QVERIFY(!d->isVisible());
        });
        QVERIFY(msgs->texts().contains(u"Cannot create file "_qs + path));
        QCOMPARE(msgs->questionButtons, (QStringList{u"Zkusit znovu"_qs, u"Zavřít bez uložení"_qs,
                                                      u"Ponechat okno otevřené"_qs}));
        QCOMPARE(QFileInfo(path).isDir() ? QByteArray("<missing>") : fileBytes(path), saved);
        // "OK" has put the course back either way.
        QCOMPARE(course(), kCourse);
    }

    void unreadableListAndSettings()
    {
        // default.tvb that cannot be read, store.ini that cannot be written.
        const QString path = file(u"default.tvb"_qs);
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkpath(path + u"/keep"_qs));
        QVERIFY(QDir().mkpath(file(u"store.ini/x"_qs)));
        edit([&](WaypointEditor *d) {
            QTRY_COMPARE(msgs->shown.size(), 1);
            QVERIFY(msgs->texts().first().startsWith(u"Cannot open file "_qs + path));
            QCOMPARE(d->courseEntries().size(), 3);
            QTest::mouseClick(d->doneButton, Qt::LeftButton);
        });
        // Unchanged list: nothing to ask, nothing written over.
        QVERIFY(msgs->questions.isEmpty());
        QCOMPARE(course(), kCourse);
        QVERIFY(msgs->texts().contains(u"Unable to write to "_qs + file(u"store.ini"_qs)));
        edit([&](WaypointEditor *d) {
            onModal<QInputDialog>([](QInputDialog *input) {
                input->findChild<QLineEdit *>()->insert(u"Vranov"_qs);
                input->accept();
            });
            clickTool(d, d->newWaypointAction);
            msgs->answers = {1};
            d->close();
            QVERIFY(d->isVisible());
            msgs->answers = {0};
            d->close();
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(msgs->questions.size(), 2);
        QVERIFY(QFileInfo(path + u"/keep"_qs).isDir());
        QCOMPARE(w->courseEdit->text(), kCourse);
    }

    void panelWidthIsKept()
    {
        edit([&](WaypointEditor *d) {
            const QPoint grip = d->splitter->rect().center();
            QTest::mousePress(d->splitter, Qt::LeftButton, {}, grip);
            QTest::mouseMove(d->splitter, grip + QPoint(40, 0));
            QTest::mouseRelease(d->splitter, Qt::LeftButton, {}, grip + QPoint(40, 0));
            QTRY_COMPARE(d->waypointPanel->width(), 192);
            QTRY_COMPARE(d->waypointList()->columnWidth(0), d->waypointTable->viewport()->width());
            d->resize(500, 300);
            d->close();
        });
        QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("Panel1_Width=192\r\n"));
        edit([&](WaypointEditor *d) {
            QCOMPARE(d->size(), QSize(500, 300));
            QCOMPARE(d->waypointPanel->width(), 192);
            QCOMPARE(d->waypointList()->columnWidth(0), d->waypointTable->viewport()->width());
            d->close();
        });
    }
};

QTEST_MAIN(TestWaypointEditor)
#include "tst_waypointeditor.moc"
