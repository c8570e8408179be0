// The program korvalen25-sim on the private JACK server of the platform tests: its options
// for upgrade mode (identity, version, a block taken as bad once, the image written to a
// file) and for loading a preset file into a slot, seen from the editor's JACK backend.
#include "controlleremulator.h"
#include "firmwareblocks.h"
#include "inputrecorder.h"
#include "platformfactory.h"
#include "rtmidibackend.h"

#include <QtTest>

#include <random>

using namespace korvalen::midi;
using korvalen::sim::ControllerEmulator;
using Message = std::vector<std::uint8_t>;

namespace {

// A running korvalen25-sim with the editor's ports opened on it.
class SimSession {
public:
    bool start(const QStringList& args, const QString& clientName, QString* why) {
        process_.setProgram(qEnvironmentVariable("KORVALEN_SIM"));
        process_.setArguments(
            QStringList{"--midi-api", "jack", "--client-name", clientName, "--exit-with-parent"} +
            args);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        // The waits have no bound of their own (-1): on a loaded machine the program may take
        // long to start; one that never comes up is ended by the test's time-out.
        if (!process_.waitForStarted(-1)) return fail(why, "the program did not start");
        QByteArray out;
        while (!out.contains("ready ")) {
            // False only when the program has ended without its ready line.
            if (!process_.waitForReadyRead(-1)) return fail(why, "no ready line");
            out += process_.readAllStandardOutput();
        }
        std::string error;
        platform_ = createPlatform("jack", &error);
        if (!platform_) return fail(why, QString::fromStdString(error));
        int in = -1, outIndex = -1;
        for (unsigned i = 0, n = platform_->inputCount(); i < n; ++i)
            if (isOwnPortName(platform_->inputName(i), clientName.toStdString())) in = int(i);
        for (unsigned i = 0, n = platform_->outputCount(); i < n; ++i)
            if (isOwnPortName(platform_->outputName(i), clientName.toStdString()))
                outIndex = int(i);
        if (in < 0 || outIndex < 0) return fail(why, "the emulator's ports are not listed");
        input_ = platform_->openInput(unsigned(in), recorder.handler(), 0);
        output_ = platform_->openOutput(unsigned(outIndex));
        if (!input_ || !output_) return fail(why, "the emulator's ports do not open");
        recorder.arm(input_.get());
        return true;
    }

    int send(const Message& m) { return output_->send(m.data(), std::uint32_t(m.size())); }

    // A line to the program's standard input, and its answer line.
    QByteArray command(const QByteArray& line) {
        process_.write(line + '\n');
        QByteArray out;
        while (!out.contains('\n')) {
            if (!process_.waitForReadyRead(-1)) break;
            out += process_.readAllStandardOutput();
        }
        return out.trimmed();
    }

    // Stops the program as the fixture does (SIGTERM) and waits for it to end.
    bool stop() {
        input_.reset();
        output_.reset();
        process_.terminate();
        return process_.waitForFinished(-1) && process_.exitStatus() == QProcess::NormalExit &&
               process_.exitCode() == 0;
    }

    ~SimSession() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(-1);
        }
    }

    InputRecorder recorder;

private:
    static bool fail(QString* why, const QString& text) {
        *why = text;
        return false;
    }
    QProcess process_;
    std::shared_ptr<Platform> platform_;
    std::unique_ptr<InputPort> input_;
    std::unique_ptr<OutputPort> output_;
};

std::size_t shortCount(const std::vector<RecordedEvent>& events) {
    std::size_t n = 0;
    for (const auto& e : events)
        n += e.kind == InputEvent::Kind::Short;
    return n;
}

} // namespace

class TestSimProgram : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void upgradeWritesTheImage();
    void presetFileLoadedIntoASlot();
    void touchCommands();
    void badTouchOption();
};

void TestSimProgram::initTestCase() {
    QVERIFY2(qEnvironmentVariableIsSet("JACK_DEFAULT_SERVER") &&
                 qEnvironmentVariableIsSet("KORVALEN_SIM"),
             "run through CTest: its fixture starts the JACK server");
}

