// Presets as korvalen25-cli handles them: their names, the bounds the editor's model keeps its
// values in, the ".sav" files (read, and written so that no partial file is ever left), and the
// readable and JSON forms of a preset.
#pragma once

#include "outcome.h"
#include "presetdump.h"
#include "presetfile.h"
#include "presetprotocol.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <vector>

namespace korvalen::cli {

// The 15 device presets: 0 (the factory preset) and the user presets 16-29.
constexpr std::array<int, 15> kDevicePresets = {0,  16, 17, 18, 19, 20, 21, 22,
                                                23, 24, 25, 26, 27, 28, 29};

// A device preset given by its shown name ("P01", "P17"-"P30", any letter case) or its number
// (0, 16-29); none for anything else.
std::optional<int> parsePresetName(const QString& text);
// "P01" for 0, "P17" for 16: the number shown in the editor's title.
QString shownPresetName(int number);
// The file a backup keeps preset `number` in: "P01.sav", "P17.sav", ... or with `syx`
// "P01.syx", "P17.syx", ...
QString backupFileName(int number, bool syx = false);
// A ".syx" file (any letter case): SysEx that stores the preset when played to the controller.
bool isSyxPath(const QString& path);

using korvalen::Preset;
using korvalen::PresetDumpSink;

// The fields of a preset that a model would not take, as "encoder E3, BANK 2: channel 20".
QStringList outOfRangeFields(const Preset& preset);

// The 348 bytes the editor's "Save to file" writes for this preset.
PresetFileBytes presetFileBytes(const Preset& preset);

// Reads a ".sav" file as the editor's "Load from file" accepts it (the first six signature
// bytes compared, at least 348 bytes, anything after them ignored). kBadFile when it cannot be
// read or is not a preset file. The zones' channels come from the file that get wrote beside
// it; `zoneChannelsKnown` (when given) says whether there was one. A ".syx" file is read as
// download messages or a dump, and carries the zones' channels itself.
Outcome readPresetFile(const QString& path, Preset& preset, bool* zoneChannelsKnown = nullptr);

// Writes `bytes` to `path` through a temporary file that replaces `path` only once it is
// complete: on any failure `path` is as it was. kBadFile on failure.
Outcome writeFileAtomically(const QString& path, const QByteArray& bytes);
// A ".sav" file with the zones' channels beside it, or for a ".syx" path the messages that
// store the preset as `preset.presetNumber` when played to the controller.
Outcome writePresetFile(const QString& path, const Preset& preset);

// Every bank, control and zone with the editor's own list texts, one per line.
QString presetText(const Preset& preset);
// The same as a JSON document: each value as the editor shows it (channel 1-16, octave -4 to
// 4, ...), the editor's text for it, and the numbers the file holds beside them ("raw").
QByteArray presetJson(const Preset& preset);

} // namespace korvalen::cli
