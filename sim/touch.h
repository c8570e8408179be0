// Touching a control of the emulated controller: the names a user gives the controls ("E3",
// "P2:B", "PLAY", "KEY C3" ...) and what the touched control sends with the preset the
// controller plays now (its edit buffer). What each assignment sends is the core's
// (controlmessages.h).
#pragma once

#include "controlleremulator.h"
#include "controlmessages.h"

#include <optional>
#include <string>
#include <vector>

namespace korvalen::sim {

// The banks the controller's own bank buttons have chosen: a touched encoder, function button
// or pad without a bank of its own is the copy of these.
struct SelectedBanks {
    int encoders = 0; // 0-3, also the function buttons'
    int pads = 0;     // 0 (A) or 1 (B)
};

// A control to touch: an assignable control (a bank of -1 means the selected one) or a key.
struct Touch {
    bool key = false;
    int note = 0; // the key's note number
    ControlGroup group = ControlGroup::Slider;
    int bank = -1;
    int index = 0;
};

// Reads "E1"-"E8", "F1"-"F4", "P1"-"P4" (each with ":BANK" for a bank of its own: 1-4 for
// encoders and function buttons, A or B for pads), "REW", "FF", "STOP", "PLAY", "REC", "S1" or
// "SLIDER", and "KEY NOTE" with a note name such as C3, C#3, Db-1 or a note number 0-127.
// Upper or lower case. None, with the reason in `error`, for anything else.
std::optional<Touch> parseTouch(const std::string& text, std::string* error);

// The preset as the editor's model holds it: the controls and the zones of a stored preset.
PresetValues presetValuesOf(const StoredPreset& preset);

// What the touch sends from the controller's edit buffer: an encoder or the slider at its
// middle position, a button pressed (and let go, when momentary), a key struck.
std::vector<Message> touchMessages(const ControllerEmulator& emulator, const Touch& touch,
                                   const SelectedBanks& banks);

} // namespace korvalen::sim
