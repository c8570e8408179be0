// The firmware upgrade worker: a thread that takes the MIDI ports, finds a controller in
// upgrade mode and writes a firmware image into it block by block, at the controller's
// request. It needs Qt Core only, so that the editor's upgrade dialog and the command line
// drive the same worker. A run opens its ports in a table of its own, which no other thread
// touches. What a run has to say goes out as typed signals (a log line, the progress, the
// device's version, whether a run goes on), and each also as a report of `updataUISignal`.
#pragma once

#include "devicesearch.h"
#include "firmware.h"
#include "midiplatform.h"
#include "porttable.h"

#include <QCoreApplication>
#include <QString>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The upgrade log's lines. The dialog and the command line show the same words, translated
// where the worker writes them.
namespace upgradetext {
// Loading an image.
inline constexpr char kFileLoaded[] = QT_TRANSLATE_NOOP("upgradetext", "File Loaded.");
inline constexpr char kOpenError[] = QT_TRANSLATE_NOOP("upgradetext", "Open Error!");
inline constexpr char kFileTooLarge[] = QT_TRANSLATE_NOOP(
    "upgradetext",
    "The file is larger than any firmware image can be. Choose the .bin file of the firmware.");
inline constexpr char kEmptyImage[] = QT_TRANSLATE_NOOP(
    "upgradetext", "The image holds no firmware, so there is nothing to flash. Load another file.");
// The search.
inline constexpr char kFinding[] =
    QT_TRANSLATE_NOOP("upgradetext", "Finding MIDI device in upgrade mode...");
inline constexpr char kNoPorts[] =
    QT_TRANSLATE_NOOP("upgradetext", "Can not found any MIDI devices.");
inline constexpr char kReconnect[] = QT_TRANSLATE_NOOP("upgradetext", "Reconnect,and try again.");
inline constexpr char kTooManyPorts[] =
    QT_TRANSLATE_NOOP("upgradetext", "Too many MIDI devices, please remove some others");
inline constexpr char kOpenInError[] = QT_TRANSLATE_NOOP("upgradetext", "Open MIDI In error");
inline constexpr char kOpenOutError[] = QT_TRANSLATE_NOOP("upgradetext", "Open MIDI Out error");
inline constexpr char kNotFound[] =
    QT_TRANSLATE_NOOP("upgradetext", "ERROR: Can not find device in upgrade mode");
inline constexpr char kFound[] =
    QT_TRANSLATE_NOOP("upgradetext", "Success to find midi in out device in upgrade mode!");
// The transfer.
inline constexpr char kFlashWriting[] = QT_TRANSLATE_NOOP("upgradetext", "Flash writing");
inline constexpr char kUpdateOk[] = QT_TRANSLATE_NOOP("upgradetext", "Update OK!");
inline constexpr char kRestart[] =
    QT_TRANSLATE_NOOP("upgradetext", "Please turn off the power and restart!");
inline constexpr char kTheEnd[] = QT_TRANSLATE_NOOP("upgradetext", "The End!");
// A device that answered but could not be flashed, or was left alone ("%1" a port's name,
// "%2" a version).
inline constexpr char kNormalMode[] = QT_TRANSLATE_NOOP(
    "upgradetext",
    "The controller answered on \"%1\" in normal mode, firmware %2. Start it in upgrade mode "
    "and press Start again.");
inline constexpr char kAnotherDevice[] = QT_TRANSLATE_NOOP(
    "upgradetext",
    "Flashing the controller on \"%1\". Another controller in upgrade mode answered on "
    "\"%2\"; it is left as it is.");
// Several controllers in upgrade mode answered and none was named: "%1" how many; a line
// for each follows ("%1" its output port, "%2" its input port).
inline constexpr char kSeveralDevices[] = QT_TRANSLATE_NOOP(
    "upgradetext",
    "%1 controllers in upgrade mode answered, and none was flashed. Choose the one to flash.");
inline constexpr char kDeviceListed[] =
    QT_TRANSLATE_NOOP("upgradetext", "Controller in upgrade mode on \"%1\" (input \"%2\")");
// The port chosen for the run is not among those that answered ("%1" the name).
inline constexpr char kChosenNotFound[] = QT_TRANSLATE_NOOP(
    "upgradetext", "No controller in upgrade mode answered on a port named \"%1\".");
inline constexpr char kStoppedSearching[] = QT_TRANSLATE_NOOP(
    "upgradetext",
    "Upgrade stopped before anything was sent. Start the controller in upgrade mode and press "
    "Start again.");
inline constexpr char kStoppedFlashing[] = QT_TRANSLATE_NOOP(
    "upgradetext",
    "Upgrade stopped: the firmware in the controller is incomplete. Restart the controller in "
    "upgrade mode and press Start again.");
inline constexpr char kFirstRequestMissing[] = QT_TRANSLATE_NOOP(
    "upgradetext",
    "ERROR: The device did not ask for the firmware after the start message. Restart it in "
    "upgrade mode and try again.");
inline constexpr char kDeviceSilent[] = QT_TRANSLATE_NOOP(
    "upgradetext",
    "ERROR: The device stopped answering during the transfer. Restart it in upgrade mode and "
    "try again.");
// The device asked for a block again too often ("%1" the block, "%2" of how many, "%3" times).
inline constexpr char kRepeatsRefused[] = QT_TRANSLATE_NOOP(
    "upgradetext",
    "ERROR: The device asked for block %1 of %2 again %3 times in a row and does not take it. "
    "Restart it in upgrade mode and try again.");

// `text`, one of the lines above, in the user's language.
QString line(const char* text);
} // namespace upgradetext

