#include "uploadcommand.h"

#include "commandhost.h"
#include "controllerconnection.h"
#include "controllerready.h"
#include "diagnostics.h"
#include "edithistory.h"
#include "midi.h"
#include "presetprotocol.h"

#include <string>
#include <vector>

namespace {

constexpr int kBadRecordTimeoutMs = 5000;

} // namespace

UploadCommand::Values::Values(CommandHost& host)
    : modelSink(
          touched, rejected,
          [&host] { host.showStatus(UploadCommand::tr("upload Error"), kBadRecordTimeoutMs); },
          [] {}) {}

UploadCommand::UploadCommand(CommandHost& host, ControllerConnection& connection, QObject* parent)
    : QObject(parent), host_(host), connection_(connection), values_(host),
      upload_(std::make_unique<korvalen::PresetUpload>(
          [](const std::uint8_t* data, std::uint32_t length) {
              return midiLink.sendSysEx(data, length);
          },
          midiLink.sysExRing, values_)) {
    connect(upload_.get(), &korvalen::PresetUpload::timedOut, this, &UploadCommand::timedOut);
}

UploadCommand::~UploadCommand() = default;

bool UploadCommand::request(int presetNumber, const QString& command) {
    if (!transfercheck::controllerReady(host_, connection_, command, tr("Upload"))) return false;
    if (!connection_.claimForUpload()) {
        host_.showFailure(command, tr("Upload failed: the MIDI ports are busy with another "
                                      "exchange with the controller. Try again when it has "
                                      "ended."));
        return false;
    }
    // A request while an upload is open keeps the values from before the first one.
    if (!upload_->request(presetNumber)) {
        host_.showFailure(command, tr("Upload failed: the controller did not take the request. "
                                      "Check the connection and try again."));
        if (!upload_->isOpen()) {
            values_.kept.reset();
            connection_.releaseUpload();
        }
        return false;
    }
    return true;
}

void UploadCommand::sysExArrived(unsigned length) {
    // A transfer reads the ring on its own thread: it is the ring's one reader then.
    if (connection_.transferring()) return;
    if (!upload_->isOpen() || length == 0) {
        if (idleReader_ && length != 0) readIdleSysEx();
        korvalen::DumpParser::discardAll(midiLink.sysExRing);
        return;
    }
    switch (upload_->read()) {
    case korvalen::PresetUpload::Read::Open:
        break;
    case korvalen::PresetUpload::Read::Ended:
        finish();
        break;
    case korvalen::PresetUpload::Read::Retrying:
        host_.showStatus(tr("Part of the preset from the controller was lost. Asking for it "
                            "again (%1 of %2)...")
                             .arg(upload_->retries())
                             .arg(korvalen::PresetUpload::kRetries));
        break;
    case korvalen::PresetUpload::Read::Damaged:
        abandon(tr("Upload failed: part of the preset from the controller was lost, %1 times. "
                   "The values from before the upload are back; check the connection and try "
                   "again.")
                    .arg(korvalen::PresetUpload::kRetries + 1));
        break;
    }
}

void UploadCommand::readIdleSysEx() {
    korvalen::ByteRing& ring = midiLink.sysExRing;
    const std::size_t unread = ring.unread();
    std::vector<std::uint8_t> message;
    bool inMessage = false;
    for (std::size_t i = 0; i < unread; ++i) {
        const std::uint8_t b = ring.peek(i);
        if (b == 0xF0) {
            message.assign(1, b);
            inMessage = true;
        } else if (inMessage) {
            message.push_back(b);
            if (b == 0xF7) {
                idleReader_(message.data(), message.size());
                inMessage = false;
            }
        }
    }
}

void UploadCommand::finish() {
    applyZonesFromGlobals(korvalen::presetGlobals);
    if (upload_->rejectedRecords() == 0)
        host_.showStatus(tr("Upload OK!"));
    else
        host_.showStatus(tr("Upload finished, but %n record(s) from the controller were out of "
                            "range and skipped; those controls kept their values.",
                            nullptr, upload_->rejectedRecords()));
    host_.refreshTitle();
    korvalen::noteTransfer("upload of preset " + std::to_string(korvalen::presetGlobals[0]),
                           upload_->rejectedRecords() == 0
                               ? "done"
                               : "done, " + std::to_string(upload_->rejectedRecords()) +
                                     " record(s) out of range skipped");
    upload_->finish();
    EditHistory& history = host_.editHistory();
    if (values_.kept) history.replaced(*values_.kept, tr("Upload"));
    history.markInStep(EditHistory::Source::Controller);
    values_.kept.reset();
    connection_.releaseUpload();
}

void UploadCommand::abandon(const QString& reason) {
    if (!upload_->isOpen()) return;
    korvalen::noteTransfer("upload", reason.toStdString());
    // The values from before the request come back if the dump had changed any.
    upload_->abandon();
    values_.kept.reset();
    host_.editHistory().resync();
    host_.refreshTitle();
    host_.showFailure(QString(), reason);
    connection_.releaseUpload();
}

void UploadCommand::timedOut() {
    abandon(tr("Upload failed: the controller did not finish sending the preset. The values "
               "from before the upload are back."));
}
