// The editor's preset messages byte for byte, and the order and content of the download.
#include "presetprotocol.h"

#include "bytes.h"

#include <QtTest>

#include <vector>

using namespace korvalen;

namespace {

using testsupport::Bytes;
using testsupport::hex;
using testsupport::toBytes;

std::vector<Bytes> download(const PresetValues& values, std::uint8_t presetNumber,
                            std::uint8_t* zoneBits = nullptr) {
    std::vector<Bytes> out;
    const std::uint8_t bits =
        sendDownload(values, presetNumber,
                     [&](const std::uint8_t* d, std::size_t n) { out.emplace_back(d, d + n); });
    if (zoneBits) *zoneBits = bits;
    return out;
}

bool isGlobal(const Bytes& m) {
    return m.size() == 10 && m[5] == 0x06;
}
bool isParameter(const Bytes& m) {
    return m.size() == 13 && m[5] >= 1 && m[5] <= 4;
}

} // namespace

Q_DECLARE_METATYPE(Bytes)

class TestPresetProtocol : public QObject {
    Q_OBJECT
private slots:
    void messageBytes_data();
    void messageBytes();
    void identityReply_data();
    void identityReply();
    void downloadLayoutWithDefaults();
    void downloadZoneBlock();
    void downloadZoneBits_data();
    void downloadZoneBits();
    void downloadSkipsOutOfRange_data();
    void downloadSkipsOutOfRange();
    void downloadAddressesAndValues();
    void downloadEndComesAfterBeforeEnd();
    void noStatusByteInsideAnyMessage_data();
    void noStatusByteInsideAnyMessage();
    void controllerIdentity_data();
    void controllerIdentity();
};

void TestPresetProtocol::messageBytes_data() {
    QTest::addColumn<Bytes>("message");
    QTest::addColumn<Bytes>("expected");
    // Parameter messages.
    QTest::newRow("param E3 bank 2 value 74")
        << toBytes(parameterMessage(1, 1, 10, 74)) << hex("F000206B0201010A004A0000F7");
    QTest::newRow("param P4 bank B value 127")
        << toBytes(parameterMessage(1, 2, 0x37, 127)) << hex("F000206B02010237007F0101F7");
    QTest::newRow("param value 171 uses the high bit")
        << toBytes(parameterMessage(1, 2, 0x37, 171)) << hex("F000206B02010237012B0000F7");
    QTest::newRow("param sum 127 exactly gives 1")
        << toBytes(parameterMessage(4, 2, 0x30, 0x49)) << hex("F000206B0204023000490101F7");
    QTest::newRow("param sum 126 gives 0")
        << toBytes(parameterMessage(4, 2, 0x30, 0x48)) << hex("F000206B0204023000480000F7");
    QTest::newRow("param slider channel 16")
        << toBytes(parameterMessage(2, 0, 10, 16)) << hex("F000206B0202000A00100000F7");
    // Global parameter messages: divisor 127 in both bytes.
    QTest::newRow("global 41 value 127")
        << toBytes(globalParameterMessage(41, 127)) << hex("F000206B0206290100F7");
    QTest::newRow("global 41 value 7")
        << toBytes(globalParameterMessage(41, 7)) << hex("F000206B0206290007F7");
    QTest::newRow("global 16 value 126")
        << toBytes(globalParameterMessage(16, 126)) << hex("F000206B020610007EF7");
    QTest::newRow("global 1 value 200")
        << toBytes(globalParameterMessage(1, 200)) << hex("F000206B0206010149F7");
    QTest::newRow("global 47 value 255")
        << toBytes(globalParameterMessage(47, 255)) << hex("F000206B02062F0201F7");
    // Upload request and download end.
    QTest::newRow("upload request preset 19")
        << toBytes(uploadRequestMessage(19)) << hex("F000206B02051300F7");
    QTest::newRow("upload request factory")
        << toBytes(uploadRequestMessage(0)) << hex("F000206B02050000F7");
    QTest::newRow("download end preset 16")
        << toBytes(downloadEndMessage(16)) << hex("F000206B02071000F7");
    QTest::newRow("identity probe") << toBytes(kIdentityProbe) << hex("F0000066141A00F7");
}