// Which counts of blocks taken a run reports. A fast device takes blocks faster than anyone
// can read a count, and a queued report for every block would cost the run more than the
// transfer itself: a count is reported when it reaches the next hundredth of the image, or
// when the last report is `kIntervalMs` old, so a fast run makes about a hundred reports
// and a slow device still shows every block. The first count, the first count of each
// hundredth (and so of each tenth) and the last block are always reported.
class ProgressPacer {
public:
    static constexpr std::uint32_t kSteps = 100;
    static constexpr std::int64_t kIntervalMs = 50;

    explicit ProgressPacer(std::uint32_t blockCount) : blockCount_(blockCount) {}
    // True when `done` blocks taken, at `nowMs` on a steady clock, are worth a report; the
    // caller then reports it.
    bool due(std::uint32_t done, std::int64_t nowMs) {
        const std::int64_t step =
            blockCount_ == 0
                ? kSteps
                : std::int64_t(std::uint64_t(std::min(done, blockCount_)) * kSteps / blockCount_);
        if (reported_ && done != blockCount_ && step == lastStep_ && nowMs - lastMs_ < kIntervalMs)
            return false;
        reported_ = true;
        lastStep_ = step;
        lastMs_ = nowMs;
        return true;
    }

private:
    std::uint32_t blockCount_;
    bool reported_ = false;
    std::int64_t lastStep_ = 0;
    std::int64_t lastMs_ = 0;
};

// The loaded image, for a run started without one of its own. Written on the GUI thread,
// never while a run goes on; each run flashes its own copy.
extern korvalen::FirmwareImage firmwareImage;

// The worker. One instance for the whole program (`connectThread`); each start is one
// search-and-flash run.
class ConnectThread : public QThread {
    Q_OBJECT

public:
    // Report codes of updataUISignal.
    enum Report : uint {
        DeviceVersion = 0,
        FileVersion = 2,
        StartEnabled = 3,
        Progress = 4, // blocks the device has taken
        Log = 5,
    };

    // How the last run ended.
    enum class Outcome {
        None,           // no run yet, or one is going on
        Flashed,        // the device asked for the block after the last one
        NoPorts,        // no MIDI input port
        TooManyPorts,   // more than 20 input or output ports
        NotFound,       // no device answered in upgrade mode
        NoOutput,       // a device answered, but no output port took the probe
        Stopped,        // requestStop()
        DeviceSilent,   // no request within the time-out
        RepeatsRefused, // the same block asked for again too often
        NotChosen,      // several answered and none was chosen: devices() lists them
    };

    static constexpr int kAttempts = 10;
    static constexpr int kCountReadings = 10;
    static constexpr unsigned kPauseMs = 1000;
    static constexpr unsigned kOpenPauseMs = 10;
    static constexpr unsigned kReplyWaitMs = 50;
    static constexpr unsigned kStartPauseMs = 10;
    // The first request after the start message may take a while: the device erases its flash
    // first. After that a device that asks for nothing for 5 s has stopped answering.
    static constexpr int kFirstRequestTimeoutMs = 30000;
    static constexpr int kRequestTimeoutMs = 5000;
    // A device that asks for the same block again this often in a row will not take it.
    static constexpr int kMaxRepeats = 8;

    using QThread::QThread;
    ~ConnectThread() override;

