// Presets as ".syx" files: the exact bytes written for a known preset, both forms read back,
// and a reason for every damaged file.
#include "presetdiff.h"
#include "presetfile.h"
#include "presetsyx.h"
#include "presetvalues.h"
#include "syxfiles.h"

#include <QFile>
#include <QtTest>

#include <random>

using namespace korvalen;

namespace {

SyxPreset read(const QByteArray& file) {
    return readPresetSyx(reinterpret_cast<const std::uint8_t*>(file.constData()),
                         std::size_t(file.size()));
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every value drawn within its bound; encoders and the slider keep type and mode 0, which no
// download sends for them, and zone 1 is on, as a download always sends it.
PresetValues randomValues(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int max) { return std::uint8_t(rng() % unsigned(max + 1)); };
    auto control = [&](bool button) {
        AssignmentValues a;
        a.type = button ? pick(kMaxType) : 0;
        a.cc = pick(kMaxAssignment);
        a.chan = pick(kMaxChannel);
        a.port = pick(kMaxPort);
        a.mode = button ? pick(kMaxMode) : 0;
        return a;
    };
    PresetValues v;
    v.slider = control(false);
    for (auto& a : v.encoders)
        a = control(false);
    for (auto& a : v.functions)
        a = control(true);
    for (auto& a : v.transport)
        a = control(true);
    for (auto& a : v.pads)
        a = control(true);
    for (auto& z : v.zones)
        z = {pick(1), pick(127), pick(127), pick(127), pick(16),
             pick(5), pick(127), pick(127), pick(8),   pick(24)};
    v.zones[0].status = 1;
    return v;
}

} // namespace

class TestPresetSyx : public QObject {
    Q_OBJECT
private slots:
    void knownPresetIsTheGoldenFile();
    void aDownloadRoundOfMessages();
    void bothFormsReadBack();
    void damagedFiles_data();
    void damagedFiles();
    void anyCutOrFlippedByteIsSafe();
};

// The known model's preset, with zone channels of its own, is byte for byte the golden file.
void TestPresetSyx::knownPresetIsTheGoldenFile() {
    const QByteArray sav = readAll(QStringLiteral(KORVALEN_GOLDEN_DIR "/known-model.sav"));
    const PresetFileContents contents =
        parsePresetFile(reinterpret_cast<const std::uint8_t*>(sav.constData()), sav.size());
    QCOMPARE(contents.status, PresetFileStatus::Accepted);
    PresetValues values;
    std::uint8_t number = 0;
    unpackPresetRecords(contents.records, values, number);
    values.zones[0].chan = 2;
    values.zones[1].chan = 9;
    values.zones[2].chan = kMaxChannel;
    const QByteArray golden = readAll(QStringLiteral(KORVALEN_GOLDEN_DIR "/known-model.syx"));
    QVERIFY(!golden.isEmpty());
    QCOMPARE(bytesOf(presetSyx(values, number)), golden);

    const SyxPreset back = read(golden);
    QVERIFY2(back.ok, back.error.c_str());
    QCOMPARE(back.preset.presetNumber, number);
    QCOMPARE(back.preset.values.zones[1].chan, std::uint8_t(9));
    QCOMPARE(back.preset.values.zones[2].chan, std::uint8_t(kMaxChannel));
}

// One round of the download: six passes with the zone block after each, then the end message
// with the preset's number; nothing is sent for a number no data byte carries.
void TestPresetSyx::aDownloadRoundOfMessages() {
    const PresetValues v = randomValues(5);
    const QList<QByteArray> messages = messagesOf(bytesOf(presetSyx(v, 23)));
    // 3 slider + 96 encoder + 4 * (16 + 5 + 8) button messages; 6 zone blocks of 28.
    QCOMPARE(messages.size(), 3 + 96 + 4 * 29 + 6 * 28 + 1);
    const ShortPresetMessage end = downloadEndMessage(23);
    QCOMPARE(messages.last(), QByteArray(reinterpret_cast<const char*>(end.data()), 9));
    QCOMPARE(messages.first(), parameter(command::kNumber, control::kSliderKind,
                                         control::kSliderNumber, v.slider.cc));
    QCOMPARE(messages.count(globalParameter(global::kZoneBits, downloadZoneBits(v))), 6);
    QVERIFY(presetSyx(v, 128).empty());
    QVERIFY(presetSyx(v, -1).empty());
}

