// The in-process virtual MIDI bus: ports that a test scripts, devices attached to port pairs,
// and virtual time.
//
// Time: the bus has a clock in milliseconds that only sleep() advances. A message sent to a
// device is handled by the device at the current time plus the device's reply delay, and the
// device's replies reach its input port at that same time. Deliveries are made by the bus's own
// delivery thread, never inside send(), as real MIDI arrives on another thread. sleep(ms)
// advances the clock and returns once everything due by the new time has been delivered (every
// handler has returned); deliveries that are due already go out at once even when nobody
// sleeps, so an interactive program on the bus works.
//
// Receive buffers behave like those of the platform's input ports: a System Exclusive message
// fills the armed buffers one after the other and each comes back to the handler with the bytes
// recorded; a message that finds no armed buffer (or a port that is not started) is dropped.
#pragma once

#include "midiplatform.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace korvalen::midi {

using Message = std::vector<std::uint8_t>;

// Something that answers on the bus: a controller emulator or a test's responder. Called on the
// bus's delivery thread only, one message at a time.
class VirtualDevice {
public:
    virtual ~VirtualDevice() = default;
    // Handles one complete message and returns the messages to send back, in order.
    virtual std::vector<Message> receive(const Message& message) = 0;
    // The same, told the virtual time at which the message arrives; a device that reads at a
    // limited pace uses it.
    virtual std::vector<Message> receiveAt(const Message& message, std::uint64_t nowMs) {
        return receive(message);
    }
    // Virtual milliseconds between a message being sent and the device handling it.
    virtual unsigned replyDelayMs() const { return 0; }
    // The delay for one message; a device may answer some messages later than others.
    virtual unsigned replyDelayFor(const Message& message) const { return replyDelayMs(); }
    // Virtual milliseconds between two of the `count` replies to one message (0: all at once).
    virtual unsigned replyGapMs(std::size_t count) const { return 0; }
};

// What happened to a port, in the bus's port log.
struct PortRecord {
    enum class Kind {
        InputOpened,
        InputClosed,
        InputOpenFailed,
        OutputOpened,
        OutputClosed,
        OutputOpenFailed,
    };
    Kind kind;
    unsigned index;
    std::uint64_t time; // virtual milliseconds
    bool operator==(const PortRecord&) const = default;
};

class VirtualBus final : public Platform {
public:
    using Responder = std::function<std::vector<Message>(const Message&)>;

    VirtualBus();
    ~VirtualBus() override; // stops the delivery thread; never call it from a handler
    VirtualBus(const VirtualBus&) = delete;
    VirtualBus& operator=(const VirtualBus&) = delete;

    // --- Platform
    std::string apiName() const override { return "virtual"; }
    unsigned inputCount() override;
    unsigned outputCount() override;
    std::string inputName(unsigned index) override;
    std::string outputName(unsigned index) override;
    std::unique_ptr<InputPort> openInput(unsigned index, InputHandler handler,
                                         std::uintptr_t instance) override;
    std::unique_ptr<OutputPort> openOutput(unsigned index) override;
    void sleep(unsigned milliseconds) override;
    // Advances the clock event by event and stops at the first delivery after which `token`
    // was woken or stopped, so an early end costs only the virtual time up to it.
    bool sleep(unsigned milliseconds, StopToken& token) override;
    // The steady port counts' names.
    std::vector<std::string> inputNames() override;
    std::vector<std::string> outputNames() override;

    // --- Scripting the ports
    // The steady port counts (initially 0 and 0).
    void setPortCounts(unsigned inputs, unsigned outputs);
    // Counts for the next polls, one (inputs, outputs) pair per poll; a poll is one input
    // count query and one output count query, in either order (asking the same count twice
    // starts the next poll). When the script is used up the steady counts apply.
    void scriptPortCounts(std::vector<std::pair<unsigned, unsigned>> polls);
    // Ports that refuse to open (for the reason `why`), and output ports whose sends fail
    // (return -1, nothing sent).
    void setInputOpenFails(unsigned index, bool fails, OpenFailure why = OpenFailure::Unknown);
    void setOutputOpenFails(unsigned index, bool fails, OpenFailure why = OpenFailure::Unknown);
    void setSendFails(unsigned index, bool fails);
    // Port names other than the default "Virtual MIDI In N" / "Virtual MIDI Out N".
    void setInputName(unsigned index, std::string name);
    void setOutputName(unsigned index, std::string name);
    // A port can be opened while its index is below the count last reported (or the steady
    // count when nothing was reported yet); each port at most once at a time.

    // --- Devices
    // Messages sent on output port `outputIndex` go to the device; its replies arrive on input
    // port `inputIndex`. Several devices may share ports.
    void attach(unsigned inputIndex, unsigned outputIndex, std::shared_ptr<VirtualDevice> device);
    void attach(unsigned inputIndex, unsigned outputIndex, Responder responder,
                unsigned replyDelayMs = 0);
    void detachAll();

    // --- Observing and driving
    std::uint64_t now() const; // virtual milliseconds
    // Puts a message on input port `inputIndex`, due `delayMs` virtual milliseconds from now.
    void inject(unsigned inputIndex, Message message, unsigned delayMs = 0);
    // Returns once everything due by the current time has been delivered.
    void quiesce();
    // Events scheduled but not yet delivered (due now or later).
    std::size_t pendingEvents() const;
    std::vector<PortRecord> portLog() const;
    void clearPortLog();
    std::vector<unsigned> openInputs() const;
    std::vector<unsigned> openOutputs() const;
    // Every message sent successfully on output port `index`, in order.
    std::vector<Message> sent(unsigned index) const;
    void clearSent();
    // Messages (or parts of System Exclusive messages) that reached an input port that was not
    // open or started, or that had no armed buffer.
    std::size_t droppedMessages() const;

    struct Core; // shared with the ports

private:
    std::shared_ptr<Core> core_;
};

} // namespace korvalen::midi
