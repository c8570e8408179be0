#include "device.h"
#include "clitext.h"

#include "coretext.h"
#include "midi.h"
#include "midiplatform.h"

#include <algorithm>

namespace korvalen::cli {

DeviceSession::DeviceSession(midiMethodClass& link, unsigned timeoutMs)
    : link_(link), timeoutMs_(timeoutMs),
      transfer_([&link](const std::uint8_t* data,
                        std::uint32_t length) { return link.sendSysEx(data, length); },
                link.sysExRing, stop_) {
    transfer_.setTimeoutMs(timeoutMs);
}

DeviceSession::~DeviceSession() {
    link_.delivery = midiMethodClass::Delivery::Nowhere;
    link_.closeInputs();
    link_.closeOutput();
}

Outcome notChosen(const std::vector<midi::FoundDevice>& devices, const QString& port,
                  bool upgradeMode) {
    QString text =
        port.isEmpty()
            ? (upgradeMode ? CliText::tr("%1 Korvalen25 controllers in upgrade mode answered; "
                                         "choose one with --port NAME (a part of its port name):")
                           : CliText::tr("%1 Korvalen25 controllers answered; choose one with "
                                         "--port NAME (a part of its port name):"))
                  .arg(devices.size())
            : (upgradeMode ? CliText::tr("no Korvalen25 in upgrade mode answered on a port named "
                                         "\"%1\"; these answered (choose one with --port NAME, a "
                                         "part of its port name):")
                           : CliText::tr("no Korvalen25 answered on a port named \"%1\"; these "
                                         "answered (choose one with --port NAME, a part of its "
                                         "port name):"))
                  .arg(port);
    int named = 0;
    for (const midi::FoundDevice& d : devices)
        named += midi::portNameContains(d.inName, port.toStdString()) ||
                 midi::portNameContains(d.outName, port.toStdString());
    if (!port.isEmpty() && named > 1)
        text = (upgradeMode ? CliText::tr("\"%1\" is in the port names of %2 Korvalen25 "
                                          "controllers in upgrade mode that answered; give more "
                                          "of the name with --port NAME:")
                            : CliText::tr("\"%1\" is in the port names of %2 Korvalen25 "
                                          "controllers that answered; give more of the name with "
                                          "--port NAME:"))
                   .arg(port)
                   .arg(named);
    for (const midi::FoundDevice& d : devices)
        text += CliText::tr("\n  %1  (input: %2)")
                    .arg(QString::fromStdString(d.outName), QString::fromStdString(d.inName));
    return Outcome::fail(kUsage, text);
}

Outcome DeviceSession::connect(const QString& port) {
    // The editor's search, except that the port counts are read once per attempt: the editor
    // waits up to ten seconds for a controller to be plugged in, a command answers at once.
    link_.prepareSearch();
    auto options = link_.editorSearchOptions();
    options.countPolls = kCountPolls;
    options.preference = {port.toStdString(), !port.isEmpty()};
    const midi::SearchResult result = link_.runSearch(options);
    if (result == midi::SearchResult::NotChosen) return notChosen(link_.lastSearch().devices, port);
    if (result == midi::SearchResult::Found) return Outcome::done();
    return Outcome::fail(kDeviceFailure,
                         CliText::tr("no Korvalen25 answered on the MIDI ports (%1 inputs, %2 "
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
                             CliText::tr("the controller's MIDI port did not take the request "
                                         "for %1; check the connection")
                                 .arg(name));
    case ReadResult::Status::NoAnswer:
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("the controller did not answer the request for %1 "
                                         "within %2 s")
                                 .arg(name)
                                 .arg(seconds));
    case ReadResult::Status::Cut:
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("the dump of %1 stopped before its end (nothing came "
                                         "for %2 s)")
                                 .arg(name)
                                 .arg(seconds));
    case ReadResult::Status::Damaged:
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("part of the dump of %1 was lost on the way").arg(name));
    case ReadResult::Status::BadRecords:
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("the controller sent %1 invalid record(s) in the dump "
                                         "of %2")
                                 .arg(r.badRecords)
                                 .arg(name));
    case ReadResult::Status::Incomplete:
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("the dump of %1 was incomplete (nothing for %2)")
                                 .arg(name, translated(r.missingText)));
    case ReadResult::Status::Stopped:
        return Outcome::fail(kDeviceFailure, QStringLiteral("stopped"));
    case ReadResult::Status::OtherPreset:
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("the controller sent preset number %1 when asked for "
                                         "%2")
                                 .arg(r.presetNumber)
                                 .arg(name));
    }
    return Outcome::done();
}

} // namespace

Outcome DeviceSession::upload(int number, Preset& preset) {
    ReadResult read;
    return upload(number, preset, read);
}

Outcome DeviceSession::upload(int number, Preset& preset, ReadResult& read) {
    read = transfer_.readPreset(number, preset);
    return readFailure(read, shownPresetName(number), timeoutMs_);
}

Outcome DeviceSession::download(const Preset& preset, int number, DownloadResult& result,
                                DownloadValues which) {
    const QString name = shownPresetName(number);
    transfer_.setPace(SendPace::forController(link_.controllerOutputName()));
    result = transfer_.download(preset.values, number, which);
    switch (result.status) {
    case DownloadResult::Status::Confirmed:
        return Outcome::done();
    case DownloadResult::Status::Differs: {
        auto listOf = [&result](bool notTakenOnes) {
            QStringList fields;
            for (const FieldDifference& d : result.shortfall) {
                const bool notTaken = std::find(result.notTaken.begin(), result.notTaken.end(),
                                                d) != result.notTaken.end();
                if (notTaken == notTakenOnes) fields << translated(fieldNameText(d.field));
            }
            const int shown = 5;
            QString list = fields.mid(0, shown).join(QStringLiteral(", "));
            if (fields.size() > shown)
                list = CliText::tr("%1 and %2 more").arg(list).arg(fields.size() - shown);
            return list;
        };
        QStringList parts;
        if (const QString slow = listOf(false); !slow.isEmpty())
            parts << CliText::tr("%1 did not arrive").arg(slow);
        if (const QString never = listOf(true); !never.isEmpty())
            parts << CliText::tr("%1 did not take (still different although the rest "
                                 "arrived, so not a matter of speed)")
                         .arg(never);
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("%1 reads back different from what was sent after %2 "
                                         "rounds, each slower than the one before: %3; check "
                                         "the controller and try again")
                                 .arg(name)
                                 .arg(result.rounds)
                                 .arg(parts.join(QStringLiteral("; "))));
    }
    case DownloadResult::Status::NotConfirmed:
        return Outcome::fail(
            kDeviceFailure, CliText::tr("%1 sent, not confirmed: %2")
                                .arg(name, readFailure(result.readBack, name, timeoutMs_).message));
    case DownloadResult::Status::SendFailed:
    case DownloadResult::Status::Stopped:
        break;
    }
    return Outcome::fail(kDeviceFailure,
                         CliText::tr("the controller's MIDI port stopped taking messages after "
                                     "%1 of the download of %2")
                             .arg(result.messagesSent)
                             .arg(name));
}

} // namespace korvalen::cli
