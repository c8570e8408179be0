// What a download replaces is kept: before the download goes out, its thread reads the preset
// stored under the same number and keeps it as a snapshot. A snapshot that could not be kept
// stops the download, and a question that does not wait for its answer offers to download
// without one. Also here: a stored preset read on the same kind of thread, for a comparison.
#include "korvalen49_test.h"

#include "midi.h"
#include "presethistory.h"

#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace {

QString readFailureText(const korvalen::ReadResult& r) {
    using Status = korvalen::ReadResult::Status;
    switch (r.status) {
    case Status::Done:
        break;
    case Status::SendFailed:
        return Korvalen49_Test::tr("the controller's MIDI port did not take the request");
    case Status::NoAnswer:
        return Korvalen49_Test::tr("the controller did not answer");
    case Status::Cut:
        return Korvalen49_Test::tr("the controller stopped sending before the end");
    case Status::Damaged:
        return Korvalen49_Test::tr("part of what the controller sent was lost");
    case Status::BadRecords:
        return Korvalen49_Test::tr("the controller sent %n value(s) out of range", nullptr,
                                   r.badRecords);
    case Status::Incomplete:
        return Korvalen49_Test::tr("the controller sent nothing for %1")
            .arg(QString::fromStdString(r.missing));
    case Status::OtherPreset:
        return Korvalen49_Test::tr("the controller sent another preset");
    case Status::Stopped:
        return Korvalen49_Test::tr("it was stopped");
    }
    return {};
}

} // namespace

bool Korvalen49_Test::snapshotBeforeDownload(RunningDownload& job,
                                             korvalen::PresetTransfer& transfer) {
    if (!job.snapshotFirst) return true;
    job.snapshot = korvalen::takeSnapshot(transfer, job.presetNumber, korvalen::PresetHistory());
    return job.snapshot.ok();
}

void Korvalen49_Test::askToDownloadWithoutSnapshot(const korvalen::SnapshotResult& snapshot,
                                                   int presetNumber) {
    const int shown = presetNumber + 1;
    using Status = korvalen::ReadResult::Status;
    if (snapshot.read.status == Status::Stopped) {
        showFailure(QString(), tr("Download to Korvalen stopped. P%1 on the controller was not "
                                  "changed.")
                                   .arg(shown));
        return;
    }
    // A controller that takes no message, or is gone, would take no download either.
    if (!midiLink.controllerPortsPresent()) {
        controllerLost();
        showFailure(tr("Download"),
                    tr("Download to Korvalen failed: the controller is gone (its MIDI ports have "
                       "vanished). Plug it in and choose Menu > ReConnect. P%1 on the controller "
                       "was not changed.")
                        .arg(shown));
        return;
    }
    if (snapshot.read.status == Status::SendFailed) {
        showFailure(tr("Download"),
                    tr("Download to Korvalen failed: the controller did not take the preset. P%1 "
                       "on the controller was not changed. Check the connection and try again.")
                        .arg(shown));
        return;
    }
    const QString why = snapshot.read.ok() ? snapshot.writeError : readFailureText(snapshot.read);
    delete snapshotBox;
    snapshotBox = new QMessageBox(QMessageBox::Warning, tr("Download"),
                                  tr("Nothing was downloaded: P%1 could not be kept as a snapshot "
                                     "before it is replaced (%2). Download without a snapshot? "
                                     "What P%1 holds now is then lost.")
                                      .arg(shown)
                                      .arg(why),
                                  QMessageBox::Cancel, this);
    snapshotBox->setObjectName(QStringLiteral("snapshotQuestion"));
    QPushButton* anyway =
        snapshotBox->addButton(tr("Download without snapshot"), QMessageBox::AcceptRole);
    anyway->setObjectName(QStringLiteral("downloadWithoutSnapshot"));
    snapshotBox->setDefaultButton(QMessageBox::Cancel);
    snapshotBox->setAttribute(Qt::WA_DeleteOnClose);
    connect(snapshotBox, &QMessageBox::buttonClicked, this, [this, anyway](QAbstractButton* b) {
        snapshotBox = nullptr;
        if (b == anyway) QTimer::singleShot(0, this, [this] { download(false); });
    });
    connect(snapshotBox, &QObject::destroyed, this, [this, box = snapshotBox] {
        if (snapshotBox == box) snapshotBox = nullptr;
    });
    statusBar()->showMessage(tr("Download to Korvalen: nothing sent, P%1 could not be kept as a "
                                "snapshot.")
                                 .arg(shown),
                             kResultTimeoutMs);
    snapshotBox->open();
}

bool Korvalen49_Test::readControllerPreset(int number, const QString& command, ReadDone done) {
    // The read waits for an upload that is arriving: the dump is the upload's, not the read's.
    if (connection.uploading()) {
        connection.whenFree(command, [this, number, command, done = std::move(done)] {
            readControllerPreset(number, command, done);
        });
        statusBar()->showMessage(
            tr("Reading P%1 from the controller waits for the upload from the controller to end.")
                .arg(number + 1, 2, 10, QLatin1Char('0')),
            kResultTimeoutMs);
        return true;
    }
    if (!controllerReady(
            command,
            tr("Reading P%1 from the controller").arg(number + 1, 2, 10, QLatin1Char('0'))))
        return false;
    if (!connection.claimForTransfer()) return false;
    auto job = std::make_unique<RunningDownload>();
    job->presetNumber = number;
    job->readDone = std::move(done);
    RunningDownload* running = job.get();
    downloadJob = std::move(job);
    running->worker = std::thread([this, running, number] {
        korvalen::PresetTransfer transfer(
            [](const std::uint8_t* data, std::uint32_t length) {
                return midiLink.sendSysEx(data, length);
            },
            midiLink.sysExRing, running->stop);
        running->readResult = transfer.readPreset(number, running->read);
        QMetaObject::invokeMethod(this, "finishDownload", Qt::QueuedConnection);
    });
    return true;
}
