#include "AnsiFile.h"
#include "CsvFile.h"
#include "FontColorDialog.h"
#include "HtmlPage.h"
#include "MessageRecorder.h"
#include "Modal.h"
#include "RideLogFile.h"
#include "SpinEdit.h"
#include "StatisticsWindow.h"
#include "StringTable.h"
#include "TableFile.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "MainWindow.h"
#include "ExportWindow.h"
#include "ExportWindowLoader.h"
#include "WebEngineSetup.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QtTest>

#include <functional>
#include <memory>

#include <csignal>
#include <sys/stat.h>

namespace {
const QStringList kRide = {u"3.5.2005"_qs, u"Brno <-> Praha"_qs, u"Lhota - Ves - Hora - Brod - Les - Lhota"_qs,
                           u"42,5"_qs, u"01:55"_qs, u"22,2"_qs, u"3"_qs};

QString text(const QByteArray &cp1250)
{
    return AnsiFile::decode(cp1250);
}
} // namespace

class TestExportWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MessageRecorder> msgs;
    std::unique_ptr<StringTable> log;
    HtmlSettings settings;
    std::unique_ptr<ExportWindow> w;

    QString file(const QString &name) const { return m_dir->filePath(name); }
    QString page() const { return text(fileBytes(file(u"temp.html"_qs))); }
    QStringList pageLines() const { return page().split(u"\r\n"_qs); }
    // The page once typing has paused.
    QStringList settledLines()
    {
        if (!QTest::qWaitFor([this] { return !w->isRebuildPending(); }))
            return {};
        return pageLines();
    }

    // Opens the window on the ride log and waits for the preview.
    void open()
    {
        w = std::make_unique<ExportWindow>(*log, settings, ProgramFolder::Location::inFolder(m_dir->path()));
        QSignalSpy loaded(w->preview, &QWebEngineView::loadFinished);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(loaded.wait(20000));
    }
    void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2)); }
    // What the preview shows as text.
    QString shownText()
    {
        QString shown;
        w->preview->page()->toPlainText([&](const QString &t) { shown = t; });
        return QTest::qWaitFor([&] { return !shown.isEmpty(); }, 20000) ? shown : QString();
    }
    // "Tisk" into a PDF file; true when the print ended well.
    bool printToPdf(const QString &pdf)
    {
        w->printer()->setOutputFormat(QPrinter::PdfFormat);
        w->printer()->setOutputFileName(pdf);
        QSignalSpy finished(w.get(), &ExportWindow::printingFinished);
        onModal<QPrintDialog>([](QPrintDialog *d) { d->accept(); });
        click(w->printButton);
        return finished.wait(60000) && finished.first().first().toBool();
    }
    void answerSaveDialog(const QString &path)
    {
        onModal<QFileDialog>([path](QFileDialog *d) {
            enterFileName(d, path);
        });
    }

