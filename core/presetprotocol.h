// The preset messages exchanged with the controller over System Exclusive: the editor's
// parameter, global parameter, upload request and download end messages, the identity probe,
// the whole download as one sequence of messages, and the parser of the dump records that
// the controller sends back after an upload request.
#pragma once

#include "bytering.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace korvalen {

// ---------------------------------------------------------------------------------------------
// Preset-wide values

constexpr int kPresetGlobalsSize = 48;

// The preset-wide block at the device's global parameter numbers; all zero at start.
extern unsigned char presetGlobals[kPresetGlobalsSize];

// Indexes into presetGlobals. The zone entries are at base + z for zones z = 0, 1, 2.
namespace global {
constexpr int kPresetNumber = 0; // 0 factory preset, 16-29 user presets
constexpr int kZoneProg = 1;
constexpr int kZoneMsb = 5;
constexpr int kZoneLsb = 9;
constexpr int kZoneBits = 16; // bit z: zone z is on
constexpr int kZonePort = 17;
constexpr int kZoneChan = 21;
constexpr int kZoneOct = 25;
constexpr int kZoneTrans = 29;
constexpr int kZoneRangSta = 41;
constexpr int kZoneRangEnd = 45;
} // namespace global

// ---------------------------------------------------------------------------------------------
// Control addresses on the wire

namespace control {
constexpr int kSliderKind = 0;
constexpr int kEncoderKind = 1;
constexpr int kButtonKind = 2; // function buttons, transport buttons and pads
constexpr int kSliderNumber = 10;
constexpr int kFirstEncoder = 0;   // encoder [bank][k] is 8 * bank + k
constexpr int kFirstFunction = 32; // function button [bank][k] is 32 + 4 * bank + k
constexpr int kFirstPad = 48;      // pad [bank][k] is 48 + 4 * bank + k
// Transport buttons REW, FF, STOP, PLAY, REC.
constexpr std::array<int, 5> kTransportNumbers = {29, 30, 31, 23, 22};
} // namespace control

// Parameter commands: which field of a control a parameter message sets.
namespace command {
constexpr int kNumber = 1;    // assignment number 0-171
constexpr int kChannel = 2;   // 0-16
constexpr int kPort = 3;      // 0-5
constexpr int kBehaviour = 4; // type + 2 * mode, 0-3
// The other commands of the editor's messages (byte 5 after the header).
constexpr int kUploadRequest = 5;
constexpr int kGlobalParameter = 6;
constexpr int kDownloadEnd = 7;
} // namespace command

// The largest value of each field of a preset. The model's setters take nothing above them,
// the download skips what lies above them, and the dump parser checks records against them.
constexpr int kMaxType = 1;         // 0 controller, 1 note
constexpr int kMaxAssignment = 171; // assignment number: controllers 0-127, device functions
constexpr int kMaxNote = 127;       // assignment number of a control of type note
constexpr int kMaxChannel = 16;     // channels 1-16, then "--"
constexpr int kMaxPort = 5;         // ports 1-5, then "--"
constexpr int kMaxMode = 1;         // 0 toggle, 1 momentary
constexpr int kMaxBehaviour = 3;    // type + 2 * mode, as the download sends it
constexpr int kMaxZoneStatus = 1;   // 0 off, 1 on
constexpr int kMaxZoneByte = 127;   // program, bank MSB and LSB, key range start and end
constexpr int kMaxOctave = 8;       // octave shift value - kOctaveZero
constexpr int kMaxTranspose = 24;   // semitones value - kTransposeZero
constexpr int kOctaveZero = 4;
constexpr int kTransposeZero = 12;

// ---------------------------------------------------------------------------------------------
// Editor messages

// Every editor message begins with these five bytes; byte 5 is the command.
constexpr std::array<std::uint8_t, 5> kEditorHeader = {0xF0, 0x00, 0x20, 0x6B, 0x02};

using ParameterMessage = std::array<std::uint8_t, 13>;
using GlobalParameterMessage = std::array<std::uint8_t, 10>;
using ShortPresetMessage = std::array<std::uint8_t, 9>;

