#include "rtmidibackend.h"

#include "alsaseqinput.h"
#include "bufferedinput.h"
#include "traffictap.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <sched.h>
#include <thread>
#include <unistd.h>

#ifdef KORVALEN_HAVE_JACK_PROBE
#include <jack/jack.h>
#endif

namespace korvalen::midi {

namespace {

struct ApiName {
    const char* name;
    RtMidi::Api api;
};

constexpr ApiName kApis[] = {
    {"alsa", RtMidi::LINUX_ALSA},
    {"jack", RtMidi::UNIX_JACK},
    {"coremidi", RtMidi::MACOSX_CORE},
    {"winmm", RtMidi::WINDOWS_MM},
};

bool compiled(RtMidi::Api api) {
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

// Collects what RtMidi reports through its error callback, so that no RtMidiError is ever
// thrown out of a call once the callback is set.
class ErrorSink {
public:
    static void callback(RtMidiError::Type type, const std::string& text, void* user) {
        auto* self = static_cast<ErrorSink*>(user);
        std::lock_guard lock(self->mutex_);
        self->reported_ = true;
        if (type != RtMidiError::WARNING && type != RtMidiError::DEBUG_WARNING)
            self->failed_ = true;
        self->last_ = text;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        reported_ = failed_ = false;
        last_.clear();
    }
    bool failed() {
        std::lock_guard lock(mutex_);
        return failed_;
    }
    bool reported() {
        std::lock_guard lock(mutex_);
        return reported_;
    }
    std::string last() {
        std::lock_guard lock(mutex_);
        return last_;
    }

private:
    std::mutex mutex_;
    bool reported_ = false;
    bool failed_ = false;
    std::string last_;
};

template <class Port> std::vector<std::string> listPorts(Port& port) {
    std::vector<std::string> names;
    try {
        const unsigned n = port.getPortCount();
        names.reserve(n);
        for (unsigned i = 0; i < n; ++i)
            names.push_back(port.getPortName(i));
    } catch (const RtMidiError&) {
        names.clear();
    }
    return names;
}

// The position of `name` in RtMidi's listing of `port`, or -1.
template <class Port> int findPort(Port& port, const std::string& name) {
    const auto names = listPorts(port);
    auto it = std::find(names.begin(), names.end(), name);
    return it == names.end() ? -1 : static_cast<int>(it - names.begin());
}

// Why a listed port refused to open. A Windows MM port is open for one program at a time, so
// there a listed port that refuses is nearly always held by another program; the other APIs
// share their ports and do not say why they refused.
OpenFailure refusal(RtMidi::Api api) {
    return api == RtMidi::WINDOWS_MM ? OpenFailure::InUse : OpenFailure::Unknown;
}

// ---------------------------------------------------------------------------------------------

class RtInputPort final : public BufferedInput {
public:
    RtInputPort(InputHandler handler, std::uintptr_t instance, const std::string& portName)
        : BufferedInput(std::move(handler), instance, portName) {}

    bool open(RtMidi::Api api, const std::string& clientName) {
        try {
            in_ = std::make_unique<RtMidiIn>(api, clientName);
        } catch (const RtMidiError&) {
            return false;
        }
        in_->setErrorCallback(&ErrorSink::callback, &errors_);
        const int index = findPort(*in_, name());
        if (index < 0) {
            noteOpenFailure(OpenFailure::Gone);
            return false;
        }
        try {
            in_->ignoreTypes(false, true, true);
            // Messages are taken in the callback as they arrive: RtMidi's polled queue holds
            // a limited number of messages and drops the rest.
            in_->setCallback(&RtInputPort::onMessage, this);
            in_->openPort(static_cast<unsigned>(index), "Korvalen25 In");
        } catch (const RtMidiError&) {
            noteOpenFailure(refusal(api));
            return false;
        }
        if (in_->isPortOpen() && !errors_.failed()) return true;
        noteOpenFailure(refusal(api));
        return false;
    }

    ~RtInputPort() override {
        shut();
        if (in_) {
            // Ends RtMidi's input thread (or JACK client); a callback still running finds the
            // port shut and returns without calling the handler.
            try {
                in_->cancelCallback();
                in_->closePort();
            } catch (const RtMidiError&) {
            }
            in_.reset();
        }
        reportClose();
    }

private:
    static void onMessage(double, std::vector<unsigned char>* message, void* user) {
        if (message && !message->empty())
            static_cast<RtInputPort*>(user)->deliver(message->data(), message->size());
    }

    std::unique_ptr<RtMidiIn> in_;
    ErrorSink errors_;
};

#ifdef KORVALEN_HAVE_JACK_PROBE
// RtMidi's JACK output frees its send queue before it closes its client. A process callback of
// that client that began before the port closed and runs late (a loaded machine, a thread
// without real time) then reads freed memory. Deactivating the client first waits for such a
// callback and stops the next ones; RtMidi closes it afterwards as before.
//
// RtMidi does not give out its client: it is the first member of the state RtMidi 4 to 6 keep
// for a JACK port (MidiApi::apiData_). With another RtMidi the client is left alone.
constexpr bool kKnownJackLayout =
    RTMIDI_VERSION[0] >= '4' && RTMIDI_VERSION[0] <= '6' && RTMIDI_VERSION[1] == '.';

class JackRtMidiOut final : public RtMidiOut {
public:
    using RtMidiOut::RtMidiOut;
    ~JackRtMidiOut() override {
        if (!kKnownJackLayout || !rtapi_ || getCurrentApi() != RtMidi::UNIX_JACK) return;
        void* data = rtapi_->*ApiData::member();
        if (auto* client = data ? *static_cast<jack_client_t**>(data) : nullptr)
            jack_deactivate(client);
    }

private:
    // The state of an API, reached through a member pointer taken where it may be named.
    using StatePointer = void* MidiApi::*;
    struct ApiData : MidiApi {
        static constexpr StatePointer member() { return &ApiData::apiData_; }
    };
};
using OutputClient = JackRtMidiOut;
#else
using OutputClient = RtMidiOut;
#endif

class RtOutputPort final : public OutputPort {
public:
    bool open(RtMidi::Api api, const std::string& clientName, const std::string& portName) {
        name_ = portName;
        try {
            out_ = std::make_unique<OutputClient>(api, clientName);
        } catch (const RtMidiError&) {
            return false;
        }
        out_->setErrorCallback(&ErrorSink::callback, &errors_);
        const int index = findPort(*out_, portName);
        if (index < 0) {
            noteOpenFailure(OpenFailure::Gone);
            return false;
        }
        try {
            out_->openPort(static_cast<unsigned>(index), "Korvalen25 Out");
        } catch (const RtMidiError&) {
            noteOpenFailure(refusal(api));
            return false;
        }
        if (out_->isPortOpen() && !errors_.failed()) return true;
        noteOpenFailure(refusal(api));
        return false;
    }

    ~RtOutputPort() override {
        try {
            if (out_) out_->closePort();
        } catch (const RtMidiError&) {
        }
    }

    int send(const std::uint8_t* data, std::uint32_t length) override {
        if (!data || length == 0) return -1;
        tapTraffic(true, name_, data, length);
        errors_.clear();
        try {
            out_->sendMessage(data, length); // RtMidi copies the bytes before it returns
        } catch (const RtMidiError&) {
            return -1;
        }
        return errors_.failed() ? -1 : 0;
    }

private:
    std::string name_;
    std::unique_ptr<OutputClient> out_;
    ErrorSink errors_;
};

// ---------------------------------------------------------------------------------------------

#ifdef KORVALEN_HAVE_JACK_PROBE
// Short cycles of PipeWire's graph while transfers go on. PipeWire runs its graph in cycles
// of 1024 frames (21 ms) unless a client asks for less, and each step of a transfer that
// waits for an answer takes two of them. A JACK client of our own, without ports, asks for
// the short cycle through jack_set_buffer_size() (on PipeWire a request of that client only,
// node.force-quantum) when the first transfer begins. When the last one ends it asks for the
// cycle the graph ran at before and is closed: PipeWire keeps the cycle a request leaves
// behind, so closing alone would leave the graph at the short one. Never used on jackd,
// where jack_set_buffer_size() changes the server for every client.
class JackTransferPace {
public:
    JackTransferPace(std::string clientName, unsigned frames)
        : clientName_(std::move(clientName)), frames_(frames) {}
    ~JackTransferPace() { close(); }
    JackTransferPace(const JackTransferPace&) = delete;
    JackTransferPace& operator=(const JackTransferPace&) = delete;

    void begin() {
        std::lock_guard lock(mutex_);
        if (depth_++ > 0 || frames_ == 0) return;
        jack_status_t status{};
        client_ = jack_client_open(clientName_.c_str(), JackNoStartServer, &status);
        if (!client_) return; // the transfer goes on at the server's own cycle
        cycle_ = 0;
        cycles_ = 0;
        shortCycles_ = 0;
        if (jack_set_process_callback(client_, &JackTransferPace::onCycle, this) != 0 ||
            jack_activate(client_) != 0) {
            closeLocked();
            return;
        }
        // The cycle the graph runs at is known once the client took part in one.
        waitForCycles([this] { return cycles_.load() > 0; });
        before_ = cycle_.load();
        // Without real-time scheduling a busy machine makes the graph's clients miss cycles, and
        // PipeWire drops the MIDI events of a missed cycle; short cycles are missed far more
        // often, so the transfer keeps the graph's own.
        if (before_ != 0) notRealtime_ = !realtime_.load();
        // A server that already runs cycles this short is left as it is.
        if (before_ == 0 || notRealtime_ || before_ <= frames_ ||
            jack_set_buffer_size(client_, frames_) != 0) {
            before_ = 0;
            closeLocked();
            return;
        }
        // The transfer starts once the graph runs the short cycles: a message sent while
        // PipeWire changes the cycle may be lost on the way.
        waitForCycles([this] { return shortCycles_.load() >= kSettleCycles; });
    }

    void end() {
        std::lock_guard lock(mutex_);
        if (depth_ == 0 || --depth_ > 0) return;
        closeLocked();
    }

    // True once a transfer found that this program's JACK threads do not run in real time
    // (and so asked for nothing).
    bool notRealtime() const { return notRealtime_.load(); }

private:
    // Cycles of the new length before the transfer goes on, and the longest wait for a cycle
    // to come (a graph that stalls does not hold the transfer up longer).
    static constexpr unsigned kSettleCycles = 3;
    static constexpr int kCycleWaitMs = 1000;

    static int onCycle(jack_nframes_t frames, void* self) {
        auto* pace = static_cast<JackTransferPace*>(self);
        // The calling thread's policy; a real-time one may carry SCHED_RESET_ON_FORK.
        const int policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
        pace->realtime_.store(policy == SCHED_FIFO || policy == SCHED_RR);
        pace->cycle_.store(frames);
        pace->cycles_.fetch_add(1);
        if (frames == pace->frames_) pace->shortCycles_.fetch_add(1);
        return 0;
    }

    // Looks every millisecond until `done` or kCycleWaitMs have passed.
    template <class Done> static void waitForCycles(Done done) {
        for (int ms = 0; ms < kCycleWaitMs && !done(); ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    void close() {
        std::lock_guard lock(mutex_);
        closeLocked();
    }
    void closeLocked() {
        if (!client_) return;
        if (before_ != 0) jack_set_buffer_size(client_, before_); // the cycle given back
        before_ = 0;
        jack_deactivate(client_);
        jack_client_close(client_);
        client_ = nullptr;
    }

    const std::string clientName_;
    const unsigned frames_;
    std::mutex mutex_;
    int depth_ = 0;
    jack_client_t* client_ = nullptr;
    unsigned before_ = 0; // the graph's cycle before the request; 0 when nothing was asked
    std::atomic<unsigned> cycle_{0};       // the frames of the last cycle
    std::atomic<unsigned> cycles_{0};      // cycles since the client was activated
    std::atomic<unsigned> shortCycles_{0}; // of them, cycles of frames_ frames
    std::atomic<bool> realtime_{false};    // the process thread runs in real time
    std::atomic<bool> notRealtime_{false};
};
#endif

class RtMidiPlatform final : public Platform {
public:
    RtMidiPlatform(std::string name, RtMidi::Api api, std::string clientName)
        : name_(std::move(name)), api_(api), clientName_(std::move(clientName)) {}

    // Creates the two listing clients; false with the reason when the API does not start.
    bool start(std::string* error) {
        try {
            queryIn_ = std::make_unique<RtMidiIn>(api_, clientName_);
            queryOut_ = std::make_unique<RtMidiOut>(api_, clientName_);
        } catch (const RtMidiError& e) {
            if (error) *error = e.getMessage();
            return false;
        }
        queryIn_->setErrorCallback(&ErrorSink::callback, &errors_);
        queryOut_->setErrorCallback(&ErrorSink::callback, &errors_);
        errors_.clear();
        queryIn_->getPortCount();
        queryOut_->getPortCount();
        if (errors_.reported()) {
            if (error) *error = errors_.last();
            return false;
        }
#ifdef KORVALEN_HAVE_JACK_PROBE
        if (api_ == RtMidi::UNIX_JACK) {
            const char* version = jack_get_version_string();
            server_ = jackServerOf(version ? version : "");
            if (server_.kind == MidiServer::Kind::PipeWire) {
                server_.transferQuantum = pipeWireTransferQuantum();
                // JACK client names are short; this one is seen in PipeWire's node list only.
                pace_ = std::make_unique<JackTransferPace>(clientName_.substr(0, 40) + " pace",
                                                           server_.transferQuantum);
            }
        }
#endif
        return true;
    }

    MidiServer midiServer() override {
        MidiServer server = server_;
#ifdef KORVALEN_HAVE_JACK_PROBE
        if (pace_ && pace_->notRealtime()) {
            server.transferQuantum = 0;
            server.notRealtime = true;
        }
#endif
        return server;
    }

    void transferBegins() override {
#ifdef KORVALEN_HAVE_JACK_PROBE
        if (pace_) pace_->begin();
#endif
    }

    void transferEnds() override {
#ifdef KORVALEN_HAVE_JACK_PROBE
        if (pace_) pace_->end();
#endif
    }

    std::string apiName() const override {
        return name_;
    }

    unsigned inputCount() override {
        std::lock_guard lock(mutex_);
        inNames_ = filtered(listPorts(*queryIn_));
        return static_cast<unsigned>(inNames_.size());
    }

    unsigned outputCount() override {
        std::lock_guard lock(mutex_);
        outNames_ = filtered(listPorts(*queryOut_));
        return static_cast<unsigned>(outNames_.size());
    }

    std::vector<std::string> inputNames() override {
        std::lock_guard lock(mutex_);
        return filtered(listPorts(*queryIn_));
    }

    std::vector<std::string> outputNames() override {
        std::lock_guard lock(mutex_);
        return filtered(listPorts(*queryOut_));
    }

    std::string inputName(unsigned index) override {
        std::lock_guard lock(mutex_);
        return index < inNames_.size() ? inNames_[index] : std::string();
    }

    std::string outputName(unsigned index) override {
        std::lock_guard lock(mutex_);
        return index < outNames_.size() ? outNames_[index] : std::string();
    }

    std::unique_ptr<InputPort> openInput(unsigned index, InputHandler handler,
                                         std::uintptr_t instance) override {
        const std::string name = nameAt(index, inNames_, *queryIn_);
        if (name.empty()) noteOpenFailure(OpenFailure::Gone);
        if (name.empty() || !handler) return nullptr;
#ifdef KORVALEN_HAVE_ALSA_SEQ
        // On ALSA the input is read through a sequencer client of its own, whose input pool
        // can be made large enough for the controller's fastest dump.
        if (api_ == RtMidi::LINUX_ALSA)
            return openAlsaSeqInput(clientName_, name, handler, instance);
#endif
        auto port = std::make_unique<RtInputPort>(std::move(handler), instance, name);
        if (!port->open(api_, clientName_)) return nullptr;
        return port;
    }

    std::unique_ptr<OutputPort> openOutput(unsigned index) override {
        const std::string name = nameAt(index, outNames_, *queryOut_);
        if (name.empty()) {
            noteOpenFailure(OpenFailure::Gone);
            return nullptr;
        }
        auto port = std::make_unique<RtOutputPort>();
        if (!port->open(api_, clientName_, name)) return nullptr;
        return port;
    }

    void sleep(unsigned milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    using Platform::sleep;

private:
    std::vector<std::string> filtered(std::vector<std::string> names) const {
        std::erase_if(names, [&](const std::string& n) { return isOwnPortName(n, clientName_); });
        return names;
    }

    // The name behind a port index as the last count reported it (the indexes the caller
    // knows); the listing is read now when no count was asked for yet.
    template <class Port>
    std::string nameAt(unsigned index, std::vector<std::string>& names, Port& query) {
        std::lock_guard lock(mutex_);
        if (names.empty()) names = filtered(listPorts(query));
        return index < names.size() ? names[index] : std::string();
    }

    const std::string name_;
    const RtMidi::Api api_;
    const std::string clientName_;
    ErrorSink errors_;
    std::mutex mutex_;
    std::unique_ptr<RtMidiIn> queryIn_;
    std::unique_ptr<RtMidiOut> queryOut_;
    std::vector<std::string> inNames_;
    std::vector<std::string> outNames_;
    MidiServer server_;
#ifdef KORVALEN_HAVE_JACK_PROBE
    std::unique_ptr<JackTransferPace> pace_;
#endif
};

#ifdef KORVALEN_HAVE_JACK_PROBE
void quietJackMessage(const char*) {}

// Asks whether a JACK server answers, without JACK's own complaints on stderr.
bool jackServerAnswers() {
    jack_set_error_function(quietJackMessage);
    jack_set_info_function(quietJackMessage);
    jack_status_t status{};
    jack_client_t* client = jack_client_open("korvalen-probe", JackNoStartServer, &status);
    if (client) jack_client_close(client);
    jack_set_error_function(nullptr);
    jack_set_info_function(nullptr);
    return client != nullptr;
}
#endif

} // namespace

std::vector<std::string> rtMidiCompiledApis() {
    std::vector<std::string> names;
    for (const ApiName& a : kApis)
        if (compiled(a.api)) names.emplace_back(a.name);
    return names;
}

std::string rtMidiVersion() {
    return RtMidi::getVersion();
}

MidiServer jackServerOf(std::string_view versionText) {
    MidiServer server;
    constexpr std::string_view kPipeWire = "PipeWire";
    const auto at = versionText.find(kPipeWire);
    if (at == std::string_view::npos) {
        server.kind = MidiServer::Kind::Jackd;
        server.version = std::string(versionText);
        return server;
    }
    server.kind = MidiServer::Kind::PipeWire;
    std::string_view rest = versionText.substr(at + kPipeWire.size());
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    const auto end = rest.find_first_of(" )");
    server.version = std::string(rest.substr(0, end));
    return server;
}

unsigned pipeWireTransferQuantum() {
    constexpr unsigned kDefault = 256;
    const char* text = std::getenv("KORVALEN_PIPEWIRE_QUANTUM");
    if (!text || !*text) return kDefault;
    char* end = nullptr;
    const unsigned long frames = std::strtoul(text, &end, 10);
    if (*end != '\0' || !std::isdigit(static_cast<unsigned char>(*text))) return kDefault;
    if (frames == 0) return 0;
    if (frames < 16 || frames > 8192 || (frames & (frames - 1)) != 0) return kDefault;
    return static_cast<unsigned>(frames);
}

bool isOwnPortName(std::string_view portName, std::string_view clientName) {
    const auto colon = portName.find(':');
    if (colon == std::string_view::npos || clientName.empty()) return false;
    const std::string_view head = portName.substr(0, colon);
    if (head == clientName) return true;
    if (head.size() < clientName.size() + 2 || head.substr(0, clientName.size()) != clientName ||
        head[clientName.size()] != '-')
        return false;
    const std::string_view suffix = head.substr(clientName.size() + 1);
    return std::all_of(suffix.begin(), suffix.end(),
                       [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

namespace {

const ApiName* findApi(const std::string& api) {
    for (const ApiName& a : kApis)
        if (api == a.name) return &a;
    return nullptr;
}

} // namespace

bool rtMidiApiStarts(const std::string& api, std::string* why) {
    auto fail = [&](std::string reason) {
        if (why) *why = std::move(reason);
        return false;
    };
    const ApiName* found = findApi(api);
    if (!found) return fail("unknown MIDI API \"" + api + "\"");
    if (!compiled(found->api)) return fail("the RtMidi library was built without " + api);
    if (found->api == RtMidi::LINUX_ALSA && ::access("/dev/snd/seq", R_OK | W_OK) != 0)
        return fail("the ALSA sequencer /dev/snd/seq is not available");
#ifdef KORVALEN_HAVE_JACK_PROBE
    if (found->api == RtMidi::UNIX_JACK && !jackServerAnswers())
        return fail("no JACK server is running");
#endif
    return true;
}

std::shared_ptr<Platform> createRtMidiPlatform(const std::string& api,
                                               const std::string& clientName, std::string* error) {
    if (!rtMidiApiStarts(api, error)) return nullptr;
    const ApiName* found = findApi(api);
    auto p = std::make_shared<RtMidiPlatform>(found->name, found->api, clientName);
    std::string why;
    if (!p->start(&why)) {
        if (error) *error = api + " did not start: " + why;
        return nullptr;
    }
    return p;
}

} // namespace korvalen::midi
