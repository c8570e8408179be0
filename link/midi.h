// The device link: finds the controller among all MIDI ports by an identity probe, keeps one
// input and one output port open, sends SysEx buffers and hands what it receives to the GUI
// thread through a byte ring and queued signals.
//
// There is one link and one port table for the editor's traffic (`midiLink`); the firmware
// upgrade worker opens its ports in a table of its own, once the connection has let it take them.
#pragma once

#include "bytering.h"
#include "devicesearch.h"
#include "midiplatform.h"
#include "porttable.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class midiMethodClass : public QObject, public korvalen::midi::PortTable {
    Q_OBJECT

public:
    static constexpr int kAttempts = 10;   // device searches per reConnect()
    static constexpr int kCountPolls = 10; // port-count polls per search
    static constexpr unsigned kPollPauseMs = 1000;
    static constexpr unsigned kOpenPauseMs = 10;     // after opening an output, before the probe
    static constexpr unsigned kReplyWaitMs = 50;     // time allowed for the identity reply
    static constexpr unsigned kConfirmWaitMs = 1000; // for the answer to the second probe

    midiMethodClass();
    ~midiMethodClass() override;

    // --- port table: see PortTable
    std::atomic<std::int32_t> replyInPort{0};  // input port + 1 of the awaited reply, 0 none
    std::atomic<std::int32_t> replyOutPort{0}; // output port + 1 kept open, 0 none

    // Where the input handler delivers what the controller sends. Whether the editor is
    // connected is the connection's business (ControllerConnection::state()), or the search
    // result's in the command line; this switch only routes the input thread's messages.
    enum class Delivery {
        Nowhere, // no controller chosen: a search runs, or the ports are closed or the upgrade's
        Window,  // into the ring, and the window is told by signal
        RingOnly // into the ring only: a transfer reads it on a thread of its own
    };
    std::atomic<Delivery> delivery{Delivery::Nowhere};
    // A transfer takes the ring from the window, and hands it back; both leave the switch
    // alone when no controller is chosen.
    void deliverToRingOnly();
    void deliverToWindowAgain();

    // Received SysEx bytes, written by the input thread and read by the GUI thread.
    korvalen::ByteRing sysExRing;

    void resetPortTable();
    int findDevice(); // one search attempt: 0 found, 1 not found, -1 give up

    // Input handler of every port the editor link opens; runs on the MIDI input thread.
    void editorMidiInProc(std::uintptr_t instance, const korvalen::midi::InputEvent& event);

    // --- the search
    // The options of the editor's search: the identity probe, the identity reply as the one
    // answer that counts, editorMidiInProc behind it, and the link's counts and pauses.
    korvalen::midi::DeviceSearch::Options editorSearchOptions();
    // A search in two steps, so that it can run on a thread of its own while the window keeps
    // turning: prepareSearch() on the thread that owns the link (it takes the ports for the
    // editor, closes what was open and takes back an earlier stop request), then runSearch()
    // on any one thread; nothing else may touch the port table until it has returned. Found
    // leaves the controller's pair open and its input delivered to the window.
    void prepareSearch();
    korvalen::midi::SearchResult runSearch(const korvalen::midi::DeviceSearch::Options& options);
    // What the last search of the editor saw, port by port.
    const korvalen::midi::SearchRecord& lastSearch() const { return lastSearch_; }
    // Ends a search in progress (its pauses included) at once; the next search runs again.
    // Any thread may call it.
    void stopSearch() { searchStop_.requestStop(); }

    // The names of the controller's ports while connected (empty otherwise).
    const std::string& controllerInputName() const { return controllerIn_; }
    const std::string& controllerOutputName() const { return controllerOut_; }
    // What the controller's identity reply told (ControllerIdentity::pack()); 0 when not
    // connected.
    std::uint32_t controllerIdentity() const { return controllerIdentity_.load(); }
    // True when both of the controller's ports are still in the backend's port lists.
    bool controllerPortsPresent();

signals:
    void getMidiData(uint data);
    void getMidiSysData(unsigned char* data, uint len);
    void getSysData(uint len);

public slots:
    // Both steps of the search on the calling thread, with the editor's options.
    void reConnect();

private:
    korvalen::midi::StopToken searchStop_;
    korvalen::midi::SearchRecord lastSearch_;
    std::string controllerIn_;
    std::string controllerOut_;
    std::atomic<std::uint32_t> controllerIdentity_{0};
};

// The program-wide link.
extern midiMethodClass midiLink;
