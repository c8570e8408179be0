// The window's link and transfer commands: the connection at start-up, the download of the
// whole preset, the upload request and the dump that answers it.
#include "korvalen49_test.h"

#include "diagnostics.h"
#include "edithistory.h"
#include "midi.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "upgrade.h"

#include <QMessageBox>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kBadRecordTimeoutMs = 5000;

QString notConnectedText(const QString& what) {
    return QObject::tr("%1 failed: the controller is not connected. Connect it and choose "
                       "Menu > ReConnect.")
        .arg(what);
}

QString lostText(const QString& what) {
    return QObject::tr("%1 failed: the controller is gone (its MIDI ports have vanished). "
                       "Plug it in and choose Menu > ReConnect.")
        .arg(what);
}

} // namespace

bool Korvalen49_Test::controllerReady(const QString& command, const QString& action) {
    QString failure;
    const auto state = connection.state();
    if (state == ControllerConnection::State::Searching) {
        failure = tr("%1 failed: the editor is searching for the controller. Try again when the "
                     "search has ended.")
                      .arg(action);
    } else if (downloadJob) {
        failure = tr("%1 failed: a download to the controller is still under way. Try again "
                     "when it has ended.")
                      .arg(action);
    } else if (state == ControllerConnection::State::Lost || !connection.controllerPresent()) {
        // controllerPresent() marks a controller whose ports have vanished as lost.
        failure = connection.state() == ControllerConnection::State::Lost
                      ? lostText(action)
                      : notConnectedText(action);
    }
    if (failure.isEmpty()) return true;
    showFailure(command, failure);
    return false;
}

void Korvalen49_Test::showFailure(const QString& command, const QString& text) {
    statusBar()->showMessage(text, kResultTimeoutMs);
    if (!command.isEmpty()) tellInBox(QStringLiteral("failureBox"), command, text, true);
}

void Korvalen49_Test::tellInBox(const QString& objectName, const QString& title,
                                const QString& text, bool warning) {
    auto* box = new QMessageBox(warning ? QMessageBox::Warning : QMessageBox::Information, title,
                                text, QMessageBox::Ok, this);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void Korvalen49_Test::DataInSlot(uint) {}

void Korvalen49_Test::SysInSlot(uint) {}

void Korvalen49_Test::DownLoadSlot() {
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Warning"),
                                QStringLiteral("Download to Korvalen,are you sure?"),
                                QMessageBox::Ok | QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("downloadQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box] {
        if (box->clickedButton() == box->button(QMessageBox::Ok)) download();
    });
    box->open();
}

Korvalen49_Test::RunningDownload::~RunningDownload() {
    if (!worker.joinable()) return;
    stop.requestStop();
    worker.join();
}

bool Korvalen49_Test::download(bool snapshotFirst) {
    const QString command = tr("Download");
    // A download never goes out while an upload arrives: it waits for the upload's end and
    // takes the values as they are then.
    if (connection.uploading()) {
        if (connection.waiting().contains(command)) {
            statusBar()->showMessage(tr("Download to Korvalen is already waiting for the upload "
                                        "from the controller to end."),
                                     kResultTimeoutMs);
            return false;
        }
        connection.whenFree(command, [this, snapshotFirst] { download(snapshotFirst); });
        statusBar()->showMessage(tr("Download to Korvalen waits for the upload from the "
                                    "controller to end; it sends the values as they are then."),
                                 kResultTimeoutMs);
        return true;
    }
    if (!controllerReady(command, tr("Download to Korvalen"))) return false;
    auto& globals = korvalen::presetGlobals;
    const unsigned char presetNumber = globals[korvalen::global::kPresetNumber];
    if (!korvalen::isSendablePresetNumber(presetNumber)) {
        showFailure(command,
                    tr("Download to Korvalen refused: the preset number P%1 cannot be sent to "
                       "the controller, which takes numbers up to P%2. Upload a preset from the "
                       "controller, or load a preset file, and download again.")
                        .arg(presetNumber + 1)
                        .arg(korvalen::kMaxSendablePresetNumber + 1));
        return false;
    }

    const korvalen::PresetValues values = currentPresetValues();
    globals[korvalen::global::kZoneBits] = korvalen::downloadZoneBits(values);
    if (!connection.claimForTransfer()) {
        showFailure(command, notConnectedText(tr("Download to Korvalen")));
        return false;
    }
    auto job = std::make_unique<RunningDownload>();
    job->presetNumber = presetNumber;
    job->sent = takePresetSnapshot();
    job->snapshotFirst = snapshotFirst;
    RunningDownload* running = job.get();
    downloadJob = std::move(job);
    updateCommands();

    // A controller that keeps up takes the download in well under a second: the progress
    // window is made and shown only for one that lasts.
    QTimer::singleShot(kDownloadProgressDelayMs, this, [this, running] {
        if (downloadJob.get() == running) openDownloadProgress();
    });

    korvalen::SendPace& pace = korvalen::SendPace::forController(midiLink.controllerOutputName());
    running->worker = std::thread([this, running, values, presetNumber, &pace] {
        korvalen::PresetTransfer transfer(
            [](const std::uint8_t* data, std::uint32_t length) {
                return midiLink.sendSysEx(data, length);
            },
            midiLink.sysExRing, running->stop, pace);
        if (!snapshotBeforeDownload(*running, transfer)) {
            QMetaObject::invokeMethod(this, "finishDownload", Qt::QueuedConnection);
            return;
        }
        // The reports go through the job's own lock and a call by name: what the thread hands
        // over is never in a queued call's arguments.
        transfer.setProgressHandler([this, running](const korvalen::PresetTransfer::Progress& p) {
            {
                std::lock_guard lock(running->progressMutex);
                running->posted = p;
            }
            QMetaObject::invokeMethod(this, "downloadProgressed", Qt::QueuedConnection);
        });
        running->result = transfer.download(values, presetNumber);
        // Read after the thread has been joined.
        QMetaObject::invokeMethod(this, "finishDownload", Qt::QueuedConnection);
    });
    return true;
}

