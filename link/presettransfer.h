// The preset transfers that the editor and korvalen25-cli share: a stored preset read from the
// controller, and a download that is paced and checked. The controller confirms no download and
// a MIDI stack may drop what a slow receiver cannot take without telling the sender, so a
// download is read back and compared with what was sent; what did not arrive is sent again,
// more slowly, for a few rounds.
//
// Runs on one thread, which owns the link's ring of received SysEx for the time of a transfer.
// Every wait goes through the platform's sleep and ends at once on a stop request.
#pragma once

#include "bytering.h"
#include "midiplatform.h"
#include "presetdiff.h"
#include "presetdump.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korvalen {

// How fast a download goes out: a byte rate (0: as fast as the port takes the messages) and a
// fixed pause after each message that the user may set. Each controller has a pace of its own
// (forController()): a download starts at the pace of the one before it to the same
// controller, so a pace found slow enough is kept for the rest of the program's run, and a
// download that needed no resend brings it one step back toward full speed.
class SendPace {
public:
    static constexpr unsigned kCableBytesPerS = 3125; // a MIDI cable's speed
    static constexpr unsigned kSlowestBytesPerS = 780;

    SendPace() = default;
    // A pace whose pause is the one of `pauseFrom` (the user's setting, shared by all).
    explicit SendPace(const SendPace* pauseFrom) : pauseFrom_(pauseFrom) {}

    unsigned bytesPerSecond() const { return rate_.load(); }
    void setBytesPerSecond(unsigned rate) { rate_.store(rate); }
    unsigned pauseMs() const { return pauseFrom_ ? pauseFrom_->pauseMs() : pause_.load(); }
    void setPauseMs(unsigned ms) { pause_.store(ms); }
    // One step slower: from full speed to cable speed, then half the pace each time, down to
    // kSlowestBytesPerS. False when it was at the slowest already.
    bool slowDown();
    // One step faster, the way back of slowDown(): to the pace that slowDown() takes to this
    // one, full speed from cable speed. False when it was at full speed already.
    bool speedUp();
    bool slowest() const { return rate_.load() == kSlowestBytesPerS; }

    // The program's pace, and the user's pause that every controller's pace takes. Its pause
    // starts from KORVALEN_SEND_PAUSE_MS (milliseconds), if set.
    static SendPace& session();
    // The pace of the controller on output port `port`, made at full speed the first time;
    // it lives as long as the program.
    static SendPace& forController(const std::string& port);
    // Reads a pause in milliseconds (0-1000); false for anything else.
    static bool parsePause(const std::string& text, unsigned& ms);

private:
    std::atomic<unsigned> rate_{0};
    std::atomic<unsigned> pause_{0};
    const SendPace* pauseFrom_ = nullptr;
};

struct ReadResult {
    enum class Status {
        Done,
        SendFailed, // the port did not take the request
        NoAnswer,   // nothing came back
        Cut,        // the dump stopped before its end
        Damaged,    // bytes of the dump were lost on the way
        BadRecords, // the controller sent records with values out of range
        Incomplete, // the dump ended without a control or the zone values (`missing`)
        Stopped,    // a stop was asked for
        // The read-back of a download: the dump named another preset (`presetNumber`).
        OtherPreset,
    };
    Status status = Status::Done;
    int badRecords = 0;
    std::string missing;
    Text missingText;      // `missing`, for translation
    int presetNumber = -1; // OtherPreset: the preset the dump named (-1: none)
    int requests = 0;      // requests sent: the first and those that asked again
    // The dump's records as they came, in order, from the first to the end record; also when
    // the controller sent values out of range (BadRecords) or left something out (Incomplete).
    std::vector<std::uint8_t> dump;
    bool ok() const { return status == Status::Done; }
};