// F0 00 20 6B 02, command, kind, number, value >> 7, value & 7F, check, check, F7; the check is
// the sum of bytes 5-9 divided by 127.
ParameterMessage parameterMessage(int command, int kind, int number, int value);

// F0 00 20 6B 02 06, index, value / 127, value % 127, F7.
GlobalParameterMessage globalParameterMessage(int index, int value);

// F0 00 20 6B 02 05, preset number, 00, F7.
ShortPresetMessage uploadRequestMessage(int presetNumber);

// F0 00 20 6B 02 07, preset number (presetGlobals[0]), 00, F7.
ShortPresetMessage downloadEndMessage(int presetNumber);

// A preset number goes out as one data byte: a number above 127 (which a file or a dump can
// hold) cannot be sent, and a download with it is refused rather than sent with a status
// byte in the middle of a message.
constexpr int kMaxSendablePresetNumber = 127;
constexpr bool isSendablePresetNumber(int presetNumber) {
    return presetNumber >= 0 && presetNumber <= kMaxSendablePresetNumber;
}

// The probe that the device search sends on every output port.
constexpr std::array<std::uint8_t, 8> kIdentityProbe = {0xF0, 0x00, 0x00, 0x66,
                                                        0x14, 0x1A, 0x00, 0xF7};

// True for the controller's answer to kIdentityProbe: at least 10 bytes, starting
// F0 00 00 66 14 1B, with 5A 74 in bytes 8 and 9.
bool isIdentityReply(const std::uint8_t* data, std::size_t length);

// What an identity reply tells of the controller, packed in one word (the device search hands
// it on as the reply's version): bytes 6 and 7, and the firmware version when the reply
// carries one (two more data bytes after 5A 74, high seven bits first).
struct ControllerIdentity {
    bool known = false;
    std::uint8_t id[2] = {0, 0}; // bytes 6 and 7 of the reply
    int firmware = -1;           // 0-16383; -1: the reply carries none
    std::uint32_t pack() const;
    static ControllerIdentity unpack(std::uint32_t word);
    // Of an identity reply; not known for anything else.
    static ControllerIdentity ofReply(const std::uint8_t* data, std::size_t length);
    bool operator==(const ControllerIdentity&) const = default;
};

// ---------------------------------------------------------------------------------------------
// The download

// One control's assignment as the model holds it.
struct AssignmentValues {
    std::uint8_t type = 0; // 0 controller, 1 note
    std::uint8_t cc = 0;   // assignment number
    std::uint8_t chan = 0; // 0-15 channels 1-16, 16 "--"
    std::uint8_t port = 0; // 0-4 ports 1-5, 5 "--"
    std::uint8_t mode = 0; // 0 toggle, 1 momentary
    bool operator==(const AssignmentValues&) const = default;
};

// One keyboard zone as the model holds it.
struct ZoneValues {
    std::uint8_t status = 0;
    std::uint8_t prog = 0;
    std::uint8_t msb = 0;
    std::uint8_t lsb = 0;
    std::uint8_t chan = 0;
    std::uint8_t port = 0;
    std::uint8_t rangSta = 0;
    std::uint8_t rangEnd = 0;
    std::uint8_t oct = kOctaveZero;
    std::uint8_t trans = kTransposeZero;
    bool operator==(const ZoneValues&) const = default;
};

// A read-only copy of the preset model, in the positions the download walks.
struct PresetValues {
    AssignmentValues slider;
    std::array<AssignmentValues, 32> encoders{};  // [8 * bank + k]
    std::array<AssignmentValues, 16> functions{}; // [4 * bank + k]
    std::array<AssignmentValues, 5> transport{};  // REW, FF, STOP, PLAY, REC
    std::array<AssignmentValues, 8> pads{};       // [4 * bank + k], banks A and B
    std::array<ZoneValues, 3> zones{};
    bool operator==(const PresetValues&) const = default;
};

// Receives one complete message; the bytes are valid only during the call.
using MessageSender = std::function<void(const std::uint8_t* data, std::size_t length)>;

// The zone on/off value that the download sends as global parameter 16: zone 1 always counts
// as on.
std::uint8_t downloadZoneBits(const PresetValues& values);

