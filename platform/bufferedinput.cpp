#include "bufferedinput.h"

#include "traffictap.h"

#include <algorithm>
#include <cstring>

namespace korvalen::midi {

int BufferedInput::addBuffer(std::uint8_t* buffer, std::uint32_t size) {
    if (!buffer || size == 0) return -1;
    std::lock_guard lock(stateMutex_);
    if (closed_) return -1;
    armed_.push_back({buffer, size});
    return 0;
}

int BufferedInput::start() {
    std::lock_guard lock(stateMutex_);
    started_ = true;
    return 0;
}

int BufferedInput::stop() {
    std::lock_guard lock(stateMutex_);
    started_ = false;
    return 0;
}

int BufferedInput::reset() {
    std::lock_guard handlerLock(handlerMutex_);
    {
        std::lock_guard lock(stateMutex_);
        started_ = false;
    }
    returnBuffers();
    return 0;
}

void BufferedInput::shut() {
    std::lock_guard handlerLock(handlerMutex_);
    std::lock_guard lock(stateMutex_);
    started_ = false;
    closed_ = true;
}

void BufferedInput::reportClose() {
    returnBuffers();
    handler_(instance_, InputEvent{InputEvent::Kind::Close});
}

void BufferedInput::deliver(const std::uint8_t* data, std::size_t length) {
    if (!data || length == 0) return;
    tapTraffic(false, name_, data, length);
    std::lock_guard handlerLock(handlerMutex_);
    if (data[0] != 0xF0) {
        {
            std::lock_guard lock(stateMutex_);
            if (!started_ || closed_) return;
        }
        InputEvent event{InputEvent::Kind::Short};
        for (std::size_t i = 0; i < length && i < 3; ++i)
            event.shortMessage |= static_cast<std::uint32_t>(data[i]) << (8 * i);
        handler_(instance_, event);
        return;
    }
    // A System Exclusive message fills the armed buffers one after the other; the handler
    // adds a returned buffer again before it returns, so a long message needs only one.
    std::size_t offset = 0;
    while (offset < length) {
        Armed buffer;
        {
            std::lock_guard lock(stateMutex_);
            if (!started_ || closed_ || armed_.empty()) return; // the rest is lost
            buffer = armed_.front();
            armed_.pop_front();
        }
        const auto piece =
            static_cast<std::uint32_t>(std::min<std::size_t>(buffer.size, length - offset));
        std::memcpy(buffer.data, data + offset, piece);
        offset += piece;
        InputEvent event{InputEvent::Kind::LongData};
        event.buffer = buffer.data;
        event.recorded = piece;
        handler_(instance_, event);
    }
}

void BufferedInput::returnBuffers() {
    std::deque<Armed> taken;
    {
        std::lock_guard lock(stateMutex_);
        taken.swap(armed_);
    }
    for (const Armed& b : taken) {
        InputEvent event{InputEvent::Kind::LongData};
        event.buffer = b.data;
        event.recorded = 0;
        handler_(instance_, event);
    }
}

} // namespace korvalen::midi
