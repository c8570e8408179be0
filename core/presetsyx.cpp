#include "presetsyx.h"

#include "messagedecoder.h"
#include "presetdiff.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <tuple>

namespace korvalen {

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;

std::string hexByte(std::uint8_t b) {
    return hexBytes(&b, 1);
}

// One message of the file: where it starts (its F0) and its length (its F7 included).
struct Span {
    std::size_t at = 0;
    std::size_t length = 0;
};

// "message 12 (at byte 340)": the n-th message (from 1) and its offset in the file.
Text where(std::size_t index, const Span& m) {
    return Text(KV_TEXT("SyxFile", "message %1 (at byte %2)"), {index + 1, m.at});
}

// Splits the file into its SysEx messages; an error for anything else.
bool splitMessages(const std::uint8_t* data, std::size_t length, std::vector<Span>& messages,
                   Text& error) {
    std::size_t pos = 0;
    while (pos < length) {
        if (data[pos] != kSysExStart) {
            error = pos == 0 ? Text(KV_TEXT("SyxFile", "it is not a SysEx file: it does "
                                                       "not begin with F0"))
                             : Text(KV_TEXT("SyxFile", "it is not a SysEx file: byte %1 (%2) "
                                                       "lies outside any SysEx message"),
                                    {pos, hexByte(data[pos])});
            return false;
        }
        std::size_t end = pos + 1;
        while (end < length && data[end] < 0x80)
            ++end;
        const Span m{pos, end - pos + 1};
        if (end == length) {
            error = Text(KV_TEXT("SyxFile", "%1 is cut short: the file ends before its F7"),
                         {where(messages.size(), m)});
            return false;
        }
        if (data[end] != kSysExEnd) {
            error = Text(KV_TEXT("SyxFile", "%1 is cut short: byte %2 (%3) comes before its F7"),
                         {where(messages.size(), m), end, hexByte(data[end])});
            return false;
        }
        messages.push_back(m);
        pos = end + 1;
    }
    return true;
}

bool isEditorMessage(const std::uint8_t* d, std::size_t n) {
    return n >= kEditorHeader.size() + 1 &&
           std::equal(kEditorHeader.begin(), kEditorHeader.end(), d);
}

// A dump record whole: one of the kinds that carry something, for a control that exists.
bool isDumpRecord(const std::uint8_t* d, std::size_t n) {
    if (isEditorMessage(d, n)) return false;
    const DumpRecordView r = readDumpRecord(d, n);
    if (r.length + 1 != n) return false;
    switch (r.what) {
    case DumpRecordView::What::Assignment:
        return controlForRecord(r.kind, r.number).has_value();
    case DumpRecordView::What::Globals:
    case DumpRecordView::What::End:
        return true;
    default:
        return false;
    }
}

Text notOurs(std::size_t index, const Span& m, const std::uint8_t* d) {
    constexpr std::size_t kShown = 6; // bytes shown of a message not ours
    const Text bytes = m.length <= kShown
                           ? Text::data(hexBytes(d, m.length))
                           : Text::counted(KV_TEXT_N("SyxFile", "%1 ... (%n bytes)"),
                                           static_cast<long long>(m.length), {hexBytes(d, kShown)});
    return Text(KV_TEXT("SyxFile", "%1 (%2) is not one of the Korvalen25's preset messages; it "
                                   "may be another device's"),
                {where(index, m), bytes});
}

Text fieldWord(int command) {
    switch (command) {
    case command::kNumber:
        return Text(KV_TEXT("PresetField", "number"));
    case command::kChannel:
        return Text(KV_TEXT("PresetField", "channel"));
    case command::kPort:
        return Text(KV_TEXT("PresetField", "port"));
    default:
        return Text(KV_TEXT("PresetField", "type and mode"));
    }
}

// "WHAT 12 is out of range (0-8)".
Text outOfRange(Text what, int value, int max) {
    return Text(KV_TEXT("SyxFile", "%1 %2 is out of range (0-%3)"), {std::move(what), value, max});
}

// "message 3 (at byte 40): WHAT".
Text atMessage(Text where, Text what) {
    return Text(KV_TEXT("SyxFile", "%1: %2"), {std::move(where), std::move(what)});
}

PresetField zoneField(int zone, ZoneField field) {
    PresetField f;
    f.kind = PresetField::Kind::Zone;
    f.zone = zone;
    f.zoneField = field;
    return f;
}

int commandMax(int command) {
    switch (command) {
    case command::kNumber:
        return kMaxAssignment;
    case command::kChannel:
        return kMaxChannel;
    case command::kPort:
        return kMaxPort;
    default:
        return kMaxBehaviour;
    }
}

// The zone field at globals entry `index`; none for an entry that holds none.
std::optional<std::pair<int, ZoneField>> zoneFieldAt(int index) {
    static constexpr std::pair<int, ZoneField> bases[] = {
        {global::kZoneProg, ZoneField::Prog},       {global::kZoneMsb, ZoneField::Msb},
        {global::kZoneLsb, ZoneField::Lsb},         {global::kZonePort, ZoneField::Port},
        {global::kZoneChan, ZoneField::Chan},       {global::kZoneOct, ZoneField::Oct},
        {global::kZoneTrans, ZoneField::Trans},     {global::kZoneRangSta, ZoneField::RangSta},
        {global::kZoneRangEnd, ZoneField::RangEnd},
    };
    for (const auto& [base, field] : bases)
        if (index >= base && index < base + 3) return std::pair{index - base, field};
    return std::nullopt;
}

// A zone value out of its bound, as "Zone2: octave 12 is out of range (0-8)"; empty when
// every zone value of `globals` is within its bound.
Text zoneOutOfRange(const unsigned char* globals) {
    for (int index = 0; index < kPresetGlobalsSize; ++index) {
        const auto zf = zoneFieldAt(index);
        if (!zf) continue;
        const int max = zoneFieldMax(zf->second);
        if (globals[index] <= max) continue;
        return outOfRange(fieldNameText(zoneField(zf->first, zf->second)), globals[index], max);
    }
    return {};
}

Text severalPresets(int ends) {
    return Text::counted(
        KV_TEXT_N("SyxFile", "it holds %n presets; a .syx file of a preset holds one"), ends);
}

using Address = std::tuple<bool, int, int, int>; // global, kind, number, command

Address addressOf(const DownloadAddress& a) {
    return {a.global, a.kind, a.number, a.command};
}

// Every address a download sends, and the first message that sets each.
const std::vector<DownloadAddress>& downloadAddresses() {
    static const std::vector<DownloadAddress> addresses = [] {
        std::vector<DownloadAddress> list;
        std::set<Address> seen;
        forEachDownloadMessage(PresetValues{},
                               [&](const DownloadAddress& a, const std::uint8_t*, std::size_t) {
                                   if (seen.insert(addressOf(a)).second) list.push_back(a);
                               });
        return list;
    }();
    return addresses;
}

Text presetWideValue(int index) {
    return Text(KV_TEXT("SyxFile", "preset-wide value %1"), {index});
}

Text addressWords(const DownloadAddress& a) {
    if (a.global) {
        if (a.number == global::kZoneBits)
            return Text(KV_TEXT("SyxFile", "the zones' on/off value"));
        if (const auto zf = zoneFieldAt(a.number))
            return fieldNameText(zoneField(zf->first, zf->second));
        return presetWideValue(a.number);
    }
    const auto c = controlForRecord(a.kind, a.number);
    return Text(
        KV_TEXT("PresetField", "%1: %2"),
        {c ? TextArg(controlName(*c)) : TextArg(Text(KV_TEXT("SyxFile", "control %1"), {a.number})),
         fieldWord(a.command)});
}

SyxPreset refuse(Text reason) {
    SyxPreset r;
    r.error = reason.english();
    r.reason = std::move(reason);
    return r;
}

SyxPreset readDownload(const std::uint8_t* data, const std::vector<Span>& messages) {
    static const std::set<Address> expected = [] {
        std::set<Address> s;
        for (const DownloadAddress& a : downloadAddresses())
            s.insert(addressOf(a));
        return s;
    }();
    SyxPreset result;
    result.form = SyxPreset::Form::Download;
    PresetValues& values = result.preset.values;
    std::array<unsigned char, kPresetGlobalsSize> globals{};
    std::set<Address> seen;
    int ends = 0;
    std::size_t endAt = 0;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const Span& m = messages[i];
        const std::uint8_t* d = data + m.at;
        const int cmd = d[5];
        if (cmd >= command::kNumber && cmd <= command::kBehaviour && m.length == 13) {
            const int sum = d[5] + d[6] + d[7] + d[8] + d[9];
            if (d[10] != sum / 127 || d[11] != sum / 127)
                return refuse(Text(KV_TEXT("SyxFile", "%1 has wrong check bytes"), {where(i, m)}));
            const DownloadAddress a{false, d[6], d[7], cmd};
            const auto control = controlForRecord(a.kind, a.number);
            if (!control)
                return refuse(Text(KV_TEXT("SyxFile", "%1 is for control %2 of kind %3, which "
                                                      "the controller does not have"),
                                   {where(i, m), a.number, a.kind}));
            if (expected.count(addressOf(a)) == 0)
                return refuse(Text(KV_TEXT("SyxFile", "%1 sets %2, which a download does not send"),
                                   {where(i, m), addressWords(a)}));
            const int value = d[8] * 128 + d[9];
            if (value > commandMax(cmd))
                return refuse(
                    atMessage(where(i, m), outOfRange(addressWords(a), value, commandMax(cmd))));
            AssignmentValues& target = assignmentOf(values, *control);
            const auto v = static_cast<std::uint8_t>(value);
            switch (cmd) {
            case command::kNumber:
                target.cc = v;
                break;
            case command::kChannel:
                target.chan = v;
                break;
            case command::kPort:
                target.port = v;
                break;
            default:
                target.type = static_cast<std::uint8_t>(v & 1);
                target.mode = static_cast<std::uint8_t>(v >> 1);
                break;
            }
            seen.insert(addressOf(a));
        } else if (cmd == command::kGlobalParameter && m.length == 10) {
            const int index = d[6];
            const int value = d[7] * 127 + d[8];
            if (index >= kPresetGlobalsSize)
                return refuse(Text(KV_TEXT("SyxFile", "%1 sets %2, which the controller does "
                                                      "not have"),
                                   {where(i, m), presetWideValue(index)}));
            const DownloadAddress a{true, 0, index, 0};
            const int max = index == global::kZoneBits ? 7
                            : zoneFieldAt(index)       ? zoneFieldMax(zoneFieldAt(index)->second)
                                                       : 255;
            if (value > max)
                return refuse(atMessage(where(i, m), outOfRange(addressWords(a), value, max)));
            globals[static_cast<std::size_t>(index)] = static_cast<unsigned char>(value);
            seen.insert(addressOf(a));
        } else if (cmd == command::kDownloadEnd && m.length == 9 && d[7] == 0) {
            if (++ends == 1) endAt = i;
            result.preset.presetNumber = d[6];
        } else if (cmd == command::kUploadRequest && m.length == 9) {
            return refuse(Text(KV_TEXT("SyxFile", "%1 is an upload request, which is no part of "
                                                  "a preset"),
                               {where(i, m)}));
        } else {
            return refuse(notOurs(i, m, d));
        }
    }
    if (ends == 0)
        return refuse(Text(KV_TEXT("SyxFile", "it has no download end message, which stores "
                                              "the preset: playing it would store nothing")));
    if (ends > 1) return refuse(severalPresets(ends));
    if (endAt + 1 != messages.size())
        return refuse(Text(KV_TEXT("SyxFile", "%1 follows the download end message, which must "
                                              "come last"),
                           {where(endAt + 1, messages[endAt + 1])}));
    for (const DownloadAddress& a : downloadAddresses())
        if (seen.count(addressOf(a)) == 0)
            return refuse(
                Text(KV_TEXT("SyxFile", "it is not a whole preset: it has no value for %1"),
                     {addressWords(a)}));
    for (int z = 0; z < 3; ++z)
        values.zones[static_cast<std::size_t>(z)] = zoneFromGlobals(globals.data(), z);
    result.ok = true;
    return result;
}

