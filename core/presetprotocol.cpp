#include "presetprotocol.h"

#include <algorithm>

namespace korvalen {

unsigned char presetGlobals[kPresetGlobalsSize] = {};

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::uint8_t kGlobalParameterCommand = command::kGlobalParameter;
constexpr std::uint8_t kUploadRequestCommand = command::kUploadRequest;
constexpr std::uint8_t kDownloadEndCommand = command::kDownloadEnd;

template <std::size_t N> std::array<std::uint8_t, N> withHeader(std::uint8_t command) {
    std::array<std::uint8_t, N> m{};
    std::copy(kEditorHeader.begin(), kEditorHeader.end(), m.begin());
    m[5] = command;
    m[N - 1] = kSysExEnd;
    return m;
}

std::uint8_t byteOf(int v) {
    return static_cast<std::uint8_t>(v);
}

} // namespace

ParameterMessage parameterMessage(int command, int kind, int number, int value) {
    auto m = withHeader<13>(byteOf(command));
    m[6] = byteOf(kind);
    m[7] = byteOf(number);
    m[8] = byteOf(value >> 7);
    m[9] = byteOf(value & 0x7F);
    const int sum = m[5] + m[6] + m[7] + m[8] + m[9];
    m[10] = m[11] = byteOf(sum / 127);
    return m;
}

GlobalParameterMessage globalParameterMessage(int index, int value) {
    auto m = withHeader<10>(kGlobalParameterCommand);
    m[6] = byteOf(index);
    m[7] = byteOf(value / 127);
    m[8] = byteOf(value % 127);
    return m;
}

ShortPresetMessage uploadRequestMessage(int presetNumber) {
    auto m = withHeader<9>(kUploadRequestCommand);
    m[6] = byteOf(presetNumber);
    m[7] = 0;
    return m;
}

ShortPresetMessage downloadEndMessage(int presetNumber) {
    auto m = withHeader<9>(kDownloadEndCommand);
    m[6] = byteOf(presetNumber);
    m[7] = 0;
    return m;
}

bool isIdentityReply(const std::uint8_t* data, std::size_t length) {
    static constexpr std::uint8_t head[6] = {0xF0, 0x00, 0x00, 0x66, 0x14, 0x1B};
    if (data == nullptr || length < 10) return false;
    return std::equal(head, head + 6, data) && data[8] == 0x5A && data[9] == 0x74;
}

std::uint32_t ControllerIdentity::pack() const {
    if (!known) return 0;
    std::uint32_t w = 1u << 31 | std::uint32_t{id[0]} << 8 | id[1];
    if (firmware >= 0) w |= 1u << 30 | (static_cast<std::uint32_t>(firmware) & 0x3FFF) << 16;
    return w;
}

ControllerIdentity ControllerIdentity::unpack(std::uint32_t word) {
    ControllerIdentity identity;
    if ((word & 1u << 31) == 0) return identity;
    identity.known = true;
    identity.id[0] = static_cast<std::uint8_t>(word >> 8);
    identity.id[1] = static_cast<std::uint8_t>(word);
    if (word & 1u << 30) identity.firmware = static_cast<int>(word >> 16 & 0x3FFF);
    return identity;
}

ControllerIdentity ControllerIdentity::ofReply(const std::uint8_t* data, std::size_t length) {
    ControllerIdentity identity;
    if (!isIdentityReply(data, length)) return identity;
    identity.known = true;
    identity.id[0] = data[6];
    identity.id[1] = data[7];
    if (length >= 12 && data[10] <= 0x7F && data[11] <= 0x7F)
        identity.firmware = data[10] << 7 | data[11];
    return identity;
}

// ---------------------------------------------------------------------------------------------
// Download

std::uint8_t downloadZoneBits(const PresetValues& values) {
    return byteOf(values.zones[2].status * 4 + values.zones[1].status * 2 + 1);
}

