#pragma once
// FIT files made to measure, for the tests and the benchmark of the FIT
// reader: definitions of any local type, either byte order, developer
// fields, compressed time stamps, a 12- or 14-byte header, the checksum.
#include "FitCrc.h"

#include <QByteArray>
#include <QDateTime>

#include <array>
#include <cstdint>
#include <vector>

namespace FitWriter {

enum Base : std::uint8_t {
    Enum = 0x00, SInt8 = 0x01, UInt8 = 0x02, SInt16 = 0x83, UInt16 = 0x84, SInt32 = 0x85, UInt32 = 0x86,
    Float32 = 0x88, UInt32z = 0x8C, Byte = 0x0D,
};

struct Field
{
    std::uint8_t number;
    std::uint8_t size;
    std::uint8_t base;
};

struct Definition
{
    std::uint16_t global = 0;
    std::vector<Field> fields;
    std::vector<std::uint8_t> developerSizes; // developer fields, skipped by the reader
    bool big = false;
};

// FIT time of an instant: seconds from 1989-12-31T00:00:00Z.
inline std::uint32_t fitTime(const QDateTime &t)
{
    return std::uint32_t(t.toSecsSinceEpoch() - 631065600);
}

// Semicircles of a latitude or longitude in degrees.
inline std::int32_t semicircles(double degrees)
{
    return std::int32_t(degrees * (2147483648.0 / 180.0));
}

class File
{
public:
    void define(int local, const Definition &d)
    {
        data_.append(char(0x40 | (d.developerSizes.empty() ? 0 : 0x20) | local));
        data_.append('\0');
        data_.append(char(d.big ? 1 : 0));
        put(d.global, 2, d.big);
        data_.append(char(d.fields.size()));
        for (const Field &f : d.fields) {
            data_.append(char(f.number));
            data_.append(char(f.size));
            data_.append(char(f.base));
        }
        if (!d.developerSizes.empty()) {
            data_.append(char(d.developerSizes.size()));
            for (std::size_t i = 0; i < d.developerSizes.size(); ++i) {
                data_.append(char(i));
                data_.append(char(d.developerSizes[i]));
                data_.append('\0');
            }
        }
        definitions_[std::size_t(local)] = d;
    }

    // One value per field, written in the field's size (its low bytes).
    void data(int local, const std::vector<std::int64_t> &values)
    {
        data_.append(char(local));
        body(local, values);
    }

    // A message whose time rides in its header: the low five bits of `time`.
    void compressed(int local, std::uint32_t time, const std::vector<std::int64_t> &values)
    {
        data_.append(char(0x80 | (local << 5) | (time & 0x1F)));
        body(local, values);
    }

    void raw(const QByteArray &bytes) { data_.append(bytes); }

    // The whole file: header, messages, checksum.
    QByteArray bytes(int headerSize = 14, bool headerCrc = true) const
    {
        QByteArray out;
        out.append(char(headerSize));
        out.append(char(0x20));
        out.append(char(0x08));
        out.append(char(0x08)); // profile 20.56
        const auto size = std::uint32_t(data_.size());
        for (int i = 0; i < 4; ++i)
            out.append(char(size >> (8 * i)));
        out.append(".FIT");
        if (headerSize >= 14) {
            const std::uint16_t crc = headerCrc ? GpsImport::FitCrc::updateNibbles(
                                                      0, reinterpret_cast<const unsigned char *>(out.constData()), 12)
                                                : 0;
            out.append(char(crc & 0xFF));
            out.append(char(crc >> 8));
            out.append(QByteArray(headerSize - 14, '\0'));
        }
        out.append(data_);
        const std::uint16_t crc =
            GpsImport::FitCrc::updateNibbles(0, reinterpret_cast<const unsigned char *>(out.constData()), out.size());
        out.append(char(crc & 0xFF));
        out.append(char(crc >> 8));
        return out;
    }

private:
    void put(std::uint64_t value, int size, bool big)
    {
        for (int i = 0; i < size; ++i)
            data_.append(char(value >> (8 * (big ? size - 1 - i : i))));
    }

    void body(int local, const std::vector<std::int64_t> &values)
    {
        const Definition &d = definitions_[std::size_t(local)];
        for (std::size_t i = 0; i < d.fields.size(); ++i)
            put(std::uint64_t(i < values.size() ? values[i] : -1), d.fields[i].size, d.big);
        for (const std::uint8_t size : d.developerSizes)
            data_.append(QByteArray(size, char(0xAB)));
    }

