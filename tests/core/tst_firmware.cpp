// The firmware image loader and the flashing messages, with the device-side decoder as the
// independent check of the block packing.
#include "firmware.h"

#include "bytes.h"

#include <QtTest>

#include <random>

using namespace korvalen;

namespace {

using testsupport::Bytes;
using testsupport::hex;
using testsupport::toBytes;

Bytes toBytes(const DataBlockMessage& m) {
    return Bytes(m.data(), m.data() + m.length);
}

const char kTrailer[] = "\x11\x22\x33\x44\x55"
                        "102"
                        "\x01\x02"
                        "QVolm";

// A ".bin" file: the body, then the 15-byte trailer.
Bytes imageFile(const Bytes& body, const char* trailer = kTrailer) {
    Bytes file = body;
    file.insert(file.end(), trailer, trailer + kFirmwareTrailerSize);
    return file;
}

FirmwareImage loaded(const Bytes& body) {
    const Bytes file = imageFile(body);
    const FirmwareLoadResult r = loadFirmwareImage(file.data(), file.size());
    if (r.status != FirmwareLoadStatus::Loaded) qFatal("image not loaded");
    return r.image;
}

Bytes randomBody(std::mt19937& random, std::size_t length) {
    Bytes body(length);
    for (std::uint8_t& b : body)
        b = std::uint8_t(random());
    return body;
}

} // namespace

Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(FirmwareLoadStatus)
Q_DECLARE_METATYPE(BlockStatus)
Q_DECLARE_METATYPE(BlockRequest)

class TestFirmware : public QObject {
    Q_OBJECT
private slots:
    void workedExample();
    void trailerFields();
    void loadRefusals_data();
    void loadRefusals();
    void blockCountLimit();
    void blockCount_data();
    void blockCount();
    void blockShapes_data();
    void blockShapes();
    void startMessage_data();
    void startMessage();
    void versionText_data();
    void versionText();
    void probeReply_data();
    void probeReply();
    void deviceVersion_data();
    void deviceVersion();
    void blockRequests_data();
    void blockRequests();
    void packRoundTrip();
    void damagedBlocks_data();
    void damagedBlocks();
};

void TestFirmware::workedExample() {
    const FirmwareImage image = loaded(hex("41C203"));
    QCOMPARE(image.blockCount, 1u);
    QCOMPARE(toBytes(firmwareStartMessage(image.blockCount)), hex("F0515418000001 29F7"));
    QCOMPARE(toBytes(firmwareDataBlock(image, 0)), hex("F064025154180000012041 4203F7"));
    QCOMPARE(toBytes(firmwareProbeMessage(image.deviceId)), hex("F0112233445500 00F7"));
    // No block beyond the last.
    QCOMPARE(firmwareDataBlock(image, 1).length, std::size_t(0));
}

void TestFirmware::trailerFields() {
    const Bytes body = hex("0102030405060708");
    const Bytes file = imageFile(body);
    const FirmwareLoadResult first = loadFirmwareImage(file.data(), file.size());
    QCOMPARE(first.status, FirmwareLoadStatus::Loaded);
    const FirmwareImage& image = first.image;
    QCOMPARE(image.body, body);
    QCOMPARE(image.bodyLength, 8u);
    QCOMPARE(image.deviceId, (std::array<std::uint8_t, 5>{0x11, 0x22, 0x33, 0x44, 0x55}));
    QCOMPARE(image.versionChars, (std::array<char, 3>{'1', '0', '2'}));
    QCOMPARE(image.unused, (std::array<std::uint8_t, 2>{1, 2}));
    QCOMPARE(image.magic, (std::array<char, 5>{'Q', 'V', 'o', 'l', 'm'}));
    QCOMPARE(firmwareVersionText(image.versionChars), std::string("V1.02"));

    // The same bytes read twice give the same image.
    const FirmwareLoadResult second = loadFirmwareImage(file.data(), file.size());
    QCOMPARE(second.status, FirmwareLoadStatus::Loaded);
    QVERIFY(second.image == first.image);
}

