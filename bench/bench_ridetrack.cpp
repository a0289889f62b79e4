// The track window's data for a winding 24-hour FIT ride of 86,400 records, kept
// gzipped as the import keeps it: unpacked in memory, its track read, its
// figures, and its line simplified for ten zoom levels of the map. The
// whole is to stay well under 0.5 s.

#include "FitWriter.h"
#include "KeptRideFiles.h"
#include "RatioReporter.h"
#include "RideTrack.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTimeZone>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRecords = 86'400;
QByteArray g_packed;
std::size_t g_unpackedSize = 0;

QByteArray gunzip(const QByteArray &packed)
{
    QByteArray out(qsizetype(g_unpackedSize), Qt::Uninitialized);
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
    z.avail_in = uInt(packed.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int result = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return result == Z_STREAM_END ? out : QByteArray();
}

RideTrack::Track readTrack(const QByteArray &bytes)
{
    QBuffer in;
    in.setData(bytes);
    in.open(QIODevice::ReadOnly);
    const GpsImport::StopFlag stop{false};
    return RideTrack::readTrack(in, 0, QTimeZone::utc(), stop);
}

// The points in Web Mercator metres, as the map draws them.
struct Plane
{
    std::vector<double> x, y;
};
Plane planeOf(const RideTrack::Track &track)
{
    Plane p;
    p.x.reserve(std::size_t(track.pointCount()));
    p.y.reserve(std::size_t(track.pointCount()));
    constexpr double radius = 6378137.0, radians = M_PI / 180.0;
    for (const RideTrack::TrackPiece &piece : track.pieces)
        for (const RideTrack::TrackPoint &point : piece) {
            p.x.push_back(radius * point.lon * radians);
            p.y.push_back(radius * std::log(std::tan(M_PI / 4 + point.lat * radians / 2)));
        }
    return p;
}

// Half a pixel at zoom levels 9 to 18.
qsizetype simplifyForZooms(const Plane &p)
{
    qsizetype kept = 0;
    for (int zoom = 9; zoom <= 18; ++zoom) {
        const double metresPerPixel = 2 * M_PI * 6378137.0 / (256.0 * double(1 << zoom));
        kept += RideTrack::simplifiedLine(p.x.data(), p.y.data(), int(p.x.size()), metresPerPixel / 2).size();
    }
    return kept;
}

void BM_Unpack(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(gunzip(g_packed));
}

void BM_ReadTrack(benchmark::State &state)
{
    const QByteArray bytes = gunzip(g_packed);
    for (auto _ : state)
        benchmark::DoNotOptimize(readTrack(bytes).pointCount());
}

void BM_Figures(benchmark::State &state)
{
    const RideTrack::Track track = readTrack(gunzip(g_packed));
    for (auto _ : state)
        benchmark::DoNotOptimize(RideTrack::figuresOf(track).metres);
}

void BM_SimplifyTenZooms(benchmark::State &state)
{
    const Plane plane = planeOf(readTrack(gunzip(g_packed)));
    for (auto _ : state)
        benchmark::DoNotOptimize(simplifyForZooms(plane));
}

// A day's winding ride: a record a second at 6 m/s, the heading turning a
// little each second, compressed time stamps between full ones, a session.
QByteArray windingRide(std::uint32_t start)
{
    FitWriter::File f;
    FitWriter::fileId(f, 4);
    f.define(1, FitWriter::recordDefinition());
    f.define(2, FitWriter::recordDefinition(true));
    QRandomGenerator random(3);
    double lat = 49.5, lon = 15.5, heading = 0, turn = 0, cm = 0;
    for (int i = 0; i < kRecords; ++i) {
        turn = std::clamp(turn + (random.generateDouble() - 0.5) * 0.02, -0.1, 0.1);
        heading += turn;
        lat += 6.0 * std::cos(heading) / 111'200.0;
        lon += 6.0 * std::sin(heading) / (111'200.0 * std::cos(lat * M_PI / 180));
        cm += 600;
        const std::vector<std::int64_t> v = {FitWriter::semicircles(lat), FitWriter::semicircles(lon), std::int64_t(cm),
                                             2500 + 5 * std::int64_t(200 * std::sin(i / 900.0)), 6000,
                                             120 + i % 40, 85, 21};
        if (i % 16 == 0) {
            std::vector<std::int64_t> full = {start + std::uint32_t(i)};
            full.insert(full.end(), v.begin(), v.end());
            f.data(1, full);
        } else {
            f.compressed(2, start + std::uint32_t(i), v);
        }
    }
    FitWriter::session(f, {start, kRecords * 1000LL, kRecords * 1000LL, std::int64_t(cm), 2, 0});
    return f.bytes();
}

// What the window waits for when it opens: all of the above at once.
void BM_Whole(benchmark::State &state)
{
    for (auto _ : state) {
        const RideTrack::Track track = readTrack(gunzip(g_packed));
        benchmark::DoNotOptimize(RideTrack::figuresOf(track).metres);
        benchmark::DoNotOptimize(simplifyForZooms(planeOf(track)));
    }
}

void BM_Gpx(benchmark::State &state)
{
    const RideTrack::Track track = readTrack(gunzip(g_packed));
    for (auto _ : state)
        benchmark::DoNotOptimize(RideTrack::gpxOf(track, QStringLiteral("24 hodin")).size());
}

BENCHMARK(BM_Unpack)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ReadTrack)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Figures)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SimplifyTenZooms)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Whole)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_Gpx)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::uint32_t start = FitWriter::fitTime(QDateTime(QDate(2024, 6, 21), QTime(4, 0), Qt::UTC));
    const QByteArray fit = windingRide(start);
    g_unpackedSize = std::size_t(fit.size());
    g_packed = GpsImport::gzipped(fit);
    const RideTrack::Track track = readTrack(gunzip(g_packed));
    const RideTrack::TrackFigures figures = RideTrack::figuresOf(track);
    std::printf("ride: %d records, %.1f MB FIT, %.1f MB gzipped; %lld points, %.1f km, %.0f points at zooms 9-18\n",
                kRecords, fit.size() / 1e6, g_packed.size() / 1e6, static_cast<long long>(track.pointCount()),
                figures.metres / 1000, double(simplifyForZooms(planeOf(track))));
    if (track.pointCount() != kRecords)
        return 1;

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto whole = reporter.times.find("BM_Whole");
    if (whole != reporter.times.end())
        std::printf("\nunpack + track + figures + 10 zooms: %.0f ms   %s 500 ms\n", whole->second,
                    whole->second < 250 ? "well under" : whole->second < 500 ? "under" : "OVER");
    return 0;
}