void TestPresetProtocol::messageBytes() {
    QFETCH(Bytes, message);
    QFETCH(Bytes, expected);
    QCOMPARE(message, expected);
}

void TestPresetProtocol::identityReply_data() {
    QTest::addColumn<Bytes>("chunk");
    QTest::addColumn<bool>("reply");
    QTest::newRow("ten bytes") << hex("F0000066141B00005A74") << true;
    QTest::newRow("with F7 after") << hex("F0000066141B01025A74F7") << true;
    QTest::newRow("bytes 6 and 7 anything") << hex("F0000066141B7F7F5A74F7") << true;
    QTest::newRow("nine bytes") << hex("F0000066141B00005A") << false;
    QTest::newRow("the probe itself") << toBytes(kIdentityProbe) << false;
    QTest::newRow("byte 5 differs") << hex("F0000066141A00005A74F7") << false;
    QTest::newRow("byte 3 differs") << hex("F0000067141B00005A74F7") << false;
    QTest::newRow("byte 8 differs") << hex("F0000066141B00005B74F7") << false;
    QTest::newRow("byte 9 differs") << hex("F0000066141B00005A75F7") << false;
    QTest::newRow("empty") << Bytes{} << false;
}

void TestPresetProtocol::identityReply() {
    QFETCH(Bytes, chunk);
    QFETCH(bool, reply);
    QCOMPARE(isIdentityReply(chunk.data(), chunk.size()), reply);
}

void TestPresetProtocol::downloadLayoutWithDefaults() {
    const PresetValues defaults;
    std::uint8_t bits = 0;
    const std::vector<Bytes> m = download(defaults, 0, &bits);
    QCOMPARE(m.size(), std::size_t(384));
    QCOMPARE(bits, std::uint8_t(1));

    // The slider's command 1 comes first, the download end message last.
    QCOMPARE(m.front(), hex("F000206B0201000A00000000F7"));
    QCOMPARE(m.back(), hex("F000206B02070000F7"));

    // The zone block (28 global messages starting with index 16) follows each of the six
    // passes: slider 3 messages, encoders 32 x 3, function buttons 16 x 4, an empty pass,
    // transport 5 x 4, pads 8 x 4.
    const std::size_t blockStarts[] = {3, 127, 219, 247, 295, 355};
    std::size_t globals = 0;
    for (const Bytes& msg : m)
        globals += isGlobal(msg);
    QCOMPARE(globals, std::size_t(6 * 28));
    for (std::size_t start : blockStarts) {
        QVERIFY2(isGlobal(m[start]) && m[start][6] == 16, qPrintable(QString::number(start)));
        if (start != 247) QVERIFY(!isGlobal(m[start - 1])); // 247 follows the empty pass
        for (std::size_t i = start; i < start + 28; ++i)
            QVERIFY(isGlobal(m[i]));
    }

    // What starts each pass, as (command, kind, number).
    auto head = [&](std::size_t i) { return Bytes(m[i].begin() + 5, m[i].begin() + 8); };
    QCOMPARE(head(31), (Bytes{1, 1, 0}));       // encoder bank 1 E1
    QCOMPARE(head(31 + 95), (Bytes{3, 1, 31})); // encoder bank 4 E8, port
    QCOMPARE(head(155), (Bytes{1, 2, 32}));     // F1 bank 1
    QCOMPARE(head(155 + 3), (Bytes{4, 2, 32}));
    QCOMPARE(head(218), (Bytes{4, 2, 47})); // F4 bank 4, behaviour
    const int transport[] = {29, 30, 31, 23, 22};
    for (int p = 0; p < 5; ++p)
        QCOMPARE(head(275 + std::size_t(4 * p)), (Bytes{1, 2, std::uint8_t(transport[p])}));
    QCOMPARE(head(323), (Bytes{1, 2, 48})); // pad A P1
    QCOMPARE(head(354), (Bytes{4, 2, 55})); // pad B P4

    std::size_t parameters = 0;
    for (const Bytes& msg : m)
        parameters += isParameter(msg);
    QCOMPARE(parameters, std::size_t(215));
}