// The first value of a dump record out of its bound, in words; empty when there is none.
Text recordOutOfRange(const DumpRecordView& r) {
    const auto out = [](Text what, int value, int max) {
        return outOfRange(std::move(what), value, max);
    };
    if (r.what == DumpRecordView::What::Globals) {
        for (int i = 0; i < r.count; ++i)
            if (r.valuesAsSent[static_cast<std::size_t>(i)] > 0xFF)
                return out(presetWideValue(r.start + i),
                           r.valuesAsSent[static_cast<std::size_t>(i)], 0xFF);
        return {};
    }
    if (r.what != DumpRecordView::What::Assignment) return {};
    const std::string name = controlName(*controlForRecord(r.kind, r.number));
    const auto named = [&name](int command) {
        return Text(KV_TEXT("PresetField", "%1: %2"), {name, fieldWord(command)});
    };
    if (r.valueAsSent > kMaxAssignment)
        return out(named(command::kNumber), r.valueAsSent, kMaxAssignment);
    if (r.chan > kMaxChannel) return out(named(command::kChannel), r.chan, kMaxChannel);
    if (r.port > kMaxPort) return out(named(command::kPort), r.port, kMaxPort);
    if (r.kind == control::kButtonKind && r.behaviour > kMaxBehaviour)
        return out(named(command::kBehaviour), r.behaviour, kMaxBehaviour);
    if (r.kind == control::kEncoderKind && r.behaviour > kMaxType)
        return out(
            Text(KV_TEXT("PresetField", "%1: %2"), {name, Text(KV_TEXT("PresetField", "type"))}),
            r.behaviour, kMaxType);
    return {};
}