void TestSimProgram::upgradeWritesTheImage() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString imagePath = dir.filePath("image.bin");
    SimSession sim;
    QString why;
    QVERIFY2(sim.start({"--upgrade", "--id", "0102030405", "--version", "257", "--corrupt-block",
                        "3", "--image-out", imagePath},
                       "KorvalenUpgradeSim", &why),
             qPrintable(why));

    // The probe with the emulator's identity: version 257 (2.57), upgrade mode.
    QCOMPARE(sim.send({0xF0, 1, 2, 3, 4, 5, 0, 0, 0xF7}), 0);
    sim.recorder.waitForBytes(10);
    QCOMPARE(sim.recorder.joined(), (Message{0xF0, 1, 2, 3, 4, 5, 0x02, 0x01, 0x02, 0xF7}));

    std::mt19937 gen(4711);
    std::vector<std::uint8_t> body(10000);
    for (auto& b : body)
        b = std::uint8_t(gen());
    const unsigned n = unsigned((body.size() + 27) / 28);
    QCOMPARE(sim.send(firmwareblocks::startMessage(n)), 0);
    // Stop and wait, one block per request, as the upgrade worker does.
    unsigned index = 0;
    int repeats = 0;
    for (std::size_t request = 1; request <= 2 * n + 4; ++request) {
        sim.recorder.waitFor([&](const auto& e) { return shortCount(e) >= request; });
        const auto events = sim.recorder.events();
        const RecordedEvent* last = nullptr;
        for (const auto& e : events)
            if (e.kind == InputEvent::Kind::Short) last = &e;
        if (last->shortMessage == 0x006190u) {
            ++repeats;
            if (index > 0) --index;
        } else {
            QCOMPARE(last->shortMessage, 0x545190u);
            if (index == n) break;
        }
        QCOMPARE(sim.send(firmwareblocks::dataBlock(body, index)), 0);
        ++index;
    }
    QCOMPARE(index, n);
    QCOMPARE(repeats, 1);
    QVERIFY(sim.stop());
    QFile image(imagePath);
    QVERIFY(image.open(QIODevice::ReadOnly));
    const QByteArray written = image.readAll();
    QVERIFY(written ==
            QByteArray(reinterpret_cast<const char*>(body.data()), qsizetype(body.size())));
}

void TestSimProgram::presetFileLoadedIntoASlot() {
    korvalen::sim::SavFile file;
    for (int i = 0; i < korvalen::sim::controls::kCount; ++i)
        file.controls[i] = {std::uint8_t(i % 2), std::uint8_t(100 + i), std::uint8_t(i % 16),
                            std::uint8_t(i % 5), std::uint8_t(i % 2)};
    file.zones[1] = {1, 9, 8, 7, 3, 10, 90, 6, 20};
    file.presetNumber = 0; // loaded into slot 20 by the option
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("preset.sav");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const auto bytes = korvalen::sim::encodeSav(file);
        f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    }
    ControllerEmulator reference;
    QVERIFY(reference.loadSav(file, 20));
    Message expected;
    for (const auto& r : reference.dumpOf(20))
        expected.insert(expected.end(), r.begin(), r.end());

    SimSession sim;
    QString why;
    QVERIFY2(sim.start({"--load-sav", path + ":20"}, "KorvalenSavSim", &why), qPrintable(why));
    QCOMPARE(sim.send({0xF0, 0x00, 0x20, 0x6B, 0x02, 0x05, 20, 0x00, 0xF7}), 0);
    sim.recorder.waitForBytes(expected.size());
    QCOMPARE(sim.recorder.joined(), expected);
    QVERIFY(sim.stop());
}

// "touch CONTROL" on standard input sends what the control sends: a controller change of an
// encoder in the bank chosen with "bank", a pad's note and its release, an MMC command of a
// transport button (System Exclusive) and a key's note.
void TestSimProgram::touchCommands() {
    SimSession sim;
    QString why;
    QVERIFY2(sim.start({"--pad-bank", "B"}, "KorvalenTouchSim", &why), qPrintable(why));
    QCOMPARE(sim.command("touch E3:2"), QByteArray("touched E3:2: B1 1E 40"));
    sim.recorder.waitFor([](const auto& e) { return shortCount(e) >= 1; });
    QCOMPARE(sim.command("touch P1"), QByteArray("touched P1: 99 28 64, 89 28 00"));
    sim.recorder.waitFor([](const auto& e) { return shortCount(e) >= 3; });
    QCOMPARE(sim.command("touch PLAY"), QByteArray("touched PLAY: F0 7F 7F 06 06 F7"));
    sim.recorder.waitForBytes(6);
    QCOMPARE(sim.recorder.joined(), (Message{0xF0, 0x7F, 0x7F, 0x06, 0x06, 0xF7}));
    QCOMPARE(sim.command("touch KEY C4"), QByteArray("touched KEY C4: 90 3C 64"));
    sim.recorder.waitFor([](const auto& e) { return shortCount(e) >= 4; });
    std::vector<std::uint32_t> shorts;
    for (const auto& e : sim.recorder.events())
        if (e.kind == InputEvent::Kind::Short) shorts.push_back(e.shortMessage);
    QCOMPARE(shorts, (std::vector<std::uint32_t>{0x401EB1, 0x642899, 0x002889, 0x643C90}));
    QVERIFY(sim.stop());
}

// A control the program does not know is refused before any port opens.
void TestSimProgram::badTouchOption() {
    QProcess sim;
    sim.start(qEnvironmentVariable("KORVALEN_SIM"), {"--touch", "E9"});
    QVERIFY(sim.waitForFinished(-1));
    QCOMPARE(sim.exitCode(), 2);
    QVERIFY2(sim.readAllStandardError().contains("--touch: no control E9"), "the reason is told");
}

QTEST_GUILESS_MAIN(TestSimProgram)
#include "tst_simprogram.moc"