void TestPresetProtocol::downloadZoneBlock() {
    PresetValues v;
    for (int z = 0; z < 3; ++z) {
        ZoneValues& zone = v.zones[std::size_t(z)];
        const std::uint8_t b = std::uint8_t(10 * (z + 1));
        zone = {1,
                std::uint8_t(b + 1),
                std::uint8_t(b + 2),
                std::uint8_t(b + 3),
                std::uint8_t(b + 4),
                std::uint8_t(b + 5),
                std::uint8_t(b + 6),
                std::uint8_t(b + 7),
                std::uint8_t(b + 8),
                std::uint8_t(b + 9)};
    }
    const std::vector<Bytes> m = download(v, 0);
    // Expected (index, value) pairs of one block: status bits, then per zone
    // prog, msb, lsb, port, chan, range start, range end, octave, transpose.
    std::vector<std::pair<int, int>> expected = {{16, 7}};
    for (int z = 0; z < 3; ++z) {
        const int b = 10 * (z + 1);
        expected.insert(expected.end(), {{1 + z, b + 1},
                                         {5 + z, b + 2},
                                         {9 + z, b + 3},
                                         {17 + z, b + 5},
                                         {21 + z, b + 4},
                                         {41 + z, b + 6},
                                         {45 + z, b + 7},
                                         {25 + z, b + 8},
                                         {29 + z, b + 9}});
    }
    for (std::size_t start : {std::size_t(3), std::size_t(355)}) {
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const Bytes& g = m[start + i];
            QVERIFY(isGlobal(g));
            QCOMPARE(int(g[6]), expected[i].first);
            QCOMPARE(int(g[7]) * 127 + int(g[8]), expected[i].second);
        }
    }
}

void TestPresetProtocol::downloadZoneBits_data() {
    QTest::addColumn<int>("status1");
    QTest::addColumn<int>("status2");
    QTest::addColumn<int>("status3");
    QTest::addColumn<int>("bits");
    QTest::newRow("all off, zone 1 still on") << 0 << 0 << 0 << 1;
    QTest::newRow("zone 1 on") << 1 << 0 << 0 << 1;
    QTest::newRow("zone 2 on") << 0 << 1 << 0 << 3;
    QTest::newRow("zone 3 on") << 0 << 0 << 1 << 5;
    QTest::newRow("all on") << 1 << 1 << 1 << 7;
}

void TestPresetProtocol::downloadZoneBits() {
    QFETCH(int, status1);
    QFETCH(int, status2);
    QFETCH(int, status3);
    QFETCH(int, bits);
    PresetValues v;
    v.zones[0].status = std::uint8_t(status1);
    v.zones[1].status = std::uint8_t(status2);
    v.zones[2].status = std::uint8_t(status3);
    std::uint8_t returned = 0;
    const std::vector<Bytes> m = download(v, 0, &returned);
    QCOMPARE(int(returned), bits);
    int blocks = 0;
    for (const Bytes& g : m)
        if (isGlobal(g) && g[6] == 16) {
            QCOMPARE(int(g[8]), bits);
            ++blocks;
        }
    QCOMPARE(blocks, 6);
}

