// Presets as .syx bytes for the tests: a download's messages and the controller's dump of the
// same preset, cut into messages and put together again, with single messages to swap in.
#pragma once

#include "presetglobals.h"
#include "presetprotocol.h"

#include <QByteArray>
#include <QList>

#include <array>
#include <vector>

namespace korvalen {

inline QByteArray bytesOf(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

// The dump records a controller sends for `v` stored as `number`: one record per control,
// the globals block in one record, the end record.
inline QByteArray dumpOf(const PresetValues& v, int number) {
    QByteArray out;
    auto add = [&out](const std::uint8_t* d, std::size_t n) {
        out.append(reinterpret_cast<const char*>(d), qsizetype(n));
    };
    auto record = [&](const AssignmentValues& a, int kind, int n) {
        const auto r = dumpAssignmentRecord(kind, n, a.cc, a.chan, a.port, a.type + 2 * a.mode);
        add(r.data(), r.size());
    };
    record(v.slider, control::kSliderKind, control::kSliderNumber);
    for (int i = 0; i < 32; ++i)
        record(v.encoders[std::size_t(i)], control::kEncoderKind, control::kFirstEncoder + i);
    for (int i = 0; i < 16; ++i)
        record(v.functions[std::size_t(i)], control::kButtonKind, control::kFirstFunction + i);
    for (std::size_t i = 0; i < 5; ++i)
        record(v.transport[i], control::kButtonKind, control::kTransportNumbers[i]);
    for (int i = 0; i < 8; ++i)
        record(v.pads[std::size_t(i)], control::kButtonKind, control::kFirstPad + i);
    std::array<std::uint8_t, kPresetGlobalsSize> g{};
    fillPresetGlobals(g, v, number);
    std::array<std::uint8_t, 5 * 127 + 5> globals{};
    add(globals.data(), dumpGlobalsRecord(0, g.data(), kPresetGlobalsSize, globals));
    add(kDumpEndRecord.data(), kDumpEndRecord.size());
    return out;
}

// The file's messages, each from its F0 to its F7.
inline QList<QByteArray> messagesOf(const QByteArray& file) {
    QList<QByteArray> list;
    qsizetype at = 0;
    while (at < file.size()) {
        const qsizetype end = file.indexOf(char(0xF7), at);
        list << file.mid(at, end - at + 1);
        at = end + 1;
    }
    return list;
}

inline QByteArray joined(const QList<QByteArray>& messages) {
    QByteArray out;
    for (const QByteArray& m : messages)
        out += m;
    return out;
}

inline QByteArray parameter(int cmd, int kind, int number, int value) {
    const ParameterMessage m = parameterMessage(cmd, kind, number, value);
    return QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size()));
}

inline QByteArray globalParameter(int index, int value) {
    const GlobalParameterMessage m = globalParameterMessage(index, value);
    return QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size()));
}

// The index of the first message of `file` that sets `address`.
inline qsizetype indexOf(const QList<QByteArray>& messages, const QByteArray& prefix) {
    for (qsizetype i = 0; i < messages.size(); ++i)
        if (messages[i].startsWith(prefix)) return i;
    return -1;
}

} // namespace korvalen
