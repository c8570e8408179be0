// The preset file commands: "Save to file" and "Load from file" with their file dialogs, the
// file given on the command line or dropped on the window, and the load's report; "Export" and
// "Import" of the preset as a ".syx" file. They work on the editor's preset (presetmodel.h) and
// its edit history, and tell through their host. Their dialogs start where filefolders.h says,
// with the preset's number and name suggested.
#pragma once

#include "presetfile.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class CommandHost;
class QFile;
class QMimeData;

class PresetFileCommands : public QObject {
    Q_OBJECT

public:
    explicit PresetFileCommands(CommandHost& host, QObject* parent = nullptr);

    // "Save to file" with its dialog, which does not wait; `done` is told whether the preset
    // was saved (false when cancelled or failed).
    void saveWithDialog(std::function<void(bool)> done = {});
    // "Load from file" with its dialog, which does not wait; the chosen file goes to
    // openPresetFile.
    void loadWithDialog();
    // "Export" with its dialog, which does not wait: the preset as a ".syx" file.
    void exportWithDialog();
    // "Import" with its dialog, which does not wait: the chosen file goes to importFile.
    void importWithDialog();

    // Save and load without their file dialogs. saveToFile replaces the file only once the
    // new one is complete; both show what went wrong.
    bool saveToFile(const QString& path);
    bool loadFromFile(const QString& path);
    // "Load from file" after its file dialog: asks before unsent edits are replaced, then
    // loads once the answer has come. A file given on the command line and a file dropped on
    // the window come here. False when the file was refused (and why was shown).
    bool openPresetFile(const QString& path);
    // The preset as SysEx, the messages a download sends with the zones' channels, written to
    // `path` once complete. False (and why shown) when the preset number cannot be sent or the
    // file cannot be written.
    bool exportToFile(const QString& path);
    // "Import" after its file dialog: a ".syx" file (download messages or dump records) read
    // whatever its name, then taken as openPresetFile takes one.
    bool importFile(const QString& path);

    // The name the dialogs suggest for the editor's preset with `suffix`: "P20 Lead.sav", the
    // name being that of the file it was last loaded from or saved to.
    QString suggestedName(const QString& suffix) const;

    // The name "Save to file" saves under: NAME.sav for a NAME without a suffix.
    static QString withPresetSuffix(const QString& path);
    // The one local file of a drag that is a preset by its first bytes, or is named as one
    // (".sav", ".syx": so that a damaged file is told why it cannot be loaded); otherwise an
    // empty text.
    static QString droppedPresetFile(const QMimeData* data);

signals:
    // A file is about to replace the editor's preset: a dump still on its way gives way to it.
    void aboutToLoad();
    // The preset was saved or exported to `path`: a list of the folder follows.
    void saved(const QString& path);

private:
    // What a file gives: a preset file's records; a ".syx" file (SysEx as a download sends it,
    // or a dump) the zones' channels as well.
    struct Loaded {
        korvalen::PresetRecords records;
        std::optional<std::array<std::uint8_t, 3>> zoneChannels;
    };
    // Loading in two steps: the file's records, or nothing after a box that says why; then
    // the records into the model, with the box of the result and the title.
    // A file is read as ".syx" when `syx` is set or its name ends so; `title` is the title of
    // the boxes (Load From File, Import).
    bool openFile(const QString& path, bool syx, const QString& title);
    std::optional<Loaded> readPresetFile(const QString& path, bool syx, const QString& title);
    std::optional<Loaded> readSyxFile(const QString& path, QFile& file, const QString& title);
    void applyPresetFile(const Loaded& loaded, const QString& path, const QString& title);
    // The load's report ("Load OK!", a refused file), in a box that does not wait.
    void showLoadReport(const QString& text, const QString& title);

    CommandHost& host_;
};
