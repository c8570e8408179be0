// korvalen25-cli flash: the editor's upgrade worker without its dialog, against the emulator in
// upgrade mode on the virtual bus, and its progress as a bar or as plain lines.
#include "clitest.h"
#include "connectthread.h"
#include "flash.h"

#include <QTemporaryDir>
#include <QTest>

using namespace clitest;
using korvalen::sim::ControllerEmulator;
namespace text = upgradetext;

namespace {

QByteArray imageFile(int bodyLength, const char* magic = "QVolm") {
    return firmwareFile(bodyLength, "00206B0219", magic);
}

ControllerEmulator::Options upgradeMode() {
    ControllerEmulator::Options o;
    o.mode = ControllerEmulator::Mode::Upgrade;
    return o;
}

} // namespace

class CliFlashTest : public QObject {
    Q_OBJECT

private slots:
    void init() { connectThread.setRequestTimeouts(2000, 2000); }
    void flashWritesTheImage();
    void failures_data();
    void failures();
    void progressBar_data();
    void progressBar();
    void barOnTerminalPlainLinesOtherwise();
    void fullBarBeforeTheClosingLines();
    void workerLinesInTerminalWords_data();
    void workerLinesInTerminalWords();
};

void CliFlashTest::flashWritesTheImage() {
    auto device = emulator(upgradeMode());
    QTemporaryDir dir;
    const QByteArray file = imageFile(28 * 40 + 5); // 41 blocks, the last one short
    QVERIFY(writeAll(dir.filePath("fw.bin"), file));

    const Result r = runCli({"flash", dir.filePath("fw.bin")}, busWith(device));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.err.isEmpty());
    const auto& flashed = device->emulator().image();
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(flashed.data()), qsizetype(flashed.size())),
             file.left(file.size() - 15));
    // The worker's log in its order and in a terminal's words, a plain progress line at every
    // tenth of the blocks, and the full bar above the closing lines.
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QStringList log;
    for (const QString& line : lines)
        if (!line.startsWith('[') && !line.startsWith("Device firmware version")) log << line;
    QCOMPARE(log,
             (QStringList{"Firmware image " + dir.filePath("fw.bin") + ": version V1.02, 41 blocks",
                          "Looking for a Korvalen25 in upgrade mode...",
                          "The Korvalen25 in upgrade mode answered.", "Writing the firmware...",
                          "The firmware is written.",
                          "Switch the controller off and on again to start the new firmware."}));
    QCOMPARE(lines.filter(QRegularExpression("^\\[")).size(), 10);
    QCOMPARE(lines.mid(lines.size() - 3),
             (QStringList{korvalen::cli::progressBar(41, 41), "The firmware is written.",
                          "Switch the controller off and on again to start the new firmware."}));
}

void CliFlashTest::failures_data() {
    QTest::addColumn<QByteArray>("file");  // empty: no file at all
    QTest::addColumn<int>("silenceAfter"); // -1: the device answers; -2: no device
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::newRow("no file") << QByteArray() << -1 << 3 << "cannot read";
    QTest::newRow("wrong magic") << imageFile(100, "QVolM") << -1 << 3
                                 << "is not a Korvalen25 firmware image (it does not end in";
    QTest::newRow("shorter than the trailer")
        << QByteArray("QVolm") << -1 << 3 << "is not a Korvalen25 firmware image";
    QTest::newRow("no body") << imageFile(0) << -1 << 3
                             << "holds no firmware: the image is empty, so there is nothing to "
                                "flash";
    QTest::newRow("no controller in upgrade mode")
        << imageFile(100) << -2 << 1
        << "no Korvalen25 in upgrade mode answered on the MIDI ports; start it in upgrade mode "
           "and try again";
    QTest::newRow("silent after 3 blocks")
        << imageFile(28 * 10) << 3 << 1
        << "the controller stopped answering during the transfer; the firmware in the "
           "controller is incomplete: start it in upgrade mode and flash again";
}

void CliFlashTest::failures() {
    QFETCH(QByteArray, file);
    QFETCH(int, silenceAfter);
    QFETCH(int, code);
    QFETCH(QString, says);
    QTemporaryDir dir;
    if (!file.isEmpty()) QVERIFY(writeAll(dir.filePath("fw.bin"), file));
    auto options = upgradeMode();
    options.silenceAfterBlocks = silenceAfter;
    auto bus = silenceAfter == -2 ? busWith(emulator()) : busWith(emulator(options));

    const Result r = runCli({"flash", dir.filePath("fw.bin")}, bus);
    QCOMPARE(r.code, code);
    QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    if (code == 3) QVERIFY(bus->sent(0).empty());
    // Nothing in the window's words: no dialog, no Start button, no file chooser.
    for (const char* window : {"Start", "Load another file", "Open Error", "ERROR:", "Can not"})
        QVERIFY2(!r.err.contains(window) && !r.out.contains(window), qPrintable(r.out + r.err));
}

void CliFlashTest::progressBar_data() {
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("bar");
    QTest::newRow("none") << 0 << 90 << "[..........]   0%  0/90 blocks";
    QTest::newRow("half") << 45 << 90 << "[#####.....]  50%  45/90 blocks";
    QTest::newRow("all") << 90 << 90 << "[##########] 100%  90/90 blocks";
    QTest::newRow("one short of all") << 89 << 90 << "[#########.]  98%  89/90 blocks";
}

