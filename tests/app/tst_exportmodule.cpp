#include "ExportWindowLoader.h"
#include "ExportWindowModule.h"
#include "MessageRecorder.h"
#include "Modal.h"
#include "RideLogFile.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "MainWindow.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

namespace {
const QString kModule = QStringLiteral(TRASOVNIK_MODULE_DIR "/trasovnik-export.so");

// Another version of the program's, of the same length: 1.15 -> 9.99.
QByteArray anotherVersion()
{
    QByteArray other(TRASOVNIK_VERSION);
    for (char &c : other)
        if (c != '.')
            c = '9';
    return other;
}

// The real module with another version in its metadata, wherever the file
// carries it.
QByteArray moduleOfAnotherVersion()
{
    const QByteArray version(TRASOVNIK_VERSION), other = anotherVersion();
    // The metadata is CBOR: the key "version", then a text of the version's length.
    const QByteArray key = QByteArray("\x67version") + char(0x60 + version.size());
    QByteArray bytes = fileBytes(kModule);
    return bytes.contains(key + version) ? bytes.replace(key + version, key + other) : QByteArray();
}
} // namespace

// The export window comes from a module loaded when it is first opened: a
// module that cannot be loaded is one box that says why, the main window
// goes on, and a later opening tries again.
class TestExportModule : public QObject
{
    Q_OBJECT
    TestLocale m_locale;
    QTemporaryDir m_data;
    MessageRecorder m_msgs;
    std::unique_ptr<MainWindow> w;

