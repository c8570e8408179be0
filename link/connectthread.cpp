#include "connectthread.h"

#include "diagnostics.h"
#include "midi.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>

using korvalen::BlockRequest;
using korvalen::midi::DeviceSearch;
using korvalen::midi::InputEvent;
using korvalen::midi::platform;
using korvalen::midi::ReplyMatch;
using korvalen::midi::SearchEvent;
using korvalen::midi::SearchResult;
namespace text = upgradetext;

ConnectThread connectThread;
korvalen::FirmwareImage firmwareImage;

// One run: its own copy of the image (and so of the identity it probes for), and what the
// search and the transfer note on the way. The input handlers of the run's ports hold it too,
// so a handler that is still called after the run has ended finds it.
struct ConnectThread::Run {
    korvalen::FirmwareImage image;
    std::string port;                     // the controller chosen by a part of its port name
    std::unique_ptr<DeviceSearch> search; // while the run searches
    int attempt = 0;
    SearchEvent::Kind giveUp = SearchEvent::Kind::Attempt; // why the search gave up
    // The first answer in normal mode (mode 1): input port + 1 (0 none) and version.
    std::atomic<std::int32_t> normalInPort{0};
    std::uint32_t normalVersion = 0;
    std::atomic<std::int32_t> portsNoted{0}; // 1: the pause after a mode-1 answer is over
    std::atomic<BlockRequest> deviceAnswer{BlockRequest::None};
    std::atomic<std::uint32_t> blockIndex{0}; // the next block to send
    // The requests of the device being flashed are taken: from the start message until the
    // last block is taken or the run ends. The run's own flag, which no other thread writes.
    std::atomic<bool> flashing{false};
    std::atomic<std::int32_t> flashInPort{-1}; // the input the device's requests come on
};

const char* lastingText(const std::string& text) {
    static std::mutex mutex;
    static std::set<std::string> texts;
    std::lock_guard<std::mutex> lock(mutex);
    return texts.insert(text).first->c_str();
}

ConnectThread::~ConnectThread() {
    requestStop();
    wait();
}

void ConnectThread::releasePorts() {
    if (isRunning()) return;
    ports_.closePorts();
}

void ConnectThread::report(uint comp, uint val, const char* str) {
    emit updataUISignal(comp, val, const_cast<char*>(str));
}

void ConnectThread::log(const char* line) {
    log(upgradetext::line(line));
}

void ConnectThread::log(const QString& line) {
    emit logged(line);
    report(Log, 0, lastingText(line.toStdString()));
}

void ConnectThread::tellProgress(std::uint32_t done) {
    emit progressed(done, run_->image.blockCount);
    report(Progress, done, "0");
}

void ConnectThread::tellRunning(bool running) {
    emit runningChanged(running);
    report(StartEnabled, running ? 0 : 1, "0");
}

std::vector<korvalen::midi::FoundDevice> ConnectThread::devices() const {
    std::lock_guard<std::mutex> lock(devicesMutex_);
    return devices_;
}

bool ConnectThread::startRun(const korvalen::FirmwareImage& image, const std::string& port) {
    if (isRunning()) return false;
    if (image.blockCount == 0) {
        log(text::kEmptyImage);
        return false;
    }
    if (portsClaim_ && !portsClaim_()) return false;
    auto run = std::make_shared<Run>();
    run->image = image;
    run->port = port;
    run_ = std::move(run);
    stop_.clear();
    outcome_ = Outcome::None;
    start(QThread::InheritPriority);
    return true;
}

