#include "downloadcommand.h"

#include "commandhost.h"
#include "controllerconnection.h"
#include "controllerready.h"
#include "coretext.h"
#include "edithistory.h"
#include "midi.h"
#include "presetprotocol.h"

#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

QString readFailureText(const korvalen::ReadResult& r) {
    using Status = korvalen::ReadResult::Status;
    switch (r.status) {
    case Status::Done:
        break;
    case Status::SendFailed:
        return DownloadCommand::tr("the controller's MIDI port did not take the request");
    case Status::NoAnswer:
        return DownloadCommand::tr("the controller did not answer");
    case Status::Cut:
        return DownloadCommand::tr("the controller stopped sending before the end");
    case Status::Damaged:
        return DownloadCommand::tr("part of what the controller sent was lost");
    case Status::BadRecords:
        return DownloadCommand::tr("the controller sent %n value(s) out of range", nullptr,
                                   r.badRecords);
    case Status::Incomplete:
        return DownloadCommand::tr("the controller sent nothing for %1")
            .arg(QString::fromStdString(r.missing));
    case Status::OtherPreset:
        return DownloadCommand::tr("the controller sent another preset");
    case Status::Stopped:
        return DownloadCommand::tr("it was stopped");
    }
    return {};
}

} // namespace

DownloadCommand::DownloadCommand(CommandHost& host, ControllerConnection& connection,
                                 QObject* parent)
    : QObject(parent), host_(host), connection_(connection) {}

DownloadCommand::~DownloadCommand() {
    stopNow();
}

DownloadCommand::Job::~Job() {
    if (!worker.joinable()) return;
    stop.requestStop();
    worker.join();
}

void DownloadCommand::stopNow() {
    job_.reset();
    connection_.releaseTransfer();
}

bool DownloadCommand::handToTaker(const QString& outcome) {
    if (!endTaker_) return false;
    const auto taker = std::exchange(endTaker_, {});
    taker(outcome);
    return true;
}

void DownloadCommand::askToDownload(std::function<void()> yes, std::function<void()> no) {
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Warning"),
                                tr("Download to Korvalen,are you sure?"),
                                QMessageBox::Ok | QMessageBox::Cancel, host_.dialogParent());
    box->setObjectName(QStringLiteral("downloadQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [box, yes = std::move(yes), no = std::move(no)] {
        if (box->clickedButton() == box->button(QMessageBox::Ok)) {
            if (yes) yes();
        } else if (no) {
            no();
        }
    });
    box->open();
}

bool DownloadCommand::download(bool snapshotFirst) {
    const QString command = tr("Download");
    // A download never goes out while an upload arrives: it waits for the upload's end and
    // takes the values as they are then.
    if (connection_.uploading()) {
        if (connection_.waiting().contains(command)) {
            host_.showStatus(tr("Download to Korvalen is already waiting for the upload from the "
                                "controller to end."));
            return false;
        }
        connection_.whenFree(command, [this, snapshotFirst] { download(snapshotFirst); });
        host_.showStatus(tr("Download to Korvalen waits for the upload from the controller to "
                            "end; it sends the values as they are then."));
        return true;
    }
    if (!transfercheck::controllerReady(host_, connection_, command, tr("Download to Korvalen")))
        return false;
    auto& globals = korvalen::presetGlobals;
    const unsigned char presetNumber = globals[korvalen::global::kPresetNumber];
    if (!korvalen::isSendablePresetNumber(presetNumber)) {
        host_.showFailure(command,
                          tr("Download to Korvalen refused: the preset number P%1 cannot be sent "
                             "to the controller, which takes numbers up to P%2. Upload a preset "
                             "from the controller, or load a preset file, and download again.")
                              .arg(presetNumber + 1)
                              .arg(korvalen::kMaxSendablePresetNumber + 1));
        return false;
    }

    const korvalen::PresetValues values = currentPresetValues();
    globals[korvalen::global::kZoneBits] = korvalen::downloadZoneBits(values);
    if (!connection_.claimForTransfer()) {
        host_.showFailure(command, transfercheck::notConnectedText(tr("Download to Korvalen")));
        return false;
    }
    auto job = std::make_unique<Job>();
    job->presetNumber = presetNumber;
    job->sent = takePresetSnapshot();
    job->snapshotFirst = snapshotFirst;
    Job* running = job.get();
    job_ = std::move(job);
    emit runningChanged();

    // A controller that keeps up takes the download in well under a second: the progress
    // window is made and shown only for one that lasts.
    QTimer::singleShot(kProgressDelayMs, this, [this, running] {
        if (job_.get() == running) openProgress();
    });

    korvalen::SendPace& pace = korvalen::SendPace::forController(midiLink.controllerOutputName());
    running->worker = std::thread([this, running, values, presetNumber, &pace] {
        korvalen::PresetTransfer transfer(
            [](const std::uint8_t* data, std::uint32_t length) {
                return midiLink.sendSysEx(data, length);
            },
            midiLink.sysExRing, running->stop, pace);
        if (!snapshotBeforeDownload(*running, transfer)) {
            QMetaObject::invokeMethod(this, "finishJob", Qt::QueuedConnection);
            return;
        }
        // The reports go through the job's own lock and a call by name: what the thread hands
        // over is never in a queued call's arguments. Before the progress window opens, nobody
        // shows them: the window takes the latest when it opens, and a download that ends
        // before then wakes the window's thread once, at its end.
        transfer.setProgressHandler([this, running](const korvalen::PresetTransfer::Progress& p) {
            {
                std::lock_guard lock(running->progressMutex);
                running->posted = p;
            }
            if (running->watched.load())
                QMetaObject::invokeMethod(this, "progressed", Qt::QueuedConnection);
        });
        running->result = transfer.download(values, presetNumber);
        // Read after the thread has been joined.
        QMetaObject::invokeMethod(this, "finishJob", Qt::QueuedConnection);
    });
    return true;
}