void Korvalen49_Test::openDownloadProgress() {
    if (!downloadJob) return;
    if (!downloadProgress) {
        downloadProgress = new QProgressDialog(this);
        downloadProgress->setObjectName(QStringLiteral("downloadProgress"));
        downloadProgress->setWindowTitle(tr("Download"));
        downloadProgress->setWindowModality(Qt::NonModal);
        downloadProgress->setAutoClose(false);
        downloadProgress->setAutoReset(false);
        downloadProgress->setMinimumDuration(0);
    }
    RunningDownload* running = downloadJob.get();
    // Disconnected when the download ends (finishDownload).
    connect(downloadProgress, &QProgressDialog::canceled, this,
            [running] { running->stop.requestStop(); });
    running->shownStep = 0;
    downloadProgress->show();
    if (running->progress.round == 0) // still reading the preset to keep as a snapshot
        downloadProgress->setLabelText(
            tr("Reading P%1 from the Korvalen25 to keep it as a snapshot...")
                .arg(running->presetNumber + 1));
    showDownloadProgress(running->progress);
}

void Korvalen49_Test::downloadProgressed() {
    if (!downloadJob) return;
    korvalen::PresetTransfer::Progress p;
    {
        std::lock_guard lock(downloadJob->progressMutex);
        p = downloadJob->posted;
    }
    showDownloadProgress(p);
}

void Korvalen49_Test::showDownloadProgress(const korvalen::PresetTransfer::Progress& p) {
    if (!downloadJob) return;
    downloadJob->progress = p;
    if (!downloadProgress || !downloadProgress->isVisible()) return;
    downloadProgress->setMaximum(static_cast<int>(std::max<std::size_t>(p.total, 1)));
    downloadProgress->setValue(static_cast<int>(p.sent));
    // The text changes with the step only.
    const int step = p.readingBack ? -p.round : p.round;
    if (step == downloadJob->shownStep) return;
    downloadJob->shownStep = step;
    const int number = downloadJob->presetNumber + 1;
    if (p.readingBack)
        downloadProgress->setLabelText(
            tr("Reading P%1 back from the Korvalen25 to check it...").arg(number));
    else if (p.round <= 1)
        downloadProgress->setLabelText(tr("Downloading P%1 to the Korvalen25...").arg(number));
    else
        downloadProgress->setLabelText(
            tr("Some of P%1 did not arrive. Sending it again, more slowly (round %2)...")
                .arg(number)
                .arg(p.round));
}

// The job is over: the ports go back to the connection and the progress window away.
void Korvalen49_Test::endDownloadJob() {
    downloadJob.reset();
    connection.releaseTransfer();
    updateCommands();
    if (downloadProgress) {
        downloadProgress->disconnect(this);
        downloadProgress->reset();
        downloadProgress->hide();
    }
}

