// Presets as ".syx" files: plain SysEx that any MIDI tool can play to the controller.
//
// A preset is written as one round of the download's messages, in the order a download sends
// them, ending with the download end message that stores it under its number: playing the file
// message by message stores the preset, the zones' channels included.
//
// A ".syx" file is read back in either of two forms: those download messages, or the dump
// records that the controller sends after an upload request (the form a snapshot keeps). Either
// is checked whole before anything of it is taken: one preset, complete, every value within
// its bound, nothing that is not one of the controller's messages.
#pragma once

#include "presetdump.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvalen {

// The messages of a download of `values` stored as preset `presetNumber`, one after the other.
// Empty when the number cannot be sent (see isSendablePresetNumber()). Values above their
// bound are left out as the download leaves them out; such a file does not read back.
std::vector<std::uint8_t> presetSyx(const PresetValues& values, int presetNumber);

struct SyxPreset {
    enum class Form : std::uint8_t { Download, Dump };
    bool ok = false;
    std::string error; // why the file was refused, in English; empty when ok
    Text reason;       // the same, for translation
    Form form = Form::Download;
    // The preset with the number the file stores it under (the end message's, or the dump's
    // entry 0), the zones' channels included.
    Preset preset;
};

// Reads a ".syx" file's bytes. Any bytes are safe.
SyxPreset readPresetSyx(const std::uint8_t* data, std::size_t length);

} // namespace korvalen
