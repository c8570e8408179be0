// The diagnostics report: a text to attach to a bug report, the same from the editor and from
// korvalen25-cli. It tells the program's version and those of Qt and RtMidi, the MIDI backend,
// every port with what the last search did with it, the last transfer's outcome and the last
// lines of MIDI traffic.
#pragma once

#include "devicesearch.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace korvalen {

struct ReadResult;
struct DownloadResult;

// The last transfer of this run of the program (a preset read, a download, a firmware upgrade),
// noted by the link when it ends. Any thread.
struct TransferNote {
    std::chrono::system_clock::time_point time;
    std::string what;    // "read of preset 16", "download of preset 16", "firmware upgrade"
    std::string outcome; // "done", or what went wrong
};
void noteTransfer(std::string what, std::string outcome);
std::optional<TransferNote> lastTransfer();
std::string outcomeWords(const ReadResult& result);
std::string outcomeWords(const DownloadResult& result);

// The MIDI server behind the backend and what the program asks of it, in a few words:
// "PipeWire 0.3.65, quantum 64 asked during transfers"; empty when there is no server to
// tell of.
QString midiServerWords(const midi::MidiServer& server);

struct DiagnosticsInput {
    QString program;         // "korvalen25-cli 0.1"
    QString backend;         // the MIDI backend's name
    midi::MidiServer server; // the server behind it
    std::vector<std::string> inputsNow;
    std::vector<std::string> outputsNow;
    bool searched = false; // whether `search` holds a search of this run
    midi::SearchRecord search;
    bool connected = false; // the search's pair is the one in use
    std::optional<TransferNote> transfer;
    QStringList trafficLines; // oldest first; the report keeps the last kTrafficLines
    QString trafficNote;      // said when there are no lines (why there are none)
};

constexpr int kReportTrafficLines = 200;

QString diagnosticsReport(const DiagnosticsInput& input);

} // namespace korvalen
