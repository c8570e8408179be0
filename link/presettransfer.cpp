#include "presettransfer.h"

#include "diagnostics.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

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

bool SendPace::speedUp() {
    const unsigned rate = rate_.load();
    if (rate == 0) return false;
    // The step up is the pace that slowDown() takes to this one: walk the steps down from
    // full speed until the next is this pace or slower.
    SendPace walk;
    for (;;) {
        const unsigned above = walk.bytesPerSecond();
        walk.slowDown();
        if (walk.bytesPerSecond() <= rate || walk.bytesPerSecond() == above) {
            rate_.store(above);
            return true;
        }
    }
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

SendPace& SendPace::forController(const std::string& port) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<SendPace>> paces;
    std::lock_guard lock(mutex);
    std::unique_ptr<SendPace>& pace = paces[port];
    if (!pace) pace = std::make_unique<SendPace>(&session());
    return *pace;
}

// --- Transfers ---------------------------------------------------------------------------------

PresetTransfer::PresetTransfer(Sender send, ByteRing& ring, midi::StopToken& stop, SendPace& pace)
    : send_(std::move(send)), ring_(ring), stop_(stop), pace_(&pace) {}

ReadResult PresetTransfer::readPreset(int number, Preset& preset) {
    const midi::TransferScope scope(midi::platform());
    const ReadResult result = readAsking(number, preset, false);
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
    } else if (Text missing = sink.missingText(); !missing.empty()) {
        result.status = ReadResult::Status::Incomplete;
        result.missing = missing.english();
        result.missingText = std::move(missing);
    }
    return result;
}

ReadResult PresetTransfer::readAsking(int number, Preset& preset, bool readBack) {
    std::size_t silent = 0;  // requests that found no answer
    std::size_t damaged = 0; // dumps that arrived damaged
    int requests = 0;
    for (;;) {
        const unsigned firstAnswerMs =
            readBack ? std::min(kReadBackWaitsMs[silent], timeoutMs_) : timeoutMs_;
        ReadResult result = readOnce(number, preset, firstAnswerMs);
        if (result.status != ReadResult::Status::SendFailed &&
            result.status != ReadResult::Status::Stopped)
            ++requests;
        result.requests = requests;
        // Asked again only when the dump never began (a read-back: the controller may have
        // lost the request with the end of the download) or arrived damaged; a dump that a
        // controller sends wrong is not sent right by asking again.
        if (readBack && result.status == ReadResult::Status::NoAnswer &&
            silent + 1 < kReadBackWaitsMs.size()) {
            ++silent;
            continue;
        }
        const bool arrivedDamaged = result.status == ReadResult::Status::Damaged ||
                                    result.status == ReadResult::Status::Cut ||
                                    result.status == ReadResult::Status::Incomplete;
        if (!arrivedDamaged || damaged == kDamagedDumpPausesMs.size()) return result;
        if (!midi::platform().sleep(kDamagedDumpPausesMs[damaged++], stop_)) {
            result.status = ReadResult::Status::Stopped;
            return result;
        }
    }
}

bool PresetTransfer::pauseAfter(std::size_t length) {
    const unsigned rate = pace_->bytesPerSecond();
    if (rate > 0) owedUs_ += static_cast<double>(length) * 1e6 / rate;
    owedUs_ += pace_->pauseMs() * 1000.0;
    if (owedUs_ < 1000) return !stop_.stopRequested();
    const auto ms = static_cast<unsigned>(owedUs_ / 1000);
    owedUs_ -= ms * 1000.0;
    return midi::platform().sleep(ms, stop_);
}