SyxPreset readDump(const std::uint8_t* data, const std::vector<Span>& messages) {
    int ends = 0;
    std::size_t endAt = 0;
    std::vector<std::uint8_t> records;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const Span& m = messages[i];
        const DumpRecordView r = readDumpRecord(data + m.at, m.length);
        if (Text bad = recordOutOfRange(r); !bad.empty())
            return refuse(atMessage(where(i, m), std::move(bad)));
        if (r.what == DumpRecordView::What::End && ++ends == 1) endAt = i;
        records.insert(records.end(), data + m.at, data + m.at + m.length);
    }
    const Text cutShort =
        Text(KV_TEXT("SyxFile", "the dump has no end record: it may have been cut short"));
    if (ends == 0) return refuse(cutShort);
    if (ends > 1) return refuse(severalPresets(ends));
    if (endAt + 1 != messages.size())
        return refuse(
            Text(KV_TEXT("SyxFile", "%1 follows the end of the dump, which must come last"),
                 {where(endAt + 1, messages[endAt + 1])}));

    SyxPreset result;
    result.form = SyxPreset::Form::Dump;
    PresetDumpSink sink(result.preset);
    DumpParser parser(sink, sink.globals());
    const DumpParser::BufferResult parsed = parser.parse(records.data(), records.size());
    if (parsed.status != DumpParser::Status::EndOfDump || !sink.ended()) return refuse(cutShort);
    if (sink.badRecords() > 0)
        return refuse(Text(KV_TEXT("SyxFile", "the dump holds records with values out of range")));
    if (Text bad = zoneOutOfRange(sink.globals()); !bad.empty())
        return refuse(Text(KV_TEXT("SyxFile", "the dump's %1"), {std::move(bad)}));
    if (Text missing = sink.missingText(); !missing.empty())
        return refuse(
            Text(KV_TEXT("SyxFile", "it is not a whole preset: the dump has no value for %1"),
                 {std::move(missing)}));
    result.ok = true;
    return result;
}

} // namespace

