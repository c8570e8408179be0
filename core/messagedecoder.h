// One MIDI message in words: every message the editor and the controller exchange (the
// identity probe and its reply, the preset messages, the dump records, the firmware upgrade's
// messages), any other MIDI message by its MIDI meaning, and what is left as unknown SysEx.
// For the MIDI monitor, the command line's traffic lines and the diagnostics report.
#pragma once

#include "firmware.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvalen {

// Which way a message went: In from a port to the program, Out from the program to a port.
enum class MessageDirection : std::uint8_t { In, Out };

enum class MessageKind : std::uint8_t {
    IdentityProbe,
    IdentityReply,
    Parameter,       // one field of one control
    GlobalParameter, // one preset-wide value
    UploadRequest,
    DownloadEnd,
    DumpRecord,
    UpgradeProbe,
    UpgradeProbeReply,
    FirmwareStart,
    FirmwareBlock,
    BlockRequest,   // the controller asks for the next block, or the last one again
    ChannelMessage, // note on/off, controller, program change, pressure, pitch bend
    SystemMessage,  // clock, start, stop, song position and the like
    UnknownSysEx,
    Malformed, // not a MIDI message: a stray data byte, a message cut short, a bad length
};

// The kinds in the groups that the monitor's filter offers.
enum class MessageGroup : std::uint8_t { Search, Preset, Dump, Firmware, Midi, Unknown };
constexpr int kMessageGroupCount = 6;
MessageGroup groupOf(MessageKind kind);
// "search", "preset", "dump", "firmware", "MIDI", "unknown".
const char* groupName(MessageGroup group);

struct DecodedMessage {
    MessageKind kind = MessageKind::Malformed;
    std::string text;
    std::uint32_t blockCount = 0;              // FirmwareStart: the blocks the image has
    std::uint32_t remaining = 0;               // FirmwareBlock: blocks left, this one included
    BlockRequest request = BlockRequest::None; // BlockRequest: which one
};

// Words: the message's kind, its numbers and its words. KindOnly: the same kind and numbers;
// the words of the most common messages (the editor's own, dump records, channel messages) are
// not made, and `text` is then empty. The messages FlashSummary concerns always have theirs.
// For lists that make their lines' words when they are shown.
enum class Decode : std::uint8_t { Words, KindOnly };

// Decodes one complete message (a SysEx message whole, or a short message of up to 3 bytes).
// The direction decides which reading is tried first where two would fit the same bytes.
DecodedMessage decodeMessage(MessageDirection direction, const std::uint8_t* data,
                             std::size_t length, Decode decode = Decode::Words);

// "F0 00 20 6B 02 F7"; past `maxBytes` bytes, " ... (N bytes)" ends the text.
std::string hexBytes(const std::uint8_t* data, std::size_t length,
                     std::size_t maxBytes = static_cast<std::size_t>(-1));

// Keeps a firmware upgrade to a few lines: the start message, the first block, every
// thousandth block and the last one are shown, with the count of blocks and requests not
// shown since the line before; the next-block requests in between are not shown either.
// Repeat requests and every other message are shown as they come.
class FlashSummary {
public:
    static constexpr std::uint32_t kEvery = 1000;

    // True when `message` is to be shown; `text` is then the line's decoding, which for a
    // block says its number and what was left out before it.
    bool show(const DecodedMessage& message, std::string& text);
    // True for the kinds show() keeps to a few lines; every other message is shown, with its
    // own words, and leaves the summary as it was.
    static bool concerns(MessageKind kind);
    bool flashing() const { return flashing_; }

private:
    bool flashing_ = false;
    std::uint32_t blockCount_ = 0; // 0 when the start message was not seen
    std::uint64_t hiddenBlocks_ = 0;
    std::uint64_t hiddenRequests_ = 0;
};

} // namespace korvalen
