// The upload: the request for a stored preset, the dump that answers it read from the link's
// ring, its end, and an upload that did not end (a time-out, a damaged dump, a command that
// takes over), whose values are taken back.
#pragma once

#include "presetmodel.h"
#include "presetupload.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class CommandHost;
class ControllerConnection;

class UploadCommand : public QObject {
    Q_OBJECT

public:
    UploadCommand(CommandHost& host, ControllerConnection& connection, QObject* parent = nullptr);
    ~UploadCommand() override;

    // Sends the upload request for a device preset number and opens the upload: the model's
    // values are kept until the dump has ended, to be put back if it does not end. A request
    // that cannot go out is shown as a failure of `command`.
    bool request(int presetNumber, const QString& command = QString());
    // The end of a dump: the zones take the dumped values, "Upload OK!" (or how many records
    // were rejected), the title.
    void finish();
    // Closes an open upload that did not end: every value goes back to what it was before
    // the request, and `reason` is shown on the status bar.
    void abandon(const QString& reason);
    bool isPending() const { return upload_->isOpen(); }
    // Records of the open (or last) upload that were rejected as out of range.
    int rejectedRecords() const { return upload_->rejectedRecords(); }
    void setTimeout(int milliseconds) { upload_->setTimeoutMs(milliseconds); }
    // SysEx has come in (`length` bytes): the open upload reads it; with none open it is let go.
    // While a transfer holds the ring it is that transfer's to read.
    void sysExArrived(unsigned length);
    // With no upload open, every whole System Exclusive message in the ring is handed to
    // `reader` before the ring is let go.
    using SysExReader = std::function<void(const std::uint8_t* data, std::size_t length)>;
    void setIdleSysExReader(SysExReader reader) { idleReader_ = std::move(reader); }

private:
    void timedOut();
    void readIdleSysEx();

    // The model's side of an upload: the values kept for the roll-back, and the sink that hands
    // the dump's values to the bounded setters.
    struct Values final : korvalen::PresetUpload::Target {
        explicit Values(CommandHost& host);
        void keep() override { kept = takePresetSnapshot(); }
        void putBack() override {
            if (kept) restorePresetSnapshot(*kept);
        }
        korvalen::DumpSink& sink() override { return modelSink; }
        std::optional<PresetSnapshot> kept;
        bool touched = false; // the sink's own notes; the upload keeps its own
        int rejected = 0;
        ModelDumpSink modelSink;
    };

    CommandHost& host_;
    ControllerConnection& connection_;
    Values values_;
    std::unique_ptr<korvalen::PresetUpload> upload_;
    SysExReader idleReader_;
};
