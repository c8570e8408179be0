#include "device.h"

#include "midi.h"
#include "midiplatform.h"

namespace korvalen::cli {

DeviceSession::DeviceSession(midiMethodClass& link, unsigned timeoutMs)
    : link_(link), timeoutMs_(timeoutMs) {}

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

Outcome DeviceSession::upload(int number, Preset& preset) {
    const QString name = shownPresetName(number);
    auto& ring = link_.sysExRing;
    ring.discardAll();
    std::uint16_t seen = ring.writeIndex(); // an answer may come before send returns
    std::uint32_t drops = ring.drops();
    const auto request = uploadRequestMessage(number);
    if (link_.sendSysEx(request.data(), request.size()) != 0)
        return Outcome::fail(kDeviceFailure,
                             QStringLiteral("the controller's MIDI port did not take the request "
                                            "for %1; check the connection")
                                 .arg(name));

    preset = Preset{};
    PresetDumpSink sink(preset);
    DumpParser parser(sink, sink.globals());
    unsigned quietMs = 0;
    bool answered = false;
    for (;;) {
        if (parser.parse(ring, drops) == DumpParser::Status::Damaged)
            return Outcome::fail(
                kDeviceFailure,
                QStringLiteral("part of the dump of %1 was lost on the way").arg(name));
        if (sink.ended()) break;
        if (quietMs >= timeoutMs_)
            return Outcome::fail(
                kDeviceFailure,
                answered ? QStringLiteral("the dump of %1 stopped before its end (nothing came for "
                                          "%2 s)")
                               .arg(name)
                               .arg(timeoutMs_ / 1000.0)
                         : QStringLiteral("the controller did not answer the request for %1 "
                                          "within %2 s")
                               .arg(name)
                               .arg(timeoutMs_ / 1000.0));
        midi::platform().sleep(kSliceMs);
        quietMs += kSliceMs;
        if (const std::uint16_t now = ring.writeIndex(); now != seen) {
            seen = now;
            quietMs = 0;
            answered = true;
        }
    }
    if (sink.badRecords() > 0)
        return Outcome::fail(kDeviceFailure,
                             QStringLiteral("the controller sent %1 invalid record(s) in the dump "
                                            "of %2")
                                 .arg(sink.badRecords())
                                 .arg(name));
    if (const QString missing = sink.missing(); !missing.isEmpty())
        return Outcome::fail(
            kDeviceFailure,
            QStringLiteral("the dump of %1 was incomplete (nothing for %2)").arg(name, missing));
    return Outcome::done();
}

Outcome DeviceSession::download(const Preset& preset, int number) {
    int sent = 0;
    bool failed = false;
    auto send = [&](const std::uint8_t* data, std::size_t length) {
        // After one message that was not taken the rest would not be either; above all the
        // download end message must not store a preset that arrived only in part.
        if (failed) return;
        if (link_.sendSysEx(data, static_cast<std::uint32_t>(length)) != 0)
            failed = true;
        else
            ++sent;
    };
    sendDownload(preset.values, static_cast<std::uint8_t>(number), send);
    if (!failed) return Outcome::done();
    return Outcome::fail(kDeviceFailure,
                         QStringLiteral("the controller's MIDI port stopped taking messages after "
                                        "%1 of the download; %2 was not stored")
                             .arg(sent)
                             .arg(shownPresetName(number)));
}

} // namespace korvalen::cli
