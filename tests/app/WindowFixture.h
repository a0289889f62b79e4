#pragma once
#include "MessageRecorder.h"
#include "RideLogFile.h"
#include "StringTable.h"
#include "TestFiles.h"
#include "TestLocale.h"
#include "MainWindow.h"

#include <QTemporaryDir>
#include <QtTest>

// A main window over a ride log in a temporary program folder, with the
// messages recorded.
class WindowFixture : public QObject
{
    Q_OBJECT
protected:
    TestLocale m_locale;
    QTemporaryDir *m_dir = nullptr;
    MainWindow *w = nullptr;
    MessageRecorder *msgs = nullptr;

    QString logPath() const { return m_dir->filePath(QStringLiteral("default.tvl")); }

    void open(const QList<QStringList> &rides = {})
    {
        if (!rides.isEmpty())
            putFile(logPath(), rideLogFile(rides));
        w = new MainWindow(m_dir->path());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
    }
    StringTable *log() const { return w->rideLog(); }

    void setUp()
    {
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid());
        msgs = new MessageRecorder;
    }
    void tearDown()
    {
        delete w;
        w = nullptr;
        delete msgs;
        msgs = nullptr;
        delete m_dir;
        m_dir = nullptr;
    }
};
