// The editor's main window: the controller picture with its pages of editing panels, the
// menus, the status bar, the upload dialog and the upgrade dialog.
#pragma once

#include "ui_korvalen49_test.h"
#include "ui_upload.h"

#include "commandhost.h"
#include "controllerconnection.h"
#include "devicesearch.h"
#include "downloadcommand.h"
#include "edithistory.h"
#include "presetfile.h"
#include "presetfilecommands.h"
#include "presethistory.h"
#include "presetmodel.h"
#include "presettransfer.h"
#include "presetupload.h"
#include "uploadcommand.h"

#include <QDialog>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CompareWindow;
class FollowController;
class Library;
class LibraryWindow;
class LaterPages;
class PortsDialog;
class MonitorWindow;
class QAction;
class QLabel;
class QMenu;
class QMessageBox;
class QProgressDialog;
class SearchWindow;
class UpgradeDlg;

// The window holds the commands and is their host (commandhost.h).
class Korvalen49_Test : public QMainWindow, private CommandHost {
    Q_OBJECT

public:
    explicit Korvalen49_Test(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    ~Korvalen49_Test() override;

    // The current preset number (0 factory preset, 16-29 user presets), entry 0 of the
    // preset-wide values.
    static unsigned char currentPresetNumber();

    // "Korvalen25 Editor--------P%02d %s" for the preset number p (shown as p + 1) and its
    // name; a number without a name (anything but 0 and 16-29) is shown without one.
    static QString titleForPreset(unsigned char presetNumber);

    // Sets the window title from the current preset number.
    void RefreshTitle();

    // The window starts with the first page of panels; each other page is built when it is
    // first shown. This builds every page not built yet (for tests and tools that look at
    // panels of pages not shown).
    void buildAllPages();

public slots:
    void SelActiveBank_En(int bank);
    void SelActiveBank_Pn(int bank);
    void DataInSlot(uint data);
    void SysInSlot(uint len);
    void SysDataInSlot(unsigned char* data, uint len);
    void StatusInit();
    void DownLoadSlot();
    void uploadSlot();
    void uploadAccept();
    void ComSaveFile();
    void ComLoadFile();
    // "ReConnect": searches for the controller again (after it was plugged in, or after a
    // firmware upgrade took the ports) and, when found, reads its preset 0.
    void reconnectSlot();
    // "MIDI Ports": the ports and what the last search did with each.
    void portsSlot();
    // Undo and redo of the edits (never sent to the controller by themselves).
    void undoSlot();
    void redoSlot();

signals:
    // A search of the window has ended and the window has taken its result: true when the
    // controller was found.
    void searchFinished(bool found);
    // A download has ended: true when the controller was read back holding the preset as it
    // was sent.
    void downloadFinished(bool confirmed);

public:
    // How long the status bar shows the result of a connection or a transfer.
    static constexpr int kResultTimeoutMs = CommandHost::kResultTimeoutMs;
    // An upload whose end record has not come this long after the request or after the last
    // bytes received is closed and its values are taken back.
    static constexpr int kUploadTimeoutMs = korvalen::PresetUpload::kTimeoutMs;

    // The download without its confirmation box. It runs on a thread of its own: the preset
    // goes out at the pace kept for this run, is read back from the controller and what did
    // not arrive is sent again, more slowly, for a few rounds; downloadFinished() tells the
    // end, and "Download to Korvalen OK" is shown only when the read-back matched. False (and
    // the failure shown) when nothing was sent: the controller is not connected, is gone, is
    // busy, or the preset number cannot be sent. Before the download, on its thread, the preset
    // it replaces is read and kept as a snapshot (presethistory.h); when that fails nothing is
    // sent and snapshotQuestion() asks whether to download without one (`snapshotFirst` false).
    bool download(bool snapshotFirst = true) { return downloads.download(snapshotFirst); }
    // The question after a snapshot that could not be kept, while it is open.
    QMessageBox* snapshotQuestion() const { return downloads.snapshotQuestion(); }
    // The question after the window was closed during a download, while it is open.
    QMessageBox* closeDuringDownloadQuestion() const { return closeQuestion; }
    // Reads stored preset `number` from the controller on a thread, as a download runs, and
    // hands the result to `done` on the window's thread. False (and the failure shown under
    // `command`) when the controller is not ready.
    using ReadDone = DownloadCommand::ReadDone;
    bool readControllerPreset(int number, const QString& command, ReadDone done) {
        return downloads.readControllerPreset(number, command, std::move(done));
    }
    bool isDownloading() const { return downloads.isRunning(); }
    // The download's window of progress while one has lasted a second (nullptr otherwise).
    QProgressDialog* downloadProgressWindow() const { return downloads.progressWindow(); }
    // Sends the upload request for a device preset number and opens the upload: the model's
    // values are kept until the dump has ended, to be put back if it does not end. A request
    // that cannot go out is shown as a failure of `command` (see showFailure).
    bool requestUpload(int presetNumber, const QString& command = QString()) {
        return uploads.request(presetNumber, command);
    }
    // The end of a dump: the zones take the dumped values, "Upload OK!" (or how many records
    // were rejected), the title.
    void finishUpload() { uploads.finish(); }
    // Closes an open upload that did not end: every value goes back to what it was before
    // the request, and `reason` is shown on the status bar.
    void abandonUpload(const QString& reason) { uploads.abandon(reason); }
    bool isUploadPending() const { return uploads.isPending(); }
    // Records of the open (or last) upload that were rejected as out of range.
    int uploadRejectedRecords() const { return uploads.rejectedRecords(); }
    // For tests: the upload time-out.
    void setUploadTimeout(int milliseconds) { uploads.setTimeout(milliseconds); }

    // How every failure is told: on the status bar (20 s) and in a warning box titled after the
    // command the user chose ("Download", "Upload", "Load From File", ...). With no command
    // (the upload after a connection, an upload that did not end) only on the status bar.
    void showFailure(const QString& command, const QString& text) override;

    // The status bar's permanent note of the link: the port in use, "controller lost" or not
    // connected.
    QString linkNote() const;
    PortWatch& portWatch() { return connection.portWatch(); }
    // The controller's ports have vanished (the port watch, or a check before a transfer).
    void controllerLost() { connection.markLost(); }
    // The connection to the controller: the search, the port watch, who holds the ports.
    ControllerConnection& controllerConnection() { return connection; }
    // The upload dialog and its form, made when first asked for.
    QDialog& uploadDialog();
    Ui::UploadDlg& uploadForm();

    // Save and load without their file dialogs. saveToFile replaces the file only once the
    // new one is complete; both show what went wrong.
    bool saveToFile(const QString& path) { return files.saveToFile(path); }
    bool loadFromFile(const QString& path) { return files.loadFromFile(path); }
    // "Load from file" after its file dialog: asks before unsent edits are replaced, then
    // loads once the answer has come. A file given on the command line and a file dropped on
    // the window come here. False when the file was refused (and why was shown).
    bool openPresetFile(const QString& path) { return files.openPresetFile(path); }
    // The name "Save to file" saves under: NAME.sav for a NAME without a suffix.
    static QString withPresetSuffix(const QString& path) {
        return PresetFileCommands::withPresetSuffix(path);
    }
    // The file commands of the window's menu, the command line and drops.
    PresetFileCommands& fileCommands() { return files; }
    // The Library menu with its library and compare windows.
    Library& library() { return *libraryMenu; }

    // --- the device search
    using SearchPlan = ControllerConnection::SearchPlan;
    // Where the link stands, as the window enables its commands from it.
    enum class LinkState {
        NotConnected, // no search found the controller yet, or none was made
        Searching,    // a search owns the ports
        Connected,
        Lost,        // its ports have vanished
        Downloading, // a download owns the ring
        Flashing,    // a firmware upgrade owns the ports
    };
    LinkState linkState() const;
    static constexpr int kHotPlugAttempts = ControllerConnection::kHotPlugAttempts;
    // A search that is still running this long after it began shows the search window.
    static constexpr int kSearchWindowDelayMs = 200;
    // A download that is still going this long after it began shows its progress window.
    static constexpr int kDownloadProgressDelayMs = DownloadCommand::kProgressDelayMs;
    // Begins a search on a thread of its own; the window keeps turning, the search window shows
    // how it goes and its Cancel ends it as not found. searchFinished() tells the end, once
    // the window has taken the result. False when a search runs already.
    bool startSearch(const SearchPlan& plan);
    bool isSearching() const { return connection.isSearching(); }
    // The search window while one is shown.
    QWidget* searchWindow() const;
    // Hot-plug: while no controller is connected (or it was lost), outputs that have appeared
    // since the last look are searched; the port watch calls this after every reading.
    void hotPlugCheck() { connection.hotPlugCheck(); }
    // What the last search of the window saw (a copy, safe to read while a search runs).
    const korvalen::midi::SearchRecord& lastSearchRecord() const {
        return connection.lastSearchRecord();
    }

    // --- edits
    EditHistory& editHistory() override { return *history; }
    // The status bar's note of the edits.
    QString editNote() const;
    // When there are edits that were neither downloaded nor saved: asks whether `replacement`
    // may replace them, under the title `command`, in a box that does not wait. `then` runs
    // when it may (at once when nothing would be lost), `kept` when the edits are kept.
    void mayReplaceEdits(const QString& command, const QString& replacement,
                         std::function<void()> then, std::function<void()> kept = {}) override;
    PortsDialog* portsDialog() const { return portsWindow; }
    // Diagnostics: the MIDI Monitor (none until first opened) and the report.
    MonitorWindow* monitorWindow() const { return monitor; }
    QString diagnosticsReportText() const;
    void monitorSlot();
    // Copies the report to the clipboard and offers to save it.
    void diagnosticsReportSlot();
    // How long undo and redo mark the boxes they changed.
    static constexpr int kChangeMarkMs = 1500;
    // "Follow the Controller" (Edit menu): the control touched on the controller is shown.
    FollowController& followController() { return *follower; }

private slots:
    // The connection's search has begun, or ended and its result is taken.
    void openSearchWindow();
    void takeSearchResult(bool found);

protected:
    // Closing the window asks whether to stop a running firmware upgrade, then before unsent
    // edits are lost.
    void closeEvent(QCloseEvent* event) override;
    // A preset file dropped on the window is loaded as by "Load from file". It is known by its
    // first bytes, whatever its name; a ".sav" file is taken too, to be told why it is no preset.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void InitEditor();
    void putPanelsFirstInTabOrder();
    void connectCommands();
    // The Edit menu, the permanent notes of the status bar and the port watch.
    void setUpExtras();
    // The Diagnostics menu (monitorwindow.cpp).
    void setUpDiagnostics();
    // After a search found the controller: connected, and preset 0 read unless the user keeps
    // unsent edits.
    void takeConnection(const QString& command);
    // True (with a note on the status bar) while a search runs: commands that use the MIDI
    // ports wait for it.
    bool busySearching();
    // True (with a note) while an upload or a search is under way: undo and redo wait.
    bool editsLocked();
    // One step back (undo) or forward (redo), with a note on the status bar.
    void stepThroughEdits(bool forward);
    // After an undo or a redo that changed one control: its page and bank are shown and the
    // changed boxes are marked for kChangeMarkMs.
    void showRestoredPlace(const QString& step, const PresetSnapshot& from,
                           const PresetSnapshot& to);
    // Shows a control's page and bank and marks its boxes for kChangeMarkMs (undo, redo and
    // following the controller).
    void showPlace(const EditHistory::Place& place);
    void clearChangeMarks();
    // The Edit menu's "Follow the Controller" and the messages it takes from the link.
    void setUpFollowing(QMenu* edit);
    // The host's side of the commands.
    QWidget* dialogParent() override { return this; }
    void showStatus(const QString& text, int timeoutMs) override;
    void tellInBox(const QString& objectName, const QString& title, const QString& text,
                   bool warning) override;
    void refreshTitle() override { RefreshTitle(); }
    void showEditNote();
    void refreshPortsWindow();
    // After a search: "Connect OK" and the upload of preset 0, or false.
    bool reportConnected();
    // The permanent note after a search or a loss.
    void showLinkState();
    // The connection's signals to the window; made once, before the first search.
    void followConnection();
    // The controller's ports have vanished: the note, and an open upload is closed.
    void tellControllerLost();

    QDialog uploadDlg;
    // The firmware upgrade dialog, parentless, made when first needed and alive as long as the
    // window.
    UpgradeDlg& upgradeDialog();
    UpgradeDlg* upgradeDlg = nullptr;
    bool uploadFormMade = false;
    std::unique_ptr<LaterPages> laterPages;
    ControllerConnection connection;
    // The window of the running search, shown when the search lasts.
    SearchWindow* searchWin = nullptr;
    // What the window does after a search, by its purpose.
    void startUpSearchEnded(bool found);
    // "Connect Error!" in a box that does not wait for its answer, and on the status bar.
    void tellConnectError();
    // Enables the commands that use the MIDI ports as the link's state allows.
    void updateCommands();
    bool statusInitDone = false;
    // Closing during a download: asks, without waiting, whether to close once it has ended.
    void askToCloseAfterDownload();
    // The window closed with unsent edits: asks whether to save them, let them go or stay.
    void askToCloseWithEdits();
    QMessageBox* closeQuestion = nullptr;
    // Set once the user has let unsent edits go (or saved them) for this close.
    bool editsMayClose = false;
    // Set once the user has agreed to stop a running firmware upgrade for this close.
    bool upgradeMayClose = false;
    // The download has ended and the window is to close: `outcome` tells what the controller
    // holds, and the window closes when that is answered.
    void closeAfterDownload(const QString& outcome);
    QLabel* linkLabel = nullptr;
    QLabel* editLabel = nullptr;
    EditHistory* history = nullptr;
    FollowController* follower = nullptr;
    PortsDialog* portsWindow = nullptr;
    MonitorWindow* monitor = nullptr;
    QAction* actionMidiPorts = nullptr;
    QAction* actionUndo = nullptr;
    QAction* actionRedo = nullptr;
    QList<QPointer<QWidget>> changeMarks;
    Ui::Korvalen49_TestClass ui;
    Ui::UploadDlg uploadUi;
    PresetFileCommands files{*this};
    Library* libraryMenu = nullptr;
    UploadCommand uploads{*this, connection};
    DownloadCommand downloads{*this, connection};
};

// The window's library and compare windows, made when first asked for, and its comparisons
// (librarywindow.h).
LibraryWindow& libraryWindow(Korvalen49_Test& window);
CompareWindow& compareWindow(Korvalen49_Test& window);
bool compareWithController(Korvalen49_Test& window);
bool compareWithFile(Korvalen49_Test& window, const QString& path);
