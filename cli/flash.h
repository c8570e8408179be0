// korvalen25-cli flash: the editor's firmware upgrade worker, run without its dialog. The
// worker's log lines are printed in a terminal's words; its progress is a bar on a terminal
// and plain lines otherwise.
#pragma once

#include "outcome.h"

#include <QString>

#include <cstdint>
#include <optional>

class QTextStream;

namespace korvalen::cli {

// "[##########..........]  50%  45/90 blocks" for a bar `width` characters wide inside.
QString progressBar(std::uint32_t done, std::uint32_t total, int width = 40);

// A log line of the upgrade worker as the command prints it (the worker's lines speak of its
// dialog); none for a line that is not printed. A line it does not know is kept as it is.
std::optional<QString> terminalLine(const QString& workerLine);

// Prints what the worker tells: its versions, its progress and its log lines.
class FlashPrinter {
public:
    FlashPrinter(QTextStream& out, bool terminal, std::uint32_t blockCount);
    void version(const QString& version);
    void progress(std::uint32_t done);
    void logLine(const QString& line);
    // One report as a code of ConnectThread::Report, a number and a text.
    void report(unsigned comp, unsigned value, const char* text);
    // Ends the bar's line, if one is shown.
    void finish();

private:
    void endBarLine();
    // Draws the bar full: the worker's "update OK" comes before its last count.
    void showAllBlocks();

    QTextStream& out_;
    bool terminal_;
    std::uint32_t blockCount_;
    bool barShown_ = false;
    int lastTenth_ = 0;     // plain lines: the last tenth of the blocks printed
    bool allShown_ = false; // the bar has been drawn full
    QString version_;       // the device version printed last
};

// Loads the image in `path` and flashes it into a controller in upgrade mode: the one whose
// port name holds `port` when it is given; when several are in upgrade mode and none is named,
// none is flashed and the failure lists them.
Outcome flashCommand(const QString& path, QTextStream& out, bool terminal,
                     const QString& port = QString());

} // namespace korvalen::cli
