#include "midi.h"

#include "presetprotocol.h"

#include <algorithm>

using korvalen::midi::DeviceSearch;
using korvalen::midi::InputEvent;
using korvalen::midi::platform;
using korvalen::midi::ReplyMatch;
using korvalen::midi::SearchResult;

midiMethodClass midiLink;

midiMethodClass::midiMethodClass() = default;

midiMethodClass::~midiMethodClass() {
    delivery = Delivery::Nowhere;
    closeInputs();
    closeOutput();
}

void midiMethodClass::resetPortTable() {
    inPortCount = platform().inputCount();
    outPortCount = platform().outputCount();
    closeInputs();
    replyInPort = 0;
    replyOutPort = 0;
    delivery = Delivery::Nowhere;
    controllerIn_.clear();
    controllerOut_.clear();
    controllerIdentity_ = 0;
}

DeviceSearch::Options midiMethodClass::editorSearchOptions() {
    DeviceSearch::Options o;
    o.probe.assign(korvalen::kIdentityProbe.begin(), korvalen::kIdentityProbe.end());
    o.matcher = [](const std::uint8_t* data, std::size_t length) {
        const auto identity = korvalen::ControllerIdentity::ofReply(data, length);
        return identity.known ? ReplyMatch{ReplyMatch::Kind::Device, identity.pack()}
                              : ReplyMatch{};
    };
    o.forward = [this](std::uintptr_t instance, const InputEvent& event) {
        editorMidiInProc(instance, event);
    };
    o.attempts = kAttempts;
    o.countPolls = kCountPolls;
    o.pauseMs = kPollPauseMs;
    o.openPauseMs = kOpenPauseMs;
    o.replyWaitMs = kReplyWaitMs;
    o.confirmWaitMs = kConfirmWaitMs;
    return o;
}

int midiMethodClass::findDevice() {
    DeviceSearch search(*this, editorSearchOptions(), searchStop_);
    const SearchResult result = search.findDevice();
    lastSearch_ = search.record();
    if (result == SearchResult::Found) {
        replyInPort = lastSearch_.inPort + 1;
        replyOutPort = lastSearch_.outPort + 1;
        return 0;
    }
    return result == SearchResult::NotFound ? 1 : -1;
}

void midiMethodClass::reConnect() {
    prepareSearch();
    runSearch(editorSearchOptions());
}

void midiMethodClass::prepareSearch() {
    resetPortTable();
    searchStop_.clear();
}

void midiMethodClass::deliverToRingOnly() {
    Delivery window = Delivery::Window;
    delivery.compare_exchange_strong(window, Delivery::RingOnly);
}

void midiMethodClass::deliverToWindowAgain() {
    Delivery ringOnly = Delivery::RingOnly;
    delivery.compare_exchange_strong(ringOnly, Delivery::Window);
}

SearchResult midiMethodClass::runSearch(const DeviceSearch::Options& options) {
    DeviceSearch search(*this, options, searchStop_);
    const SearchResult result = search.run();
    lastSearch_ = search.record();
    if (result == SearchResult::Found) {
        replyInPort = lastSearch_.inPort + 1;
        replyOutPort = lastSearch_.outPort + 1;
        controllerIn_ = lastSearch_.inputs[static_cast<std::size_t>(lastSearch_.inPort)].name;
        controllerOut_ = lastSearch_.outputs[static_cast<std::size_t>(lastSearch_.outPort)].name;
        std::uint32_t identity = 0;
        for (const korvalen::midi::FoundDevice& d : lastSearch_.devices)
            if (d.outPort == lastSearch_.outPort) identity = d.version;
        controllerIdentity_ = identity;
        delivery = Delivery::Window;
    }
    return result;
}

bool midiMethodClass::controllerPortsPresent() {
    if (controllerIn_.empty() || controllerOut_.empty()) return false;
    auto& midi = platform();
    const auto ins = midi.inputNames();
    const auto outs = midi.outputNames();
    return std::find(ins.begin(), ins.end(), controllerIn_) != ins.end() &&
           std::find(outs.begin(), outs.end(), controllerOut_) != outs.end();
}

void midiMethodClass::editorMidiInProc(std::uintptr_t instance, const InputEvent& event) {
    const int port = static_cast<int>(instance);
    switch (event.kind) {
    case InputEvent::Kind::Close:
        break;
    case InputEvent::Kind::Short:
        if (delivery != Delivery::Nowhere) emit getMidiData(event.shortMessage);
        break;
    case InputEvent::Kind::LongData: {
        const std::uint32_t n = event.buffer ? event.recorded : 0;
        // The ring has one writer: the controller's input, once the search has chosen it.
        // During a search every input is open, each on a thread of its own, and what they
        // receive is the search's business only.
        const Delivery to = delivery;
        const bool fromController = to != Delivery::Nowhere && port == replyInPort - 1;
        // A message that does not fit is dropped whole; the ring records the loss.
        if (fromController) sysExRing.write(event.buffer, n);
        // While a transfer reads the ring on its own thread, the window is not told.
        if (fromController && to == Delivery::Window) {
            // Receivers read the ring themselves; the pointer only marks where unread bytes
            // begin.
            auto* oldest =
                const_cast<std::atomic<std::uint8_t>*>(sysExRing.at(sysExRing.readIndex()));
            emit getMidiSysData(reinterpret_cast<unsigned char*>(oldest), n);
        }
        if (n != 0) requeueBuffer(port);
        break;
    }
    }
}
