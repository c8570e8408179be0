// korvalen25-cli with two controllers on the virtual bus: without --port the commands list the
// controllers and end as a wrong command line does; --port (a part of a port name, any case)
// chooses one, for the preset commands and for flash.
#include "clitest.h"
#include "connectthread.h"

#include <QTemporaryDir>
#include <QTest>

using namespace clitest;
using korvalen::sim::ControllerEmulator;

namespace {

ControllerEmulator::Options upgradeMode() {
    ControllerEmulator::Options o;
    o.mode = ControllerEmulator::Mode::Upgrade;
    return o;
}

// Two controllers, "Korvalen25 Left" on pair 0 and "Korvalen25 Right" on pair 1.
struct TwoControllers {
    std::shared_ptr<korvalen::midi::VirtualBus> bus =
        std::make_shared<korvalen::midi::VirtualBus>();
    std::shared_ptr<korvalen::midi::EmulatorDevice> left;
    std::shared_ptr<korvalen::midi::EmulatorDevice> right;

    explicit TwoControllers(ControllerEmulator::Options options = {})
        : left(emulator(options)), right(emulator(options)) {
        bus->setPortCounts(2, 2);
        const char* names[] = {"Korvalen25 Left", "Korvalen25 Right"};
        for (unsigned p = 0; p < 2; ++p) {
            bus->setInputName(p, std::string(names[p]) + " MIDI In");
            bus->setOutputName(p, std::string(names[p]) + " MIDI Out");
        }
        bus->attach(0, 0, left);
        bus->attach(1, 1, right);
        left->emulator().loadSav(randomSav(1, 16));
        right->emulator().loadSav(randomSav(2, 16));
    }
};

} // namespace

class CliTwoTest : public QObject {
    Q_OBJECT

private slots:
    void init() { connectThread.setRequestTimeouts(2000, 2000); }

    // Every command that talks to a controller lists both and ends with exit code 2, having
    // written nothing; the list names each controller's ports, one line each.
    void withoutPortListsThem_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("ports") << QStringList{"ports"};
        QTest::newRow("get") << QStringList{"get", "P17", "%F"};
        QTest::newRow("backup") << QStringList{"backup", "%F"};
        QTest::newRow("put") << QStringList{"put", "%S", "P18"};
    }
    void withoutPortListsThem() {
        QFETCH(QStringList, args);
        TwoControllers two;
        QTemporaryDir dir;
        const QString target = dir.filePath("target");
        QVERIFY(writeAll(dir.filePath("source.sav"), bytesOf(randomSav(3, 17))));
        for (QString& a : args)
            a.replace("%F", target).replace("%S", dir.filePath("source.sav"));
        const Result r = runCli(args, two.bus);
        QCOMPARE(r.code, 2);
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("korvalen25-cli: 2 Korvalen25 controllers answered; choose "
                                     "one with --port NAME"),
                 qPrintable(r.err));
        QCOMPARE(lines[1], "  Korvalen25 Left MIDI Out  (input: Korvalen25 Left MIDI In)");
        QCOMPARE(lines[2], "  Korvalen25 Right MIDI Out  (input: Korvalen25 Right MIDI In)");
        QVERIFY(!QFile::exists(target));
        // Nothing was stored on either.
        QCOMPARE(two.left->emulator().savOf(17), two.right->emulator().savOf(17));
    }

    // --port reads the controller it names, whichever was found first, in any case; the other
    // one is not touched.
    void portChoosesTheController_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<unsigned>("seed");
        QTest::newRow("left") << "left" << 1u;
        QTest::newRow("right, output name") << "RIGHT MIDI OUT" << 2u;
        QTest::newRow("right, input name") << "25 Right MIDI In" << 2u;
    }
    void portChoosesTheController() {
        QFETCH(QString, port);
        QFETCH(unsigned, seed);
        TwoControllers two;
        QTemporaryDir dir;
        const QString file = dir.filePath("got.sav");
        const Result r = runCli({"get", "--port", port, "P17", file}, two.bus);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(readAll(file), bytesOf(randomSav(seed, 16)));
    }

    void portThatNamesNoneOrIsWrong_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("a name of neither")
            << QStringList{"get", "--port", "Middle", "P17", "%F"}
            << "korvalen25-cli: no Korvalen25 answered on a port named \"Middle\"; these answered";
        QTest::newRow("a name of both")
            << QStringList{"get", "--port", "korvalen", "P17", "%F"}
            << "korvalen25-cli: \"korvalen\" is in the port names of 2 Korvalen25 controllers "
               "that answered; give more of the name with --port NAME:";
        QTest::newRow("empty") << QStringList{"get", "--port", "", "P17", "%F"}
                               << "--port takes a part of a MIDI port name";
        QTest::newRow("with show") << QStringList{"show", "--port", "Left", "%F"}
                                   << "--port goes with the commands that use the controller";
    }
    void portThatNamesNoneOrIsWrong() {
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        TwoControllers two;
        QTemporaryDir dir;
        const QString target = dir.filePath("target.sav");
        for (QString& a : args)
            a.replace("%F", target);
        const Result r = runCli(args, two.bus);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QVERIFY(!QFile::exists(target));
    }

    // One controller: --port is not needed; a --port that names another port is refused.
    void oneControllerNeedsNoPort() {
        auto device = emulator();
        device->emulator().loadSav(randomSav(5, 16));
        QTemporaryDir dir;
        Result r = runCli({"get", "P17", dir.filePath("a.sav")}, busWith(device));
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(readAll(dir.filePath("a.sav")), bytesOf(randomSav(5, 16)));
        r = runCli({"get", "--port", "elsewhere", "P17", dir.filePath("b.sav")}, busWith(device));
        QCOMPARE(r.code, 2);
        QVERIFY(!QFile::exists(dir.filePath("b.sav")));
    }

    // Two controllers in upgrade mode: flash lists them and flashes neither; with --port it
    // flashes the one named and leaves the other as it was.
    void flashChoosesTheController() {
        TwoControllers two(upgradeMode());
        QTemporaryDir dir;
        const QByteArray file = firmwareFile(28 * 10 + 1);
        QVERIFY(writeAll(dir.filePath("fw.bin"), file));

        Result r = runCli({"flash", dir.filePath("fw.bin")}, two.bus);
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.startsWith("korvalen25-cli: 2 Korvalen25 controllers in upgrade mode "
                                  "answered; choose one with --port NAME"),
                 qPrintable(r.err));
        QVERIFY(r.err.contains("\n  Korvalen25 Left MIDI Out  (input: Korvalen25 Left MIDI In)"));
        QVERIFY(r.err.contains("\n  Korvalen25 Right MIDI Out  (input: Korvalen25 Right MIDI In)"));
        QVERIFY2(!r.out.contains("Writing the firmware"), qPrintable(r.out));
        QVERIFY(two.left->emulator().image().empty());
        QVERIFY(two.right->emulator().image().empty());

        r = runCli({"flash", "--port", "right", dir.filePath("fw.bin")}, two.bus);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const auto& flashed = two.right->emulator().image();
        QCOMPARE(
            QByteArray(reinterpret_cast<const char*>(flashed.data()), qsizetype(flashed.size())),
            file.left(file.size() - 15));
        QVERIFY(two.left->emulator().image().empty());
        QVERIFY2(r.out.contains("another controller in upgrade mode, on \"Korvalen25 Left MIDI "
                                "In\", is left as it is"),
                 qPrintable(r.out));
    }
};

QTEST_GUILESS_MAIN(CliTwoTest)
#include "tst_clitwo.moc"
