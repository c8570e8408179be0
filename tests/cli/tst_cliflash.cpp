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
    // The dialog's log, in its order, and a plain progress line at every tenth of the blocks.
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QStringList log;
    for (const QString& line : lines)
        if (!line.startsWith('[') && !line.startsWith("Device firmware version")) log << line;
    QCOMPARE(log, (QStringList{QString(text::kFileLoaded) + " Version V1.02, 41 blocks",
                               text::kFinding, text::kFound, text::kFlashWriting, text::kUpdateOk,
                               text::kRestart, text::kTheEnd}));
    QCOMPARE(lines.filter(QRegularExpression("^\\[")).size(), 10);
    QVERIFY(lines.contains(korvalen::cli::progressBar(41, 41)));
}

void CliFlashTest::failures_data() {
    QTest::addColumn<QByteArray>("file");  // empty: no file at all
    QTest::addColumn<int>("silenceAfter"); // -1: the device answers; -2: no device
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");
    QTest::newRow("no file") << QByteArray() << -1 << 3 << "cannot read";
    QTest::newRow("wrong magic") << imageFile(100, "QVolM") << -1 << 3
                                 << "is not a Korvalen25 firmware image (Open Error!)";
    QTest::newRow("shorter than the trailer")
        << QByteArray("QVolm") << -1 << 3 << "is not a Korvalen25 firmware image";
    QTest::newRow("no body") << imageFile(0) << -1 << 3 << text::kEmptyImage;
    QTest::newRow("no controller in upgrade mode") << imageFile(100) << -2 << 1 << text::kNotFound;
    QTest::newRow("silent after 3 blocks") << imageFile(28 * 10) << 3 << 1 << text::kDeviceSilent;
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

void CliFlashTest::barOnTerminalPlainLinesOtherwise() {
    for (bool terminal : {true, false}) {
        QString out;
        QTextStream stream(&out);
        korvalen::cli::FlashPrinter printer(stream, terminal, 20);
        printer.report(ConnectThread::Log, 0, text::kFlashWriting);
        for (unsigned b = 1; b <= 20; ++b)
            printer.report(ConnectThread::Progress, b, nullptr);
        printer.report(ConnectThread::Log, 0, text::kUpdateOk);
        printer.finish();
        if (terminal) {
            QCOMPARE(out.count('\r'), 20); // the bar redrawn in place
            QVERIFY(
                out.endsWith(korvalen::cli::progressBar(20, 20) + "\n" + text::kUpdateOk + "\n"));
        } else {
            QCOMPARE(out.count('\r'), 0);
            QCOMPARE(out.count('\n'), 12); // two log lines and ten progress lines
        }
    }
}

QTEST_GUILESS_MAIN(CliFlashTest)
#include "tst_cliflash.moc"
