// A test helper shared by the dump and .syx tests.
#pragma once

#include "presetprotocol.h"

#include <cstddef>

namespace korvalen {

// The preset-wide values of a dump as the controller keeps them: the number, the zones'
// on/off bits and each zone's values, in an array of bytes or of wider numbers.
template <class Globals> void fillPresetGlobals(Globals& g, const PresetValues& v, int number) {
    using Value = typename Globals::value_type;
    g[global::kPresetNumber] = Value(number);
    g[global::kZoneBits] = Value(downloadZoneBits(v));
    for (int z = 0; z < 3; ++z) {
        const ZoneValues& zone = v.zones[std::size_t(z)];
        g[std::size_t(global::kZoneProg + z)] = zone.prog;
        g[std::size_t(global::kZoneMsb + z)] = zone.msb;
        g[std::size_t(global::kZoneLsb + z)] = zone.lsb;
        g[std::size_t(global::kZonePort + z)] = zone.port;
        g[std::size_t(global::kZoneChan + z)] = zone.chan;
        g[std::size_t(global::kZoneOct + z)] = zone.oct;
        g[std::size_t(global::kZoneTrans + z)] = zone.trans;
        g[std::size_t(global::kZoneRangSta + z)] = zone.rangSta;
        g[std::size_t(global::kZoneRangEnd + z)] = zone.rangEnd;
    }
}

} // namespace korvalen
