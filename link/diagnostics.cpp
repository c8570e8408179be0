#include "diagnostics.h"

#include "presettransfer.h"
#include "rtmidibackend.h"
#include "trafficlines.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>
#include <QtGlobal>

#include <mutex>

namespace korvalen {

namespace {

// Both live as long as the process: a worker thread (the upgrade's, a download's) may note
// its end while the program is already running its exit handlers.
std::mutex& noteMutex() {
    static auto* m = new std::mutex;
    return *m;
}

std::optional<TransferNote>& note() {
    static auto* n = new std::optional<TransferNote>;
    return *n;
}

QString portState(const midi::PortState& p, bool output, bool chosen) {
    if (!p.opened) {
        switch (p.failure) {
        case midi::OpenFailure::None:
            return QStringLiteral("not tried");
        case midi::OpenFailure::InUse:
            return QStringLiteral("could not be opened: another program holds it");
        case midi::OpenFailure::Gone:
            return QStringLiteral("could not be opened: it was gone");
        case midi::OpenFailure::Unknown:
            break;
        }
        return QStringLiteral("could not be opened");
    }
    if (chosen)
        return output ? QStringLiteral("the controller answered the probe sent here")
                      : QStringLiteral("the controller answers here");
    if (p.answered)
        return output ? QStringLiteral("an answer counted for it, not confirmed")
                      : QStringLiteral("an answer came here, not confirmed");
    if (output && !p.probed) return QStringLiteral("opened, not probed");
    return output ? QStringLiteral("probed, no answer") : QStringLiteral("listened, nothing came");
}

void listPorts(QString& text, const char* heading, const std::vector<midi::PortState>& ports,
               bool output, int chosen) {
    text += QStringLiteral("%1 (%2):\n").arg(QLatin1String(heading)).arg(ports.size());
    for (std::size_t i = 0; i < ports.size(); ++i)
        text += QStringLiteral("  %1  %2  -- %3\n")
                    .arg(i)
                    .arg(QString::fromStdString(ports[i].name),
                         portState(ports[i], output, int(i) == chosen));
}

void listNames(QString& text, const char* heading, const std::vector<std::string>& names) {
    text += QStringLiteral("%1 (%2):\n").arg(QLatin1String(heading)).arg(names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        text += QStringLiteral("  %1  %2\n").arg(i).arg(QString::fromStdString(names[i]));
}

} // namespace

QString midiServerWords(const midi::MidiServer& server) {
    const QString version = QString::fromStdString(server.version);
    switch (server.kind) {
    case midi::MidiServer::Kind::None:
        break;
    case midi::MidiServer::Kind::Jackd:
        return QCoreApplication::translate("MidiServer", "jackd %1, its buffer size left as it is")
            .arg(version);
    case midi::MidiServer::Kind::PipeWire:
        if (server.notRealtime)
            return QCoreApplication::translate(
                       "MidiServer",
                       "PipeWire %1, no quantum asked: MIDI does not run in real time")
                .arg(version);
        if (server.transferQuantum == 0)
            return QCoreApplication::translate("MidiServer", "PipeWire %1, no quantum asked")
                .arg(version);
        return QCoreApplication::translate("MidiServer",
                                           "PipeWire %1, quantum %2 asked during transfers")
            .arg(version)
            .arg(server.transferQuantum);
    }
    return {};
}

void noteTransfer(std::string what, std::string outcome) {
    std::lock_guard lock(noteMutex());
    note() = TransferNote{std::chrono::system_clock::now(), std::move(what), std::move(outcome)};
}

std::optional<TransferNote> lastTransfer() {
    std::lock_guard lock(noteMutex());
    return note();
}

std::string outcomeWords(const ReadResult& r) {
    switch (r.status) {
    case ReadResult::Status::Done:
        return "done";
    case ReadResult::Status::SendFailed:
        return "the port did not take the request";
    case ReadResult::Status::NoAnswer:
        return "the controller did not answer";
    case ReadResult::Status::Cut:
        return "the dump stopped before its end";
    case ReadResult::Status::Damaged:
        return "part of the dump was lost on the way";
    case ReadResult::Status::BadRecords:
        return std::to_string(r.badRecords) + " invalid record(s) in the dump";
    case ReadResult::Status::Incomplete:
        return "the dump was incomplete (nothing for " + r.missing + ")";
    case ReadResult::Status::OtherPreset:
        return "the controller sent preset " + std::to_string(r.presetNumber) + " instead";
    case ReadResult::Status::Stopped:
        break;
    }
    return "stopped";
}

std::string outcomeWords(const DownloadResult& r) {
    const std::string rounds = ", " + std::to_string(r.rounds) + " round(s), " +
                               std::to_string(r.messagesSent) + " messages";
    switch (r.status) {
    case DownloadResult::Status::Confirmed:
        return "done, read back the same" + rounds;
    case DownloadResult::Status::Differs:
        return std::to_string(r.shortfall.size()) + " field(s) read back different" +
               (r.notTaken.empty() ? std::string()
                                   : " (" + std::to_string(r.notTaken.size()) + " did not take)") +
               rounds;
    case DownloadResult::Status::NotConfirmed:
        return "sent, not confirmed: " + outcomeWords(r.readBack) + rounds;
    case DownloadResult::Status::SendFailed:
        return "the port stopped taking messages" + rounds;
    case DownloadResult::Status::Stopped:
        break;
    }
    return "stopped" + rounds;
}

QString diagnosticsReport(const DiagnosticsInput& in) {
    QString text;
    text += QStringLiteral("Korvalen25 diagnostics report, %1\n\n")
                .arg(QDateTime::currentDateTime().toString(Qt::ISODate));
    text += QStringLiteral("Program: %1\n").arg(in.program);
    text += QStringLiteral("Qt: %1 (built with %2)\n")
                .arg(QLatin1String(qVersion()), QLatin1String(QT_VERSION_STR));
    text += QStringLiteral("RtMidi: %1\n").arg(QString::fromStdString(midi::rtMidiVersion()));
    text += QStringLiteral("System: %1\n").arg(QSysInfo::prettyProductName());
    text += QStringLiteral("MIDI backend: %1\n").arg(in.backend);
    if (const QString server = midiServerWords(in.server); !server.isEmpty())
        text += QStringLiteral("MIDI server: %1\n").arg(server);
    text += QLatin1Char('\n');

    listNames(text, "Input ports now", in.inputsNow);
    listNames(text, "Output ports now", in.outputsNow);
    text += QLatin1Char('\n');

    if (!in.searched) {
        text += QStringLiteral("Last search: none in this run\n\n");
    } else {
        const midi::SearchRecord& s = in.search;
        const bool found = s.inPort >= 0 && s.outPort >= 0;
        text +=
            QStringLiteral("Last search: %1 after %2 attempt(s)%3\n")
                .arg(s.stopped ? QStringLiteral("stopped")
                     : found   ? QStringLiteral("found the controller")
                               : QStringLiteral("found no controller"))
                .arg(s.attempts)
                .arg(found && !in.connected ? QStringLiteral(", no longer connected") : QString());
        listPorts(text, "Inputs it saw", s.inputs, false, found ? s.inPort : -1);
        listPorts(text, "Outputs it saw", s.outputs, true, found ? s.outPort : -1);
        if (s.otherDeviceSeen) text += QStringLiteral("Another device answered as well.\n");
        if (s.lateReplySeen)
            text += QStringLiteral("A reply came late; the reply window grew to %1 ms.\n")
                        .arg(s.replyWaitMs);
        text += QLatin1Char('\n');
    }

    if (in.transfer)
        text += QStringLiteral("Last transfer: %1 at %2: %3\n\n")
                    .arg(QString::fromStdString(in.transfer->what), trafficTime(in.transfer->time),
                         QString::fromStdString(in.transfer->outcome));
    else
        text += QStringLiteral("Last transfer: none in this run\n\n");

    const qsizetype shown = std::min<qsizetype>(in.trafficLines.size(), kReportTrafficLines);
    text += QStringLiteral("MIDI traffic, the last %1 line(s):\n").arg(shown);
    if (shown == 0 && !in.trafficNote.isEmpty())
        text += QStringLiteral("  ") + in.trafficNote + '\n';
    for (qsizetype i = in.trafficLines.size() - shown; i < in.trafficLines.size(); ++i)
        text += QStringLiteral("  ") + in.trafficLines[i] + QLatin1Char('\n');
    return text;
}

} // namespace korvalen
