// korvalen25-cli monitor, diagnostics and --verbose: the MIDI traffic on the controller's ports
// in words, and the diagnostics report.
#pragma once

#include "outcome.h"

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class QTextStream;

namespace korvalen {
class TrafficReader;
namespace midi {
class TrafficTapUser;
}
} // namespace korvalen

namespace korvalen::cli {

// Connects to the controller and prints every message on its ports, one line each, until
// SIGINT or SIGTERM (or until `keepGoing`, if given, returns false; it is asked between looks
// at the traffic, on the calling thread).
Outcome monitorCommand(const QString& port, QTextStream& out, QTextStream& err,
                       const std::function<bool()>& keepGoing = {});

// Searches for the controller, reads its preset 0 as a check of the link, and prints the
// diagnostics report, or writes it to `path` when that is not empty.
Outcome diagnosticsCommand(const QString& port, const QString& path, QTextStream& out);

// --verbose: prints the traffic of a command on `err` while it runs, from a thread of its own,
// and what is left when it is stopped. Nothing else may write to `err` meanwhile.
class VerbosePrinter {
public:
    explicit VerbosePrinter(QTextStream& err);
    ~VerbosePrinter(); // stop()
    void stop();

private:
    QTextStream& err_;
    std::unique_ptr<midi::TrafficTapUser> tap_;
    std::unique_ptr<TrafficReader> reader_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

} // namespace korvalen::cli
