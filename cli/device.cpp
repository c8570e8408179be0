#include "device.h"

#include "midi.h"
#include "midiplatform.h"

namespace korvalen::cli {

DeviceSession::DeviceSession(midiMethodClass& link, unsigned timeoutMs)
    : link_(link), timeoutMs_(timeoutMs),
      transfer_([&link](const std::uint8_t* data,
                        std::uint32_t length) { return link.sendSysEx(data, length); },
                link.sysExRing, stop_) {
    transfer_.setTimeoutMs(timeoutMs);
}

DeviceSession::~DeviceSession() {
    link_.linkState = 0;
    link_.closeInputs();
    link_.closeOutput();
}

Outcome DeviceSession::connect() {
    // The editor's search, except that the port counts are read once per attempt: the editor
    // waits up to ten seconds for a controller to be plugged in, a command answers at once.
    link_.prepareSearch();
    auto options = link_.editorSearchOptions();
    options.countPolls = kCountPolls;
    link_.runSearch(options);
    if (link_.editorConnected()) return Outcome::done();
    return Outcome::fail(kDeviceFailure,
                         QStringLiteral("no Korvalen25 answered on the MIDI ports (%1 inputs, %2 "
                                        "outputs); check that it is plugged in and switched on")
                             .arg(link_.inPortCount)
                             .arg(link_.outPortCount));
}

namespace {

Outcome readFailure(const ReadResult& r, const QString& name, unsigned timeoutMs) {
    const double seconds = timeoutMs / 1000.0;
    switch (r.status) {
    case ReadResult::Status::Done:
        break;
    case ReadResult::Status::SendFailed:
        return Outcome::fail(kDeviceFailure,
                             QStringLiteral("the controller's MIDI port did not take the request "
                                            "for %1; check the connection")
                                 .arg(name));
    case ReadResult::Status::NoAnswer:
        return Outcome::fail(kDeviceFailure,
                             QStringLiteral("the controller did not answer the request for %1 "
                                            "within %2 s")
                                 .arg(name)
                                 .arg(seconds));
    case ReadResult::Status::Cut:
        return Outcome::fail(kDeviceFailure,
                             QStringLiteral("the dump of %1 stopped before its end (nothing came "
                                            "for %2 s)")
                                 .arg(name)
                                 .arg(seconds));
    case ReadResult::Status::Damaged:
        return Outcome::fail(
            kDeviceFailure, QStringLiteral("part of the dump of %1 was lost on the way").arg(name));
    case ReadResult::Status::BadRecords:
        return Outcome::fail(kDeviceFailure,
                             QStringLiteral("the controller sent %1 invalid record(s) in the dump "
                                            "of %2")
                                 .arg(r.badRecords)
                                 .arg(name));
    case ReadResult::Status::Incomplete:
        return Outcome::fail(kDeviceFailure,
                             QStringLiteral("the dump of %1 was incomplete (nothing for %2)")
                                 .arg(name, QString::fromStdString(r.missing)));
    case ReadResult::Status::Stopped:
        return Outcome::fail(kDeviceFailure, QStringLiteral("stopped"));
    }
    return Outcome::done();
}

} // namespace

Outcome DeviceSession::upload(int number, Preset& preset) {
    return readFailure(transfer_.readPreset(number, preset), shownPresetName(number), timeoutMs_);
}

Outcome DeviceSession::download(const Preset& preset, int number, DownloadResult& result) {
    const QString name = shownPresetName(number);
    result = transfer_.download(preset.values, number);
    switch (result.status) {
    case DownloadResult::Status::Confirmed:
        return Outcome::done();
    case DownloadResult::Status::Differs: {
        QStringList fields;
        for (const FieldDifference& d : result.shortfall)
            fields << QString::fromStdString(fieldName(d.field));
        const int shown = 5;
        QString list = fields.mid(0, shown).join(QStringLiteral(", "));
        if (fields.size() > shown)
            list += QStringLiteral(" and %1 more").arg(fields.size() - shown);
        return Outcome::fail(kDeviceFailure,
                             QStringLiteral("%1 reads back different from what was sent after %2 "
                                            "rounds, each slower than the one before: %3 did not "
                                            "arrive; check the controller and try again")
                                 .arg(name)
                                 .arg(result.rounds)
                                 .arg(list));
    }
    case DownloadResult::Status::NotConfirmed:
        return Outcome::fail(
            kDeviceFailure, QStringLiteral("%1 sent, not confirmed: %2")
                                .arg(name, readFailure(result.readBack, name, timeoutMs_).message));
    case DownloadResult::Status::SendFailed:
    case DownloadResult::Status::Stopped:
        break;
    }
    return Outcome::fail(kDeviceFailure,
                         QStringLiteral("the controller's MIDI port stopped taking messages after "
                                        "%1 of the download of %2")
                             .arg(result.messagesSent)
                             .arg(name));
}

} // namespace korvalen::cli
