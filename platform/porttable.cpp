#include "porttable.h"

namespace korvalen::midi {

PortTable::~PortTable() {
    closeInputs();
    closeOutput();
}

int PortTable::sendSysEx(const std::uint8_t* buffer, std::uint32_t length) {
    if (!outPort || buffer == nullptr || length == 0) return -1;
    return outPort->send(buffer, length) == 0 ? 0 : -1;
}

bool PortTable::openInputSlot(unsigned index, InputHandler handler) {
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

void PortTable::closeInputSlot(int index) {
    if (index < 0 || index >= kMaxPorts) return;
    InputSlot& slot = inPorts[index];
    if (!slot.handle) return;
    slot.live.store(nullptr);
    slot.handle->stop();
    slot.handle->reset();
    slot.handle.reset(); // closes the port
}

void PortTable::requeueBuffer(int index) {
    if (index < 0 || index >= kMaxPorts) return;
    InputSlot& slot = inPorts[index];
    if (auto* port = slot.live.load()) port->addBuffer(slot.buffer, kBufferSize);
}

void PortTable::closeInputs() {
    for (int i = 0; i < kMaxPorts; ++i)
        closeInputSlot(i);
}

void PortTable::closeOutput() {
    outPort.reset();
}

} // namespace korvalen::midi
