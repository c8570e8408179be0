#include "virtualbus.h"

#include "traffictap.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

namespace korvalen::midi {

namespace {

struct Armed {
    std::uint8_t* data;
    std::uint32_t size;
};

// One open input port. `armed`, `started` and `closed` are guarded by the bus mutex; the
// handler mutex is held while the handler runs and is always taken before the bus mutex.
struct InState {
    InputHandler handler;
    std::uintptr_t instance = 0;
    unsigned index = 0;
    std::string name;
    std::recursive_mutex handlerMutex;
    std::deque<Armed> armed;
    bool started = false;
    bool closed = false;
};

class ResponderDevice final : public VirtualDevice {
public:
    ResponderDevice(VirtualBus::Responder responder, unsigned delay)
        : responder_(std::move(responder)), delay_(delay) {}
    std::vector<Message> receive(const Message& message) override { return responder_(message); }
    unsigned replyDelayMs() const override { return delay_; }

private:
    VirtualBus::Responder responder_;
    unsigned delay_;
};

// Why a port did not open: past the count it is gone; a scripted failure gives its own reason;
// a port already open is held by its first opener.
void noteFailure(bool pastCount, const std::map<unsigned, OpenFailure>& scripted, unsigned index,
                 bool alreadyOpen) {
    const auto it = scripted.find(index);
    noteOpenFailure(pastCount              ? OpenFailure::Gone
                    : it != scripted.end() ? it->second
                    : alreadyOpen          ? OpenFailure::InUse
                                           : OpenFailure::Unknown);
}

} // namespace

struct VirtualBus::Core {
    struct Event {
        std::shared_ptr<VirtualDevice> device; // set: the device handles `message`
        unsigned input = 0;                    // where the message (or the replies) go
        Message message;
    };
    struct Attachment {
        unsigned input;
        unsigned output;
        std::shared_ptr<VirtualDevice> device;
    };
    struct Poll {
        unsigned in;
        unsigned out;
        bool inRead = false;
        bool outRead = false;
    };

    mutable std::mutex m;
    std::condition_variable wake; // the delivery thread waits here
    std::condition_variable idle; // sleep() and quiesce() wait here
    std::thread thread;
    std::thread::id threadId;
    bool stopping = false;
    bool busy = false;

    std::uint64_t clock = 0;
    std::uint64_t sequence = 0;
    std::map<std::pair<std::uint64_t, std::uint64_t>, Event> events; // (due, sequence)

    std::vector<Attachment> devices;
    unsigned steadyIn = 0;
    unsigned steadyOut = 0;
    std::deque<Poll> script;
    std::optional<unsigned> reportedIn;
    std::optional<unsigned> reportedOut;
    std::map<unsigned, OpenFailure> failIn, failOut; // ports that refuse to open, and why
    std::set<unsigned> failSend;
    std::map<unsigned, std::shared_ptr<InState>> inputs;
    std::set<unsigned> outputs;
    std::vector<PortRecord> log;
    std::map<unsigned, std::vector<Message>> sentLog;
    std::size_t dropped = 0;
    std::map<unsigned, std::string> inNames, outNames;

    // Callers hold m.
    void schedule(std::uint64_t due, Event event) {
        events.emplace(std::make_pair(due, sequence++), std::move(event));
        wake.notify_all();
    }
    bool dueNow() const { return !events.empty() && events.begin()->first.first <= clock; }
    void waitIdle(std::unique_lock<std::mutex>& lock) {
        if (std::this_thread::get_id() == threadId) return; // a handler cannot wait for itself
        idle.wait(lock, [&] { return stopping || (!busy && !dueNow()); });
    }

    unsigned takeCount(bool Poll::*flag, unsigned Poll::*value, unsigned steady) {
        if (!script.empty() && script.front().*flag) script.pop_front();
        if (script.empty()) return steady;
        Poll& p = script.front();
        p.*flag = true;
        const unsigned v = p.*value;
        if (p.inRead && p.outRead) script.pop_front();
        return v;
    }

    void run() {
        std::unique_lock lock(m);
        while (!stopping) {
            if (!dueNow()) {
                wake.wait(lock);
                continue;
            }
            auto it = events.begin();
            const std::uint64_t due = it->first.first;
            Event event = std::move(it->second);
            events.erase(it);
            busy = true;
            lock.unlock();
            if (event.device) {
                std::vector<Message> replies = event.device->receiveAt(event.message, due);
                const std::uint64_t gap = event.device->replyGapMs(replies.size());
                lock.lock();
                std::uint64_t at = due;
                for (Message& r : replies) {
                    schedule(at, Event{nullptr, event.input, std::move(r)});
                    at += gap;
                }
                lock.unlock();
            } else {
                deliver(event.input, event.message);
            }
            lock.lock();
            busy = false;
            idle.notify_all();
        }
        idle.notify_all();
    }

