// Shared by the end-to-end tests: the JACK backend on the fixture's server, or the backend that
// KORVALEN_E2E_API names (alsa in the ALSA test bed, whose script starts the emulators).
#pragma once

#include "connectthread.h"
#include "midi.h"
#include "midiplatform.h"
#include "platformfactory.h"

#include <QFile>
#include <QTest>

#include <memory>
#include <string>

namespace e2e {

// The RtMidi backend the tests run on: "jack" unless KORVALEN_E2E_API names another.
inline std::string apiName() {
    const QString api = qEnvironmentVariable("KORVALEN_E2E_API");
    return api.isEmpty() ? std::string("jack") : api.toStdString();
}

// The same, for the command lines of korvalen25-sim processes that a test starts.
inline QString apiArgument() {
    return QString::fromStdString(apiName());
}

// Installs the backend; returns why it cannot start, or an empty text.
inline std::string useBackend() {
    const std::string api = apiName();
    if (api == "jack" && !qEnvironmentVariableIsSet("JACK_DEFAULT_SERVER"))
        return "run through CTest: its fixture starts the JACK server and korvalen25-sim";
    std::string error;
    auto platform = korvalen::midi::createPlatform(api, &error);
    if (!platform) return error.empty() ? "the " + api + " backend cannot start" : error;
    korvalen::midi::setPlatform(platform);
    return {};
}

// The process id of the fixture's emulator while it runs (0 otherwise): the id the JACK fixture
// keeps, if that process is still korvalen25-sim. Other backends have no such fixture.
inline qint64 fixtureEmulatorPid() {
    if (apiName() != "jack") return 0;
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

// Closes the link's ports (and those a flash left open) and puts the port-less platform back.
inline void releaseBackend() {
    connectThread.releasePorts();
    midiLink.resetPortTable();
    midiLink.closeOutput();
    korvalen::midi::setPlatform(nullptr);
}

} // namespace e2e
