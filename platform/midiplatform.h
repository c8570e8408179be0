// The MIDI platform layer: the few port operations the device link and the upgrade worker
// need, behind one small interface. Backends: RtMidi (ALSA, JACK, CoreMIDI, WinMM) and an
// in-process virtual bus for tests and for trying the editor without hardware.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvalen::midi {

// What an input port reports to its handler. Handlers run on the backend's input thread.
struct InputEvent {
    enum class Kind {
        Close,    // the port was closed
        Short,    // a short message: status in bits 0-7, data 1 in bits 8-15, data 2 in 16-23
        LongData, // a receive buffer comes back with `recorded` bytes of SysEx in it
    };
    Kind kind;
    std::uint32_t shortMessage = 0;
    std::uint8_t* buffer = nullptr; // the buffer that was added with addBuffer()
    std::uint32_t recorded = 0;     // bytes of it filled; 0 when the buffer was returned unused
};

// The handler receives the instance value given to openInput() and the event.
using InputHandler = std::function<void(std::uintptr_t instance, const InputEvent& event)>;

class InputPort {
public:
    virtual ~InputPort() = default; // closes the port (after stop and reset)
    // Queues a receive buffer; SysEx bytes fill it and it comes back as a LongData event.
    // Messages longer than the buffer arrive in buffer-sized pieces. Returns 0 or -1.
    virtual int addBuffer(std::uint8_t* buffer, std::uint32_t size) = 0;
    virtual int start() = 0;
    virtual int stop() = 0;
    // Returns every queued buffer to the handler with 0 bytes recorded.
    virtual int reset() = 0;
};

class OutputPort {
public:
    virtual ~OutputPort() = default; // closes the port
    // Sends one complete message (F0 ... F7, or a short message of up to 3 bytes) and
    // returns when the platform has finished with the buffer. Returns 0 or -1.
    virtual int send(const std::uint8_t* data, std::uint32_t length) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;
    virtual std::string apiName() const = 0;
    virtual unsigned inputCount() = 0;
    virtual unsigned outputCount() = 0;
    virtual std::string inputName(unsigned index) { return "in " + std::to_string(index); }
    virtual std::string outputName(unsigned index) { return "out " + std::to_string(index); }
    // nullptr when the port cannot be opened.
    virtual std::unique_ptr<InputPort> openInput(unsigned index, InputHandler handler,
                                                 std::uintptr_t instance) = 0;
    virtual std::unique_ptr<OutputPort> openOutput(unsigned index) = 0;
    // Every fixed wait of the device searches goes through here, so that tests can run
    // them in virtual time.
    virtual void sleep(unsigned milliseconds) = 0;
};

// The platform the program uses; set once at start-up (or by a test) before any port work.
Platform& platform();
void setPlatform(std::shared_ptr<Platform> p);

} // namespace korvalen::midi
