#include "presetdiff.h"

#include <algorithm>
#include <array>
#include <optional>

namespace korvalen {

namespace {

constexpr AssignmentField kAssignmentFields[] = {AssignmentField::Type, AssignmentField::CC,
                                                 AssignmentField::Chan, AssignmentField::Port,
                                                 AssignmentField::Mode};
constexpr ZoneField kZoneFields[] = {
    ZoneField::Status, ZoneField::Prog,    ZoneField::Msb,     ZoneField::Lsb, ZoneField::Chan,
    ZoneField::Port,   ZoneField::RangSta, ZoneField::RangEnd, ZoneField::Oct, ZoneField::Trans};

std::vector<ControlRef> controlsInDownloadOrder() {
    std::vector<ControlRef> list{{ControlGroup::Slider, 0, 0}};
    for (int p = 0; p < 32; ++p)
        list.push_back({ControlGroup::Encoder, p / 8, p % 8});
    for (int p = 0; p < 16; ++p)
        list.push_back({ControlGroup::Function, p / 4, p % 4});
    for (int p = 0; p < 5; ++p)
        list.push_back({ControlGroup::Transport, 0, p});
    for (int p = 0; p < 8; ++p)
        list.push_back({ControlGroup::Pad, p / 4, p % 4});
    return list;
}

Text assignmentFieldName(AssignmentField field) {
    switch (field) {
    case AssignmentField::Type:
        return Text(KV_TEXT("PresetField", "type"));
    case AssignmentField::CC:
        return Text(KV_TEXT("PresetField", "number"));
    case AssignmentField::Chan:
        return Text(KV_TEXT("PresetField", "channel"));
    case AssignmentField::Port:
        return Text(KV_TEXT("PresetField", "port"));
    case AssignmentField::Mode:
        break;
    }
    return Text(KV_TEXT("PresetField", "mode"));
}

Text zoneFieldName(ZoneField field) {
    switch (field) {
    case ZoneField::Status:
        return Text(KV_TEXT("PresetField", "on/off"));
    case ZoneField::Prog:
        return Text(KV_TEXT("PresetField", "program"));
    case ZoneField::Msb:
        return Text(KV_TEXT("PresetField", "bank MSB"));
    case ZoneField::Lsb:
        return Text(KV_TEXT("PresetField", "bank LSB"));
    case ZoneField::Chan:
        return Text(KV_TEXT("PresetField", "channel"));
    case ZoneField::Port:
        return Text(KV_TEXT("PresetField", "port"));
    case ZoneField::RangSta:
        return Text(KV_TEXT("PresetField", "lowest key"));
    case ZoneField::RangEnd:
        return Text(KV_TEXT("PresetField", "highest key"));
    case ZoneField::Oct:
        return Text(KV_TEXT("PresetField", "octave"));
    case ZoneField::Trans:
        break;
    }
    return Text(KV_TEXT("PresetField", "transpose"));
}

// The global parameter index that sets a zone field.
int globalIndexOf(int zone, ZoneField field) {
    switch (field) {
    case ZoneField::Status:
        return global::kZoneBits;
    case ZoneField::Prog:
        return global::kZoneProg + zone;
    case ZoneField::Msb:
        return global::kZoneMsb + zone;
    case ZoneField::Lsb:
        return global::kZoneLsb + zone;
    case ZoneField::Chan:
        return global::kZoneChan + zone;
    case ZoneField::Port:
        return global::kZonePort + zone;
    case ZoneField::RangSta:
        return global::kZoneRangSta + zone;
    case ZoneField::RangEnd:
        return global::kZoneRangEnd + zone;
    case ZoneField::Oct:
        return global::kZoneOct + zone;
    case ZoneField::Trans:
        break;
    }
    return global::kZoneTrans + zone;
}

// The address of the download message that sets `field`.
DownloadAddress addressOf(const PresetField& field) {
    if (field.kind == PresetField::Kind::Zone)
        return DownloadAddress{true, 0, globalIndexOf(field.zone, field.zoneField), 0};
    const ControlRef c = field.control;
    DownloadAddress a;
    switch (c.group) {
    case ControlGroup::Slider:
        a.kind = control::kSliderKind;
        a.number = control::kSliderNumber;
        break;
    case ControlGroup::Encoder:
        a.kind = control::kEncoderKind;
        a.number = control::kFirstEncoder + 8 * c.bank + c.index;
        break;
    case ControlGroup::Function:
        a.kind = control::kButtonKind;
        a.number = control::kFirstFunction + 4 * c.bank + c.index;
        break;
    case ControlGroup::Transport:
        a.kind = control::kButtonKind;
        a.number = control::kTransportNumbers[static_cast<std::size_t>(c.index)];
        break;
    case ControlGroup::Pad:
        a.kind = control::kButtonKind;
        a.number = control::kFirstPad + 4 * c.bank + c.index;
        break;
    }
    switch (field.field) {
    case AssignmentField::CC:
        a.command = command::kNumber;
        break;
    case AssignmentField::Chan:
        a.command = command::kChannel;
        break;
    case AssignmentField::Port:
        a.command = command::kPort;
        break;
    case AssignmentField::Type:
    case AssignmentField::Mode:
        a.command = command::kBehaviour;
        break;
    }
    return a;
}

} // namespace

const std::vector<PresetField>& allPresetFields() {
    static const std::vector<PresetField> fields = [] {
        std::vector<PresetField> list;
        for (const ControlRef c : controlsInDownloadOrder())
            for (const AssignmentField f : kAssignmentFields)
                list.push_back({PresetField::Kind::Assignment, c, f, 0, ZoneField::Status});
        for (int z = 0; z < 3; ++z)
            for (const ZoneField f : kZoneFields)
                list.push_back({PresetField::Kind::Zone, {}, AssignmentField::CC, z, f});
        return list;
    }();
    return fields;
}

std::uint8_t& zoneFieldOf(ZoneValues& zone, ZoneField field) {
    switch (field) {
    case ZoneField::Status:
        return zone.status;
    case ZoneField::Prog:
        return zone.prog;
    case ZoneField::Msb:
        return zone.msb;
    case ZoneField::Lsb:
        return zone.lsb;
    case ZoneField::Chan:
        return zone.chan;
    case ZoneField::Port:
        return zone.port;
    case ZoneField::RangSta:
        return zone.rangSta;
    case ZoneField::RangEnd:
        return zone.rangEnd;
    case ZoneField::Oct:
        return zone.oct;
    case ZoneField::Trans:
        break;
    }
    return zone.trans;
}

int zoneFieldMax(ZoneField field) {
    switch (field) {
    case ZoneField::Status:
        return kMaxZoneStatus;
    case ZoneField::Chan:
        return kMaxChannel;
    case ZoneField::Port:
        return kMaxPort;
    case ZoneField::Oct:
        return kMaxOctave;
    case ZoneField::Trans:
        return kMaxTranspose;
    default:
        break;
    }
    return kMaxZoneByte;
}

const std::vector<ZoneField>& allZoneFields() {
    static const std::vector<ZoneField> fields(std::begin(kZoneFields), std::end(kZoneFields));
    return fields;
}

std::uint8_t valueOf(const PresetValues& values, const PresetField& field) {
    if (field.kind == PresetField::Kind::Zone)
        return zoneFieldOf(
            const_cast<ZoneValues&>(values.zones[static_cast<std::size_t>(field.zone)]),
            field.zoneField);
    // assignmentOf() and fieldOf() hand out references into a preset they may change.
    PresetValues& v = const_cast<PresetValues&>(values);
    return fieldOf(assignmentOf(v, field.control), field.field);
}

std::vector<FieldDifference> presetDifferences(const PresetValues& a, const PresetValues& b) {
    std::vector<FieldDifference> list;
    for (const PresetField& f : allPresetFields()) {
        const std::uint8_t x = valueOf(a, f), y = valueOf(b, f);
        if (x != y) list.push_back({f, x, y});
    }
    return list;
}

std::string controlName(ControlRef control) {
    const std::string k = std::to_string(control.index + 1);
    switch (control.group) {
    case ControlGroup::Slider:
        return "S1";
    case ControlGroup::Encoder:
        return "E" + k + ", BANK " + std::to_string(control.bank + 1);
    case ControlGroup::Function:
        return "F" + k + ", BANK " + std::to_string(control.bank + 1);
    case ControlGroup::Pad:
        return "P" + k + ", bank " + (control.bank == 0 ? "A" : "B");
    case ControlGroup::Transport:
        break;
    }
    static const char* const names[] = {"REW", "FF", "STOP", "PLAY", "REC"};
    return names[std::clamp(control.index, 0, 4)];
}

Text fieldWordText(const PresetField& field) {
    return field.kind == PresetField::Kind::Zone ? zoneFieldName(field.zoneField)
                                                 : assignmentFieldName(field.field);
}

Text fieldNameText(const PresetField& field) {
    return Text(KV_TEXT("PresetField", "%1: %2"),
                {field.kind == PresetField::Kind::Zone ? "Zone" + std::to_string(field.zone + 1)
                                                       : controlName(field.control),
                 fieldWordText(field)});
}

std::string fieldName(const PresetField& field) {
    return fieldNameText(field).english();
}

bool downloadSends(const PresetValues& values, const PresetField& field, DownloadValues which) {
    if (field.kind == PresetField::Kind::Zone) return true;
    const bool withBehaviour =
        field.control.group != ControlGroup::Slider && field.control.group != ControlGroup::Encoder;
    if (which == DownloadValues::AsHeld)
        return withBehaviour ||
               (field.field != AssignmentField::Type && field.field != AssignmentField::Mode);
    PresetValues& v = const_cast<PresetValues&>(values);
    const AssignmentValues& a = assignmentOf(v, field.control);
    switch (field.field) {
    case AssignmentField::CC:
        return a.cc <= kMaxAssignment;
    case AssignmentField::Chan:
        return a.chan <= kMaxChannel;
    case AssignmentField::Port:
        return a.port <= kMaxPort;
    case AssignmentField::Type:
    case AssignmentField::Mode:
        break;
    }
    return withBehaviour && a.type + 2 * a.mode <= kMaxBehaviour;
}

std::vector<PresetField> unsendableAsHeld(const PresetValues& values) {
    constexpr int kMaxDataByte = 0x7F;
    std::vector<PresetField> list;
    for (const PresetField& f : allPresetFields()) {
        if (!downloadSends(values, f, DownloadValues::AsHeld)) continue;
        const int x = valueOf(values, f);
        bool unsendable = false;
        if (f.kind == PresetField::Kind::Zone) {
            unsendable = f.zoneField == ZoneField::Status && x > kMaxZoneStatus;
        } else {
            PresetValues& v = const_cast<PresetValues&>(values);
            const AssignmentValues& a = assignmentOf(v, f.control);
            switch (f.field) {
            case AssignmentField::CC: // two data bytes
                break;
            case AssignmentField::Chan:
            case AssignmentField::Port:
                unsendable = x > kMaxDataByte;
                break;
            case AssignmentField::Type:
                unsendable = x > kMaxType;
                break;
            case AssignmentField::Mode:
                unsendable = a.type + 2 * a.mode > kMaxDataByte;
                break;
            }
        }
        if (unsendable) list.push_back(f);
    }
    return list;
}

std::vector<FieldDifference> downloadShortfall(const PresetValues& sent,
                                               const PresetValues& readBack) {
    PresetValues expected = sent;
    const std::uint8_t zoneBits = downloadZoneBits(sent);
    for (int z = 0; z < 3; ++z)
        expected.zones[static_cast<std::size_t>(z)].status =
            static_cast<std::uint8_t>((zoneBits >> z) & 1);
    std::vector<FieldDifference> list;
    for (const PresetField& f : allPresetFields()) {
        if (!downloadSends(sent, f)) continue;
        const std::uint8_t x = valueOf(expected, f), y = valueOf(readBack, f);
        if (x != y) list.push_back({f, x, y});
    }
    return list;
}

namespace {

// Where `f` stands in allPresetFields(): a read-back looks up every value of the dump. A table
// made from the list once, by the field's parts; a field whose parts lie outside it is looked
// for in the list.
std::optional<std::size_t> fieldPosition(const PresetField& f) {
    constexpr int kGroups = 5, kBanks = 4, kIndexes = 8, kFields = 5, kZones = 3, kZoneParts = 16;
    auto slotOf = [](const PresetField& x) -> int {
        if (x.kind == PresetField::Kind::Zone) {
            if (x.zone < 0 || x.zone >= kZones || int(x.zoneField) >= kZoneParts) return -1;
            return kGroups * kBanks * kIndexes * kFields + x.zone * kZoneParts + int(x.zoneField);
        }
        const ControlRef& c = x.control;
        if (int(c.group) >= kGroups || c.bank < 0 || c.bank >= kBanks || c.index < 0 ||
            c.index >= kIndexes || int(x.field) >= kFields)
            return -1;
        return ((int(c.group) * kBanks + c.bank) * kIndexes + c.index) * kFields + int(x.field);
    };
    static const std::vector<int> table = [&slotOf] {
        std::vector<int> positions(kGroups * kBanks * kIndexes * kFields + kZones * kZoneParts, -1);
        const std::vector<PresetField>& fields = allPresetFields();
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (const int slot = slotOf(fields[i]); slot >= 0)
                positions[std::size_t(slot)] = int(i);
        return positions;
    }();
    const std::vector<PresetField>& fields = allPresetFields();
    if (const int slot = slotOf(f); slot >= 0) {
        const int i = table[std::size_t(slot)];
        if (i >= 0 && fields[std::size_t(i)] == f) return std::size_t(i);
    }
    const auto it = std::find(fields.begin(), fields.end(), f);
    if (it == fields.end()) return std::nullopt;
    return std::size_t(it - fields.begin());
}

} // namespace

ReadBackCheck checkReadBack(const PresetValues& sent, const std::uint8_t* dump, std::size_t length,
                            DownloadValues which) {
    const bool asHeld = which == DownloadValues::AsHeld;
    constexpr int kAbsent = -1;     // the dump did not carry the value
    constexpr int kOutOfRange = -2; // a value that no field can hold
    const std::vector<PresetField>& fields = allPresetFields();
    std::vector<int> read(fields.size(), kAbsent);
    std::array<int, kPresetGlobalsSize> globals{};
    globals.fill(kAbsent);
    auto put = [&](const PresetField& f, int value) {
        if (const std::optional<std::size_t> i = fieldPosition(f)) read[*i] = value;
    };
    auto assignment = [](ControlRef c, AssignmentField f) {
        return PresetField{PresetField::Kind::Assignment, c, f, 0, ZoneField::Status};
    };

    std::size_t pos = 0;
    while (pos < length) {
        if (dump[pos] != 0xF0) {
            ++pos;
            continue;
        }
        const DumpRecordView r = readDumpRecord(dump + pos, length - pos);
        if (r.what == DumpRecordView::What::Incomplete || r.what == DumpRecordView::What::End)
            break;
        pos += std::max<std::size_t>(r.length, 1);
        if (r.what == DumpRecordView::What::Globals) {
            for (int i = 0; i < r.count && r.start + i < kPresetGlobalsSize; ++i)
                globals[static_cast<std::size_t>(r.start + i)] =
                    r.valuesAsSent[static_cast<std::size_t>(i)];
            continue;
        }
        if (r.what != DumpRecordView::What::Assignment) continue;
        const std::optional<ControlRef> c = controlForRecord(r.kind, r.number);
        if (!c) continue;
        put(assignment(*c, AssignmentField::CC), r.valueAsSent);
        put(assignment(*c, AssignmentField::Chan), r.chan);
        put(assignment(*c, AssignmentField::Port), r.port);
        if (r.kind == control::kButtonKind) {
            const bool inRange = asHeld || r.behaviour <= kMaxBehaviour;
            put(assignment(*c, AssignmentField::Type), inRange ? (r.behaviour & 1) : kOutOfRange);
            put(assignment(*c, AssignmentField::Mode), inRange ? (r.behaviour >> 1) : kOutOfRange);
        }
    }

    for (int z = 0; z < 3; ++z) {
        auto zone = [z](ZoneField f) {
            return PresetField{PresetField::Kind::Zone, {}, AssignmentField::CC, z, f};
        };
        const int bits = globals[global::kZoneBits];
        put(zone(ZoneField::Status), bits < 0 ? kAbsent : bits > 7 ? kOutOfRange : (bits >> z) & 1);
        for (const ZoneField f : kZoneFields)
            if (f != ZoneField::Status)
                put(zone(f), globals[static_cast<std::size_t>(globalIndexOf(z, f))]);
    }

    ReadBackCheck check;
    check.presetNumber = globals[global::kPresetNumber];
    PresetValues expected = sent;
    const std::uint8_t zoneBits = downloadZoneBits(sent);
    for (int z = 0; z < 3; ++z)
        expected.zones[static_cast<std::size_t>(z)].status =
            static_cast<std::uint8_t>((zoneBits >> z) & 1);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (!downloadSends(sent, fields[i], which)) continue;
        const std::uint8_t x = valueOf(expected, fields[i]);
        if (read[i] != x)
            check.shortfall.push_back(
                {fields[i], x, static_cast<std::uint8_t>(std::clamp(read[i], 0, 255))});
    }
    return check;
}

std::size_t sendDownloadFields(const PresetValues& values, std::uint8_t presetNumber,
                               const std::vector<PresetField>& fields, const MessageSender& send,
                               DownloadValues which) {
    std::vector<DownloadAddress> wanted;
    for (const PresetField& f : fields) {
        const DownloadAddress a = addressOf(f);
        if (std::find(wanted.begin(), wanted.end(), a) == wanted.end()) wanted.push_back(a);
    }
    std::size_t count = 0;
    forEachDownloadMessage(
        values,
        [&](const DownloadAddress& a, const std::uint8_t* data, std::size_t length) {
            const auto it = std::find(wanted.begin(), wanted.end(), a);
            if (it == wanted.end()) return;
            wanted.erase(it); // the zone block comes six times: once is enough
            send(data, length);
            ++count;
        },
        which);
    const ShortPresetMessage end = downloadEndMessage(presetNumber);
    send(end.data(), end.size());
    return count + 1;
}

} // namespace korvalen
