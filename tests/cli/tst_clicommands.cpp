// korvalen25-cli's commands in-process against the controller emulator on the virtual bus (in
// virtual time): what they write and store, and how every kind of failure ends.
#include "clitest.h"
#include "identitycontroller.h"
#include "presethistory.h"
#include "presets.h"
#include "presetsyx.h"

#include <QDateTime>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace clitest;
using korvalen::midi::Message;
using korvalen::sim::ControllerEmulator;
using korvalen::sim::SavFile;

namespace {

const auto& kPresets = korvalen::cli::kDevicePresets;

QString backupPath(const QString& dir, int number) {
    return QDir(dir).filePath(korvalen::cli::backupFileName(number));
}

// A controller that answers the identity probe and each upload request with the dump of a
// fixed preset, and stores nothing it is sent.
std::shared_ptr<korvalen::midi::VirtualBus> forgetfulController(const SavFile& shown) {
    auto bus = busWith(nullptr);
    auto device = std::make_shared<ControllerEmulator>();
    for (int n : kPresets)
        device->loadSav(shown, n);
    bus->attach(0, 0, [device](const Message& m) -> std::vector<Message> {
        if (m.size() == 9 && m[5] == 0x05) return device->dumpOf(m[6]);
        return testsupport::answerIdentityProbe(m);
    });
    return bus;
}

} // namespace

class CliCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void presetNames_data();
    void presetNames();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void getWritesTheDevicePreset_data();
    void getWritesTheDevicePreset();
    void findsTheControllerBehindASilentPort();
    void portsTellsSilentOutputsFromRefusedOnes();
    void putStoresTheFileAndKeepsZoneChannels();
    void backupRestoreBackupIsByteIdentical();
    void deviceFailuresWriteNothing_data();
    void deviceFailuresWriteNothing();
    void putThatDoesNotReadBackFails();
    void slowControllerGetsEveryPresetWhole();
    void restoreThatFailsSaysWhatIsWhere();
    void dumpTakesOnlyWhatTheModelTakes();
    void showUsesTheEditorsTexts_data();
    void showUsesTheEditorsTexts();
    void showJsonValues_data();
    void showJsonValues();
    void showJsonGolden_data();
    void showJsonGolden();
    void commandHelp_data();
    void commandHelp();
    void helpRefusals_data();
    void helpRefusals();
    void noPortsAnswersAtOnce_data();
    void noPortsAnswersAtOnce();
    // Snapshots before writes, diff and history.
    void init();
    void putKeepsWhatItReplacesAndUndoPutPutsItBack();
    void aWriteWhoseSnapshotFails_data();
    void aWriteWhoseSnapshotFails();
    void restoreKeepsEveryPresetItReplaces();
    void diffLists_data();
    void diffLists();
    void diffJsonGolden();
    void historyAndUndoPutRefusals();
    void pruningKeepsTheSnapshotJustTaken();
    void aSnapshotOfAnotherControllerIsRefused();
    void aStoredPresetTheBoxesCannotShowGetsItsSnapshot();
    void undoPutWritesBackWhatTheBoxesCannotShow();
    void undoPutRefusesAValueNoMessageCarries();
    void snapshotsRecordTheControllersIdentity();
    void getReplacesTheChannelsBesideTheFile();
    void theChannelsBesideAFileGoWithIt();
    void theFactoryPresetIsWrittenOnlyWhenNamed();
    void portsAsJson();
    // Presets as .syx files.
    void syxGetThenPutStoresTheSamePreset();
    void syxPlayedMessageByMessageStoresThePreset();
    void syxBackupAndRestore();
    void syxDumpsImport();
    void syxDamagedFilesAreRefused_data();
    void syxDamagedFilesAreRefused();

private:
    std::unique_ptr<QTemporaryDir> history_;
};

void CliCommandsTest::presetNames_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number"); // -1: refused
    QTest::newRow("P01 factory") << "P01" << 0;
    QTest::newRow("p17 lower case") << "p17" << 16;
    QTest::newRow("P30 last") << "P30" << 29;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("16") << "16" << 16;
    QTest::newRow("29") << "29" << 29;
    QTest::newRow("P02 no such preset") << "P02" << -1;
    QTest::newRow("P16 just below") << "P16" << -1;
    QTest::newRow("P31 just above") << "P31" << -1;
    QTest::newRow("1") << "1" << -1;
    QTest::newRow("15") << "15" << -1;
    QTest::newRow("30") << "30" << -1;
    QTest::newRow("P1 one digit") << "P1" << -1;
    QTest::newRow("P017 three digits") << "P017" << -1;
    QTest::newRow("016") << "016" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("User P17") << "User P17" << -1;
}

void CliCommandsTest::presetNames() {
    QFETCH(QString, text);
    QFETCH(int, number);
    const auto parsed = korvalen::cli::parsePresetName(text);
    QCOMPARE(parsed.value_or(-1), number);
    if (number >= 0)
        QCOMPARE(korvalen::cli::parsePresetName(korvalen::cli::shownPresetName(number)), parsed);
}

void CliCommandsTest::refusedBeforeAnythingIsSent_data() {
    QTest::addColumn<QStringList>("args"); // %D is the test folder
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says");

    QTest::newRow("no command") << QStringList{} << 2 << "no command given";
    QTest::newRow("unknown command") << QStringList{"frob"} << 2 << "unknown command \"frob\"";
    QTest::newRow("unknown option") << QStringList{"--frob", "ports"} << 2 << "frob";
    QTest::newRow("get without file") << QStringList{"get", "P17"} << 2 << "get PRESET FILE.sav";
    QTest::newRow("get P02") << QStringList{"get", "P02", "%D/x.sav"} << 2
                             << "\"P02\" is not a preset";
    QTest::newRow("put as P31") << QStringList{"put", "%D/good.sav", "P31"} << 2
                                << "\"P31\" is not a preset";
    QTest::newRow("show two files")
        << QStringList{"show", "a", "b"} << 2 << "show [--json] FILE.sav";
    QTest::newRow("--json with get") << QStringList{"--json", "get", "P17", "%D/x.sav"} << 2
                                     << "--json goes with ports, show, diff and history only";
    QTest::newRow("--force with get")
        << QStringList{"--force", "get", "P17", "%D/x.sav"} << 2 << "--force goes with put only";
    QTest::newRow("unknown backend")
        << QStringList{"--midi-api", "nosuch", "ports"} << 2 << "unknown MIDI backend \"nosuch\"";

    QTest::newRow("show: no file") << QStringList{"show", "%D/none.sav"} << 3 << "cannot read";
    QTest::newRow("show: short file") << QStringList{"show", "%D/short.sav"} << 3 << "100 bytes";
    QTest::newRow("show: not a preset")
        << QStringList{"show", "%D/alien.sav"} << 3 << "does not begin with KORVALEN25";
    QTest::newRow("put: value out of range")
        << QStringList{"put", "%D/wild.sav", "P17"} << 3 << "E3, BANK 2: channel 20";
    QTest::newRow("put: preset number 5 in the file")
        << QStringList{"put", "%D/number5.sav"} << 3 << "preset number 5";
    QTest::newRow("restore: a file missing")
        << QStringList{"restore", "%D/partial"} << 3 << "P20.sav missing";
    QTest::newRow("restore: a file missing from a backup of .syx")
        << QStringList{"restore", "%D/partialsyx"} << 3 << "P20.syx missing";
    QTest::newRow("restore: a short file")
        << QStringList{"restore", "%D/damaged"} << 3 << "P25.sav\" is not a Korvalen25 preset file";
    QTest::newRow("restore: no folder")
        << QStringList{"restore", "%D/nothere"} << 3 << "there is no folder";
}

void CliCommandsTest::refusedBeforeAnythingIsSent() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, says);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString d = dir.path();
    QByteArray good = bytesOf(randomSav(1, 16));
    QVERIFY(writeAll(d + "/good.sav", good));
    QVERIFY(writeAll(d + "/short.sav", good.left(100)));
    QVERIFY(writeAll(d + "/alien.sav", QByteArray(348, 'X')));
    QByteArray wild = good;
    wild[10 + (8 + 2) * 5 + 2] = 20; // encoder E3 of bank 2: channel 20
    QVERIFY(writeAll(d + "/wild.sav", wild));
    QByteArray number5 = good;
    number5[347] = 5;
    QVERIFY(writeAll(d + "/number5.sav", number5));
    for (const char* folder : {"partial", "damaged"}) {
        QVERIFY(QDir(d).mkpath(QLatin1String(folder)));
        for (int n : kPresets)
            if (!(folder[0] == 'p' && n == 19))
                QVERIFY(writeAll(backupPath(d + "/" + folder, n),
                                 n == 24 && folder[0] == 'd' ? good.left(10) : good));
    }

    // The same backup as .syx files, P20 left out.
    QVERIFY(QDir(d).mkpath(QStringLiteral("partialsyx")));
    korvalen::PresetValues values;
    std::uint8_t held = 0;
    korvalen::unpackPresetRecords(
        korvalen::parsePresetFile(reinterpret_cast<const std::uint8_t*>(good.constData()),
                                  std::size_t(good.size()))
            .records,
        values, held);
    for (int n : kPresets) {
        if (n == 19) continue;
        const auto syx = korvalen::presetSyx(values, n);
        QVERIFY(!syx.empty());
        QVERIFY(
            writeAll(QDir(d + "/partialsyx").filePath(korvalen::cli::backupFileName(n, true)),
                     QByteArray(reinterpret_cast<const char*>(syx.data()), qsizetype(syx.size()))));
    }

    for (QString& a : args)
        a.replace(QLatin1String("%D"), d);
    auto bus = busWith(emulator());
    const Result r = runCli(args, bus);
    QCOMPARE(r.code, code);
    QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
    QVERIFY2(r.err.contains(says), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    QVERIFY(bus->sent(0).empty());
    QVERIFY(!QFile::exists(d + "/x.sav"));
}

void CliCommandsTest::getWritesTheDevicePreset_data() {
    QTest::addColumn<QString>("preset");
    QTest::addColumn<int>("number");
    QTest::newRow("P21") << "P21" << 20;
    QTest::newRow("factory preset by number") << "0" << 0;
    QTest::newRow("p30") << "p30" << 29;
}