// Written and read again, and the controller's dump of the same preset: the same preset.
void TestPresetSyx::bothFormsReadBack() {
    for (unsigned seed = 1; seed <= 20; ++seed) {
        const PresetValues v = randomValues(seed);
        const int number = seed % 2 ? 16 + int(seed % 14) : 0;
        const SyxPreset written = read(bytesOf(presetSyx(v, number)));
        QVERIFY2(written.ok, written.error.c_str());
        QCOMPARE(written.form, SyxPreset::Form::Download);
        QCOMPARE(written.preset.presetNumber, number);
        QCOMPARE(written.preset.values, v);

        const SyxPreset dumped = read(dumpOf(v, number));
        QVERIFY2(dumped.ok, dumped.error.c_str());
        QCOMPARE(dumped.form, SyxPreset::Form::Dump);
        QCOMPARE(dumped.preset.presetNumber, number);
        QCOMPARE(dumped.preset.values, v);
    }
}

void TestPresetSyx::damagedFiles_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("reason");

    const PresetValues v = randomValues(77);
    const QByteArray good = bytesOf(presetSyx(v, 20));
    const QList<QByteArray> msgs = messagesOf(good);
    const QByteArray dump = dumpOf(v, 20);
    const QList<QByteArray> records = messagesOf(dump);
    auto without = [](QList<QByteArray> list, qsizetype i) {
        list.removeAt(i);
        return joined(list);
    };
    auto replaced = [](QList<QByteArray> list, qsizetype i, const QByteArray& m) {
        list[i] = m;
        return joined(list);
    };

    QTest::newRow("empty") << QByteArray() << "the file is empty";
    QTest::newRow("a .sav under the name")
        << QByteArray("KORVALEN25").append(338, '\0') << "it does not begin with F0";
    QTest::newRow("a stray byte between messages")
        << msgs[0] + QByteArray(1, char(0x90)) + joined(msgs.mid(1))
        << "byte 13 (90) lies outside any SysEx message";
    QTest::newRow("cut at the end") << good.chopped(1) << "the file ends before its F7";
    QTest::newRow("a message cut by the next") << msgs[0] + msgs[1].chopped(1) + joined(msgs.mid(2))
                                               << "message 2 (at byte 13) is cut "
                                                  "short: byte 25 (F0) comes "
                                                  "before its F7";
    QTest::newRow("another device's message")
        << QByteArray::fromHex("f04110421240007f0041f7") + good
        << "message 1 (at byte 0) (F0 41 10 42 12 40 ... (11 bytes)) is not one of the "
           "Korvalen25's preset messages";
    QTest::newRow("a universal message")
        << good + QByteArray::fromHex("f07e7f0901f7") << "may be another device's";
    QByteArray badCheck = msgs[1];
    badCheck[10] = char(badCheck[10] + 1);
    QTest::newRow("wrong check bytes")
        << replaced(msgs, 1, badCheck) << "message 2 (at byte 13) has wrong check bytes";
    QTest::newRow("channel out of range")
        << replaced(msgs, 1, parameter(command::kChannel, control::kSliderKind, 10, 17))
        << "message 2 (at byte 13): S1: channel 17 is out of range (0-16)";
    QTest::newRow("number out of range")
        << replaced(msgs, 0, parameter(command::kNumber, control::kSliderKind, 10, 172))
        << "S1: number 172 is out of range (0-171)";
    const qsizetype octave = indexOf(msgs, globalParameter(global::kZoneOct + 1, 0).left(7));
    QTest::newRow("zone octave out of range")
        << replaced(msgs, octave, globalParameter(global::kZoneOct + 1, 9))
        << "Zone2: octave 9 is out of range (0-8)";
    QTest::newRow("a control the controller lacks")
        << replaced(msgs, 0, parameter(command::kNumber, control::kEncoderKind, 40, 1))
        << "is for control 40 of kind 1, which the controller does not have";
    QTest::newRow("a field no download sends")
        << replaced(msgs, 0, parameter(command::kBehaviour, control::kSliderKind, 10, 1))
        << "sets S1: type and mode, which a download does not send";
    QTest::newRow("a global the controller lacks")
        << replaced(msgs, 3, globalParameter(48, 1))
        << "sets preset-wide value 48, which the controller does not have";
    QTest::newRow("no end message") << good.chopped(9) << "it has no download end message";
    QTest::newRow("two presets") << good + good << "it holds 2 presets";
    QTest::newRow("a message after the end")
        << good + msgs[0] << "message 385 (at byte 4484) follows the download end message";
    QTest::newRow("a value left out")
        << without(msgs, 0) << "it is not a whole preset: it has no value for S1: number";
    QList<QByteArray> noGlobals;
    for (const QByteArray& m : msgs)
        if (m.size() != 10) noGlobals << m;
    QTest::newRow("the zone values left out")
        << joined(noGlobals) << "no value for the zones' on/off value";
    QTest::newRow("an upload request")
        << bytesOf({0xF0, 0x00, 0x20, 0x6B, 0x02, 0x05, 0x14, 0x00, 0xF7}) + good
        << "is an upload request";
    QTest::newRow("a dump record among download messages")
        << good.left(13) + records[0] + good.mid(13)
        << "message 2 (at byte 13) is a dump record among download messages";
    QTest::newRow("a download message in a dump")
        << records[0] + msgs[0] + joined(records.mid(1)) << "is a download message in a dump";

    QTest::newRow("a dump without its end") << dump.chopped(3) << "the dump has no end record";
    QTest::newRow("a dump record out of range")
        << replaced(records, 2,
                    bytesOf(std::vector<std::uint8_t>{0xF0, 1, 1, 0, 5, 17, 0, 0, 0xF7}))
        << "message 3 (at byte 18): E2, BANK 1: channel 17 is out of range (0-16)";
    QTest::newRow("a button's behaviour out of range")
        << replaced(records, 33,
                    bytesOf(std::vector<std::uint8_t>{0xF0, 2, 32, 0, 5, 1, 0, 4, 0xF7}))
        << "F1, BANK 1: type and mode 4 is out of range (0-3)";
    QTest::newRow("a dump without a control")
        << without(records, 5) << "the dump has no value for E5, BANK 1";
    QTest::newRow("two dumps") << dump + dump << "it holds 2 presets";
    QTest::newRow("a record for no control")
        << replaced(records, 0,
                    bytesOf(std::vector<std::uint8_t>{0xF0, 2, 100, 0, 5, 1, 0, 0, 0xF7}))
        << "is not one of the Korvalen25's preset messages";
}

