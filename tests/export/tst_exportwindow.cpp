#include "AnsiFile.h"
#include "CsvFile.h"
#include "FontColorDialog.h"
#include "HtmlPage.h"
#include "MessageRecorder.h"
#include "Modal.h"
#include "RideLogFile.h"
#include "SpinEdit.h"
#include "TPubStrGrid.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "Unit1.h"
#include "UnitHTML.h"
#include "WebEngineSetup.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <QtTest>

#include <functional>
#include <memory>

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
    std::unique_ptr<TPubStrGrid> log;
    HtmlSettings settings;
    std::unique_ptr<TFormHTML> w;

    QString file(const QString &name) const { return m_dir->filePath(name); }
    QString page() const { return text(fileBytes(file(u"temp.html"_qs))); }
    QStringList pageLines() const { return page().split(u"\r\n"_qs); }

    // Opens the window on the ride log and waits for the preview.
    void open()
    {
        w = std::make_unique<TFormHTML>(*log, settings, m_dir->path());
        QSignalSpy loaded(w->WebBrowser1, &QWebEngineView::loadFinished);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        QVERIFY(loaded.wait(20000));
    }
    void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2)); }

private slots:
    void initTestCase() { QVERIFY(QFile::exists(u"/usr/bin/pdftotext"_qs)); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        msgs = std::make_unique<MessageRecorder>();
        log = std::make_unique<TPubStrGrid>();
        log->setAutoSave(false);
        log->loadTableFileBytes(rideLogFile({kRide, {u"4.5.2005"_qs, u"Okruh"_qs}}));
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
        TForm1 main(m_dir->path());
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        QString border, title, pageTitle;
        bool loaded = false;
        onModal<TFormHTML>([&](TFormHTML *d) {
            QSignalSpy spy(d->WebBrowser1, &QWebEngineView::loadFinished);
            loaded = spy.wait(20000);
            border = d->SpinBorder->text();
            title = d->LblTitle->text();
            pageTitle = d->WebBrowser1->title();
            click(d->btnStorno);
        });
        if (byMouse) {
            QMenuBar *bar = main.menuBar();
            QAction *zaznamy = bar->actions().first();
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(zaznamy).center());
            QTRY_VERIFY(zaznamy->menu()->isVisible());
            QTest::mouseClick(zaznamy->menu(), Qt::LeftButton, {},
                              zaznamy->menu()->actionGeometry(main.ExportdoHTML1).center());
        } else {
            QTest::keyClick(&main, Qt::Key_Z, Qt::AltModifier);
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            QVERIFY(menu);
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        }
        QTRY_VERIFY(!FormHTML);
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
        QTest::keyClick(w->LblTitle, Qt::Key_End);
        QTest::keyClicks(w->LblTitle, " & <B>");
        // What store.ini could not hold is left out as it is typed.
        w->LblTitle->insert(u"Ж"_qs);
        QCOMPARE(pageLines()[1], u"<HTML><head><TITLE>Trasovník HTML výstup &amp; &lt;B&gt;</TITLE>"_qs);

        const QString whole = u"<td>Lhota - Ves - Hora - Brod - Les - Lhota</td>"_qs;
        const QString cut = u"<td nowrap>Lhota - Ves - Hora - Brod - Les - Lh...</td>"_qs;
        QVERIFY(pageLines().contains(cut));
        click(w->Checkwrap);
        QVERIFY(!w->spinwrap->isEnabled());
        QVERIFY(pageLines().contains(whole));
        click(w->Checkwrap);
        QVERIFY(w->spinwrap->isEnabled());
        QVERIFY(pageLines().contains(cut));

        // An emptied length field counts as 0 until a number is typed.
        w->spinwrap->setFocus();
        QTest::keyClick(w->spinwrap, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w->spinwrap, Qt::Key_Delete);
        QCOMPARE(w->spinwrap->text(), QString());
        QVERIFY(pageLines().contains(u"<td nowrap>...</td>"_qs));
        QTest::keyClicks(w->spinwrap, "4");
        QVERIFY(pageLines().contains(u"<td nowrap>Lhot...</td>"_qs));

        // The border button hands its field the focus with the text selected.
        click(w->BtnBorderSize);
        QVERIFY(w->SpinBorder->hasFocus());
        QTest::keyClicks(w->SpinBorder, "7");
        QCOMPARE(w->SpinBorder->text(), u"7"_qs);
        QVERIFY(page().contains(u"border-left:7px solid"_qs));
        w->SpinBorder->setTextValue(25);
        QCOMPARE(w->SpinBorder->text(), u"10"_qs);
        QVERIFY(page().contains(u"border-left:10px solid"_qs));
    }

    void resetAndFactory()
    {
        putFile(file(u"store.ini"_qs), "[TForm1]\r\nVisible=1\r\n[HtmlSet]\r\nTitle=Ulo\x9e" "eno\r\nusewrap=0\r\nBorderSize=3\r\n");
        open();
        QCOMPARE(w->LblTitle->text(), u"Uloženo"_qs);
        QVERIFY(!w->Checkwrap->isChecked() && !w->spinwrap->isEnabled());
        QCOMPARE(w->SpinBorder->text(), u"3"_qs);
        w->LblTitle->setText(u"Změna"_qs);
        click(w->btnReset);
        QCOMPARE(w->LblTitle->text(), u"Uloženo"_qs);

        click(w->Button1);
        QCOMPARE(fileBytes(file(u"store.ini"_qs)), QByteArray("[TForm1]\r\nVisible=1\r\n"));
        const auto isFactory = [this] {
            return w->LblTitle->text() == HtmlSettings().Title && w->Checkwrap->isChecked() &&
                   w->spinwrap->isEnabled() && w->spinwrap->text() == u"36" && w->SpinBorder->text() == u"1";
        };
        QVERIFY(isFactory());
        QCOMPARE(fileBytes(file(u"temp.html"_qs)), HtmlPage::bytes(HtmlSettings(), *log));
        click(w->btnReset);
        QVERIFY(isFactory());
        click(w->btnStorno);
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
        w->LblTitle->setText(u"Jízdy 2005"_qs);
        w->spinwrap->setTextValue(-5);
        if (way == 0)
            click(w->btnStorno);
        else if (way == 1)
            w->close();
        else
            QTest::keyClick(w->LblTitle, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
        QVERIFY(fileBytes(file(u"store.ini"_qs)).endsWith("Title=J\xedzdy 2005\r\nusewrap=1\r\nzkraceni=-5\r\n"));

        // The next opening shows what this one stored.
        open();
        QCOMPARE(w->LblTitle->text(), u"Jízdy 2005"_qs);
        QCOMPARE(w->spinwrap->textValue(), -5);
    }

    void storeThatCannotBeWritten()
    {
        QVERIFY(QDir().mkdir(file(u"store.ini"_qs)));
        open();
        msgs->answers = {1};
        click(w->btnStorno);
        QVERIFY(w->isVisible());
        QCOMPARE(msgs->texts(), QStringList{u"Unable to write to "_qs + file(u"store.ini"_qs)});
        QCOMPARE(msgs->questions.size(), 1);
        // Uložit stops before its dialog; Tovární hodnoty resets nothing.
        w->LblTitle->setText(u"X"_qs);
        click(w->BtnSave);
        click(w->Button1);
        QCOMPARE(w->LblTitle->text(), u"X"_qs);
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
        TForm1 main(m_dir->path());
        main.show();
        QVERIFY(QTest::qWaitForWindowActive(&main));
        // The system's own /proc takes no new file, not even from root.
        const QString target = writable ? file(u"jizdy"_qs) : u"/proc/trasovnik-jizdy"_qs;
        QStringList filters;
        QString suffix;
        onModal<QFileDialog>([&](QFileDialog *d) {
            filters = d->nameFilters();
            suffix = d->defaultSuffix();
            auto *name = d->findChild<QLineEdit *>(u"fileNameEdit"_qs);
            name->setText(target);
            QTest::keyClick(name, Qt::Key_Return);
        });
        QMenuBar *bar = main.menuBar();
        QMenu *zaznamy = bar->actions().first()->menu();
        if (byMouse) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(bar->actions().first()).center());
            QTRY_VERIFY(zaznamy->isVisible());
            QTest::mouseClick(zaznamy, Qt::LeftButton, {}, zaznamy->actionGeometry(main.ExportdoCSV1).center());
        } else {
            QTest::keyClick(&main, Qt::Key_Z, Qt::AltModifier);
            QCOMPARE(QApplication::activePopupWidget(), zaznamy);
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(zaznamy, Qt::Key_Down);
            QTest::keyClick(zaznamy, Qt::Key_Return);
        }
        QTRY_VERIFY(!filters.isEmpty());
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(filters, QStringList{u"CSV soubor (*.csv)"_qs});
        QCOMPARE(suffix, u"csv"_qs);
        if (writable) {
            QVERIFY(msgs->shown.isEmpty());
            QCOMPARE(fileBytes(target + u".csv"_qs), CsvFile::bytes(*main.rideLog()));
            QVERIFY(fileBytes(target + u".csv"_qs).contains(";\"Okruh; tam a zp\xC4\x9Bt\";"));
        } else {
            QCOMPARE(msgs->texts(), QStringList{u"Cannot create file /proc/trasovnik-jizdy.csv"_qs});
            QVERIFY(!QFile::exists(target + u".csv"_qs));
        }
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
                auto *name = d->findChild<QLineEdit *>(u"fileNameEdit"_qs);
                name->setText(target);
                QTest::keyClick(name, Qt::Key_Return);
            });
            click(w->BtnSave);
            // The settings are stored first, whether or not the page is saved.
            QVERIFY(fileBytes(file(u"store.ini"_qs)).contains("[HtmlSet]\r\n"));
            QCOMPARE(fileBytes(target + u".htm"_qs), accept ? fileBytes(file(u"temp.html"_qs)) : QByteArray("old"));
        }
        QVERIFY(fileBytes(target + u".htm"_qs).endsWith("</center></body></html>\r\n"));
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
        click(w->BtnFontTable);
        QStringList lines = pageLines();
        QCOMPARE(lines.mid(15, 4), (QStringList{u"        font-family: Liberation Serif;"_qs, u"        font-size: 12pt;"_qs,
                                               u"        background: #FEFEF1;"_qs, u"        color: #FF0000;"_qs}));
        onModal<FontColorDialog>([](FontColorDialog *d) { d->reject(); });
        click(w->BtnFontTitle);
        QCOMPARE(pageLines().mid(9, 4), lines.mid(9, 4));

        for (bool accept : {true, false}) {
            onModal<QColorDialog>([accept](QColorDialog *d) {
                d->setCurrentColor(QColor(accept ? 0x123456 : 0x654321));
                accept ? d->accept() : d->reject();
            });
            click(w->BtnCellColor);
            QCOMPARE(pageLines()[17], u"        background: #123456;"_qs);
        }
        click(w->btnStorno);
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
        click(w->btnVzhled);
        QCOMPARE(usedBySetup, w->printer());
        QCOMPARE(w->printer()->pageLayout().orientation(), QPageLayout::Landscape);

        QSignalSpy finished(w.get(), &TFormHTML::printingFinished);
        onModal<QPrintDialog>([](QPrintDialog *d) { d->accept(); });
        click(w->BtnTisk);
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
        QSignalSpy failed(w.get(), &TFormHTML::printingFinished);
        onModal<QPrintDialog>([](QPrintDialog *d) { d->accept(); });
        click(w->BtnTisk);
        QVERIFY(failed.wait(20000));
        QCOMPARE(failed.first().first().toBool(), false);
        QCOMPARE(msgs->texts(), QStringList{u"Stránku se nepodařilo vytisknout."_qs});
    }
};

int main(int argc, char **argv)
{
    prepareWebEngine();
    QApplication app(argc, argv);
    TestExportWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_exportwindow.moc"