void CliCommandsTest::getWritesTheDevicePreset() {
    QFETCH(QString, preset);
    QFETCH(int, number);
    auto device = emulator();
    const SavFile loaded = randomSav(7, number);
    QVERIFY(device->emulator().loadSav(loaded, number));
    QTemporaryDir dir;
    const QString path = dir.filePath("out.sav");

    const Result r = runCli({"get", preset, path}, busWith(device));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.err.isEmpty());
    QCOMPARE(readAll(path), bytesOf(loaded));
}

void CliCommandsTest::findsTheControllerBehindASilentPort() {
    // A client that never answers is listed (and probed) first; the controller answers its
    // identity probe 100 ms late, after the first reply window.
    auto bus = std::make_shared<korvalen::midi::VirtualBus>();
    bus->setPortCounts(2, 2);
    ControllerEmulator::Options silent;
    silent.silent = true;
    bus->attach(0, 0, emulator(silent));
    ControllerEmulator::Options late;
    late.identityDelayMs = 100;
    auto device = emulator(late);
    bus->attach(1, 1, device);
    QTemporaryDir dir;

    const Result r = runCli({"get", "P17", dir.filePath("x.sav")}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(readAll(dir.filePath("x.sav")), bytesOf(device->emulator().savOf(16)));
}

void CliCommandsTest::portsTellsSilentOutputsFromRefusedOnes() {
    // The controller is on the first output; the second is asked as well, for a second
    // controller, and is "no answer", not "could not be opened".
    auto bus = std::make_shared<korvalen::midi::VirtualBus>();
    bus->setPortCounts(2, 2);
    bus->attach(0, 0, emulator());
    Result r = runCli({"ports"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains("  0  Virtual MIDI Out 1  -- the Korvalen25 answered the probe sent "
                            "here\n"),
             qPrintable(r.out));
    QVERIFY2(r.out.contains("  1  Virtual MIDI Out 2  -- no answer\n"), qPrintable(r.out));
    QVERIFY2(!r.out.contains("could not be opened"), qPrintable(r.out));

    // An output that the backend refuses is still told as such.
    bus = std::make_shared<korvalen::midi::VirtualBus>();
    bus->setPortCounts(1, 2);
    bus->attach(0, 1, emulator());
    bus->setOutputOpenFails(0, true);
    r = runCli({"ports"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains("  0  Virtual MIDI Out 1  -- could not be opened\n"),
             qPrintable(r.out));
}

void CliCommandsTest::putStoresTheFileAndKeepsZoneChannels() {
    auto device = emulator();
    auto bus = busWith(device);
    QTemporaryDir dir;
    const SavFile file = randomSav(11, 17);
    QVERIFY(writeAll(dir.filePath("f.sav"), bytesOf(file)));
    const auto channelsOf = [&](int n) {
        const auto* p = device->emulator().preset(n);
        return QList<int>{p->globals[21], p->globals[22], p->globals[23]};
    };
    const QList<int> channels17 = channelsOf(17);
    const QList<int> channels24 = channelsOf(24);

    // The file's own number, then another one.
    Result r = runCli({"put", dir.filePath("f.sav")}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(17)), bytesOf(file));
    QCOMPARE(channelsOf(17), channels17);

    r = runCli({"put", dir.filePath("f.sav"), "P25"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    SavFile as24 = file;
    as24.presetNumber = 24;
    QCOMPARE(bytesOf(device->emulator().savOf(24)), bytesOf(as24));
    QCOMPARE(channelsOf(24), channels24);
}

void CliCommandsTest::backupRestoreBackupIsByteIdentical() {
    auto source = emulator();
    for (int n : kPresets)
        QVERIFY(source->emulator().loadSav(randomSav(100 + n, n), n));
    auto fresh = emulator();
    auto freshBus = busWith(fresh);
    QTemporaryDir dir;
    const QString first = dir.filePath("first"), before = dir.filePath("before"),
                  again = dir.filePath("again");

    Result r = runCli({"backup", first}, busWith(source));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.endsWith("15 presets saved in " + first + "\n"));
    QCOMPARE(runCli({"backup", before}, freshBus).code, 0);
    r = runCli({"restore", first}, freshBus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.err.isEmpty());
    QCOMPARE(runCli({"backup", again}, freshBus).code, 0);

    for (int n : kPresets) {
        const QByteArray saved = readAll(backupPath(first, n));
        QCOMPARE(saved, bytesOf(source->emulator().savOf(n)));
        QVERIFY(saved != readAll(backupPath(before, n))); // the restore changed every preset
        QCOMPARE(readAll(backupPath(again, n)), saved);
    }
}

void CliCommandsTest::deviceFailuresWriteNothing_data() {
    using Bus = std::shared_ptr<korvalen::midi::VirtualBus>;
    QTest::addColumn<std::function<Bus()>>("makeBus");
    QTest::addColumn<QString>("says");

    QTest::newRow("no ports") << std::function<Bus()>([] {
        auto bus = std::make_shared<korvalen::midi::VirtualBus>();
        return bus;
    }) << "no Korvalen25 answered on the MIDI ports (0 inputs, 0 outputs)";
    QTest::newRow("nothing answers on the ports")
        << std::function<Bus()>([] { return busWith(nullptr); })
        << "no Korvalen25 answered on the MIDI ports (1 inputs, 1 outputs)";
    QTest::newRow("answers the probe, never the request") << std::function<Bus()>([] {
        auto bus = busWith(nullptr);
        bus->attach(0, 0, testsupport::answerIdentityProbe);
        return bus;
    }) << "did not answer the request for P17 within 5 s";
    const auto faulty = [](auto change) {
        return std::function<Bus()>([change] {
            ControllerEmulator::Options o;
            change(o);
            return busWith(emulator(o));
        });
    };
    using O = ControllerEmulator::Options;
    QTest::newRow("a silent controller")
        << faulty([](O& o) { o.silent = true; })
        << "no Korvalen25 answered on the MIDI ports (1 inputs, 1 outputs)";
    QTest::newRow("no dump for an upload request")
        << faulty([](O& o) { o.ignoreUploads = true; })
        << "did not answer the request for P17 within 5 s";
    QTest::newRow("an invalid encoder record") << faulty([](O& o) {
        o.dumpFault = ControllerEmulator::DumpFault::BadValue;
        o.dumpFaultRecord = 3;
    }) << "1 invalid record(s) in the dump of P17";
    QTest::newRow("a truncated encoder record") << faulty([](O& o) {
        o.dumpFault = ControllerEmulator::DumpFault::Truncated;
        o.dumpFaultRecord = 3;
    }) << "1 invalid record(s) in the dump of P17";
    QTest::newRow("a truncated button record") << faulty([](O& o) {
        o.dumpFault = ControllerEmulator::DumpFault::Truncated;
        o.dumpFaultRecord = 40; // function button F4 of bank 2
    }) << "the dump of P17 was incomplete (nothing for F4, BANK 2)";
    QTest::newRow("no zone values in the dump") << std::function<Bus()>([] {
        auto bus = busWith(nullptr);
        auto device = std::make_shared<ControllerEmulator>();
        bus->attach(0, 0, [device](const Message& m) {
            auto answer = device->receive(m);
            if (m.size() == 9 && m[5] == 0x05)
                answer.erase(std::remove_if(answer.begin(), answer.end(),
                                            [](const Message& r) { return r[1] == 0x04; }),
                             answer.end());
            return answer;
        });
        return bus;
    }) << "the dump of P17 was incomplete (nothing for the preset number)";
    QTest::newRow("the dump stops before its end record") << faulty([](O& o) {
        o.dumpFault = ControllerEmulator::DumpFault::Cut;
        o.dumpFaultRecord = 20;
    }) << "the dump of P17 stopped before its end";
}

void CliCommandsTest::deviceFailuresWriteNothing() {
    QFETCH(std::function<std::shared_ptr<korvalen::midi::VirtualBus>()>, makeBus);
    QFETCH(QString, says);
    QTemporaryDir dir;
    const QString fresh = dir.filePath("fresh.sav"), kept = dir.filePath("kept.sav");
    QVERIFY(writeAll(kept, "what was there before"));

    for (const QString& target : {fresh, kept}) {
        const Result r = runCli({"get", "P17", target}, makeBus());
        QCOMPARE(r.code, 1);
        QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
    }
    const Result r = runCli({"backup", dir.filePath("backup")}, makeBus());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(says.replace("P17", "P01")), qPrintable(r.err));

    QVERIFY(!QFile::exists(fresh));
    QCOMPARE(readAll(kept), QByteArray("what was there before"));
    QVERIFY(!QFile::exists(dir.filePath("backup")) || QDir(dir.filePath("backup")).isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no leftovers
}

void CliCommandsTest::putThatDoesNotReadBackFails() {
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("f.sav"), bytesOf(randomSav(3, 16))));
    const Result r = runCli({"put", dir.filePath("f.sav")}, forgetfulController(randomSav(4, 16)));
    QCOMPARE(r.code, 1);
    QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
    QVERIFY2(r.err.contains("P17 reads back different"), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

// A controller that reads at MIDI cable speed, with a small buffer: put and restore still store
// every preset whole (the download slows down until the read-back matches).
void CliCommandsTest::slowControllerGetsEveryPresetWhole() {
    ControllerEmulator::Options slow;
    slow.readRateBytesPerS = 3125;
    slow.readBufferBytes = 256;
    auto device = emulator(slow);
    auto bus = busWith(device);
    QTemporaryDir dir;
    const SavFile file = randomSav(21, 18);
    QVERIFY(writeAll(dir.filePath("f.sav"), bytesOf(file)));
    Result r = runCli({"put", dir.filePath("f.sav")}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(device->emulator().lostMessages() > 0);
    QCOMPARE(bytesOf(device->emulator().savOf(18)), bytesOf(file));

    const QString backup = dir.filePath("b");
    QDir().mkpath(backup);
    for (int n : kPresets)
        QVERIFY(writeAll(backupPath(backup, n), bytesOf(randomSav(300 + n, n))));
    r = runCli({"restore", backup}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    for (int n : kPresets)
        QCOMPARE(bytesOf(device->emulator().savOf(n)), readAll(backupPath(backup, n)));
}

// A controller that never stores P19 (it drops every download end message for it): restore
// says which presets are whole, which one may be incomplete and which were not touched.
void CliCommandsTest::restoreThatFailsSaysWhatIsWhere() {
    auto inner = emulator();
    struct Dropper final : korvalen::midi::VirtualDevice {
        std::shared_ptr<korvalen::midi::EmulatorDevice> inner;
        std::vector<korvalen::midi::Message> receive(const korvalen::midi::Message& m) override {
            if (m.size() == 9 && m[5] == 0x07 && m[6] == 18) return {};
            return inner->receive(m);
        }
    };
    auto dropper = std::make_shared<Dropper>();
    dropper->inner = inner;
    auto bus = busWith(dropper);
    QTemporaryDir dir;
    for (int n : kPresets)
        QVERIFY(writeAll(backupPath(dir.path(), n), bytesOf(randomSav(500 + n, n))));
    const Result r = runCli({"restore", dir.path()}, bus);
    QCOMPARE(r.code, 1);
    QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
    QVERIFY2(r.err.contains("P19 reads back different"), qPrintable(r.err));
    QVERIFY2(r.err.contains("restored whole: P01, P17, P18; P19 may now be incomplete on the "
                            "controller; not changed: P20, P21, P22, P23, P24, P25, P26, P27, "
                            "P28, P29, P30"),
             qPrintable(r.err));
    for (int n : {0, 16, 17})
        QCOMPARE(bytesOf(inner->emulator().savOf(n)), readAll(backupPath(dir.path(), n)));
    QVERIFY(bytesOf(inner->emulator().savOf(19)) != readAll(backupPath(dir.path(), 19)));
}

void CliCommandsTest::dumpTakesOnlyWhatTheModelTakes() {
    using namespace korvalen;
    cli::Preset preset;
    cli::PresetDumpSink sink(preset);
    DumpParser parser(sink, sink.globals());
    std::vector<std::uint8_t> dump;
    auto add = [&dump](const auto& record) {
        dump.insert(dump.end(), record.begin(), record.end());
    };
    add(dumpAssignmentRecord(2, 32, 60, 3, 1, 3));   // F1 bank 1: note 60 momentary
    add(dumpAssignmentRecord(2, 33, 171, 17, 6, 4)); // F2: channel, port too big; mode 2
    add(dumpAssignmentRecord(1, 0, 172, 0, 0, 0));   // E1 bank 1: invalid, reported
    add(dumpAssignmentRecord(0, 10, 5, 16, 5, 0));   // slider
    std::uint8_t globals[48] = {};
    globals[0] = 21;
    globals[16] = 0b101;
    globals[1] = 9;       // zone 1 program
    globals[25] = 9;      // zone 1 octave: past 8, not taken
    globals[29 + 1] = 24; // zone 2 transpose
    globals[21 + 2] = 17; // zone 3 channel: past 16, not taken
    std::array<std::uint8_t, 5 * 127 + 5> record{};
    add(std::vector<std::uint8_t>(record.begin(),
                                  record.begin() + dumpGlobalsRecord(0, globals, 48, record)));
    add(kDumpEndRecord);
    QCOMPARE(parser.parse(dump.data(), dump.size()).status, DumpParser::Status::EndOfDump);

    QCOMPARE(sink.badRecords(), 1);
    const auto& v = preset.values;
    QCOMPARE(v.functions[0], (AssignmentValues{1, 60, 3, 1, 1}));
    QCOMPARE(v.functions[1], (AssignmentValues{0, 171, 0, 0, 0}));
    QCOMPARE(v.encoders[0], AssignmentValues{});
    QCOMPARE(v.slider, (AssignmentValues{0, 5, 16, 5, 0}));
    QCOMPARE(v.zones[0].prog, 9);
    QCOMPARE(v.zones[0].oct, 4);
    QCOMPARE(v.zones[0].status, 1);
    QCOMPARE(v.zones[1].status, 0);
    QCOMPARE(v.zones[1].trans, 24);
    QCOMPARE(v.zones[2].chan, 0);
    QCOMPARE(v.zones[2].status, 1);
    QCOMPARE(preset.presetNumber, 21);
}

void CliCommandsTest::showUsesTheEditorsTexts_data() {
    QTest::addColumn<QString>("line");
    QTest::newRow("title") << "Preset P18 User P18";
    QTest::newRow("bank heading") << "Encoders, BANK 2";
    QTest::newRow("encoder") << "  E8   7  ChanVolume         Ch1   P1";
    QTest::newRow("button with a note")
        << "  F1   Note     60    C 4             Ch10  --  momentary";
    QTest::newRow("pad bank") << "Pads, bank B";
    QTest::newRow("transport") << "  REC  Control  171  Pitch Bend       --    P5  toggle";
    QTest::newRow("channel out of range") << "  S1   1  Modulation         20 (out of range) P1";
    QTest::newRow("zone on") << "  Zone1:Grand Piano";
    QTest::newRow("zone values")
        << "    ON, program 0 Grand Piano, bank MSB 1, LSB 2, port --, keys 0 to 127, octave - 4, "
           "transpose 12";
    QTest::newRow("zone closed") << "  Zone2: Closed";
}

void CliCommandsTest::showUsesTheEditorsTexts() {
    QFETCH(QString, line);
    using namespace korvalen::sim;
    SavFile f;
    f.presetNumber = 17;
    f.controls[controls::kEncoders + 7] = {0, 7, 0, 0, 0};
    f.controls[controls::kFunctions] = {1, 60, 9, 5, 1};
    f.controls[controls::kTransport + 4] = {0, 171, 16, 4, 0};
    f.controls[controls::kSlider] = {0, 1, 20, 0, 0};
    f.zones[0] = {1, 0, 1, 2, 5, 0, 127, 0, 24};
    f.zones[1] = {0, 3, 0, 0, 0, 0, 127, 4, 12};
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("f.sav"), bytesOf(f)));
    const Result r = runCli({"show", dir.filePath("f.sav")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.split('\n').contains(line), qPrintable(r.out));
}

namespace {

// A preset with a value at each end of every list and past it: channel and port "--" and out
// of range, the lowest and highest octave and transpose, a zone off, a note button.
SavFile edgePreset() {
    using namespace korvalen::sim;
    SavFile f = randomSav(5, 16);
    f.controls[controls::kEncoders] = {0, 0, 0, 0, 0};        // E1: channel 1, port 1
    f.controls[controls::kEncoders + 7] = {0, 7, 15, 4, 0};   // E8: channel 16, port 5
    f.controls[controls::kEncoders + 8] = {0, 171, 16, 5, 0}; // E1, BANK 2: channel, port "--"
    f.controls[controls::kEncoders + 9] = {1, 172, 17, 6, 1}; // E2, BANK 2: all out of range
    f.controls[controls::kFunctions] = {0, 64, 9, 2, 0};      // F1: Control, toggle
    f.controls[controls::kPads + 4] = {1, 61, 0, 0, 1};       // P1, bank B: Note, momentary
    f.controls[controls::kPads + 5] = {1, 128, 0, 0, 2};      // P2, bank B: no such note, mode
    f.controls[controls::kTransport + 4] = {2, 10, 3, 1, 1};  // REC: no such type
    f.controls[controls::kSlider] = {0, 1, 20, 9, 0};         // channel, port out of range
    f.zones[0] = {1, 0, 1, 2, 5, 0, 127, 0, 0};               // octave -4, transpose -12
    f.zones[1] = {0, 127, 127, 0, 0, 36, 60, 8, 24};          // off; octave 4, transpose 12
    f.zones[2] = {1, 4, 0, 0, 4, 0, 127, 4, 12};              // octave, transpose 0; port 5
    return f;
}

// The value at a path of keys and indexes: "encoders/7/channel", "zones/0/raw/octave".
QJsonValue at(const QJsonObject& root, const QString& path) {
    QJsonValue v = root;
    for (const QString& step : path.split('/')) {
        bool index = false;
        const int i = step.toInt(&index);
        if (index) {
            if (!v.isArray() || i >= v.toArray().size()) return QJsonValue(QJsonValue::Undefined);
            v = v.toArray()[i];
        } else {
            if (!v.isObject()) return QJsonValue(QJsonValue::Undefined);
            v = v.toObject().value(step);
        }
    }
    return v;
}

QString goldenPath(const char* name) {
    return QStringLiteral(KORVALEN_GOLDEN_DIR "/") + QLatin1String(name);
}

} // namespace

void CliCommandsTest::showJsonValues_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("value"); // the JSON of the value; "absent": no such key

    QTest::newRow("preset") << "preset"
                            << "\"P17\"";
    QTest::newRow("preset name") << "presetName"
                                 << "\"User P17\"";
    QTest::newRow("preset number") << "raw/presetNumber"
                                   << "16";
    QTest::newRow("32 encoders") << "encoders/31/control"
                                 << "\"E8\"";
    QTest::newRow("no 33rd encoder") << "encoders/32"
                                     << "absent";

    QTest::newRow("channel 1") << "encoders/0/channel"
                               << "1";
    QTest::newRow("channel 1 text") << "encoders/0/channelText"
                                    << "\"Ch1\"";
    QTest::newRow("channel 1 raw") << "encoders/0/raw/channel"
                                   << "0";
    QTest::newRow("port 1") << "encoders/0/port"
                            << "1";
    QTest::newRow("port 1 raw") << "encoders/0/raw/port"
                                << "0";
    QTest::newRow("channel 16") << "encoders/7/channel"
                                << "16";
    QTest::newRow("port 5") << "encoders/7/port"
                            << "5";
    QTest::newRow("port 5 text") << "encoders/7/portText"
                                 << "\"P5\"";
    QTest::newRow("number") << "encoders/7/number"
                            << "7";
    QTest::newRow("number text") << "encoders/7/numberText"
                                 << "\"7  ChanVolume\"";
    QTest::newRow("bank") << "encoders/8/bank"
                          << "\"BANK 2\"";
    QTest::newRow("no channel") << "encoders/8/channel"
                                << "null";
    QTest::newRow("no channel text") << "encoders/8/channelText"
                                     << "\"--\"";
    QTest::newRow("no channel raw") << "encoders/8/raw/channel"
                                    << "16";
    QTest::newRow("no port") << "encoders/8/port"
                             << "null";
    QTest::newRow("no port text") << "encoders/8/portText"
                                  << "\"--\"";
    QTest::newRow("last number") << "encoders/8/numberText"
                                 << "\"171  Pitch Bend\"";
    QTest::newRow("number out of range") << "encoders/9/number"
                                         << "null";
    QTest::newRow("number out of range text") << "encoders/9/numberText"
                                              << "null";
    QTest::newRow("number out of range raw") << "encoders/9/raw/number"
                                             << "172";
    QTest::newRow("channel out of range") << "encoders/9/channel"
                                          << "null";
    QTest::newRow("channel out of range text") << "encoders/9/channelText"
                                               << "null";
    QTest::newRow("channel out of range raw") << "encoders/9/raw/channel"
                                              << "17";
    QTest::newRow("port out of range raw") << "encoders/9/raw/port"
                                           << "6";
    QTest::newRow("encoder: no type") << "encoders/9/type"
                                      << "absent";
    QTest::newRow("encoder: no raw type") << "encoders/9/raw/type"
                                          << "absent";
    QTest::newRow("encoder: no mode") << "encoders/9/mode"
                                      << "absent";
    QTest::newRow("encoder: no raw mode") << "encoders/9/raw/mode"
                                          << "absent";
    QTest::newRow("encoder: no mode text") << "encoders/9/modeText"
                                           << "absent";
    QTest::newRow("slider: no type") << "slider/type"
                                     << "absent";
    QTest::newRow("slider: no mode") << "slider/mode"
                                     << "absent";
    QTest::newRow("slider: channel out of range") << "slider/channel"
                                                  << "null";
    QTest::newRow("slider: port out of range raw") << "slider/raw/port"
                                                   << "9";

    QTest::newRow("control type") << "functionButtons/0/type"
                                  << "\"Control\"";
    QTest::newRow("control type raw") << "functionButtons/0/raw/type"
                                      << "0";
    QTest::newRow("toggle") << "functionButtons/0/mode"
                            << "\"toggle\"";
    QTest::newRow("toggle raw") << "functionButtons/0/raw/mode"
                                << "0";
    QTest::newRow("channel 10") << "functionButtons/0/channel"
                                << "10";
    QTest::newRow("pad bank") << "pads/4/bank"
                              << "\"B\"";
    QTest::newRow("note type") << "pads/4/type"
                               << "\"Note\"";
    QTest::newRow("note") << "pads/4/number"
                          << "61";
    QTest::newRow("note text") << "pads/4/numberText"
                               << "\"61    C#4\"";
    QTest::newRow("momentary") << "pads/4/mode"
                               << "\"momentary\"";
    QTest::newRow("momentary raw") << "pads/4/raw/mode"
                                   << "1";
    QTest::newRow("no such note") << "pads/5/number"
                                  << "null";
    QTest::newRow("no such note raw") << "pads/5/raw/number"
                                      << "128";
    QTest::newRow("no such mode") << "pads/5/mode"
                                  << "null";
    QTest::newRow("no such mode raw") << "pads/5/raw/mode"
                                      << "2";
    QTest::newRow("transport name") << "transport/4/control"
                                    << "\"REC\"";
    QTest::newRow("no such type") << "transport/4/type"
                                  << "null";
    QTest::newRow("no such type raw") << "transport/4/raw/type"
                                      << "2";

    QTest::newRow("zone number") << "zones/0/zone"
                                 << "1";
    QTest::newRow("zone on") << "zones/0/on"
                             << "true";
    QTest::newRow("zone on raw") << "zones/0/raw/status"
                                 << "1";
    QTest::newRow("zone: no status text") << "zones/0/statusText"
                                          << "absent";
    QTest::newRow("zone caption") << "zones/0/caption"
                                  << "\"Zone1:Grand Piano\"";
    QTest::newRow("zone program") << "zones/0/program"
                                  << "0";
    QTest::newRow("zone program text") << "zones/0/programText"
                                       << "\"0 Grand Piano\"";
    QTest::newRow("zone MSB") << "zones/0/msb"
                              << "1";
    QTest::newRow("zone LSB") << "zones/0/lsb"
                              << "2";
    QTest::newRow("zone: no LSB text") << "zones/0/lsbText"
                                       << "absent";
    QTest::newRow("zone: no port") << "zones/0/port"
                                   << "null";
    QTest::newRow("zone: no port text") << "zones/0/portText"
                                        << "\"--\"";
    QTest::newRow("zone: no port raw") << "zones/0/raw/port"
                                       << "5";
    QTest::newRow("octave -4") << "zones/0/octave"
                               << "-4";
    QTest::newRow("octave -4 text") << "zones/0/octaveText"
                                    << "\"- 4\"";
    QTest::newRow("octave -4 raw") << "zones/0/raw/octave"
                                   << "0";
    QTest::newRow("transpose -12") << "zones/0/transpose"
                                   << "-12";
    QTest::newRow("transpose -12 raw") << "zones/0/raw/transpose"
                                       << "0";
    QTest::newRow("zone off") << "zones/1/on"
                              << "false";
    QTest::newRow("zone off caption") << "zones/1/caption"
                                      << "\"Zone2: Closed\"";
    QTest::newRow("key range") << "zones/1/rangeStart"
                               << "36";
    QTest::newRow("key range end") << "zones/1/rangeEnd"
                                   << "60";
    QTest::newRow("octave 4") << "zones/1/octave"
                              << "4";
    QTest::newRow("octave 4 raw") << "zones/1/raw/octave"
                                  << "8";
    QTest::newRow("transpose 12") << "zones/1/transpose"
                                  << "12";
    QTest::newRow("transpose 12 raw") << "zones/1/raw/transpose"
                                      << "24";
    QTest::newRow("octave 0") << "zones/2/octave"
                              << "0";
    QTest::newRow("octave 0 raw") << "zones/2/raw/octave"
                                  << "4";
    QTest::newRow("transpose 0") << "zones/2/transpose"
                                 << "0";
    QTest::newRow("transpose 0 raw") << "zones/2/raw/transpose"
                                     << "12";
    QTest::newRow("zone port 5") << "zones/2/port"
                                 << "5";
    QTest::newRow("zone port 5 raw") << "zones/2/raw/port"
                                     << "4";
    QTest::newRow("zone: no channel") << "zones/2/channel"
                                      << "absent";
    QTest::newRow("three zones") << "zones/3"
                                 << "absent";
}

void CliCommandsTest::showJsonValues() {
    QFETCH(QString, path);
    QFETCH(QString, value);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("f.sav"), bytesOf(edgePreset())));
    const Result r = runCli({"show", "--json", dir.filePath("f.sav")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonValue v = at(root, path);
    if (value == "absent") {
        QVERIFY2(v.isUndefined(), qPrintable(path));
    } else {
        QVERIFY2(!v.isUndefined(), qPrintable(path + " is absent"));
        // The value inside an array, written as JSON.
        const QByteArray json = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
        QCOMPARE(QString::fromUtf8(json.mid(1, json.size() - 2)), value);
    }
}

// The whole JSON of a known preset, byte for byte. With KORVALEN_UPDATE_GOLDEN=1 the test writes
// the golden files instead (then read them over before committing).
void CliCommandsTest::showJsonGolden_data() {
    QTest::addColumn<QByteArray>("sav");
    QTest::addColumn<QString>("golden");
    QTest::newRow("known model") << readAll(goldenPath("known-model.sav"))
                                 << goldenPath("known-model.json");
    QTest::newRow("edge values") << bytesOf(edgePreset()) << goldenPath("edge-preset.json");
}

void CliCommandsTest::showJsonGolden() {
    QFETCH(QByteArray, sav);
    QFETCH(QString, golden);
    QCOMPARE(sav.size(), 348);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("f.sav"), sav));
    const Result r = runCli({"show", "--json", dir.filePath("f.sav")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    if (qEnvironmentVariableIntValue("KORVALEN_UPDATE_GOLDEN") == 1) {
        QVERIFY(writeAll(golden, r.out.toUtf8()));
        QSKIP("golden file written");
    }
    const QByteArray expected = readAll(golden);
    QVERIFY2(!expected.isEmpty(), qPrintable(golden + " is missing"));
    const QStringList got = r.out.split('\n'), want = QString::fromUtf8(expected).split('\n');
    for (qsizetype i = 0; i < std::min(got.size(), want.size()); ++i)
        QVERIFY2(
            got[i] == want[i],
            qPrintable(QString("line %1: \"%2\", golden \"%3\"").arg(i + 1).arg(got[i], want[i])));
    QCOMPARE(r.out.toUtf8(), expected);
}

void CliCommandsTest::commandHelp_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("usage");   // the first line
    QTest::addColumn<QString>("example"); // a line of its example
    QTest::addColumn<bool>("midiApi");    // --midi-api is among its options

    QTest::newRow("ports") << "ports"
                           << "Usage: korvalen25-cli ports [--midi-api NAME] [--port NAME] [--json]"
                           << "  korvalen25-cli ports" << true;
    QTest::newRow("get")
        << "get"
        << "Usage: korvalen25-cli get [--midi-api NAME] [--port NAME] PRESET FILE.sav"
        << "  korvalen25-cli get P17 lead.sav         save user preset P17 in "
           "lead.sav"
        << true;
    QTest::newRow("put")
        << "put"
        << "Usage: korvalen25-cli put [--midi-api NAME] [--port NAME] FILE.sav [PRESET]"
        << "  korvalen25-cli put lead.sav P20         store it as user preset P20" << true;
    QTest::newRow("show") << "show"
                          << "Usage: korvalen25-cli show [--json] FILE.sav"
                          << "  korvalen25-cli show --json lead.sav     the same as JSON" << false;
    QTest::newRow("backup")
        << "backup"
        << "Usage: korvalen25-cli backup [--midi-api NAME] [--port NAME] [--syx] DIR"
        << "  korvalen25-cli backup ~/korvalen-backup" << true;
    QTest::newRow("restore") << "restore"
                             << "Usage: korvalen25-cli restore [--midi-api NAME] [--port NAME] DIR"
                             << "  korvalen25-cli restore ~/korvalen-backup" << true;
    QTest::newRow("flash") << "flash"
                           << "Usage: korvalen25-cli flash [--midi-api NAME] [--port NAME] FILE.bin"
                           << "  korvalen25-cli flash korvalen25-v102.bin" << true;
    QTest::newRow("diff")
        << "diff"
        << "Usage: korvalen25-cli diff [--midi-api NAME] [--port NAME] [--json] A B"
        << "  korvalen25-cli diff lead.sav P17        what a put of lead.sav "
           "would change"
        << true;
    QTest::newRow("history") << "history"
                             << "Usage: korvalen25-cli history [--json] [PRESET]"
                             << "  korvalen25-cli history P17" << false;
    QTest::newRow("undo-put")
        << "undo-put"
        << "Usage: korvalen25-cli undo-put [--midi-api NAME] [--port NAME] PRESET"
        << "  korvalen25-cli undo-put P17             P17 as it was before "
           "the last write"
        << true;
    QTest::newRow("help") << "help"
                          << "Usage: korvalen25-cli help [COMMAND]"
                          << "  korvalen25-cli help get" << false;
}

void CliCommandsTest::commandHelp() {
    QFETCH(QString, command);
    QFETCH(QString, usage);
    QFETCH(QString, example);
    QFETCH(bool, midiApi);
    auto bus = busWith(emulator());
    const Result help = runCli({"help", command}, bus);
    QCOMPARE(help.code, 0);
    QCOMPARE(help.err, QString());
    const QStringList lines = help.out.split('\n');
    QCOMPARE(lines.first(), usage);
    for (const char* heading : {"Options:", "Exit codes:"})
        QVERIFY2(lines.contains(heading), heading);
    QVERIFY(lines.contains("Example:") || lines.contains("Examples:"));
    QVERIFY2(lines.contains(example), qPrintable(help.out));
    QCOMPARE(lines.contains("Arguments:"), command != "ports");
    QCOMPARE(help.out.contains("  --midi-api NAME  MIDI backend: "), midiApi);
    QCOMPARE(
        help.out.contains("  --port NAME      the controller to use when more than one answers"),
        midiApi);
    QCOMPARE(help.out.contains("  --json "),
             command == "show" || command == "diff" || command == "ports" || command == "history");
    QCOMPARE(help.out.contains("  --force "), command == "put");
    QCOMPARE(help.out.contains("  --syx "), command == "backup");
    QCOMPARE(help.out.contains("  --no-snapshot "),
             command == "put" || command == "restore" || command == "undo-put");
    QVERIFY(lines.contains("  -h, --help       show this help"));
    // Not the general help.
    QVERIFY(!lines.contains("Commands:"));
    QCOMPARE(help.out.count("Usage:"), 1);
    // Each exit code the command can end with, on a line of its own.
    QVERIFY(lines.filter(QRegularExpression("^  0  ")).size() == 1);
    QVERIFY(lines.filter(QRegularExpression("^  2  ")).size() == 1);
    // Every line fits a terminal of 80 columns.
    for (const QString& line : lines)
        QVERIFY2(line.size() <= 80, qPrintable(line));

    // The same help by every way of asking; nothing is sent to a device.
    for (const QStringList& args : {QStringList{command, "--help"}, QStringList{command, "-h"},
                                    QStringList{"--help", command},
                                    QStringList{"--midi-api", "virtual", command, "--help"}}) {
        const Result same = runCli(args, bus);
        QCOMPARE(same.code, 0);
        QCOMPARE(same.out, help.out);
        QCOMPARE(same.err, QString());
    }
    QVERIFY(bus->sent(0).empty());
}

void CliCommandsTest::helpRefusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says"); // the error line, or a line of the output
    QTest::newRow("help of no such command")
        << QStringList{"help", "frob"} << 2 << "unknown command \"frob\"";
    QTest::newRow("help of two commands")
        << QStringList{"help", "get", "put"} << 2
        << "usage: korvalen25-cli help [COMMAND] (see korvalen25-cli help help)";
    QTest::newRow("a command's usage points to its help")
        << QStringList{"get", "P17"} << 2
        << "usage: korvalen25-cli get PRESET FILE.sav (see korvalen25-cli help get)";
    QTest::newRow("a wrong preset points to the command's help")
        << QStringList{"put", "x.sav", "P02"} << 2 << "(see korvalen25-cli help put)";
    QTest::newRow("help alone is the general help")
        << QStringList{"help"} << 0
        << "  help [COMMAND]          print the help of COMMAND (also: "
           "COMMAND --help)";
    QTest::newRow("--help alone is the general help")
        << QStringList{"--help"} << 0 << "Usage: korvalen25-cli [options] command [arguments]";
}

void CliCommandsTest::helpRefusals() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, says);
    const Result r = runCli(args);
    QCOMPARE(r.code, code);
    if (code == 0) {
        QVERIFY2(r.out.split('\n').contains(says), qPrintable(r.out));
        QCOMPARE(r.out, runCli({"--help"}).out);
    } else {
        QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
}

