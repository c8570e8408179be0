// The device link: finds the controller among all MIDI ports by an identity probe, keeps one
// input and one output port open, sends SysEx buffers and hands what it receives to the GUI
// thread through a byte ring and queued signals.
//
// There is one link and one port table for the whole program (`midiLink`). The firmware
// upgrade worker reuses the same port table, `resetPortTable` and `sendSysEx`, with an input
// handler of its own.
#pragma once

#include "bytering.h"
#include "midiplatform.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>

class midiMethodClass : public QObject {
    Q_OBJECT

public:
    static constexpr int kMaxPorts = 20;
    static constexpr std::uint32_t kBufferSize = 256;
    static constexpr int kAttempts = 10;   // device searches per reConnect()
    static constexpr int kCountPolls = 10; // port-count polls per search
    static constexpr unsigned kPollPauseMs = 1000;
    static constexpr unsigned kOpenPauseMs = 10; // after opening an output, before the probe
    static constexpr unsigned kReplyWaitMs = 50; // time allowed for the identity reply

    // One input slot: the open port (or none) and its receive buffer.
    struct InputSlot {
        std::unique_ptr<korvalen::midi::InputPort> handle;
        // The same port for the input thread, which re-queues the buffer; cleared before the
        // port is stopped and closed.
        std::atomic<korvalen::midi::InputPort*> live{nullptr};
        std::uint8_t buffer[kBufferSize] = {};
    };

    midiMethodClass();
    ~midiMethodClass() override;

    // --- port table (shared with the upgrade worker) ---
    std::uint32_t inPortCount = 0;
    std::uint32_t outPortCount = 0;
    InputSlot inPorts[kMaxPorts];
    std::unique_ptr<korvalen::midi::OutputPort> outPort;
    std::atomic<std::int32_t> linkState{0};    // editor: 0 not connected, 1 connected
    std::atomic<std::int32_t> replyInPort{0};  // input port + 1 of the awaited reply, 0 none
    std::atomic<std::int32_t> replyOutPort{0}; // output port + 1 kept open, 0 none

    // True from a successful reConnect() until a firmware upgrade run takes the ports.
    std::atomic<bool> editorOwnsPorts{false};
    // The editor may send preset messages: connected, and the ports are not the upgrade's.
    bool editorConnected() const { return editorOwnsPorts && linkState == 1; }

    // Received SysEx bytes, written by the input thread and read by the GUI thread.
    korvalen::ByteRing sysExRing;

    // Sends one complete SysEx message and returns when the platform has finished with it.
    // 0 when sent; -1 when no output port is open or the platform refused the message.
    int sendSysEx(const std::uint8_t* buffer, std::uint32_t length);

    void resetPortTable();
    int findDevice(); // 0 found, 1 not found, -1 give up
    void closeInputs();

    // Input handler of every port the editor link opens; runs on the MIDI input thread.
    void editorMidiInProc(std::uintptr_t instance, const korvalen::midi::InputEvent& event);

    // Opens input port `index` with `handler`, queues the slot's buffer and starts the port.
    // Returns false (and leaves the slot empty) when any step fails.
    bool openInputSlot(unsigned index, korvalen::midi::InputHandler handler);
    // Stops, resets and closes one input slot.
    void closeInputSlot(int index);
    // Re-queues slot `index`'s buffer from the input thread.
    void requeueBuffer(int index);
    void closeOutput();

signals:
    void getMidiData(uint data);
    void getMidiSysData(unsigned char* data, uint len);
    void getSysData(uint len);

public slots:
    void reConnect();
};

// The program-wide link.
extern midiMethodClass midiLink;
