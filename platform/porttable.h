// The open MIDI ports of a link: up to 20 input ports, each with its own 256-byte receive
// buffer, and one output port. The editor's link and the firmware upgrade share one table;
// a command-line program makes its own.
#pragma once

#include "midiplatform.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace korvalen::midi {

class PortTable {
public:
    static constexpr int kMaxPorts = 20; // more ports than this is a failure of the search
    static constexpr std::uint32_t kBufferSize = 256;

    // One input slot: the open port (or none) and its receive buffer.
    struct InputSlot {
        std::unique_ptr<InputPort> handle;
        // The same port for the input thread, which re-queues the buffer; cleared before the
        // port is stopped and closed.
        std::atomic<InputPort*> live{nullptr};
        std::uint8_t buffer[kBufferSize] = {};
    };

    PortTable() = default;
    PortTable(const PortTable&) = delete;
    PortTable& operator=(const PortTable&) = delete;
    // Ports keep their backend alive, so they can be closed here even after the platform has
    // been replaced or released.
    virtual ~PortTable();

    std::uint32_t inPortCount = 0;
    std::uint32_t outPortCount = 0;
    InputSlot inPorts[kMaxPorts];
    std::unique_ptr<OutputPort> outPort;

    // Sends one complete SysEx message and returns when the platform has finished with it.
    // 0 when sent; -1 when no output port is open or the platform refused the message.
    int sendSysEx(const std::uint8_t* buffer, std::uint32_t length);

    // Opens input port `index` with `handler` (instance value `index`), queues the slot's
    // buffer and starts the port. Returns false (and leaves the slot empty) when any step
    // fails.
    bool openInputSlot(unsigned index, InputHandler handler);
    // Stops, resets and closes one input slot.
    void closeInputSlot(int index);
    // Re-queues slot `index`'s buffer from the input thread.
    void requeueBuffer(int index);
    void closeInputs();
    void closeOutput();
    // Closes every input and the output.
    void closePorts() {
        closeInputs();
        closeOutput();
    }
};

} // namespace korvalen::midi
