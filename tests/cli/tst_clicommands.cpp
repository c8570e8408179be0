// korvalen25-cli's commands in-process against the controller emulator on the virtual bus (in
// virtual time): what they write and store, and how every kind of failure ends.
#include "clitest.h"
#include "identitycontroller.h"
#include "presets.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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
    void portsTellsOutputsNotTriedFromRefusedOnes();
    void putStoresTheFileAndKeepsZoneChannels();
    void backupRestoreBackupIsByteIdentical();
    void deviceFailuresWriteNothing_data();
    void deviceFailuresWriteNothing();
    void putThatDoesNotReadBackFails();
    void dumpTakesOnlyWhatTheModelTakes();
    void showUsesTheEditorsTexts_data();
    void showUsesTheEditorsTexts();
    void showJson();
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
    QTest::newRow("--json with get")
        << QStringList{"--json", "get", "P17", "%D/x.sav"} << 2 << "--json goes with show only";
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

void CliCommandsTest::portsTellsOutputsNotTriedFromRefusedOnes() {
    // The controller is on the first output, so the search ends before it tries the second:
    // that one is "not probed", not "could not be opened".
    auto bus = std::make_shared<korvalen::midi::VirtualBus>();
    bus->setPortCounts(2, 2);
    bus->attach(0, 0, emulator());
    Result r = runCli({"ports"}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains("  0  Virtual MIDI Out 1  -- the Korvalen25 answered the probe sent "
                            "here\n"),
             qPrintable(r.out));
    QVERIFY2(r.out.contains("  1  Virtual MIDI Out 2  -- not probed\n"), qPrintable(r.out));
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

void CliCommandsTest::showJson() {
    using namespace korvalen::sim;
    SavFile f = randomSav(5, 16);
    f.controls[controls::kEncoders + 7] = {0, 7, 0, 0, 0};
    f.controls[controls::kPads + 4] = {1, 61, 0, 0, 1};
    f.controls[controls::kSlider].port = 9;
    f.zones[2] = {1, 4, 0, 0, 0, 0, 127, 4, 12};
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("f.sav"), bytesOf(f)));
    const Result r = runCli({"show", "--json", dir.filePath("f.sav")});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(root["preset"].toString(), "P17");
    QCOMPARE(root["presetName"].toString(), "User P17");
    QCOMPARE(root["encoders"].toArray().size(), 32);
    QCOMPARE(root["encoders"][7]["numberText"].toString(), "7  ChanVolume");
    QCOMPARE(root["encoders"][7]["bank"].toString(), "BANK 1");
    QCOMPARE(root["pads"][4]["bank"].toString(), "B");
    QCOMPARE(root["pads"][4]["numberText"].toString(), "61    C#4");
    QCOMPARE(root["pads"][4]["modeText"].toString(), "momentary");
    QCOMPARE(root["transport"][0]["control"].toString(), "REW");
    QCOMPARE(root["slider"]["port"].toInt(), 9);
    QVERIFY(root["slider"]["portText"].isNull());
    QCOMPARE(root["zones"][2]["caption"].toString(), "Zone3:Elec.Piano1");
    QCOMPARE(root["zones"][2]["octaveText"].toString(), "0");
}

QTEST_GUILESS_MAIN(CliCommandsTest)
#include "tst_clicommands.moc"
