#include "devicesearch.h"

#include <algorithm>
#include <atomic>

namespace korvalen::midi {

namespace {

// A reply as one word: the window it arrived in (16 bits, 0 = none), its kind, its input
// port and its version, so that the input thread can store it with one atomic operation.
struct PackedReply {
    std::uint16_t window = 0;
    ReplyMatch::Kind kind = ReplyMatch::Kind::None;
    std::uint8_t port = 0;
    std::uint32_t version = 0;

    std::uint64_t pack() const {
        return std::uint64_t{window} << 48 | std::uint64_t{static_cast<std::uint8_t>(kind)} << 40 |
               std::uint64_t{port} << 32 | version;
    }
    static PackedReply unpack(std::uint64_t w) {
        return {static_cast<std::uint16_t>(w >> 48),
                static_cast<ReplyMatch::Kind>(static_cast<std::uint8_t>(w >> 40)),
                static_cast<std::uint8_t>(w >> 32), static_cast<std::uint32_t>(w)};
    }
};

SearchEvent makeEvent(SearchEvent::Kind kind, int attempt, int attempts, int port = -1,
                      std::string name = {}) {
    SearchEvent e;
    e.kind = kind;
    e.attempt = attempt;
    e.attempts = attempts;
    e.port = port;
    e.name = std::move(name);
    return e;
}

} // namespace

struct DeviceSearch::Shared {
    ReplyMatcher matcher;
    InputHandler forward;
    StopToken* token = nullptr;
    std::atomic<bool> searching{true};
    std::atomic<std::uint16_t> window{0};         // the open reply window, 0 when none is open
    std::atomic<int> expectedInput{-1};           // confirmation: the only input that counts
    std::atomic<std::uint64_t> reply{0};          // PackedReply of the open (or last) window
    std::atomic<std::uint64_t> noted{0};          // the last Other or Version reply, PackedReply
    std::atomic<std::uint32_t> answeredInputs{0}; // bit i: a reply came on input i
    std::atomic<int> lateReplies{0};              // device replies outside every window
    // The inputs on which the device answered in a window: the window (high 32 bits) and one
    // bit per input, so that a reply is never counted for a window after its own.
    std::atomic<std::uint64_t> windowInputs{0};
    std::atomic<std::uint32_t> wakeInputs{0}; // a device reply on one of these ends the wait
    std::atomic<std::uint32_t> versions[PortTable::kMaxPorts] = {}; // per input, the last reply
    std::uint16_t lastWindow = 0;                                   // searching thread only

    std::uint16_t openWindow(int expected, std::uint32_t wake) {
        if (++lastWindow == 0) lastWindow = 1;
        reply.store(0);
        windowInputs.store(std::uint64_t{lastWindow} << 32);
        expectedInput.store(expected);
        wakeInputs.store(wake);
        window.store(lastWindow);
        return lastWindow;
    }
    // The first reply of the window and the inputs that answered in it.
    std::pair<PackedReply, std::uint32_t> closeWindow() {
        const std::uint16_t w = window.exchange(0);
        expectedInput.store(-1);
        wakeInputs.store(0);
        const std::uint64_t inputs = windowInputs.load();
        const std::uint32_t mask =
            w != 0 && (inputs >> 32) == w ? static_cast<std::uint32_t>(inputs) : 0;
        return {PackedReply::unpack(reply.load()), mask};
    }

    void onInput(std::uintptr_t instance, const InputEvent& event) {
        // The reply is judged before the handler behind the search re-queues its buffer, and
        // taken (which may wake the search) only after that handler has seen it: a search
        // that ends on this reply must not leave it in flight to a link that is connected by
        // then.
        ReplyMatch match;
        if (searching.load() && event.kind == InputEvent::Kind::LongData && event.buffer &&
            event.recorded != 0 && matcher)
            match = matcher(event.buffer, event.recorded);
        if (forward) forward(instance, event);
        look(static_cast<int>(instance), match);
    }