void TestPresetProtocol::downloadSkipsOutOfRange_data() {
    // A field of one control set out of range, and the message that must then be missing as
    // (command, kind, number). Everything else goes out as with the defaults.
    QTest::addColumn<int>(
        "group"); // 0 slider, 1 encoder 5, 2 function 9, 3 transport PLAY, 4 pad 6
    QTest::addColumn<int>("field"); // 0 cc, 1 chan, 2 port, 3 mode
    QTest::addColumn<int>("value");
    QTest::addColumn<Bytes>("missing");
    QTest::newRow("slider number 172") << 0 << 0 << 172 << Bytes{1, 0, 10};
    QTest::newRow("slider number 255") << 0 << 0 << 255 << Bytes{1, 0, 10};
    QTest::newRow("encoder number 172") << 1 << 0 << 172 << Bytes{1, 1, 5};
    QTest::newRow("encoder channel 17") << 1 << 1 << 17 << Bytes{2, 1, 5};
    QTest::newRow("function port 6") << 2 << 2 << 6 << Bytes{3, 2, 41};
    QTest::newRow("transport behaviour 4") << 3 << 3 << 2 << Bytes{4, 2, 23};
    QTest::newRow("pad number 200") << 4 << 0 << 200 << Bytes{1, 2, 54};
}

void TestPresetProtocol::downloadSkipsOutOfRange() {
    QFETCH(int, group);
    QFETCH(int, field);
    QFETCH(int, value);
    QFETCH(Bytes, missing);
    PresetValues v;
    AssignmentValues* a = nullptr;
    switch (group) {
    case 0:
        a = &v.slider;
        break;
    case 1:
        a = &v.encoders[5];
        break;
    case 2:
        a = &v.functions[9];
        break;
    case 3:
        a = &v.transport[3];
        break;
    default:
        a = &v.pads[6];
        break;
    }
    std::uint8_t* f[] = {&a->cc, &a->chan, &a->port, &a->mode};
    *f[field] = std::uint8_t(value);

    const std::vector<Bytes> m = download(v, 0);
    QCOMPARE(m.size(), std::size_t(383));
    for (const Bytes& msg : m)
        if (isParameter(msg)) QVERIFY(Bytes(msg.begin() + 5, msg.begin() + 8) != missing);
}

void TestPresetProtocol::downloadAddressesAndValues() {
    PresetValues v;
    v.encoders[8 * 1 + 2].cc = 74;              // E3 of bank 2
    v.pads[4 + 3].cc = 127;                     // P4 of bank B
    v.functions[4 * 3 + 1] = {1, 60, 15, 4, 1}; // F2 of bank 4: note, momentary
    v.transport[4] = {0, 171, 16, 5, 0};        // REC
    const std::vector<Bytes> m = download(v, 0);
    auto has = [&](const Bytes& b) { return std::find(m.begin(), m.end(), b) != m.end(); };
    QVERIFY(has(hex("F000206B0201010A004A0000F7")));
    QVERIFY(has(hex("F000206B02010237007F0101F7")));
    QVERIFY(has(hex("F000206B0201022D003C0000F7"))); // number 60
    QVERIFY(has(hex("F000206B0202022D000F0000F7"))); // channel 15
    QVERIFY(has(hex("F000206B0203022D00040000F7"))); // port 4
    QVERIFY(has(hex("F000206B0204022D00030000F7"))); // behaviour 1 + 2 * 1
    QVERIFY(has(hex("F000206B02010216012B0000F7"))); // REC number 171
    QVERIFY(has(hex("F000206B0202021600100000F7"))); // REC channel 16
    QVERIFY(has(hex("F000206B0203021600050000F7"))); // REC port 5
}

void TestPresetProtocol::downloadEndComesAfterBeforeEnd() {
    std::vector<Bytes> m;
    std::size_t sentBeforeEnd = 0;
    sendDownload(
        PresetValues{}, 29, [&](const std::uint8_t* d, std::size_t n) { m.emplace_back(d, d + n); },
        [&] { sentBeforeEnd = m.size(); });
    QCOMPARE(sentBeforeEnd, std::size_t(383));
    QCOMPARE(m.back(), hex("F000206B02071D00F7"));
}

