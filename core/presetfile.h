// The ".sav" preset file: the signature "KORVALEN25" followed by the record bytes of the
// preset (5 bytes per control, 9 per zone) and the current preset number, 348 bytes in all.
#pragma once

#include "presetprotocol.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace korvalen {

constexpr std::size_t kPresetFileSize = 348;
constexpr std::size_t kPresetSignatureSize = 10;
constexpr std::size_t kPresetRecordsSize = kPresetFileSize - kPresetSignatureSize; // 338
// Only this many signature bytes are compared when a file is read ("KORVAL").
constexpr std::size_t kPresetSignatureCompared = 6;
constexpr std::array<char, kPresetSignatureSize> kPresetSignature = {'K', 'O', 'R', 'V', 'A',
                                                                     'L', 'E', 'N', '2', '5'};

constexpr std::size_t kAssignmentRecordSize = 5; // type, cc, chan, port, mode
constexpr std::size_t kZoneRecordSize = 9;       // status, prog, msb, lsb, port, rangSta, rangEnd,
                                                 // oct, trans (no channel)

// Offsets of the records within the record bytes (the file offset is 10 more).
namespace presetrecord {
constexpr std::size_t kEncoders = 0;    // 32 records, bank by bank, E1-E8
constexpr std::size_t kFunctions = 160; // 16 records, bank by bank, F1-F4
constexpr std::size_t kPads = 240;      // 8 records, bank A P1-P4, bank B P1-P4
constexpr std::size_t kTransport = 280; // 5 records, REW, FF, STOP, PLAY, REC
constexpr std::size_t kSlider = 305;    // 1 record
constexpr std::size_t kZones = 310;     // 3 zone records
constexpr std::size_t kPresetNumber = 337;
} // namespace presetrecord

using PresetRecords = std::array<std::uint8_t, kPresetRecordsSize>;
using PresetFileBytes = std::array<std::uint8_t, kPresetFileSize>;

// The whole file: the signature, then the record bytes.
PresetFileBytes buildPresetFile(const PresetRecords& records);

enum class PresetFileStatus {
    Accepted,
    WrongSignature, // the first six bytes are not "KORVAL"
    TooShort,       // fewer than 348 bytes
};

struct PresetFileContents {
    PresetFileStatus status = PresetFileStatus::TooShort;
    PresetRecords records{}; // the 338 bytes after the signature when accepted, else zeros
};

// Reads a file's bytes. Bytes 6-9 of the signature are not compared, and bytes after the
// preset number are ignored. Any length is safe.
PresetFileContents parsePresetFile(const std::uint8_t* data, std::size_t length);

// The record bytes of a preset as the model's records write them.
void packAssignment(const AssignmentValues& a, std::uint8_t* out); // 5 bytes
void packZone(const ZoneValues& z, std::uint8_t* out);             // 9 bytes
PresetRecords packPresetRecords(const PresetValues& values, std::uint8_t presetNumber);

// The inverse, storing the bytes as they are (the model applies its bounds through its
// setters instead). The zones' channels are not in the records and are left as they were.
void unpackPresetRecords(const PresetRecords& records, PresetValues& values,
                         std::uint8_t& presetNumber);

} // namespace korvalen
