#include "connectthread.h"

#include "midi.h"

#include <chrono>
#include <set>

using korvalen::BlockRequest;
using korvalen::midi::InputEvent;
using korvalen::midi::platform;
namespace text = upgradetext;

ConnectThread connectThread;
korvalen::FirmwareImage firmwareImage;

// One run: its own copy of the image (and so of the identity it probes for), and what the
// search and the transfer note on the way. The input handlers of the run's ports hold it too,
// so a handler that is still called after the run has ended finds it.
struct ConnectThread::Run {
    korvalen::FirmwareImage image;
    std::atomic<std::int32_t> normalInPort{0}; // input port + 1 of a mode-1 answer, 0 none
    std::atomic<std::int32_t> portsNoted{0};   // 1: a mode-1 answer ended an attempt; 2: chosen
    std::atomic<BlockRequest> deviceAnswer{BlockRequest::None};
    std::atomic<std::uint32_t> blockIndex{0}; // the next block to send
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

void ConnectThread::report(uint comp, uint val, const char* str) {
    emit updataUISignal(comp, val, const_cast<char*>(str));
}

bool ConnectThread::startRun(const korvalen::FirmwareImage& image) {
    if (isRunning()) return false;
    if (image.blockCount == 0) {
        log(text::kEmptyImage);
        return false;
    }
    auto run = std::make_shared<Run>();
    run->image = image;
    run_ = std::move(run);
    stopRequested_ = false;
    outcome_ = Outcome::None;
    // The run takes every port from the editor, which reconnects only when asked to. The
    // editor sends nothing from here on, so the worker never closes a port under a send.
    midiLink.editorOwnsPorts = false;
    start(QThread::InheritPriority);
    return true;
}

void ConnectThread::requestStop() {
    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        stopRequested_ = true;
    }
    answerChanged_.notify_all();
}

void ConnectThread::takeRequest(Run& run, BlockRequest request) {
    {
        std::lock_guard<std::mutex> lock(answerMutex_);
        run.deviceAnswer = request;
    }
    answerChanged_.notify_all();
}

ConnectThread::Wait ConnectThread::waitForRequest(int timeoutMs) {
    Run& run = *run_;
    std::unique_lock<std::mutex> lock(answerMutex_);
    answerChanged_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return run.deviceAnswer != BlockRequest::None || stopRequested_;
    });
    if (stopRequested_) return Wait::Stopped;
    return run.deviceAnswer != BlockRequest::None ? Wait::Request : Wait::TimedOut;
}

// A run that did not flash: its ports are closed and Start is back on; `line` says why.
void ConnectThread::endRun(Outcome outcome, std::uint32_t progress, const char* line) {
    midiLink.linkState = 0;
    midiLink.closeInputs();
    midiLink.closeOutput();
    if (progress != ~0u) report(Progress, progress, "0");
    report(StartEnabled, 1, "0");
    if (line) log(line);
    outcome_ = outcome;
}

void ConnectThread::run() {
    report(StartEnabled, 0, "0");
    midiLink.resetPortTable();
    log(text::kFinding);

    int result = 1;
    for (int attempt = 1; attempt <= kAttempts && !stopRequested_; ++attempt) {
        result = probeDevices();
        if (result == 0 || result < 0 || stopRequested_) break;
        if (attempt < kAttempts) platform().sleep(kPauseMs);
    }
    if (stopRequested_) {
        endRun(Outcome::Stopped, ~0u, text::kStoppedSearching);
        return;
    }
    if (result == 0) {
        log(text::kFound);
        midiLink.linkState = 1;
        flashFirmware();
        return;
    }
    if (result > 0) log(text::kNotFound);
    endRun(result > 0 ? Outcome::NotFound : outcome_.load(), ~0u, nullptr);
}

