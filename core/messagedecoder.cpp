#include "messagedecoder.h"

#include "nametables.h"
#include "presetdiff.h"
#include "presetprotocol.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace korvalen {

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;

std::string num(long v) {
    return std::to_string(v);
}

std::string signedNum(int v) {
    return (v > 0 ? "+" : "") + std::to_string(v);
}

DecodedMessage make(MessageKind kind, std::string text) {
    DecodedMessage m;
    m.kind = kind;
    m.text = std::move(text);
    return m;
}

// The same, with the words made only when they are wanted.
template <typename Words> DecodedMessage make(MessageKind kind, Decode decode, Words words) {
    DecodedMessage m;
    m.kind = kind;
    if (decode == Decode::Words) m.text = words();
    return m;
}

bool allData(const std::uint8_t* begin, const std::uint8_t* end) {
    return std::all_of(begin, end, [](std::uint8_t b) { return b < 0x80; });
}

std::string outOfRange(std::string text) {
    return text + " (out of range)";
}

// --- Words for values -----------------------------------------------------------------------

std::string presetWords(int number) {
    const char* name = presetNameFor(number);
    return "preset " + num(number) + " (" + (name ? name : "no such preset") + ")";
}

// An assignment number as the control lists show it.
std::string assignmentWords(int value) {
    if (value <= kMaxNote) return "CC " + num(value) + " " + nameTable[value];
    if (value <= kMaxAssignment) return num(value) + " " + nameTable[value];
    return outOfRange("number " + num(value));
}

std::string channelWords(int value) {
    if (value < kMaxChannel) return "channel " + num(value + 1);
    if (value == kMaxChannel) return "channel --";
    return outOfRange("channel value " + num(value));
}

std::string portWords(int value) {
    if (value < kMaxPort) return "port " + num(value + 1);
    if (value == kMaxPort) return "port --";
    return outOfRange("port value " + num(value));
}

std::string behaviourWords(int value) {
    if (value > kMaxBehaviour) return outOfRange("behaviour " + num(value));
    return std::string(value & 1 ? "note" : "controller") + ", " +
           (value >> 1 ? "momentary" : "toggle");
}

std::string keyWords(int key) {
    if (key < 0 || key > 127) return outOfRange(num(key));
    return num(key) + " (" + noteName(key) + ")";
}

std::string controlWords(int kind, int number) {
    if (const auto c = controlForRecord(kind, number)) return controlName(*c);
    return "control " + num(number) + " of kind " + num(kind) + " (no such control)";
}

// One preset-wide value.
std::string globalWords(int index, int value) {
    using namespace global;
    if (index == kPresetNumber) return "current " + presetWords(value);
    if (index == kZoneBits) {
        std::string on;
        for (int z = 0; z < 3; ++z)
            if (value & (1 << z)) on += (on.empty() ? "" : ", ") + num(z + 1);
        return "zones on: " + (on.empty() ? std::string("none") : on);
    }
    struct ZoneEntry {
        int base;
        const char* name;
    };
    static constexpr ZoneEntry entries[] = {
        {kZoneProg, "program"},    {kZoneMsb, "bank MSB"},       {kZoneLsb, "bank LSB"},
        {kZonePort, "port"},       {kZoneChan, "channel"},       {kZoneOct, "octave"},
        {kZoneTrans, "transpose"}, {kZoneRangSta, "lowest key"}, {kZoneRangEnd, "highest key"},
    };
    for (const ZoneEntry& e : entries) {
        const int z = index - e.base;
        if (z < 0 || z > 2) continue;
        const std::string zone = "zone " + num(z + 1) + " ";
        if (e.base == kZonePort) return zone + portWords(value);
        if (e.base == kZoneChan) return zone + channelWords(value);
        if (e.base == kZoneOct)
            return zone + "octave " +
                   (value <= kMaxOctave ? signedNum(value - kOctaveZero) : outOfRange(num(value)));
        if (e.base == kZoneTrans)
            return zone + "transpose " +
                   (value <= kMaxTranspose ? signedNum(value - kTransposeZero)
                                           : outOfRange(num(value)));
        if (e.base == kZoneRangSta || e.base == kZoneRangEnd)
            return zone + e.name + " " + keyWords(value);
        return zone + e.name + " " + (value <= kMaxZoneByte ? num(value) : outOfRange(num(value)));
    }
    return "global " + num(index) + " = " + num(value);
}