void Korvalen49_Test::finishDownload() {
    if (!downloadJob) return;
    downloadJob->worker.join();
    if (downloadJob->readDone) {
        // A read of a stored preset, not a download.
        const auto job = std::move(downloadJob);
        connection.releaseTransfer();
        updateCommands();
        job->readDone(job->readResult, job->read);
        return;
    }
    if (downloadJob->snapshotFirst && !downloadJob->snapshot.ok()) {
        const korvalen::SnapshotResult snapshot = downloadJob->snapshot;
        const int presetNumber = downloadJob->presetNumber;
        endDownloadJob();
        if (closeWhenDownloaded)
            closeAfterDownload(tr("Nothing was downloaded: P%1 could not be kept as a snapshot "
                                  "first. P%1 on the controller was not changed.")
                                   .arg(presetNumber + 1));
        else
            askToDownloadWithoutSnapshot(snapshot, presetNumber);
        emit downloadFinished(false);
        return;
    }
    const korvalen::DownloadResult result = downloadJob->result;
    const int number = downloadJob->presetNumber + 1;
    // Edits made while the download ran did not go out.
    const bool editedMeanwhile = takePresetSnapshot() != downloadJob->sent;
    endDownloadJob();

    using Status = korvalen::DownloadResult::Status;
    const QString command = tr("Download");
    if (result.status == Status::Confirmed) {
        statusBar()->showMessage(QStringLiteral("Download to Korvalen OK"), kResultTimeoutMs);
        if (!editedMeanwhile) history->markInStep(EditHistory::Source::Controller);
        if (closeWhenDownloaded)
            closeAfterDownload(tr("Download to Korvalen OK: P%1 on the controller now holds "
                                  "the preset that was sent.")
                                   .arg(number));
        emit downloadFinished(true);
        return;
    }
    // What may have changed on the controller.
    const QString aftermath = result.endSent
                                  ? tr("P%1 on the controller may now be incomplete.").arg(number)
                                  : tr("P%1 on the controller was not changed.").arg(number);
    QString text;
    if (result.status != Status::Differs && !midiLink.controllerPortsPresent()) {
        controllerLost();
        text = lostText(tr("Download to Korvalen")) + QLatin1Char(' ') + aftermath;
    } else if (result.status == Status::Stopped) {
        text = tr("Download to Korvalen stopped. %1").arg(aftermath);
    } else if (result.status == Status::SendFailed) {
        text = tr("Download to Korvalen failed: the controller did not take the preset. %1 "
                  "Check the connection and try again.")
                   .arg(aftermath);
    } else if (result.status == Status::NotConfirmed) {
        text = tr("Download to Korvalen sent, not confirmed: the controller did not send P%1 "
                  "back to check it, so it may not have stored it. Check the controller and "
                  "download again.")
                   .arg(number);
    } else {
        // Fields that arrive at no speed are named apart: sending more slowly does not help.
        auto listOf = [&result](bool notTakenOnes) {
            QStringList fields;
            for (const korvalen::FieldDifference& d : result.shortfall) {
                const bool notTaken = std::find(result.notTaken.begin(), result.notTaken.end(),
                                                d) != result.notTaken.end();
                if (notTaken == notTakenOnes)
                    fields << QString::fromStdString(korvalen::fieldName(d.field));
            }
            const int shown = 8;
            QString list = fields.mid(0, shown).join(QStringLiteral("; "));
            if (fields.size() > shown) list += tr(" and %1 more").arg(fields.size() - shown);
            return list;
        };
        const QString slow = listOf(false);
        const QString never = listOf(true);
        if (never.isEmpty())
            text = tr("Download to Korvalen failed: after %1 tries, each slower than the one "
                      "before, these did not arrive on the controller: %2. %3 Check the "
                      "connection and download again.")
                       .arg(result.rounds)
                       .arg(slow, aftermath);
        else if (slow.isEmpty())
            text = tr("Download to Korvalen failed: after %1 tries, each slower than the one "
                      "before, these did not take on the controller: %2. The rest arrived, so "
                      "speed is not the cause. %3 Check these values on the controller and "
                      "download again.")
                       .arg(result.rounds)
                       .arg(never, aftermath);
        else
            text = tr("Download to Korvalen failed: after %1 tries, each slower than the one "
                      "before, these did not arrive on the controller: %2. These did not take "
                      "on the controller at any speed: %3. %4 Check the connection and these "
                      "values, and download again.")
                       .arg(result.rounds)
                       .arg(slow, never, aftermath);
    }
    if (closeWhenDownloaded) {
        statusBar()->showMessage(text, kResultTimeoutMs);
        closeAfterDownload(text);
    } else {
        showFailure(command, text);
    }
    emit downloadFinished(false);
}