DeviceSearch::Options ConnectThread::searchOptions(const std::shared_ptr<Run>& run) {
    DeviceSearch::Options o;
    const auto probe = korvalen::firmwareProbeMessage(run->image.deviceId);
    o.probe.assign(probe.begin(), probe.end());
    // Mode 2 is the device in upgrade mode; mode 1 the controller in normal mode; any other
    // mode tells only a version.
    o.matcher = [id = run->image.deviceId](const std::uint8_t* data, std::size_t length) {
        const auto reply = korvalen::parseProbeReply(data, length, id);
        if (!reply) return ReplyMatch{};
        const auto kind = reply->mode == 2   ? ReplyMatch::Kind::Device
                          : reply->mode == 1 ? ReplyMatch::Kind::Other
                                             : ReplyMatch::Kind::Version;
        return ReplyMatch{kind, reply->version};
    };
    // The handler holds the run, never the worker's current one, which a new run replaces.
    o.forward = [this, run](std::uintptr_t instance, const InputEvent& event) {
        upgradeMidiInProc(*run, instance, event);
    };
    // Called on the worker thread.
    o.progress = [run = run.get()](const SearchEvent& e) {
        if (e.kind == SearchEvent::Kind::NoInputPort || e.kind == SearchEvent::Kind::TooManyPorts)
            run->giveUp = e.kind;
        if (e.kind == SearchEvent::Kind::Answer && e.match.kind == ReplyMatch::Kind::Other &&
            run->normalInPort == 0) {
            run->normalVersion = e.match.version;
            run->normalInPort = e.port + 1;
        }
    };
    o.attempts = kAttempts;
    o.countPolls = kCountReadings;
    o.pauseMs = kPauseMs;
    o.openPauseMs = kOpenPauseMs;
    o.replyWaitMs = kReplyWaitMs;
    o.confirmWaitMs = midiMethodClass::kConfirmWaitMs;
    o.preference = {run->port, !run->port.empty()};
    return o;
}

ConnectThread::Wait ConnectThread::waitForRequest(int timeoutMs) {
    const Run& run = *run_;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (stop_.stopRequested()) return Wait::Stopped;
        if (run.deviceAnswer != BlockRequest::None) return Wait::Request;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return Wait::TimedOut;
        // Ends early with a request (the handler wakes the token) or a stop.
        stop_.waitFor(static_cast<unsigned>(left.count()));
    }
}

namespace {

// How a run ended, for the diagnostics report.
std::string upgradeOutcomeWords(ConnectThread::Outcome outcome, std::uint32_t blocks) {
    using O = ConnectThread::Outcome;
    const std::string taken =
        blocks == ~0u ? std::string() : ", " + std::to_string(blocks) + " block(s) taken";
    switch (outcome) {
    case O::Flashed:
        return "done" + taken;
    case O::NoPorts:
        return "no MIDI input port";
    case O::TooManyPorts:
        return "more than 20 MIDI ports";
    case O::NotFound:
        return "no controller in upgrade mode answered";
    case O::NotChosen:
        return "several controllers in upgrade mode answered and none was chosen";
    case O::NoOutput:
        return "a controller answered, but no output port took the probe";
    case O::Stopped:
        return "stopped" + taken;
    case O::DeviceSilent:
        return "the controller stopped asking for blocks" + taken;
    case O::RepeatsRefused:
        return "the controller did not take a block" + taken;
    case O::None:
        break;
    }
    return "ended" + taken;
}

} // namespace

// A run that did not flash: `line` says why, its ports are closed, and Start is back on. The
// line comes first: closing a port waits for the MIDI server, which may be slow to answer
// when a device has just gone.
void ConnectThread::endRun(Outcome outcome, std::uint32_t progress, const char* line) {
    run_->flashing = false;
    ports_.linkState = 0;
    if (progress != ~0u) tellProgress(progress);
    if (line) log(line);
    ports_.closePorts();
    outcome_ = outcome;
    korvalen::noteTransfer("firmware upgrade", upgradeOutcomeWords(outcome, progress));
    tellRunning(false);
}

