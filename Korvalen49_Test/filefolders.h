// Where the editor's file dialogs start and the file names they suggest. Preset files start in
// the library folder until the user has chosen a file in a dialog; from then on that dialog
// starts in the folder of the file chosen last, remembered for the next start. The firmware
// dialog starts in the folder of the image loaded last, else in the user's downloads.
#pragma once

#include <QString>

class QFileDialog;
class QWidget;

namespace filefolders {

enum class Dialog { SavePreset, LoadPreset, ExportSyx, ImportSyx, Firmware };

// The library folder as chosen in the library window, remembered for the next start;
// "Korvalen25 Presets" in the user's documents until one is chosen.
QString libraryFolder();
void setLibraryFolder(const QString& folder);
QString defaultLibraryFolder();

// The folder `dialog` starts in: that of the file last chosen in it while the folder is still
// there; else the library folder (made by Save and Export when missing; the home folder for
// Load and Import while it is missing) or, for firmware, the downloads folder or the home
// folder.
QString startFolder(Dialog dialog);
// The file last chosen in `dialog`; empty when none was.
QString lastFile(Dialog dialog);
// Keeps `chosenFile` as the last file of `dialog`.
void remember(Dialog dialog, const QString& chosenFile);

// `name` with every character that a file system may refuse (/ \ : * ? " < > | and control
// characters) replaced by "_", without spaces or dots at its ends; "preset" when nothing is
// left.
QString safeFileName(const QString& name);
// The name a preset is suggested under: "P20 Lead.sav" for preset number 19 (P20) named
// "Lead" and the suffix "sav"; "P20.sav" without a name. A name that already begins with its
// preset ("P20 Lead") is not given the number twice.
QString suggestedName(int presetNumber, const QString& name, const QString& suffix);
// The name of a preset loaded from or saved to `fileName` ("P20 Lead.sav" gives "Lead",
// "Lead.syx" gives "Lead").
QString presetNameOf(const QString& fileName);

// A file dialog of the editor that does not wait: it starts in startFolder(`dialog`) with
// `suggested` filled in, remembers the file chosen in it and deletes itself when closed. The
// caller connects to its finished() signal and opens it.
QFileDialog* makeDialog(QWidget* parent, Dialog dialog, const QString& title, const QString& filter,
                        const QString& suggested);

} // namespace filefolders
