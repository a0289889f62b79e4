// Loading and saving a large ride log through the table file, against a
// raw baseline measured in the same run: the bytes read, decoded from
// Windows-1250 and cut into lines and fields (loading); the same text
// built, encoded and written atomically (saving).

#include "RideLogText.h"
#include "StringTable.h"
#include "TableFile.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QTemporaryDir>

#include "RatioReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRides = 100'000;

QString g_path;       // the generated ride log
QString g_outPath;    // where the save benchmarks write
std::unique_ptr<StringTable> g_loaded;

// ---------------------------------------------------------------- raw baseline

struct CodePage
{
    char16_t toUnicode[256];
    std::vector<uchar> fromUnicode = std::vector<uchar>(65536, uchar('?'));
    CodePage()
    {
        QStringDecoder dec("windows-1250");
        for (int b = 0; b < 256; ++b) {
            const char c = char(b);
            const QString s = dec.decode(QByteArrayView(&c, 1));
            toUnicode[b] = s.size() == 1 ? s.at(0).unicode() : char16_t(b);
            fromUnicode[toUnicode[b]] = uchar(b);
        }
    }
};
const CodePage &codePage()
{
    static const CodePage page;
    return page;
}

struct Field
{
    QStringView col, row, text;
};

void BM_LoadBaseline(benchmark::State &state)
{
    const CodePage &cp = codePage();
    for (auto _ : state) {
        QFile f(g_path);
        f.open(QIODevice::ReadOnly);
        const QByteArray bytes = f.readAll();
        QString text(bytes.size(), Qt::Uninitialized);
        QChar *out = text.data();
        for (qsizetype i = 0; i < bytes.size(); ++i)
            out[i] = QChar(cp.toUnicode[uchar(bytes[i])]);

        std::vector<Field> fields;
        fields.reserve(size_t(kRides) * 7 + 16);
        const QChar *d = text.constData();
        const qsizetype n = text.size();
        qsizetype pos = 0;
        while (pos < n) {
            qsizetype end = pos;
            while (end < n && d[end] != u'\r' && d[end] != u'\n')
                ++end;
            const QStringView line(d + pos, end - pos);
            pos = end + (end + 1 < n && d[end] == u'\r' && d[end + 1] == u'\n' ? 2 : 1);
            const qsizetype a = line.indexOf(u'|');
            const qsizetype b = a < 0 ? -1 : line.indexOf(u'|', a + 1);
            if (b >= 0)
                fields.push_back({line.left(a), line.mid(a + 1, b - a - 1), line.mid(b + 1)});
        }
        benchmark::DoNotOptimize(fields.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(g_path).size());
}

void BM_LoadFromFile(benchmark::State &state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto g = std::make_unique<StringTable>();
        state.ResumeTiming();
        TableFile::load(*g, g_path);
        state.PauseTiming();
        if (g->tableRowCount() != kRides + 1)
            state.SkipWithError("the ride log did not load");
        g.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(g_path).size());
}

void BM_SaveBaseline(benchmark::State &state)
{
    const CodePage &cp = codePage();
    // The cells as plain lists, as a hand-written writer would hold them.
    std::vector<QStringList> rows;
    for (int r = 0; r < g_loaded->tableRowCount(); ++r)
        rows.push_back(g_loaded->rowTexts(r));
    for (auto _ : state) {
        QString text;
        text.reserve(qsizetype(QFileInfo(g_path).size()) + 64);
        text += QLatin1String("|\r\n");
        text += QString::number(int(rows.size()));
        text += u'|';
        text += QString::number(7);
        text += QLatin1String("\r\n18\r\n\r\n\r\nTop\r\nColumn 0 Width: 62\r\n");
        for (int r = 0; r < int(rows.size()); ++r) {
            const QStringList &row = rows[size_t(r)];
            for (int c = 0; c < row.size(); ++c) {
                if (row[c].isEmpty())
                    continue;
                text += QString::number(c);
                text += u'|';
                text += QString::number(r);
                text += u'|';
                text += row[c];
                text += QLatin1String("\r\n");
            }
        }
        text += QLatin1String("\r\n");
        QByteArray bytes(text.size(), Qt::Uninitialized);
        char *o = bytes.data();
        const QChar *in = text.constData();
        for (qsizetype i = 0; i < text.size(); ++i)
            o[i] = char(cp.fromUnicode[in[i].unicode()]);
        QSaveFile f(g_outPath);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        f.commit();
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(g_path).size());
}

void BM_SaveToFile(benchmark::State &state)
{
    for (auto _ : state)
        TableFile::save(*g_loaded, g_outPath);
    state.SetBytesProcessed(state.iterations() * QFileInfo(g_path).size());
}

BENCHMARK(BM_LoadBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveBaseline)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    g_path = dir.filePath(QStringLiteral("default.tvl"));
    g_outPath = dir.filePath(QStringLiteral("saved.tvl"));
    {
        const QString text = rideLogText(kRides);
        const CodePage &cp = codePage();
        QByteArray bytes(text.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < text.size(); ++i)
            bytes[i] = char(cp.fromUnicode[text[i].unicode()]);
        QFile f(g_path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return 1;
    }
    g_loaded = std::make_unique<StringTable>();
    g_loaded->setAutoBackup(false);
    TableFile::load(*g_loaded, g_path);
    std::printf("ride log: %d rides, %lld bytes\n", g_loaded->tableRowCount() - 1,
                static_cast<long long>(QFileInfo(g_path).size()));

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    auto ratio = [&](const char *op, const char *base) {
        const auto a = reporter.times.find(op), b = reporter.times.find(base);
        if (a == reporter.times.end() || b == reporter.times.end() || b->second <= 0)
            return;
        std::printf("%-16s %8.2f ms   baseline %8.2f ms   ratio %.2fx\n", op + 3, a->second,
                    b->second, a->second / b->second);
    };
    std::printf("\n");
    ratio("BM_LoadFromFile", "BM_LoadBaseline");
    ratio("BM_SaveToFile", "BM_SaveBaseline");
    g_loaded.reset();
    return 0;
}