void ConnectThread::run() {
    Run& run = *run_;
    tellRunning(true);
    ports_.closePorts();
    ports_.inPortCount = platform().inputCount();
    ports_.outPortCount = platform().outputCount();
    ports_.replyInPort = 0;
    ports_.replyOutPort = 0;
    ports_.linkState = 0;
    log(text::kFinding);

    run.search = std::make_unique<DeviceSearch>(ports_, searchOptions(run_), stop_);
    int result = 1;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        result = probeDevices();
        if (result == 0 || result < 0) break;
        if (attempt < kAttempts && !platform().sleep(kPauseMs, stop_)) {
            result = -2;
            break;
        }
    }
    const korvalen::midi::SearchRecord record = run.search->record();
    run.search.reset(); // the inputs keep only the upgrade's handler
    {
        std::lock_guard<std::mutex> lock(devicesMutex_);
        devices_ = record.devices;
    }

    std::string other; // another controller in upgrade mode, left as it is
    if (result == 0) {
        for (const auto& d : record.devices)
            if (d.inPort != record.inPort && other.empty()) other = d.inName;
        // Only the chosen input stays open: nothing else can ask for a block.
        for (int i = 0; i < midiMethodClass::kMaxPorts; ++i)
            if (i != record.inPort) ports_.closeInputSlot(i);
    }
    if (result == -2 || stop_.stopRequested()) {
        endRun(Outcome::Stopped, ~0u, text::kStoppedSearching);
        return;
    }
    if (result == 0) {
        log(text::kFound);
        if (!other.empty())
            log(upgradetext::line(text::kAnotherDevice)
                    .arg(QString::fromStdString(record.outputs[record.outPort].name),
                         QString::fromStdString(other)));
        ports_.linkState = 1;
        flashFirmware();
        return;
    }
    if (result == -3) {
        if (run.port.empty())
            log(upgradetext::line(text::kSeveralDevices).arg(record.devices.size()));
        else
            log(upgradetext::line(text::kChosenNotFound).arg(QString::fromStdString(run.port)));
        for (const auto& d : record.devices)
            log(upgradetext::line(text::kDeviceListed)
                    .arg(QString::fromStdString(d.outName), QString::fromStdString(d.inName)));
        endRun(Outcome::NotChosen, ~0u, nullptr);
        return;
    }
    if (result > 0) {
        log(text::kNotFound);
        if (const int in = run.normalInPort - 1; in >= 0) {
            const std::string name =
                in < static_cast<int>(record.inputs.size()) ? record.inputs[in].name : "";
            log(upgradetext::line(text::kNormalMode)
                    .arg(QString::fromStdString(name),
                         QString::fromStdString(korvalen::deviceVersionText(run.normalVersion))));
        }
    }
    endRun(result > 0 ? Outcome::NotFound : outcome_.load(), ~0u, nullptr);
}

int ConnectThread::probeDevices() {
    Run& run = *run_;
    const SearchResult result = run.search->findDevice(++run.attempt);
    const korvalen::midi::SearchRecord& record = run.search->record();
    if (result == SearchResult::Stopped) return -2;
    if (result == SearchResult::NotChosen) return -3;
    if (result == SearchResult::GiveUp) {
        if (run.giveUp == SearchEvent::Kind::TooManyPorts) {
            log(text::kTooManyPorts);
            outcome_ = Outcome::TooManyPorts;
        } else {
            log(text::kNoPorts);
            log(text::kReconnect);
            outcome_ = Outcome::NoPorts;
        }
        return -1;
    }

    // An input the search did not need is not tried; one that was tried and failed is told.
    for (const auto& input : record.inputs)
        if (input.failure != korvalen::midi::OpenFailure::None) log(text::kOpenInError);
    // The outputs the attempt tried, in the order it probed them: up to the chosen one.
    std::vector<std::string> names;
    for (const auto& output : record.outputs)
        names.push_back(output.name);
    for (unsigned j : korvalen::midi::probingOrder(names)) {
        if (!record.outputs[j].opened) log(text::kOpenOutError);
        if (static_cast<int>(j) == record.outPort) break;
    }

    if (result == SearchResult::Found) {
        ports_.replyInPort = record.inPort + 1;
        ports_.replyOutPort = record.outPort + 1;
        return 0;
    }
    if (run.normalInPort == 0) return 1;
    // The first answer in normal mode of a run is followed by a pause of its own.
    if ((run.portsNoted & 1) == 0) {
        run.portsNoted |= 1;
        if (!platform().sleep(kPauseMs, stop_)) return -2;
    }
    return 2;
}

