// Shared by the end-to-end tests: the JACK backend on the fixture's server.
#pragma once

#include "midi.h"
#include "midiplatform.h"
#include "platformfactory.h"

#include <QFile>
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

// The process id of the fixture's emulator while it runs (0 otherwise): the id the JACK fixture
// keeps, if that process is still korvalen25-sim.
inline qint64 fixtureEmulatorPid() {
    const QString dir = qEnvironmentVariable("TMPDIR", QStringLiteral("/tmp")) +
                        QStringLiteral("/korvalen-jack-") +
                        qEnvironmentVariable("JACK_DEFAULT_SERVER");
    QFile file(dir + QStringLiteral("/sim.pid"));
    if (!file.open(QIODevice::ReadOnly)) return 0;
    const qint64 pid = file.readAll().trimmed().toLongLong();
    QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (pid <= 0 || !cmdline.open(QIODevice::ReadOnly)) return 0;
    return cmdline.readAll().contains("korvalen25-sim") ? pid : 0;
}

// Closes the link's ports and puts the port-less platform back.
inline void releaseJack() {
    midiLink.resetPortTable();
    midiLink.closeOutput();
    korvalen::midi::setPlatform(nullptr);
}

} // namespace e2e
