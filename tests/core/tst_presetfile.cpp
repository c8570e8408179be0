// The ".sav" codec: the exact layout, what is accepted, and that no length can make the reader
// go wrong.
#include "presetfile.h"

#include <QtTest>

#include <random>

using namespace korvalen;

namespace {

QByteArray toByteArray(const PresetFileBytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

PresetFileContents parse(const QByteArray& file) {
    return parsePresetFile(reinterpret_cast<const std::uint8_t*>(file.constData()),
                           std::size_t(file.size()));
}

PresetRecords randomRecords(unsigned seed) {
    std::mt19937 random(seed);
    PresetRecords r;
    for (std::uint8_t& b : r)
        b = std::uint8_t(random());
    return r;
}

} // namespace

Q_DECLARE_METATYPE(PresetFileStatus)

class TestPresetFile : public QObject {
    Q_OBJECT
private slots:
    void buildAndReadBack();
    void layoutOfTheModel();
    void acceptance_data();
    void acceptance();
};

void TestPresetFile::buildAndReadBack() {
    const PresetRecords records = randomRecords(348);
    const PresetFileBytes file = buildPresetFile(records);
    QCOMPARE(file.size(), std::size_t(348));
    QCOMPARE(toByteArray(file).left(10), QByteArray("KORVALEN25"));
    QVERIFY(std::equal(records.begin(), records.end(), file.begin() + 10));

    const PresetFileContents back = parsePresetFile(file.data(), file.size());
    QCOMPARE(back.status, PresetFileStatus::Accepted);
    QVERIFY(back.records == records);
}

// Where each model value lands in the file, and the way back.
void TestPresetFile::layoutOfTheModel() {
    PresetValues v;
    v.encoders[8 * 1 + 0] = {1, 2, 3, 4, 1};     // E1 of bank 2
    v.functions[4 * 3 + 3] = {1, 171, 16, 5, 1}; // F4 of bank 4
    v.pads[4 + 0] = {0, 36, 9, 1, 1};            // P1 of bank B
    v.transport[4] = {0, 22, 2, 2, 0};           // REC
    v.slider = {0, 7, 15, 0, 0};
    v.zones[0] = {1, 40, 1, 2, 3, 4, 36, 96, 5, 13};
    v.zones[2] = {1, 127, 127, 127, 16, 5, 0, 127, 8, 24};
    const PresetRecords r = packPresetRecords(v, 29);
    const PresetFileBytes file = buildPresetFile(r);
    auto at = [&](std::size_t offset, std::size_t n) {
        return QByteArray(reinterpret_cast<const char*>(file.data() + offset), qsizetype(n));
    };
    QCOMPARE(at(10 + 40, 5), QByteArray::fromHex("0102030401"));
    QCOMPARE(at(170 + 75, 5), QByteArray::fromHex("01ab100501"));
    QCOMPARE(at(250 + 20, 5), QByteArray::fromHex("0024090101"));
    QCOMPARE(at(290 + 20, 5), QByteArray::fromHex("0016020200"));
    QCOMPARE(at(315, 5), QByteArray::fromHex("00070f0000"));
    // Zone record: status, prog, msb, lsb, port, range start, range end, octave, transpose.
    QCOMPARE(at(320, 9), QByteArray::fromHex("01280102042460050d"));
    QCOMPARE(at(329, 9), QByteArray::fromHex("00000000000000040c"));
    QCOMPARE(at(338, 9), QByteArray::fromHex("017f7f7f05007f0818"));
    QCOMPARE(int(file[347]), 29);

    // Back again: everything but the zone channels, which the file does not carry.
    PresetValues back;
    back.zones[0].chan = 11;
    std::uint8_t number = 0;
    unpackPresetRecords(r, back, number);
    QCOMPARE(int(number), 29);
    QCOMPARE(int(back.zones[0].chan), 11);
    QCOMPARE(int(back.zones[2].chan), 0);
    back.zones[0].chan = v.zones[0].chan;
    back.zones[2].chan = v.zones[2].chan;
    QVERIFY(back == v);
}

void TestPresetFile::acceptance_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<PresetFileStatus>("status");

    const PresetRecords records = randomRecords(7);
    const QByteArray saved = toByteArray(buildPresetFile(records));

    QTest::newRow("saved file") << saved << PresetFileStatus::Accepted;
    QTest::newRow("bytes 6-9 differ")
        << QByteArray(saved).replace(6, 4, "xy49") << PresetFileStatus::Accepted;
    QTest::newRow("one byte after the number")
        << saved + QByteArray(1, '\x55') << PresetFileStatus::Accepted;
    QTest::newRow("100 kB") << saved + QByteArray(100 * 1024 - 348, '\xEE')
                            << PresetFileStatus::Accepted;

    QTest::newRow("byte 5 differs")
        << QByteArray(saved).replace(5, 1, "l") << PresetFileStatus::WrongSignature;
    QTest::newRow("byte 0 differs")
        << QByteArray(saved).replace(0, 1, "C") << PresetFileStatus::WrongSignature;
    QTest::newRow("lower case") << QByteArray(saved).replace(0, 10, "korvalen25")
                                << PresetFileStatus::WrongSignature;
    QTest::newRow("short with wrong signature")
        << QByteArray("KORVAX") << PresetFileStatus::WrongSignature;

    QTest::newRow("empty") << QByteArray() << PresetFileStatus::TooShort;
    QTest::newRow("5 bytes") << QByteArray("KORVA") << PresetFileStatus::TooShort;
    QTest::newRow("signature only") << saved.left(10) << PresetFileStatus::TooShort;
    QTest::newRow("347 bytes") << saved.left(347) << PresetFileStatus::TooShort;
}

void TestPresetFile::acceptance() {
    QFETCH(QByteArray, file);
    QFETCH(PresetFileStatus, status);
    const PresetFileContents c = parse(file);
    QCOMPARE(c.status, status);
    if (status == PresetFileStatus::Accepted) {
        // The records are bytes 10-347; anything after them is not looked at.
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(c.records.data()), 338),
                 file.mid(10, 338));
    } else {
        QVERIFY(std::all_of(c.records.begin(), c.records.end(), [](auto b) { return b == 0; }));
    }
}

QTEST_APPLESS_MAIN(TestPresetFile)
#include "tst_presetfile.moc"