// Whatever the model holds (every byte at its largest, or at the bounds), nothing that a
// download sends has a byte of 0x80 or above between its F0 and its F7: the receiver would
// take it for the start of another message. The largest preset number that can go out is 127.
void TestPresetProtocol::noStatusByteInsideAnyMessage_data() {
    QTest::addColumn<int>("fill");
    QTest::addColumn<int>("presetNumber");
    QTest::newRow("all 255, preset 127") << 255 << 127;
    QTest::newRow("all at the bounds, preset 29") << -1 << 29;
}
void TestPresetProtocol::noStatusByteInsideAnyMessage() {
    QFETCH(int, fill);
    QFETCH(int, presetNumber);
    PresetValues values;
    auto byte = [fill](int bound) { return static_cast<std::uint8_t>(fill < 0 ? bound : fill); };
    auto setAll = [&](AssignmentValues& a) {
        a = {byte(1), byte(171), byte(16), byte(5), byte(1)};
    };
    setAll(values.slider);
    for (auto& a : values.encoders)
        setAll(a);
    for (auto& a : values.functions)
        setAll(a);
    for (auto& a : values.transport)
        setAll(a);
    for (auto& a : values.pads)
        setAll(a);
    for (auto& z : values.zones)
        z = {byte(1), byte(127), byte(127), byte(127), byte(16),
             byte(5), byte(127), byte(127), byte(8),   byte(24)};
    int messages = 0;
    int inside = 0;
    sendDownload(values, static_cast<std::uint8_t>(presetNumber),
                 [&](const std::uint8_t* data, std::size_t length) {
                     ++messages;
                     QCOMPARE(data[0], std::uint8_t(0xF0));
                     QCOMPARE(data[length - 1], std::uint8_t(0xF7));
                     for (std::size_t i = 1; i + 1 < length; ++i)
                         inside += data[i] >= 0x80;
                 });
    QVERIFY(messages > 100);
    QCOMPARE(inside, 0);
    QVERIFY(isSendablePresetNumber(presetNumber));
    QVERIFY(!isSendablePresetNumber(128));
}

// What an identity reply tells of the controller, and how it survives the one word the search
// hands on.
void TestPresetProtocol::controllerIdentity_data() {
    QTest::addColumn<Bytes>("reply");
    QTest::addColumn<bool>("known");
    QTest::addColumn<int>("id0");
    QTest::addColumn<int>("id1");
    QTest::addColumn<int>("firmware");
    QTest::newRow("plain") << hex("F0000066141B01025A74F7") << true << 1 << 2 << -1;
    QTest::newRow("zero identity") << hex("F0000066141B00005A74F7") << true << 0 << 0 << -1;
    QTest::newRow("highest identity") << hex("F0000066141B7F7F5A74F7") << true << 127 << 127 << -1;
    QTest::newRow("with firmware") << hex("F0000066141B00665A740102F7") << true << 0 << 0x66 << 130;
    QTest::newRow("highest firmware")
        << hex("F0000066141B00665A747F7FF7") << true << 0 << 0x66 << 16383;
    QTest::newRow("one byte more is no firmware")
        << hex("F0000066141B00665A7405F7") << true << 0 << 0x66 << -1;
    QTest::newRow("wrong tail") << hex("F0000066141B01025A75F7") << false << 0 << 0 << -1;
    QTest::newRow("another maker") << hex("F0000067141B01025A74F7") << false << 0 << 0 << -1;
    QTest::newRow("too short") << hex("F0000066141B0102F7") << false << 0 << 0 << -1;
}

void TestPresetProtocol::controllerIdentity() {
    QFETCH(Bytes, reply);
    QFETCH(bool, known);
    QFETCH(int, id0);
    QFETCH(int, id1);
    QFETCH(int, firmware);
    const ControllerIdentity identity = ControllerIdentity::ofReply(reply.data(), reply.size());
    QCOMPARE(identity.known, known);
    QCOMPARE(int(identity.id[0]), id0);
    QCOMPARE(int(identity.id[1]), id1);
    QCOMPARE(identity.firmware, firmware);
    // A known identity is never the word of "none"; the word gives back what was read.
    QCOMPARE(identity.pack() != 0, known);
    QCOMPARE(ControllerIdentity::unpack(identity.pack()), identity);
}

QTEST_APPLESS_MAIN(TestPresetProtocol)
#include "tst_presetprotocol.moc"