void CliCommandsTest::noPortsAnswersAtOnce_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("ports") << QStringList{"ports"};
    QTest::newRow("get") << QStringList{"get", "P17", "x.sav"};
    QTest::newRow("backup") << QStringList{"backup", "backup"};
}

// With no MIDI port at all the command gives up after one reading of the port counts and its
// pause of a second (in the bus's virtual time), not after the editor's ten.
void CliCommandsTest::noPortsAnswersAtOnce() {
    QFETCH(QStringList, args);
    QTemporaryDir dir;
    if (args.size() > 1) args.last() = dir.filePath(args.last());
    auto bus = std::make_shared<korvalen::midi::VirtualBus>();
    const Result r = runCli(args, bus);
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains("no Korvalen25 answered on the MIDI ports (0 inputs, 0 outputs)"),
             qPrintable(r.err));
    QVERIFY2(bus->now() <= 1000, qPrintable(QString("%1 ms").arg(bus->now())));
}

// --- Snapshots, diff, history ---------------------------------------------------------------

void CliCommandsTest::init() {
    // Each test has a history folder of its own.
    history_ = std::make_unique<QTemporaryDir>();
    qputenv("KORVALEN_HISTORY_DIR", history_->filePath("history").toUtf8());
}

void CliCommandsTest::putKeepsWhatItReplacesAndUndoPutPutsItBack() {
    auto device = emulator();
    auto bus = busWith(device);
    QVERIFY(device->emulator().loadSav(randomSav(70, 17), 17));
    korvalen::sim::StoredPreset was = *device->emulator().preset(17);
    was.globals[22] = 7; // zone 2's channel, which no preset file holds
    QVERIFY(device->emulator().setPreset(17, was));
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("new.sav"), bytesOf(randomSav(71, 17))));

    Result r = runCli({"put", dir.filePath("new.sav")}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    // The virtual bus is a simulated controller: its snapshots have a folder of their own.
    const QString folder = history_->filePath("history/simulated");
    const QStringList kept = QDir(folder).entryList({"P18-*.sav"});
    QCOMPARE(kept.size(), 1);
    const QString snapshot = folder + "/" + kept.first();
    QVERIFY2(r.out.contains("P18 as it was before is kept in " + snapshot + "\n"),
             qPrintable(r.out));
    QCOMPARE(readAll(snapshot), bytesOf(randomSav(70, 17)));
    QVERIFY(*device->emulator().preset(17) != was);

    r = runCli({"history", "--json", "P18"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    {
        const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(root["folder"].toString(), history_->filePath("history"));
        const QJsonArray list = root["snapshots"].toArray();
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0]["preset"].toString(), QString("P18"));
        QCOMPARE(list[0]["path"].toString(), snapshot);
        QVERIFY(list[0]["simulated"].toBool());
        QCOMPARE(list[0]["backend"].toString(), QString("virtual"));
        QVERIFY(QDateTime::fromString(list[0]["taken"].toString(), Qt::ISODate).isValid());
    }
    r = runCli({"history", "P18"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(QRegularExpression("^P18  \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  " +
                                QRegularExpression::escape(snapshot) + "  \\(simulated\\)\n$")
                 .match(r.out)
                 .hasMatch(),
             qPrintable(r.out));

    // Whole again, with its zone channel; what undo-put replaced is a snapshot in turn.
    r = runCli({"undo-put", "P18"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.startsWith("P18 (User P18) put back as it was at "), qPrintable(r.out));
    QCOMPARE(*device->emulator().preset(17), was);
    QCOMPARE(QDir(folder).entryList({"P18-*.sav"}).size(), 2);
    QCOMPARE(runCli({"diff", "P18", snapshot}, bus).code, 0);
}

// A controller that answers the first upload request with nothing: the snapshot cannot be
// read, the read-back after the download can.
class FirstUploadLost final : public korvalen::midi::VirtualDevice {
public:
    std::shared_ptr<korvalen::midi::EmulatorDevice> inner = emulator();
    bool lose = true;
    std::vector<Message> receive(const Message& m) override {
        if (m.size() == 9 && m[5] == 0x05 && std::exchange(lose, false)) return {};
        return inner->receive(m);
    }
};

void CliCommandsTest::aWriteWhoseSnapshotFails_data() {
    QTest::addColumn<bool>("unwritable"); // the history folder cannot be made
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says"); // the error line, or a line of the output
    QTest::newRow("not read") << false << QStringList{} << 1
                              << "did not answer the request for P17 within 5 s; no snapshot of "
                                 "P17 could be kept, so nothing was sent (--no-snapshot writes "
                                 "without one); P17 on the controller was not changed";
    QTest::newRow("not read, --no-snapshot")
        << false << QStringList{"--no-snapshot"} << 0
        << "No snapshot of P17 was kept: the controller did not answer the request for P17 "
           "within 5 s. Its keyboard zones now send on channel 1.";
    QTest::newRow("not written") << true << QStringList{} << 3
                                 << "cannot keep a snapshot of P17: "
                                    "cannot create the folder";
    QTest::newRow("not written, --no-snapshot") << true << QStringList{"--no-snapshot"} << 0
                                                << "No snapshot of P17 was kept: cannot "
                                                   "create the folder";
}

void CliCommandsTest::aWriteWhoseSnapshotFails() {
    QFETCH(bool, unwritable);
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QFETCH(QString, says);
    auto device = std::make_shared<FirstUploadLost>();
    if (unwritable) {
        QVERIFY(writeAll(history_->filePath("file"), "x"));
        qputenv("KORVALEN_HISTORY_DIR", history_->filePath("file/history").toUtf8());
        device->lose = false;
    }
    auto bus = busWith(device);
    const QByteArray before = bytesOf(device->inner->emulator().savOf(16));
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("f.sav"), bytesOf(randomSav(5, 16))));
    const Result r = runCli(QStringList{"put"} + options + QStringList{dir.filePath("f.sav")}, bus);
    QCOMPARE(r.code, code);
    if (code == 0) {
        QVERIFY2(r.out.split('\n').filter(says).size() == 1, qPrintable(r.out));
        QCOMPARE(bytesOf(device->inner->emulator().savOf(16)), bytesOf(randomSav(5, 16)));
    } else {
        QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
        QVERIFY2(r.err.contains(says), qPrintable(r.err));
        QCOMPARE(bytesOf(device->inner->emulator().savOf(16)), before);
    }
}

void CliCommandsTest::restoreKeepsEveryPresetItReplaces() {
    auto device = emulator();
    QTemporaryDir dir;
    for (int n : kPresets)
        QVERIFY(writeAll(backupPath(dir.path(), n), bytesOf(randomSav(600 + n, n))));
    QList<QByteArray> before;
    for (int n : kPresets)
        before << bytesOf(device->emulator().savOf(n));
    const Result r = runCli({"restore", dir.path()}, busWith(device));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    // A controller on the virtual bus is a simulated one: its snapshots are kept apart.
    QVERIFY2(r.out.contains("The presets as they were before are kept in " +
                            history_->filePath("history/simulated") + "\n"),
             qPrintable(r.out));
    const korvalen::PresetHistory history(korvalen::PresetHistory::defaultFolder(), true);
    for (std::size_t i = 0; i < kPresets.size(); ++i) {
        const auto latest = history.latest(kPresets[i]);
        QVERIFY(latest.has_value());
        QCOMPARE(readAll(latest->path), before[qsizetype(i)]);
    }
}

void CliCommandsTest::diffLists_data() {
    QTest::addColumn<QStringList>("sides"); // %A, %B: files; P17: the device
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("lines"); // the output's lines, %A and %B the files
    QTest::newRow("the same file")
        << QStringList{"%A", "%A"} << 0
        << QStringList{"%A and %A are the same (the zones' channels not compared: a preset file "
                       "holds none)"};
    QTest::newRow("two files")
        << QStringList{"%A", "%B"} << 1
        << QStringList{"control | bank | field | %A | %B", "E3 | BANK 2 | channel | Ch1 | Ch5",
                       "REW | mode | toggle | momentary",
                       "2 difference(s) (the zones' channels not compared: a preset file holds "
                       "none)"};
    // One difference is enough to exit 1.
    QTest::newRow("one difference")
        << QStringList{"%A", "%C"} << 1
        << QStringList{"control | bank | field | %A | %C", "E3 | BANK 2 | channel | Ch1 | Ch5",
                       "1 difference(s) (the zones' channels not compared: a preset file holds "
                       "none)"};
    QTest::newRow("a file and the device")
        << QStringList{"%B", "P17"} << 1
        << QStringList{"control | bank | field | %B | P17", "E3 | BANK 2 | channel | Ch5 | Ch1",
                       "REW | mode | momentary | toggle",
                       "2 difference(s) (the zones' channels not compared: a preset file holds "
                       "none)"};
    QTest::newRow("the device twice")
        << QStringList{"P17", "p17"} << 0 << QStringList{"P17 and P17 are the same"};
    QTest::newRow("no such file") << QStringList{"%A", "%N"} << 3 << QStringList{};
    QTest::newRow("not a preset file") << QStringList{"%A", "%X"} << 3 << QStringList{};
}

void CliCommandsTest::diffLists() {
    QFETCH(QStringList, sides);
    QFETCH(int, code);
    QFETCH(QStringList, lines);
    auto device = emulator();
    QTemporaryDir dir;
    SavFile a = device->emulator().savOf(16);
    SavFile b = a;
    b.controls[8 + 2].chan = 4;       // E3 of bank 2
    b.controls[32 + 16 + 8].mode = 1; // REW
    QVERIFY(writeAll(dir.filePath("a.sav"), bytesOf(a)));
    QVERIFY(writeAll(dir.filePath("b.sav"), bytesOf(b)));
    SavFile c = a;
    c.controls[8 + 2].chan = 4;
    QVERIFY(writeAll(dir.filePath("c.sav"), bytesOf(c)));
    QVERIFY(writeAll(dir.filePath("x.sav"), "no preset"));
    const auto fill = [&](QString t) {
        return t.replace("%A", dir.filePath("a.sav"))
            .replace("%B", dir.filePath("b.sav"))
            .replace("%C", dir.filePath("c.sav"))
            .replace("%N", dir.filePath("none.sav"))
            .replace("%X", dir.filePath("x.sav"));
    };
    for (QString& s : sides)
        s = fill(s);
    const Result r = runCli(QStringList{"diff"} + sides, busWith(device));
    QCOMPARE(r.code, code);
    if (code == 3) {
        QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
        return;
    }
    QCOMPARE(r.err, QString());
    QStringList want, got;
    for (const QString& l : lines)
        want << fill(l);
    // The columns, whatever their widths.
    for (QString l : r.out.split('\n', Qt::SkipEmptyParts))
        got << (l.contains("difference(s)") || l.contains("are the same")
                    ? l
                    : l.replace(QRegularExpression("  +"), " | "));
    QCOMPARE(got, want);
}

void CliCommandsTest::diffJsonGolden() {
    QTemporaryDir dir;
    SavFile a = randomSav(31, 16), b = a;
    b.controls[4].cc = 100;
    b.zones[2].oct = 2;
    b.controls[60].port = 5;
    QVERIFY(writeAll(dir.filePath("a.sav"), bytesOf(a)));
    QVERIFY(writeAll(dir.filePath("b.sav"), bytesOf(b)));
    // Relative names, so that the document does not hold the temporary folder's.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    const Result r = runCli({"diff", "--json", "a.sav", "b.sav"});
    QDir::setCurrent(cwd);
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QString());
    const QString golden = goldenPath("diff.json");
    if (qEnvironmentVariableIntValue("KORVALEN_UPDATE_GOLDEN") == 1) {
        QVERIFY(writeAll(golden, r.out.toUtf8()));
        QSKIP("golden file written");
    }
    QCOMPARE(r.out.toUtf8(), readAll(golden));
}

