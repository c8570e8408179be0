// A controller on the virtual bus that answers the identity probe and nothing else: the link
// finds it at once (in virtual time), and no upload arrives that would change the model.
#pragma once

#include "presetprotocol.h"
#include "virtualbus.h"

#include <memory>
#include <vector>

namespace testsupport {

inline korvalen::midi::Message identityReply() {
    return {0xF0, 0x00, 0x00, 0x66, 0x14, 0x1B, 0x01, 0x02, 0x5A, 0x74, 0xF7};
}

inline std::vector<korvalen::midi::Message> answerIdentityProbe(const korvalen::midi::Message& m) {
    const auto& probe = korvalen::kIdentityProbe;
    if (m == korvalen::midi::Message(probe.begin(), probe.end())) return {identityReply()};
    return {};
}

// A bus with one input and one output and that controller on them, installed as the platform.
inline std::shared_ptr<korvalen::midi::VirtualBus> useIdentityController() {
    auto bus = std::make_shared<korvalen::midi::VirtualBus>();
    bus->setPortCounts(1, 1);
    bus->attach(0, 0, answerIdentityProbe);
    korvalen::midi::setPlatform(bus);
    return bus;
}

} // namespace testsupport