void forEachDownloadMessage(
    const PresetValues& values,
    const std::function<void(const DownloadAddress&, const std::uint8_t*, std::size_t)>& visit,
    DownloadValues which) {
    const bool all = which == DownloadValues::AsHeld;
    const std::uint8_t zoneBits = downloadZoneBits(values);

    auto sendParameter = [&](int cmd, int kind, int number, int value) {
        const ParameterMessage m = parameterMessage(cmd, kind, number, value);
        visit(DownloadAddress{false, kind, number, cmd}, m.data(), m.size());
    };
    auto sendControl = [&](const AssignmentValues& a, int kind, int number, bool withBehaviour) {
        if (all || a.cc <= kMaxAssignment) sendParameter(command::kNumber, kind, number, a.cc);
        if (all || a.chan <= kMaxChannel) sendParameter(command::kChannel, kind, number, a.chan);
        if (all || a.port <= kMaxPort) sendParameter(command::kPort, kind, number, a.port);
        if (withBehaviour) {
            const int behaviour = a.type + 2 * a.mode;
            if (all || behaviour <= kMaxBehaviour)
                sendParameter(command::kBehaviour, kind, number, behaviour);
        }
    };
    auto sendGlobal = [&](int index, int value) {
        const GlobalParameterMessage m = globalParameterMessage(index, value);
        visit(DownloadAddress{true, 0, index, 0}, m.data(), m.size());
    };
    auto sendZoneBlock = [&] {
        sendGlobal(global::kZoneBits, zoneBits);
        for (int z = 0; z < 3; ++z) {
            const ZoneValues& zone = values.zones[static_cast<std::size_t>(z)];
            sendGlobal(global::kZoneProg + z, zone.prog);
            sendGlobal(global::kZoneMsb + z, zone.msb);
            sendGlobal(global::kZoneLsb + z, zone.lsb);
            sendGlobal(global::kZonePort + z, zone.port);
            sendGlobal(global::kZoneChan + z, zone.chan);
            sendGlobal(global::kZoneRangSta + z, zone.rangSta);
            sendGlobal(global::kZoneRangEnd + z, zone.rangEnd);
            sendGlobal(global::kZoneOct + z, zone.oct);
            sendGlobal(global::kZoneTrans + z, zone.trans);
        }
    };

    for (int pass = 0; pass < 6; ++pass) {
        switch (pass) {
        case 0:
            sendControl(values.slider, control::kSliderKind, control::kSliderNumber, false);
            break;
        case 1:
            for (int p = 0; p < 32; ++p)
                sendControl(values.encoders[static_cast<std::size_t>(p)], control::kEncoderKind,
                            control::kFirstEncoder + p, false);
            break;
        case 2:
            for (int p = 0; p < 16; ++p)
                sendControl(values.functions[static_cast<std::size_t>(p)], control::kButtonKind,
                            control::kFirstFunction + p, true);
            break;
        case 3: // no controls in this pass; the zone block still goes out
            break;
        case 4:
            for (std::size_t p = 0; p < 5; ++p)
                sendControl(values.transport[p], control::kButtonKind,
                            control::kTransportNumbers[p], true);
            break;
        case 5:
            for (int p = 0; p < 8; ++p)
                sendControl(values.pads[static_cast<std::size_t>(p)], control::kButtonKind,
                            control::kFirstPad + p, true);
            break;
        }
        sendZoneBlock();
    }
}

std::uint8_t sendDownload(const PresetValues& values, std::uint8_t presetNumber,
                          const MessageSender& send, const std::function<void()>& beforeEnd,
                          DownloadValues which) {
    forEachDownloadMessage(
        values,
        [&send](const DownloadAddress&, const std::uint8_t* data, std::size_t length) {
            send(data, length);
        },
        which);
    if (beforeEnd) beforeEnd();
    const ShortPresetMessage end = downloadEndMessage(presetNumber);
    send(end.data(), end.size());
    return downloadZoneBits(values);
}

// ---------------------------------------------------------------------------------------------
// Dump parser