    QByteArray data_;
    std::array<Definition, 16> definitions_{};
};

// ---------------------------------------------------------------- the usual messages

inline void fileId(File &f, int type, int local = 0, bool big = false)
{
    f.define(local, {0, {{0, 1, Enum}, {1, 2, UInt16}, {4, 4, UInt32}}, {}, big});
    f.data(local, {type, 1, 1000000000});
}

struct Session
{
    std::uint32_t start = 0;       // FIT time
    std::int64_t elapsedMs = -1;   // -1: not set
    std::int64_t timerMs = -1;
    std::int64_t distanceCm = -1;
    int sport = 2;                 // -1: not set
    int subSport = 0;
    std::int64_t movingMs = -1;
    int ascent = -1;               // metres; -1 (both): the fields are not defined
    int descent = -1;
};

inline void session(File &f, const Session &s, int local = 2, bool big = false)
{
    const auto orUnset = [](std::int64_t v) { return v < 0 ? std::int64_t(0xFFFFFFFF) : v; };
    Definition d{18,
                 {{253, 4, UInt32}, {2, 4, UInt32}, {7, 4, UInt32}, {8, 4, UInt32}, {9, 4, UInt32},
                  {5, 1, Enum}, {6, 1, Enum}, {254, 2, UInt16}, {59, 4, UInt32}},
                 {},
                 big};
    const bool climb = s.ascent >= 0 || s.descent >= 0;
    if (climb)
        d.fields.insert(d.fields.end(), {{22, 2, UInt16}, {23, 2, UInt16}});
    f.define(local, d);
    const std::int64_t elapsed = s.elapsedMs < 0 ? 0 : s.elapsedMs / 1000;
    std::vector<std::int64_t> values = {s.start + elapsed, s.start, orUnset(s.elapsedMs), orUnset(s.timerMs),
                                        orUnset(s.distanceCm), s.sport, s.subSport, 0, orUnset(s.movingMs)};
    if (climb) {
        values.push_back(s.ascent < 0 ? 0xFFFF : s.ascent);
        values.push_back(s.descent < 0 ? 0xFFFF : s.descent);
    }
    f.data(local, values);
}

// The device's timer started (type 0) or stopped (1; 4: all timers).
inline void timerEvent(File &f, std::uint32_t time, int type, int local = 3)
{
    f.define(local, {21, {{253, 4, UInt32}, {0, 1, Enum}, {1, 1, Enum}}, {}, false});
    f.data(local, {time, 0, type});
}

// The record of a bike computer: time, position, distance, altitude,
// speed, heart rate, cadence, temperature (24 bytes with its header).
inline Definition recordDefinition(bool compressedTime = false, bool big = false)
{
    Definition d{20,
                 {{0, 4, SInt32}, {1, 4, SInt32}, {5, 4, UInt32}, {2, 2, UInt16}, {6, 2, UInt16},
                  {3, 1, UInt8}, {4, 1, UInt8}, {13, 1, SInt8}},
                 {},
                 big};
    if (!compressedTime)
        d.fields.insert(d.fields.begin(), Field{253, 4, UInt32});
    return d;
}

// `count` records a second apart from `start`, riding east along 50° N at
// `speed` metres a second; with `compressedTime`, every record but each
// `fullEvery`th carries its time in its header (local type local + 1).
inline void records(File &f, std::uint32_t start, int count, double speed, std::int64_t startCm = 0,
                    bool compressedTime = false, int local = 1, bool big = false, int fullEvery = 16)
{
    f.define(local, recordDefinition(false, big));
    if (compressedTime)
        f.define(local + 1, recordDefinition(true, big));
    const std::int32_t lat = semicircles(50.0);
    for (int i = 0; i < count; ++i) {
        const std::uint32_t t = start + std::uint32_t(i);
        const std::int64_t cm = startCm + std::int64_t(i * speed * 100);
        const std::int32_t lon = semicircles(14.0 + cm / 100.0 / 71700.0);
        const std::vector<std::int64_t> v = {lat, lon, cm, 2500 + (i % 200), std::int64_t(speed * 1000),
                                             120 + i % 40, 85, 21};
        if (compressedTime && i % fullEvery != 0) {
            f.compressed(local + 1, t, v);
        } else {
            std::vector<std::int64_t> full = {t};
            full.insert(full.end(), v.begin(), v.end());
            f.data(local, full);
        }
    }
}

// A ride as a bike computer writes it: file id, the records, a session.
inline QByteArray activity(std::uint32_t start, int seconds, double speed, bool compressedTime = false)
{
    File f;
    fileId(f, 4);
    records(f, start, seconds, speed, 0, compressedTime);
    const auto cm = std::int64_t((seconds - 1) * speed * 100);
    session(f, {start, std::int64_t(seconds) * 1000, std::int64_t(seconds) * 1000 - 1500, cm, 2, 0});
    return f.bytes();
}

} // namespace FitWriter
