// korvalen25-cli monitor, diagnostics and --verbose: in-process against the emulator on the
// virtual bus, and the program as a process ended by SIGINT and SIGTERM.
#include "clitest.h"

#include "midi.h"
#include "traffictap.h"

#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace clitest;
using korvalen::midi::Message;

namespace {

struct Monitored {
    int code = -1;
    QString out;
    QString err;
};

// Runs `monitor` on `bus`; `step` is asked between looks at the traffic with what was printed
// so far and the number of the look, and ends the monitor by returning false.
Monitored monitor(std::shared_ptr<korvalen::midi::VirtualBus> bus,
                  const std::function<bool(const QString& out, int look)>& step) {
    Monitored m;
    QTextStream out(&m.out);
    QTextStream err(&m.err);
    korvalen::cli::RunOptions options;
    options.platform = bus;
    int look = 0;
    options.monitorKeepGoing = [&] { return step(m.out, look++); };
    m.code = korvalen::cli::run({"korvalen25-cli", "monitor"}, out, err, options);
    return m;
}

} // namespace

class CliMonitorTest : public QObject {
    Q_OBJECT

private slots:
    void monitorShowsTheSearchAndWhatComesAfter();
    void monitorWithoutController();
    void diagnosticsReport();
    void diagnosticsToFile();
    void verboseShowsTheCommandsTraffic();
    void signalsEndTheMonitor_data();
    void signalsEndTheMonitor();
};

void CliMonitorTest::monitorShowsTheSearchAndWhatComesAfter() {
    auto bus = busWith(emulator());
    bus->setInputName(0, "Korvalen25 MIDI 1");
    const Monitored m = monitor(bus, [&](const QString& out, int look) {
        // A knob turned on the controller, once the monitor runs.
        if (look == 0) bus->inject(0, Message{0xB0, 0x4A, 0x40});
        return !out.contains(QLatin1String("controller 74"));
    });
    QCOMPARE(m.code, 0);
    const QStringList lines = m.out.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() >= 3, qPrintable(m.out));
    QVERIFY2(lines[0].contains(QRegularExpression(
                 "^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  out  Virtual MIDI Out 1  identity probe  "
                 "\\[F0 00 00 66 14 1A 00 F7\\]$")),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].contains(QLatin1String("in   Korvalen25 MIDI 1  identity reply, firmware "
                                             "1.02  [F0 00 00 66 14 1B 00 66 5A 74 F7]")),
             qPrintable(lines[1]));
    QVERIFY2(lines.last().endsWith(QLatin1String(
                 "in   Korvalen25 MIDI 1  controller 74 Brightness, channel 1, value 64  "
                 "[B0 4A 40]")),
             qPrintable(lines.last()));
    QVERIFY2(m.err.contains(QLatin1String("monitoring Korvalen25 MIDI 1 and Virtual MIDI Out 1")),
             qPrintable(m.err));
    // The tap is off again once the command has ended.
    QVERIFY(!korvalen::midi::trafficTapAttached());
}

void CliMonitorTest::monitorWithoutController() {
    // The probes that went unanswered are printed before the failure.
    const Monitored m = monitor(busWith(nullptr), [](const QString&, int) { return false; });
    QCOMPARE(m.code, 1);
    QVERIFY(m.out.contains(QLatin1String("identity probe")));
    QVERIFY(!m.out.contains(QLatin1String("identity reply")));
    QVERIFY(isOneErrorLine(m.err));
    QVERIFY(m.err.contains(QLatin1String("no Korvalen25 answered")));
}

