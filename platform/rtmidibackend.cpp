#include "rtmidibackend.h"

#include "alsaseqinput.h"
#include "bufferedinput.h"
#include "traffictap.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <deque>
#include <mutex>
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

class RtOutputPort final : public OutputPort {
public:
    bool open(RtMidi::Api api, const std::string& clientName, const std::string& portName) {
        name_ = portName;
        try {
            out_ = std::make_unique<RtMidiOut>(api, clientName);
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
    std::unique_ptr<RtMidiOut> out_;
    ErrorSink errors_;
};

// ---------------------------------------------------------------------------------------------

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
        return true;
    }

    std::string apiName() const override { return name_; }

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
