// The editor's main window: the controller picture with its pages of editing panels, the
// menus, the status bar, the upload dialog and the upgrade dialog.
#pragma once

#include "ui_korvalen49_test.h"
#include "ui_upload.h"

#include "presetmodel.h"

#include <QDialog>
#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <optional>

class PortWatch;
class QLabel;
class UpgradeDlg;

class Korvalen49_Test : public QMainWindow {
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

public:
    // An upload whose end record has not come this long after the request or after the last
    // bytes received is closed and its values are taken back.
    static constexpr int kUploadTimeoutMs = 5000;

    // The download without its confirmation box. False (and the failure shown) when the
    // controller is not connected, is gone, did not take a message, or the preset number
    // cannot be sent.
    bool download();
    // Sends the upload request for a device preset number and opens the upload: the model's
    // values are kept until the dump has ended, to be put back if it does not end.
    bool requestUpload(int presetNumber);
    // The end of a dump: the zones take the dumped values, "Upload OK!" (or how many records
    // were rejected), the title.
    void finishUpload();
    // Closes an open upload that did not end: every value goes back to what it was before
    // the request, and `reason` is shown on the status bar.
    void abandonUpload(const QString& reason);
    bool isUploadPending() const { return uploadPending; }
    // Records of the open (or last) upload that were rejected as out of range.
    int uploadRejectedRecords() const { return uploadRejected; }
    // For tests: the upload time-out.
    void setUploadTimeout(int milliseconds) { uploadTimer.setInterval(milliseconds); }

    // One failure of a command: on the status bar (20 s) and in a warning box titled after the
    // command ("Download", "Upload", "Load From File", ...).
    void showFailure(const QString& command, const QString& text);

    // The status bar's permanent note of the link: the port in use, "controller lost" or not
    // connected.
    QString linkNote() const;
    PortWatch& portWatch() { return *watch; }
    // The controller's ports have vanished (the port watch, or a check before a transfer).
    void controllerLost();
    QDialog& uploadDialog() { return uploadDlg; }
    Ui::UploadDlg& uploadForm() { return uploadUi; }

    // Save and load without their file dialogs. saveToFile replaces the file only once the
    // new one is complete; both show what went wrong.
    bool saveToFile(const QString& path);
    bool loadFromFile(const QString& path);

protected:
    // Closing during a firmware upgrade asks whether to stop it.
    void closeEvent(QCloseEvent* event) override;

private:
    void InitEditor();
    void connectCommands();
    // After a search: "Connect OK" and the upload of preset 0, or false.
    bool reportConnected();
    // The permanent note after a search or a loss.
    void showLinkState();
    // True when the controller is connected and its ports are still there; otherwise the
    // failure is shown under `command` and false returned.
    bool controllerReady(const QString& command, const QString& action);
    void uploadTimedOut();

    QDialog uploadDlg;
    // The firmware upgrade dialog, parentless, alive as long as the window.
    UpgradeDlg* upgradeDlg = nullptr;
    bool uploadPending = false;
    // The open upload: the values before its request, whether a record has changed the model,
    // the ring's drop count when it began, and the records rejected.
    std::optional<PresetSnapshot> uploadSnapshot;
    bool uploadTouched = false;
    std::uint32_t uploadDrops = 0;
    int uploadRejected = 0;
    QTimer uploadTimer;
    PortWatch* watch = nullptr;
    QLabel* linkLabel = nullptr;
    bool lost = false;
    Ui::Korvalen49_TestClass ui;
    Ui::UploadDlg uploadUi;
};
