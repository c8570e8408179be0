#include "presetcompare.h"

#include "nametables.h"

namespace korvalen {

namespace {

constexpr AssignmentField kAssignmentFields[] = {AssignmentField::Type, AssignmentField::CC,
                                                 AssignmentField::Chan, AssignmentField::Port,
                                                 AssignmentField::Mode};

bool hasTypeAndMode(ControlGroup group) {
    return group != ControlGroup::Slider && group != ControlGroup::Encoder;
}

Text outOfRange(int value) {
    return Text(KV_TEXT("Compare", "%1 (out of range)"), {value});
}

Text offsetText(int value, int midpoint) {
    if (value < midpoint) return Text::data("- " + std::to_string(midpoint - value));
    return Text::data(std::to_string(value - midpoint));
}

Text channelText(int chan) {
    if (chan > kMaxChannel) return outOfRange(chan);
    return Text::data(chan == kMaxChannel ? "--" : "Ch" + std::to_string(chan + 1));
}

Text portText(int port) {
    if (port > kMaxPort) return outOfRange(port);
    return Text::data(port == kMaxPort ? "--" : "P" + std::to_string(port + 1));
}

// The type and mode words are the entries of the editor's boxes, in the boxes' context.
Text assignmentText(const AssignmentValues& a, ControlGroup group, AssignmentField field) {
    switch (field) {
    case AssignmentField::Type:
        return a.type == 0   ? Text(KV_TEXT("item", "Control"))
               : a.type == 1 ? Text(KV_TEXT("item", "Note"))
                             : outOfRange(a.type);
    case AssignmentField::CC:
        if (hasTypeAndMode(group) && a.type == 1)
            return a.cc <= kMaxNote ? Text::data(noteListEntry(a.cc)) : outOfRange(a.cc);
        return a.cc <= kMaxAssignment ? Text::data(controlListEntry(a.cc)) : outOfRange(a.cc);
    case AssignmentField::Chan:
        return channelText(a.chan);
    case AssignmentField::Port:
        return portText(a.port);
    case AssignmentField::Mode:
        break;
    }
    return a.mode == 0   ? Text(KV_TEXT("item", "toggle"))
           : a.mode == 1 ? Text(KV_TEXT("item", "momentary"))
                         : outOfRange(a.mode);
}

Text zoneText(const ZoneValues& z, ZoneField field) {
    const int v = zoneFieldOf(const_cast<ZoneValues&>(z), field);
    if (v > zoneFieldMax(field)) return outOfRange(v);
    switch (field) {
    case ZoneField::Status:
        return Text::data(v == 1 ? "ON" : "OFF");
    case ZoneField::Prog:
        return Text::data(programListEntry(v));
    case ZoneField::Chan:
        return channelText(v);
    case ZoneField::Port:
        return portText(v);
    case ZoneField::Oct:
        return offsetText(v, kOctaveZero);
    case ZoneField::Trans:
        return offsetText(v, kTransposeZero);
    default:
        break;
    }
    return Text::data(std::to_string(v)); // bank MSB and LSB, the key range
}

} // namespace

bool fieldHasBox(const PresetField& field) {
    if (field.kind == PresetField::Kind::Zone)
        return field.zone > 0 || field.zoneField != ZoneField::Status;
    return hasTypeAndMode(field.control.group) ||
           (field.field != AssignmentField::Type && field.field != AssignmentField::Mode);
}

const std::vector<PresetField>& comparedFields() {
    static const std::vector<PresetField> fields = [] {
        std::vector<ControlRef> controls;
        for (int p = 0; p < 32; ++p)
            controls.push_back({ControlGroup::Encoder, p / 8, p % 8});
        for (int p = 0; p < 16; ++p)
            controls.push_back({ControlGroup::Function, p / 4, p % 4});
        for (int p = 0; p < 8; ++p)
            controls.push_back({ControlGroup::Pad, p / 4, p % 4});
        for (int p = 0; p < 5; ++p)
            controls.push_back({ControlGroup::Transport, 0, p});
        controls.push_back({ControlGroup::Slider, 0, 0});
        std::vector<PresetField> list;
        for (const ControlRef c : controls)
            for (const AssignmentField f : kAssignmentFields) {
                const PresetField field{PresetField::Kind::Assignment, c, f, 0, ZoneField::Status};
                if (fieldHasBox(field)) list.push_back(field);
            }
        for (int z = 0; z < 3; ++z)
            for (const ZoneField f : allZoneFields()) {
                const PresetField field{PresetField::Kind::Zone, {}, AssignmentField::CC, z, f};
                if (fieldHasBox(field)) list.push_back(field);
            }
        return list;
    }();
    return fields;
}

Text fieldValue(const PresetValues& values, const PresetField& field) {
    if (field.kind == PresetField::Kind::Zone)
        return zoneText(values.zones[static_cast<std::size_t>(field.zone)], field.zoneField);
    PresetValues& v = const_cast<PresetValues&>(values);
    return assignmentText(assignmentOf(v, field.control), field.control.group, field.field);
}

std::string fieldValueText(const PresetValues& values, const PresetField& field) {
    return fieldValue(values, field).english();
}

std::string fieldControl(const PresetField& field) {
    if (field.kind == PresetField::Kind::Zone) return "Zone" + std::to_string(field.zone + 1);
    const ControlRef c = field.control;
    const std::string k = std::to_string(c.index + 1);
    switch (c.group) {
    case ControlGroup::Slider:
        return "S1";
    case ControlGroup::Encoder:
        return "E" + k;
    case ControlGroup::Function:
        return "F" + k;
    case ControlGroup::Pad:
        return "P" + k;
    case ControlGroup::Transport:
        break;
    }
    static const char* const names[] = {"REW", "FF", "STOP", "PLAY", "REC"};
    return names[c.index >= 0 && c.index < 5 ? c.index : 0];
}

std::string fieldBank(const PresetField& field) {
    if (field.kind == PresetField::Kind::Zone) return {};
    switch (field.control.group) {
    case ControlGroup::Encoder:
    case ControlGroup::Function:
        return "BANK " + std::to_string(field.control.bank + 1);
    case ControlGroup::Pad:
        return field.control.bank == 0 ? "A" : "B";
    default:
        break;
    }
    return {};
}

std::string fieldLabel(const PresetField& field) {
    return fieldWordText(field).english();
}

std::vector<ComparedField> comparePresets(const PresetValues& a, const PresetValues& b,
                                          bool zoneChannels) {
    std::vector<ComparedField> list;
    for (const PresetField& f : comparedFields()) {
        if (!zoneChannels && f.kind == PresetField::Kind::Zone && f.zoneField == ZoneField::Chan)
            continue;
        const std::uint8_t x = valueOf(a, f), y = valueOf(b, f);
        if (x == y) continue;
        Text first = fieldValue(a, f), second = fieldValue(b, f);
        list.push_back({f, x, y, fieldControl(f), fieldBank(f), fieldLabel(f), first.english(),
                        second.english(), fieldWordText(f), std::move(first), std::move(second)});
    }
    return list;
}

void setFieldValue(PresetValues& values, const PresetField& field, std::uint8_t value) {
    if (field.kind == PresetField::Kind::Zone)
        zoneFieldOf(values.zones[static_cast<std::size_t>(field.zone)], field.zoneField) = value;
    else
        fieldOf(assignmentOf(values, field.control), field.field) = value;
}

} // namespace korvalen