private slots:
    void initTestCase() { QVERIFY(QFile::exists(u"/usr/bin/pdftotext"_qs)); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        msgs = std::make_unique<MessageRecorder>();
        log = std::make_unique<StringTable>();
        TableFile::read(*log, rideLogFile({kRide, {u"4.5.2005"_qs, u"Okruh"_qs}}));
        settings = HtmlSettings();
    }
    void cleanup()
    {
        w.reset();
        log.reset();
        msgs.reset();
        m_dir.reset();
    }

    void openedFromTheMenu_data()
    {
        QTest::addColumn<bool>("byMouse");
        QTest::newRow("Alt+Z") << false;
        QTest::newRow("mouse") << true;
    }
    void openedFromTheMenu()
    {
        QFETCH(bool, byMouse);
        TestLocale czech;
        putFile(file(u"default.tvl"_qs), rideLogFile({kRide}));
        putFile(file(u"store.ini"_qs), "[HtmlSet]\r\nBorderSize=25\r\nTitle=Moje j\xedzdy\r\n");
        MainWindow main(m_dir->path());
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QString border, title, pageTitle;
        bool loaded = false;
        onModal<ExportWindow>([&](ExportWindow *d) {
            QSignalSpy spy(d->preview, &QWebEngineView::loadFinished);
            loaded = spy.wait(20000);
            border = d->borderSizeBox->text();
            title = d->titleEdit->text();
            pageTitle = d->preview->title();
            click(d->closeButton);
        });
        if (byMouse) {
            QMenuBar *bar = main.menuBar();
            QAction *zaznamy = bar->actions().first();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(zaznamy).center());
            QTRY_VERIFY(zaznamy->menu()->isVisible());
            QTest::mouseClick(zaznamy->menu(), Qt::LeftButton, {},
                              zaznamy->menu()->actionGeometry(main.exportHtmlAction).center());
        } else {
            QTest::keyClick(&main, Qt::Key_Z, Qt::AltModifier);
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            for (int i = 0; i < menu->actions().size() && menu->activeAction() != main.exportHtmlAction; ++i)
                QTest::keyClick(menu, Qt::Key_Down);
            QCOMPARE(menu->activeAction(), main.exportHtmlAction);
            QTest::keyClick(menu, Qt::Key_Return);
        }
        QTRY_VERIFY(!theExportWindow);
        QVERIFY(loaded);
        QCOMPARE(border, u"10"_qs);
        QCOMPARE(title, u"Moje jízdy"_qs);
        QCOMPARE(pageTitle, u"Moje jízdy"_qs);
        QVERIFY(page().contains(u"<td nowrap>Brno &lt;-&gt; Praha</td>"_qs));
        QVERIFY(page().contains(u"border-top:10px solid #000000;"_qs));
        QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("\r\nBorderSize=10\r\n"));
    }

    void controlsRebuildThePage()
    {
        open();
        QTest::keyClick(w->titleEdit, Qt::Key_End);
        QTest::keyClicks(w->titleEdit, " & <B>");
        // What store.ini could not hold is left out as it is typed.
        w->titleEdit->insert(u"Ж"_qs);
        // Keys handled in one pass make one page, built after them.
        QVERIFY(w->isRebuildPending());
        QCOMPARE(pageLines()[1], u"<HTML><head><TITLE>Trasovník HTML výstup</TITLE>"_qs);
        QCOMPARE(settledLines()[1], u"<HTML><head><TITLE>Trasovník HTML výstup &amp; &lt;B&gt;</TITLE>"_qs);

        const QString whole = u"<td>Lhota - Ves - Hora - Brod - Les - Lhota</td>"_qs;
        const QString cut = u"<td nowrap>Lhota - Ves - Hora - Brod - Les - Lh...</td>"_qs;
        QVERIFY(pageLines().contains(cut));
        click(w->cutTextsBox);
        QVERIFY(!w->cutLengthBox->isEnabled());
        QVERIFY(pageLines().contains(whole));
        click(w->cutTextsBox);
        QVERIFY(w->cutLengthBox->isEnabled());
        QVERIFY(pageLines().contains(cut));

        // An emptied length field counts as 0 until a number is typed.
        w->cutLengthBox->setFocus();
        QTest::keyClick(w->cutLengthBox, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w->cutLengthBox, Qt::Key_Delete);
        QCOMPARE(w->cutLengthBox->text(), QString());
        QVERIFY(settledLines().contains(u"<td nowrap>...</td>"_qs));
        QTest::keyClicks(w->cutLengthBox, "4");
        QVERIFY(settledLines().contains(u"<td nowrap>Lhot...</td>"_qs));

        // The border button hands its field the focus with the text selected.
        click(w->borderSizeButton);
        QVERIFY(w->borderSizeBox->hasFocus());
        QTest::keyClicks(w->borderSizeBox, "7");
        QCOMPARE(w->borderSizeBox->text(), u"7"_qs);
        QVERIFY(settledLines().contains(u"        border-left:7px solid #000000;"_qs));
        w->borderSizeBox->setTextValue(25);
        QCOMPARE(w->borderSizeBox->text(), u"10"_qs);
        QVERIFY(settledLines().contains(u"        border-left:10px solid #000000;"_qs));
    }

    // Each keystroke in a text or number field has its page built as soon
    // as the key is handled: no pause in typing, no waiting for the page
    // before to show. The preview ends on the last keystroke's page.
    void keystrokesRebuildAtOnce_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("shown");
        QTest::newRow("title") << u"titleEdit"_qs << QStringList{u"Roky"_qs, u" 2005"_qs}
                               << QStringList{u"<HTML><head><TITLE>Roky</TITLE>"_qs,
                                              u"<HTML><head><TITLE>Roky 2005</TITLE>"_qs}
                               << u"Roky 2005"_qs;
        QTest::newRow("cut length") << u"cutLengthBox"_qs << QStringList{u"4"_qs, u"0"_qs}
                                    << QStringList{u"<td nowrap>Lhot...</td>"_qs,
                                                   u"<td nowrap>Lhota - Ves - Hora - Brod - Les - Lhota</td>"_qs}
                                    << u"Lhota - Ves - Hora - Brod - Les - Lhota"_qs;
    }
    void keystrokesRebuildAtOnce()
    {
        QFETCH(QString, field);
        QFETCH(QStringList, keys);
        QFETCH(QStringList, lines);
        QFETCH(QString, shown);
        open();
        auto *edit = w->findChild<QWidget *>(field);
        QVERIFY(edit);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QSignalSpy loaded(w->preview, &QWebEngineView::loadFinished);
        for (int i = 0; i < keys.size(); ++i) {
            QTest::keyClicks(edit, keys[i]);
            QCoreApplication::processEvents();
            QVERIFY(!w->isRebuildPending());
            QVERIFY2(pageLines().contains(lines[i]), qPrintable(lines[i]));
        }
        QVERIFY(loaded.wait(20000));
        QVERIFY(shownText().contains(shown));
    }

    // A log longer than the preview: the preview shows the first rides and
    // says so; "Uložit" and "Tisk" take the whole page with the newest
    // settings, even before the page of the keys just typed is built.
    void longLogPreviewSaveAndPrint()
    {
        const int rides = ExportWindow::kPreviewRides + 100;
        QList<QStringList> rows;
        for (int i = 1; i <= rides; ++i)
            rows.append({u"1.1.2020"_qs, u"Jízda %1"_qs.arg(i)});
        TableFile::read(*log, rideLogFile(rows));
        open();
        QVERIFY(w->previewLabel->isVisible());
        QCOMPARE(w->previewLabel->text(), u"Náhled ukazuje prvních 500 z 600 jízd. Uložená a vytištěná stránka "
                                       "obsahuje všech 600 jízd."_qs);
        const QString shown = shownText();
        QVERIFY(shown.contains(u"Jízda 500"_qs) && !shown.contains(u"Jízda 501"_qs));

        QTest::keyClick(w->titleEdit, Qt::Key_End);
        QTest::keyClicks(w->titleEdit, " 2020");
        QVERIFY(w->isRebuildPending());
        answerSaveDialog(file(u"vse"_qs));
        click(w->saveButton);
        const QString saved = text(fileBytes(file(u"vse.htm"_qs)));
        QVERIFY(saved.contains(u"<TITLE>Trasovník HTML výstup 2020</TITLE>"_qs));
        QVERIFY(saved.contains(u"<td nowrap>Jízda 600</td>"_qs));
        // The preview has caught up.
        QVERIFY(!w->isRebuildPending());
        QCOMPARE(pageLines()[1], u"<HTML><head><TITLE>Trasovník HTML výstup 2020</TITLE>"_qs);

        QTest::keyClicks(w->titleEdit, "!");
        QVERIFY(printToPdf(file(u"vse.pdf"_qs)));
        QProcess p;
        p.start(u"pdftotext"_qs, {file(u"vse.pdf"_qs), u"-"_qs});
        QVERIFY(p.waitForFinished(20000));
        const QString printed = QString::fromUtf8(p.readAllStandardOutput());
        for (const QString &t : {u"Trasovník HTML výstup 2020!"_qs, u"Jízda 1\n"_qs, u"Jízda 600"_qs})
            QVERIFY2(printed.contains(t), qPrintable(t));
    }

    // The preview is never a grey or blank box without a word.
    void previewTroublesAreSaid()
    {
        // temp.html cannot be written: the page is shown all the same.
        QVERIFY(QDir().mkpath(file(u"temp.html/x"_qs)));
        open();
        QCOMPARE(w->previewLabel->text(), u"Soubor náhledu nelze zapsat (Unable to write to "_qs + file(u"temp.html"_qs)
                                           + u"). Náhled se zobrazuje z dočasného souboru."_qs);
        QVERIFY(w->previewLabel->isVisible());
        QCOMPARE(w->preview->title(), u"Trasovník HTML výstup"_qs);
        QVERIFY(shownText().contains(u"Brno <-> Praha"_qs));

        // The renderer ends (as when it runs out of memory): said, and the
        // page loaded again in a new one.
        QDir(file(u"temp.html"_qs)).removeRecursively();
        click(w->cutTextsBox);
        QTRY_VERIFY(!w->previewLabel->isVisible());
        const qint64 pid = w->preview->page()->renderProcessPid();
        QVERIFY(pid > 0);
        QSignalSpy loaded(w->preview, &QWebEngineView::loadFinished);
        QVERIFY(::kill(pid_t(pid), SIGKILL) == 0);
        QTRY_VERIFY(w->previewLabel->isVisible());
        QCOMPARE(w->previewLabel->text(),
                 u"Zobrazování náhledu selhalo (proces prohlížeče skončil). Náhled se načítá znovu."_qs);
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty() && loaded.last().first().toBool(), 20000);
        QVERIFY(w->preview->page()->renderProcessPid() != pid);
        QVERIFY(shownText().contains(u"Brno <-> Praha"_qs));
    }

    // Font names hold only what a CSS family name can: what is typed in the
    // font dialog and what store.ini holds.
    void fontNamesStayFamilyNames()
    {
        const QByteArray stored = "[HtmlSet]\r\nFontTitleName=Arial</STYLE><script>alert(1)</script>\r\n";
        putFile(file(u"store.ini"_qs), stored);
        open();
        QVERIFY(w->previewLabel->isVisible());
        // The file as it was is kept before the cleaned name is written.
        const QStringList kept = QDir(m_dir->path()).entryList({u"store-poskozeny-*.ini"_qs});
        QCOMPARE(kept.size(), 1);
        QCOMPARE(fileBytes(file(kept[0])), stored);
        QCOMPARE(w->previewLabel->text(), u"Název písma „Arial</STYLE><script>alert(1)</script>“ ze souboru store.ini "
                                       "obsahoval znaky, které název písma mít nemůže; byly vynechány. Původní "
                                       "soubor je uložen jako „"_qs + file(kept[0]) + u"“."_qs);
        QCOMPARE(pageLines()[9], u"        font-family: 'ArialSTYLEscriptalert1script';"_qs);

        QString typed;
        onModal<FontColorDialog>([&](FontColorDialog *d) {
            auto *family = d->findChild<QLineEdit *>(u"family"_qs);
            family->selectAll();
            QTest::keyClicks(family, "Liberation Serif</STYLE><script>");
            family->insert(u" Žluť Ж"_qs);
            typed = family->text();
            d->accept();
        });
        click(w->tableFontButton);
        QCOMPARE(typed, u"Liberation SerifSTYLEscript Žluť "_qs);
        QCOMPARE(pageLines()[15], u"        font-family: 'Liberation SerifSTYLEscript Žluť';"_qs);
        QVERIFY(!page().contains(u"<script>"_qs));
        click(w->closeButton);
        QVERIFY(!w->isVisible());
        QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("\r\nFontTableName=Liberation SerifSTYLEscript \x8elu\x9d\r\n"));
    }

    // Files the window writes get 0666 less the umask, as any program's do,
    // once the browser engine runs.
    void filesGetTheUsualPermissions_data()
    {
        QTest::addColumn<int>("mask");
        QTest::newRow("umask 022") << 022;
        QTest::newRow("umask 027") << 027;
    }
    void filesGetTheUsualPermissions()
    {
        QFETCH(int, mask);
        const mode_t before = ::umask(mode_t(mask));
        const auto restore = qScopeGuard([before] { ::umask(before); });
        open();
        answerSaveDialog(file(u"vystup"_qs));
        click(w->saveButton);
        QVERIFY(printToPdf(file(u"jizdy.pdf"_qs)));
        for (const QString &name : {u"temp.html"_qs, u"vystup.htm"_qs, u"jizdy.pdf"_qs}) {
            struct stat st = {};
            QVERIFY2(::stat(QFile::encodeName(file(name)).constData(), &st) == 0, qPrintable(name));
            QCOMPARE(int(st.st_mode & 0777), 0666 & ~mask);
        }
    }

    void resetAndFactory()
    {
        putFile(file(u"store.ini"_qs), "[TForm1]\r\nVisible=1\r\n[HtmlSet]\r\nTitle=Ulo\x9e" "eno\r\nusewrap=0\r\nBorderSize=3\r\n");
        open();
        QCOMPARE(w->titleEdit->text(), u"Uloženo"_qs);
        QVERIFY(!w->cutTextsBox->isChecked() && !w->cutLengthBox->isEnabled());
        QCOMPARE(w->borderSizeBox->text(), u"3"_qs);
        w->titleEdit->setText(u"Změna"_qs);
        click(w->originalLookButton);
        QCOMPARE(w->titleEdit->text(), u"Uloženo"_qs);

        click(w->factoryLookButton);
        QCOMPARE(fileBytes(file(u"store.ini"_qs)), QByteArray("[TForm1]\r\nVisible=1\r\n"));
        const auto isFactory = [this] {
            return w->titleEdit->text() == HtmlSettings().title && w->cutTextsBox->isChecked() &&
                   w->cutLengthBox->isEnabled() && w->cutLengthBox->text() == u"36" && w->borderSizeBox->text() == u"1";
        };
        QVERIFY(isFactory());
        QCOMPARE(fileBytes(file(u"temp.html"_qs)), HtmlPage::bytes(HtmlSettings(), *log));
        click(w->originalLookButton);
        QVERIFY(isFactory());
        click(w->closeButton);
        QVERIFY(!w->isVisible());
        QVERIFY(fileBytes(file(u"store.ini"_qs)).startsWith("[TForm1]\r\nVisible=1\r\n[HtmlSet]\r\nFontTableName=Arial\r\n"));
    }

    void everyWayOfClosingStores_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("Zavřít") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("Escape") << 2;
    }
    void everyWayOfClosingStores()
    {
        QFETCH(int, way);
        open();
        w->titleEdit->setText(u"Jízdy 2005"_qs);
        w->cutLengthBox->setTextValue(-5);
        if (way == 0)
            click(w->closeButton);
        else if (way == 1)
            w->close();
        else
            QTest::keyClick(w->titleEdit, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
        QVERIFY(fileBytes(file(u"store.ini"_qs)).endsWith("Title=J\xedzdy 2005\r\nusewrap=1\r\nzkraceni=-5\r\n"));

        // The next opening shows what this one stored.
        open();
        QCOMPARE(w->titleEdit->text(), u"Jízdy 2005"_qs);
        QCOMPARE(w->cutLengthBox->textValue(), -5);
    }

    void storeThatCannotBeWritten()
    {
        QVERIFY(QDir().mkdir(file(u"store.ini"_qs)));
        open();
        msgs->answers = {1};
        click(w->closeButton);
        QVERIFY(w->isVisible());
        QCOMPARE(msgs->texts(), QStringList{u"Unable to write to "_qs + file(u"store.ini"_qs)});
        QCOMPARE(msgs->questions.size(), 1);
        // Uložit stops before its dialog; Tovární hodnoty resets nothing.
        w->titleEdit->setText(u"X"_qs);
        click(w->saveButton);
        click(w->factoryLookButton);
        QCOMPARE(w->titleEdit->text(), u"X"_qs);
        QCOMPARE(msgs->shown.size(), 3);
        msgs->answers = {0};
        w->close();
        QVERIFY(!w->isVisible());
    }

    // "Export do CSV…" asks for a file and writes the whole ride log there;
    // a file that cannot be written is told and nothing is left behind.
    void csvFromTheMenu_data()
    {
        QTest::addColumn<bool>("byMouse");
        QTest::addColumn<bool>("writable");
        QTest::newRow("mouse") << true << true;
        QTest::newRow("Alt+Z") << false << true;
        QTest::newRow("unwritable folder") << false << false;
    }
    void csvFromTheMenu()
    {
        QFETCH(bool, byMouse);
        QFETCH(bool, writable);
        putFile(file(u"default.tvl"_qs), rideLogFile({kRide, {u"4.5.2005"_qs, u"Okruh; tam a zp\u011bt"_qs}}));
        MainWindow main(m_dir->path());
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        // The system's own /proc takes no new file, not even from root.
        const QString target = writable ? file(u"jizdy"_qs) : u"/proc/trasovnik-jizdy"_qs;
        QStringList filters;
        QString suffix;
        onModal<QFileDialog>([&](QFileDialog *d) {
            filters = d->nameFilters();
            suffix = d->defaultSuffix();
            enterFileName(d, target);
        });
        QMenuBar *bar = main.menuBar();
        QMenu *zaznamy = bar->actions().first()->menu();
        if (byMouse) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().first()).center());
            QTRY_VERIFY(zaznamy->isVisible());
            QTest::mouseClick(zaznamy, Qt::LeftButton, {}, zaznamy->actionGeometry(main.exportCsvAction).center());
        } else {
            QTest::keyClick(&main, Qt::Key_Z, Qt::AltModifier);
            QCOMPARE(QApplication::activePopupWidget(), zaznamy);
            for (int i = 0; i < zaznamy->actions().size() && zaznamy->activeAction() != main.exportCsvAction; ++i)
                QTest::keyClick(zaznamy, Qt::Key_Down);
            QCOMPARE(zaznamy->activeAction(), main.exportCsvAction);
            QTest::keyClick(zaznamy, Qt::Key_Return);
        }
        QTRY_VERIFY(!filters.isEmpty());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(filters, QStringList{u"CSV soubor (*.csv)"_qs});
        QCOMPARE(suffix, u"csv"_qs);
        if (writable) {
            QVERIFY(msgs->shown.isEmpty());
            // The status bar says where the file went.
            QVERIFY(main.messageBar->currentMessage().contains(target + u".csv"_qs));
            QCOMPARE(fileBytes(target + u".csv"_qs), CsvFile::bytes(*main.rideLog()));
            QVERIFY(fileBytes(target + u".csv"_qs).contains(";\"Okruh; tam a zp\xC4\x9Bt\";"));
        } else {
            QCOMPARE(msgs->texts(), QStringList{u"Cannot create file /proc/trasovnik-jizdy.csv"_qs});
            QVERIFY(!QFile::exists(target + u".csv"_qs));
        }
    }

    // Each kind of file has its save dialog start where a file of that kind
    // was last saved in this run, else in the home folder.
    void saveDialogsStartInTheLastFolder_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"htm", "csv", "png"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void saveDialogsStartInTheLastFolder()
    {
        QFETCH(QString, kind);
        putFile(file(u"default.tvl"_qs), rideLogFile({kRide}));
        MainWindow main(m_dir->path());
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        // Saves a new file of the kind in the folder and tells where its
        // dialog started.
        int saved = 0;
        const auto save = [&](const QString &kindToSave, const QString &folder) -> QString {
            QString started;
            const QString path = folder + u"/soubor"_qs + QString::number(++saved);
            onModal<QFileDialog>([&](QFileDialog *d) {
                started = d->directory().absolutePath();
                enterFileName(d, path);
            });
            if (kindToSave == u"htm") {
                open();
                click(w->saveButton);
                w->close();
            } else if (kindToSave == u"csv") {
                main.exportCsvAction->trigger();
            } else {
                onModal<StatisticsWindow>([&](StatisticsWindow *s) {
                    QTest::mouseClick(s->saveChartButton, Qt::LeftButton);
                    s->close();
                });
                main.findChild<QAction *>(u"statisticsAction"_qs)->trigger();
            }
            if (!QTest::qWaitFor([&] { return !started.isEmpty(); }))
                return u"<no dialog>"_qs;
            return QFile::exists(path + u'.' + kindToSave) ? started : u"<not saved>"_qs;
        };
        const QString first = file(u"prvni"_qs), second = file(u"druha"_qs);
        QVERIFY(QDir().mkdir(first) && QDir().mkdir(second));
        // Never used in this run, or its folder gone with an earlier test.
        QCOMPARE(save(kind, first), QDir::homePath());
        QCOMPARE(save(kind, second), first);
        QCOMPARE(save(kind, second), second);
        // Another kind keeps its own folder.
        const QString other = kind == u"csv" ? u"htm"_qs : u"csv"_qs;
        QVERIFY(save(other, first) != second);
    }

    void saveCopiesThePage()
    {
        open();
        const QString target = file(u"vystup"_qs);
        putFile(target + u".htm"_qs, "old");
        for (bool accept : {false, true}) {
            onModal<QFileDialog>([&](QFileDialog *d) {
                if (!accept)
                    return d->reject();
                enterFileName(d, target);
            });
            click(w->saveButton);
            // The settings are stored first, whether or not the page is saved.
            QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("[HtmlSet]\r\n"));
            QCOMPARE(fileBytes(target + u".htm"_qs), accept ? fileBytes(file(u"temp.html"_qs)) : QByteArray("old"));
        }
        QVERIFY(fileBytes(target + u".htm"_qs).endsWith("</center></body></html>\r\n"));
    }

    // With the rides a filter shows, the page holds those while the box is
    // checked (as it is at first), and the whole log when it is not.
    void onlyShownRides()
    {
        StringTable shown;
        TableFile::read(shown, rideLogFile({{u"9.9.2009"_qs, u"Jen tahle"_qs}}));
        open();
        QVERIFY(!w->onlyShownBox->isVisible());
        w->offerShownRides(&shown);
        QVERIFY(w->onlyShownBox->isVisible() && w->onlyShownBox->isChecked());
        QString lines = settledLines().join(u'\n');
        QVERIFY(lines.contains(u"Jen tahle"_qs) && !lines.contains(u"Okruh"_qs));
        click(w->onlyShownBox);
        lines = settledLines().join(u'\n');
        QVERIFY(!lines.contains(u"Jen tahle"_qs) && lines.contains(u"Okruh"_qs));
    }

    void fontAndColourDialogs()
    {
        open();
        onModal<FontColorDialog>([](FontColorDialog *d) {
            auto *family = d->findChild<QLineEdit *>(u"family"_qs);
            family->selectAll();
            QTest::keyClicks(family, "Liberation Serif");
            auto *size = d->findChild<QComboBox *>(u"size"_qs);
            size->lineEdit()->selectAll();
            QTest::keyClicks(size->lineEdit(), "12");
            auto *color = d->findChild<QComboBox *>(u"color"_qs);
            color->setCurrentIndex(color->findText(u"Červená"_qs));
            emit color->activated(color->currentIndex());
            d->accept();
        });
        click(w->tableFontButton);
        QStringList lines = pageLines();
        QCOMPARE(lines.mid(15, 4), (QStringList{u"        font-family: 'Liberation Serif';"_qs, u"        font-size: 12pt;"_qs,
                                               u"        background: #FEFEF1;"_qs, u"        color: #FF0000;"_qs}));
        onModal<FontColorDialog>([](FontColorDialog *d) { d->reject(); });
        click(w->titleFontButton);
        QCOMPARE(pageLines().mid(9, 4), lines.mid(9, 4));

        for (bool accept : {true, false}) {
            onModal<QColorDialog>([accept](QColorDialog *d) {
                d->setCurrentColor(QColor(accept ? 0x123456 : 0x654321));
                accept ? d->accept() : d->reject();
            });
            click(w->cellColourButton);
            QCOMPARE(pageLines()[17], u"        background: #123456;"_qs);
        }
        click(w->closeButton);
        QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("FontTableName=Liberation Serif\r\nFontTableSize=12\r\n"
                                                          "FontTableColor=255\r\n"));
    }

    void printsToPdf()
    {
        open();
        const QString pdf = file(u"jizdy.pdf"_qs);
        w->printer()->setOutputFormat(QPrinter::PdfFormat);
        w->printer()->setOutputFileName(pdf);
        QPrinter *usedBySetup = nullptr;
        onModal<QPageSetupDialog>([&](QPageSetupDialog *d) {
            usedBySetup = d->printer();
            if (auto *landscape = d->findChild<QRadioButton *>(u"landscape"_qs))
                landscape->click();
            d->accept();
        });
        click(w->pageSetupButton);
        QCOMPARE(usedBySetup, w->printer());
        QCOMPARE(w->printer()->pageLayout().orientation(), QPageLayout::Landscape);

        QSignalSpy finished(w.get(), &ExportWindow::printingFinished);
        onModal<QPrintDialog>([](QPrintDialog *d) { d->accept(); });
        click(w->printButton);
        // Closing waits for the print, whose printer the window holds.
        w->close();
        QVERIFY(w->isVisible());
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.first().first().toBool(), true);
        QVERIFY(!w->isVisible());
        QVERIFY(msgs->shown.isEmpty());
        QProcess p;
        p.start(u"pdftotext"_qs, {pdf, u"-"_qs});
        QVERIFY(p.waitForFinished(20000));
        const QString printed = QString::fromUtf8(p.readAllStandardOutput());
        for (const QString &t : {u"Trasovník HTML výstup"_qs, u"Brno <-> Praha"_qs, u"Okruh"_qs, u"42,5"_qs})
            QVERIFY2(printed.contains(t), qPrintable(printed));
        // The page set up is the page printed: A4 on its side.
        p.start(u"pdfinfo"_qs, {pdf});
        QVERIFY(p.waitForFinished(20000));
        const QString info = QString::fromUtf8(p.readAllStandardOutput());
        const QRegularExpressionMatch size = QRegularExpression(u"Page size: +([\\d.]+) x ([\\d.]+) pts \\(A4\\)"_qs).match(info);
        QVERIFY2(size.hasMatch() && size.captured(1).toDouble() > size.captured(2).toDouble(), qPrintable(info));

        // A PDF that cannot be written is reported, not passed over.
        open();
        w->printer()->setOutputFormat(QPrinter::PdfFormat);
        w->printer()->setOutputFileName(file(u"no/such/folder/x.pdf"_qs));
        QSignalSpy failed(w.get(), &ExportWindow::printingFinished);
        onModal<QPrintDialog>([](QPrintDialog *d) { d->accept(); });
        click(w->printButton);
        QVERIFY(failed.wait(20000));
        QCOMPARE(failed.first().first().toBool(), false);
        QCOMPARE(msgs->texts(), QStringList{u"Stránku se nepodařilo vytisknout."_qs});
    }
};

int main(int argc, char **argv)
{
    prepareWebEngine();
    QApplication app(argc, argv);
    ExportWindowLoader::searchOnlyIn(QStringLiteral(TRASOVNIK_MODULE_DIR));
    TestExportWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exportwindow.moc"
