#include "midi.h"

#include "presetprotocol.h"

using korvalen::midi::InputEvent;
using korvalen::midi::platform;

midiMethodClass midiLink;

midiMethodClass::midiMethodClass() = default;

// Ports keep their backend alive, so they can be closed here even after the platform has
// been replaced or released.
midiMethodClass::~midiMethodClass() {
    linkState = 0;
    closeInputs();
    closeOutput();
}

int midiMethodClass::sendSysEx(const std::uint8_t* buffer, std::uint32_t length) {
    if (!outPort || buffer == nullptr || length == 0) return -1;
    return outPort->send(buffer, length) == 0 ? 0 : -1;
}

bool midiMethodClass::openInputSlot(unsigned index, korvalen::midi::InputHandler handler) {
    if (index >= kMaxPorts) return false;
    InputSlot& slot = inPorts[index];
    auto port = platform().openInput(index, std::move(handler), index);
    if (!port) return false;
    slot.live.store(port.get());
    if (port->addBuffer(slot.buffer, kBufferSize) != 0 || port->start() != 0) {
        slot.live.store(nullptr);
        port->stop();
        port->reset();
        return false;
    }
    slot.handle = std::move(port);
    return true;
}

void midiMethodClass::closeInputSlot(int index) {
    InputSlot& slot = inPorts[index];
    if (!slot.handle) return;
    slot.live.store(nullptr);
    slot.handle->stop();
    slot.handle->reset();
    slot.handle.reset(); // closes the port
}

void midiMethodClass::requeueBuffer(int index) {
    if (index < 0 || index >= kMaxPorts) return;
    InputSlot& slot = inPorts[index];
    if (auto* port = slot.live.load()) port->addBuffer(slot.buffer, kBufferSize);
}

void midiMethodClass::closeOutput() {
    outPort.reset();
}

void midiMethodClass::closeInputs() {
    for (int i = 0; i < kMaxPorts; ++i)
        closeInputSlot(i);
}

void midiMethodClass::resetPortTable() {
    inPortCount = platform().inputCount();
    outPortCount = platform().outputCount();
    closeInputs();
    replyInPort = 0;
    replyOutPort = 0;
    linkState = 0;
}

int midiMethodClass::findDevice() {
    closeInputs();
    closeOutput();

    auto& midi = platform();
    for (int poll = 0; poll < kCountPolls; ++poll) {
        inPortCount = midi.inputCount();
        outPortCount = midi.outputCount();
        if (inPortCount != 0 && outPortCount != 0) break;
        midi.sleep(kPollPauseMs);
    }
    if (inPortCount == 0) return -1;
    if (inPortCount > kMaxPorts || outPortCount > kMaxPorts) return -1;

    for (unsigned i = 0; i < inPortCount; ++i)
        openInputSlot(i, [this](std::uintptr_t instance, const InputEvent& event) {
            editorMidiInProc(instance, event);
        });

    for (unsigned j = 0; j < outPortCount; ++j) {
        outPort = midi.openOutput(j);
        if (!outPort) continue;
        midi.sleep(kOpenPauseMs);
        const auto& probe = korvalen::kIdentityProbe;
        if (sendSysEx(probe.data(), probe.size()) == 0) {
            midi.sleep(kReplyWaitMs);
            if (replyInPort != 0) {
                replyOutPort = static_cast<std::int32_t>(j + 1);
                break;
            }
        }
        closeOutput();
    }
    return replyOutPort != 0 ? 0 : 1;
}

void midiMethodClass::reConnect() {
    editorOwnsPorts = true;
    resetPortTable();
    bool found = false;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        const int result = findDevice();
        if (result == 0) {
            found = true;
            break;
        }
        if (result < 0) break;
        if (attempt < kAttempts) platform().sleep(kPollPauseMs);
    }
    if (!found) {
        closeInputs();
        closeOutput();
        return;
    }
    linkState = 1;
    const int keep = replyInPort - 1;
    for (int i = 0; i < kMaxPorts; ++i)
        if (i != keep) closeInputSlot(i);
}

void midiMethodClass::editorMidiInProc(std::uintptr_t instance, const InputEvent& event) {
    const int port = static_cast<int>(instance);
    switch (event.kind) {
    case InputEvent::Kind::Close:
        break;
    case InputEvent::Kind::Short:
        if (linkState == 1) emit getMidiData(event.shortMessage);
        break;
    case InputEvent::Kind::LongData: {
        const std::uint32_t n = event.buffer ? event.recorded : 0;
        sysExRing.write(event.buffer, n);
        if (linkState == 1) {
            // Receivers read the ring themselves; the pointer only marks where unread bytes
            // begin.
            auto* oldest =
                const_cast<std::atomic<std::uint8_t>*>(sysExRing.at(sysExRing.readIndex()));
            emit getMidiSysData(reinterpret_cast<unsigned char*>(oldest), n);
        }
        if (n != 0 && korvalen::isIdentityReply(event.buffer, n)) replyInPort = port + 1;
        if (n != 0) requeueBuffer(port);
        break;
    }
    }
}