struct DownloadResult {
    enum class Status {
        Confirmed,    // read back: the controller holds the preset as it was sent
        Differs,      // still different after the last round: `shortfall` says where
        NotConfirmed, // sent, but no preset came back to check it (`readBack` says why)
        SendFailed,   // the port stopped taking messages
        Stopped,      // a stop was asked for
    };
    Status status = Status::Confirmed;
    std::vector<FieldDifference> shortfall; // each: the value sent, the value read back
    // Of the shortfall, the fields that arrive at no speed: different after every round
    // although other fields arrived, or still different at the slowest pace. The controller
    // does not take them; sending more slowly does not help.
    std::vector<FieldDifference> notTaken;
    ReadResult readBack;
    int rounds = 0;               // downloads sent: the whole one, then the resends
    std::size_t messagesSent = 0; // all rounds, end messages included
    // A download end message went out: the stored preset may have changed, whole or in part.
    bool endSent = false;
    bool ok() const { return status == Status::Confirmed; }
};

class PresetTransfer {
public:
    // Sends one complete message; 0 when the port took it.
    using Sender = std::function<int(const std::uint8_t*, std::uint32_t)>;
    struct Progress {
        int round = 0;         // 1 for the whole download, then the resends
        std::size_t sent = 0;  // messages of this round sent so far
        std::size_t total = 0; // messages of this round
        bool readingBack = false;
    };
    using ProgressHandler = std::function<void(const Progress&)>;

    // How long the controller may stay silent: after a request before its dump begins, and
    // between the pieces of a dump.
    static constexpr unsigned kDefaultTimeoutMs = 5000;
    // The wait between two looks at the received bytes.
    static constexpr unsigned kSliceMs = 5;
    // Downloads of one preset: the whole one and up to three resends.
    static constexpr int kMaxRounds = 4;
    // The read-back of a download asks again when its dump has not begun after each of these
    // waits (the last is the time-out): a controller that could not keep up may have lost the
    // request with the end of the download.
    static constexpr std::array<unsigned, 3> kReadBackWaitsMs = {250, 1000, kDefaultTimeoutMs};
    // A dump that arrives damaged (bytes lost, records missing, cut before its end) is asked
    // for again after each of these pauses, each longer than the one before, so that an input
    // that overran has time to empty.
    static constexpr std::array<unsigned, 3> kDamagedDumpPausesMs = {200, 500, 1000};

    PresetTransfer(Sender send, ByteRing& ring, midi::StopToken& stop,
                   SendPace& pace = SendPace::session());

    void setTimeoutMs(unsigned ms) { timeoutMs_ = ms; }
    // The pace of the controller the transfers go to (SendPace::forController()).
    void setPace(SendPace& pace) { pace_ = &pace; }
    void setProgressHandler(ProgressHandler handler) { progress_ = std::move(handler); }

    // Asks for stored preset `number` and takes its dump into `preset`; asks again for a dump
    // that arrives damaged (kDamagedDumpPausesMs).
    ReadResult readPreset(int number, Preset& preset);
    // Sends `values` as stored preset `number`, reads it back and sends again what did not
    // arrive, more slowly each round. AsHeld (a snapshot written back) sends and checks every
    // value as it is; the caller refuses what unsendableAsHeld() lists first.
    DownloadResult download(const PresetValues& values, int number,
                            DownloadValues which = DownloadValues::InRange);

private:
    ReadResult readOnce(int number, Preset& preset, unsigned firstAnswerMs);
    // readOnce() until the dump arrives undamaged; a read-back also asks again when the dump
    // has not begun after each of kReadBackWaitsMs.
    ReadResult readAsking(int number, Preset& preset, bool readBack);
    // The pause the pace asks for after a message of `length` bytes; false when a stop was
    // asked for.
    bool pauseAfter(std::size_t length);

    Sender send_;
    ByteRing& ring_;
    midi::StopToken& stop_;
    SendPace* pace_;
    unsigned timeoutMs_ = kDefaultTimeoutMs;
    ProgressHandler progress_;
    double owedUs_ = 0; // time the pace still owes after the messages sent
};

} // namespace korvalen