void ConnectThread::flashFirmware() {
    Run& run = *run_;
    // From the start message to the end of the run, however it ends.
    const korvalen::midi::TransferScope scope(platform());
    const std::uint32_t blockCount = run.image.blockCount;
    const auto start = korvalen::firmwareStartMessage(blockCount);
    if (ports_.replyInPort == 0 || ports_.replyOutPort == 0) {
        endRun(Outcome::NoOutput, run.blockIndex, text::kTheEnd);
        return;
    }
    run.flashInPort = ports_.replyInPort - 1;
    run.flashing = true;
    ports_.sendSysEx(start.data(), start.size());
    // Not ended by the device's first request, which may come at once; a stop is seen right
    // after it.
    platform().sleep(kStartPauseMs);
    log(text::kFlashWriting);

    std::uint32_t accepted = 0; // blocks the device has taken: it asked for the one after
    int repeats = 0;            // repeat requests in a row
    int timeoutMs = firstRequestTimeoutMs_;
    ProgressPacer pacer(blockCount);
    const auto pacerStart = std::chrono::steady_clock::now();
    const auto pacerMs = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - pacerStart)
            .count();
    };
    // Ends when the device has taken the last block, or earlier with a stop, a silence or a
    // block it does not take; never because another thread wrote a flag of the link.
    bool lastTaken = false;
    while (!lastTaken) {
        const Wait wait = waitForRequest(timeoutMs);
        if (wait == Wait::Stopped) {
            endRun(Outcome::Stopped, accepted, text::kStoppedFlashing);
            return;
        }
        if (wait == Wait::TimedOut) {
            endRun(Outcome::DeviceSilent, accepted,
                   run.blockIndex == 0 ? text::kFirstRequestMissing : text::kDeviceSilent);
            return;
        }
        timeoutMs = requestTimeoutMs_;
        const BlockRequest answer = run.deviceAnswer.exchange(BlockRequest::None);
        if (answer == BlockRequest::Next) {
            repeats = 0;
            accepted = run.blockIndex;
            if (run.blockIndex == blockCount) {
                lastTaken = true;
                run.flashing = false;
                ports_.linkState = 2;
            }
            sendBlock();
            if (pacer.due(accepted, pacerMs())) tellProgress(accepted);
        } else if (answer == BlockRequest::Repeat) {
            if (run.blockIndex > 0) --run.blockIndex;
            if (++repeats == kMaxRepeats) {
                const std::uint32_t k = run.blockIndex;
                endRun(Outcome::RepeatsRefused, accepted,
                       lastingText(upgradetext::line(text::kRepeatsRefused)
                                       .arg(k + 1)
                                       .arg(blockCount)
                                       .arg(kMaxRepeats)
                                       .toStdString()));
                return;
            }
            sendBlock();
        }
    }
    tellProgress(run.blockIndex);
    tellRunning(false);
    log(text::kTheEnd);
    outcome_ = Outcome::Flashed;
    korvalen::noteTransfer("firmware upgrade",
                           upgradeOutcomeWords(Outcome::Flashed, run.blockIndex));
}

void ConnectThread::sendBlock() {
    Run& run = *run_;
    const std::uint32_t k = run.blockIndex;
    if (k >= run.image.blockCount) {
        log(text::kUpdateOk);
        log(text::kRestart);
        return;
    }
    const auto block = korvalen::firmwareDataBlock(run.image, k);
    ports_.sendSysEx(block.data(), static_cast<std::uint32_t>(block.length));
    ++run.blockIndex;
}

void ConnectThread::upgradeMidiInProc(Run& run, std::uintptr_t instance, const InputEvent& event) {
    const int port = static_cast<int>(instance);
    switch (event.kind) {
    case InputEvent::Kind::Close:
        break;
    case InputEvent::Kind::Short:
        // Requests count only from the device being flashed, while it is flashed.
        if (!run.flashing || port != run.flashInPort) break;
        if (const BlockRequest request = korvalen::blockRequestOf(event.shortMessage);
            request != BlockRequest::None) {
            run.deviceAnswer = request;
            stop_.wake();
        }
        break;
    case InputEvent::Kind::LongData: {
        const std::uint32_t n = event.buffer ? event.recorded : 0;
        if (const auto reply = korvalen::parseProbeReply(event.buffer, n, run.image.deviceId)) {
            deviceVersion = reply->version;
            if (reply->version != 100) {
                const std::string version = korvalen::deviceVersionText(reply->version);
                emit versionSeen(QString::fromStdString(version));
                report(DeviceVersion, 0, lastingText(version));
            }
        }
        if (n != 0) ports_.requeueBuffer(port);
        break;
    }
    }
}

QString upgradetext::line(const char* text) {
    return QCoreApplication::translate("upgradetext", text);
}