    // Starts one run that flashes a copy of `image`, after taking the MIDI ports from the
    // editor. Nothing is started while a run goes on, or for an image without blocks (that
    // one is logged); false then. Call it on the thread that owns the editor's link.
    // `port` (a part of a port name, any case) names the controller to flash when more than
    // one is in upgrade mode; the run flashes no other. Without it, a run that finds several
    // flashes none and ends with Outcome::NotChosen.
    bool startRun(const korvalen::FirmwareImage& image, const std::string& port = {});
    // Asked by startRun() before a run takes the ports: false keeps the run from starting. The
    // owner of the editor's connection sets it; without one the ports are taken at once.
    void setPortsClaim(std::function<bool()> claim) { portsClaim_ = std::move(claim); }
    bool startRun() { return startRun(firmwareImage); }
    // Ends a run at once: any wait of the search or of the transfer returns, and the run ends
    // with the stop logged. Any thread.
    void requestStop() { stop_.requestStop(); }
    bool stopRequested() const { return stop_.stopRequested(); }
    Outcome outcome() const { return outcome_; }
    // The controllers in upgrade mode that the last run's search found (read once it ended).
    std::vector<korvalen::midi::FoundDevice> devices() const;
    // A run that flashed leaves the device's pair open; this closes it. Nothing happens while
    // a run goes on. Call it before the editor's link opens the ports again, and at the end.
    void releasePorts();

    // For tests: the two request time-outs.
    void setRequestTimeouts(int firstMs, int betweenMs) {
        firstRequestTimeoutMs_ = firstMs;
        requestTimeoutMs_ = betweenMs;
    }

    // One attempt of the search: 0 found in upgrade mode, 1 nothing, 2 only a mode-1 answer,
    // -1 give up (the reason is logged), -2 stopped, -3 controllers answered but none is
    // chosen (several, or none on the chosen port).
    int probeDevices();
    void flashFirmware();
    void sendBlock();

    // Version number from the last valid probe reply; never reset.
    std::atomic<std::uint32_t> deviceVersion{0};

    // The ports of the runs: the worker's own table, with the pair a run has found.
    struct UpgradePorts : korvalen::midi::PortTable {
        std::atomic<std::int32_t> linkState{0};    // 0 none, 1 found, 2 the last block taken
        std::atomic<std::int32_t> replyInPort{0};  // input port + 1 of the device, 0 none
        std::atomic<std::int32_t> replyOutPort{0}; // output port + 1 of the device, 0 none
    };

signals:
    // Every report of a run as a code, a number and a text that lives as long as the program
    // (see Report); the typed signals below say the same.
    void updataUISignal(uint comp, uint val, char* str);
    // A line for the log.
    void logged(const QString& line);
    // `done` of the image's `total` blocks taken by the device.
    void progressed(uint done, uint total);
    // The version a device in upgrade mode or in normal mode answered with.
    void versionSeen(const QString& version);
    // A run begins (true) or has ended (false).
    void runningChanged(bool running);

protected:
    void run() override;

private:
    struct Run; // the state of one run, shared with the input handlers of its ports
    enum class Wait { Request, TimedOut, Stopped };

    void report(uint comp, uint val, const char* str);
    void log(const char* line);
    void log(const QString& line);
    void tellProgress(std::uint32_t done);
    void tellRunning(bool running);
    korvalen::midi::DeviceSearch::Options searchOptions(const std::shared_ptr<Run>& run);
    // The input handler of every port a run opens; runs on the MIDI input thread.
    void upgradeMidiInProc(Run& run, std::uintptr_t instance,
                           const korvalen::midi::InputEvent& event);
    Wait waitForRequest(int timeoutMs);
    void endRun(Outcome outcome, std::uint32_t progress, const char* line);

    std::function<bool()> portsClaim_;
    UpgradePorts ports_;       // the worker thread's and its input handlers' only
    std::shared_ptr<Run> run_; // replaced by startRun() only, while no run goes on
    // Every wait of a run watches it; the handler wakes the transfer's wait with a request.
    korvalen::midi::StopToken stop_;
    std::atomic<int> firstRequestTimeoutMs_{kFirstRequestTimeoutMs};
    std::atomic<int> requestTimeoutMs_{kRequestTimeoutMs};
    std::atomic<Outcome> outcome_{Outcome::None};
    mutable std::mutex devicesMutex_;
    std::vector<korvalen::midi::FoundDevice> devices_;
};

extern ConnectThread connectThread;

// Text for a queued report that lives as long as the program: one copy of each distinct text.
const char* lastingText(const std::string& text);