    void deliver(unsigned index, const Message& message) {
        std::shared_ptr<InState> st;
        {
            std::lock_guard lock(m);
            auto it = inputs.find(index);
            if (it == inputs.end() || message.empty()) {
                ++dropped;
                return;
            }
            st = it->second;
        }
        tapTraffic(false, st->name, message.data(), message.size());
        std::lock_guard handlerLock(st->handlerMutex);
        if (message[0] != 0xF0) {
            {
                std::lock_guard lock(m);
                if (!st->started || st->closed) {
                    ++dropped;
                    return;
                }
            }
            InputEvent event{InputEvent::Kind::Short};
            for (std::size_t i = 0; i < message.size() && i < 3; ++i)
                event.shortMessage |= static_cast<std::uint32_t>(message[i]) << (8 * i);
            st->handler(st->instance, event);
            return;
        }
        std::size_t offset = 0;
        while (offset < message.size()) {
            Armed buffer;
            {
                std::lock_guard lock(m);
                if (!st->started || st->closed || st->armed.empty()) {
                    ++dropped;
                    return;
                }
                buffer = st->armed.front();
                st->armed.pop_front();
            }
            const auto piece = static_cast<std::uint32_t>(
                std::min<std::size_t>(buffer.size, message.size() - offset));
            std::memcpy(buffer.data, message.data() + offset, piece);
            offset += piece;
            InputEvent event{InputEvent::Kind::LongData};
            event.buffer = buffer.data;
            event.recorded = piece;
            st->handler(st->instance, event);
        }
    }
};

namespace {

using Core = VirtualBus::Core;

void returnBuffers(Core& core, InState& st, std::deque<Armed> taken) {
    for (const Armed& b : taken) {
        InputEvent event{InputEvent::Kind::LongData};
        event.buffer = b.data;
        event.recorded = 0;
        st.handler(st.instance, event);
    }
}

class VirtualInputPort final : public InputPort {
public:
    VirtualInputPort(std::shared_ptr<Core> core, std::shared_ptr<InState> st)
        : core_(std::move(core)), st_(std::move(st)) {}

    ~VirtualInputPort() override {
        std::lock_guard handlerLock(st_->handlerMutex);
        std::deque<Armed> taken;
        {
            std::lock_guard lock(core_->m);
            st_->started = false;
            st_->closed = true;
            taken.swap(st_->armed);
            auto it = core_->inputs.find(st_->index);
            if (it != core_->inputs.end() && it->second == st_) core_->inputs.erase(it);
            core_->log.push_back({PortRecord::Kind::InputClosed, st_->index, core_->clock});
        }
        returnBuffers(*core_, *st_, std::move(taken));
        st_->handler(st_->instance, InputEvent{InputEvent::Kind::Close});
    }

    int addBuffer(std::uint8_t* buffer, std::uint32_t size) override {
        if (!buffer || size == 0) return -1;
        std::lock_guard lock(core_->m);
        if (st_->closed) return -1;
        st_->armed.push_back({buffer, size});
        return 0;
    }

    int start() override {
        std::lock_guard lock(core_->m);
        st_->started = true;
        return 0;
    }

    int stop() override {
        std::lock_guard lock(core_->m);
        st_->started = false;
        return 0;
    }

    int reset() override {
        std::lock_guard handlerLock(st_->handlerMutex);
        std::deque<Armed> taken;
        {
            std::lock_guard lock(core_->m);
            st_->started = false;
            taken.swap(st_->armed);
        }
        returnBuffers(*core_, *st_, std::move(taken));
        return 0;
    }

private:
    std::shared_ptr<Core> core_;
    std::shared_ptr<InState> st_;
};

class VirtualOutputPort final : public OutputPort {
public:
    VirtualOutputPort(std::shared_ptr<Core> core, unsigned index, std::string name)
        : core_(std::move(core)), index_(index), name_(std::move(name)) {}

    ~VirtualOutputPort() override {
        std::lock_guard lock(core_->m);
        core_->outputs.erase(index_);
        core_->log.push_back({PortRecord::Kind::OutputClosed, index_, core_->clock});
    }

