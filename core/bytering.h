// Single-producer, single-consumer byte ring for received SysEx bytes.
//
// The producer (a MIDI input thread) stores the bytes first and then publishes the new
// write index with release order; the consumer (the GUI thread) loads the write index with
// acquire order before it reads bytes. Both indexes are free-running 16-bit counters that
// wrap at 65536; the position of a counter value is its low ten bits. The writer never
// waits: when more than `kSize` bytes are unread the oldest unread bytes are overwritten,
// and the reader notices that (see `lost()`) instead of reading bytes that were replaced.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace korvalen {

class ByteRing {
public:
    static constexpr std::size_t kSize = 1024;
    static constexpr std::uint16_t kMask = kSize - 1;

    // Producer side.
    void write(const std::uint8_t* data, std::size_t length) noexcept {
        std::uint16_t w = write_.load(std::memory_order_relaxed);
        for (std::size_t i = 0; i < length; ++i) {
            bytes_[w & kMask].store(data[i], std::memory_order_relaxed);
            ++w;
        }
        write_.store(w, std::memory_order_release);
    }

    // Consumer side.
    std::uint16_t writeIndex() const noexcept { return write_.load(std::memory_order_acquire); }
    std::uint16_t readIndex() const noexcept { return read_.load(std::memory_order_relaxed); }

    // Bytes written but not yet consumed, as the 16-bit difference of the counters. A value
    // above kSize means the writer has overwritten unread bytes.
    std::size_t unread() const noexcept {
        return static_cast<std::uint16_t>(writeIndex() - readIndex());
    }
    bool empty() const noexcept { return writeIndex() == readIndex(); }

    // True when unread bytes were overwritten before the reader got to them.
    bool lost() const noexcept { return unread() > kSize; }

    // Drops what was overwritten so that every unread byte is one that is still stored.
    void dropLost() noexcept {
        std::uint16_t w = writeIndex();
        if (static_cast<std::uint16_t>(w - readIndex()) > kSize)
            read_.store(static_cast<std::uint16_t>(w - kSize), std::memory_order_relaxed);
    }

    // The byte `offset` places after the oldest unread one; the caller checks offset < unread().
    std::uint8_t peek(std::size_t offset) const noexcept {
        return bytes_[(readIndex() + offset) & kMask].load(std::memory_order_relaxed);
    }

    void consume(std::size_t count) noexcept {
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
};

} // namespace korvalen
