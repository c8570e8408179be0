#include "nametables.h"

#include "presetprotocol.h"

#include <cstdio>

namespace korvalen {

static_assert(kAssignmentCount == kMaxAssignment + 1, "one name per assignment number");

// clang-format off
const char* const nameTable[kNameTableSize] = {
    // 0-15
    "Bank Select", "Modulation", "Breath", "Undefined", "Foot", "Portamento", "Data Entry",
    "ChanVolume", "Balance", "Undefined", "Pan", "Expression", "Effect 1", "Effect 2",
    "Undefined", "Undefined",
    // 16-31
    "General#1", "General#2", "General#3", "General#4",
    "Undefined", "Undefined", "Undefined", "Undefined", "Undefined", "Undefined",
    "Undefined", "Undefined", "Undefined", "Undefined", "Undefined", "Undefined",
    // 32-47
    "Bank Sel", "Modulation", "Breath", "Undefined", "Foot Ctrl", "Portamento", "DataEntry",
    "Chan Vol", "Balance", "Undefined", "Pan", "Expression", "Effect 1", "Effect 2 ",
    "Undefined", "Undefined",
    // 48-63
    "General#1", "General#2", "General#3", "General#4",
    "Undefined", "Undefined", "Undefined", "Undefined", "Undefined", "Undefined",
    "Undefined", "Undefined", "Undefined", "Undefined", "Undefined", "Undefined",
    // 64-79
    "Damper", "Portamento", "Sustenuto", "Soft pedal", "Footswitch", "Hold 2 ", "Sound Var.",
    "Timbre", "Rel Time", "Att Time", "Brightness", "Decay Time", "Vib. Rate", "Vib. Depth",
    "Vib. Delay", "Sound Cont.",
    // 80-95
    "General#5", "General#6", "General#7", "General#8", "Portamento",
    "Undefined", "Undefined", "Undefined", "Undefined", "Undefined", "Undefined",
    "Reverb Send Level", "Tremolo Depth", "Chorus Send Level", "Celeste/Det. Depth",
    "Phaser Depth",
    // 96-111
    "Data entry +1", "Data entry -1", "NRPN LSB", "NRPN MSB", "RPN LSB", "RPN MSB",
    "Undefined", "Undefined", "Undefined", "Undefined", "Undefined", "Undefined",
    "Undefined", "Undefined", "Undefined", "Undefined",
    // 112-127
    "Undefined", "Undefined", "Undefined", "Undefined", "Undefined", "Undefined",
    "Undefined", "Undefined", "All Sound Off", "Reset All Crtls", "Local ctrl on/off ",
    "All notes off", "Omni mode off", "Omni mode on ", "Poly mode off", "Poly mode on ",
    // 128-171: the device's own functions
    "Pitch Bend Sensitive", "Fine Tuning", "Coarse Tuning", "Vibrato Rate", "Vibrato Depth",
    "Vibrato Delay", "Low Pass Filter Cut.", "Low Pass Filter Res. ", "High Pass Filter Cut.",
    "EQ Low Gain", "EQ High Gain ", "EQ Low Frequency", "EQ High Frequency ", "EG Attack Time",
    "EG Decay Time", "EG Release Time", "Channel Pressure", "ProgramChange",
    "Song Select(Song #)", "Tune request ", "Start ", "Continue", "Stop ", "System Reset",
    "Master Volume", "Master Balance", "GM On", "XG On", "GS On", "GM2 On", "Stop ", "Play",
    "Deferred Play", "Forward", "Rewind", "Record Strobe", "Record Exit", "Record Pause",
    "Pause", "Eject", "Chase", "Command Error Reset", "MMC Reset", "Pitch Bend",
    // Programs 0-15 (entries 172-187)
    "Grand Piano", "Bright Piano", "El.G.Piano", "Honky-Tonk", "Elec.Piano1", "Elec.Piano2",
    "Harpsichord", "Clavichord", "Celesta", "Glockenspiel", "Music Box", "Vibraphone",
    "Marimba", "Xylophone", "TubularBells", "Dulcimer",
    // Programs 16-31
    "Draw Organ", "Percus Organ", "Rock Organ", "ChurchOrgan", "Reed Organ", "Accordion",
    "Harmonica", "Tango Accordn", "Nylon Guitar", "Steel Guitar", "Jazz Guitar",
    "Clean Guitar", "Mute Guitar", "Overdrive", "Dist Guitar", "GtrHarmonics",
    // Programs 32-47
    "AcousticBass", "Finger Bass", "Pick Bass", "FretlessBass", "SlapBass1", "SlapBass2",
    "Synth Bass1", "Synth Bass2", "Violin", "Viola", "Cello", "ContraBass", "TremStrings",
    "PizzStrings", "OrchHarp", "Timpani",
    // Programs 48-63
    "StringEnsbl1", "StringEnsbl2", "SynthString1", "SynthString2", "ChoirAahs", "VoiceOohs",
    "Synth Voice", "OrchHit", "Trumpet", "Trombone", "Tuba", "MutedTrumpet", "FrenchHorn",
    "BrassSection", "SynthBrass1", "SynthBrass2",
    // Programs 64-79
    "SopranoSax", "Alto Sax", "Tenor Sax", "Baritone Sax", "Oboe", "English Horn", "Bassoon",
    "Clarinet", "Piccolo", "Flute", "Recorder", "Pan Flute", "Bottle", "Shakuhachi", "Whistle",
    "Ocarina",
    // Programs 80-95
    "Square Lead", "SawtoothLead", "CaliopeLead", "Chiff Lead", "Charang Lead", "Voice Lead",
    "Fifth Lead", "Bass +Lead", "New Age Pad", "Warm Pad", "PolySynthPad", "Choir Pad",
    "Bowed Pad", "Metallic Pad", "Halo Pad", "Sweep Pad",
    // Programs 96-111
    "Rain", "Sound Track", "Crystal", "Atmosphere", "Brightness", "Goblins", "Echoes", "Sci-Fi",
    "Sitar", "Banjo", "Shamisen", "Koto", "Kalimba", "Bagpipe", "Fiddle", "Shanai",
    // Programs 112-127
    "Tinkle Bell", "Agogo", "Steel Drums", "WoodBlock", "Taiko Drum", "MelodicTom",
    "Synth Drum", "ReversCymbal", "Fret Noise", "Breath Noise", "Seashore", "Bird Tweet",
    "Telephone", "Helicopter", "Applause", "Gunshot",
};

const char* const presetNames[kPresetNameCount] = {
    "Korvalen", "User P17", "User P18", "User P19", "User P20", "User P21", "User P22",
    "User P23", "User P24", "User P25", "User P26", "User P27", "User P28", "User P29",
    "User P30",
};

const char* const noteNames[12] = {
    "C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B ",
};
// clang-format on

const char* presetNameFor(int presetNumber) {
    if (presetNumber == 0) return presetNames[0];
    if (presetNumber >= 16 && presetNumber <= 29) return presetNames[presetNumber - 15];
    return nullptr;
}

namespace {

template <typename... Args> std::string format(const char* fmt, Args... args) {
    char buffer[96];
    int n = std::snprintf(buffer, sizeof buffer, fmt, args...);
    if (n < 0) return {};
    return std::string(buffer, static_cast<std::size_t>(n) < sizeof buffer
                                   ? static_cast<std::size_t>(n)
                                   : sizeof buffer - 1);
}

} // namespace

std::string noteName(int note) {
    return format("%s%d", noteNames[note % 12], note / 12 - 1);
}

std::string controlListEntry(int number) {
    return format("%d  %s", number, nameTable[number]);
}

std::string noteListEntry(int note) {
    return format("%d    %s%d", note, noteNames[note % 12], note / 12 - 1);
}

std::string programListEntry(int prog) {
    return format("%d %s", prog, nameTable[kProgramBase + prog]);
}

std::string zoneCaption(int zoneIndex, int status, int prog) {
    if (status == 1) return format("Zone%d:%s", zoneIndex + 1, nameTable[kProgramBase + prog]);
    return format("Zone%d: Closed", zoneIndex + 1);
}

} // namespace korvalen
