// The window's link and transfer commands: the connection at start-up, the download of the
// whole preset, the upload request and the dump that answers it.
#include "korvalen49_test.h"

#include "edithistory.h"
#include "midi.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "upgrade.h"

#include <QMessageBox>
#include <QStatusBar>

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
    if (searching) {
        failure = tr("%1 failed: the editor is searching for the controller. Try again when the "
                     "search has ended.")
                      .arg(action);
    } else if (!midiLink.editorConnected()) {
        failure = notConnectedText(action);
    } else if (lost || !midiLink.controllerPortsPresent()) {
        controllerLost();
        failure = lostText(action);
    }
    if (failure.isEmpty()) return true;
    showFailure(command, failure);
    return false;
}

void Korvalen49_Test::showFailure(const QString& command, const QString& text) {
    statusBar()->showMessage(text, kResultTimeoutMs);
    if (!command.isEmpty()) QMessageBox::warning(nullptr, command, text);
}

void Korvalen49_Test::DataInSlot(uint) {}

void Korvalen49_Test::SysInSlot(uint) {}

void Korvalen49_Test::DownLoadSlot() {
    const auto answer = QMessageBox::warning(nullptr, QStringLiteral("Warning"),
                                             QStringLiteral("Download to Korvalen,are you sure?"),
                                             QMessageBox::Ok | QMessageBox::Cancel);
    if (answer != QMessageBox::Ok) return;
    download();
}

bool Korvalen49_Test::download() {
    const QString command = tr("Download");
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

    bool sendFailed = false;
    bool vanished = false;
    auto send = [&sendFailed](const std::uint8_t* data, std::size_t length) {
        // After one failed message the rest would fail too; above all the download end
        // message must not store a preset that arrived only in part.
        if (sendFailed) return;
        if (midiLink.sendSysEx(data, static_cast<std::uint32_t>(length)) != 0) sendFailed = true;
    };
    auto beforeEnd = [this, &sendFailed, &vanished] {
        // Some backends take messages for a port that has vanished without a word: look
        // again before saying that the preset went out.
        if (!sendFailed && !midiLink.controllerPortsPresent()) {
            vanished = sendFailed = true;
            controllerLost();
        }
        if (!sendFailed)
            statusBar()->showMessage(QStringLiteral("Download to Korvalen OK"), kResultTimeoutMs);
    };
    globals[korvalen::global::kZoneBits] =
        korvalen::sendDownload(currentPresetValues(), presetNumber, send, beforeEnd);
    if (!sendFailed) {
        history->markInStep(EditHistory::Source::Controller);
        return true;
    }
    showFailure(command, vanished
                             ? lostText(tr("Download to Korvalen"))
                             : tr("Download to Korvalen failed: the controller did not take the "
                                  "preset. Check the connection and try again."));
    return false;
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
    const bool canGoOut = !searching && !lost && midiLink.editorConnected();
    if (canGoOut &&
        !mayReplaceEdits(tr("Upload"),
                         tr("Uploading \"%1\"").arg(uploadForm().presetSelBox->currentText())))
        return;
    requestUpload(index == 0 ? 0 : index + 15, tr("Upload"));
}

bool Korvalen49_Test::requestUpload(int presetNumber, const QString& command) {
    if (!controllerReady(command, tr("Upload"))) return false;
    const auto request = korvalen::uploadRequestMessage(presetNumber);
    if (!uploadPending) {
        // A request while an upload is open keeps the values from before the first one.
        uploadSnapshot = takePresetSnapshot();
        uploadTouched = false;
        uploadRejected = 0;
        // Bytes still unread are no part of this upload (and would crowd its dump).
        midiLink.sysExRing.discardAll();
        uploadDrops = midiLink.sysExRing.drops();
    }
    if (midiLink.sendSysEx(request.data(), request.size()) != 0) {
        showFailure(command, tr("Upload failed: the controller did not take the request. "
                                "Check the connection and try again."));
        if (!uploadPending) uploadSnapshot.reset();
        return false;
    }
    uploadPending = true;
    uploadTimer.start();
    return true;
}

void Korvalen49_Test::SysDataInSlot(unsigned char*, uint len) {
    auto& ring = midiLink.sysExRing;
    if (!uploadPending || len == 0) {
        korvalen::DumpParser::discardAll(ring);
        return;
    }
    uploadTimer.start(); // the time-out counts from the last bytes received
    ModelDumpSink sink(
        uploadTouched, uploadRejected,
        [this] { statusBar()->showMessage(QStringLiteral("upload Error"), kBadRecordTimeoutMs); },
        [this] { finishUpload(); });
    korvalen::DumpParser parser(sink);
    if (parser.parse(ring, uploadDrops) == korvalen::DumpParser::Status::Damaged)
        abandonUpload(tr("Upload failed: part of the preset from the controller was lost. The "
                         "values from before the upload are back; try again."));
}

void Korvalen49_Test::finishUpload() {
    applyZonesFromGlobals(korvalen::presetGlobals);
    if (uploadRejected == 0)
        statusBar()->showMessage(QStringLiteral("Upload OK!"), kResultTimeoutMs);
    else
        statusBar()->showMessage(tr("Upload finished, but %n record(s) from the controller were "
                                    "out of range and skipped; those controls kept their values.",
                                    nullptr, uploadRejected),
                                 kResultTimeoutMs);
    RefreshTitle();
    uploadPending = false;
    if (uploadSnapshot) history->replaced(*uploadSnapshot, tr("Upload"));
    history->markInStep(EditHistory::Source::Controller);
    uploadSnapshot.reset();
    uploadTimer.stop();
    midiLink.sysExRing.discardAll();
}

void Korvalen49_Test::abandonUpload(const QString& reason) {
    if (!uploadPending) return;
    uploadPending = false;
    uploadTimer.stop();
    midiLink.sysExRing.discardAll();
    if (uploadSnapshot && uploadTouched) restorePresetSnapshot(*uploadSnapshot);
    uploadSnapshot.reset();
    history->resync();
    RefreshTitle();
    showFailure(QString(), reason);
}

void Korvalen49_Test::uploadTimedOut() {
    abandonUpload(tr("Upload failed: the controller did not finish sending the preset. The "
                     "values from before the upload are back."));
}
