// Compares the editor's preset model with a preset stored in the controller emulator.
#pragma once

#include "controlleremulator.h"
#include "presetmodel.h"

#include <QString>
#include <QStringList>

namespace modelcheck {

inline item& modelItem(int index) {
    using namespace korvalen::sim::controls;
    if (index < kFunctions) return item_En[index / 8][index % 8];
    if (index < kPads) return item_Fn[(index - kFunctions) / 4][(index - kFunctions) % 4];
    if (index < kTransport) return item_Pn[(index - kPads) / 4][(index - kPads) % 4];
    if (index < kSlider) return item_Zoudai[index - kTransport];
    return item_S1;
}

// Differences between the model and `preset`, one line each; empty when they match. Encoders
// and the slider have no type or mode on the wire, so those are not compared for them.
inline QStringList differences(const korvalen::sim::StoredPreset& preset) {
    using namespace korvalen::sim::controls;
    QStringList out;
    for (int i = 0; i < kCount; ++i) {
        const item& it = modelItem(i);
        const auto& a = preset.controls[i];
        const bool button = i >= kFunctions && i < kSlider;
        if (it.GetCC() != a.cc || it.GetChan() != a.chan || it.GetPort() != a.port ||
            (button && (it.GetType() != a.type || it.GetMode() != a.mode)))
            out << QStringLiteral("control %1: model %2/%3/%4/%5/%6 device %7/%8/%9/%10/%11")
                       .arg(i)
                       .arg(it.GetType())
                       .arg(it.GetCC())
                       .arg(it.GetChan())
                       .arg(it.GetPort())
                       .arg(it.GetMode())
                       .arg(a.type)
                       .arg(a.cc)
                       .arg(a.chan)
                       .arg(a.port)
                       .arg(a.mode);
    }
    const auto& g = preset.globals;
    for (int z = 0; z < 3; ++z) {
        const zone& zn = zone_Zn[z];
        const int status = z == 0 ? 1 : (g[16] >> z) & 1; // zone 1 is always on in a download
        const int model[] = {z == 0 ? 1 : zn.GetStatus(),
                             zn.GetProg(),
                             zn.GetMSB(),
                             zn.GetLSB(),
                             zn.GetChan(),
                             zn.GetPort(),
                             zn.GetRangSta(),
                             zn.GetRangEnd(),
                             zn.GetOct(),
                             zn.GetTrans()};
        // The device's own global parameter numbers, written out here on purpose: the program
        // and the emulator both take them from one table, which this check must not share.
        const int device[] = {status,    g[1 + z],  g[5 + z],  g[9 + z],  g[21 + z],
                              g[17 + z], g[41 + z], g[45 + z], g[25 + z], g[29 + z]};
        for (int f = 0; f < 10; ++f)
            if (model[f] != device[f])
                out << QStringLiteral("zone %1 field %2: model %3 device %4")
                           .arg(z + 1)
                           .arg(f)
                           .arg(model[f])
                           .arg(device[f]);
    }
    return out;
}

} // namespace modelcheck