void Korvalen49_Test::uploadSlot() {
    QDialog& dialog = uploadDialog();
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

void Korvalen49_Test::uploadAccept() {
    const int index = uploadForm().presetSelBox->currentIndex();
    if (index < 0) return;
    // Asked only when the request can go out: one that cannot replaces nothing.
    const bool canGoOut = connection.state() == ControllerConnection::State::Connected;
    const int presetNumber = index == 0 ? 0 : index + 15;
    auto go = [this, presetNumber] { requestUpload(presetNumber, tr("Upload")); };
    if (!canGoOut) {
        go();
        return;
    }
    mayReplaceEdits(tr("Upload"),
                    tr("Uploading \"%1\"").arg(uploadForm().presetSelBox->currentText()), go);
}

Korvalen49_Test::UploadValues::UploadValues(Korvalen49_Test& window)
    : modelSink(
          touched, rejected,
          [&window] {
              window.statusBar()->showMessage(QStringLiteral("upload Error"), kBadRecordTimeoutMs);
          },
          [] {}) {}

bool Korvalen49_Test::requestUpload(int presetNumber, const QString& command) {
    if (!controllerReady(command, tr("Upload"))) return false;
    if (!connection.claimForUpload()) {
        showFailure(command, tr("Upload failed: the MIDI ports are busy with another exchange "
                                "with the controller. Try again when it has ended."));
        return false;
    }
    // A request while an upload is open keeps the values from before the first one.
    if (!upload->request(presetNumber)) {
        showFailure(command, tr("Upload failed: the controller did not take the request. "
                                "Check the connection and try again."));
        if (!upload->isOpen()) {
            uploadValues.kept.reset();
            connection.releaseUpload();
        }
        return false;
    }
    return true;
}

void Korvalen49_Test::SysDataInSlot(unsigned char*, uint len) {
    // A transfer reads the ring on its own thread: it is the ring's one reader then.
    if (downloadJob || connection.transferring()) return;
    if (!upload->isOpen() || len == 0) {
        korvalen::DumpParser::discardAll(midiLink.sysExRing);
        return;
    }
    switch (upload->read()) {
    case korvalen::PresetUpload::Read::Open:
        break;
    case korvalen::PresetUpload::Read::Ended:
        finishUpload();
        break;
    case korvalen::PresetUpload::Read::Retrying:
        statusBar()->showMessage(tr("Part of the preset from the controller was lost. Asking "
                                    "for it again (%1 of %2)...")
                                     .arg(upload->retries())
                                     .arg(korvalen::PresetUpload::kRetries),
                                 kResultTimeoutMs);
        break;
    case korvalen::PresetUpload::Read::Damaged:
        abandonUpload(tr("Upload failed: part of the preset from the controller was lost, "
                         "%1 times. The values from before the upload are back; check the "
                         "connection and try again.")
                          .arg(korvalen::PresetUpload::kRetries + 1));
        break;
    }
}

void Korvalen49_Test::finishUpload() {
    applyZonesFromGlobals(korvalen::presetGlobals);
    if (upload->rejectedRecords() == 0)
        statusBar()->showMessage(QStringLiteral("Upload OK!"), kResultTimeoutMs);
    else
        statusBar()->showMessage(tr("Upload finished, but %n record(s) from the controller were "
                                    "out of range and skipped; those controls kept their values.",
                                    nullptr, upload->rejectedRecords()),
                                 kResultTimeoutMs);
    RefreshTitle();
    korvalen::noteTransfer("upload of preset " + std::to_string(korvalen::presetGlobals[0]),
                           upload->rejectedRecords() == 0
                               ? "done"
                               : "done, " + std::to_string(upload->rejectedRecords()) +
                                     " record(s) out of range skipped");
    upload->finish();
    if (uploadValues.kept) history->replaced(*uploadValues.kept, tr("Upload"));
    history->markInStep(EditHistory::Source::Controller);
    uploadValues.kept.reset();
    connection.releaseUpload();
}

void Korvalen49_Test::abandonUpload(const QString& reason) {
    if (!upload->isOpen()) return;
    korvalen::noteTransfer("upload", reason.toStdString());
    // The values from before the request come back if the dump had changed any.
    upload->abandon();
    uploadValues.kept.reset();
    history->resync();
    RefreshTitle();
    showFailure(QString(), reason);
    connection.releaseUpload();
}

void Korvalen49_Test::uploadTimedOut() {
    abandonUpload(tr("Upload failed: the controller did not finish sending the preset. The "
                     "values from before the upload are back."));
}
