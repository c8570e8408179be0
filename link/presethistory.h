// What a write to the controller replaced: before a preset is stored on the controller, the
// preset stored there is read and kept as a snapshot in a history folder. A snapshot is named by
// preset and time ("P17-20261208-150102") and is made of:
//   NAME.syx            the controller's dump as it came, byte for byte: what undo-put sends back
//   NAME.snapshot.json  where it came from (port, MIDI API, simulated or not) and its place in
//                       the order the snapshots were taken
//   NAME.sav            the dump as the editor's boxes show it, for the library and history
//   NAME.zones.json     the keyboard zones' channels, which a preset file has no room for
// Snapshots of a simulated controller (the virtual MIDI API, or a port of korvalen25-sim) are
// kept in the folder "simulated" inside the history folder. The last kKeptPerPreset snapshots
// of each preset are kept, by the order they were taken (never by name or time of day).
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
#include <utility>
#include <vector>

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
// Removes a preset file and the zones' channels beside it. False (with `error`) when either
// stays: a preset file whose removal failed keeps its channels.
bool removeStoredPreset(const QString& path, QString* error = nullptr);
// Reads a preset file as the editor's Load from file takes it, and the zones' channels beside
// it when there are any; a ".syx" file (download messages or a dump) with the zones' channels
// it holds. False (with `error`) when the file cannot be read or is no preset.
bool readStoredPreset(const QString& path, StoredPreset& stored, QString* error = nullptr);
// The zones' channels kept beside `presetPath`; none when there is no such file or it is not
// one of ours.
std::optional<std::array<std::uint8_t, 3>> readZoneChannels(const QString& presetPath);

// The controller a snapshot came from.
struct SnapshotSource {
    SnapshotSource() = default;
    SnapshotSource(QString port_, QString api_, bool simulated_, QString identity_ = {},
                   int firmware_ = -1)
        : port(std::move(port_)), api(std::move(api_)), simulated(simulated_),
          identity(std::move(identity_)), firmware(firmware_) {}

    QString port; // its MIDI port name(s), as the backend names them
    QString api;  // the MIDI backend ("alsa", "jack", "virtual", ...)
    bool simulated = false;
    // What its identity reply told: bytes 6 and 7 ("00 66"), and the firmware version when the
    // reply carried one (-1 otherwise). Empty for a snapshot kept by an older version.
    QString identity;
    int firmware = -1;
    bool known() const { return !port.isEmpty() || !api.isEmpty(); }

    // The controller the link is connected to now.
    static SnapshotSource ofLink();
    // Whether a controller is simulated: the virtual backend, or a port whose name holds
    // "korvalen25-sim" or "simulated" (korvalen25-sim started with such a --client-name; with
    // its default name it cannot be told from a real controller).
    static bool isSimulated(const QString& api, const QString& port);
    // The same controller: both simulated or both not, and the same identity when both record
    // one, else the same port name once the client and port numbers that ALSA adds (" 128:0")
    // are left out. A snapshot that records no controller (kept by an older version) is taken
    // for the same one.
    bool sameController(const SnapshotSource& other) const;
    QString describe() const;
};

struct SnapshotInfo {
    QString path;
    int presetNumber = 0; // the device's number: 0, 16-29
    QDateTime taken;      // local time, to the second
    int sequence = 0;     // 1, 2, ... for a second snapshot of the same preset in one second
    qint64 order = 0;     // the place in the order taken; 0 for a snapshot without description
    SnapshotSource source;
    QString dumpPath; // the dump as it came; empty when only the preset file was kept
};

// "NAME.snapshot.json" and "NAME.syx" for snapshot "NAME.sav".
QString snapshotDescriptionPath(const QString& presetPath);
QString snapshotDumpPath(const QString& presetPath);

// The preset that a dump holds, every value as the controller sent it (also those that the
// boxes cannot show). False when the dump has no end record. `wide` (when given) is set to the
// number of values wider than a byte, which the preset holds cut to a byte.
bool presetFromDump(const std::vector<std::uint8_t>& dump, Preset& preset, int* wide = nullptr);

// A snapshot to write back: from its dump when there is one, else from its preset file.
struct SnapshotContents {
    Preset preset;
    bool fromDump = false;
    std::vector<std::uint8_t> dump;
    int wideValues = 0; // values of the dump wider than a byte: they cannot be written back
};
bool readSnapshot(const SnapshotInfo& info, SnapshotContents& contents, QString* error = nullptr);

class PresetHistory {
public:
    static constexpr int kKeptPerPreset = 50;

    // KORVALEN_HISTORY_DIR when set; otherwise "korvalen25/history" in the user's data folder
    // (XDG_DATA_HOME, ~/.local/share).
    static QString defaultFolder();
    // The folder of simulated controllers' snapshots inside `folder`.
    static QString simulatedFolder(const QString& folder = defaultFolder());

    // The snapshots of real controllers in `folder`, or of simulated ones in its "simulated"
    // folder.
    explicit PresetHistory(QString folder = defaultFolder(), bool simulated = false);
    // The history that the snapshots of `source` go to.
    static PresetHistory of(const SnapshotSource& source, const QString& folder = defaultFolder());
    const QString& folder() const { return folder_; }
    // The folder given, without "simulated".
    const QString& baseFolder() const { return base_; }
    bool simulated() const { return simulated_; }

    // "P17-20261208-150102.sav", with "-2" before the suffix for sequence 2.
    static QString fileName(int presetNumber, const QDateTime& taken, int sequence = 0);
    // The snapshot a file name stands for; none for a name that is not a snapshot's.
    static std::optional<SnapshotInfo> parseFileName(const QString& name);

    // Keeps `preset` as a snapshot of device preset `presetNumber` taken at `taken`, with the
    // dump it was read from (when not empty) and where it came from, then removes the oldest
    // beyond kKeptPerPreset, never the one just written. The path of the preset file written,
    // or an empty string (and `error`) when it could not be written.
    QString store(const Preset& preset, int presetNumber,
                  const QDateTime& taken = QDateTime::currentDateTime(), QString* error = nullptr,
                  const std::vector<std::uint8_t>& dump = {},
                  const SnapshotSource& source = {}) const;
    // The snapshots, the last taken first: of one preset, or of all (presetNumber -1).
    QList<SnapshotInfo> list(int presetNumber = -1) const;
    std::optional<SnapshotInfo> latest(int presetNumber) const;

private:
    QString base_;
    bool simulated_ = false;
    QString folder_;
};

struct SnapshotResult {
    ReadResult read;    // how reading the stored preset went
    Preset preset;      // what was read, as the boxes show it
    QString path;       // the snapshot written
    QString writeError; // why it could not be written, when it was read
    // A dump that came whole keeps its snapshot also when it holds values out of range.
    static bool keepable(const ReadResult& r) {
        return r.ok() || (r.status == ReadResult::Status::BadRecords && !r.dump.empty());
    }
    bool ok() const { return keepable(read) && !path.isEmpty(); }
};

// Reads device preset `presetNumber` through `transfer` and keeps it, with its dump, in the
// history of the controller the link is connected to (`history`'s or its simulated one):
// the step before every write to the controller.
SnapshotResult takeSnapshot(PresetTransfer& transfer, int presetNumber,
                            const PresetHistory& history = PresetHistory());
// Keeps a preset already read, with the dump it came in (`read.dump`).
SnapshotResult keepSnapshot(const Preset& preset, const ReadResult& read, int presetNumber,
                            const SnapshotSource& source,
                            const PresetHistory& history = PresetHistory());

} // namespace korvalen