void TestFirmware::loadRefusals_data() {
    QTest::addColumn<Bytes>("file");
    QTest::addColumn<FirmwareLoadStatus>("status");
    QTest::addColumn<int>("blocks");
    QTest::newRow("15 bytes, empty body") << imageFile({}) << FirmwareLoadStatus::Loaded << 0;
    QTest::newRow("14 bytes") << Bytes(kTrailer + 1, kTrailer + 15) << FirmwareLoadStatus::OpenError
                              << 0;
    QTest::newRow("empty") << Bytes{} << FirmwareLoadStatus::OpenError << 0;
    QTest::newRow("magic last byte") << imageFile(hex("00"), "\x11\x22\x33\x44\x55"
                                                             "102\x01\x02QVolM")
                                     << FirmwareLoadStatus::OpenError << 0;
    QTest::newRow("magic first byte") << imageFile(hex("00"), "\x11\x22\x33\x44\x55"
                                                              "102\x01\x02RVolm")
                                      << FirmwareLoadStatus::OpenError << 0;
    QTest::newRow("magic lower case") << imageFile(hex("00"), "\x11\x22\x33\x44\x55"
                                                              "102\x01\x02qvolm")
                                      << FirmwareLoadStatus::OpenError << 0;
    QTest::newRow("magic upper case") << imageFile(hex("00"), "\x11\x22\x33\x44\x55"
                                                              "102\x01\x02QVOLM")
                                      << FirmwareLoadStatus::OpenError << 0;
    // The magic one byte too early: the trailer is always the last 15 bytes.
    Bytes shifted = imageFile(hex("0001"));
    shifted.push_back(0);
    QTest::newRow("magic not at the end") << shifted << FirmwareLoadStatus::OpenError << 0;
}

void TestFirmware::loadRefusals() {
    QFETCH(Bytes, file);
    QFETCH(FirmwareLoadStatus, status);
    QFETCH(int, blocks);
    const FirmwareLoadResult r = loadFirmwareImage(file.data(), file.size());
    QCOMPARE(r.status, status);
    if (status == FirmwareLoadStatus::Loaded) QCOMPARE(int(r.image.blockCount), blocks);
}

// The start message has 21 bits for the block count.
void TestFirmware::blockCountLimit() {
    const std::size_t largest = 28 * std::size_t(kMaxBlockCount);
    QCOMPARE(firmwareBlockCount(largest), std::uint64_t(kMaxBlockCount));
    QCOMPARE(firmwareBlockCount(largest + 1), std::uint64_t(1) << 21);

    Bytes file = imageFile(Bytes(largest + 1, 0x5A));
    QCOMPARE(loadFirmwareImage(file.data(), file.size()).status, FirmwareLoadStatus::TooManyBlocks);
    file.erase(file.begin()); // one body byte less
    const FirmwareLoadResult r = loadFirmwareImage(file.data(), file.size());
    QCOMPARE(r.status, FirmwareLoadStatus::Loaded);
    QCOMPARE(r.image.blockCount, kMaxBlockCount);
    QCOMPARE(toBytes(firmwareStartMessage(r.image.blockCount)), hex("F05154187F7F7F29F7"));
    const DataBlockMessage last = firmwareDataBlock(r.image, kMaxBlockCount - 1);
    QCOMPARE(last.length, std::size_t(42));
    QCOMPARE(Bytes(last.data() + 6, last.data() + 9), hex("000001"));
}

void TestFirmware::blockCount_data() {
    QTest::addColumn<int>("bodyLength");
    QTest::addColumn<int>("blocks");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("7") << 7 << 1;
    QTest::newRow("28") << 28 << 1;
    QTest::newRow("29") << 29 << 2;
    QTest::newRow("56") << 56 << 2;
    QTest::newRow("57") << 57 << 3;
    QTest::newRow("2801") << 2801 << 101;
}

void TestFirmware::blockCount() {
    QFETCH(int, bodyLength);
    QFETCH(int, blocks);
    QCOMPARE(int(loaded(Bytes(std::size_t(bodyLength), 0x80)).blockCount), blocks);
}

void TestFirmware::blockShapes_data() {
    QTest::addColumn<int>("bodyLength");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("messageLength");
    QTest::addColumn<Bytes>("blocksLeft"); // bytes 6-8
    QTest::newRow("full block of 28") << 28 << 0 << 42 << hex("000001");
    QTest::newRow("29: first block") << 29 << 0 << 42 << hex("000002");
    QTest::newRow("29: second block of one byte") << 29 << 1 << 12 << hex("000001");
    QTest::newRow("14: two full groups") << 14 << 0 << 26 << hex("000001");
    QTest::newRow("7: one full group") << 7 << 0 << 18 << hex("000001");
    QTest::newRow("8: one group and one byte") << 8 << 0 << 20 << hex("000001");
    QTest::newRow("200 blocks: first") << 200 * 28 << 0 << 42 << hex("000148");
    QTest::newRow("200 blocks: 73rd") << 200 * 28 << 72 << 42 << hex("000100");
}