// --- The editor's messages ------------------------------------------------------------------

std::optional<DecodedMessage> editorMessage(const std::uint8_t* d, std::size_t n, Decode decode) {
    if (n < 9 || !std::equal(kEditorHeader.begin(), kEditorHeader.end(), d)) return std::nullopt;
    if (!allData(d + 5, d + n - 1)) return std::nullopt;
    const int cmd = d[5];
    if (cmd >= command::kNumber && cmd <= command::kBehaviour && n == 13) {
        return make(MessageKind::Parameter, decode, [d, cmd] {
            const int kind = d[6];
            const int number = d[7];
            const int value = d[8] * 128 + d[9];
            std::string what;
            switch (cmd) {
            case command::kNumber:
                what = assignmentWords(value);
                break;
            case command::kChannel:
                what = channelWords(value);
                break;
            case command::kPort:
                what = portWords(value);
                break;
            default:
                what = behaviourWords(value);
                break;
            }
            std::string text = controlWords(kind, number) + ": " + what;
            const int check = (d[5] + d[6] + d[7] + d[8] + d[9]) / 127;
            if (d[10] != check || d[11] != check) text += " (check bytes wrong)";
            return text;
        });
    }
    if (cmd == command::kGlobalParameter && n == 10)
        return make(MessageKind::GlobalParameter, decode,
                    [d] { return globalWords(d[6], d[7] * 127 + d[8]); });
    if (cmd == command::kUploadRequest && n == 9)
        return make(MessageKind::UploadRequest, decode,
                    [d] { return "upload request: " + presetWords(d[6]); });
    if (cmd == command::kDownloadEnd && n == 9)
        return make(MessageKind::DownloadEnd, decode,
                    [d] { return "download end: store as " + presetWords(d[6]); });
    return std::nullopt;
}

// --- Dump records ---------------------------------------------------------------------------

std::optional<DecodedMessage> dumpRecord(const std::uint8_t* d, std::size_t n, Decode decode) {
    if (n < 3) return std::nullopt;
    const DumpRecordView r = readDumpRecord(d, n);
    // A record is a message of its own: its F7 follows it at once.
    if (r.what == DumpRecordView::What::Incomplete || r.length + 1 != n || d[n - 1] != kSysExEnd)
        return std::nullopt;
    switch (r.what) {
    case DumpRecordView::What::Incomplete:
    case DumpRecordView::What::Skip:
        if (r.kind == 3 || r.kind > 5) break;
        return std::nullopt;
    case DumpRecordView::What::CutEncoder:
        return std::nullopt;
    default:
        break;
    }
    return make(MessageKind::DumpRecord, decode, [&r] {
        std::string text = "dump: ";
        switch (r.what) {
        case DumpRecordView::What::Incomplete:
        case DumpRecordView::What::Skip:
        case DumpRecordView::What::CutEncoder:
            text += "record of kind " + num(r.kind) + ", which carries nothing";
            break;
        case DumpRecordView::What::Assignment:
            // A button of type note plays the note its assignment number names.
            text += controlWords(r.kind, r.number) + ": " +
                    (r.kind == control::kButtonKind && r.behaviour <= kMaxBehaviour &&
                             (r.behaviour & 1) != 0
                         ? "note " + keyWords(r.value)
                         : assignmentWords(r.value)) +
                    ", " + channelWords(r.chan) + ", " + portWords(r.port);
            if (r.kind == control::kButtonKind)
                text += ", " + behaviourWords(r.behaviour);
            else if (r.kind == control::kEncoderKind && r.behaviour > kMaxType)
                text += ", " + outOfRange("behaviour " + num(r.behaviour));
            break;
        case DumpRecordView::What::Globals:
            text += "preset-wide values " + num(r.start) + "-" + num(r.start + r.count - 1) + " (" +
                    num(r.count) + (r.count == 1 ? " value" : " values") + ")";
            if (r.count == 0) text = "dump: no preset-wide values";
            if (r.start == global::kPresetNumber && r.count > 0)
                text += ", " + presetWords(r.values[0]);
            break;
        case DumpRecordView::What::End:
            text = "dump end";
            break;
        }
        return text;
    });
}

