// Presets compared field by field: where two presets differ, named in the window's words, and
// which download messages set a field, so that a download can send again only what did not
// arrive.
#pragma once

#include "presetprotocol.h"
#include "text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korvalen {

enum class ZoneField : std::uint8_t {
    Status,
    Prog,
    Msb,
    Lsb,
    Chan,
    Port,
    RangSta,
    RangEnd,
    Oct,
    Trans
};

// One field of a preset: a field of a control's assignment, or of a keyboard zone.
struct PresetField {
    enum class Kind : std::uint8_t { Assignment, Zone };
    Kind kind = Kind::Assignment;
    ControlRef control{};                        // Kind::Assignment
    AssignmentField field = AssignmentField::CC; // Kind::Assignment
    int zone = 0;                                // Kind::Zone: 0-2
    ZoneField zoneField = ZoneField::Status;     // Kind::Zone
    bool operator==(const PresetField&) const = default;
};

struct FieldDifference {
    PresetField field;
    std::uint8_t first = 0;  // the value in the first preset
    std::uint8_t second = 0; // the value in the second preset
    bool operator==(const FieldDifference&) const = default;
};

// Every field of a preset, in the order of the download: the slider, the encoders bank by bank,
// the function buttons, the transport buttons, the pads, then the three zones.
const std::vector<PresetField>& allPresetFields();

std::uint8_t valueOf(const PresetValues& values, const PresetField& field);
std::uint8_t& zoneFieldOf(ZoneValues& zone, ZoneField field);
// The largest value a zone field takes (kMaxZoneStatus ... kMaxTranspose).
int zoneFieldMax(ZoneField field);
// The ten fields of a zone, in the order of allPresetFields().
const std::vector<ZoneField>& allZoneFields();

// The fields in which `a` and `b` differ, in the order of allPresetFields().
std::vector<FieldDifference> presetDifferences(const PresetValues& a, const PresetValues& b);

// "E3, BANK 2", "F1, BANK 4", "P2, bank A", "REW", "S1".
std::string controlName(ControlRef control);
// "E3, BANK 2: channel", "REW: mode", "Zone1: octave".
std::string fieldName(const PresetField& field);
// The same, for translation: the control's label as data, the field's word as a text.
Text fieldNameText(const PresetField& field);
// The field's word alone: "channel", "octave".
Text fieldWordText(const PresetField& field);

// --- The download, field by field

// True when a download of `values` sends `field`: encoders and the slider carry no type and no
// mode, and a value above its bound is not sent (unless `which` is AsHeld).
bool downloadSends(const PresetValues& values, const PresetField& field,
                   DownloadValues which = DownloadValues::InRange);

// The fields of `values` that a write-back as held (DownloadValues::AsHeld) cannot send as
// they are: a channel, port or behaviour (type + 2 * mode) above 127, which the controller's
// records carry in one data byte; a type above 1, which the behaviour carries in one bit; a
// zone status above 1. Such a preset is refused before anything is sent.
std::vector<PresetField> unsendableAsHeld(const PresetValues& values);

// The fields that the controller does not hold as a download of `sent` set them, judged by
// `readBack`, the same preset read from the controller afterwards. Fields the download does
// not send are not compared; zones 2 and 3 are on or off as the download's zone bits say, and
// zone 1 is always on.
std::vector<FieldDifference> downloadShortfall(const PresetValues& sent,
                                               const PresetValues& readBack);

// A dump compared with the download it should now hold, on the values as the dump carries
// them: a value out of range differs from what was sent, it never stands for a default, and a
// field the dump does not carry differs too.
struct ReadBackCheck {
    std::vector<FieldDifference> shortfall; // as downloadShortfall(); `second` at most 255
    int presetNumber = -1;                  // entry 0 of the dump's globals; -1: not in it
};
// `dump` holds the records as they came (F0 ... F7 each), up to the end record. With AsHeld, a
// button's behaviour above 3 is compared as its type (bit 0) and mode (the rest), as sent.
ReadBackCheck checkReadBack(const PresetValues& sent, const std::uint8_t* dump, std::size_t length,
                            DownloadValues which = DownloadValues::InRange);

// Sends the messages of a download of `values` that set `fields` (each message once, in the
// order of the download), then the download end message with `presetNumber`. Returns the number
// of messages sent, the end message included.
std::size_t sendDownloadFields(const PresetValues& values, std::uint8_t presetNumber,
                               const std::vector<PresetField>& fields, const MessageSender& send,
                               DownloadValues which = DownloadValues::InRange);

} // namespace korvalen
