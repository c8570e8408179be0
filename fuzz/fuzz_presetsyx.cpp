// The ".syx" reader on any bytes: it never reads past the input and refuses with a reason, or
// takes a preset whose every value lies within its bound; a preset it takes, written out
// again, reads back as the same preset.
#include "fuzzinput.h"

#include "presetdiff.h"
#include "presetsyx.h"

using namespace korvalen;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const SyxPreset read = readPresetSyx(data, size);
    if (!read.ok) {
        FUZZ_CHECK(!read.error.empty());
        return 0;
    }
    FUZZ_CHECK(read.error.empty());
    PresetValues values = read.preset.values;
    for (const PresetField& f : allPresetFields()) {
        const int v = valueOf(values, f);
        if (f.kind == PresetField::Kind::Zone)
            FUZZ_CHECK(v <= zoneFieldMax(f.zoneField));
        else
            FUZZ_CHECK(assignmentFieldInRange(f.field, static_cast<std::uint8_t>(v)));
    }
    // A download always sends zone 1 as on.
    values.zones[0].status = 1;
    const std::vector<std::uint8_t> file = presetSyx(values, read.preset.presetNumber);
    FUZZ_CHECK(!file.empty());
    const SyxPreset again = readPresetSyx(file.data(), file.size());
    FUZZ_CHECK(again.ok && again.form == SyxPreset::Form::Download);
    FUZZ_CHECK(again.preset.presetNumber == read.preset.presetNumber);
    FUZZ_CHECK(again.preset.values == values);
    return 0;
}
