#pragma once
#include "FitCrc.h"
#include "RecordedRide.h"

#include <QIODevice>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

namespace GpsImport::Fit {

// The device read through one buffer that holds the largest message
// possible; the checksum follows the bytes as they are taken.
class Input
{
public:
    Input(QIODevice &device, const StopFlag &stop)
        : device_(device), stop_(stop), buffer_(new unsigned char[kCapacity]), start_(device.pos())
    {
    }

    // Makes n bytes from the current one available; false at the end of
    // the device (or when the reading is stopped).
    bool ensure(std::size_t n)
    {
        return end_ - pos_ >= n || refill(n);
    }

    const unsigned char *at() const { return buffer_.get() + pos_; }
    std::size_t available() const { return end_ - pos_; }
    void skip(std::size_t n) { pos_ += n; }
    std::int64_t offset() const { return base_ + std::int64_t(pos_); }
    bool stopped() const { return stopped_; }

    // The checksum runs over the bytes taken from now on, starting at 0.
    void startCrc()
    {
        crcOn_ = true;
        crc_ = 0;
        crcFrom_ = pos_;
    }
    std::uint16_t takeCrc()
    {
        crc_ = FitCrc::update(crc_, buffer_.get() + crcFrom_, pos_ - crcFrom_);
        crcFrom_ = pos_;
        crcOn_ = false;
        return crc_;
    }

    // Takes bytes up to the absolute offset `to` without looking at them;
    // false if the device ends first.
    bool skipTo(std::int64_t to)
    {
        while (offset() < to) {
            if (!ensure(1))
                return false;
            const std::size_t n = std::size_t(std::min<std::int64_t>(std::int64_t(available()), to - offset()));
            pos_ += n;
        }
        return true;
    }

    // Whether the bytes from an earlier offset can be read again.
    bool canGoBack() const { return !device_.isSequential(); }

    // Goes to the absolute offset `to`, within the buffer or by seeking
    // the device; the checksum stops. False when the device cannot go there.
    bool seek(std::int64_t to)
    {
        crcOn_ = false;
        if (to >= base_ && to <= base_ + std::int64_t(end_)) {
            pos_ = std::size_t(to - base_);
            return true;
        }
        if (stopped_ || !device_.seek(start_ + to))
            return false;
        base_ = to;
        pos_ = end_ = 0;
        ended_ = false;
        return true;
    }

    static constexpr std::size_t kCapacity = 256 * 1024;

private:
    static constexpr std::size_t kChunk = 64 * 1024;

    bool refill(std::size_t n)
    {
        if (n > kCapacity || ended_)
            return false;
        if (stop_.load(std::memory_order_relaxed)) {
            stopped_ = ended_ = true;
            return false;
        }
        if (crcOn_) {
            crc_ = FitCrc::update(crc_, buffer_.get() + crcFrom_, pos_ - crcFrom_);
            crcFrom_ = 0;
        }
        const std::size_t left = end_ - pos_;
        std::memmove(buffer_.get(), buffer_.get() + pos_, left);
        base_ += std::int64_t(pos_);
        pos_ = 0;
        end_ = left;
        while (end_ < n) {
            const std::size_t room = std::min(kChunk, kCapacity - end_);
            const qint64 got = device_.read(reinterpret_cast<char *>(buffer_.get() + end_), qint64(room));
            if (got <= 0) {
                ended_ = true;
                return false;
            }
            end_ += std::size_t(got);
        }
        return true;
    }

    QIODevice &device_;
    const StopFlag &stop_;
    std::unique_ptr<unsigned char[]> buffer_;
    std::size_t pos_ = 0, end_ = 0;
    std::int64_t base_ = 0;
    const qint64 start_; // the device's position when the reading began
    bool ended_ = false, stopped_ = false;
    bool crcOn_ = false;
    std::size_t crcFrom_ = 0;
    std::uint16_t crc_ = 0;
};

} // namespace GpsImport::Fit
