// A preset unlike the empty one in every kind of value a preset file and a dump hold, and
// within every bound, so that the model takes all of it.
#pragma once

#include "presetmodel.h"
#include "presetprotocol.h"

namespace testsupport {

inline korvalen::PresetValues distinctValues(int seed) {
    korvalen::PresetValues v = currentPresetValues();
    int n = seed;
    auto next = [&n](int max) { return static_cast<std::uint8_t>(n++ % (max + 1)); };
    // Encoders send controller numbers only.
    for (auto& a : v.encoders)
        a = {0, next(127), next(15), next(4), 0};
    for (auto& a : v.functions)
        a = {next(1), next(127), next(15), next(4), next(1)};
    for (auto& a : v.pads)
        a = {1, next(127), next(15), next(4), next(1)};
    v.slider = {0, next(127), next(15), next(4), 0};
    for (auto& z : v.zones) {
        z.prog = next(127);
        z.rangSta = next(60);
        z.rangEnd = static_cast<std::uint8_t>(z.rangSta + 10);
    }
    return v;
}

} // namespace testsupport
