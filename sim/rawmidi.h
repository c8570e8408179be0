// The simulator's side of a raw MIDI device (a USB MIDI gadget's /dev/snd/midiC<card>D0): a
// byte stream in both directions, split here into the messages the emulator takes, with the
// device found by the id of its sound card and opened, closed and opened again as it comes
// and goes.
#pragma once

#include "controlleremulator.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace korvalen::sim {

// Splits a raw MIDI byte stream into whole messages: System Exclusive from F0 to F7, channel
// messages (running status included) and system common messages. Real-time bytes (F8-FF) and
// MIDI time code quarter frames are dropped, as the emulator ignores timing; a System Exclusive
// message broken off by another status byte is dropped too.
class MidiStreamParser {
public:
    using Emit = std::function<void(const Message&)>;
    void feed(const std::uint8_t* data, std::size_t length, const Emit& emit);

private:
    void start(std::uint8_t status);

    Message current_;
    std::uint8_t running_ = 0; // the running status of channel messages, 0 for none
    std::size_t expected_ = 0; // the length of the message being read, 0 for System Exclusive
    bool inSysEx_ = false;
    bool dropping_ = false; // the data bytes of a dropped message (time code) follow
};

// The path of the raw MIDI device that `device` names: `device` itself when it is a path (starts
// with '/'), otherwise device 0 of the sound card whose id (as /proc/asound/cards lists it,
// case ignored) is `device`. Empty when there is no such card now. `cards` is the listing to read
// (for tests).
std::string rawMidiPath(const std::string& device, const std::string& cards = "/proc/asound/cards");

// The raw MIDI device, opened read-write and non-blocking by one reader thread (run()).
// Anyone may send(); close() (a pulled cable) closes it and makes run() wait until the device
// has gone and come back before it opens it again.
class RawMidiDevice {
public:
    struct Events {
        std::function<void(const std::string& path)> opened;
        std::function<void(const std::string& why)> closed;
        std::function<void(const Message&)> message;
        std::function<void(const std::string& what)> failed; // gave up waiting: run() ends
    };
    RawMidiDevice(std::string device, unsigned firstWaitMs, Events events);
    ~RawMidiDevice();
    RawMidiDevice(const RawMidiDevice&) = delete;
    RawMidiDevice& operator=(const RawMidiDevice&) = delete;

    // Reads until stop(); returns false when the device never appeared within the first wait.
    bool run();
    // Writes a whole message; false when the device is not open or took no more bytes within
    // a few seconds.
    bool send(const Message& message);
    // A pulled cable: the device is closed now, and opened again only after it has gone and
    // come back. Returns at once; run() reports the close.
    void close();
    void stop();

private:
    void wake();
    void closeDevice(const std::string& why);

    const std::string device_;
    const unsigned firstWaitMs_;
    Events events_;
    int wakePipe_[2] = {-1, -1};
    std::mutex fdMutex_; // fd_; held while writing
    int fd_ = -1;
    std::atomic<bool> stopping_{false};
    std::atomic<bool> closeRequested_{false};
};

} // namespace korvalen::sim