bool assignmentFieldInRange(AssignmentField field, std::uint8_t value) {
    switch (field) {
    case AssignmentField::Type:
        return value <= kMaxType;
    case AssignmentField::CC:
        return value <= kMaxAssignment;
    case AssignmentField::Chan:
        return value <= kMaxChannel;
    case AssignmentField::Port:
        return value <= kMaxPort;
    case AssignmentField::Mode:
        return value <= kMaxMode;
    }
    return false;
}

AssignmentValues& assignmentOf(PresetValues& values, ControlRef control) {
    switch (control.group) {
    case ControlGroup::Encoder:
        return values.encoders[8 * control.bank + control.index];
    case ControlGroup::Function:
        return values.functions[4 * control.bank + control.index];
    case ControlGroup::Pad:
        return values.pads[4 * control.bank + control.index];
    case ControlGroup::Transport:
        return values.transport[control.index];
    case ControlGroup::Slider:
        break;
    }
    return values.slider;
}

std::uint8_t& fieldOf(AssignmentValues& values, AssignmentField field) {
    switch (field) {
    case AssignmentField::Type:
        return values.type;
    case AssignmentField::CC:
        return values.cc;
    case AssignmentField::Chan:
        return values.chan;
    case AssignmentField::Port:
        return values.port;
    case AssignmentField::Mode:
        break;
    }
    return values.mode;
}

std::optional<ControlRef> buttonForNumber(int number) {
    if (number >= control::kFirstFunction && number < control::kFirstFunction + 16) {
        const int n = number - control::kFirstFunction;
        return ControlRef{ControlGroup::Function, n / 4, n % 4};
    }
    if (number >= control::kFirstPad && number < control::kFirstPad + 8) {
        const int n = number - control::kFirstPad;
        return ControlRef{ControlGroup::Pad, n / 4, n % 4};
    }
    for (std::size_t i = 0; i < control::kTransportNumbers.size(); ++i)
        if (control::kTransportNumbers[i] == number)
            return ControlRef{ControlGroup::Transport, 0, static_cast<int>(i)};
    return std::nullopt;
}

ZoneValues zoneFromGlobals(const unsigned char* globals, int z) {
    ZoneValues zone;
    zone.status = byteOf((globals[global::kZoneBits] >> z) & 1);
    zone.prog = globals[global::kZoneProg + z];
    zone.msb = globals[global::kZoneMsb + z];
    zone.lsb = globals[global::kZoneLsb + z];
    zone.chan = globals[global::kZoneChan + z];
    zone.port = globals[global::kZonePort + z];
    zone.rangSta = globals[global::kZoneRangSta + z];
    zone.rangEnd = globals[global::kZoneRangEnd + z];
    zone.oct = globals[global::kZoneOct + z];
    zone.trans = globals[global::kZoneTrans + z];
    return zone;
}

