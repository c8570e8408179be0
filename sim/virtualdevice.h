// The controller emulator on the ports of the "virtual" MIDI backend, as the programs set it
// up for --midi-api virtual: which device the environment variable KORVALEN_VIRTUAL_DEVICE asks
// for, and putting it on the bus.
#pragma once

#include <string>

namespace korvalen::midi {
class VirtualBus;
}

namespace korvalen::sim {

// KORVALEN_VIRTUAL_DEVICE describes the device on the virtual backend's ports: "normal"
// (default), "upgrade", "upgrade:IDHEX" (ten hex digits, the five identity bytes),
// "upgrade:IDHEX:VERSION", or "none" for empty ports.
struct VirtualDeviceChoice {
    enum class Kind { None, Normal, Upgrade } kind = Kind::Normal;
    bool anyIdentity = true; // upgrade without IDHEX answers whatever identity is probed
    unsigned char identity[5] = {0, 0, 0, 0, 0};
    unsigned version = 0; // 0: the emulator's default
};
bool parseVirtualDevice(const std::string& text, VirtualDeviceChoice* choice, std::string* error);

// Puts the device that KORVALEN_VIRTUAL_DEVICE asks for on port pair 0 of `bus`. False, with
// the reason in `error`, when the variable cannot be read. This is the setup the programs hand
// to midi::createPlatform().
bool attachVirtualDevice(midi::VirtualBus& bus, std::string* error);

} // namespace korvalen::sim