int ConnectThread::probeDevices() {
    Run& run = *run_;
    midiLink.closeInputs();
    midiLink.closeOutput();

    auto& midi = platform();
    for (int reading = 0; reading < kCountReadings; ++reading) {
        midiLink.inPortCount = midi.inputCount();
        midiLink.outPortCount = midi.outputCount();
        if (midiLink.inPortCount > 0 && midiLink.outPortCount > 0) break;
        midi.sleep(kPauseMs);
    }
    if (midiLink.inPortCount == 0) {
        log(text::kNoPorts);
        log(text::kReconnect);
        outcome_ = Outcome::NoPorts;
        return -1;
    }
    if (midiLink.inPortCount > midiMethodClass::kMaxPorts ||
        midiLink.outPortCount > midiMethodClass::kMaxPorts) {
        log(text::kTooManyPorts);
        outcome_ = Outcome::TooManyPorts;
        return -1;
    }

    for (unsigned k = 0; k < midiLink.inPortCount; ++k) {
        const bool opened = midiLink.openInputSlot(
            k, [this, held = run_](std::uintptr_t instance, const InputEvent& event) {
                upgradeMidiInProc(*held, instance, event);
            });
        if (!opened) log(text::kOpenInError);
    }

    const auto probe = korvalen::firmwareProbeMessage(run.image.deviceId);
    for (unsigned k = 0; k < midiLink.outPortCount; ++k) {
        midiLink.outPort = midi.openOutput(k);
        if (!midiLink.outPort) {
            log(text::kOpenOutError);
            continue;
        }
        midi.sleep(kOpenPauseMs);
        if (midiLink.sendSysEx(probe.data(), probe.size()) != 0) {
            midiLink.closeOutput();
            continue;
        }
        midi.sleep(kReplyWaitMs);
        if (run.normalInPort != 0 && (run.portsNoted & 1) == 0) {
            run.portsNoted |= 1;
            midiLink.closeOutput();
            midi.sleep(kPauseMs);
            break;
        }
        if (midiLink.replyInPort != 0 && (run.portsNoted & 2) == 0) {
            midiLink.replyOutPort = static_cast<std::int32_t>(k + 1);
            run.portsNoted |= 2;
            break;
        }
        midiLink.closeOutput();
    }
    // Found only with an output port to flash through: a reply noticed after the last probe
    // counts in the next attempt, which keeps the first port that takes its probe.
    if (midiLink.replyInPort != 0 && midiLink.replyOutPort != 0) return 0;
    if (run.normalInPort != 0) return 2;
    return 1;
}

void ConnectThread::flashFirmware() {
    Run& run = *run_;
    const std::uint32_t blockCount = run.image.blockCount;
    const auto start = korvalen::firmwareStartMessage(blockCount);
    if (midiLink.replyInPort == 0 || midiLink.replyOutPort == 0) {
        endRun(Outcome::NoOutput, run.blockIndex, text::kTheEnd);
        return;
    }
    midiLink.sendSysEx(start.data(), start.size());
    platform().sleep(kStartPauseMs);
    log(text::kFlashWriting);

    std::uint32_t accepted = 0; // blocks the device has taken: it asked for the one after
    int repeats = 0;            // repeat requests in a row
    int timeoutMs = firstRequestTimeoutMs_;
    while (midiLink.linkState == 1) {
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
            if (run.blockIndex == blockCount) midiLink.linkState = 2;
            sendBlock();
            report(Progress, accepted, "0");
        } else if (answer == BlockRequest::Repeat) {
            if (run.blockIndex > 0) --run.blockIndex;
            if (++repeats == kMaxRepeats) {
                const std::uint32_t k = run.blockIndex;
                endRun(Outcome::RepeatsRefused, accepted,
                       lastingText("ERROR: The device asked for block " + std::to_string(k + 1) +
                                   " of " + std::to_string(blockCount) + " again " +
                                   std::to_string(kMaxRepeats) +
                                   " times in a row and does not take it. Restart it in upgrade "
                                   "mode and try again."));
                return;
            }
            sendBlock();
        }
    }
    report(Progress, run.blockIndex, "0");
    report(StartEnabled, 1, "0");
    log(text::kTheEnd);
    outcome_ = Outcome::Flashed;
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
    midiLink.sendSysEx(block.data(), static_cast<std::uint32_t>(block.length));
    ++run.blockIndex;
}

void ConnectThread::upgradeMidiInProc(Run& run, std::uintptr_t instance, const InputEvent& event) {
    const int port = static_cast<int>(instance);
    switch (event.kind) {
    case InputEvent::Kind::Close:
        break;
    case InputEvent::Kind::Short:
        if (midiLink.linkState != 1) break;
        if (const BlockRequest request = korvalen::blockRequestOf(event.shortMessage);
            request != BlockRequest::None)
            takeRequest(run, request);
        break;
    case InputEvent::Kind::LongData: {
        const std::uint32_t n = event.buffer ? event.recorded : 0;
        if (const auto reply = korvalen::parseProbeReply(event.buffer, n, run.image.deviceId)) {
            deviceVersion = reply->version;
            if (reply->version != 100)
                report(DeviceVersion, 0, lastingText(korvalen::deviceVersionText(reply->version)));
            if (reply->mode == 2)
                midiLink.replyInPort = port + 1;
            else if (reply->mode == 1)
                run.normalInPort = port + 1;
        }
        if (n != 0) midiLink.requeueBuffer(port);
        break;
    }
    }
}