namespace {

constexpr std::uint8_t kEscape[3] = {0x34, 0x56, 0x78};
constexpr int kMaxRunLength = 127; // the count is one data byte
// The longest record: F0, kind, start, count, every value escaped, F7.
constexpr std::size_t kMaxRecordLength = 4 + 5 * kMaxRunLength + 1;

// A record as found at an F0. Record bytes are SysEx data bytes: one with its top bit set
// means the record was cut short by the next message, and the record ends before that byte.
struct Record {
    enum What {
        Incomplete, // more bytes are needed before the record can be read
        Skip,       // nothing to apply (ignored kinds, records cut short)
        Assignment, // kinds 0-2
        CutEncoder, // a kind 1 record cut short
        Globals,    // kind 4
        End,        // kind 5
    } what = Incomplete;
    std::size_t length = 0; // bytes to consume, the F0 included
    std::uint8_t kind = 0;
    std::uint8_t fields[6] = {};
    std::uint8_t start = 0;
    int count = 0;
    std::uint16_t values[kMaxRunLength] = {}; // as sent: an escaped value may exceed a byte
};

struct BufferSource {
    const std::uint8_t* data;
    std::size_t length;
    std::size_t size() const { return length; }
    std::uint8_t at(std::size_t i) const { return data[i]; }
};

struct RingSource {
    const ByteRing& ring;
    std::size_t length;
    std::size_t size() const { return length; }
    std::uint8_t at(std::size_t i) const { return ring.peek(i); }
};

bool isDataByte(std::uint8_t b) {
    return b < 0x80;
}

// Reads the record that starts with the F0 at offset 0 of `s`, without reading past s.size().
template <typename Source> void decodeRecord(const Source& s, Record& rec) {
    const std::size_t n = s.size();
    rec = Record{};
    if (n < 2) return; // Incomplete
    rec.kind = s.at(1);
    if (!isDataByte(rec.kind)) { // an empty message: scanning resumes at this byte
        rec.what = Record::Skip;
        rec.length = 1;
        return;
    }
    auto cutAt = [&](std::size_t pos) {
        rec.what = rec.kind == 1 ? Record::CutEncoder : Record::Skip;
        rec.length = pos;
    };
    switch (rec.kind) {
    case 0:
    case 1:
    case 2:
        for (std::size_t i = 0; i < 6; ++i) {
            if (2 + i >= n) return; // Incomplete
            const std::uint8_t b = s.at(2 + i);
            if (!isDataByte(b)) return cutAt(2 + i);
            rec.fields[i] = b;
        }
        rec.what = Record::Assignment;
        rec.length = 8;
        return;
    case 4: {
        if (n < 4) return;
        if (!isDataByte(s.at(2))) return cutAt(2);
        if (!isDataByte(s.at(3))) return cutAt(3);
        rec.start = s.at(2);
        rec.count = s.at(3);
        std::size_t p = 4;
        for (int i = 0; i < rec.count; ++i) {
            if (p >= n) return;
            const std::uint8_t b = s.at(p);
            if (!isDataByte(b)) return cutAt(p);
            // The escape is recognised only when all three of its bytes are there; a prefix of
            // it at the end of what has arrived may still become one.
            bool escaped = b == kEscape[0];
            for (std::size_t e = 1; escaped && e < 3; ++e) {
                if (p + e >= n) return;
                escaped = s.at(p + e) == kEscape[e];
            }
            if (escaped) {
                if (p + 4 >= n) return;
                const std::uint8_t hh = s.at(p + 3);
                const std::uint8_t ll = s.at(p + 4);
                if (!isDataByte(hh)) return cutAt(p + 3);
                if (!isDataByte(ll)) return cutAt(p + 4);
                rec.values[i] = static_cast<std::uint16_t>(hh * 128 + ll);
                p += 5;
            } else {
                rec.values[i] = b;
                p += 1;
            }
        }
        rec.what = Record::Globals;
        rec.length = p;
        return;
    }
    case 5:
        rec.what = Record::End;
        rec.length = 2;
        return;
    default: // kind 3 and 6 and above carry nothing
        rec.what = Record::Skip;
        rec.length = 2;
        return;
    }
}

// Hands a complete record to the sink. Returns true for the end-of-dump record.
bool applyRecord(const Record& rec, DumpSink& sink, unsigned char* globals) {
    switch (rec.what) {
    case Record::Incomplete:
    case Record::Skip:
        return false;
    case Record::CutEncoder:
        sink.uploadError();
        return false;
    case Record::End:
        sink.endOfDump();
        return true;
    case Record::Globals: {
        const int first = rec.start;
        const int stored = std::clamp(kPresetGlobalsSize - first, 0, rec.count);
        for (int i = 0; i < stored; ++i)
            globals[first + i] = byteOf(rec.values[i]);
        if (stored > 0) sink.globalsStored(first, stored);
        return false;
    }
    case Record::Assignment:
        break;
    }

    const int number = rec.fields[0];
    const std::uint8_t value = byteOf(rec.fields[1] * 127 + rec.fields[2]);
    const std::uint8_t chan = rec.fields[3];
    const std::uint8_t port = rec.fields[4];
    const std::uint8_t behaviour = rec.fields[5];
    auto setAll = [&](ControlRef c) {
        sink.assignment(c, AssignmentField::CC, value);
        sink.assignment(c, AssignmentField::Chan, chan);
        sink.assignment(c, AssignmentField::Port, port);
    };

    switch (rec.kind) {
    case 0:
        if (number != control::kSliderNumber) break;
        if (value <= kMaxAssignment && chan <= kMaxChannel && port <= kMaxPort)
            setAll(ControlRef{ControlGroup::Slider, 0, 0});
        else
            sink.recordRejected();
        break;
    case 1:
        if (value > kMaxAssignment || chan > kMaxChannel || port > kMaxPort || behaviour > 1) {
            sink.uploadError();
            break;
        }
        if (number < 32) setAll(ControlRef{ControlGroup::Encoder, number / 8, number % 8});
        break;
    case 2: {
        const std::optional<ControlRef> c = buttonForNumber(number);
        if (!c) break;
        if (value <= kMaxAssignment) sink.assignment(*c, AssignmentField::CC, value);
        if (chan <= kMaxChannel) sink.assignment(*c, AssignmentField::Chan, chan);
        if (port <= kMaxPort) sink.assignment(*c, AssignmentField::Port, port);
        if (behaviour <= 4) {
            sink.assignment(*c, AssignmentField::Type, byteOf(behaviour & 1));
            sink.assignment(*c, AssignmentField::Mode, byteOf(behaviour >> 1));
        }
        // Behaviour 4 is handed on as mode 2, which no setter takes.
        if (value > kMaxAssignment || chan > kMaxChannel || port > kMaxPort ||
            behaviour > kMaxBehaviour)
            sink.recordRejected();
        break;
    }
    }
    return false;
}

} // namespace