std::vector<std::uint8_t> presetSyx(const PresetValues& values, int presetNumber) {
    std::vector<std::uint8_t> bytes;
    if (!isSendablePresetNumber(presetNumber)) return bytes;
    sendDownload(
        values, static_cast<std::uint8_t>(presetNumber),
        [&bytes](const std::uint8_t* data, std::size_t length) {
            bytes.insert(bytes.end(), data, data + length);
        },
        nullptr, DownloadValues::InRange);
    return bytes;
}

SyxPreset readPresetSyx(const std::uint8_t* data, std::size_t length) {
    if (data == nullptr || length == 0)
        return refuse(Text(KV_TEXT("SyxFile", "the file is empty")));
    std::vector<Span> messages;
    Text error;
    if (!splitMessages(data, length, messages, error)) return refuse(error);

    // Which form the file has is told by its first message that is one of ours; the file must
    // keep to that form.
    bool download = false, dump = false;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        const std::uint8_t* d = data + messages[i].at;
        const std::size_t n = messages[i].length;
        if (isEditorMessage(d, n))
            download = true;
        else if (isDumpRecord(d, n))
            dump = true;
        else
            return refuse(notOurs(i, messages[i], d));
        if (download && dump)
            return refuse(
                isEditorMessage(d, n)
                    ? Text(KV_TEXT("SyxFile", "%1 is a download message in a dump; a .syx file "
                                              "of a preset holds one or the other"),
                           {where(i, messages[i])})
                    : Text(KV_TEXT("SyxFile", "%1 is a dump record among download messages; a "
                                              ".syx file of a preset holds one or the other"),
                           {where(i, messages[i])}));
    }
    return download ? readDownload(data, messages) : readDump(data, messages);
}

} // namespace korvalen