void CliCommandsTest::historyAndUndoPutRefusals() {
    Result r = runCli({"history"});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, "No snapshots in " + history_->filePath("history") + "\n");
    r = runCli({"history", "P18"});
    QCOMPARE(r.out, "No snapshots of P18 in " + history_->filePath("history") + "\n");
    auto bus = busWith(emulator());
    r = runCli({"undo-put", "P18"}, bus);
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains("there is no snapshot of P18 in"), qPrintable(r.err));
    QVERIFY(bus->sent(0).empty());
    r = runCli({"history", "P02"});
    QCOMPARE(r.code, 2);
    r = runCli({"get", "--no-snapshot", "P17", "x.sav"});
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains("--no-snapshot goes with put, restore and undo-put only"),
             qPrintable(r.err));
}

namespace {

korvalen::Preset presetOf(const SavFile& file) {
    QTemporaryDir dir;
    const QString path = dir.filePath("p.sav");
    korvalen::StoredPreset stored;
    if (!writeAll(path, bytesOf(file)) || !korvalen::readStoredPreset(path, stored)) return {};
    return stored.preset;
}

} // namespace

// 50 snapshots of P20 named later than now (a clock set back, the hour that repeats when
// summer time ends): the put's own snapshot is the one undo-put writes back.
void CliCommandsTest::pruningKeepsTheSnapshotJustTaken() {
    auto device = emulator();
    QVERIFY(device->emulator().loadSav(randomSav(80, 19), 19));
    const QByteArray held = bytesOf(device->emulator().savOf(19));
    const korvalen::PresetHistory history(korvalen::PresetHistory::defaultFolder(), true);
    const QDateTime later = QDateTime::currentDateTime().addYears(1);
    for (int i = 0; i < korvalen::PresetHistory::kKeptPerPreset; ++i)
        QVERIFY(!history.store(presetOf(randomSav(81 + i, 19)), 19, later.addSecs(i)).isEmpty());
    auto bus = busWith(device);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("new.sav"), bytesOf(randomSav(79, 19))));
    Result r = runCli({"put", dir.filePath("new.sav"), "P20"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(history.list(19).size(), qsizetype(korvalen::PresetHistory::kKeptPerPreset));
    r = runCli({"undo-put", "P20"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(19)), held);
}

// A snapshot taken from a real controller does not reach a simulated one (nor one on another
// port) unless --from-other says so.
void CliCommandsTest::aSnapshotOfAnotherControllerIsRefused() {
    auto device = emulator();
    auto bus = busWith(device);
    const QByteArray held = bytesOf(device->emulator().savOf(19));
    const korvalen::PresetHistory real;
    const QString fromReal =
        real.store(presetOf(randomSav(90, 19)), 19, QDateTime::currentDateTime(), nullptr, {},
                   {"Korvalen25:Korvalen25 MIDI 1 24:0", "alsa", false});
    QVERIFY(!fromReal.isEmpty());
    Result r = runCli({"undo-put", "P20"}, bus);
    QCOMPARE(r.code, 3);
    QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
    QVERIFY2(r.err.contains("--from-other"), qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(19)), held);

    // Among the simulated ones, a snapshot of another port is refused too.
    const korvalen::PresetHistory simulated(real.folder(), true);
    QVERIFY(!simulated
                 .store(presetOf(randomSav(91, 19)), 19, QDateTime::currentDateTime(), nullptr, {},
                        {"Another simulated port", "virtual", true})
                 .isEmpty());
    r = runCli({"undo-put", "P20"}, bus);
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains("was taken from the simulated controller \"Another simulated port\""),
             qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(19)), held);

    r = runCli({"undo-put", "--from-other", "P20"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(19)), bytesOf(randomSav(91, 19)));
    QCOMPARE(runCli({"put", "--from-other", "x.sav"}).code, 2);
}

