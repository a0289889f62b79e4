// The hand-over between two starts, over the program's local socket.
//
//   BM_HandOver  a later start's list of paths (1,000 and 50,000 paths of
//                about 100 bytes; the long list goes in several messages)
//                handed to a program listening in this process, until it
//                has the whole list
//   BM_RawCopy   baseline: the same number of bytes through a bare local
//                socket, read whole
//   BM_Flood     100 MB sent to the program's socket by a client that
//                connects again whenever it is cut off: messages that
//                announce the most a message may carry and send junk; the
//                program's resident memory before and after, and its peak
//
// Printed at the end: the hand-over against the raw copy, the time per path
// of the long list against the short one, and what the flood added to the
// program's memory.

#include "RatioReporter.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr int kFew = 1'000;
constexpr int kMany = 50'000;
constexpr qint64 kFlood = 100 * 1024 * 1024;

QTemporaryDir *g_dir = nullptr;
double g_rssBefore = 0, g_rssAfter = 0, g_peakBefore = 0, g_peakAfter = 0;

QStringList paths(int count)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list.append(QStringLiteral("/home/jezdec/Dokumenty/Jízdy/2024/Garmin Edge 530/aktivita-%1.fit")
                        .arg(i, 8, 10, QLatin1Char('0')));
    return list;
}

qint64 bytesOf(const QStringList &list)
{
    qint64 bytes = 0;
    for (const QString &path : list)
        bytes += path.toUtf8().size() + 1;
    return bytes;
}

// A figure of /proc/self/status in MB.
double statusMb(const char *key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(std::strlen(key))).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

void BM_HandOver(benchmark::State &state, int count)
{
    const QStringList list = paths(count);
    SingleInstance program(g_dir->path()), later(g_dir->path());
    if (!program.listen())
        std::abort();
    qsizetype arrived = 0;
    QEventLoop loop;
    QObject::connect(&program, &SingleInstance::argumentsReceived, [&](const QStringList &part) {
        arrived += part.size();
        if (arrived == list.size())
            loop.quit();
    });
    for (auto _ : state) {
        arrived = 0;
        std::jthread client([&] {
            if (!later.handOver(list))
                std::abort();
        });
        loop.exec();
    }
    state.SetBytesProcessed(state.iterations() * bytesOf(list));
}

void BM_RawCopy(benchmark::State &state, int count)
{
    const qint64 size = bytesOf(paths(count));
    const QString path = g_dir->filePath(QStringLiteral("raw"));
    QLocalServer server;
    QLocalServer::removeServer(path);
    if (!server.listen(path))
        std::abort();
    QEventLoop loop;
    QByteArray received;
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        QLocalSocket *socket = server.nextPendingConnection();
        QObject::connect(socket, &QLocalSocket::readyRead, [&, socket] {
            received += socket->readAll();
            if (received.size() == size) {
                socket->write("k", 1);
                socket->flush();
                socket->disconnectFromServer();
                socket->deleteLater();
                loop.quit();
            }
        });
    });
    const QByteArray bytes(size, 'x');
    for (auto _ : state) {
        received.clear();
        std::jthread client([&] {
            QLocalSocket socket;
            socket.connectToServer(path);
            if (!socket.waitForConnected(5000))
                std::abort();
            socket.write(bytes);
            while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000))
                ;
            while (socket.bytesAvailable() < 1 && socket.waitForReadyRead(5000))
                ;
        });
        loop.exec();
    }
    state.SetBytesProcessed(state.iterations() * size);
}

void BM_Flood(benchmark::State &state)
{
    SingleInstance program(g_dir->path());
    if (!program.listen())
        std::abort();
    const QByteArray name = QFile::encodeName(SingleInstance::socketPath(g_dir->path()));
    QByteArray message("TRAS....");
    qToBigEndian(quint32(SingleInstance::kMaxPayload), message.data() + 4);
    message += QByteArray(SingleInstance::kMaxPayload, 'x');
    for (auto _ : state) {
        g_rssBefore = statusMb("VmRSS:");
        g_peakBefore = statusMb("VmHWM:");
        std::atomic<bool> done = false;
        std::jthread client([&] {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
            for (qint64 sent = 0; sent < kFlood;) {
                const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
                if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
                    std::abort();
                for (ssize_t n; sent < kFlood && (n = ::send(fd, message.constData(), message.size(), MSG_NOSIGNAL)) > 0;)
                    sent += n;
                ::close(fd);
            }
            done = true;
        });
        while (!done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::processEvents();
        g_rssAfter = statusMb("VmRSS:");
        g_peakAfter = statusMb("VmHWM:");
    }
    state.SetBytesProcessed(state.iterations() * kFlood);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    // The socket in a session folder of the benchmark's own.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
    // The flood first, so that the peak it leaves is its own.
    benchmark::RegisterBenchmark("BM_Flood", BM_Flood)->Iterations(1)->Unit(benchmark::kMillisecond);
    for (int count : {kFew, kMany}) {
        for (const auto &[name, run] : {std::pair{"BM_HandOver", &BM_HandOver}, std::pair{"BM_RawCopy", &BM_RawCopy}})
            benchmark::RegisterBenchmark((std::string(name) + "/" + std::to_string(count)).c_str(), run, count)
                ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto t = [&](const char *name, int count) {
        const auto it = reporter.times.find(std::string(name) + "/" + std::to_string(count));
        return it == reporter.times.end() ? 0.0 : it->second;
    };
    std::printf("\n");
    for (int count : {kFew, kMany})
        if (t("BM_HandOver", count) > 0 && t("BM_RawCopy", count) > 0)
            std::printf("hand-over of %5d paths (%.1f MB): %8.2f ms = %5.2fx copying the bytes\n", count,
                        double(bytesOf(paths(count))) / (1024 * 1024), t("BM_HandOver", count),
                        t("BM_HandOver", count) / t("BM_RawCopy", count));
    if (t("BM_HandOver", kFew) > 0 && t("BM_HandOver", kMany) > 0)
        std::printf("time per path, %d paths against %d: %.2fx\n", kMany, kFew,
                    (t("BM_HandOver", kMany) / kMany) / (t("BM_HandOver", kFew) / kFew));
    if (g_rssAfter > 0)
        std::printf("%lld MB sent to the socket: resident memory %.1f -> %.1f MB (%+.1f), peak %.1f -> %.1f MB\n",
                    kFlood / (1024 * 1024), g_rssBefore, g_rssAfter, g_rssAfter - g_rssBefore, g_peakBefore,
                    g_peakAfter);
    return 0;
}