DumpParser::Status DumpParser::parse(ByteRing& ring, std::uint32_t& dropsSeen) {
    const std::uint32_t drops = ring.drops();
    if (drops != dropsSeen) {
        dropsSeen = drops;
        ring.discardAll();
        return Status::Damaged;
    }
    return parse(ring);
}

DumpParser::Status DumpParser::parse(ByteRing& ring) {
    Record rec;
    std::array<std::uint8_t, kMaxRecordLength> raw{};
    for (;;) {
        const std::size_t avail = ring.unread();
        if (avail == 0) return Status::Idle;

        std::size_t skip = 0;
        while (skip < avail && ring.peek(skip) != kSysExStart)
            ++skip;
        if (skip > 0) {
            ring.consume(skip);
            continue;
        }

        decodeRecord(RingSource{ring, avail}, rec);
        // A record is complete once the byte that ends it is in: its F7, or the status byte
        // that cut it short.
        if (rec.length >= avail) rec.what = Record::Incomplete;
        if (rec.what == Record::Incomplete) {
            // The longest record fits the ring several times over, so a full ring that still
            // holds no complete record cannot become one: drop its F0 and scan on.
            if (avail >= ByteRing::kSize) {
                ring.consume(1);
                continue;
            }
            return Status::Waiting;
        }
        const std::size_t length = rec.length + (ring.peek(rec.length) == kSysExEnd ? 1 : 0);
        for (std::size_t i = 0; i < length; ++i)
            raw[i] = ring.peek(i);
        ring.consume(length);
        sink_.record(raw.data(), length);
        if (applyRecord(rec, sink_, globals_)) {
            ring.discardAll();
            return Status::EndOfDump;
        }
    }
}

