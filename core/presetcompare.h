// Two presets compared control by control, each difference named and valued in the words of
// the editor's boxes: "E3", "BANK 2", "channel", "Ch1" against "Ch5".
#pragma once

#include "presetdiff.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvalen {

struct ComparedField {
    PresetField field;
    std::uint8_t first = 0;
    std::uint8_t second = 0;
    std::string control;    // "E3", "F1", "P2", "REW", "S1", "Zone1"
    std::string bank;       // "BANK 2", "A", "B", or empty
    std::string name;       // "number", "channel", "lowest key", ...
    std::string firstText;  // the first preset's value as its box shows it
    std::string secondText; // the second preset's
    Text label;             // `name`, `firstText` and `secondText` for translation
    Text firstValue;
    Text secondValue;
    bool operator==(const ComparedField&) const = default;
};

// False for the fields that no box of the window shows: the type and mode of encoders and
// the slider, and the on/off of zone 1, which is always on.
bool fieldHasBox(const PresetField& field);

// Every field with a box, in the order of the window's pages: encoders bank by bank, function
// buttons, pads, transport buttons, the slider, the zones.
const std::vector<PresetField>& comparedFields();

// A field's value in `values` as its box shows it ("Ch5", "P2", "momentary", "64  Pan",
// "60    C4", "- 2"); a value that no entry of the box has is "N (out of range)". The number
// of a button of type Note is shown from the note list.
std::string fieldValueText(const PresetValues& values, const PresetField& field);
// The same, for translation: the entries of a box as data, the words of a box as texts.
Text fieldValue(const PresetValues& values, const PresetField& field);

// "E3"; "BANK 2" or "A"; "channel".
std::string fieldControl(const PresetField& field);
std::string fieldBank(const PresetField& field);
std::string fieldLabel(const PresetField& field);

// Where `a` and `b` differ, in the order of comparedFields(). The zones' channels are left
// out unless `zoneChannels` is set: a preset file does not hold them.
std::vector<ComparedField> comparePresets(const PresetValues& a, const PresetValues& b,
                                          bool zoneChannels = true);

// Sets one field of `values`.
void setFieldValue(PresetValues& values, const PresetField& field, std::uint8_t value);

} // namespace korvalen
