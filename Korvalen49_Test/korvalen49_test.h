// The editor's main window: the controller picture with its pages of editing panels, the
// menus, the status bar, the upload dialog and the upgrade dialog.
#pragma once

#include "ui_korvalen49_test.h"
#include "ui_upload.h"

#include <QDialog>

class UpgradeDlg;
#include <QMainWindow>
#include <QString>

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
    // The download without its confirmation box. False (and the failure shown) when the
    // controller is not connected or did not take a message.
    bool download();
    // Sends the upload request for a device preset number and opens the upload.
    bool requestUpload(int presetNumber);
    // The end of a dump: the zones take the dumped values, "Upload OK!", the title.
    void finishUpload();
    bool isUploadPending() const { return uploadPending; }
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

    QDialog uploadDlg;
    // The firmware upgrade dialog, parentless, alive as long as the window.
    UpgradeDlg* upgradeDlg = nullptr;
    bool uploadPending = false;
    Ui::Korvalen49_TestClass ui;
    Ui::UploadDlg uploadUi;
};
