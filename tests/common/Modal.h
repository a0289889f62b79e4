#pragma once
#include <QApplication>
#include <QTimer>
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