void CliMonitorTest::diagnosticsReport() {
    const Result r = runCli({"diagnostics"}, busWith(emulator()));
    QCOMPARE(r.code, 0);
    QCOMPARE(r.err, QString());
    for (const char* part :
         {"Program: korvalen25-cli", "Qt: ", "RtMidi: ", "MIDI backend: virtual",
          "Input ports now (1):\n  0  Virtual MIDI In 1\n",
          "Last search: found the controller after 1 attempt(s)",
          "  0  Virtual MIDI In 1  -- the controller answers here",
          "  0  Virtual MIDI Out 1  -- the controller answered the probe sent here",
          "Last transfer: read of preset 0 at ", ": done\n", "identity reply, firmware 1.02",
          "upload request: preset 0 (Korvalen)", "Virtual MIDI In 1  dump end  [F0 05 F7]"})
        QVERIFY2(r.out.contains(QLatin1String(part)), part);
    // The last 200 lines of traffic: the dump of preset 0 alone is more than 60.
    const QString traffic = r.out.section(QStringLiteral("MIDI traffic, the last "), 1);
    QVERIFY(traffic.startsWith(QLatin1String("71 line(s):\n")));
    QCOMPARE(traffic.count('\n'), 72);

    // No controller: still a report, saying so.
    const Result silent = runCli({"diagnostics"}, busWith(nullptr));
    QCOMPARE(silent.code, 0);
    QVERIFY(silent.out.contains(QLatin1String("Last search: found no controller after 10 "
                                              "attempt(s)")));
    QVERIFY(silent.out.contains(QLatin1String("  0  Virtual MIDI Out 1  -- probed, no answer")));
}

void CliMonitorTest::diagnosticsToFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.txt"));
    const Result r = runCli({"diagnostics", "-o", path}, busWith(emulator()));
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.startsWith(QLatin1String("diagnostics report written to ")));
    const QByteArray written = readAll(path);
    QVERIFY(written.startsWith("Korvalen25 diagnostics report, "));
    QVERIFY(written.contains("dump end"));

    const Result unwritable =
        runCli({"diagnostics", "-o", dir.filePath(QStringLiteral("no/such/dir/r.txt"))},
               busWith(emulator()));
    QCOMPARE(unwritable.code, 3);
    QVERIFY(isOneErrorLine(unwritable.err));

    const Result misplaced = runCli({"ports", "-o", path}, busWith(emulator()));
    QCOMPARE(misplaced.code, 2);
    QVERIFY(misplaced.err.contains(QLatin1String("-o goes with diagnostics only")));
}

void CliMonitorTest::verboseShowsTheCommandsTraffic() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p17.sav"));
    const Result quiet = runCli({"get", "P17", path}, busWith(emulator()));
    QCOMPARE(quiet.code, 0);
    QCOMPARE(quiet.err, QString());

    const Result r = runCli({"--verbose", "get", "P17", path}, busWith(emulator()));
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, quiet.out); // stdout as without --verbose
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() > 70, qPrintable(r.err));
    QVERIFY(lines[0].contains(QLatin1String("out  Virtual MIDI Out 1  identity probe")));
    QVERIFY(r.err.contains(QLatin1String("upload request: preset 16 (User P17)")));
    QVERIFY(lines.last().contains(QLatin1String("dump end")));

    // A failure's line comes after the traffic, last.
    const Result failed = runCli({"--verbose", "get", "P17", path}, busWith(nullptr));
    QCOMPARE(failed.code, 1);
    QVERIFY(failed.err.contains(QLatin1String("identity probe")));
    QVERIFY(failed.err.section('\n', -2).startsWith(QLatin1String("korvalen25-cli: no "
                                                                  "Korvalen25 answered")));
}

void CliMonitorTest::signalsEndTheMonitor_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM;
}

void CliMonitorTest::signalsEndTheMonitor() {
    QFETCH(int, signal);
    QProcess p;
    p.start(QStringLiteral(KORVALEN_CLI), {"--midi-api", "virtual", "monitor"});
    QVERIFY(p.waitForStarted());
    // The search's reply is printed once the monitor listens.
    QByteArray out;
    while (!out.contains("identity reply") && p.state() == QProcess::Running) {
        p.waitForReadyRead(1000);
        out += p.readAllStandardOutput();
    }
    QVERIFY2(out.contains("identity reply"), out.constData());
    ::kill(static_cast<pid_t>(p.processId()), signal);
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(p.readAllStandardError().contains("Ctrl-C ends"));
}

QTEST_GUILESS_MAIN(CliMonitorTest)
#include "tst_climonitor.moc"
