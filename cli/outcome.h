// How a command of korvalen25-cli ends: its exit code and, for a failure, the one line that
// says what went wrong.
#pragma once

#include <QString>

namespace korvalen::cli {

enum ExitCode : int {
    kDone = 0,
    kDeviceFailure = 1, // no controller, a port that failed, a transfer that failed or timed out
    kUsage = 2,         // the command line is wrong
    kBadFile = 3,       // a file that cannot be read or written, or is not what it should be
    kDiffer = 1,        // diff: the presets differ
};

struct Outcome {
    int code = kDone;
    QString message; // empty when done

    bool ok() const { return code == kDone; }
    static Outcome done() { return {}; }
    static Outcome fail(int code, QString message) { return {code, std::move(message)}; }
};

} // namespace korvalen::cli
