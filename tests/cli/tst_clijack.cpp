// korvalen25-cli over a real MIDI server: a private JACK server (started by the CTest
// fixture, with a controller in upgrade mode on it that answers no preset message) and
// controllers in normal mode that this test starts as korvalen25-sim processes.
#include "cyclewatcher.h"
#include "jacksim.h"
#include "presets.h"
#include "presetsyx.h"
#include "waits.h"

#include "rtmidibackend.h"
#include <RtMidi.h>

#include <QDir>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <memory>
#include <thread>

using namespace clitest;

namespace {

const auto& kPresets = korvalen::cli::kDevicePresets;

QString backupPath(const QString& dir, int number) {
    return QDir(dir).filePath(korvalen::cli::backupFileName(number));
}

} // namespace

class CliJackTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void backupRestoreBackup();
    void getAndPut();
    void aSyxFilePlayedByAPlainClientStoresThePreset();
    void behindASilentClient();
    void flashWritesTheImage();
    void flashEndsCleanlyOnSigterm();
    void diagnosticsAndMonitor();
    void autoSaysNothingOfABackendItDidNotUse();
    void failures_data();
    void failures();

private:
    QTemporaryDir dir_;
};

void CliJackTest::initTestCase() {
    if (!qEnvironmentVariableIsSet("JACK_DEFAULT_SERVER"))
        QSKIP("run through CTest: its fixture starts the JACK server");
    QVERIFY(dir_.isValid());
}

void CliJackTest::backupRestoreBackup() {
    // A controller whose 15 presets all differ from the factory's.
    QStringList loads;
    for (int n : kPresets) {
        const QString path = dir_.filePath(QString("loaded-%1.sav").arg(n));
        QVERIFY(writeAll(path, bytesOf(randomSav(500 + n, n))));
        loads << "--load-sav" << path;
    }
    const QString first = dir_.filePath("first"), again = dir_.filePath("again");
    {
        Sim source(QStringList{"--client-name", "KorvalenSource"} + loads);
        QVERIFY(source.ready());
        const Result r = cli({"backup", first});
        QVERIFY2(r.code == 0, qPrintable(r.err));
    }
    for (int n : kPresets)
        QCOMPARE(readAll(backupPath(first, n)), bytesOf(randomSav(500 + n, n)));

    Sim fresh({"--client-name", "KorvalenFresh"});
    QVERIFY(fresh.ready());
    Result r = cli({"restore", first});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.endsWith("15 presets restored from " + first + "\n"));
    r = cli({"backup", again});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    for (int n : kPresets)
        QCOMPARE(readAll(backupPath(again, n)), readAll(backupPath(first, n)));
}

