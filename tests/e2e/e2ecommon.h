// Shared by the end-to-end tests: the JACK backend on the fixture's server.
#pragma once

#include "midiplatform.h"
#include "platformfactory.h"

#include <QTest>

#include <memory>
#include <string>

namespace e2e {

// Installs the RtMidi JACK backend; null (and the reason in `error`) when it cannot start.
inline std::shared_ptr<korvalen::midi::Platform> useJack(std::string* error) {
    if (!qEnvironmentVariableIsSet("JACK_DEFAULT_SERVER")) {
        *error = "run through CTest: its fixture starts the JACK server and korvalen25-sim";
        return nullptr;
    }
    auto jack = korvalen::midi::createPlatform("jack", error);
    if (jack) korvalen::midi::setPlatform(jack);
    return jack;
}

} // namespace e2e
