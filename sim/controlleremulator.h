// The Korvalen25 controller emulator: takes the MIDI messages a computer sends to the
// controller and answers as the controller does. In normal mode it keeps 15 stored presets and
// an edit buffer and speaks the preset protocol; in upgrade mode it answers the upgrade probe
// and takes a firmware image block by block. Fault knobs let tests make it misbehave.
//
// Not thread-safe: one thread at a time calls receive() and reads the state.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvalen::sim {

using Message = std::vector<std::uint8_t>;

// One control's assignment, as the preset file stores it.
struct Assignment {
    std::uint8_t type = 0; // 0 controller, 1 note
    std::uint8_t cc = 0;   // assignment number 0-171
    std::uint8_t chan = 0; // 0-15, 16 = none
    std::uint8_t port = 0; // 0-4, 5 = none
    std::uint8_t mode = 0; // 0 toggle, 1 momentary
    bool operator==(const Assignment&) const = default;
};

// One keyboard zone as the preset file stores it (the zone channel is not in the file).
struct ZoneRecord {
    std::uint8_t status = 0, prog = 0, msb = 0, lsb = 0, port = 0;
    std::uint8_t rangSta = 0, rangEnd = 127, oct = 4, trans = 12;
    bool operator==(const ZoneRecord&) const = default;
};

// The controls in the order of the preset file: 32 encoders (bank by bank), 16 function
// buttons, 8 pads (bank A then B), the transport buttons REW, FF, STOP, PLAY, REC, the slider.
namespace controls {
constexpr int kEncoders = 0;
constexpr int kFunctions = 32;
constexpr int kPads = 48;
constexpr int kTransport = 56;
constexpr int kSlider = 61;
constexpr int kCount = 62;
} // namespace controls

constexpr int kGlobalCount = 48;

// The wire address (control kind 0 slider, 1 encoder, 2 button; control number) of the control
// at `index` in the file order, and back (-1 for an address no control has).
struct ControlAddress {
    std::uint8_t kind;
    std::uint8_t number;
    bool operator==(const ControlAddress&) const = default;
};
ControlAddress addressOf(int index);
int controlIndexOf(int kind, int number);

// A preset as the device stores it: all assignments and the 48 preset-wide global bytes (the
// zones live there: prog at 1 + z, msb 5 + z, lsb 9 + z, on/off bits at 16, port 17 + z, chan
// 21 + z, oct 25 + z, trans 29 + z, key range 41 + z and 45 + z; entry 0 is the preset number).
struct StoredPreset {
    std::array<Assignment, controls::kCount> controls{};
    std::array<std::uint8_t, kGlobalCount> globals{};
    bool operator==(const StoredPreset&) const = default;
};

// The content of a 348-byte ".sav" preset file.
struct SavFile {
    std::array<Assignment, controls::kCount> controls{};
    std::array<ZoneRecord, 3> zones{};
    std::uint8_t presetNumber = 0;
    bool operator==(const SavFile&) const = default;
};
constexpr std::size_t kSavSize = 348;
std::optional<SavFile> parseSav(const std::vector<std::uint8_t>& bytes, std::string* error);
std::vector<std::uint8_t> encodeSav(const SavFile& file);

class ControllerEmulator {
public:
    enum class Mode { Normal, Upgrade };

    // Faults of the preset dump.
    enum class DumpFault {
        None,
        Truncated, // record number `dumpFaultRecord` loses its last three fields (F7 kept)
        BadValue,  // record number `dumpFaultRecord` carries channel 17
        Cut,       // the dump ends before record number `dumpFaultRecord` (no end record)
        Dropped,   // record number `dumpFaultRecord` is left out, as a full input drops it
    };

    struct Options {
        Mode mode = Mode::Normal;
        // Upgrade identity (the five bytes after F0 in the upgrade probe) and version.
        std::array<std::uint8_t, 5> upgradeId{0x00, 0x20, 0x6B, 0x02, 0x19};
        bool anyIdentity = false; // upgrade mode: answer a probe of any identity as that one
        unsigned version = 102;   // 1.02
        // Upgrade mode: answer the probe with mode 1, as a device that is not in upgrade
        // mode does. A device in normal mode always answers its own upgrade probe that way.
        bool normalModeReply = false;
        // Virtual milliseconds between a message and its handling (used by the bus and by
        // the sim program).
        unsigned replyDelayMs = 0;
        // Identity replies with a wrong byte (5A 75 instead of 5A 74 in normal mode, the last
        // identity byte changed in upgrade mode).
        bool wrongIdentity = false;
        DumpFault dumpFault = DumpFault::None;
        int dumpFaultRecord = 0;
        // The fault spoils only the first N dumps asked for (-1: every one), as a dump damaged
        // on the way in that arrives whole when asked for again.
        int dumpFaultTimes = -1;
        // The dump of a stored preset names the preset this many numbers on (its entry 0 of
        // the globals), as from a controller that sends or stores the wrong preset.
        int dumpNumberOffset = 0;
        int silenceAfterBlocks = -1; // upgrade: no answer at all after this many good blocks
        int corruptBlock = -1;       // upgrade: block number K is taken as bad the first time
        int repeatBlock = -1;        // upgrade: block number K is taken as bad every time
        // Milliseconds by which a probe (the identity probe, or the upgrade probe of this
        // device's identity) is answered later than other messages.
        unsigned identityDelayMs = 0;
        bool silent = false;        // takes every message, answers none
        bool ignoreUploads = false; // normal mode: no dump for an upload request
        // Normal mode: the first N identity probes get no answer, as from a controller that is
        // still starting when its ports appear.
        int ignoreProbes = 0;
        // A controller that reads its input no faster than this many bytes per second (0: as
        // fast as it comes) into a receive buffer of readBufferBytes: a message that finds no
        // room in the buffer is lost whole, as on a controller whose input overruns.
        unsigned readRateBytesPerS = 0;
        unsigned readBufferBytes = 256;
        // A newer firmware's: parameter messages with values above the editor's bounds are
        // stored too, up to what its dump records carry (a channel, port or behaviour of one
        // data byte, an assignment number of up to 255).
        bool takesAnyValue = false;
        // Milliseconds from the first record of a dump to its last: the answers to one message
        // (a dump) are spread evenly over this time instead of all coming at once.
        unsigned dumpTimeMs = 0;
    };

