#include "AnsiFile.h"
#include "MessageRecorder.h"
#include "Modal.h"
#include "RideLogFile.h"
#include "TFormStorage.h"
#include "TPubSortStrGrid.h"
#include "TPubStrGrid.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "Unit1.h"
#include "UnitEdit.h"
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
void clickTool(TFormEdit *d, QAction *tool)
{
    QTest::mouseClick(d->ToolBar1->widgetForAction(tool), Qt::LeftButton);
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
    std::unique_ptr<TForm1> w;

    QString file(const QString &name) const { return m_dir->filePath(name); }
    QString course() const { return w->rideLog()->Cells(2, 1); }

    // Opens the editor with the button, runs `act` in it and waits until
    // it is closed; a failed check inside still closes it.
    void edit(std::function<void(TFormEdit *)> act)
    {
        bool ran = false;
        onModal<TFormEdit>([&](TFormEdit *d) {
            ran = true;
            act(d);
            if (d->isVisible())
                d->QDialog::done(0);
        });
        QTest::mouseClick(w->Btn_edittrasa, Qt::LeftButton);
        QVERIFY(ran);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        msgs = std::make_unique<MessageRecorder>();
        putFile(file(u"default.tvl"_qs), rideLogFile({{u"3.5.2005"_qs, u"Okruh"_qs, kCourse, u"42"_qs}}));
        putFile(file(u"default.tvb"_qs), kList);
        w = std::make_unique<TForm1>(m_dir->path());
        w->resize(720, 490);
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QCOMPARE(w->Edit_Trasa->text(), kCourse);
    }
    void cleanup()
    {
        w.reset();
        msgs.reset();
    }

    void openingAndOk()
    {
        QVERIFY(w->Btn_edittrasa->isEnabled());
        edit([&](TFormEdit *d) {
            QCOMPARE(d->windowTitle(), u"Editace trasy"_qs);
            QCOMPARE(d->size(), QSize(433, 244));
            QVERIFY((d->geometry().center() - w->geometry().center()).manhattanLength() < 4);
            QCOMPARE(d->Panel1->width(), 152);
            QCOMPARE(d->waypointList()->Cols(0), (QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Kuřim"_qs}));
            QTRY_COMPARE(d->waypointList()->ColWidths(0), d->pbse->viewport()->width());
            QCOMPARE(d->courseEntries(), (QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Nedvědice"_qs}));
            QCOMPARE(d->selectedCourseEntry(), -1);
            QTest::mouseClick(d->btn_hotovo, Qt::LeftButton);
        });
        QCOMPARE(w->Edit_Trasa->text(), kCourse);
        QCOMPARE(course(), kCourse);
        QVERIFY(msgs->shown.isEmpty());
        // Closing saved the list and the placement.
        QCOMPARE(fileBytes(file(u"default.tvb"_qs)), kList);
        QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("[formEdit]\r\n"));
        QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("Panel1_Width=152\r\n"));
    }

    void composeCourse()
    {
        edit([&](TFormEdit *d) {
            TPubStrGrid *list = d->waypointList();
            // With "Tišnov" selected, "Kuřim" goes before it and the
            // selection is gone: the next one goes to the end.
            clickRow(d->lb, d->lb->model()->index(1, 0));
            clickRow(d->pbse, list->index(2, 0));
            QTest::mouseClick(d->btn_Pridat, Qt::LeftButton);
            QCOMPARE(d->selectedCourseEntry(), -1);
            QTest::mouseClick(d->btn_Pridat, Qt::LeftButton);
            // On the current row, too: a double click does not edit.
            clickRow(d->pbse, list->index(0, 0));
            clickRow(d->pbse, list->index(0, 0), true);
            QTest::qWait(QApplication::doubleClickInterval() + 100);
            QVERIFY(!d->pbse->viewport()->findChild<QLineEdit *>());
            QCOMPARE(d->courseEntries(),
                     (QStringList{u"Brno"_qs, u"Kuřim"_qs, u"Tišnov"_qs, u"Nedvědice"_qs, u"Kuřim"_qs, u"Brno"_qs}));
            // Removing the last entry leaves nothing selected; another
            // selects the entry that took its place.
            clickRow(d->lb, d->lb->model()->index(5, 0));
            QTest::mouseClick(d->btn_odebrat, Qt::LeftButton);
            QCOMPARE(d->selectedCourseEntry(), -1);
            QTest::mouseClick(d->btn_odebrat, Qt::LeftButton);
            QCOMPARE(d->lb->count(), 5);
            clickRow(d->lb, d->lb->model()->index(1, 0));
            QTest::mouseClick(d->btn_odebrat, Qt::LeftButton);
            QCOMPARE(d->selectedCourseEntry(), 1);
            // Enter does not close the window.
            QTest::keyClick(d->lb, Qt::Key_Return);
            QVERIFY(d->isVisible());
            QTest::mouseClick(d->btn_hotovo, Qt::LeftButton);
        });
        const QString joined = u"Brno - Tišnov - Nedvědice - Kuřim"_qs;
        QCOMPARE(w->Edit_Trasa->text(), joined);
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
        edit([&](TFormEdit *d) {
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
            clickTool(d, d->tb_novy);
            QCOMPARE(label, u"Nový průjezdní bod| Zadej nový průjezdní bod:"_qs);
            QCOMPARE(d->waypointList()->Cols(0), list);
            if (shown.isEmpty() && !typed.isNull())
                QCOMPARE(d->pbse->Row(), int(list.size()) - 1);
            // The close box: the course stays, the list is saved.
            d->close();
        });
        QCOMPARE(msgs->texts(), shown);
        QCOMPARE(fileBytes(this->file(u"default.tvb"_qs)), saved);
        QCOMPARE(w->Edit_Trasa->text(), kCourse);
    }

    void deleteAndSort()
    {
        putFile(file(u"default.tvb"_qs), "b\r\nC\r\na\r\nD\r\n");
        edit([&](TFormEdit *d) {
            TPubStrGrid *list = d->waypointList();
            clickTool(d, d->tb_seradit);
            QCOMPARE(list->Cols(0), (QStringList{u"a"_qs, u"b"_qs, u"C"_qs, u"D"_qs}));
            clickTool(d, d->tb_seradit);
            QCOMPARE(list->Cols(0), (QStringList{u"D"_qs, u"C"_qs, u"b"_qs, u"a"_qs}));
            // The current row is dragged down by the mouse.
            clickRow(d->pbse, list->index(0, 0));
            const QPoint from = d->pbse->visualRect(list->index(0, 0)).center();
            QTest::mousePress(d->pbse->viewport(), Qt::LeftButton, {}, from);
            QTest::mouseMove(d->pbse->viewport(), from + QPoint(0, 10));
            QTest::mouseMove(d->pbse->viewport(), d->pbse->visualRect(list->index(2, 0)).center());
            QTest::mouseRelease(d->pbse->viewport(), Qt::LeftButton, {}, d->pbse->visualRect(list->index(2, 0)).center());
            QCOMPARE(list->Cols(0), (QStringList{u"C"_qs, u"b"_qs, u"D"_qs, u"a"_qs}));
            QCOMPARE(d->pbse->Row(), 2);
            for (int i = 0; i < 4; ++i)
                clickTool(d, d->tb_smazat);
            QCOMPARE(list->RowCount(), 1);
            QCOMPARE(list->Cols(0), QStringList{QString()});
            // One row: nothing to sort, yet the direction flips.
            QCOMPARE(d->PbSort->SortDirection(), TPubSortStrGrid::Ascending);
            clickTool(d, d->tb_seradit);
            QCOMPARE(d->PbSort->SortDirection(), TPubSortStrGrid::Descending);
            // Typing edits the cell in place; closing takes what is typed.
            QTest::keyClick(d->pbse, Qt::Key_L);
            auto *cell = d->pbse->viewport()->findChild<QLineEdit *>();
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
        QTest::newRow("sort, click") << "tb_seradit" << click << true << QStringList{adamov, brno, kurim};
        QTest::newRow("sort, Ctrl+S") << "tb_seradit" << QKeySequence(u"Ctrl+S"_qs) << true
                                      << QStringList{adamov, brno, kurim};
        QTest::newRow("delete, Delete") << "tb_smazat" << QKeySequence(Qt::Key_Delete) << false
                                        << QStringList{brno, kurim};
        QTest::newRow("import, click") << "tb_import" << click << true << QStringList{u"X"_qs, u"Y"_qs};
        QTest::newRow("import, Ctrl+O") << "tb_import" << QKeySequence(u"Ctrl+O"_qs) << false
                                        << QStringList{u"X"_qs, u"Y"_qs};
        QTest::newRow("export, click") << "tb_export" << click << true << QStringList{brno, adamov, kurim};
        QTest::newRow("export, Ctrl+E") << "tb_export" << QKeySequence(u"Ctrl+E"_qs) << false
                                        << QStringList{brno, tisnov, kurim};
        QTest::newRow("new, Insert") << "tb_novy" << QKeySequence(Qt::Key_Insert) << false
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
        edit([&](TFormEdit *d) {
            auto *action = d->findChild<QAction *>(tool);
            const QMap<QString, QString> tips = {{u"tb_novy"_qs, u"Nový bod (Insert)"_qs},
                                                 {u"tb_smazat"_qs, u"Smazat bod (Delete)"_qs},
                                                 {u"tb_export"_qs, u"Export seznamu (Ctrl+E)"_qs},
                                                 {u"tb_import"_qs, u"Import seznamu (Ctrl+O)"_qs},
                                                 {u"tb_seradit"_qs, u"Seřadit seznam (Ctrl+S)"_qs}};
            QCOMPARE(d->ToolBar1->widgetForAction(action)->toolTip(), tips[tool]);
            QTRY_COMPARE(QApplication::activeWindow(), d);
            clickRow(d->pbse, d->waypointList()->index(1, 0));
            if (typing) {
                QTest::keyClick(d->pbse, 'A');
                auto *cell = d->pbse->viewport()->findChild<QLineEdit *>();
                QVERIFY(cell && cell->hasFocus());
                QTest::keyClicks(cell, "damov");
            }
            if (tool == u"tb_novy") {
                onModal<QInputDialog>([](QInputDialog *input) {
                    input->findChild<QLineEdit *>()->insert(u"Vranov"_qs);
                    input->accept();
                });
            } else if (tool != u"tb_seradit" && tool != u"tb_smazat") {
                answerFileDialog(tool == u"tb_import" ? file(u"two.txt"_qs) : exported);
            }
            if (key.isEmpty())
                clickTool(d, action);
            else
                QTest::keySequence(QApplication::focusWidget(), key);
            QTRY_VERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == d);
            QCOMPARE(d->waypointList()->Cols(0), list);
            for (QLineEdit *cell : d->pbse->viewport()->findChildren<QLineEdit *>())
                QVERIFY(!cell->isVisible());
            d->close();
        });
        if (tool == u"tb_export")
            QCOMPARE(fileBytes(exported), AnsiFile::encode(list.join(u"\r\n"_qs) + u"\r\n"_qs));
        QCOMPARE(fileBytes(file(u"default.tvb"_qs)), AnsiFile::encode(list.join(u"\r\n"_qs) + u"\r\n"_qs));
    }

    // In an open in-place editor Delete and Esc are the editor's; outside
    // it Esc closes the window like its close box.
    void keysInAndOutOfTheEditor()
    {
        edit([&](TFormEdit *d) {
            QTRY_COMPARE(QApplication::activeWindow(), d);
            clickRow(d->pbse, d->waypointList()->index(1, 0));
            QTest::keyClick(d->pbse, 'A');
            auto *cell = d->pbse->viewport()->findChild<QLineEdit *>();
            QVERIFY(cell);
            QTest::keyClicks(cell, "damov");
            QTest::keyClick(cell, Qt::Key_Home);
            QTest::keyClick(cell, Qt::Key_Delete);
            QCOMPARE(cell->text(), u"damov"_qs);
            QCOMPARE(d->waypointList()->RowCount(), 3);
            QTest::keyClick(cell, Qt::Key_Escape);
            QVERIFY(d->isVisible());
            QCOMPARE(d->waypointList()->Cols(0), (QStringList{u"Brno"_qs, u"Tišnov"_qs, u"Kuřim"_qs}));
            QTest::keyClick(d->pbse, Qt::Key_Delete);
            // Delete in the course list removes no waypoint.
            QTest::mouseClick(d->btn_Pridat, Qt::LeftButton);
            clickRow(d->lb, d->lb->model()->index(3, 0));
            QTest::keyClick(d->lb, Qt::Key_Delete);
            QCOMPARE(d->waypointList()->Cols(0), (QStringList{u"Brno"_qs, u"Kuřim"_qs}));
            QTest::keyClick(d->lb, Qt::Key_Escape);
            QVERIFY(!d->isVisible());
        });
        // Closed like the close box: the course stays, the list is saved.
        QCOMPARE(w->Edit_Trasa->text(), kCourse);
        QCOMPARE(fileBytes(file(u"default.tvb"_qs)), QByteArray("Brno\r\nKu\xf8im\r\n"));
    }

    void importAndExport()
    {
        putFile(file(u"three.txt"_qs), "X\r\n\r\nY");
        const QString missing = file(u"nothing/here.tvb"_qs);
        edit([&](TFormEdit *d) {
            QCOMPARE(d->OpenDialog1->nameFilters(),
                     (QStringList{u"Seznam bodů pro Trasovník (*.tvb)"_qs, u"Textové soubory (*.txt)"_qs}));
            // The folders of earlier tests are gone: the dialogs start at
            // home, then where a list was last written or read.
            QString startedIn;
            answerFileDialog(file(u"copy"_qs), &startedIn);
            clickTool(d, d->tb_export);
            QCOMPARE(startedIn, QDir::homePath());
            answerFileDialog(missing);
            clickTool(d, d->tb_export);
            answerFileDialog(file(u"absent.tvb"_qs), &startedIn);
            clickTool(d, d->tb_import);
            QCOMPARE(startedIn, m_dir->path());
            QCOMPARE(d->waypointList()->RowCount(), 3);
            answerFileDialog(file(u"three.txt"_qs));
            clickTool(d, d->tb_import);
            QCOMPARE(d->waypointList()->Cols(0), (QStringList{u"X"_qs, QString(), u"Y"_qs}));
            answerFileDialog(QString());
            clickTool(d, d->tb_import);
            QCOMPARE(d->waypointList()->RowCount(), 3);
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
        edit([&](TFormEdit *d) {
            clickTool(d, d->tb_smazat);
            // Something in the way of the file.
            QVERIFY(QFile::remove(path));
            QVERIFY(QDir().mkpath(path + u"/x"_qs));
            msgs->answers = answers;
            msgs->onQuestion = [&] {
                if (msgs->answers == QList<int>{0})
                    QDir(path).removeRecursively();
            };
            QTest::mouseClick(d->btn_hotovo, Qt::LeftButton);
            if (answers.first() == 2) {
                QVERIFY(d->isVisible());
                QTest::mouseClick(d->btn_hotovo, Qt::LeftButton);
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
        edit([&](TFormEdit *d) {
            QTRY_COMPARE(msgs->shown.size(), 1);
            QVERIFY(msgs->texts().first().startsWith(u"Cannot open file "_qs + path));
            QCOMPARE(d->courseEntries().size(), 3);
            QTest::mouseClick(d->btn_hotovo, Qt::LeftButton);
        });
        // Unchanged list: nothing to ask, nothing written over.
        QVERIFY(msgs->questions.isEmpty());
        QCOMPARE(course(), kCourse);
        QVERIFY(msgs->texts().contains(u"Unable to write to "_qs + file(u"store.ini"_qs)));
        edit([&](TFormEdit *d) {
            onModal<QInputDialog>([](QInputDialog *input) {
                input->findChild<QLineEdit *>()->insert(u"Vranov"_qs);
                input->accept();
            });
            clickTool(d, d->tb_novy);
            msgs->answers = {1};
            d->close();
            QVERIFY(d->isVisible());
            msgs->answers = {0};
            d->close();
            QVERIFY(!d->isVisible());
        });
        QCOMPARE(msgs->questions.size(), 2);
        QVERIFY(QFileInfo(path + u"/keep"_qs).isDir());
        QCOMPARE(w->Edit_Trasa->text(), kCourse);
    }

    void panelWidthIsKept()
    {
        edit([&](TFormEdit *d) {
            const QPoint grip = d->Splitter1->rect().center();
            QTest::mousePress(d->Splitter1, Qt::LeftButton, {}, grip);
            QTest::mouseMove(d->Splitter1, grip + QPoint(40, 0));
            QTest::mouseRelease(d->Splitter1, Qt::LeftButton, {}, grip + QPoint(40, 0));
            QTRY_COMPARE(d->Panel1->width(), 192);
            QTRY_COMPARE(d->waypointList()->ColWidths(0), d->pbse->viewport()->width());
            d->resize(500, 300);
            d->close();
        });
        QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("Panel1_Width=192\r\n"));
        edit([&](TFormEdit *d) {
            QCOMPARE(d->size(), QSize(500, 300));
            QCOMPARE(d->Panel1->width(), 192);
            QCOMPARE(d->waypointList()->ColWidths(0), d->pbse->viewport()->width());
            d->close();
        });
    }
};

QTEST_MAIN(TestWaypointEditor)
#include "tst_waypointeditor.moc"