    int send(const std::uint8_t* data, std::uint32_t length) override {
        if (!data || length == 0) return -1;
        tapTraffic(true, name_, data, length);
        std::lock_guard lock(core_->m);
        if (core_->failSend.count(index_)) return -1;
        Message message(data, data + length);
        core_->sentLog[index_].push_back(message);
        for (const Core::Attachment& a : core_->devices) {
            if (a.output != index_) continue;
            core_->schedule(core_->clock + a.device->replyDelayFor(message),
                            Core::Event{a.device, a.input, message});
        }
        return 0;
    }

private:
    std::shared_ptr<Core> core_;
    unsigned index_;
    std::string name_; // for the traffic tap
};

} // namespace

VirtualBus::VirtualBus() : core_(std::make_shared<Core>()) {
    Core* core = core_.get();
    std::lock_guard lock(core->m);
    core->thread = std::thread([core] { core->run(); });
    core->threadId = core->thread.get_id();
}

VirtualBus::~VirtualBus() {
    {
        std::lock_guard lock(core_->m);
        core_->stopping = true;
        core_->wake.notify_all();
    }
    core_->thread.join();
}

unsigned VirtualBus::inputCount() {
    std::lock_guard lock(core_->m);
    const unsigned v = core_->takeCount(&Core::Poll::inRead, &Core::Poll::in, core_->steadyIn);
    core_->reportedIn = v;
    return v;
}

unsigned VirtualBus::outputCount() {
    std::lock_guard lock(core_->m);
    const unsigned v = core_->takeCount(&Core::Poll::outRead, &Core::Poll::out, core_->steadyOut);
    core_->reportedOut = v;
    return v;
}

namespace {

// The name of a port; the caller holds the bus mutex.
std::string nameOf(const std::map<unsigned, std::string>& names, unsigned index,
                   const char* fallback) {
    auto it = names.find(index);
    return it != names.end() ? it->second : fallback + std::to_string(index + 1);
}

} // namespace

std::string VirtualBus::inputName(unsigned index) {
    std::lock_guard lock(core_->m);
    return nameOf(core_->inNames, index, "Virtual MIDI In ");
}

std::string VirtualBus::outputName(unsigned index) {
    std::lock_guard lock(core_->m);
    return nameOf(core_->outNames, index, "Virtual MIDI Out ");
}

void VirtualBus::setInputName(unsigned index, std::string name) {
    std::lock_guard lock(core_->m);
    core_->inNames[index] = std::move(name);
}

void VirtualBus::setOutputName(unsigned index, std::string name) {
    std::lock_guard lock(core_->m);
    core_->outNames[index] = std::move(name);
}

namespace {

// The names of ports 0 .. count-1.
template <typename NameOf> std::vector<std::string> portNames(unsigned count, NameOf nameOf) {
    std::vector<std::string> names;
    for (unsigned i = 0; i < count; ++i)
        names.push_back(nameOf(i));
    return names;
}

} // namespace

std::vector<std::string> VirtualBus::inputNames() {
    std::unique_lock lock(core_->m);
    const unsigned count = core_->steadyIn;
    lock.unlock();
    return portNames(count, [this](unsigned i) { return inputName(i); });
}

std::vector<std::string> VirtualBus::outputNames() {
    std::unique_lock lock(core_->m);
    const unsigned count = core_->steadyOut;
    lock.unlock();
    return portNames(count, [this](unsigned i) { return outputName(i); });
}

std::unique_ptr<InputPort> VirtualBus::openInput(unsigned index, InputHandler handler,
                                                 std::uintptr_t instance) {
    std::lock_guard lock(core_->m);
    const unsigned limit = core_->reportedIn.value_or(core_->steadyIn);
    if (index >= limit || core_->failIn.count(index) || core_->inputs.count(index) || !handler) {
        core_->log.push_back({PortRecord::Kind::InputOpenFailed, index, core_->clock});
        noteFailure(index >= limit, core_->failIn, index, core_->inputs.count(index) != 0);
        return nullptr;
    }
    auto st = std::make_shared<InState>();
    st->handler = std::move(handler);
    st->instance = instance;
    st->index = index;
    st->name = nameOf(core_->inNames, index, "Virtual MIDI In ");
    core_->inputs[index] = st;
    core_->log.push_back({PortRecord::Kind::InputOpened, index, core_->clock});
    return std::make_unique<VirtualInputPort>(core_, std::move(st));
}

std::unique_ptr<OutputPort> VirtualBus::openOutput(unsigned index) {
    std::lock_guard lock(core_->m);
    const unsigned limit = core_->reportedOut.value_or(core_->steadyOut);
    if (index >= limit || core_->failOut.count(index) || core_->outputs.count(index)) {
        core_->log.push_back({PortRecord::Kind::OutputOpenFailed, index, core_->clock});
        noteFailure(index >= limit, core_->failOut, index, core_->outputs.count(index) != 0);
        return nullptr;
    }
    core_->outputs.insert(index);
    core_->log.push_back({PortRecord::Kind::OutputOpened, index, core_->clock});
    return std::make_unique<VirtualOutputPort>(core_, index,
                                               nameOf(core_->outNames, index, "Virtual MIDI Out "));
}

void VirtualBus::sleep(unsigned milliseconds) {
    std::unique_lock lock(core_->m);
    core_->clock += milliseconds;
    core_->wake.notify_all();
    core_->waitIdle(lock);
}

bool VirtualBus::sleep(unsigned milliseconds, StopToken& token) {
    std::unique_lock lock(core_->m);
    const std::uint64_t end = core_->clock + milliseconds;
    for (;;) {
        // A delivery already handed out (its event no longer queued) finishes at the time it
        // was due: the wake-up it may bring ends the wait before the clock moves on.
        core_->waitIdle(lock);
        if (token.stopRequested()) return false;
        if (token.takeWake() || core_->clock >= end) return true;
        // The next moment something happens, or the end of the wait.
        std::uint64_t next = end;
        if (!core_->events.empty()) next = std::min(next, core_->events.begin()->first.first);
        core_->clock = std::max(core_->clock, next);
        core_->wake.notify_all();
    }
}

void VirtualBus::setPortCounts(unsigned inputs, unsigned outputs) {
    std::lock_guard lock(core_->m);
    core_->steadyIn = inputs;
    core_->steadyOut = outputs;
}

void VirtualBus::scriptPortCounts(std::vector<std::pair<unsigned, unsigned>> polls) {
    std::lock_guard lock(core_->m);
    core_->script.clear();
    for (const auto& [in, out] : polls)
        core_->script.push_back({in, out});
}

void VirtualBus::setInputOpenFails(unsigned index, bool fails, OpenFailure why) {
    std::lock_guard lock(core_->m);
    if (fails)
        core_->failIn[index] = why;
    else
        core_->failIn.erase(index);
}

void VirtualBus::setOutputOpenFails(unsigned index, bool fails, OpenFailure why) {
    std::lock_guard lock(core_->m);
    if (fails)
        core_->failOut[index] = why;
    else
        core_->failOut.erase(index);
}

void VirtualBus::setSendFails(unsigned index, bool fails) {
    std::lock_guard lock(core_->m);
    if (fails)
        core_->failSend.insert(index);
    else
        core_->failSend.erase(index);
}

void VirtualBus::attach(unsigned inputIndex, unsigned outputIndex,
                        std::shared_ptr<VirtualDevice> device) {
    if (!device) return;
    std::lock_guard lock(core_->m);
    core_->devices.push_back({inputIndex, outputIndex, std::move(device)});
}

void VirtualBus::attach(unsigned inputIndex, unsigned outputIndex, Responder responder,
                        unsigned replyDelayMs) {
    attach(inputIndex, outputIndex,
           std::make_shared<ResponderDevice>(std::move(responder), replyDelayMs));
}

void VirtualBus::detachAll() {
    std::lock_guard lock(core_->m);
    core_->devices.clear();
}

std::uint64_t VirtualBus::now() const {
    std::lock_guard lock(core_->m);
    return core_->clock;
}

void VirtualBus::inject(unsigned inputIndex, Message message, unsigned delayMs) {
    std::lock_guard lock(core_->m);
    core_->schedule(core_->clock + delayMs, Core::Event{nullptr, inputIndex, std::move(message)});
}

void VirtualBus::quiesce() {
    std::unique_lock lock(core_->m);
    core_->waitIdle(lock);
}

std::size_t VirtualBus::pendingEvents() const {
    std::lock_guard lock(core_->m);
    return core_->events.size();
}

std::vector<PortRecord> VirtualBus::portLog() const {
    std::lock_guard lock(core_->m);
    return core_->log;
}

void VirtualBus::clearPortLog() {
    std::lock_guard lock(core_->m);
    core_->log.clear();
}

std::vector<unsigned> VirtualBus::openInputs() const {
    std::lock_guard lock(core_->m);
    std::vector<unsigned> v;
    for (const auto& entry : core_->inputs)
        v.push_back(entry.first);
    return v;
}

std::vector<unsigned> VirtualBus::openOutputs() const {
    std::lock_guard lock(core_->m);
    return {core_->outputs.begin(), core_->outputs.end()};
}

std::vector<Message> VirtualBus::sent(unsigned index) const {
    std::lock_guard lock(core_->m);
    auto it = core_->sentLog.find(index);
    return it == core_->sentLog.end() ? std::vector<Message>{} : it->second;
}

void VirtualBus::clearSent() {
    std::lock_guard lock(core_->m);
    core_->sentLog.clear();
}

std::size_t VirtualBus::droppedMessages() const {
    std::lock_guard lock(core_->m);
    return core_->dropped;
}

} // namespace korvalen::midi
