#pragma once
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>
#include <functional>

// Runs `act` once on the first modal window of type T that opens.
template <class T>
void onModal(std::function<void(T *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto *d = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(d);
        }
    });
    timer->start();
}

// Types a file name into a file dialog's name field and presses Enter, as
// a rider does. The dialog must be active and the field must have the
// focus first: only then does the dialog take a typed name over the file
// it had selected before (else a slow start can save under the old name).
inline void enterFileName(QFileDialog *dialog, const QString &name)
{
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    edit->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(edit->hasFocus());
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}