// A preset stored with values that the editor's boxes cannot show (a newer firmware's, a
// damaged one) still gets its snapshot before a put, and the snapshot holds its dump as it came.
void CliCommandsTest::aStoredPresetTheBoxesCannotShowGetsItsSnapshot() {
    auto device = emulator();
    korvalen::sim::StoredPreset odd = *device->emulator().preset(19);
    odd.controls[10].chan = 20; // E3 of bank 2, on no channel the editor knows
    QVERIFY(device->emulator().setPreset(19, odd));
    QByteArray dump;
    for (const auto& m : device->emulator().dumpOf(19))
        dump += QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size()));
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("new.sav"), bytesOf(randomSav(92, 19))));
    const Result r = runCli({"put", dir.filePath("new.sav"), "P20"}, busWith(device));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const auto kept =
        korvalen::PresetHistory(korvalen::PresetHistory::defaultFolder(), true).latest(19);
    QVERIFY(kept.has_value());
    QVERIFY(!kept->dumpPath.isEmpty());
    QCOMPARE(readAll(kept->dumpPath), dump);
    korvalen::SnapshotContents contents;
    QVERIFY(korvalen::readSnapshot(*kept, contents));
    QCOMPARE(contents.preset.values.encoders[10].chan, std::uint8_t(20));
    // history and diff still show it.
    QVERIFY(runCli({"history", "P20"}).out.contains(kept->path));
    QCOMPARE(runCli({"diff", kept->path, kept->path}).code, 0);
}

