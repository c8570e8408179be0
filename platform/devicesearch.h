// The device search: finds the port pair of a device among all MIDI ports by sending a probe
// on each output port and listening on every input port for the answer. The editor's
// connection and the firmware upgrade both search with it, each with its own probe and its
// own idea of what counts as an answer; so can a program without a window.
//
// What the search guarantees:
// - Each attempt opens every output to ask and sends the probe on all of them at once, in
//   one reply window: ports that never answer cost that one window together. This tells
//   which inputs a device answers on, and that every device of the kind is heard, a second
//   one too.
// - Then the outputs are asked one at a time, until each input that answered has its output:
//   outputs whose names go with such an input first (both name "Korvalen", or both belong to
//   the same client), then outputs whose names contain "Korvalen", then the others in list
//   order. Such a window ends as soon as one of those inputs answers.
// - A reply counts only for the window in which it arrived; the reply state is cleared before
//   every probe, and a reply that comes after its window never counts for a later one. A
//   search that hears late replies lengthens its window (up to the confirmation wait) for the
//   rest of its run.
// - Before a device counts as found, the chosen output is probed once more and the answer
//   has to come on the chosen input within the confirmation wait.
// - Which device is kept follows chooseController(): the one the preference names, else the
//   only one; with several and none named the search ends without keeping any and lists
//   them.
// - Every wait goes through the platform's sleep with a stop token: a stop request ends the
//   search at once, in its pauses too.
// - The counts, the pauses and the 20-port limits are those of the device link.
#pragma once

#include "midiplatform.h"
#include "porttable.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvalen::midi {

// What a received message is to the search.
struct ReplyMatch {
    enum class Kind : std::uint8_t {
        None,    // not an answer to the probe
        Device,  // the device that is sought: the search may end with it
        Other,   // a device that answered but is not the one sought (noted, never chosen)
        Version, // an answer that tells only a version (noted)
    };
    Kind kind = Kind::None;
    std::uint32_t version = 0;
    bool operator==(const ReplyMatch&) const = default;
};

// Tells what one received SysEx chunk is. Called on the MIDI input thread.
using ReplyMatcher = std::function<ReplyMatch(const std::uint8_t* data, std::size_t length)>;

// One port as the last search saw it.
struct PortState {
    std::string name;
    bool opened = false;
    bool probed = false;   // outputs: the probe went out on it
    bool answered = false; // inputs: a reply came in on it; outputs: a reply counted for it
    OpenFailure failure = OpenFailure::None; // why it did not open, when it was tried
    bool operator==(const PortState&) const = default;
};

// A device that answered and confirmed: its pair of ports.
struct FoundDevice {
    int inPort = -1;
    int outPort = -1;
    std::string inName;
    std::string outName;
    std::uint32_t version = 0; // what the matcher read from its reply (ReplyMatch::version)
    bool operator==(const FoundDevice&) const = default;
};

// Which device a search keeps.
struct PortPreference {
    std::string name;      // a part of a port name (input or output), any case; empty: none
    bool required = false; // true: no device is kept unless the name matches one
};

struct DeviceChoice {
    enum class Kind {
        None,      // no device answered
        Chosen,    // `index` is the device to keep
        NotChosen, // devices answered, but none can be kept: the caller asks which one
    };
    Kind kind = Kind::None;
    int index = -1;
    bool operator==(const DeviceChoice&) const = default;
};

// The device to keep among those that answered: the one the preference names (when it names
// several, the one whose whole port name it is); failing that, when the preference is not
// required and exactly one answered, that one; otherwise none is chosen.
DeviceChoice chooseController(const std::vector<FoundDevice>& found,
                              const PortPreference& preference);

// True when `part` is in `name`, ignoring the case of ASCII letters.
bool portNameContains(const std::string& name, const std::string& part);

// What the last search did, for windows and commands that show the ports.
struct SearchRecord {
    std::vector<PortState> inputs;
    std::vector<PortState> outputs;
    int attempts = 0; // attempts made
    int inPort = -1;  // the pair found, or -1
    int outPort = -1;
    // Every device that answered in the last attempt, in the order it was found.
    std::vector<FoundDevice> devices;
    bool otherDeviceSeen = false; // a device answered that is not the one sought
    bool lateReplySeen = false;   // a reply came after its window
    bool stopped = false;         // a stop request ended the search
    unsigned replyWaitMs = 0;     // the reply window at the end of the search
};

