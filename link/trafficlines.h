// The traffic log in lines of text: what the MIDI monitor, korvalen25-cli's monitor and
// --verbose, and the diagnostics report show of each message (time, direction, port, what the
// message says, its bytes). A flash is kept to a few lines.
#pragma once

#include "messagedecoder.h"
#include "traffictap.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace korvalen {

struct TrafficLine {
    std::chrono::system_clock::time_point time;
    bool outgoing = false;
    QString port;
    MessageKind kind = MessageKind::UnknownSysEx;
    QString decoded;
    QString bytes;     // hex
    bool note = false; // a line of the monitor's own (messages it could not keep), not a message
    // A line taken with its words to come: `decoded` and `bytes` are made from these by
    // fillIn(), when the line is shown.
    bool pending = false;
    std::vector<std::uint8_t> raw; // the bytes the log kept of the message
    std::size_t length = 0;        // the message's whole length
};

// Makes the words and the bytes' text of a line taken with them to come; nothing for one that
// has them.
void fillIn(TrafficLine& line);

// "15:02:03.123  out  Korvalen25 MIDI 1  identity probe  [F0 00 00 66 14 1A 00 F7]".
QString formatTrafficLine(const TrafficLine& line);
// The time as the lines show it: "15:02:03.123", local time.
QString trafficTime(std::chrono::system_clock::time_point time);

// Reads the program's traffic log from the moment it is made on, in lines. One reader per
// view: each has its own place in the log and its own flash summary.
class TrafficReader {
public:
    explicit TrafficReader(midi::TrafficLog& log = midi::trafficLog());
    // The lines for everything new in the log, up to `max` messages; a flash's blocks and
    // requests are left out but for a few. When messages were overwritten before they were
    // read, a note line says how many. With Decode::KindOnly the lines of most messages have
    // their kind only, and fillIn() makes the rest when they are shown.
    std::vector<TrafficLine> take(std::size_t max = 4096, Decode decode = Decode::Words);
    // Messages seen, shown or not.
    std::uint64_t messagesRead() const { return read_; }

private:
    midi::TrafficLog& log_;
    std::uint64_t next_;
    std::uint64_t read_ = 0;
    FlashSummary summary_;
    std::string lastPort_;
    QString lastPortText_;
};

} // namespace korvalen
