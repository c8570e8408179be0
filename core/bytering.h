// Single-producer, single-consumer byte ring for received SysEx bytes.
//
// The producer (a MIDI input thread) stores the bytes first and then publishes the new
// write index with release order; the consumer (the GUI thread) loads the write index with
// acquire order before it reads bytes, and publishes its read index with release order once
// it is done with them. Both indexes are free-running 16-bit counters that wrap at 65536;
// the position of a counter value is its low ten bits. The writer never waits and never
// overwrites unread bytes: a piece that does not fit is dropped whole and counted in
// `drops()`, so that the reader can tell that what it reads is no longer complete.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace korvalen {

class ByteRing {
public:
    static constexpr std::size_t kSize = 1024;
    static constexpr std::uint16_t kMask = kSize - 1;

    // Producer side. Returns false, and counts a drop, when the piece does not fit.
    bool write(const std::uint8_t* data, std::size_t length) noexcept {
        std::uint16_t w = write_.load(std::memory_order_relaxed);
        const std::uint16_t r = read_.load(std::memory_order_acquire);
        if (length > kSize - static_cast<std::uint16_t>(w - r)) {
            drops_.fetch_add(1, std::memory_order_release);
            return false;
        }
        for (std::size_t i = 0; i < length; ++i) {
            bytes_[w & kMask].store(data[i], std::memory_order_relaxed);
            ++w;
        }
        write_.store(w, std::memory_order_release);
        return true;
    }

    // Pieces dropped because they did not fit, ever. Any thread may read it.
    std::uint32_t drops() const noexcept { return drops_.load(std::memory_order_acquire); }

    // Consumer side.
    std::uint16_t writeIndex() const noexcept { return write_.load(std::memory_order_acquire); }
    std::uint16_t readIndex() const noexcept { return read_.load(std::memory_order_relaxed); }

    // Bytes written but not yet consumed (at most kSize).
    std::size_t unread() const noexcept {
        return static_cast<std::uint16_t>(writeIndex() - readIndex());
    }
    bool empty() const noexcept { return writeIndex() == readIndex(); }

    // The byte `offset` places after the oldest unread one; the caller checks offset < unread().
    std::uint8_t peek(std::size_t offset) const noexcept {
        return bytes_[(readIndex() + offset) & kMask].load(std::memory_order_relaxed);
    }

    // Never past the write index: bytes that were discarded meanwhile are not consumed twice.
    void consume(std::size_t count) noexcept {
        count = std::min(count, unread());
        read_.store(static_cast<std::uint16_t>(readIndex() + count), std::memory_order_release);
    }

    // Discards everything unread.
    void discardAll() noexcept { read_.store(writeIndex(), std::memory_order_release); }

    // Address of the storage position of a counter value (for handing a pointer along).
    const std::atomic<std::uint8_t>* at(std::uint16_t counter) const noexcept {
        return &bytes_[counter & kMask];
    }

private:
    std::atomic<std::uint8_t> bytes_[kSize] = {};
    std::atomic<std::uint16_t> write_{0};
    std::atomic<std::uint16_t> read_{0};
    std::atomic<std::uint32_t> drops_{0};
};

} // namespace korvalen
