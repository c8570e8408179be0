// korvalen25-cli: the command line, its subcommands and their exit codes.
#pragma once

#include <QStringList>

#include <functional>
#include <memory>

class QTextStream;

namespace korvalen::midi {
class Platform;
}

namespace korvalen::cli {

struct RunOptions {
    // Use this MIDI platform instead of the one that --midi-api or KORVALEN_MIDI_API names.
    std::shared_ptr<midi::Platform> platform;
    // True when `out` is a terminal: flash draws a progress bar instead of printing lines.
    bool terminal = false;
    // monitor: asked between looks at the traffic; the monitor ends when it returns false
    // (otherwise it runs until SIGINT or SIGTERM).
    std::function<bool()> monitorKeepGoing;
};

// Runs one command line; args[0] is the program name. Results go to `out`; a failure is one
// line on `err`. Returns the exit code (see outcome.h).
int run(const QStringList& args, QTextStream& out, QTextStream& err,
        const RunOptions& options = {});

} // namespace korvalen::cli
