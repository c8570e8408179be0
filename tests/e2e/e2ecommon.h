// Shared by the end-to-end tests: the JACK backend on the fixture's server.
#pragma once

#include "midi.h"
#include "midiplatform.h"
#include "platformfactory.h"

#include <QTest>

#include <memory>
#include <string>

namespace e2e {

// Installs the RtMidi JACK backend; returns why it cannot start, or an empty text.
inline std::string useJack() {
    if (!qEnvironmentVariableIsSet("JACK_DEFAULT_SERVER"))
        return "run through CTest: its fixture starts the JACK server and korvalen25-sim";
    std::string error;
    auto jack = korvalen::midi::createPlatform("jack", &error);
    if (!jack) return error.empty() ? "the JACK backend cannot start" : error;
    korvalen::midi::setPlatform(jack);
    return {};
}

// Closes the link's ports and puts the port-less platform back.
inline void releaseJack() {
    midiLink.resetPortTable();
    midiLink.closeOutput();
    korvalen::midi::setPlatform(nullptr);
}

} // namespace e2e