    // Milliseconds between two answers of the `count` that one message gets.
    unsigned answerGapMs(std::size_t count) const {
        return count > 1 ? static_cast<unsigned>(options_.dumpTimeMs / (count - 1)) : 0;
    }

    ControllerEmulator();
    explicit ControllerEmulator(Options options);

    Options& options() { return options_; }
    const Options& options() const { return options_; }

    // Handles one complete message (a System Exclusive message or a short message) and
    // returns the answers, in order. Messages the device does not know are ignored.
    std::vector<Message> receive(const Message& message);
    std::vector<Message> receive(const std::uint8_t* data, std::size_t length) {
        return receive(Message(data, data + length));
    }

    // With a read rate: whether a message of `length` bytes that arrives at `nowUs` (a steady
    // clock in microseconds) finds room in the receive buffer. A message that does not is lost
    // and counted; the caller must not hand it to receive(). Always true without a read rate.
    bool admit(std::size_t length, std::uint64_t nowUs);
    // Messages lost to a full receive buffer.
    unsigned lostMessages() const { return lost_; }

    // The extra delay before `message` is answered (a probe's own delay).
    unsigned extraDelayFor(const Message& message) const;

    // --- Normal mode
    static bool isPresetNumber(int number) { return number == 0 || (number >= 16 && number <= 29); }
    // The stored preset `number` (0 or 16-29); nullptr for another number.
    const StoredPreset* preset(int number) const;
    bool setPreset(int number, const StoredPreset& preset);
    const StoredPreset& editBuffer() const { return edit_; }
    // Stores a preset file in slot `number` (the file's own preset number when -1). The zone
    // channels of the slot stay as they were. False when the slot does not exist.
    bool loadSav(const SavFile& file, int number = -1);
    // The stored preset `number` as a preset file (all zeros for a number without a slot).
    SavFile savOf(int number) const;
    // The dump records the device sends for stored preset `number`, with the dump faults of
    // the options (`withFault` false: without dumpFault).
    std::vector<Message> dumpOf(int number, bool withFault = true) const;
    // Dumps sent for upload requests.
    unsigned dumpsSent() const { return dumpsSent_; }
    // The factory contents of slot `number`.
    static StoredPreset factoryPreset(int number);

    // --- Upgrade mode
    const std::vector<std::uint8_t>& image() const { return image_; }
    bool transferStarted() const { return started_; }
    bool transferComplete() const { return started_ && nextBlock_ == blockCount_; }
    unsigned blockCount() const { return blockCount_; }
    unsigned blocksAccepted() const { return nextBlock_; }
    unsigned blocksRejected() const { return rejected_; }

    // Messages that were not understood or failed a check, in either mode.
    unsigned ignoredMessages() const { return ignored_; }

    // The upgrade requests, as short messages.
    static const Message& nextRequest();
    static const Message& repeatRequest();

private:
    std::vector<Message> receiveNormal(const Message& m);
    std::vector<Message> receiveUpgrade(const Message& m);
    std::optional<Message> answerUpgradeProbe(const Message& m, std::uint8_t mode) const;
    Message identityReply() const;
    bool applyParameter(const Message& m);
    bool applyGlobal(const Message& m);
    std::vector<Message> handleBlock(const Message& m);

    Options options_;
    std::array<StoredPreset, 15> presets_{};
    StoredPreset edit_{};
    unsigned ignored_ = 0;
    unsigned lost_ = 0;
    double bufferLevel_ = 0; // bytes waiting in the receive buffer at lastArrivalUs_
    std::uint64_t lastArrivalUs_ = 0;
    int probesSeen_ = 0;
    unsigned dumpsSent_ = 0;

    bool started_ = false;
    unsigned blockCount_ = 0;
    unsigned nextBlock_ = 0;
    unsigned rejected_ = 0;
    bool corruptDone_ = false;
    std::vector<std::uint8_t> image_;
};

} // namespace korvalen::sim
