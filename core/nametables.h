// The constant name tables behind every list of the editor, and the texts built from them.
#pragma once

#include <string>

namespace korvalen {

constexpr int kNameTableSize = 300;   // 172 assignment names, then 128 program names
constexpr int kAssignmentCount = 172; // assignment numbers 0-171
constexpr int kProgramBase = 172;     // program p is nameTable[kProgramBase + p]
constexpr int kPresetNameCount = 15;

extern const char* const nameTable[kNameTableSize];
extern const char* const presetNames[kPresetNameCount];
extern const char* const noteNames[12];

// Name of device preset number n (0 factory, 16-29 user presets); nullptr for any other n.
const char* presetNameFor(int presetNumber);

// "C 4" for note 60: note name followed by the octave k / 12 - 1.
std::string noteName(int note);

// The list entry texts.
std::string controlListEntry(int number); // "%d  %s"      assignment number and name
std::string noteListEntry(int note);      // "%d    %s%d"  note number, note name, octave
std::string programListEntry(int prog);   // "%d %s"       program number and name
// Caption of a zone's selector button. zoneIndex is the zone object's index 0-2; the caption
// shows zoneIndex + 1: "Zone%d:%s" with the program name when status is 1, otherwise
// "Zone%d: Closed".
std::string zoneCaption(int zoneIndex, int status, int prog);

} // namespace korvalen