    void look(int port, const ReplyMatch& match) {
        if (match.kind == ReplyMatch::Kind::None || port < 0 || port >= PortTable::kMaxPorts)
            return;
        answeredInputs.fetch_or(1u << port);
        const std::uint16_t w = window.load();
        PackedReply r{w, match.kind, static_cast<std::uint8_t>(port), match.version};
        if (match.kind != ReplyMatch::Kind::Device) {
            noted.store(r.pack());
            return;
        }
        if (w == 0) {
            lateReplies.fetch_add(1);
            return;
        }
        const int expected = expectedInput.load();
        if (expected >= 0 && expected != port) return;
        versions[port].store(match.version);
        std::uint64_t inputs = windowInputs.load();
        while ((inputs >> 32) == w)
            if (windowInputs.compare_exchange_weak(inputs, inputs | (1u << port))) break;
        // The first reply of this window counts; one left over from an earlier window is
        // replaced.
        std::uint64_t current = reply.load();
        while (PackedReply::unpack(current).window != w)
            if (reply.compare_exchange_weak(current, r.pack())) break;
        if (((wakeInputs.load() >> port) & 1u) != 0 && token) token->wake();
    }
};

bool portNameContains(const std::string& name, const std::string& part) {
    const auto lower = [](unsigned char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    return std::search(name.begin(), name.end(), part.begin(), part.end(), [&](char a, char b) {
               return lower(static_cast<unsigned char>(a)) == lower(static_cast<unsigned char>(b));
           }) != name.end();
}

DeviceChoice chooseController(const std::vector<FoundDevice>& found,
                              const PortPreference& preference) {
    using Kind = DeviceChoice::Kind;
    if (found.empty()) return {};
    if (!preference.name.empty()) {
        std::vector<int> named, whole;
        for (int i = 0; i < static_cast<int>(found.size()); ++i) {
            const FoundDevice& d = found[static_cast<std::size_t>(i)];
            if (portNameContains(d.inName, preference.name) ||
                portNameContains(d.outName, preference.name))
                named.push_back(i);
            const auto same = [&](const std::string& n) {
                return n.size() == preference.name.size() && portNameContains(n, preference.name);
            };
            if (same(d.inName) || same(d.outName)) whole.push_back(i);
        }
        if (named.size() == 1) return {Kind::Chosen, named.front()};
        if (whole.size() == 1) return {Kind::Chosen, whole.front()};
        if (!named.empty() || preference.required) return {Kind::NotChosen, -1};
    }
    if (found.size() == 1) return {Kind::Chosen, 0};
    return {Kind::NotChosen, -1};
}

bool isKorvalenPortName(const std::string& name) {
    return name.find("Korvalen") != std::string::npos;
}

bool isBridgedPortName(const std::string& name) {
    return name.rfind("a2j:", 0) == 0 || name.find("] (capture): ") != std::string::npos ||
           name.find("] (playback): ") != std::string::npos;
}

bool portNamesPair(const std::string& output, const std::string& input) {
    if (isKorvalenPortName(output) && isKorvalenPortName(input)) return true;
    const auto client = [](const std::string& name) {
        const auto colon = name.find(':');
        return colon == std::string::npos || colon == 0 ? std::string() : name.substr(0, colon);
    };
    const std::string c = client(output);
    return !c.empty() && c == client(input);
}

std::vector<unsigned> probingOrder(const std::vector<std::string>& outputNames) {
    std::vector<unsigned> order(outputNames.size());
    for (unsigned j = 0; j < order.size(); ++j)
        order[j] = j;
    std::stable_partition(order.begin(), order.end(),
                          [&](unsigned j) { return isKorvalenPortName(outputNames[j]); });
    return order;
}

DeviceSearch::DeviceSearch(PortTable& table, Options options, StopToken& stop)
    : table_(table), options_(std::move(options)), stop_(stop), shared_(std::make_shared<Shared>()),
      replyWaitMs_(options_.replyWaitMs) {
    shared_->matcher = options_.matcher;
    shared_->forward = options_.forward;
    shared_->token = &stop_;
}

DeviceSearch::~DeviceSearch() {
    // The inputs that stay open keep only forwarding.
    shared_->searching.store(false);
    shared_->window.store(0);
}

void DeviceSearch::report(SearchEvent event) const {
    if (options_.progress) options_.progress(event);
}

bool DeviceSearch::pause(unsigned milliseconds) {
    return platform().sleep(milliseconds, stop_);
}

void DeviceSearch::lengthenWindow() {
    record_.lateReplySeen = true;
    replyWaitMs_ = std::min(std::max(replyWaitMs_ * 2, 1u), options_.confirmWaitMs);
}

SearchResult DeviceSearch::findDevice(int attempt) {
    table_.closeInputs();
    closeOutputs();
    shared_->searching.store(true);
    record_.attempts = std::max(record_.attempts, attempt);
    record_.inPort = record_.outPort = -1;
    record_.inputs.clear(); // an attempt that gives up has opened and probed nothing
    record_.outputs.clear();
    report(makeEvent(SearchEvent::Kind::Attempt, attempt, options_.attempts));

    auto& midi = platform();
    for (int reading = 0; reading < options_.countPolls; ++reading) {
        table_.inPortCount = midi.inputCount();
        table_.outPortCount = midi.outputCount();
        if (table_.inPortCount != 0 && table_.outPortCount != 0) break;
        SearchEvent waiting =
            makeEvent(SearchEvent::Kind::WaitingForPorts, attempt, options_.attempts);
        waiting.inputs = table_.inPortCount;
        waiting.outputs = table_.outPortCount;
        waiting.waitedMs = static_cast<unsigned>(reading) * options_.pauseMs;
        waiting.waitForMs = static_cast<unsigned>(options_.countPolls) * options_.pauseMs;
        report(std::move(waiting));
        if (!pause(options_.pauseMs)) {
            record_.stopped = true;
            return SearchResult::Stopped;
        }
    }
    if (table_.inPortCount == 0) {
        report(makeEvent(SearchEvent::Kind::NoInputPort, attempt, options_.attempts));
        return SearchResult::GiveUp;
    }
    if (table_.inPortCount > PortTable::kMaxPorts || table_.outPortCount > PortTable::kMaxPorts) {
        report(makeEvent(SearchEvent::Kind::TooManyPorts, attempt, options_.attempts));
        return SearchResult::GiveUp;
    }

    record_.inputs.assign(table_.inPortCount, {});
    record_.outputs.assign(table_.outPortCount, {});
    shared_->answeredInputs.store(0);
    for (unsigned i = 0; i < table_.inPortCount; ++i)
        record_.inputs[i].name = midi.inputName(i);
    // Opens the inputs not tried yet (with `namedOnly`, those named "Korvalen"); true when it
    // tried one. Every input opened costs time (on JACK a client of its own), so the others
    // are opened only when no controller answered on these.
    auto openInputs = [&](bool namedOnly) {
        bool tried = false;
        for (unsigned i = 0; i < table_.inPortCount; ++i) {
            PortState& input = record_.inputs[i];
            if (input.opened || input.failure != OpenFailure::None) continue;
            if (namedOnly && !isKorvalenPortName(input.name)) continue;
            tried = true;
            noteOpenFailure(OpenFailure::Unknown);
            // The handler holds the shared state, never the search, which may end first.
            input.opened = table_.openInputSlot(
                i, [state = shared_](std::uintptr_t instance, const InputEvent& event) {
                    state->onInput(instance, event);
                });
            if (!input.opened) input.failure = lastOpenFailure();
        }
        return tried;
    };
    std::vector<std::string> names(table_.outPortCount);
    for (unsigned j = 0; j < table_.outPortCount; ++j)
        names[j] = record_.outputs[j].name = midi.outputName(j);
    if (table_.outPortCount == 0)
        report(makeEvent(SearchEvent::Kind::NoOutputPort, attempt, options_.attempts));

    auto noteAnswers = [&] {
        const std::uint32_t bits = shared_->answeredInputs.load();
        for (unsigned i = 0; i < record_.inputs.size(); ++i)
            if (bits & (1u << i)) record_.inputs[i].answered = true;
        const PackedReply noted = PackedReply::unpack(shared_->noted.exchange(0));
        if (noted.kind != ReplyMatch::Kind::None) {
            if (noted.kind == ReplyMatch::Kind::Other) record_.otherDeviceSeen = true;
            SearchEvent e =
                makeEvent(SearchEvent::Kind::Answer, attempt, options_.attempts, noted.port);
            e.match = {noted.kind, noted.version};
            report(e);
        }
        if (shared_->lateReplies.exchange(0) > 0) lengthenWindow();
    };

    // Replies that came after the last attempt had ended were late too.
    if (shared_->lateReplies.exchange(0) > 0) lengthenWindow();
    const auto& only = options_.onlyOutputs;
    record_.devices.clear();
    outputs_.clear();
    outputs_.resize(table_.outPortCount);
    auto stopped = [&] {
        closeOutputs();
        record_.replyWaitMs = replyWaitMs_;
        record_.stopped = true;
        return SearchResult::Stopped;
    };

    // The outputs of a group are opened and probed at once, and one reply window serves them
    // all: ports that never answer cost that one window together, not one window each. Then
    // the outputs are asked one at a time, those whose names go with an input that answered
    // first, until every such input has its output. A window ends as soon as one of those
    // inputs answers. Outputs that led to no device are closed after their group.
    auto ask = [&](const std::vector<unsigned>& group) {
        std::vector<unsigned> asked;
        for (unsigned j : group) {
            noteOpenFailure(OpenFailure::Unknown);
            outputs_[j] = midi.openOutput(j);
            if (!outputs_[j]) {
                record_.outputs[j].failure = lastOpenFailure();
                continue;
            }
            record_.outputs[j].opened = true;
            asked.push_back(j);
        }
        if (asked.empty()) return true;
        if (!pause(options_.openPauseMs)) return false;
        const Window all = probeWindow(asked, 0, replyWaitMs_, attempt);
        noteAnswers();
        if (all.stopped) return false;

        std::uint32_t pending = all.inputs;
        for (const FoundDevice& d : record_.devices)
            pending &= ~(1u << d.inPort);
        std::vector<unsigned> order = all.sent;
        std::stable_partition(order.begin(), order.end(),
                              [&](unsigned j) { return pairsWithAny(names[j], pending); });
        for (unsigned j : order) {
            if (pending == 0) break;
            // With only one output asked, the window of all was its own.
            std::uint32_t heard = pending;
            if (all.sent.size() > 1) {
                const Window one = probeWindow({j}, pending, replyWaitMs_, attempt);
                noteAnswers();
                if (one.stopped) return false;
                heard = one.inputs & pending;
            }
            if (heard == 0) continue;
            record_.outputs[j].answered = true;
            bool confirmed = false;
            for (int i = 0; i < PortTable::kMaxPorts && !confirmed; ++i) {
                if (((heard >> i) & 1u) == 0) continue;
                confirmed = confirm(j, i);
                if (stop_.stopRequested()) return false;
                if (!confirmed) continue;
                pending &= ~(1u << i);
                const auto in = static_cast<std::size_t>(i);
                record_.devices.push_back({i, static_cast<int>(j), record_.inputs[in].name,
                                           names[j], shared_->versions[in].load()});
                report(makeEvent(SearchEvent::Kind::Found, attempt, options_.attempts,
                                 static_cast<int>(j), names[j]));
            }
            // The reply was not this output's: it came late, from an earlier probe.
            if (!confirmed) lengthenWindow();
        }
        for (unsigned j : asked)
            if (std::none_of(record_.devices.begin(), record_.devices.end(),
                             [j](const FoundDevice& d) { return d.outPort == int(j); }))
                outputs_[j].reset();
        return true;
    };

    // The outputs named "Korvalen" first. When a controller answers among them, the others are
    // not asked: a second controller has a port of that name too, and every port asked costs
    // the time to open it.
    // Likewise the inputs, in the first attempt: only those named "Korvalen" while the outputs
    // of that name are asked, the others before the other outputs. A later attempt opens every
    // input from the start, so that an answer to a "Korvalen" output that comes in on an input
    // of another name is heard then.
    std::vector<unsigned> named, others;
    for (unsigned j : probingOrder(names)) {
        if (!only.empty() && std::find(only.begin(), only.end(), names[j]) == only.end()) continue;
        (isKorvalenPortName(names[j]) ? named : others).push_back(j);
    }
    if (attempt > 1 || named.empty() || !openInputs(true)) openInputs(false);
    if (!ask(named)) return stopped();
    if (record_.devices.empty()) {
        openInputs(false);
        if (!ask(others)) return stopped();
    }
    record_.replyWaitMs = replyWaitMs_;
    if (record_.devices.empty()) {
        closeOutputs();
        return SearchResult::NotFound;
    }
    return choose(attempt);
}

DeviceSearch::Window DeviceSearch::probeWindow(const std::vector<unsigned>& outputs,
                                               std::uint32_t wake, unsigned waitMs, int attempt) {
    Window result;
    stop_.takeWake();
    shared_->openWindow(-1, wake);
    const std::vector<std::uint8_t>& probe = options_.probe;
    for (unsigned j : outputs) {
        report(makeEvent(SearchEvent::Kind::Probing, attempt, options_.attempts,
                         static_cast<int>(j), record_.outputs[j].name));
        OutputPort* port = outputs_[j].get();
        if (port && port->send(probe.data(), static_cast<std::uint32_t>(probe.size())) == 0) {
            record_.outputs[j].probed = true;
            result.sent.push_back(j);
        } else {
            outputs_[j].reset(); // an output that does not take the probe is not asked again
        }
    }
    if (!result.sent.empty()) pause(waitMs); // ends early when an input of `wake` answers
    result.inputs = shared_->closeWindow().second;
    stop_.takeWake();
    result.stopped = stop_.stopRequested();
    return result;
}

void DeviceSearch::closeOutputs() {
    table_.closeOutput();
    outputs_.clear();
}

bool DeviceSearch::pairsWithAny(const std::string& output, std::uint32_t inputs) const {
    for (std::size_t i = 0; i < record_.inputs.size(); ++i)
        if (((inputs >> i) & 1u) != 0 && portNamesPair(output, record_.inputs[i].name)) return true;
    return false;
}

SearchResult DeviceSearch::choose(int attempt) {
    const DeviceChoice choice = chooseController(record_.devices, options_.preference);
    if (choice.kind != DeviceChoice::Kind::Chosen) {
        closeOutputs();
        report(makeEvent(SearchEvent::Kind::Several, attempt, options_.attempts));
        return SearchResult::NotChosen;
    }
    const FoundDevice& device = record_.devices[static_cast<std::size_t>(choice.index)];
    // The chosen output stays open in the table; the others are closed.
    table_.closeOutput();
    table_.outPort = std::move(outputs_[static_cast<std::size_t>(device.outPort)]);
    outputs_.clear();
    record_.inPort = device.inPort;
    record_.outPort = device.outPort;
    return SearchResult::Found;
}

bool DeviceSearch::confirm(unsigned output, int input) {
    report(makeEvent(SearchEvent::Kind::Confirming, record_.attempts, options_.attempts,
                     static_cast<int>(output)));
    stop_.takeWake();
    const std::uint16_t window = shared_->openWindow(input, 1u << input);
    const std::vector<std::uint8_t>& probe = options_.probe;
    OutputPort* port = outputs_[output].get();
    if (!port || port->send(probe.data(), static_cast<std::uint32_t>(probe.size())) != 0) {
        shared_->closeWindow();
        return false;
    }
    pause(options_.confirmWaitMs); // ends early when the reply comes
    const PackedReply reply = shared_->closeWindow().first;
    stop_.takeWake();
    return !stop_.stopRequested() && reply.window == window &&
           reply.kind == ReplyMatch::Kind::Device && reply.port == input;
}

SearchResult DeviceSearch::run() {
    record_ = {};
    replyWaitMs_ = options_.replyWaitMs;
    SearchResult result = SearchResult::NotFound;
    for (int attempt = 1; attempt <= options_.attempts; ++attempt) {
        result = findDevice(attempt);
        if (result != SearchResult::NotFound) break;
        if (attempt < options_.attempts && !pause(options_.pauseMs)) {
            result = SearchResult::Stopped;
            record_.stopped = true;
            break;
        }
    }
    record_.replyWaitMs = replyWaitMs_;
    if (result == SearchResult::Found) {
        for (int i = 0; i < PortTable::kMaxPorts; ++i)
            if (i != record_.inPort) table_.closeInputSlot(i);
    } else {
        table_.closeInputs();
        table_.closeOutput();
    }
    shared_->searching.store(false);
    return result;
}

} // namespace korvalen::midi