void TestFirmware::blockShapes() {
    QFETCH(int, bodyLength);
    QFETCH(int, block);
    QFETCH(int, messageLength);
    QFETCH(Bytes, blocksLeft);
    std::mt19937 random{std::uint32_t(bodyLength)};
    const Bytes body = randomBody(random, std::size_t(bodyLength));
    const DataBlockMessage m = firmwareDataBlock(loaded(body), std::uint32_t(block));
    QCOMPARE(int(m.length), messageLength);
    QCOMPARE(m.bytes[0], std::uint8_t(0xF0));
    QCOMPARE(Bytes(m.data() + 3, m.data() + 6), hex("515418"));
    QCOMPARE(Bytes(m.data() + 6, m.data() + 9), blocksLeft);
    QCOMPARE(m.bytes[m.length - 1], std::uint8_t(0xF7));
}

void TestFirmware::startMessage_data() {
    QTest::addColumn<int>("blocks");
    QTest::addColumn<Bytes>("message");
    QTest::newRow("0 blocks") << 0 << hex("F051541800000029F7");
    QTest::newRow("1 block") << 1 << hex("F051541800000129F7");
    QTest::newRow("127 blocks") << 127 << hex("F05154180000 7F29F7");
    QTest::newRow("128 blocks") << 128 << hex("F051541800010029F7");
    QTest::newRow("16384 blocks") << 16384 << hex("F051541801000029F7");
}

void TestFirmware::startMessage() {
    QFETCH(int, blocks);
    QFETCH(Bytes, message);
    QCOMPARE(toBytes(firmwareStartMessage(std::uint32_t(blocks))), message);
    QCOMPARE(parseStartMessage(message.data(), message.size()), std::uint32_t(blocks));
}

void TestFirmware::versionText_data() {
    QTest::addColumn<QByteArray>("chars");
    QTest::addColumn<QString>("text");
    QTest::newRow("1 0 2") << QByteArray("102") << "V1.02";
    QTest::newRow("9 9 9") << QByteArray("999") << "V9.99";
    QTest::newRow("not digits") << QByteArray("a-Z") << "Va.-Z";
    QTest::newRow("zero char ends the text") << QByteArray("1\0"
                                                           "2",
                                                           3)
                                             << "V1.";
}

void TestFirmware::versionText() {
    QFETCH(QByteArray, chars);
    QFETCH(QString, text);
    const std::array<char, 3> c = {chars[0], chars[1], chars[2]};
    QCOMPARE(QString::fromStdString(firmwareVersionText(c)), text);
}

void TestFirmware::probeReply_data() {
    QTest::addColumn<Bytes>("reply");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("mode");
    QTest::newRow("upgrade mode 1.02") << hex("F0112233445500 6602F7") << true << 102 << 2;
    QTest::newRow("normal mode 2.57") << hex("F0112233445502 0101F7") << true << 257 << 1;
    QTest::newRow("other mode") << hex("F0112233445500 6400F7") << true << 100 << 0;
    QTest::newRow("11 bytes") << hex("F0112233445500 6602F7F7") << false << 0 << 0;
    QTest::newRow("9 bytes") << hex("F0112233445500 66F7") << false << 0 << 0;
    QTest::newRow("identity byte 3 differs") << hex("F0112234445500 6602F7") << false << 0 << 0;
    QTest::newRow("identity byte 5 differs") << hex("F0112233445600 6602F7") << false << 0 << 0;
    QTest::newRow("no F7 at byte 9") << hex("F0112233445500 660200") << false << 0 << 0;
    QTest::newRow("no F0 at byte 0") << hex("F1112233445500 6602F7") << false << 0 << 0;
}

void TestFirmware::probeReply() {
    QFETCH(Bytes, reply);
    QFETCH(bool, valid);
    QFETCH(int, version);
    QFETCH(int, mode);
    const std::array<std::uint8_t, 5> id = {0x11, 0x22, 0x33, 0x44, 0x55};
    const std::optional<ProbeReply> r = parseProbeReply(reply.data(), reply.size(), id);
    QCOMPARE(r.has_value(), valid);
    if (!valid) return;
    QCOMPARE(int(r->version), version);
    QCOMPARE(int(r->mode), mode);
    // The emulator's reply builder makes the same bytes.
    QCOMPARE(toBytes(firmwareProbeReply(id, r->version, r->mode)), reply);
}

void TestFirmware::deviceVersion_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("text");
    QTest::newRow("257") << 257 << "2.57";
    QTest::newRow("102") << 102 << "1.02";
    QTest::newRow("100") << 100 << "1.00";
    QTest::newRow("5") << 5 << "0.05";
    QTest::newRow("largest") << 16383 << "163.83";
}

void TestFirmware::deviceVersion() {
    QFETCH(int, version);
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(deviceVersionText(std::uint32_t(version))), text);
}

