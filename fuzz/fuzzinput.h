// Taking typed values from a fuzzer's input, and stopping on a broken property.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// Reads the input front to back; past its end every value is 0.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool empty() const { return pos_ >= size_; }
    std::size_t left() const { return size_ - pos_; }
    // Up to `count` bytes from the current position; `taken` receives how many there were.
    const std::uint8_t* take(std::size_t count, std::size_t& taken) {
        taken = count < left() ? count : left();
        const std::uint8_t* at = data_ + pos_;
        pos_ += taken;
        return at;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A broken property is a crash for the fuzzer: it keeps the input that led to it.
[[noreturn]] inline void fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, what);
    std::abort();
}

} // namespace fuzz

#define FUZZ_CHECK(cond)                                                                           \
    do {                                                                                           \
        if (!(cond)) fuzz::fail(__FILE__, __LINE__, #cond);                                        \
    } while (0)
