// The program korvalen25-cli as a process: its options, the environment variable of the MIDI
// backend, exit codes, and one plain error line, against the emulator of the virtual backend.
#include "clitest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace clitest;

class CliProcessTest : public QObject {
    Q_OBJECT

private slots:
    void commandLines_data();
    void commandLines();
    void noPortsAnswersAtOnce_data();
    void noPortsAnswersAtOnce();
};

void CliProcessTest::commandLines_data() {
    QTest::addColumn<QStringList>("args"); // %D is a fresh folder holding p17.sav
    QTest::addColumn<QStringList>("env");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("out"); // a line that stdout holds, or a file that must exist
    QTest::addColumn<QString>("err"); // what the one error line says

    const QStringList none;
    QTest::newRow("--version") << QStringList{"--version"} << none << 0
                               << "korvalen25-cli " KORVALEN_VERSION << "";
    QTest::newRow("--help") << QStringList{"--help"} << none << 0
                            << "  backup [--syx] DIR      read all 15 presets into DIR, one "
                               "file each: P01.sav,"
                            << "";
    QTest::newRow("help get")
        << QStringList{"help", "get"} << none << 0
        << "Usage: korvalen25-cli get [--midi-api NAME] [--port NAME] PRESET FILE.sav"
        << "";
    QTest::newRow("flash --help")
        << QStringList{"flash", "--help"} << none << 0
        << "Usage: korvalen25-cli flash [--midi-api NAME] [--port NAME] FILE.bin"
        << "";
    QTest::newRow("help, no such command") << QStringList{"help", "frob"} << none << 2 << ""
                                           << "unknown command \"frob\"";
    QTest::newRow("no MIDI ports")
        << QStringList{"--midi-api", "none", "ports"} << none << 1 << "Inputs (0):"
        << "no Korvalen25 answered on the MIDI ports (0 inputs, 0 "
           "outputs)";
    QTest::newRow("no command") << none << none << 2 << ""
                                << "no command given";
    QTest::newRow("unknown backend")
        << QStringList{"--midi-api", "nosuch", "ports"} << none << 2 << ""
        << "unknown MIDI backend \"nosuch\"";
    QTest::newRow("backend from the environment")
        << QStringList{"ports"} << QStringList{"KORVALEN_MIDI_API=nosuch"} << 2 << ""
        << "unknown MIDI backend \"nosuch\"";
    QTest::newRow("--midi-api wins over the environment")
        << QStringList{"--midi-api", "virtual", "ports"} << QStringList{"KORVALEN_MIDI_API=nosuch"}
        << 0 << "The Korvalen25 answers on input 0 and output 0."
        << "";
    QTest::newRow("--midi-api=NAME")
        << QStringList{"--midi-api=virtual", "ports"} << none << 0 << "MIDI backend: virtual"
        << "";
    QTest::newRow("get") << QStringList{"--midi-api", "virtual", "get", "P18", "%D/x.sav"} << none
                         << 0 << "file:%D/x.sav"
                         << "";
    QTest::newRow("get, no controller")
        << QStringList{"--midi-api", "virtual", "get", "P18", "%D/x.sav"}
        << QStringList{"KORVALEN_VIRTUAL_DEVICE=none"} << 1 << ""
        << "no Korvalen25 answered on the MIDI ports";
    QTest::newRow("get, controller in upgrade mode")
        << QStringList{"--midi-api", "virtual", "get", "P18", "%D/x.sav"}
        << QStringList{"KORVALEN_VIRTUAL_DEVICE=upgrade"} << 1 << ""
        << "no Korvalen25 answered on the MIDI ports";
    QTest::newRow("put") << QStringList{"--midi-api", "virtual", "put", "%D/p17.sav", "P20"} << none
                         << 0 << "%D/p17.sav stored as P20 (User P20)"
                         << "";
    QTest::newRow("flash") << QStringList{"--midi-api", "virtual", "flash", "%D/fw.bin"}
                           << QStringList{"KORVALEN_VIRTUAL_DEVICE=upgrade"} << 0
                           << "The firmware is written."
                           << "";
    QTest::newRow("flash, controller in normal mode")
        << QStringList{"--midi-api", "virtual", "flash", "%D/fw.bin"} << none << 1 << ""
        << "no Korvalen25 in upgrade mode answered on the MIDI ports";
    QTest::newRow("show") << QStringList{"show", "%D/p17.sav"} << none << 0 << "Preset P17 User P17"
                          << "";
    QTest::newRow("show --json") << QStringList{"show", "--json", "%D/p17.sav"} << none << 0
                                 << "    \"preset\": \"P17\","
                                 << "";
    QTest::newRow("show, no file") << QStringList{"show", "%D/none.sav"} << none << 3 << ""
                                   << "cannot read";
}

void CliProcessTest::commandLines() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, env);
    QFETCH(int, code);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("p17.sav"), bytesOf(randomSav(2, 16))));
    QVERIFY(writeAll(dir.filePath("fw.bin"), firmwareFile(100)));
    for (QString& a : args)
        a.replace("%D", dir.path());
    out.replace("%D", dir.path());

    const Result r = runProgram(KORVALEN_CLI, args, env);
    QVERIFY2(r.code == code, qPrintable(QString("exit %1: %2").arg(r.code).arg(r.err)));
    if (err.isEmpty()) {
        QCOMPARE(r.err, QString());
    } else {
        QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.contains(err), qPrintable(r.err));
        QVERIFY(!QFile::exists(dir.filePath("x.sav")));
    }
    if (out.startsWith("file:")) {
        // The same bytes as the command run in-process against the same emulator.
        QTemporaryDir other;
        const QString expected = other.filePath("x.sav");
        QStringList again = args;
        again.removeFirst();
        again.removeFirst();
        again.last() = expected;
        QCOMPARE(runCli(again, busWith(emulator())).code, 0);
        QCOMPARE(readAll(out.mid(5)), readAll(expected));
    } else if (!out.isEmpty()) {
        QVERIFY2(r.out.split('\n').contains(out), qPrintable(r.out));
    }
    if (args.contains("--json")) QVERIFY(!QJsonDocument::fromJson(r.out.toUtf8()).isNull());
}

void CliProcessTest::noPortsAnswersAtOnce_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("ports") << QStringList{"--midi-api", "none", "ports"};
    QTest::newRow("get") << QStringList{"--midi-api", "none", "get", "P17", "x.sav"};
}

// With no MIDI port at all the search reads the port counts once and gives up after its pause
// of a second, where the editor's search waits ten seconds for a controller to appear. The
// backend "none" sleeps in real time.
void CliProcessTest::noPortsAnswersAtOnce() {
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    for (QString& a : args)
        if (a.endsWith(".sav")) a = dir.filePath(a);
    QElapsedTimer timer;
    timer.start();
    const Result r = runProgram(KORVALEN_CLI, args);
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("no Korvalen25 answered on the MIDI ports (0 inputs, 0 outputs)"),
             qPrintable(r.err));
    // Ten polls a second apart cannot take less than ten seconds; one takes about one.
    QVERIFY2(elapsed < 9000, qPrintable(QString("%1 ms").arg(elapsed)));
    QVERIFY(!QFile::exists(dir.filePath("x.sav")));
}

QTEST_GUILESS_MAIN(CliProcessTest)
#include "tst_cliprocess.moc"
