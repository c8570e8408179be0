#include "presettransfer.h"

#include "diagnostics.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace korvalen {

namespace {

ReadResult failure(ReadResult::Status status) {
    ReadResult r;
    r.status = status;
    return r;
}

} // namespace

// --- The pace ----------------------------------------------------------------------------------

bool SendPace::slowDown() {
    const unsigned rate = rate_.load();
    if (rate == kSlowestBytesPerS) return false;
    if (rate == 0 || rate > kCableBytesPerS)
        rate_.store(kCableBytesPerS);
    else
        rate_.store(std::max(kSlowestBytesPerS, rate / 2));
    return true;
}

bool SendPace::parsePause(const std::string& text, unsigned& ms) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < 0 || v > 1000) return false;
    ms = static_cast<unsigned>(v);
    return true;
}

SendPace& SendPace::session() {
    static SendPace pace;
    static const bool initialised = [] {
        unsigned ms = 0;
        if (const char* env = std::getenv("KORVALEN_SEND_PAUSE_MS"); env && parsePause(env, ms))
            pace.setPauseMs(ms);
        return true;
    }();
    (void)initialised;
    return pace;
}

// --- Transfers ---------------------------------------------------------------------------------

PresetTransfer::PresetTransfer(Sender send, ByteRing& ring, midi::StopToken& stop, SendPace& pace)
    : send_(std::move(send)), ring_(ring), stop_(stop), pace_(pace) {}

ReadResult PresetTransfer::readPreset(int number, Preset& preset) {
    const ReadResult result = readOnce(number, preset, timeoutMs_);
    noteTransfer("read of preset " + std::to_string(number), outcomeWords(result));
    return result;
}

ReadResult PresetTransfer::readOnce(int number, Preset& preset, unsigned firstAnswerMs) {
    ReadResult result;
    ring_.discardAll();
    std::uint16_t seen = ring_.writeIndex(); // an answer may come before send returns
    std::uint32_t drops = ring_.drops();
    const auto request = uploadRequestMessage(number);
    if (stop_.stopRequested()) return failure(ReadResult::Status::Stopped);
    if (send_(request.data(), static_cast<std::uint32_t>(request.size())) != 0)
        return failure(ReadResult::Status::SendFailed);

    preset = Preset{};
    PresetDumpSink sink(preset);
    DumpParser parser(sink, sink.globals());
    unsigned quietMs = 0;
    bool answered = false;
    for (;;) {
        if (parser.parse(ring_, drops) == DumpParser::Status::Damaged)
            return failure(ReadResult::Status::Damaged);
        if (sink.ended()) break;
        if (quietMs >= (answered ? timeoutMs_ : firstAnswerMs))
            return failure(answered ? ReadResult::Status::Cut : ReadResult::Status::NoAnswer);
        if (!midi::platform().sleep(kSliceMs, stop_)) return failure(ReadResult::Status::Stopped);
        quietMs += kSliceMs;
        if (const std::uint16_t now = ring_.writeIndex(); now != seen) {
            seen = now;
            quietMs = 0;
            answered = true;
        }
    }
    ring_.discardAll(); // nothing after the end record belongs to this dump
    result.dump = sink.takeDump();
    if (sink.badRecords() > 0) {
        result.status = ReadResult::Status::BadRecords;
        result.badRecords = sink.badRecords();
    } else if (std::string missing = sink.missing(); !missing.empty()) {
        result.status = ReadResult::Status::Incomplete;
        result.missing = std::move(missing);
    }
    return result;
}

ReadResult PresetTransfer::readBack(int number, Preset& preset) {
    ReadResult result;
    for (const unsigned wait : kReadBackWaitsMs) {
        result = readOnce(number, preset, std::min(wait, timeoutMs_));
        // Asked again only when the dump never began or was damaged on the way; a dump that a
        // controller sends wrong is not sent right by asking again.
        if (result.status != ReadResult::Status::NoAnswer &&
            result.status != ReadResult::Status::Damaged)
            break;
    }
    return result;
}

bool PresetTransfer::pauseAfter(std::size_t length) {
    const unsigned rate = pace_.bytesPerSecond();
    if (rate > 0) owedUs_ += static_cast<double>(length) * 1e6 / rate;
    owedUs_ += pace_.pauseMs() * 1000.0;
    if (owedUs_ < 1000) return !stop_.stopRequested();
    const auto ms = static_cast<unsigned>(owedUs_ / 1000);
    owedUs_ -= ms * 1000.0;
    return midi::platform().sleep(ms, stop_);
}

DownloadResult PresetTransfer::download(const PresetValues& values, int number) {
    DownloadResult result;
    // Noted however the download ends.
    struct Noted {
        const DownloadResult& result;
        int number;
        ~Noted() {
            noteTransfer("download of preset " + std::to_string(number), outcomeWords(result));
        }
    } noted{result, number};
    const auto presetNumber = static_cast<std::uint8_t>(number);
    // The messages of the whole download: 384 for a full preset, the end message included.
    std::size_t total = 1;
    forEachDownloadMessage(
        values, [&total](const DownloadAddress&, const std::uint8_t*, std::size_t) { ++total; });

    std::vector<PresetField> fields; // what a resend sends; empty in the first round
    for (;;) {
        ++result.rounds;
        owedUs_ = 0;
        Progress progress{result.rounds, 0, total, false};
        if (progress_) progress_(progress);
        bool failed = false;
        auto lastReport = std::chrono::steady_clock::now();
        auto send = [&](const std::uint8_t* data, std::size_t length) {
            // After a message that was not taken, none goes out: above all not the end
            // message, which would store a preset that arrived in part.
            if (failed) return;
            if (stop_.stopRequested() || send_(data, static_cast<std::uint32_t>(length)) != 0) {
                failed = true;
                return;
            }
            ++result.messagesSent;
            ++progress.sent;
            if (progress.sent == total) result.endSent = true;
            if (!pauseAfter(length)) failed = true;
            // Reported a few times a second at most: nobody watches a download that keeps
            // up, and every report costs the window a repaint.
            if (progress_) {
                const auto now = std::chrono::steady_clock::now();
                if (now - lastReport >= std::chrono::milliseconds(50) || progress.sent == total) {
                    lastReport = now;
                    progress_(progress);
                }
            }
        };
        if (result.rounds == 1)
            sendDownload(values, presetNumber, send);
        else
            sendDownloadFields(values, presetNumber, fields, send);
        if (failed) {
            result.status = stop_.stopRequested() ? DownloadResult::Status::Stopped
                                                  : DownloadResult::Status::SendFailed;
            return result;
        }

        if (progress_) progress_({result.rounds, total, total, true});
        Preset stored;
        result.readBack = readBack(number, stored);
        if (result.readBack.status == ReadResult::Status::Stopped) {
            result.status = DownloadResult::Status::Stopped;
            return result;
        }
        if (!result.readBack.ok()) {
            result.status = DownloadResult::Status::NotConfirmed;
            return result;
        }
        result.shortfall = downloadShortfall(values, stored.values);
        if (result.shortfall.empty()) {
            result.status = DownloadResult::Status::Confirmed;
            return result;
        }
        if (result.rounds >= kMaxRounds) {
            result.status = DownloadResult::Status::Differs;
            return result;
        }
        // Sent too fast for the controller, most likely: slower, and only what is missing.
        pace_.slowDown();
        fields.clear();
        for (const FieldDifference& d : result.shortfall)
            fields.push_back(d.field);
        total = sendDownloadFields(values, presetNumber, fields,
                                   [](const std::uint8_t*, std::size_t) {});
    }
}

} // namespace korvalen