// With the backend left to choose, a backend that cannot start here (the ALSA sequencer, where
// there is none) is not reported when JACK then works.
void CliJackTest::autoSaysNothingOfABackendItDidNotUse() {
    Sim sim({"--client-name", "KorvalenAuto"});
    QVERIFY(sim.ready());
    const Result r = runProgram(KORVALEN_CLI, {"--midi-api", "auto", "ports"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    if (!QFile::exists(QStringLiteral("/dev/snd/seq")))
        QVERIFY2(r.out.startsWith("MIDI backend: jack\n"), qPrintable(r.out));
    QCOMPARE(r.err, QString());
}

void CliJackTest::diagnosticsAndMonitor() {
    Sim sim({"--client-name", "KorvalenDiag"});
    QVERIFY(sim.ready());
    const Result r = cli({"diagnostics"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.contains("MIDI backend: jack\n"));
    // The server behind it, and what a transfer asks of it.
    const QStringList server = r.out.split('\n').filter(QRegularExpression("^MIDI server: "));
    QCOMPARE(server.size(), 1);
    if (qgetenv("KORVALEN_EXPECT_SERVER") == "pipewire") {
        // Where JACK threads cannot run in real time, transfers ask for nothing and say why.
        CycleWatcher watcher;
        QVERIFY(watcher.ok());
        watcher.waitFor(watcher.bufferSize());
        const QString asked =
            watcher.realtime() ? QStringLiteral("quantum 256 asked during transfers")
                               : QStringLiteral("no quantum asked: MIDI does not run in real time");
        QVERIFY2(QRegularExpression("^MIDI server: PipeWire [0-9.]+, " + asked + "$")
                     .match(server.first())
                     .hasMatch(),
                 qPrintable(server.first()));
    } else
        QVERIFY2(QRegularExpression("^MIDI server: jackd [0-9.]+, its buffer size left as it is$")
                     .match(server.first())
                     .hasMatch(),
                 qPrintable(server.first()));
    const QStringList lines = r.out.split('\n');
    const QStringList input = lines.filter("-- the controller answers here");
    QCOMPARE(input.size(), 1);
    QVERIFY2(input.first().contains("KorvalenDiag"), qPrintable(r.out));
    QVERIFY(r.out.contains("Last transfer: read of preset 0 at "));
    QVERIFY(r.out.contains("identity reply, firmware 1.02"));
    QVERIFY(r.out.contains("dump end  [F0 05 F7]"));

    // The monitor over JACK, ended by Ctrl-C once it listens.
    QProcess monitor;
    monitor.start(KORVALEN_CLI, {"--midi-api", "jack", "monitor"});
    QVERIFY(monitor.waitForStarted());
    QByteArray out;
    while (!out.contains("identity reply") && monitor.state() == QProcess::Running) {
        monitor.waitForReadyRead(1000);
        out += monitor.readAllStandardOutput();
    }
    QVERIFY2(out.contains("KorvalenDiag"), out.constData());
    ::kill(static_cast<pid_t>(monitor.processId()), SIGINT);
    QVERIFY(monitor.waitForFinished(-1));
    QCOMPARE(monitor.exitStatus(), QProcess::NormalExit);
    QCOMPARE(monitor.exitCode(), 0);
}

void CliJackTest::getAndPut() {
    Sim sim({"--client-name", "KorvalenGetPut"});
    QVERIFY(sim.ready());
    Result r = cli({"ports"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QStringList lines = r.out.split('\n');
    const QStringList input = lines.filter("-- the Korvalen25 answers here");
    const QStringList output = lines.filter("-- the Korvalen25 answered the probe sent here");
    QCOMPARE(input.size(), 1);
    QCOMPARE(output.size(), 1);
    QVERIFY2(input.first().contains("KorvalenGetPut"), qPrintable(r.out));
    QVERIFY2(output.first().contains("KorvalenGetPut"), qPrintable(r.out));

    // The put keeps what it replaces as a snapshot, which undo-put writes back byte for byte.
    const QString history = dir_.filePath("history");
    const QByteArray was = qgetenv("KORVALEN_HISTORY_DIR");
    const auto restore = qScopeGuard([&was] { qputenv("KORVALEN_HISTORY_DIR", was); });
    qputenv("KORVALEN_HISTORY_DIR", history.toUtf8());
    const QString file = dir_.filePath("put.sav"), back = dir_.filePath("back.sav"),
                  before = dir_.filePath("before.sav"), after = dir_.filePath("after.sav");
    r = cli({"get", "P22", before});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(writeAll(file, bytesOf(randomSav(42, 16))));
    r = cli({"put", file, "P22"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    r = cli({"get", "P22", back});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    auto expected = randomSav(42, 16);
    expected.presetNumber = 21;
    QCOMPARE(readAll(back), bytesOf(expected));
    const QStringList kept = QDir(history).entryList({"P22-*.sav"});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(readAll(QDir(history).filePath(kept.first())), readAll(before));
    QCOMPARE(cli({"diff", "P22", before}).code, 1);

    r = cli({"undo-put", "P22"});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    r = cli({"get", "P22", after});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(readAll(after), readAll(before));
}

// A .syx file played message by message by a plain JACK MIDI client, as any MIDI tool plays
// one, stores the preset: read back with get it is the same file.
void CliJackTest::aSyxFilePlayedByAPlainClientStoresThePreset() {
    Sim sim({"--client-name", "KorvalenSyxPlay"});
    QVERIFY(sim.ready());
    const auto sav = randomSav(77, 22);
    // The preset of a random preset file, with zone channels of its own.
    korvalen::Preset preset;
    {
        const QString path = dir_.filePath("syx-source.sav");
        QVERIFY(writeAll(path, bytesOf(sav)));
        QVERIFY(korvalen::cli::readPresetFile(path, preset).ok());
        preset.values.zones[0].chan = 4;
        preset.values.zones[1].chan = 16;
        preset.values.zones[2].chan = 11;
    }
    const std::vector<std::uint8_t> file = korvalen::presetSyx(preset.values, 22);
    QVERIFY(!file.empty());

    {
        RtMidiOut player(RtMidi::UNIX_JACK, "syx-player");
        int port = -1;
        for (unsigned i = 0; i < player.getPortCount(); ++i)
            if (QString::fromStdString(player.getPortName(i)).contains("KorvalenSyxPlay"))
                port = int(i);
        QVERIFY2(port >= 0, "the simulator's input is not among the JACK ports");
        player.openPort(unsigned(port));
        // One message after the other, no faster than a MIDI cable carries them.
        std::size_t at = 0;
        while (at < file.size()) {
            std::size_t end = at;
            while (file[end] != 0xF7)
                ++end;
            player.sendMessage(file.data() + at, end - at + 1);
            std::this_thread::sleep_for(std::chrono::microseconds(320 * (end - at + 1)));
            at = end + 1;
        }
        // The last messages may still be on their way, and a JACK client that closes drops what
        // it has not yet sent: the player stays open while the read-back asks for the preset.
        const QString back = dir_.filePath("syx-back.syx");
        const QByteArray expected(reinterpret_cast<const char*>(file.data()),
                                  qsizetype(file.size()));
        bool stored = false;
        for (int attempt = 0; attempt < 10 && !stored; ++attempt) {
            const Result r = cli({"get", "P23", back});
            QVERIFY2(r.code == 0, qPrintable(r.err));
            stored = readAll(back) == expected;
        }
        QVERIFY2(stored, "the played file did not store P23 in the controller");
    }
}

void CliJackTest::behindASilentClient() {
    // A client that never answers is probed first (its name sorts it first); the controller
    // answers the identity probe 100 ms late, after the first reply window.
    Sim silent({"--client-name", "Korvalen25Aaa", "--silent"});
    QVERIFY(silent.ready());
    Sim late({"--client-name", "KorvalenLate", "--identity-delay", "100"});
    QVERIFY(late.ready());
    const QString file = dir_.filePath("late.sav");
    const Result r = cli({"get", "P17", file});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(readAll(file).size(), 348);
}

// The fixture's controller in upgrade mode writes what it received to KORVALEN_IMAGE_OUT. On
// jackd the flash leaves the server's buffer size as it is; on PipeWire it runs at the short
// cycle and gives the graph's own back (KORVALEN_EXPECT_SERVER names the server).
void CliJackTest::flashWritesTheImage() {
    const QString imageOut = qEnvironmentVariable("KORVALEN_IMAGE_OUT");
    const QByteArray server = qgetenv("KORVALEN_EXPECT_SERVER");
    QVERIFY2(!imageOut.isEmpty() && (server == "jackd" || server == "pipewire"),
             "run through CTest: it sets KORVALEN_IMAGE_OUT and KORVALEN_EXPECT_SERVER");
    CycleWatcher watcher;
    QVERIFY(watcher.ok());
    watcher.waitFor(watcher.bufferSize());
    const unsigned before = watcher.frames();
    watcher.resetFewest();
    QFile::remove(imageOut);
    const QByteArray bytes = firmwareFile(28 * 50 + 3);
    const QByteArray body = bytes.left(bytes.size() - 15);
    const QString file = dir_.filePath("fw.bin");
    QVERIFY(writeAll(file, bytes));
    // PipeWire drops the MIDI of a cycle a client misses, and a test machine misses some, with
    // real-time scheduling or without: the flash then stops with its plain message and is run
    // again, as a user would. A flash that fails otherwise, or every time, fails the test.
    const bool lossy = server == "pipewire" && !watcher.realtime();
    Result r = cli({"flash", file});
    for (int again = 0; server == "pipewire" && again < 2 && r.code != 0 &&
                        r.err.contains("the controller stopped answering during the transfer");
         ++again) {
        qInfo("PipeWire lost a message; flashing again");
        r = cli({"flash", file});
    }
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QStringList log = r.out.split('\n', Qt::SkipEmptyParts);
    log.removeIf([](const QString& line) { return line.startsWith('['); });
    QVERIFY2(
        log.join('\n').endsWith("Writing the firmware...\nThe firmware is written.\nSwitch the "
                                "controller off and on again to start the new firmware."),
        qPrintable(r.out));
    KORVALEN_TRY_COMPARE(readAll(imageOut), body);
    if (server == "jackd") {
        QCOMPARE(watcher.bufferSize(), before);
        QCOMPARE(watcher.fewest(), before);
    } else if (lossy) {
        // Not in real time: the graph keeps its own cycle.
        QCOMPARE(watcher.fewest(), before);
    } else {
        QCOMPARE(watcher.fewest(), korvalen::midi::pipeWireTransferQuantum());
        watcher.waitFor(before);
    }
}

// SIGTERM (as Ctrl-C) during a flash stops the worker: the program ends by itself, at once,
// with exit code 1 and one plain line, instead of being killed.
void CliJackTest::flashEndsCleanlyOnSigterm() {
    const QString image = dir_.filePath("other-device.bin");
    // An image for another device: the search asks for ten seconds and finds nothing.
    QVERIFY(writeAll(image, firmwareFile(100, "0011223344")));
    QProcess p;
    p.start(KORVALEN_CLI, {"--midi-api", "jack", "flash", image});
    QByteArray out;
    while (!out.contains("Looking for a Korvalen25") && p.state() != QProcess::NotRunning) {
        p.waitForReadyRead(-1);
        out += p.readAllStandardOutput();
    }
    QVERIFY2(out.contains("Looking for a Korvalen25"), out.constData());
    p.terminate();
    QVERIFY(p.waitForFinished(-1));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(isOneErrorLine(err), qPrintable(err));
    QVERIFY2(err.contains("interrupted: the upgrade was stopped"), qPrintable(err));
}

void CliJackTest::failures_data() {
    QTest::addColumn<QStringList>("simArgs"); // empty: no controller in normal mode
    QTest::addColumn<QStringList>("args");    // %F: a file that must not appear
    QTest::addColumn<QString>("says");
    QTest::newRow("get, no controller") << QStringList{} << QStringList{"get", "P17", "%F"}
                                        << "no Korvalen25 answered on the MIDI ports";
    QTest::newRow("get, an invalid record in the dump")
        << QStringList{"--dump-fault", "bad-value:5"} << QStringList{"get", "P17", "%F"}
        << "1 invalid record(s) in the dump of P17";
    QTest::newRow("backup, an invalid record in the dump")
        << QStringList{"--dump-fault", "bad-value:5"} << QStringList{"backup", "%F"}
        << "1 invalid record(s) in the dump of P01";
    QTest::newRow("get, a truncated button record")
        << QStringList{"--dump-fault", "truncated:40"} << QStringList{"get", "P17", "%F"}
        << "the dump of P17 was incomplete (nothing for F4, BANK 2)";
    QTest::newRow("get, a silent controller")
        << QStringList{"--silent"} << QStringList{"get", "P17", "%F"}
        << "no Korvalen25 answered on the MIDI ports";
    QTest::newRow("get, no dump for the request")
        << QStringList{"--ignore-uploads"} << QStringList{"get", "P17", "%F"}
        << "did not answer the request for P17 within 5 s";
    QTest::newRow("backup, a dump cut before its end")
        << QStringList{"--dump-fault", "cut:20"} << QStringList{"backup", "%F"}
        << "the dump of P01 stopped before its end";
    QTest::newRow("restore, no dump for the request")
        << QStringList{"--ignore-uploads"} << QStringList{"restore", "%B"}
        << "did not answer the request for P01 within 5 s; no snapshot of P01 could be kept, so "
           "nothing was sent (--no-snapshot writes without one); no preset was restored";
    QTest::newRow("flash, the controller falls silent after 5 blocks")
        << QStringList{"--upgrade", "--id", "00206B021A", "--silence-after", "5"}
        << QStringList{"flash", "%I"} << "the controller stopped answering during the transfer";
    QTest::newRow("put, no controller")
        << QStringList{} << QStringList{"put", "%S"} << "no Korvalen25 answered on the MIDI ports";
}

void CliJackTest::failures() {
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, args);
    QFETCH(QString, says);
    std::unique_ptr<Sim> sim;
    if (!simArgs.isEmpty()) {
        sim = std::make_unique<Sim>(QStringList{"--client-name", "KorvalenFaulty"} + simArgs);
        QVERIFY(sim->ready());
    }
    const QString target = dir_.filePath(QString("target-%1").arg(QTest::currentDataTag()));
    const QString source = dir_.filePath("source.sav");
    QVERIFY(writeAll(source, bytesOf(randomSav(9, 16))));
    const QString image = dir_.filePath("long.bin");
    // An identity of its own, which the fixture's controller in upgrade mode does not answer.
    QVERIFY(writeAll(image, firmwareFile(28 * 200, "00206B021A")));
    const QString backup = dir_.filePath("complete-backup");
    QVERIFY(QDir(dir_.path()).mkpath("complete-backup"));
    for (int n : kPresets)
        QVERIFY(writeAll(backupPath(backup, n), bytesOf(randomSav(n, n))));
    for (QString& a : args)
        a.replace("%F", target).replace("%S", source).replace("%B", backup).replace("%I", image);

    const Result r = cli(args);
    QCOMPARE(r.code, 1);
    QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    QVERIFY(!QFile::exists(target) || QDir(target).isEmpty());
}

QTEST_GUILESS_MAIN(CliJackTest)
#include "tst_clijack.moc"
