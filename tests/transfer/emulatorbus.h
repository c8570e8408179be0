// The controller emulator on port pair 0 of a virtual bus, installed as the platform.
#pragma once

#include "connectthread.h"
#include "emulatordevice.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "presetprotocol.h"
#include "virtualbus.h"

#include <memory>

namespace testsupport {

struct EmulatorBus {
    std::shared_ptr<korvalen::midi::VirtualBus> bus;
    std::shared_ptr<korvalen::midi::EmulatorDevice> device;

    // A new bus with a fresh emulator, and preset number 0 in the editor.
    void install() {
        korvalen::presetGlobals[0] = 0;
        bus = std::make_shared<korvalen::midi::VirtualBus>();
        device = std::make_shared<korvalen::midi::EmulatorDevice>();
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, device);
        korvalen::midi::setPlatform(bus);
    }

    // Closes the link's ports (and those a flash left open) and puts the port-less platform
    // back.
    void release() {
        connectThread.releasePorts();
        midiLink.resetPortTable();
        midiLink.closeOutput();
        bus->quiesce();
        korvalen::midi::setPlatform(nullptr);
        device.reset();
        bus.reset();
    }
};

} // namespace testsupport
