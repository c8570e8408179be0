// The controller emulator as a device on the virtual bus.
#pragma once

#include "controlleremulator.h"
#include "virtualbus.h"

#include <atomic>
#include <memory>

namespace korvalen::midi {

class EmulatorDevice final : public VirtualDevice {
public:
    explicit EmulatorDevice(sim::ControllerEmulator::Options options = {})
        : emulator_(options), delay_(options.replyDelayMs) {}

    std::vector<Message> receive(const Message& message) override {
        return emulator_.receive(message);
    }
    std::vector<Message> receiveAt(const Message& message, std::uint64_t nowMs) override {
        if (!emulator_.admit(message.size(), nowMs * 1000)) return {};
        return emulator_.receive(message);
    }
    unsigned replyDelayMs() const override { return delay_.load(); }
    // The identity probe may be answered later still (ControllerEmulator::Options).
    unsigned replyDelayFor(const Message& message) const override {
        return delay_.load() + emulator_.extraDelayFor(message);
    }
    unsigned replyGapMs(std::size_t count) const override { return emulator_.answerGapMs(count); }
    void setReplyDelayMs(unsigned ms) { delay_.store(ms); }

    // The emulator runs on the bus's delivery thread: change or read it only while nothing is
    // in flight (after VirtualBus::quiesce() or sleep()).
    sim::ControllerEmulator& emulator() { return emulator_; }

private:
    sim::ControllerEmulator emulator_;
    std::atomic<unsigned> delay_;
};

} // namespace korvalen::midi
