// The preset library: the preset files of a folder of the user's choice and the snapshots kept
// before writes to the controller, listed with their names, preset numbers and dates; open,
// save, rename, delete, download and compare them. Also the "Library" menu that reaches it
// and the comparisons of the editor's preset with the controller and with a file.
#pragma once

#include "presetfile.h"
#include "presethistory.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QWidget>

class CommandHost;
class CompareWindow;
class DownloadCommand;
class PresetFileCommands;
class QComboBox;
class QMenuBar;
class QFileSystemWatcher;
class QLabel;
class QLineEdit;
class QTableWidget;

class LibraryWindow : public QWidget {
    Q_OBJECT

public:
    struct Entry {
        QString path;
        QString name;          // the file's name without ".sav" or ".syx"
        int presetNumber = -1; // as the file holds it; -1 when it is no preset file
        bool syx = false;      // a ".syx" file (SysEx of a preset, its zone channels in it)
        QDateTime date;        // a snapshot's time, a library file's last change
        bool snapshot = false;
        korvalen::SnapshotInfo info; // a snapshot's: its controller, its dump
    };
    // The preset files (".sav" and ".syx") of `folder`, each read for its preset number;
    // sorted by name. A file that is no preset is listed, with no number.
    static QList<Entry> readFolder(const QString& folder);
    // The snapshots of `historyFolder`, the last taken first, then those of simulated
    // controllers (their preset files are not read).
    static QList<Entry> readSnapshots(const QString& historyFolder);
    // "Korvalen25 Presets" in the user's documents.
    static QString defaultFolder();

    explicit LibraryWindow(class Library& library);

    // The library folder, remembered for the next start.
    QString folder() const { return folder_; }
    void setFolder(const QString& folder);
    QString historyFolder() const { return historyFolder_; }
    void setHistoryFolder(const QString& folder);
    // Reads both folders again (the window does so itself when their files change).
    void refresh();

    QTableWidget* list() const { return list_; }
    QLineEdit* filterBox() const { return filter_; }
    // The entries shown (the filter applied), in the list's order.
    QList<Entry> shownEntries() const;
    // Selects the row of `path`; false when it is not shown.
    bool select(const QString& path);
    const Entry* selectedEntry() const;

    // The commands, on the selected entry.
    bool openSelected();
    // Saves the editor's preset in the library folder as NAME.sav (a name of the date when
    // empty). False when it exists or cannot be written.
    bool saveCurrent(const QString& name = QString());
    bool renameSelected(const QString& newName);
    bool deleteSelected();
    // Downloads the selected entry as `presetNumber` (the target list follows the entry's own
    // preset) once the user has said OK to the question Menu > DownLoad asks; false when no
    // entry is selected. A snapshot taken from another controller than the one connected is
    // asked about as well: "Yes" downloads it.
    bool downloadSelected(int presetNumber);
    // The target list: the user preset the library's Download goes to.
    QComboBox* targetBox() const { return target_; }
    // Compares the selected entry with the editor's preset, or two selected entries.
    CompareWindow* compareSelected();

private:
    void fill(const QString& keep);
    QString selectedPath() const;
    const Entry* entryAt(int row) const;
    void applyFilter();
    void tell(const QString& text);
    QList<const Entry*> selectedEntries() const;
    // After the download question's OK: asks about a snapshot of another controller.
    bool downloadAnswered(const Entry& entry, int presetNumber);
    // Asks before unsent edits are replaced; false when the download did not go out at once.
    bool downloadEntry(const Entry& e, int presetNumber);
    bool sendToController(const korvalen::StoredPreset& stored, int presetNumber,
                          const QString& name, const QString& shown);

    Library& library_;
    QString folder_;
    QString historyFolder_;
    QList<Entry> entries_;
    QTableWidget* list_;
    QLineEdit* filter_;
    QLineEdit* saveName_;
    QComboBox* target_;
    QLabel* folderLabel_;
    QLabel* status_;
    QFileSystemWatcher* watcher_;
    bool filling_ = false;
};

// The "Library" menu of the window and what it opens: the library window, the comparisons of the
// editor's preset with the controller and with a file. It reaches the editor's preset through the
// commands it is given, and the window only through their host.
class Library : public QObject {
    Q_OBJECT

public:
    Library(CommandHost& host, PresetFileCommands& files, DownloadCommand& downloads,
            QWidget* window);

    // Adds the "Library" menu to `bar`.
    void addMenuTo(QMenuBar* bar);
    // The library and compare windows, made when first asked for.
    LibraryWindow& libraryWindow();
    CompareWindow& compareWindow();
    // "Compare with Controller": reads the stored preset of the editor's number on a thread and
    // compares it with the editor's. False when the controller is not ready.
    bool compareWithController();
    // Compares the editor's preset with the preset file `path`.
    bool compareWithFile(const QString& path);

    CommandHost& host() { return host_; }
    PresetFileCommands& files() { return files_; }
    DownloadCommand& downloads() { return downloads_; }
    QWidget* window() const { return window_; }

private:
    CommandHost& host_;
    PresetFileCommands& files_;
    DownloadCommand& downloads_;
    QWidget* window_;
    LibraryWindow* library_ = nullptr;
    CompareWindow* compare_ = nullptr;
};