DumpParser::BufferResult DumpParser::parse(const std::uint8_t* data, std::size_t length) {
    Record rec;
    std::size_t pos = 0;
    for (;;) {
        while (pos < length && data[pos] != kSysExStart)
            ++pos;
        if (pos == length) return {Status::Idle, pos};
        decodeRecord(BufferSource{data + pos, length - pos}, rec);
        if (rec.what == Record::Incomplete || rec.length >= length - pos)
            return {Status::Waiting, pos};
        const std::size_t end = rec.length + (data[pos + rec.length] == kSysExEnd ? 1 : 0);
        sink_.record(data + pos, end);
        pos += end;
        if (applyRecord(rec, sink_, globals_)) return {Status::EndOfDump, length};
    }
}

// ---------------------------------------------------------------------------------------------
// Dump records

std::array<std::uint8_t, 9> dumpAssignmentRecord(int kind, int number, int value, int chan,
                                                 int port, int behaviour) {
    return {kSysExStart,         byteOf(kind),        byteOf(number),
            byteOf(value / 127), byteOf(value % 127), byteOf(chan),
            byteOf(port),        byteOf(behaviour),   kSysExEnd};
}

std::size_t dumpGlobalsRecord(int start, const std::uint8_t* values, int count,
                              std::array<std::uint8_t, 5 * 127 + 5>& out) {
    count = std::clamp(count, 0, kMaxRunLength);
    std::size_t p = 0;
    out[p++] = kSysExStart;
    out[p++] = 0x04;
    out[p++] = byteOf(start);
    out[p++] = byteOf(count);
    for (int i = 0; i < count; ++i) {
        const std::uint8_t v = values[i];
        if (v >= 0x80 || v == kEscape[0]) {
            out[p++] = kEscape[0];
            out[p++] = kEscape[1];
            out[p++] = kEscape[2];
            out[p++] = byteOf(v >> 7);
            out[p++] = byteOf(v & 0x7F);
        } else {
            out[p++] = v;
        }
    }
    out[p++] = kSysExEnd;
    return p;
}

DumpRecordView readDumpRecord(const std::uint8_t* data, std::size_t length) {
    DumpRecordView view;
    if (data == nullptr || length == 0 || data[0] != 0xF0) return view;
    Record rec;
    decodeRecord(BufferSource{data, length}, rec);
    view.kind = rec.kind;
    view.length = rec.length;
    switch (rec.what) {
    case Record::Incomplete:
        view.what = DumpRecordView::What::Incomplete;
        break;
    case Record::Skip:
        view.what = DumpRecordView::What::Skip;
        break;
    case Record::CutEncoder:
        view.what = DumpRecordView::What::CutEncoder;
        break;
    case Record::End:
        view.what = DumpRecordView::What::End;
        break;
    case Record::Globals:
        view.what = DumpRecordView::What::Globals;
        view.start = rec.start;
        view.count = rec.count;
        for (int i = 0; i < rec.count; ++i) {
            view.values[static_cast<std::size_t>(i)] = byteOf(rec.values[i]);
            view.valuesAsSent[static_cast<std::size_t>(i)] = rec.values[i];
        }
        break;
    case Record::Assignment:
        view.what = DumpRecordView::What::Assignment;
        view.number = rec.fields[0];
        view.value = byteOf(rec.fields[1] * 127 + rec.fields[2]);
        view.valueAsSent = rec.fields[1] * 127 + rec.fields[2];
        view.chan = rec.fields[3];
        view.port = rec.fields[4];
        view.behaviour = rec.fields[5];
        break;
    }
    return view;
}

std::optional<ControlRef> controlForRecord(int kind, int number) {
    switch (kind) {
    case control::kSliderKind:
        if (number == control::kSliderNumber) return ControlRef{ControlGroup::Slider, 0, 0};
        return std::nullopt;
    case control::kEncoderKind:
        if (number >= control::kFirstEncoder && number < control::kFirstEncoder + 32)
            return ControlRef{ControlGroup::Encoder, (number - control::kFirstEncoder) / 8,
                              (number - control::kFirstEncoder) % 8};
        return std::nullopt;
    case control::kButtonKind:
        return buttonForNumber(number);
    default:
        return std::nullopt;
    }
}

} // namespace korvalen
