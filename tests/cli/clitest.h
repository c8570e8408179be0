// Helpers of the korvalen25-cli tests: running a command line in-process against a bus, and
// distinctive presets for the emulator.
#pragma once

#include "commands.h"
#include "controlleremulator.h"
#include "emulatordevice.h"
#include "virtualbus.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <memory>
#include <random>

namespace clitest {

struct Result {
    int code = -1;
    QString out;
    QString err;
};

inline Result runCli(QStringList args, std::shared_ptr<korvalen::midi::Platform> platform = {}) {
    Result r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    args.prepend(QStringLiteral("korvalen25-cli"));
    korvalen::cli::RunOptions options;
    options.platform = std::move(platform);
    r.code = korvalen::cli::run(args, out, err, options);
    return r;
}

// A bus with one input and one output and `device` on them.
inline std::shared_ptr<korvalen::midi::VirtualBus>
busWith(std::shared_ptr<korvalen::midi::VirtualDevice> device) {
    auto bus = std::make_shared<korvalen::midi::VirtualBus>();
    bus->setPortCounts(1, 1);
    if (device) bus->attach(0, 0, std::move(device));
    return bus;
}

inline std::shared_ptr<korvalen::midi::EmulatorDevice>
emulator(korvalen::sim::ControllerEmulator::Options options = {}) {
    return std::make_shared<korvalen::midi::EmulatorDevice>(options);
}

// A preset file with every field set from `seed`, all within the editor's bounds (buttons of
// type Note get note numbers; encoders and the slider keep type and mode 0, which the device
// does not store for them).
inline korvalen::sim::SavFile randomSav(unsigned seed, int presetNumber) {
    using namespace korvalen::sim;
    std::mt19937 rng(seed);
    auto pick = [&rng](int max) { return static_cast<std::uint8_t>(rng() % (max + 1)); };
    SavFile f;
    for (int i = 0; i < controls::kCount; ++i) {
        Assignment& a = f.controls[i];
        const bool button = i >= controls::kFunctions && i < controls::kSlider;
        a.type = button ? pick(1) : 0;
        a.cc = pick(a.type == 1 ? 127 : 171);
        a.chan = pick(16);
        a.port = pick(5);
        a.mode = button ? pick(1) : 0;
    }
    for (auto& z : f.zones)
        z = {pick(1),   pick(127), pick(127), pick(127), pick(5),
             pick(127), pick(127), pick(8),   pick(24)};
    f.zones[0].status = 1; // the device keeps zone 1 on
    f.presetNumber = static_cast<std::uint8_t>(presetNumber);
    return f;
}

inline QByteArray bytesOf(const korvalen::sim::SavFile& f) {
    const auto v = korvalen::sim::encodeSav(f);
    return QByteArray(reinterpret_cast<const char*>(v.data()), qsizetype(v.size()));
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A firmware file: `bodyLength` bytes of body, then the trailer with the identity `idHex`
// (the emulator's own by default), version 1.02 and `magic`.
inline QByteArray firmwareFile(int bodyLength, const char* idHex = "00206B0219",
                               const char* magic = "QVolm") {
    QByteArray bytes;
    for (int i = 0; i < bodyLength; ++i)
        bytes.append(char((i * 7 + 3) & 0xFF));
    return bytes + QByteArray::fromHex(idHex) + "102" + QByteArray(2, '\0') + QByteArray(magic, 5);
}

// One line, ending in a newline, starting with the program's name.
inline bool isOneErrorLine(const QString& err) {
    return err.startsWith(QLatin1String("korvalen25-cli: ")) && err.count(QLatin1Char('\n')) == 1 &&
           err.endsWith(QLatin1Char('\n'));
}

// Runs the program korvalen25-cli with `args` and the extra environment `env` ("NAME=value");
// a run that has not ended after `limitMs` is killed and reported with code -1.
inline Result runProgram(const QString& program, const QStringList& args,
                         const QStringList& env = {}, int limitMs = 120000) {
    QProcess p;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString& e : env)
        environment.insert(e.section('=', 0, 0), e.section('=', 1));
    p.setProcessEnvironment(environment);
    p.start(program, args);
    Result r;
    if (!p.waitForFinished(limitMs)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not end within %1 ms").arg(limitMs);
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

} // namespace clitest
