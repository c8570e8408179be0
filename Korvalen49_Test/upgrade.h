// Firmware upgrade: the dialog, the worker thread that finds a controller in upgrade mode and
// writes the loaded image to it block by block, and the loaded image itself.
#pragma once

#include "firmware.h"
#include "midiplatform.h"

#include <QDialog>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "ui_upgrade.h"

// The worker. One instance for the whole program (`connectThread`); each start is one
// search-and-flash run. Everything the user sees of a run goes through `updataUISignal`.
class ConnectThread : public QThread {
    Q_OBJECT

public:
    // Report codes of updataUISignal.
    enum Report : uint {
        DeviceVersion = 0,
        FileVersion = 2,
        StartEnabled = 3,
        Progress = 4,
        Log = 5,
    };

    static constexpr int kAttempts = 10;
    static constexpr int kCountReadings = 10;
    static constexpr unsigned kPauseMs = 1000;
    static constexpr unsigned kOpenPauseMs = 10;
    static constexpr unsigned kReplyWaitMs = 50;
    static constexpr unsigned kStartPauseMs = 10;
    // A device that asks for nothing for this long in the middle of a transfer has stopped
    // answering; the run ends instead of waiting forever.
    static constexpr int kRequestTimeoutMs = 5000;

    using QThread::QThread;

    int probeDevices(); // 0 found in upgrade mode, 1 nothing, 2 only a mode-1 answer, -1 give up
    void flashFirmware();
    void sendBlock();
    void upgradeMidiInProc(std::uintptr_t instance, const korvalen::midi::InputEvent& event);

    // Version number from the last valid probe reply; never reset.
    std::atomic<std::uint32_t> deviceVersion{0};

    // Starts one run (nothing happens while a run goes on).
    void startRun();
    // Asks a run to end at its next wait (the window is closing); wait() then returns soon.
    void requestStop();

    // For tests: how long a transfer waits for the device's next request.
    void setRequestTimeout(int milliseconds) { requestTimeoutMs_ = milliseconds; }

signals:
    void updataUISignal(uint comp, uint val, char* str);

protected:
    void run() override;

private:
    void report(uint comp, uint val, const char* str);
    void log(const char* line) { report(Log, 0, line); }
    // Waits for the device's next request; false when it did not come in time.
    bool waitForRequest();
    void setDeviceAnswer(std::int32_t answer);

    std::mutex answerMutex_;
    std::condition_variable answerChanged_;
    std::atomic<int> requestTimeoutMs_{kRequestTimeoutMs};
    std::atomic<bool> stopRequested_{false};
};

extern ConnectThread connectThread;
// The image being (or to be) flashed. Written only by the dialog while no run goes on.
extern korvalen::FirmwareImage firmwareImage;

class UpgradeDlg : public QDialog {
    Q_OBJECT

public:
    explicit UpgradeDlg(QWidget* parent = nullptr);

    // Loads a firmware image from `path` (what ComLoadFile does after its file dialog).
    void loadImage(const QString& path);

    Ui::UpgradeUI ui;

public slots:
    void UpgradeWinShow();
    void ComLoadFile();
    void OnFirmwareUpgrade();
    void updataUISlot(uint comp, uint val, char* str);
};