// --- The firmware upgrade -------------------------------------------------------------------

std::string idWords(const std::array<std::uint8_t, 5>& id) {
    return hexBytes(id.data(), id.size());
}

std::optional<DecodedMessage> upgradeOut(const std::uint8_t* d, std::size_t n) {
    if (const auto count = parseStartMessage(d, n)) {
        DecodedMessage m =
            make(MessageKind::FirmwareStart,
                 "firmware start: " + num(*count) + (*count == 1 ? " block" : " blocks"));
        m.blockCount = *count;
        return m;
    }
    const DecodedBlock block = decodeBlock(d, n);
    if (block.status != BlockStatus::Malformed) {
        DecodedMessage m =
            make(MessageKind::FirmwareBlock, "firmware block, " + num(block.remaining) + " left");
        if (block.status == BlockStatus::BadChecksum) m.text += " (bad checksum)";
        m.remaining = block.remaining;
        return m;
    }
    if (const auto id = parseProbeMessage(d, n))
        return make(MessageKind::UpgradeProbe, "upgrade probe for device " + idWords(*id));
    return std::nullopt;
}

std::optional<DecodedMessage> upgradeReply(const std::uint8_t* d, std::size_t n) {
    const auto any = parseAnyProbeReply(d, n);
    if (!any) return std::nullopt;
    const std::uint8_t mode = any->reply.mode;
    return make(MessageKind::UpgradeProbeReply, "upgrade probe reply from device " +
                                                    idWords(any->deviceId) + ", firmware " +
                                                    deviceVersionText(any->reply.version) +
                                                    (mode == 2   ? ", upgrade mode"
                                                     : mode == 1 ? ", normal mode"
                                                                 : ", mode " + num(mode)));
}

// --- SysEx ----------------------------------------------------------------------------------

DecodedMessage sysEx(MessageDirection direction, const std::uint8_t* d, std::size_t n,
                     Decode decode) {
    if (n < 2 || d[n - 1] != kSysExEnd)
        return make(MessageKind::Malformed, "SysEx without its end, " + num(long(n)) + " bytes");
    if (!allData(d + 1, d + n - 1))
        return make(MessageKind::Malformed,
                    "SysEx with a status byte inside, " + num(long(n)) + " bytes");
    if (n == kIdentityProbe.size() && std::equal(kIdentityProbe.begin(), kIdentityProbe.end(), d))
        return make(MessageKind::IdentityProbe, "identity probe");
    if (isIdentityReply(d, n))
        return make(MessageKind::IdentityReply,
                    "identity reply, firmware " + deviceVersionText(d[6] * 128u + d[7]));
    if (auto m = editorMessage(d, n, decode)) return *m;
    if (direction == MessageDirection::In) {
        if (auto m = upgradeReply(d, n)) return *m;
        if (auto m = dumpRecord(d, n, decode)) return *m;
        if (auto m = upgradeOut(d, n)) return *m;
    } else {
        if (auto m = upgradeOut(d, n)) return *m;
        if (auto m = upgradeReply(d, n)) return *m;
        if (auto m = dumpRecord(d, n, decode)) return *m;
    }
    return make(MessageKind::UnknownSysEx, "unknown SysEx, " + num(long(n)) + " bytes");
}

// --- Short messages -------------------------------------------------------------------------