namespace {

QByteArray dumpBytes(const ControllerEmulator& device, int number) {
    QByteArray dump;
    for (const auto& m : device.dumpOf(number))
        dump += QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size()));
    return dump;
}

// A newer firmware's P20: values above every bound the editor knows, in each kind of field.
korvalen::sim::StoredPreset presetBeyondTheBoxes(const ControllerEmulator& device) {
    using namespace korvalen::sim::controls;
    korvalen::sim::StoredPreset odd = *device.preset(19);
    odd.controls[kEncoders + 10].chan = 20; // E3 of bank 2
    odd.controls[kEncoders + 3].port = 9;   // E4 of bank 1
    odd.controls[kEncoders + 5].cc = 200;   // E6 of bank 1
    odd.controls[kFunctions + 1].type = 1;  // a button of behaviour 7
    odd.controls[kFunctions + 1].mode = 3;
    odd.controls[kSlider].chan = 40;                  // the slider
    odd.globals[korvalen::global::kZoneOct + 1] = 12; // zone 2's octave
    return odd;
}

} // namespace

// undo-put writes a snapshot back as the controller held it: a value that the boxes cannot
// show is sent as it is, and the read-back confirms it, so the controller's dump is the
// snapshot's again, byte for byte.
void CliCommandsTest::undoPutWritesBackWhatTheBoxesCannotShow() {
    ControllerEmulator::Options options;
    options.takesAnyValue = true;
    auto device = emulator(options);
    QVERIFY(device->emulator().loadSav(randomSav(94, 19), 19));
    const korvalen::sim::StoredPreset odd = presetBeyondTheBoxes(device->emulator());
    QVERIFY(device->emulator().setPreset(19, odd));
    const QByteArray held = dumpBytes(device->emulator(), 19);
    auto bus = busWith(device);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("new.sav"), bytesOf(randomSav(95, 19))));
    Result r = runCli({"put", dir.filePath("new.sav"), "P20"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(*device->emulator().preset(19) != odd);
    const auto kept =
        korvalen::PresetHistory(korvalen::PresetHistory::defaultFolder(), true).latest(19);
    QVERIFY(kept.has_value());
    QCOMPARE(readAll(kept->dumpPath), held);

    r = runCli({"undo-put", "P20"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err + r.out));
    QVERIFY2(r.out.startsWith("P20 (User P20) put back as it was at "), qPrintable(r.out));
    QCOMPARE(*device->emulator().preset(19), odd);
    QCOMPARE(dumpBytes(device->emulator(), 19), readAll(kept->dumpPath));
}

// A snapshot whose dump holds a value wider than a byte (an assignment number of 300) cannot
// be written back as it was: undo-put says so and sends nothing.
void CliCommandsTest::undoPutRefusesAValueNoMessageCarries() {
    auto device = emulator();
    QVERIFY(device->emulator().loadSav(randomSav(96, 19), 19));
    const QByteArray before = dumpBytes(device->emulator(), 19);
    std::vector<std::uint8_t> dump;
    for (auto m : device->emulator().dumpOf(19)) {
        if (m.size() == 9 && m[1] == korvalen::control::kEncoderKind && m[2] == 4) {
            m[3] = 300 / 127;
            m[4] = 300 % 127;
        }
        dump.insert(dump.end(), m.begin(), m.end());
    }
    korvalen::Preset shown;
    QVERIFY(korvalen::presetFromDump(dump, shown));
    const korvalen::PresetHistory simulated(korvalen::PresetHistory::defaultFolder(), true);
    QVERIFY(!simulated.store(shown, 19, QDateTime::currentDateTime(), nullptr, dump).isEmpty());
    auto bus = busWith(device);
    const Result r = runCli({"undo-put", "P20"}, bus);
    QCOMPARE(r.code, 3);
    QVERIFY2(isOneErrorLine(r.err), qPrintable(r.err));
    QVERIFY2(r.err.contains("1 value(s) wider than a byte"), qPrintable(r.err));
    QVERIFY2(r.err.contains("nothing was sent"), qPrintable(r.err));
    QCOMPARE(dumpBytes(device->emulator(), 19), before);
}

// A snapshot records the identity the controller's reply told; undo-put compares it when the
// snapshot has one (whatever the port is called now), and the port name when it has none.
void CliCommandsTest::snapshotsRecordTheControllersIdentity() {
    ControllerEmulator::Options options;
    options.version = 0x1234; // the reply's bytes 6 and 7: 24 34
    auto device = emulator(options);
    QVERIFY(device->emulator().loadSav(randomSav(97, 19), 19));
    auto bus = busWith(device);
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("new.sav"), bytesOf(randomSav(98, 19))));
    Result r = runCli({"put", dir.filePath("new.sav"), "P20"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const korvalen::PresetHistory simulated(korvalen::PresetHistory::defaultFolder(), true);
    const auto kept = simulated.latest(19);
    QVERIFY(kept.has_value());
    QCOMPARE(kept->source.identity, QString("24 34"));
    QCOMPARE(kept->source.firmware, -1);
    QFile description(korvalen::snapshotDescriptionPath(kept->path));
    QVERIFY(description.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(description.readAll()).object().value("identity").toString(),
             QString("24 34"));
    const QByteArray now = bytesOf(device->emulator().savOf(19));

    // The same port, another identity: another controller.
    korvalen::SnapshotSource source = kept->source;
    source.identity = "00 66";
    QVERIFY(!simulated
                 .store(presetOf(randomSav(99, 19)), 19, QDateTime::currentDateTime(), nullptr, {},
                        source)
                 .isEmpty());
    r = runCli({"undo-put", "P20"}, bus);
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains("identity 00 66") && r.err.contains("identity 24 34"),
             qPrintable(r.err));
    QVERIFY2(r.err.contains("--from-other"), qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(19)), now);

    // Another port name, the same identity: the same controller.
    source.identity = "24 34";
    source.port = "Korvalen25 on another socket";
    QVERIFY(!simulated
                 .store(presetOf(randomSav(100, 19)), 19, QDateTime::currentDateTime(), nullptr, {},
                        source)
                 .isEmpty());
    r = runCli({"undo-put", "P20"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(19)), bytesOf(randomSav(100, 19)));

    // A snapshot without an identity (an older one) is compared by its port.
    source.identity.clear();
    QVERIFY(!simulated
                 .store(presetOf(randomSav(101, 19)), 19, QDateTime::currentDateTime(), nullptr, {},
                        source)
                 .isEmpty());
    r = runCli({"undo-put", "P20"}, bus);
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains("Korvalen25 on another socket"), qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(19)), bytesOf(randomSav(100, 19)));
}