    // "Záznamy" by Alt+Z, down to "Export do HTML a Tisk", Enter.
    void chooseExport()
    {
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::AltModifier);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (int i = 0; i < menu->actions().size() && menu->activeAction() != w->exportHtmlAction; ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        QCOMPARE(menu->activeAction(), w->exportHtmlAction);
        QTest::keyClick(menu, Qt::Key_Return);
    }
    static int openDialogs()
    {
        int n = 0;
        for (QWidget *t : QApplication::topLevelWidgets())
            n += qobject_cast<QDialog *>(t) && t->isVisible();
        return n;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid());
        putFile(m_data.filePath(u"default.tvl"_qs), rideLogFile({{u"1.5.2025"_qs, u"Okruh"_qs, QString(), u"25"_qs}}));
    }
    void init()
    {
        m_msgs.clear();
        w = std::make_unique<MainWindow>(m_data.path());
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
    }
    void cleanup()
    {
        w.reset();
        ExportWindowLoader::searchOnlyIn(QString());
    }

    void unloadableModule_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // the module file's; null: no file
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray() << u"Soubor trasovnik-export.so chybí"_qs;
        QTest::newRow("not a library") << QByteArray(4096, '\x7f')
                                       << u"je poškozený, nebo to není modul okna „HTML výstup“."_qs;
        // A real library, and a plugin too, but not the module: one of the toolkit's.
        const QByteArray gif = fileBytes(QLibraryInfo::path(QLibraryInfo::PluginsPath) + u"/imageformats/libqgif.so"_qs);
        QVERIFY(gif.startsWith("\x7f" "ELF"));
        QTest::newRow("another library") << gif << u"je jiná knihovna, ne modul okna „HTML výstup“."_qs;
        const QByteArray other = moduleOfAnotherVersion();
        QVERIFY(!other.isEmpty());
        const QString versions = u"patří k verzi %1, program je verze %2."_qs.arg(anotherVersion(), TRASOVNIK_VERSION);
        QTest::newRow("another version") << other << versions;
    }
    void unloadableModule()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        QTemporaryDir folder;
        if (!bytes.isNull())
            putFile(folder.filePath(ExportWindowLoader::fileName()), bytes);
        ExportWindowLoader::searchOnlyIn(folder.path());
        chooseExport();
        QCOMPARE(m_msgs.shown.size(), 1);
        QCOMPARE(m_msgs.shown[0].first, Messages::Kind::ErrorDialog);
        QVERIFY2(m_msgs.shown[0].second.contains(reason), qPrintable(m_msgs.shown[0].second));
        QVERIFY(m_msgs.shown[0].second.contains(u"„HTML výstup“ (export do HTML a tisk) nelze otevřít"_qs));
        QCOMPARE(openDialogs(), 0);
        // The main window goes on: its menu opens again.
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::AltModifier);
        QVERIFY(qobject_cast<QMenu *>(QApplication::activePopupWidget()));
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }

    // After a failure the module is looked for again, and the window opens
    // once it is where the program looks.
    void moduleFoundAfterAFailure()
    {
        QTemporaryDir empty;
        ExportWindowLoader::searchOnlyIn(empty.path());
        chooseExport();
        QCOMPARE(m_msgs.shown.size(), 1);
        ExportWindowLoader::searchOnlyIn(QStringLiteral(TRASOVNIK_MODULE_DIR));
        QString title;
        onModal<QDialog>([&](QDialog *d) {
            title = d->windowTitle();
            d->reject();
        });
        chooseExport();
        QVERIFY2(m_msgs.shown.size() == 1, qPrintable(m_msgs.texts().join(u'\n')));
        QCOMPARE(title, u"HTML výstup"_qs);
        QCOMPARE(openDialogs(), 0);
    }

    // With the engine started late, as in the program: the page set up
    // (A4 on its side) is the page printed to a PDF, and the page saves.
    void worksWithTheEngineStartedLate()
    {
        ExportWindowLoader::searchOnlyIn(QStringLiteral(TRASOVNIK_MODULE_DIR));
        const QString pdf = m_data.filePath(u"jizdy.pdf"_qs);
        const QString page = m_data.filePath(u"jizdy.htm"_qs);
        bool done = false;
        onModal<QDialog>([&](QDialog *d) {
            const auto button = [d](const char *name) {
                return d->findChild<QPushButton *>(QString::fromLatin1(name));
            };
            // The window's printer, as the page set-up shows it, prints
            // into the PDF file.
            onModal<QPageSetupDialog>([&](QPageSetupDialog *s) {
                s->printer()->setOutputFormat(QPrinter::PdfFormat);
                s->printer()->setOutputFileName(pdf);
                if (auto *landscape = s->findChild<QRadioButton *>(u"landscape"_qs))
                    landscape->click();
                s->accept();
            });
            QTest::mouseClick(button("pageSetupButton"), Qt::LeftButton);
            onModal<QPrintDialog>([](QPrintDialog *p) { p->accept(); });
            QTest::mouseClick(button("printButton"), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(pdf).size() > 0 && button("printButton")->isEnabled(), 60000);
            onModal<QFileDialog>([&](QFileDialog *f) { enterFileName(f, page); });
            QTest::mouseClick(button("saveButton"), Qt::LeftButton);
            QTRY_VERIFY(QFileInfo::exists(page));
            d->reject();
            done = true;
        });
        chooseExport();
        QTRY_VERIFY_WITH_TIMEOUT(done, 90000);
        QVERIFY2(m_msgs.shown.isEmpty(), qPrintable(m_msgs.texts().join(u'\n')));
        QVERIFY(fileBytes(page).contains("Okruh"));
        QProcess p;
        p.start(u"pdftotext"_qs, {pdf, u"-"_qs});
        QVERIFY(p.waitForFinished(20000));
        QVERIFY(QString::fromUtf8(p.readAllStandardOutput()).contains(u"Okruh"_qs));
        // The page set up is the page printed: A4 on its side.
        p.start(u"pdfinfo"_qs, {pdf});
        QVERIFY(p.waitForFinished(20000));
        const QString info = QString::fromUtf8(p.readAllStandardOutput());
        const QRegularExpressionMatch size =
            QRegularExpression(u"Page size: +([\\d.]+) x ([\\d.]+) pts \\(A4\\)"_qs).match(info);
        QVERIFY2(size.hasMatch() && size.captured(1).toDouble() > size.captured(2).toDouble(), qPrintable(info));
    }
};

int main(int argc, char **argv)
{
    // The version in a module file's metadata as the toolkit reads it,
    // for the install check; a failure for a file that is not the module.
    if (argc == 3 && qstrcmp(argv[1], "--module-version") == 0) {
        const QJsonObject data = QPluginLoader(QString::fromLocal8Bit(argv[2])).metaData();
        if (data.value(u"IID"_qs).toString() != QLatin1String(TRASOVNIK_EXPORT_MODULE_IID))
            return 1;
        std::printf("%s\n", qPrintable(data.value(u"MetaData"_qs).toObject().value(u"version"_qs).toString()));
        return 0;
    }
    QApplication app(argc, argv);
    TestExportModule t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_exportmodule.moc"