DecodedMessage channelMessage(const std::uint8_t* d, std::size_t n, Decode decode) {
    const int type = d[0] & 0xF0;
    const std::size_t expected = (type == 0xC0 || type == 0xD0) ? 2 : 3;
    if (n != expected || !allData(d + 1, d + n))
        return make(MessageKind::Malformed, "channel message of " + num(long(n)) + " bytes, " +
                                                num(long(expected)) + " expected");
    return make(MessageKind::ChannelMessage, decode, [d, type]() -> std::string {
        const std::string channel = "channel " + num((d[0] & 0x0F) + 1);
        switch (type) {
        case 0x80:
            return "note off, " + channel + ", key " + keyWords(d[1]) + ", velocity " + num(d[2]);
        case 0x90:
            return "note on, " + channel + ", key " + keyWords(d[1]) + ", velocity " + num(d[2]) +
                   (d[2] == 0 ? " (off)" : "");
        case 0xA0:
            return "key pressure, " + channel + ", key " + keyWords(d[1]) + ", pressure " +
                   num(d[2]);
        case 0xB0:
            return "controller " + num(d[1]) + " " + nameTable[d[1]] + ", " + channel + ", value " +
                   num(d[2]);
        case 0xC0:
            return "program change, " + channel + ", program " + num(d[1]) + " " +
                   nameTable[kProgramBase + d[1]];
        case 0xD0:
            return "channel pressure, " + channel + ", pressure " + num(d[1]);
        default:
            return "pitch bend, " + channel + ", " + signedNum((d[2] << 7 | d[1]) - 8192);
        }
    });
}

DecodedMessage systemMessage(const std::uint8_t* d, std::size_t n) {
    struct System {
        std::uint8_t status;
        std::size_t length;
        const char* name;
    };
    static constexpr System kinds[] = {
        {0xF1, 2, "time code quarter frame"},
        {0xF2, 3, "song position"},
        {0xF3, 2, "song select"},
        {0xF6, 1, "tune request"},
        {0xF8, 1, "clock"},
        {0xFA, 1, "start"},
        {0xFB, 1, "continue"},
        {0xFC, 1, "stop"},
        {0xFE, 1, "active sensing"},
        {0xFF, 1, "reset"},
    };
    for (const System& s : kinds) {
        if (s.status != d[0]) continue;
        if (n != s.length || !allData(d + 1, d + n))
            return make(MessageKind::Malformed, std::string(s.name) + " of " + num(long(n)) +
                                                    " bytes, " + num(long(s.length)) + " expected");
        std::string text = s.name;
        if (d[0] == 0xF2) text += " " + num(d[2] << 7 | d[1]);
        if (d[0] == 0xF1 || d[0] == 0xF3) text += " " + num(d[1]);
        return make(MessageKind::SystemMessage, text);
    }
    if (d[0] == kSysExEnd) return make(MessageKind::Malformed, "SysEx end without its start");
    return make(MessageKind::Malformed, "undefined status byte " + hexBytes(d, 1));
}

} // namespace

MessageGroup groupOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::IdentityProbe:
    case MessageKind::IdentityReply:
        return MessageGroup::Search;
    case MessageKind::Parameter:
    case MessageKind::GlobalParameter:
    case MessageKind::UploadRequest:
    case MessageKind::DownloadEnd:
        return MessageGroup::Preset;
    case MessageKind::DumpRecord:
        return MessageGroup::Dump;
    case MessageKind::UpgradeProbe:
    case MessageKind::UpgradeProbeReply:
    case MessageKind::FirmwareStart:
    case MessageKind::FirmwareBlock:
    case MessageKind::BlockRequest:
        return MessageGroup::Firmware;
    case MessageKind::ChannelMessage:
    case MessageKind::SystemMessage:
        return MessageGroup::Midi;
    case MessageKind::UnknownSysEx:
    case MessageKind::Malformed:
        break;
    }
    return MessageGroup::Unknown;
}