void CliFlashTest::progressBar() {
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(QString, bar);
    QCOMPARE(korvalen::cli::progressBar(done, total, 10), bar);
}

namespace {

// The reports of a run of 20 blocks in the worker's order: its "update OK" and "restart" come
// before its last count, which it reports twice.
void reportRun(korvalen::cli::FlashPrinter& printer) {
    printer.report(ConnectThread::Log, 0, text::kFlashWriting);
    for (unsigned b = 1; b <= 19; ++b)
        printer.report(ConnectThread::Progress, b, "0");
    printer.report(ConnectThread::Log, 0, text::kUpdateOk);
    printer.report(ConnectThread::Log, 0, text::kRestart);
    printer.report(ConnectThread::Progress, 20, "0");
    printer.report(ConnectThread::Progress, 20, "0");
    printer.report(ConnectThread::Log, 0, text::kTheEnd);
    printer.finish();
}

} // namespace

void CliFlashTest::barOnTerminalPlainLinesOtherwise() {
    for (bool terminal : {true, false}) {
        QString out;
        QTextStream stream(&out);
        korvalen::cli::FlashPrinter printer(stream, terminal, 20);
        reportRun(printer);
        if (terminal) {
            QCOMPARE(out.count('\r'), 20); // the bar redrawn in place, 19 counts and the full bar
        } else {
            QCOMPARE(out.count('\r'), 0);
            QCOMPARE(out.count('\n'), 13); // three log lines and ten progress lines
        }
    }
}

void CliFlashTest::fullBarBeforeTheClosingLines() {
    const QString closing = korvalen::cli::progressBar(20, 20) +
                            "\nThe firmware is written.\nSwitch the controller off and on "
                            "again to start the new firmware.\n";
    for (bool terminal : {true, false}) {
        QString out;
        QTextStream stream(&out);
        korvalen::cli::FlashPrinter printer(stream, terminal, 20);
        reportRun(printer);
        QVERIFY2(out.endsWith(closing), qPrintable(out));
        QCOMPARE(out.count(korvalen::cli::progressBar(20, 20)), 1);
    }
}

void CliFlashTest::workerLinesInTerminalWords_data() {
    QTest::addColumn<QString>("worker");
    QTest::addColumn<QString>("printed"); // "-": not printed
    const auto normal = QString(text::kNormalMode).arg("Korvalen25 MIDI 1", "1.01");
    const auto another = QString(text::kAnotherDevice).arg("Port A", "Port B");
    QTest::newRow("finding") << text::kFinding << "Looking for a Korvalen25 in upgrade mode...";
    QTest::newRow("no ports") << text::kNoPorts << "There are no MIDI ports.";
    QTest::newRow("reconnect") << text::kReconnect
                               << "Check that the controller is plugged in, and try again.";
    QTest::newRow("too many ports")
        << text::kTooManyPorts << "There are too many MIDI ports: unplug other MIDI devices.";
    QTest::newRow("input failed") << text::kOpenInError << "A MIDI input port could not be opened.";
    QTest::newRow("output failed")
        << text::kOpenOutError << "A MIDI output port could not be opened.";
    QTest::newRow("not found") << text::kNotFound << "No Korvalen25 in upgrade mode answered.";
    QTest::newRow("found") << text::kFound << "The Korvalen25 in upgrade mode answered.";
    QTest::newRow("writing") << text::kFlashWriting << "Writing the firmware...";
    QTest::newRow("update ok") << text::kUpdateOk << "The firmware is written.";
    QTest::newRow("restart") << text::kRestart
                             << "Switch the controller off and on again to start the new firmware.";
    QTest::newRow("the end") << text::kTheEnd << "-";
    QTest::newRow("normal mode") << normal
                                 << "The controller on \"Korvalen25 MIDI 1\" is in normal mode "
                                    "(firmware 1.01): start it in upgrade mode and run the flash "
                                    "command again.";
    QTest::newRow("another device")
        << another
        << "Flashing the controller on \"Port A\"; another controller in upgrade mode, on \"Port "
           "B\", is left as it is.";
    QTest::newRow("stopped searching")
        << text::kStoppedSearching << "Stopped before anything was sent.";
    QTest::newRow("stopped flashing")
        << text::kStoppedFlashing << "Stopped: the firmware in the controller is incomplete.";
    QTest::newRow("first request missing")
        << text::kFirstRequestMissing
        << "The controller did not ask for the firmware after the start message.";
    QTest::newRow("silent") << text::kDeviceSilent
                            << "The controller stopped answering during the transfer.";
    QTest::newRow("block refused")
        << "ERROR: The device asked for block 7 of 41 again 3 times in a row and does not take "
           "it. Restart it in upgrade mode and try again."
        << "The controller asked for block 7 of 41 again 3 times in a row and does not take it.";
    QTest::newRow("a line it does not know") << "Something new."
                                             << "Something new.";
}

void CliFlashTest::workerLinesInTerminalWords() {
    QFETCH(QString, worker);
    QFETCH(QString, printed);
    const auto line = korvalen::cli::terminalLine(worker);
    QCOMPARE(line.value_or("-"), printed);
}

QTEST_GUILESS_MAIN(CliFlashTest)
#include "tst_cliflash.moc"