bool DownloadCommand::snapshotBeforeDownload(Job& job, korvalen::PresetTransfer& transfer) {
    if (!job.snapshotFirst) return true;
    job.snapshot = korvalen::takeSnapshot(transfer, job.presetNumber, korvalen::PresetHistory());
    return job.snapshot.ok();
}

void DownloadCommand::openProgress() {
    if (!job_) return;
    if (!progress_) {
        progress_ = new QProgressDialog(host_.dialogParent());
        progress_->setObjectName(QStringLiteral("downloadProgress"));
        progress_->setWindowTitle(tr("Download"));
        progress_->setWindowModality(Qt::NonModal);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        progress_->setMinimumDuration(0);
    }
    Job* running = job_.get();
    // Disconnected when the download ends (endJob).
    connect(progress_, &QProgressDialog::canceled, this,
            [running] { running->stop.requestStop(); });
    running->shownStep = 0;
    // From now on every report comes; the ones before are summed up by the latest.
    running->watched.store(true);
    {
        std::lock_guard lock(running->progressMutex);
        running->progress = running->posted;
    }
    progress_->show();
    if (running->progress.round == 0) // still reading the preset to keep as a snapshot
        progress_->setLabelText(tr("Reading P%1 from the Korvalen25 to keep it as a snapshot...")
                                    .arg(running->presetNumber + 1));
    showProgress(running->progress);
}

void DownloadCommand::progressed() {
    if (!job_) return;
    korvalen::PresetTransfer::Progress p;
    {
        std::lock_guard lock(job_->progressMutex);
        p = job_->posted;
    }
    showProgress(p);
}

void DownloadCommand::showProgress(const korvalen::PresetTransfer::Progress& p) {
    if (!job_) return;
    job_->progress = p;
    if (!progress_ || !progress_->isVisible()) return;
    progress_->setMaximum(static_cast<int>(std::max<std::size_t>(p.total, 1)));
    progress_->setValue(static_cast<int>(p.sent));
    // The text changes with the step only.
    const int step = p.readingBack ? -p.round : p.round;
    if (step == job_->shownStep) return;
    job_->shownStep = step;
    const int number = job_->presetNumber + 1;
    if (p.readingBack)
        progress_->setLabelText(
            tr("Reading P%1 back from the Korvalen25 to check it...").arg(number));
    else if (p.round <= 1)
        progress_->setLabelText(tr("Downloading P%1 to the Korvalen25...").arg(number));
    else
        progress_->setLabelText(
            tr("Some of P%1 did not arrive. Sending it again, more slowly (round %2)...")
                .arg(number)
                .arg(p.round));
}

// The job is over: the ports go back to the connection and the progress window away.
void DownloadCommand::endJob() {
    job_.reset();
    connection_.releaseTransfer();
    emit runningChanged();
    if (progress_) {
        progress_->disconnect(this);
        progress_->reset();
        progress_->hide();
    }
}