const char* groupName(MessageGroup group) {
    switch (group) {
    case MessageGroup::Search:
        return "search";
    case MessageGroup::Preset:
        return "preset";
    case MessageGroup::Dump:
        return "dump";
    case MessageGroup::Firmware:
        return "firmware";
    case MessageGroup::Midi:
        return "MIDI";
    case MessageGroup::Unknown:
        break;
    }
    return "unknown";
}

DecodedMessage decodeMessage(MessageDirection direction, const std::uint8_t* data,
                             std::size_t length, Decode decode) {
    if (data == nullptr || length == 0) return make(MessageKind::Malformed, "empty message");
    if (data[0] == kSysExStart) return sysEx(direction, data, length, decode);
    if (data[0] < 0x80)
        return make(MessageKind::Malformed,
                    "data without a status byte, " + num(long(length)) + " bytes");
    if (length == 3) {
        std::uint32_t packed = 0;
        for (std::size_t i = 0; i < 3; ++i)
            packed |= std::uint32_t(data[i]) << (8 * i);
        const BlockRequest request = blockRequestOf(packed);
        if (request != BlockRequest::None) {
            DecodedMessage m =
                make(MessageKind::BlockRequest,
                     request == BlockRequest::Next ? "next block request" : "repeat block request");
            m.request = request;
            return m;
        }
    }
    if (data[0] < 0xF0) return channelMessage(data, length, decode);
    return systemMessage(data, length);
}

std::string hexBytes(const std::uint8_t* data, std::size_t length, std::size_t maxBytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    const std::size_t shown = std::min(length, maxBytes);
    std::string text;
    text.reserve(shown * 3 + 24);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i) text += ' ';
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0x0F];
    }
    if (shown < length) text += " ... (" + std::to_string(length) + " bytes)";
    return text;
}

bool FlashSummary::concerns(MessageKind kind) {
    return kind == MessageKind::FirmwareStart || kind == MessageKind::FirmwareBlock ||
           kind == MessageKind::BlockRequest;
}

bool FlashSummary::show(const DecodedMessage& message, std::string& text) {
    text = message.text;
    auto skipped = [this]() {
        auto count = [](std::uint64_t n, const char* what) {
            return num(long(n)) + " " + what + (n == 1 ? "" : "s");
        };
        std::string parts;
        if (hiddenBlocks_) parts = count(hiddenBlocks_, "block");
        if (hiddenRequests_)
            parts += (parts.empty() ? "" : " and ") + count(hiddenRequests_, "request");
        const std::string note = parts.empty() ? "" : " (" + parts + " before it not shown)";
        hiddenBlocks_ = hiddenRequests_ = 0;
        return note;
    };
    switch (message.kind) {
    case MessageKind::FirmwareStart:
        flashing_ = true;
        blockCount_ = message.blockCount;
        hiddenBlocks_ = hiddenRequests_ = 0;
        return true;
    case MessageKind::FirmwareBlock: {
        if (!flashing_) { // the monitor came in during a flash
            flashing_ = true;
            blockCount_ = 0;
        }
        const bool known = blockCount_ != 0 && message.remaining <= blockCount_;
        const std::uint32_t number = known ? blockCount_ - message.remaining + 1 : 0;
        const bool last = message.remaining <= 1;
        const bool shown =
            last || (known ? number == 1 || number % kEvery == 0 : message.remaining % kEvery == 0);
        if (!shown) {
            ++hiddenBlocks_;
            return false;
        }
        if (known)
            text = "firmware block " + num(long(number)) + " of " + num(long(blockCount_)) +
                   (message.text.find("checksum") != std::string::npos ? " (bad checksum)" : "");
        text += skipped();
        if (last) flashing_ = false;
        return true;
    }
    case MessageKind::BlockRequest:
        if (flashing_ && message.request == BlockRequest::Next) {
            ++hiddenRequests_;
            return false;
        }
        return true;
    default:
        return true;
    }
}

} // namespace korvalen