// get replaces the preset file and the zone channels beside it: an older channels file does
// not stay with the new preset.
void CliCommandsTest::getReplacesTheChannelsBesideTheFile() {
    auto device = emulator();
    korvalen::sim::StoredPreset stored = *device->emulator().preset(16);
    stored.globals[korvalen::global::kZoneChan] = 16;
    stored.globals[korvalen::global::kZoneChan + 1] = 3;
    stored.globals[korvalen::global::kZoneChan + 2] = 7;
    QVERIFY(device->emulator().setPreset(16, stored));
    QTemporaryDir dir;
    const QString path = dir.filePath("x.sav");
    QVERIFY(writeAll(korvalen::zoneChannelsPath(path), "{\"zoneChannels\": [5, 5, 5]}"));
    const Result r = runCli({"get", "P17", path}, busWith(device));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const auto channels = korvalen::readZoneChannels(path);
    QVERIFY(channels.has_value());
    QCOMPARE(*channels, (std::array<std::uint8_t, 3>{16, 3, 7}));
}

// A file that get wrote, channels beside it, goes to another preset with those channels, through
// put and through restore; diff then finds the file and the preset the same.
void CliCommandsTest::theChannelsBesideAFileGoWithIt() {
    auto device = emulator();
    auto bus = busWith(device);
    const auto channelsOf = [&](int n) {
        const auto* p = device->emulator().preset(n);
        return QList<int>{p->globals[korvalen::global::kZoneChan],
                          p->globals[korvalen::global::kZoneChan + 1],
                          p->globals[korvalen::global::kZoneChan + 2]};
    };
    korvalen::sim::StoredPreset stored = *device->emulator().preset(22);
    stored.globals[korvalen::global::kZoneChan] = 6;
    stored.globals[korvalen::global::kZoneChan + 1] = 7;
    stored.globals[korvalen::global::kZoneChan + 2] = 8;
    QVERIFY(device->emulator().setPreset(22, stored));
    QVERIFY(channelsOf(19) != (QList<int>{6, 7, 8}));
    QTemporaryDir dir;
    const QString path = dir.filePath("p23.sav");
    Result r = runCli({"get", "P23", path}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));

    r = runCli({"put", path, "P20"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(channelsOf(19), (QList<int>{6, 7, 8}));
    r = runCli({"diff", path, "P20"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.out + r.err));

    // A backup whose P18 carries P23's file and channels.
    const QString backup = dir.filePath("backup");
    r = runCli({"backup", backup}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const QString p18 = QDir(backup).filePath("P18.sav");
    korvalen::StoredPreset file;
    QVERIFY(korvalen::readStoredPreset(path, file));
    file.preset.presetNumber = 17;
    QVERIFY(korvalen::writeStoredPreset(p18, file.preset));
    QVERIFY(channelsOf(17) != (QList<int>{6, 7, 8}));
    r = runCli({"restore", backup}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(channelsOf(17), (QList<int>{6, 7, 8}));
}

// A file that names P01 goes there only when P01 is named, or with --force: put without a
// number must not overwrite the factory preset by surprise.
void CliCommandsTest::theFactoryPresetIsWrittenOnlyWhenNamed() {
    auto device = emulator();
    auto bus = busWith(device);
    QTemporaryDir dir;
    const QString path = dir.filePath("factory-copy.sav");
    QVERIFY(writeAll(path, bytesOf(randomSav(90, 0))));
    const QByteArray before = bytesOf(device->emulator().savOf(0));

    Result r = runCli({"put", path}, bus);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains("names P01, the factory preset") && r.err.contains("--force"),
             qPrintable(r.err));
    QVERIFY(bus->sent(0).empty());
    QCOMPARE(bytesOf(device->emulator().savOf(0)), before);

    r = runCli({"put", path, "P01"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(0)), bytesOf(randomSav(90, 0)));
    QVERIFY(writeAll(path, bytesOf(randomSav(91, 0))));
    r = runCli({"--force", "put", path}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(bytesOf(device->emulator().savOf(0)), bytesOf(randomSav(91, 0)));
}

// ports --json: each port with its state as a word, and the pair the controller answers on.
void CliCommandsTest::portsAsJson() {
    auto bus = busWith(emulator());
    bus->setPortCounts(2, 2); // a second pair on which nothing answers
    const Result r = runCli({"ports", "--json"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QJsonParseError error{};
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    QVERIFY2(error.error == QJsonParseError::NoError, qPrintable(r.out));
    QCOMPARE(root["backend"].toString(), QString("virtual"));
    QCOMPARE(root["controller"].toObject()["input"].toInt(-1), 0);
    QCOMPARE(root["controller"].toObject()["output"].toInt(-1), 0);
    const QJsonArray outputs = root["outputs"].toArray();
    QCOMPARE(outputs.size(), 2);
    QCOMPARE(outputs[0]["state"].toString(), QString("controller"));
    QCOMPARE(outputs[0]["text"].toString(), QString("the Korvalen25 answered the probe sent here"));
    QCOMPARE(outputs[1]["state"].toString(), QString("no-answer"));
    QCOMPARE(outputs[1]["index"].toInt(), 1);
    QCOMPARE(root["inputs"].toArray()[0].toObject()["state"].toString(), QString("controller"));
    QVERIFY(!root["otherDeviceSeen"].toBool());
}

// --- Presets as .syx files --------------------------------------------------------------------

namespace {

// The zone entries of the globals block: what a download sets besides the controls.
const int kZoneGlobals[] = {1,  2,  3,  5,  6,  7,  9,  10, 11, 16, 17, 18, 19, 21,
                            22, 23, 25, 26, 27, 29, 30, 31, 41, 42, 43, 45, 46, 47};

// Preset `number` of `device` with every field from `seed` and zone channels of its own.
void loadWithChannels(korvalen::midi::EmulatorDevice& device, unsigned seed, int number) {
    QVERIFY(device.emulator().loadSav(randomSav(seed, number), number));
    korvalen::sim::StoredPreset p = *device.emulator().preset(number);
    p.globals[21] = std::uint8_t(seed % 16);
    p.globals[22] = 16;
    p.globals[23] = std::uint8_t((seed + 5) % 16);
    QVERIFY(device.emulator().setPreset(number, p));
}

// The controls and the zones, their channels included, of two stored presets.
void compareStored(const korvalen::sim::StoredPreset& a, const korvalen::sim::StoredPreset& b) {
    QCOMPARE(a.controls, b.controls);
    for (int i : kZoneGlobals)
        QVERIFY2(a.globals[i] == b.globals[i], qPrintable(QStringLiteral("globals entry %1: %2 "
                                                                         "and %3")
                                                              .arg(i)
                                                              .arg(a.globals[i])
                                                              .arg(b.globals[i])));
}

QList<Message> messagesOf(const QByteArray& file) {
    QList<Message> list;
    qsizetype at = 0;
    while (at < file.size()) {
        const qsizetype end = file.indexOf(char(0xF7), at);
        if (end < 0) break;
        list << Message(file.begin() + at, file.begin() + end + 1);
        at = end + 1;
    }
    return list;
}

} // namespace

void CliCommandsTest::syxGetThenPutStoresTheSamePreset() {
    auto device = emulator();
    loadWithChannels(*device, 31, 19);
    auto bus = busWith(device);
    QTemporaryDir dir;
    const QString file = dir.filePath("p20.SYX"); // the suffix in any letter case

    Result r = runCli({"get", "P20", file}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(!QFileInfo::exists(dir.filePath("p20.zones.json"))); // the file carries them
    const QByteArray bytes = readAll(file);
    QVERIFY(bytes.startsWith(QByteArray::fromHex("f000206b02")));
    QVERIFY(bytes.endsWith(QByteArray::fromHex("f000206b02071300f7"))); // stored as P20

    r = runCli({"put", file, "P21"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    compareStored(*device->emulator().preset(20), *device->emulator().preset(19));

    // Without a number: the file's own.
    korvalen::sim::StoredPreset changed = *device->emulator().preset(19);
    changed.controls[0].cc = std::uint8_t(changed.controls[0].cc ^ 1);
    changed.globals[22] = 3;
    QVERIFY(device->emulator().setPreset(19, changed));
    r = runCli({"put", file}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    compareStored(*device->emulator().preset(19), *device->emulator().preset(20));

    // show and diff read it too; the zones' channels are compared.
    r = runCli({"show", file}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.startsWith("Preset P20"));
    r = runCli({"diff", file, "P21"}, bus);
    QCOMPARE(r.code, 0);
    QVERIFY(!r.out.contains("not compared"));

    // A file of P01 is written back as P01 only when named, or with --force.
    const QString factory = dir.filePath("p01.syx");
    QCOMPARE(runCli({"get", "P01", factory}, bus).code, 0);
    const std::size_t before = device->emulator().ignoredMessages();
    r = runCli({"put", factory}, bus);
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.contains("names P01, the factory preset"));
    QCOMPARE(device->emulator().ignoredMessages(), before);
    r = runCli({"put", "--force", factory}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
}

// Played by any MIDI program, one message after the other, the file stores the preset: here
// straight into a controller, with no part of the program between.
void CliCommandsTest::syxPlayedMessageByMessageStoresThePreset() {
    auto device = emulator();
    loadWithChannels(*device, 47, 23);
    QTemporaryDir dir;
    const QString file = dir.filePath("x.syx");
    Result r = runCli({"get", "P24", file}, busWith(device));
    QVERIFY2(r.code == 0, qPrintable(r.err));

    ControllerEmulator fresh;
    const QList<Message> messages = messagesOf(readAll(file));
    QVERIFY(messages.size() > 300);
    for (const Message& m : messages)
        QVERIFY(fresh.receive(m).empty());
    QCOMPARE(fresh.ignoredMessages(), 0u);
    compareStored(*fresh.preset(23), *device->emulator().preset(23));
}

void CliCommandsTest::syxBackupAndRestore() {
    auto source = emulator();
    for (int n : kPresets)
        loadWithChannels(*source, 200 + unsigned(n), n);
    QTemporaryDir dir;
    const QString backup = dir.filePath("b");
    Result r = runCli({"backup", "--syx", backup}, busWith(source));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    for (int n : kPresets) {
        QVERIFY(QFileInfo::exists(QDir(backup).filePath(korvalen::cli::backupFileName(n, true))));
        QVERIFY(!QFileInfo::exists(backupPath(backup, n)));
    }
    QCOMPARE(runCli({"get", "--syx", "P17", dir.filePath("x.syx")}, busWith(source)).code, 2);

    auto fresh = emulator();
    r = runCli({"restore", backup}, busWith(fresh));
    QVERIFY2(r.code == 0, qPrintable(r.err));
    for (int n : kPresets)
        compareStored(*fresh->emulator().preset(n), *source->emulator().preset(n));

    // A folder with both files of a preset is refused before anything is sent.
    QVERIFY(writeAll(backupPath(backup, 17), bytesOf(randomSav(1, 17))));
    auto untouched = emulator();
    r = runCli({"restore", backup}, busWith(untouched));
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains("holds both P18.sav and P18.syx"), qPrintable(r.err));
    QCOMPARE(*untouched->emulator().preset(17), ControllerEmulator::factoryPreset(17));
}

// The controller's dump kept as a file (a snapshot's NAME.syx) imports as the preset it holds.
void CliCommandsTest::syxDumpsImport() {
    auto device = emulator();
    loadWithChannels(*device, 58, 26);
    loadWithChannels(*device, 59, 27);
    auto bus = busWith(device);
    // Writing P28 keeps what it held as a snapshot, its dump among the files.
    QTemporaryDir dir;
    QCOMPARE(runCli({"get", "P27", dir.filePath("p27.syx")}, bus).code, 0);
    const korvalen::sim::StoredPreset was = *device->emulator().preset(27);
    Result r = runCli({"put", dir.filePath("p27.syx"), "P28"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const auto snapshot =
        korvalen::PresetHistory::of(korvalen::SnapshotSource::ofLink()).latest(27);
    QVERIFY(snapshot && !snapshot->dumpPath.isEmpty());
    QVERIFY(snapshot->dumpPath.endsWith(".syx"));

    r = runCli({"put", snapshot->dumpPath, "P29"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    compareStored(*device->emulator().preset(28), was);

    // The emulator's own dump, as a MIDI program would record it.
    QByteArray dump;
    for (const Message& m : device->emulator().dumpOf(26, false))
        dump.append(reinterpret_cast<const char*>(m.data()), qsizetype(m.size()));
    QVERIFY(writeAll(dir.filePath("dump.syx"), dump));
    r = runCli({"put", dir.filePath("dump.syx"), "P30"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    compareStored(*device->emulator().preset(29), *device->emulator().preset(26));
}

void CliCommandsTest::syxDamagedFilesAreRefused_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");
    auto source = emulator();
    QTemporaryDir dir;
    QVERIFY(runCli({"get", "P17", dir.filePath("g.syx")}, busWith(source)).code == 0);
    const QByteArray good = readAll(dir.filePath("g.syx"));
    QTest::newRow("put, cut short") << "put" << good.chopped(1) << "the file ends before its F7";
    QTest::newRow("put, a .sav named .syx")
        << "put" << bytesOf(randomSav(2, 16)) << "it does not begin with F0";
    QTest::newRow("put, two presets") << "put" << good + good << "it holds 2 presets";
    QTest::newRow("show, no end") << "show" << good.chopped(9) << "no download end message";
    QTest::newRow("diff, another device's message")
        << "diff" << QByteArray::fromHex("f07e7f0901f7") + good << "may be another device's";
}

void CliCommandsTest::syxDamagedFilesAreRefused() {
    QFETCH(QString, command);
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.syx");
    QVERIFY(writeAll(path, file));
    auto device = emulator();
    QStringList args{command, path};
    if (command == "put") args << "P20";
    if (command == "diff") args << "P20";
    const Result r = runCli(args, busWith(device));
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.startsWith("korvalen25-cli: \"" + path + "\" is not a preset: "),
             qPrintable(r.err));
    QVERIFY2(r.err.contains(reason), qPrintable(r.err));
    QCOMPARE(*device->emulator().preset(19), ControllerEmulator::factoryPreset(19));
}

QTEST_GUILESS_MAIN(CliCommandsTest)
#include "tst_clicommands.moc"
