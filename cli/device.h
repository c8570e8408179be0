// The controller as korvalen25-cli talks to it: the editor's link (its device search, its
// ports, its ring of received SysEx) and the link's preset transfers, driven without widgets
// and without an event loop. Every wait goes through the platform's sleep, so on the virtual
// backend a silent controller costs no real time.
#pragma once

#include "devicesearch.h"
#include "outcome.h"
#include "presets.h"
#include "presettransfer.h"

class midiMethodClass;

namespace korvalen::cli {

// The failure of a command when controllers answered but none was chosen: several and no
// --port, or a --port `port` that names none of them. It lists them, one per line.
Outcome notChosen(const std::vector<midi::FoundDevice>& devices, const QString& port,
                  bool upgradeMode = false);

class DeviceSession {
public:
    // How long a transfer waits for the controller: after the request, and after each piece of
    // the dump.
    static constexpr unsigned kDefaultTimeoutMs = PresetTransfer::kDefaultTimeoutMs;
    // Readings of the port counts in each attempt of the search: with no MIDI port at all the
    // search gives up after one reading and its pause, about a second.
    static constexpr int kCountPolls = 1;

    explicit DeviceSession(midiMethodClass& link, unsigned timeoutMs = kDefaultTimeoutMs);
    ~DeviceSession(); // closes the ports
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // The editor's device search (up to ten attempts), with kCountPolls readings of the port
    // counts in each. `port` (a part of a port name, any case) names the controller to use;
    // when several answer and it names none of them, the command line is wrong: the failure
    // lists those that answered.
    Outcome connect(const QString& port = QString());
    // Asks for device preset `number` and takes its dump into `preset` as the editor's model
    // would. Fails when the controller does not answer in time, sends invalid records, or the
    // dump is damaged on the way.
    Outcome upload(int number, Preset& preset);
    // The same, with the dump as it came in `read` (also when it holds values out of range).
    Outcome upload(int number, Preset& preset, ReadResult& read);
    // Stores `preset` on the device as preset `number`, reads it back and sends again what did
    // not arrive. `result` tells what happened in detail (what may have changed on the device).
    // AsHeld sends every value as it is (a snapshot written back).
    Outcome download(const Preset& preset, int number, DownloadResult& result,
                     DownloadValues which = DownloadValues::InRange);

    // Called while a download goes out.
    void setProgressHandler(PresetTransfer::ProgressHandler handler) {
        transfer_.setProgressHandler(std::move(handler));
    }

private:
    midiMethodClass& link_;
    unsigned timeoutMs_;
    midi::StopToken stop_;
    PresetTransfer transfer_;
};

} // namespace korvalen::cli