// What one download message sets: a parameter (control kind, control number, command) or a
// global parameter (index).
struct DownloadAddress {
    bool global = false;
    int kind = 0;    // parameter: control kind
    int number = 0;  // parameter: control number; global: index
    int command = 0; // parameter: command
    bool operator==(const DownloadAddress&) const = default;
};

// Which values of a preset a download sends.
enum class DownloadValues : std::uint8_t {
    // The editor's download: a value above its field's bound is skipped (the model never
    // holds one).
    InRange,
    // A write-back of what a controller held (a snapshot's dump): every value as it is, also
    // one that the editor's boxes cannot show. See unsendableAsHeld().
    AsHeld,
};

// Hands every message of a download of `values` to `visit`, in the order sendDownload() sends
// them, without the download end message. The zone block goes out after each of the six passes,
// so its addresses come six times.
void forEachDownloadMessage(
    const PresetValues& values,
    const std::function<void(const DownloadAddress&, const std::uint8_t*, std::size_t)>& visit,
    DownloadValues which = DownloadValues::InRange);

// Sends the whole download through `send`, message by message: six passes over the controls
// (slider, encoders, function buttons, an empty pass, transport buttons, pads), each control's
// parameter messages in command order with out-of-range values skipped (unless `which` is
// AsHeld), each pass followed by the zone block; then `beforeEnd` (if set) is called, and last
// the download end message with `presetNumber` goes out. Returns the value sent as global
// parameter 16, which the caller keeps in presetGlobals[16]. No message is allocated on the
// heap.
std::uint8_t sendDownload(const PresetValues& values, std::uint8_t presetNumber,
                          const MessageSender& send,
                          const std::function<void()>& beforeEnd = nullptr,
                          DownloadValues which = DownloadValues::InRange);

// ---------------------------------------------------------------------------------------------
// The dump parser

// Which control a dump record addresses.
enum class ControlGroup : std::uint8_t { Slider, Encoder, Function, Transport, Pad };

struct ControlRef {
    ControlGroup group = ControlGroup::Slider;
    int bank = 0;  // encoders and function buttons 0-3, pads 0-1, otherwise 0
    int index = 0; // encoders 0-7, function buttons and pads 0-3, transport 0-4 (REW..REC)
    bool operator==(const ControlRef&) const = default;
};

// The button-kind control with device number `number` (function button, transport button or
// pad); none for a number that no button has.
std::optional<ControlRef> buttonForNumber(int number);

enum class AssignmentField : std::uint8_t { Type, CC, Chan, Port, Mode };

// True when `value` is within the bound of `field` (kMaxType ... kMaxMode).
bool assignmentFieldInRange(AssignmentField field, std::uint8_t value);

// The values of `control` within `values`, and the field of them that `field` names: where a
// dump's record goes in a preset.
AssignmentValues& assignmentOf(PresetValues& values, ControlRef control);
std::uint8_t& fieldOf(AssignmentValues& values, AssignmentField field);

// Where the parser hands the decoded values. The values have passed the parser's own checks;
// the model's setters still apply their bounds.
class DumpSink {
public:
    virtual ~DumpSink() = default;
    // Every record the parser handles, bad or good, as it came: from its F0 to its F7 (or to
    // the byte before the status byte that cut it short). Called before the record is applied.
    // The bytes are valid only during the call.
    virtual void record(const std::uint8_t* data, std::size_t length) {
        (void)data;
        (void)length;
    }
    // One field of one control. The fields of a record arrive in the order CC, Chan, Port,
    // then (button records only) Type and Mode, the order in which the setters must run.
    virtual void assignment(ControlRef control, AssignmentField field, std::uint8_t value) = 0;
    // An encoder record with a value out of range: the editor shows "upload Error".
    virtual void uploadError() = 0;
    // A slider record, or the record of a button, pad or transport button, with a value out of
    // range: nothing of a slider record was handed over, the values of a button record that
    // are in range were.
    virtual void recordRejected() {}
    // Entries [first, first + count) of the globals block were stored.
    virtual void globalsStored(int first, int count) {}
    // The end-of-dump record: apply the zones from the globals block, report, close the
    // upload. The parser has consumed the record; it discards the rest after this call.
    virtual void endOfDump() = 0;
};