// Progress reports, made on the searching thread.
struct SearchEvent {
    enum class Kind {
        Attempt,         // attempt `attempt` of `attempts` begins
        WaitingForPorts, // `inputs` or `outputs` is 0: the counts are read again after a pause
        NoInputPort,     // no input port at all: the search gives up
        TooManyPorts,    // more than 20 inputs or outputs: the search gives up
        NoOutputPort,    // inputs but no output port: this attempt finds nothing
        Probing,         // the probe goes out on output `port`
        Answer,          // a reply of kind `match` came on input `port`
        Confirming,      // output `port` is probed once more
        Found,           // the pair is confirmed; `port` is the output
        Several,         // several devices answered and none is chosen
    };
    Kind kind = Kind::Attempt;
    int attempt = 0;
    int attempts = 0;
    int port = -1;
    std::string name; // the port's name where there is one
    ReplyMatch match;
    unsigned inputs = 0; // WaitingForPorts: the counts just read
    unsigned outputs = 0;
    unsigned waitedMs = 0;  // WaitingForPorts: time waited for ports so far in this attempt
    unsigned waitForMs = 0; // and the most it waits
};

enum class SearchResult : int {
    Stopped = -2, // a stop request ended the search
    GiveUp = -1,  // no input port, or too many ports
    Found = 0,
    NotFound = 1,
    // Devices answered but the preference keeps none of them (several and no name, or a
    // required name that matches none); record().devices lists them. No port stays open.
    NotChosen = 2,
};

class DeviceSearch {
public:
    struct Options {
        std::vector<std::uint8_t> probe;
        ReplyMatcher matcher;
        // Every event of the inputs the search opens, after the search has looked at it; it
        // stays the inputs' handler after the search. It re-queues the receive buffers.
        InputHandler forward;
        std::function<void(const SearchEvent&)> progress; // may be empty
        int attempts = 10;
        int countPolls = 10;           // port-count readings per attempt
        unsigned pauseMs = 1000;       // between readings and between attempts
        unsigned openPauseMs = 10;     // after opening an output, before its probe
        unsigned replyWaitMs = 50;     // the reply window of a probe
        unsigned confirmWaitMs = 1000; // the confirmation probe's window
        // When not empty, only the outputs of these names are probed (ports that have just
        // appeared, say); every input is still listened to.
        std::vector<std::string> onlyOutputs;
        // Which device to keep when more than one answers.
        PortPreference preference;
    };

    // The table's ports are closed and opened by the search; `stop` ends it.
    DeviceSearch(PortTable& table, Options options, StopToken& stop);
    ~DeviceSearch();
    DeviceSearch(const DeviceSearch&) = delete;
    DeviceSearch& operator=(const DeviceSearch&) = delete;

    // One attempt: closes the table's ports, reads the counts, opens every input and probes
    // the outputs. Found leaves the chosen output open in the table and every input open.
    // NotChosen ends the run at once, as GiveUp does.
    SearchResult findDevice(int attempt = 1);

    // Up to `attempts` attempts with the pause between them. Found leaves open only the
    // chosen input and output; otherwise no port stays open.
    SearchResult run();

    const SearchRecord& record() const { return record_; }

    struct Shared; // shared with the input handlers, which outlive the search

private:
    // One reply window: the outputs whose probe went out, whether a stop ended it, and the
    // inputs on which a device answered in it (bit i: input i).
    struct Window {
        std::vector<unsigned> sent;
        bool stopped = false;
        std::uint32_t inputs = 0;
    };

    void report(SearchEvent event) const;
    bool pause(unsigned milliseconds);
    bool confirm(unsigned output, int input);
    // Sends the probe on `outputs` and waits `waitMs`, less when a device answers on one of
    // the inputs of `wake`.
    Window probeWindow(const std::vector<unsigned>& outputs, std::uint32_t wake, unsigned waitMs,
                       int attempt);
    // True when the output's name goes with one of `inputs` (portNamesPair()).
    bool pairsWithAny(const std::string& output, std::uint32_t inputs) const;
    // After the probes of an attempt: keeps the chosen device's output open.
    SearchResult choose(int attempt);
    void closeOutputs();
    void lengthenWindow();

    PortTable& table_;
    // The outputs an attempt holds open, by index; the chosen one moves to the table.
    std::vector<std::unique_ptr<OutputPort>> outputs_;
    Options options_;
    StopToken& stop_;
    std::shared_ptr<Shared> shared_;
    SearchRecord record_;
    unsigned replyWaitMs_;
};

// True when a port name marks the controller's own port ("Korvalen" anywhere in it).
bool isKorvalenPortName(const std::string& name);

// True when an output and an input name look like the two ports of one device: both name
// the controller, or both belong to the same client (the same text before a ':').
bool portNamesPair(const std::string& output, const std::string& input);

// An ALSA-to-JACK bridge (a2jmidid) passes no message longer than this: it drops longer ones
// whole. Preset dumps and firmware blocks are longer.
inline constexpr std::size_t kBridgeMaxMessageBytes = 16;

// True when a port name is one that a2jmidid gives the ALSA ports it bridges into JACK, for
// example "a2j:Korvalen25 [24] (capture): Korvalen25 MIDI 1".
bool isBridgedPortName(const std::string& name);

// Output indexes in probing order: names with "Korvalen" first, then the rest, each group in
// list order.
std::vector<unsigned> probingOrder(const std::vector<std::string>& outputNames);

} // namespace korvalen::midi