// Short messages as the platform packs them (status byte lowest): only the two requests,
// matched on all three bytes, are requests.
void TestFirmware::blockRequests_data() {
    QTest::addColumn<uint>("packed");
    QTest::addColumn<BlockRequest>("request");
    QTest::newRow("90 51 54: next") << 0x545190u << BlockRequest::Next;
    QTest::newRow("90 61 00: repeat") << 0x006190u << BlockRequest::Repeat;
    QTest::newRow("another channel") << 0x545191u << BlockRequest::None;
    QTest::newRow("another velocity") << 0x555190u << BlockRequest::None;
    QTest::newRow("repeat key, velocity 1") << 0x016190u << BlockRequest::None;
    QTest::newRow("note off") << 0x545180u << BlockRequest::None;
    QTest::newRow("bytes in reading order") << 0x905154u << BlockRequest::None;
    QTest::newRow("nothing") << 0u << BlockRequest::None;
}

void TestFirmware::blockRequests() {
    QFETCH(uint, packed);
    QFETCH(BlockRequest, request);
    QCOMPARE(blockRequestOf(packed), request);
}

// Random bodies of many lengths: every block decodes back to its slice of the body, carries
// the right count of blocks left, keeps every data byte below 0x80, and passes its checksum.
void TestFirmware::packRoundTrip() {
    std::mt19937 random(2025);
    std::vector<std::size_t> lengths;
    for (std::size_t n = 1; n <= 120; ++n)
        lengths.push_back(n);
    for (int i = 0; i < 20; ++i)
        lengths.push_back(100 + random() % 5000);
    for (std::size_t length : lengths) {
        const Bytes body = randomBody(random, length);
        const FirmwareImage image = loaded(body);
        Bytes joined;
        for (std::uint32_t k = 0; k < image.blockCount; ++k) {
            const DataBlockMessage m = firmwareDataBlock(image, k);
            const std::size_t t = std::min<std::size_t>(28, length - 28 * k);
            QCOMPARE(m.length, 10 + t + (t + 6) / 7);
            QVERIFY(std::all_of(m.data() + 1, m.data() + m.length - 1,
                                [](std::uint8_t b) { return b < 0x80; }));
            const DecodedBlock d = decodeBlock(m.data(), m.length);
            QCOMPARE(d.status, BlockStatus::Ok);
            QCOMPARE(d.remaining, image.blockCount - k);
            QCOMPARE(d.rawLength, t);
            joined.insert(joined.end(), d.raw.begin(), d.raw.begin() + std::ptrdiff_t(t));
        }
        QVERIFY2(joined == body, qPrintable(QString("body of %1 bytes").arg(length)));
    }
}

void TestFirmware::damagedBlocks_data() {
    QTest::addColumn<Bytes>("block");
    QTest::addColumn<BlockStatus>("status");
    const Bytes good = hex("F064025154180000012041 4203F7");
    auto changed = [&](std::size_t at, std::uint8_t value) {
        Bytes b = good;
        b[at] = value;
        return b;
    };
    QTest::newRow("good") << good << BlockStatus::Ok;
    QTest::newRow("payload byte changed") << changed(10, 0x40) << BlockStatus::BadChecksum;
    QTest::newRow("blocks left changed") << changed(8, 0x02) << BlockStatus::BadChecksum;
    QTest::newRow("checksum low changed") << changed(1, 0x65) << BlockStatus::BadChecksum;
    QTest::newRow("checksum high changed") << changed(2, 0x03) << BlockStatus::BadChecksum;
    QTest::newRow("no F7") << changed(13, 0x03) << BlockStatus::Malformed;
    QTest::newRow("no F0") << changed(0, 0xF1) << BlockStatus::Malformed;
    QTest::newRow("header changed") << changed(4, 0x55) << BlockStatus::Malformed;
    QTest::newRow("byte with top bit") << changed(11, 0xC2) << BlockStatus::Malformed;
    QTest::newRow("too short") << hex("F0000051541800000 1F7") << BlockStatus::Malformed;
    // Checksums made to fit, the packing itself wrong: a top bit for a byte that is not there,
    // and a high-bit byte with no bytes after it.
    QTest::newRow("top bit of missing byte")
        << hex("F065025154180000012141 4203F7") << BlockStatus::Malformed;
    QTest::newRow("empty group") << hex("F0 5A 01 51 54 18 00 00 01 00 01 02 03 04 05 06 07 00 F7")
                                 << BlockStatus::Malformed;
    Bytes tooLong(43, 0);
    tooLong.front() = 0xF0;
    tooLong.back() = 0xF7;
    QTest::newRow("longer than 42") << tooLong << BlockStatus::Malformed;
}

void TestFirmware::damagedBlocks() {
    QFETCH(Bytes, block);
    QFETCH(BlockStatus, status);
    QCOMPARE(decodeBlock(block.data(), block.size()).status, status);
}

QTEST_APPLESS_MAIN(TestFirmware)
#include "tst_firmware.moc"
