// The firmware upgrade dialog: step 1 loads a ".bin" image, step 2 runs the worker
// (ConnectThread) that finds the controller in upgrade mode and flashes the image; a log and a
// progress bar show how the run goes.
#pragma once

#include "connectthread.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <vector>

#include "ui_upgrade.h"

class UpgradeDlg : public QDialog {
    Q_OBJECT

public:
    explicit UpgradeDlg(QWidget* parent = nullptr);

    // Loads a firmware image from `path` (what ComLoadFile does after its file dialog). A file
    // that is refused is logged as "Open Error!" and a line that says why.
    void loadImage(const QString& path);

    // While a run goes on, asks whether to stop it (in a box that does not wait), and asks the
    // run to stop if so. `then` runs once no run goes on or it is stopping: the dialog, or the
    // editor, may close. Nothing runs when the user keeps the run.
    void askToStopRun(std::function<void()> then);

    // Start for the controller on `port` (a part of its port name): the run flashes no other.
    // An empty `port` is Start itself.
    void startOn(const QString& port);

    // The bar's words for `done` of `total` blocks: "about 1 min 05 s left", from the pace
    // since `doneAtStart` blocks `elapsedMs` ago; empty until there is a pace to go by.
    static QString timeLeftText(std::uint32_t done, std::uint32_t total, std::uint32_t doneAtStart,
                                qint64 elapsedMs);
    // Why the MIDI ports cannot be taken now (the editor searches or downloads with them), or
    // an empty text when they can: asked by Start. The editor's window sets it.
    void setPortsBusyCheck(std::function<QString()> check) { portsBusy_ = std::move(check); }
    // For tests: the clock the time left is measured with (milliseconds).
    void setClock(std::function<qint64()> clock) { clock_ = std::move(clock); }

    Ui::UpgradeUI ui;

public slots:
    void UpgradeWinShow();
    void ComLoadFile();
    void OnFirmwareUpgrade();
    // One report of the worker as a code (ConnectThread::Report), a number and a text; the
    // dialog follows the worker's typed signals, which say the same.
    void updataUISlot(uint comp, uint val, char* str);

protected:
    void reject() override; // closing the window, Escape

private:
    void addLogLine(const QString& line);
    void showProgress(std::uint32_t done);
    void showVersion(const QString& version);
    // A run begins (Start goes off) or has ended (Start comes back on).
    void showRunning(bool running);

    QPointer<QMessageBox> stopQuestion_;
    std::vector<std::function<void()>> afterStop_;
    std::function<qint64()> clock_;
    std::function<QString()> portsBusy_;
    // The pace of the current run: blocks done and the time at its first progress report.
    bool paceStarted_ = false;
    std::uint32_t paceBlocks_ = 0;
    qint64 paceStartMs_ = 0;
};