void TestPresetSyx::damagedFiles() {
    QFETCH(QByteArray, file);
    QFETCH(QString, reason);
    const SyxPreset r = read(file);
    QVERIFY(!r.ok);
    QVERIFY2(QString::fromStdString(r.error).contains(reason), r.error.c_str());
}

// Every cut of a file and every byte of it changed: refused with a reason or read whole, never
// read outside the bytes (the sanitizer build would catch it).
void TestPresetSyx::anyCutOrFlippedByteIsSafe() {
    const PresetValues v = randomValues(3);
    const std::vector<std::uint8_t> file = presetSyx(v, 17);
    for (std::size_t n = 0; n < file.size(); n += 7) {
        const SyxPreset r = readPresetSyx(file.data(), n);
        QVERIFY(!r.ok);
        QVERIFY(!r.error.empty());
    }
    std::vector<std::uint8_t> changed = file;
    for (std::size_t i = 0; i < changed.size(); i += 3) {
        const std::uint8_t was = changed[i];
        changed[i] = std::uint8_t(was ^ 0x41);
        const SyxPreset r = readPresetSyx(changed.data(), changed.size());
        QVERIFY(r.ok || !r.error.empty());
        changed[i] = was;
    }
}

QTEST_APPLESS_MAIN(TestPresetSyx)
#include "tst_presetsyx.moc"