void DownloadCommand::finishJob() {
    if (!job_) return;
    job_->worker.join();
    if (job_->readDone) {
        // A read of a stored preset, not a download.
        const auto job = std::move(job_);
        connection_.releaseTransfer();
        emit runningChanged();
        job->readDone(job->readResult, job->read);
        return;
    }
    if (job_->snapshotFirst && !job_->snapshot.ok()) {
        const korvalen::SnapshotResult snapshot = job_->snapshot;
        const int presetNumber = job_->presetNumber;
        endJob();
        if (!handToTaker(tr("Nothing was downloaded: P%1 could not be kept as a snapshot first. "
                            "P%1 on the controller was not changed.")
                             .arg(presetNumber + 1)))
            askToDownloadWithoutSnapshot(snapshot, presetNumber);
        emit finished(false);
        return;
    }
    const korvalen::DownloadResult result = job_->result;
    const int number = job_->presetNumber + 1;
    // Edits made while the download ran did not go out.
    const bool editedMeanwhile = takePresetSnapshot() != job_->sent;
    endJob();

    using Status = korvalen::DownloadResult::Status;
    const QString command = tr("Download");
    if (result.status == Status::Confirmed) {
        host_.showStatus(tr("Download to Korvalen OK"));
        if (!editedMeanwhile) host_.editHistory().markInStep(EditHistory::Source::Controller);
        handToTaker(tr("Download to Korvalen OK: P%1 on the controller now holds the preset "
                       "that was sent.")
                        .arg(number));
        emit finished(true);
        return;
    }
    // What may have changed on the controller.
    const QString aftermath = result.endSent
                                  ? tr("P%1 on the controller may now be incomplete.").arg(number)
                                  : tr("P%1 on the controller was not changed.").arg(number);
    QString text;
    if (result.status != Status::Differs && !midiLink.controllerPortsPresent()) {
        connection_.markLost();
        text = transfercheck::lostText(tr("Download to Korvalen")) + QLatin1Char(' ') + aftermath;
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
                    fields << korvalen::translated(korvalen::fieldNameText(d.field));
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
    if (endTaker_) {
        host_.showStatus(text);
        handToTaker(text);
    } else {
        host_.showFailure(command, text);
    }
    emit finished(false);
}

void DownloadCommand::askToDownloadWithoutSnapshot(const korvalen::SnapshotResult& snapshot,
                                                   int presetNumber) {
    const int shown = presetNumber + 1;
    using Status = korvalen::ReadResult::Status;
    if (snapshot.read.status == Status::Stopped) {
        host_.showFailure(QString(), tr("Download to Korvalen stopped. P%1 on the controller was "
                                        "not changed.")
                                         .arg(shown));
        return;
    }
    // A controller that takes no message, or is gone, would take no download either.
    if (!midiLink.controllerPortsPresent()) {
        connection_.markLost();
        host_.showFailure(tr("Download"),
                          tr("Download to Korvalen failed: the controller is gone (its MIDI ports "
                             "have vanished). Plug it in and choose Menu > ReConnect. P%1 on the "
                             "controller was not changed.")
                              .arg(shown));
        return;
    }
    if (snapshot.read.status == Status::SendFailed) {
        host_.showFailure(tr("Download"),
                          tr("Download to Korvalen failed: the controller did not take the "
                             "preset. P%1 on the controller was not changed. Check the "
                             "connection and try again.")
                              .arg(shown));
        return;
    }
    const QString why = snapshot.read.ok() ? snapshot.writeError : readFailureText(snapshot.read);
    delete snapshotBox_;
    snapshotBox_ = new QMessageBox(QMessageBox::Warning, tr("Download"),
                                   tr("Nothing was downloaded: P%1 could not be kept as a "
                                      "snapshot before it is replaced (%2). Download without a "
                                      "snapshot? What P%1 holds now is then lost.")
                                       .arg(shown)
                                       .arg(why),
                                   QMessageBox::Cancel, host_.dialogParent());
    snapshotBox_->setObjectName(QStringLiteral("snapshotQuestion"));
    QPushButton* anyway =
        snapshotBox_->addButton(tr("Download without snapshot"), QMessageBox::AcceptRole);
    anyway->setObjectName(QStringLiteral("downloadWithoutSnapshot"));
    snapshotBox_->setDefaultButton(QMessageBox::Cancel);
    snapshotBox_->setAttribute(Qt::WA_DeleteOnClose);
    connect(snapshotBox_, &QMessageBox::buttonClicked, this, [this, anyway](QAbstractButton* b) {
        snapshotBox_ = nullptr;
        if (b == anyway) QTimer::singleShot(0, this, [this] { download(false); });
    });
    connect(snapshotBox_, &QObject::destroyed, this, [this, box = snapshotBox_] {
        if (snapshotBox_ == box) snapshotBox_ = nullptr;
    });
    host_.showStatus(tr("Download to Korvalen: nothing sent, P%1 could not be kept as a "
                        "snapshot.")
                         .arg(shown));
    snapshotBox_->open();
}

bool DownloadCommand::readControllerPreset(int number, const QString& command, ReadDone done) {
    // The read waits for an upload that is arriving: the dump is the upload's, not the read's.
    if (connection_.uploading()) {
        connection_.whenFree(command, [this, number, command, done = std::move(done)] {
            readControllerPreset(number, command, done);
        });
        host_.showStatus(
            tr("Reading P%1 from the controller waits for the upload from the controller to end.")
                .arg(number + 1, 2, 10, QLatin1Char('0')));
        return true;
    }
    if (!transfercheck::controllerReady(
            host_, connection_, command,
            tr("Reading P%1 from the controller").arg(number + 1, 2, 10, QLatin1Char('0'))))
        return false;
    if (!connection_.claimForTransfer()) return false;
    auto job = std::make_unique<Job>();
    job->presetNumber = number;
    job->readDone = std::move(done);
    Job* running = job.get();
    job_ = std::move(job);
    running->worker = std::thread([this, running, number] {
        korvalen::PresetTransfer transfer(
            [](const std::uint8_t* data, std::uint32_t length) {
                return midiLink.sendSysEx(data, length);
            },
            midiLink.sysExRing, running->stop);
        running->readResult = transfer.readPreset(number, running->read);
        QMetaObject::invokeMethod(this, "finishJob", Qt::QueuedConnection);
    });
    return true;
}
