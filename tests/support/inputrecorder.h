// Test helper: an input handler that records every event, re-adds a returned buffer the way
// the editor's link does (synchronously, when bytes were recorded), and lets a test wait for
// events.
#pragma once

#include "midiplatform.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct RecordedEvent {
    korvalen::midi::InputEvent::Kind kind;
    std::uintptr_t instance = 0;
    std::uint32_t shortMessage = 0;
    std::uint8_t* buffer = nullptr;
    std::vector<std::uint8_t> bytes; // the recorded bytes of a LongData event
    std::thread::id thread;
};

class InputRecorder {
public:
    static constexpr std::uint32_t kBufferSize = 256;

    korvalen::midi::InputHandler handler() {
        return [this](std::uintptr_t instance, const korvalen::midi::InputEvent& e) {
            RecordedEvent r{e.kind,   instance, e.shortMessage,
                            e.buffer, {},       std::this_thread::get_id()};
            if (e.kind == korvalen::midi::InputEvent::Kind::LongData && e.buffer)
                r.bytes.assign(e.buffer, e.buffer + e.recorded);
            {
                std::lock_guard lock(mutex_);
                events_.push_back(std::move(r));
            }
            if (e.kind == korvalen::midi::InputEvent::Kind::LongData && e.recorded > 0 && port &&
                reArm)
                port->addBuffer(e.buffer, kBufferSize);
            if (onEvent) onEvent();
            cv_.notify_all();
        };
    }

    // Arms the recorder's own buffer on `p` and starts it.
    void arm(korvalen::midi::InputPort* p) {
        port = p;
        port->addBuffer(buffer, kBufferSize);
        port->start();
    }

    std::vector<RecordedEvent> events() {
        std::lock_guard lock(mutex_);
        return events_;
    }

    // The bytes of all LongData events so far, joined.
    std::vector<std::uint8_t> joined() {
        std::lock_guard lock(mutex_);
        std::vector<std::uint8_t> all;
        for (const auto& e : events_)
            all.insert(all.end(), e.bytes.begin(), e.bytes.end());
        return all;
    }

    // Waits until `done` holds for the recorded events. No bound of its own: a wait that never
    // ends is ended by the test's time-out.
    void waitFor(const std::function<bool(const std::vector<RecordedEvent>&)>& done) {
        std::unique_lock lock(mutex_);
        cv_.wait(lock, [&] { return done(events_); });
    }

    // Waits until the joined LongData bytes number at least `count`.
    void waitForBytes(std::size_t count) {
        waitFor([count](const std::vector<RecordedEvent>& events) {
            std::size_t n = 0;
            for (const auto& e : events)
                n += e.bytes.size();
            return n >= count;
        });
    }

    std::uint8_t buffer[kBufferSize] = {};
    korvalen::midi::InputPort* port = nullptr;
    bool reArm = true;
    std::function<void()> onEvent;

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<RecordedEvent> events_;
};