DownloadResult PresetTransfer::download(const PresetValues& values, int number,
                                        DownloadValues which) {
    const midi::TransferScope scope(midi::platform());
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
        values, [&total](const DownloadAddress&, const std::uint8_t*, std::size_t) { ++total; },
        which);

    std::vector<PresetField> fields; // what a resend sends; empty in the first round
    // Fields the first round sends, for telling whether any of them arrived.
    const std::size_t firstRoundFields = static_cast<std::size_t>(
        std::count_if(allPresetFields().begin(), allPresetFields().end(),
                      [&](const PresetField& f) { return downloadSends(values, f, which); }));
    const unsigned startRate = pace_->bytesPerSecond();
    // The pace of the last round in which a field that had been missing arrived: what this
    // controller needs, as far as this download can tell.
    unsigned neededRate = startRate;
    std::vector<PresetField> missingEveryRound; // different after every round so far
    bool othersArrived = false;                 // fields that were sent did arrive
    bool slowestTried = false;                  // a round went out at the slowest pace
    for (;;) {
        ++result.rounds;
        const unsigned roundRate = pace_->bytesPerSecond();
        slowestTried = slowestTried || pace_->slowest();
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
            sendDownload(values, presetNumber, send, nullptr, which);
        else
            sendDownloadFields(values, presetNumber, fields, send, which);
        if (failed) {
            result.status = stop_.stopRequested() ? DownloadResult::Status::Stopped
                                                  : DownloadResult::Status::SendFailed;
            return result;
        }

        if (progress_) progress_({result.rounds, total, total, true});
        Preset stored;
        result.readBack = readAsking(number, stored, true);
        if (result.readBack.status == ReadResult::Status::Stopped) {
            result.status = DownloadResult::Status::Stopped;
            return result;
        }
        // Values out of range are compared as they came: they differ from what was sent.
        if (!result.readBack.ok() && result.readBack.status != ReadResult::Status::BadRecords) {
            result.status = DownloadResult::Status::NotConfirmed;
            return result;
        }
        const ReadBackCheck check =
            checkReadBack(values, result.readBack.dump.data(), result.readBack.dump.size(), which);
        if (check.presetNumber != number) {
            // The controller sent another preset: nothing said of it holds for this one.
            result.readBack.status = ReadResult::Status::OtherPreset;
            result.readBack.presetNumber = check.presetNumber;
            result.status = DownloadResult::Status::NotConfirmed;
            return result;
        }

        const std::vector<FieldDifference> before = std::move(result.shortfall);
        result.shortfall = check.shortfall;
        auto differs = [](const std::vector<FieldDifference>& list, const PresetField& f) {
            return std::any_of(list.begin(), list.end(),
                               [&f](const FieldDifference& d) { return d.field == f; });
        };
        if (result.rounds == 1) {
            othersArrived = result.shortfall.size() < firstRoundFields;
            for (const FieldDifference& d : result.shortfall)
                missingEveryRound.push_back(d.field);
        } else {
            const bool someArrived =
                std::any_of(before.begin(), before.end(), [&](const FieldDifference& d) {
                    return !differs(result.shortfall, d.field);
                });
            if (someArrived) {
                neededRate = roundRate;
                othersArrived = true;
            }
            std::erase_if(missingEveryRound,
                          [&](const PresetField& f) { return !differs(result.shortfall, f); });
        }

        if (result.shortfall.empty()) {
            result.status = DownloadResult::Status::Confirmed;
            // A download that needed no resend: the controller may take more.
            if (result.rounds == 1) pace_->speedUp();
            return result;
        }
        if (result.rounds >= kMaxRounds) {
            result.status = DownloadResult::Status::Differs;
            // A field different after every round, although others arrived or the slowest
            // pace was tried, is not a matter of speed.
            if (othersArrived || slowestTried || pace_->slowest())
                for (const FieldDifference& d : result.shortfall)
                    if (std::find(missingEveryRound.begin(), missingEveryRound.end(), d.field) !=
                        missingEveryRound.end())
                        result.notTaken.push_back(d);
            // The pace stays slow only for what speed explains.
            if (result.notTaken.size() == result.shortfall.size())
                pace_->setBytesPerSecond(neededRate);
            return result;
        }
        // Sent too fast for the controller, most likely: slower, and only what is missing.
        pace_->slowDown();
        fields.clear();
        for (const FieldDifference& d : result.shortfall)
            fields.push_back(d.field);
        total = sendDownloadFields(
            values, presetNumber, fields, [](const std::uint8_t*, std::size_t) {}, which);
    }
}

} // namespace korvalen
