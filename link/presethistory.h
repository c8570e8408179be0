// What a write to the controller replaced: before a preset is stored on the controller, the
// preset stored there is read and kept as a snapshot in a history folder, one ".sav" file per
// snapshot named by preset and time ("P17-20261208-150102.sav"), with the keyboard zones'
// channels, which a preset file has no room for, in a small file beside it. The last
// kKeptPerPreset snapshots of each preset are kept.
//
// Used by the editor's download (on the download's thread) and by korvalen25-cli; nothing here
// needs the GUI thread.
#pragma once

#include "presetdump.h"
#include "presettransfer.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace korvalen {

// A preset file and, when the file beside it says so, the zones' channels.
struct StoredPreset {
    Preset preset;
    bool zoneChannelsKnown = false;
};

// "X.zones.json" for "X.sav": the zones' channels of the preset in "X.sav".
QString zoneChannelsPath(const QString& presetPath);
// Writes the preset file and the zones' channels beside it, each through a file that replaces
// the old one only once it is complete. False (with `error`) when either cannot be written.
bool writeStoredPreset(const QString& path, const Preset& preset, QString* error = nullptr);
// Reads a preset file as the editor's Load from file takes it, and the zones' channels beside
// it when there are any. False (with `error`) when the file cannot be read or is no preset.
bool readStoredPreset(const QString& path, StoredPreset& stored, QString* error = nullptr);
// The zones' channels kept beside `presetPath`; none when there is no such file or it is not
// one of ours.
std::optional<std::array<std::uint8_t, 3>> readZoneChannels(const QString& presetPath);

struct SnapshotInfo {
    QString path;
    int presetNumber = 0; // the device's number: 0, 16-29
    QDateTime taken;      // local time, to the second
    int sequence = 0;     // 1, 2, ... for a second snapshot of the same preset in one second
};

class PresetHistory {
public:
    static constexpr int kKeptPerPreset = 50;

    // KORVALEN_HISTORY_DIR when set; otherwise "korvalen25/history" in the user's data folder
    // (XDG_DATA_HOME, ~/.local/share).
    static QString defaultFolder();

    explicit PresetHistory(QString folder = defaultFolder());
    const QString& folder() const { return folder_; }

    // "P17-20261208-150102.sav", with "-2" before the suffix for sequence 2.
    static QString fileName(int presetNumber, const QDateTime& taken, int sequence = 0);
    // The snapshot a file name stands for; none for a name that is not a snapshot's.
    static std::optional<SnapshotInfo> parseFileName(const QString& name);

    // Keeps `preset` as a snapshot of device preset `presetNumber` taken at `taken`, then
    // removes the oldest beyond kKeptPerPreset. The path written, or an empty string (and
    // `error`) when it could not be written.
    QString store(const Preset& preset, int presetNumber,
                  const QDateTime& taken = QDateTime::currentDateTime(),
                  QString* error = nullptr) const;
    // The snapshots, newest first: of one preset, or of all (presetNumber -1).
    QList<SnapshotInfo> list(int presetNumber = -1) const;
    std::optional<SnapshotInfo> latest(int presetNumber) const;

private:
    QString folder_;
};

struct SnapshotResult {
    ReadResult read;    // how reading the stored preset went
    Preset preset;      // what was read
    QString path;       // the snapshot written
    QString writeError; // why it could not be written, when it was read
    bool ok() const { return read.ok() && !path.isEmpty(); }
};

// Reads device preset `presetNumber` through `transfer` and keeps it in `history`: the step
// before every write to the controller.
SnapshotResult takeSnapshot(PresetTransfer& transfer, int presetNumber,
                            const PresetHistory& history);
// Keeps a preset already read.
SnapshotResult keepSnapshot(const Preset& preset, int presetNumber, const PresetHistory& history);

} // namespace korvalen
