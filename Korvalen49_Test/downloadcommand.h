// The download of the editor's preset to the controller, on a thread of its own, with the
// snapshot of the preset it replaces taken first, its progress window and its result; and the
// read of a stored preset (for a comparison), which runs the same way.
#pragma once

#include "presethistory.h"
#include "presetmodel.h"
#include "presettransfer.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class CommandHost;
class ControllerConnection;
class QMessageBox;
class QProgressDialog;

class DownloadCommand : public QObject {
    Q_OBJECT

public:
    // A download that is still going this long after it began shows its progress window.
    static constexpr int kProgressDelayMs = 1000;

    DownloadCommand(CommandHost& host, ControllerConnection& connection, QObject* parent = nullptr);
    // A job not finished is stopped and waited for.
    ~DownloadCommand() override;

    // The download without its confirmation box. It runs on a thread of its own: the preset
    // goes out at the pace kept for this run, is read back from the controller and what did
    // not arrive is sent again, more slowly, for a few rounds; finished() tells the end, and
    // "Download to Korvalen OK" is shown only when the read-back matched. False (and the
    // failure shown) when nothing was sent: the controller is not connected, is gone, is busy,
    // or the preset number cannot be sent. Before the download, on its thread, the preset it
    // replaces is read and kept as a snapshot (presethistory.h); when that fails nothing is
    // sent and snapshotQuestion() asks whether to download without one (`snapshotFirst` false).
    bool download(bool snapshotFirst = true);
    // The question before a download ("Download to Korvalen,are you sure?"), in a box that
    // does not wait: `yes` runs when the user says OK, `no` (when given) otherwise. Menu >
    // DownLoad and the library's Download ask it alike.
    void askToDownload(std::function<void()> yes, std::function<void()> no = {});
    // Reads stored preset `number` from the controller on a thread, as a download runs, and
    // hands the result to `done` on this object's thread. False (and the failure shown under
    // `command`) when the controller is not ready.
    using ReadDone = std::function<void(const korvalen::ReadResult&, const korvalen::Preset&)>;
    bool readControllerPreset(int number, const QString& command, ReadDone done);

    // A download or a read is running (it holds the link's ring).
    bool isRunning() const { return job_ != nullptr; }
    // A download, not a read, is running.
    bool isDownloading() const { return job_ && !job_->readDone; }
    // The preset number of the running job.
    int presetNumber() const { return job_ ? job_->presetNumber : -1; }
    // The download's window of progress while one has lasted a second (nullptr otherwise).
    QProgressDialog* progressWindow() const { return progress_; }
    // The question after a snapshot that could not be kept, while it is open.
    QMessageBox* snapshotQuestion() const { return snapshotBox_; }
    // What the running download ends with goes to `taker` (once) instead of a failure box or
    // the question after a snapshot that could not be kept: the window closes after it.
    void tellEndTo(std::function<void(const QString& outcome)> taker) {
        endTaker_ = std::move(taker);
    }
    // Stops a running job, waits for its thread and lets its ports go, without a result.
    void stopNow();

signals:
    // A download has begun or ended: the commands that use the ports follow.
    void runningChanged();
    // A download has ended: true when the controller was read back holding the preset as it
    // was sent.
    void finished(bool confirmed);

private slots:
    // Called by name from the job's thread, queued on this object's thread: the latest
    // progress of a download, its end.
    void progressed();
    void finishJob();

private:
    // A download on its thread; the thread owns the link's ring until it has ended.
    struct Job {
        Job() = default;
        Job(const Job&) = delete;
        Job& operator=(const Job&) = delete;
        ~Job(); // a job not finished is stopped and waited for
        korvalen::midi::StopToken stop;
        std::thread worker;
        korvalen::DownloadResult result;
        int presetNumber = 0;
        int shownStep = 0;                           // the step the progress window's text tells
        korvalen::PresetTransfer::Progress progress; // the latest report shown
        std::mutex progressMutex;
        korvalen::PresetTransfer::Progress posted; // the latest report of the thread
        // Set when the progress window opens: only then does a report wake the window's thread.
        std::atomic<bool> watched{false};
        PresetSnapshot sent; // the editor's values that went out
        // The snapshot before the download.
        bool snapshotFirst = true;
        korvalen::SnapshotResult snapshot;
        // A job that only reads a stored preset: what it read, and who takes it.
        ReadDone readDone;
        korvalen::ReadResult readResult;
        korvalen::Preset read;
    };
    // On the download's thread: the snapshot of the preset the download replaces. False when
    // it could not be kept: the download does not go on.
    static bool snapshotBeforeDownload(Job& job, korvalen::PresetTransfer& transfer);
    // After a snapshot that could not be kept: asks, without waiting, whether to download
    // without one.
    void askToDownloadWithoutSnapshot(const korvalen::SnapshotResult& snapshot, int presetNumber);
    void showProgress(const korvalen::PresetTransfer::Progress& progress);
    // The progress window, made and shown when a download has lasted a second.
    void openProgress();
    // A job has ended: its ports and its progress window are let go.
    void endJob();
    // The outcome goes to the taker when there is one; true when it took it.
    bool handToTaker(const QString& outcome);

    CommandHost& host_;
    ControllerConnection& connection_;
    std::unique_ptr<Job> job_;
    QProgressDialog* progress_ = nullptr;
    QMessageBox* snapshotBox_ = nullptr;
    std::function<void(const QString&)> endTaker_;
};
