#include "presetdump.h"

#include "presetdiff.h"

#include <algorithm>
#include <optional>

namespace korvalen {

void PresetDumpSink::assignment(ControlRef control, AssignmentField field, std::uint8_t value) {
    AssignmentValues* target = &assignmentOf(preset_.values, control);
    if (std::find(touched_.begin(), touched_.end(), target) == touched_.end())
        touched_.push_back(target);
    if (assignmentFieldInRange(field, value)) fieldOf(*target, field) = value;
}

void PresetDumpSink::record(const std::uint8_t* data, std::size_t length) {
    dump_.insert(dump_.end(), data, data + length);
    // A control whose record came is not missing, even when the record's values were out of
    // range and none of them was taken.
    const DumpRecordView view = readDumpRecord(data, length);
    if (view.what != DumpRecordView::What::Assignment) return;
    if (const std::optional<ControlRef> c = controlForRecord(view.kind, view.number)) {
        const AssignmentValues* target = &assignmentOf(preset_.values, *c);
        if (std::find(touched_.begin(), touched_.end(), target) == touched_.end())
            touched_.push_back(target);
    }
}

void PresetDumpSink::globalsStored(int first, int count) {
    for (int i = first; i < first + count && i < kPresetGlobalsSize; ++i)
        globalsSeen_[static_cast<std::size_t>(i)] = true;
}

Text PresetDumpSink::missingText() const {
    // The controls in the window's order: every bank of encoders and function buttons, the
    // pads, the transport buttons, the slider.
    std::vector<ControlRef> controls;
    for (int b = 0; b < 4; ++b) {
        for (int k = 0; k < 8; ++k)
            controls.push_back({ControlGroup::Encoder, b, k});
        for (int k = 0; k < 4; ++k)
            controls.push_back({ControlGroup::Function, b, k});
    }
    for (int b = 0; b < 2; ++b)
        for (int k = 0; k < 4; ++k)
            controls.push_back({ControlGroup::Pad, b, k});
    for (int k = 0; k < 5; ++k)
        controls.push_back({ControlGroup::Transport, 0, k});
    controls.push_back({ControlGroup::Slider, 0, 0});
    for (const ControlRef c : controls) {
        const AssignmentValues* values = &assignmentOf(preset_.values, c);
        if (std::find(touched_.begin(), touched_.end(), values) == touched_.end())
            return Text::data(controlName(c));
    }
    std::vector<int> needed = {global::kPresetNumber, global::kZoneBits};
    for (int base : {global::kZoneProg, global::kZoneMsb, global::kZoneLsb, global::kZonePort,
                     global::kZoneChan, global::kZoneOct, global::kZoneTrans, global::kZoneRangSta,
                     global::kZoneRangEnd})
        for (int z = 0; z < 3; ++z)
            needed.push_back(base + z);
    for (int i : needed)
        if (!globalsSeen_[static_cast<std::size_t>(i)])
            return i == global::kPresetNumber ? Text(KV_TEXT("Dump", "the preset number"))
                                              : Text(KV_TEXT("Dump", "the zone values"));
    return {};
}

std::string PresetDumpSink::missing() const {
    return missingText().english();
}

void PresetDumpSink::endOfDump() {
    for (int z = 0; z < 3; ++z) {
        ZoneValues dumped = zoneFromGlobals(globals_.data(), z);
        ZoneValues& zone = preset_.values.zones[static_cast<std::size_t>(z)];
        for (const ZoneField f : allZoneFields()) {
            const std::uint8_t value = zoneFieldOf(dumped, f);
            if (value <= zoneFieldMax(f)) zoneFieldOf(zone, f) = value;
        }
    }
    preset_.presetNumber = globals_[global::kPresetNumber];
    ended_ = true;
}

} // namespace korvalen
