// The MIDI platform layer: the few port operations the device link and the upgrade worker
// need, behind one small interface. Backends: RtMidi (ALSA, JACK, CoreMIDI, WinMM) and an
// in-process virtual bus for tests and for trying the editor without hardware.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
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

// Why a port did not open, as far as the backend can tell.
enum class OpenFailure : std::uint8_t {
    None,    // it opened, or it was not tried
    Unknown, // the backend refused it without saying why
    InUse,   // another program holds it
    Gone,    // it is no longer listed
};

// The reason for the last failed openInput() or openOutput() on the calling thread. A caller
// that wants to know sets Unknown before it opens; a backend that can tell more notes it before
// it returns nullptr.
OpenFailure lastOpenFailure();
void noteOpenFailure(OpenFailure why);

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

// Ends waits early. A stop request ends every wait that watches the token, now and later,
// until clear(); wake() ends only the wait in progress (or the next one, if none is), for
// example when the reply that a search waits for has come. Any thread may call these.
class StopToken {
public:
    void requestStop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
    }
    bool stopRequested() const { return stop_.load(); }
    void wake() {
        {
            std::lock_guard lock(mutex_);
            woken_ = true;
        }
        changed_.notify_all();
    }
    // Takes back a stop request and a pending wake-up.
    void clear() {
        std::lock_guard lock(mutex_);
        stop_ = false;
        woken_ = false;
    }
    // Takes a pending wake-up; true when there was one.
    bool takeWake() {
        std::lock_guard lock(mutex_);
        return std::exchange(woken_, false);
    }
    // Waits in real time for `milliseconds`, a stop request or a wake-up.
    void waitFor(unsigned milliseconds) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(milliseconds),
                          [this] { return stop_.load() || woken_; });
        woken_ = false;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> stop_{false};
    bool woken_ = false;
};

// The MIDI server behind a backend, as far as the backend can tell.
struct MidiServer {
    enum class Kind : std::uint8_t {
        None,     // no server: the backend talks to the system directly, or it is not known
        Jackd,    // the JACK server jackd
        PipeWire, // PipeWire, through its own JACK library
    };
    Kind kind = Kind::None;
    std::string version; // "1.9.21", "0.3.65"; empty when unknown
    // The cycle, in frames, that the backend asks the server for while a transfer goes on; 0
    // when it asks for nothing.
    unsigned transferQuantum = 0;
    // Nothing is asked because this program's JACK threads do not run in real time: on a busy
    // machine they miss short cycles, and PipeWire drops the MIDI of a missed cycle.
    bool notRealtime = false;
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
    // The same wait, ended early by a stop request or a wake-up of `token`. Returns false when
    // the wait ended because a stop was requested.
    virtual bool sleep(unsigned milliseconds, StopToken& token) {
        if (token.stopRequested()) return false;
        token.waitFor(milliseconds);
        return !token.stopRequested();
    }

    // The names of the ports as they are now, for watching them come and go. Unlike the
    // counts, this does not change which port an index opens.
    virtual std::vector<std::string> inputNames() = 0;
    virtual std::vector<std::string> outputNames() = 0;

    virtual MidiServer midiServer() { return {}; }
    // A transfer that sends a message and waits for the answer before it sends the next one
    // begins, or has ended. A server that runs its graph in long cycles makes each such step
    // wait for them, so the backend may ask for short cycles in between and gives them back
    // at the end. The calls come in pairs (TransferScope); they may nest, from any thread.
    virtual void transferBegins() {}
    virtual void transferEnds() {}
};

// One transfer, from the construction to the end of the scope: however the transfer ends
// (done, failed or stopped), the backend hears of the end.
class TransferScope {
public:
    explicit TransferScope(Platform& p) : platform_(p) { platform_.transferBegins(); }
    ~TransferScope() { platform_.transferEnds(); }
    TransferScope(const TransferScope&) = delete;
    TransferScope& operator=(const TransferScope&) = delete;

private:
    Platform& platform_;
};

// The platform the program uses; set once at start-up (or by a test) before any port work.
Platform& platform();
void setPlatform(std::shared_ptr<Platform> p);

} // namespace korvalen::midi