class DumpParser {
public:
    enum class Status {
        Idle,      // everything received has been handled
        Waiting,   // a record has begun but not all of its bytes are in yet; it stays unread
        EndOfDump, // the end-of-dump record was handled and everything after it discarded
        Damaged,   // bytes were dropped since the last look: nothing read, all discarded
    };

    // `globals` is the 48-byte block that global runs are stored into.
    explicit DumpParser(DumpSink& sink, unsigned char* globals = presetGlobals) noexcept
        : sink_(sink), globals_(globals) {}

    // Handles every complete record in the ring; a record that is still incomplete (its
    // closing F7 included) is left unread for the next call.
    Status parse(ByteRing& ring);
    // The same for an upload that must arrive whole: when the ring has dropped a piece since
    // `dropsSeen` (the ring's drops() when the upload began, updated here), nothing is read,
    // everything unread is discarded and the result is Damaged.
    Status parse(ByteRing& ring, std::uint32_t& dropsSeen);

    // The same on a plain buffer. `consumed` is the number of bytes handled (all of them after
    // the end-of-dump record); the bytes of an incomplete record at the end are not consumed.
    struct BufferResult {
        Status status;
        std::size_t consumed;
    };
    BufferResult parse(const std::uint8_t* data, std::size_t length);

    // Drops everything unread (no upload open, or an empty delivery).
    static void discardAll(ByteRing& ring) noexcept { ring.discardAll(); }

private:
    DumpSink& sink_;
    unsigned char* globals_;
};

// The zone z (0-2) values held in a globals block, with the status from bit z of entry 16.
// An end-of-dump applies them through the zone setters in the order prog, msb, lsb, chan, port,
// rangSta, rangEnd, oct, trans and then the status of each zone.
ZoneValues zoneFromGlobals(const unsigned char* globals, int z);

// ---------------------------------------------------------------------------------------------
// Dump records as the controller sends them (for the controller emulator and tests)

// F0, kind 0-2, number, value / 127, value % 127, channel, port, behaviour, F7.
std::array<std::uint8_t, 9> dumpAssignmentRecord(int kind, int number, int value, int chan,
                                                 int port, int behaviour);

// F0 04, start, count, the values, F7. Values of 128 and above, and 0x34 (which could start an
// escape), go out as 34 56 78 hh ll. At most 127 values. Returns the record's length.
std::size_t dumpGlobalsRecord(int start, const std::uint8_t* values, int count,
                              std::array<std::uint8_t, 5 * 127 + 5>& out);

// F0 05 F7.
constexpr std::array<std::uint8_t, 3> kDumpEndRecord = {0xF0, 0x05, 0xF7};

// One dump record read as the parser reads it, without applying it: for showing what a record
// says.
struct DumpRecordView {
    enum class What : std::uint8_t {
        Incomplete, // the bytes end before the record does
        Skip,       // a kind that carries nothing (3, 6 and above), or a record cut short
        Assignment, // kinds 0-2: the fields below
        CutEncoder, // a kind 1 record cut short
        Globals,    // kind 4: `count` values from `start`
        End,        // kind 5
    };
    What what = What::Incomplete;
    std::uint8_t kind = 0;
    std::size_t length = 0; // bytes the record takes, the F0 included (not its F7)
    // Assignment records.
    std::uint8_t number = 0;
    std::uint8_t value = 0; // the assignment number, cut to a byte as the parser hands it on
    int valueAsSent = 0;    // the assignment number as the record carries it (up to 16255)
    std::uint8_t chan = 0;
    std::uint8_t port = 0;
    std::uint8_t behaviour = 0;
    // Globals records.
    std::uint8_t start = 0;
    int count = 0;
    std::array<std::uint8_t, 127> values{};
    std::array<std::uint16_t, 127> valuesAsSent{}; // an escaped value may exceed a byte
};

// Reads the record that begins with the F0 at data[0].
DumpRecordView readDumpRecord(const std::uint8_t* data, std::size_t length);

// The control a dump record of `kind` (0-2) and `number` is for; none when no control has it.
std::optional<ControlRef> controlForRecord(int kind, int number);

} // namespace korvalen
