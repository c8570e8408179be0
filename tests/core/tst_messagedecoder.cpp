// Every kind of message in words: the messages are built by the same functions that send them,
// so a change to a layout that the decoder does not follow fails here; plus malformed and
// ambiguous bytes, and the summary of a flash.
#include "messagedecoder.h"

#include "bytes.h"
#include "firmware.h"
#include "presetprotocol.h"

#include <QtTest>

using namespace korvalen;
using testsupport::Bytes;
using testsupport::hex;
using testsupport::toBytes;

Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(MessageKind)
Q_DECLARE_METATYPE(MessageDirection)

namespace {

constexpr auto In = MessageDirection::In;
constexpr auto Out = MessageDirection::Out;

FirmwareImage imageOf(std::size_t bodyLength) {
    FirmwareImage image;
    image.body.resize(bodyLength);
    for (std::size_t i = 0; i < bodyLength; ++i)
        image.body[i] = std::uint8_t(i * 37);
    image.bodyLength = std::uint32_t(bodyLength);
    image.blockCount = std::uint32_t(firmwareBlockCount(bodyLength));
    image.deviceId = {0x00, 0x20, 0x6B, 0x02, 0x19};
    return image;
}

Bytes block(const FirmwareImage& image, std::uint32_t k) {
    const DataBlockMessage m = firmwareDataBlock(image, k);
    return Bytes(m.data(), m.data() + m.length);
}

Bytes globalsRecord(int start, Bytes values) {
    std::array<std::uint8_t, 5 * 127 + 5> out{};
    const std::size_t n = dumpGlobalsRecord(start, values.data(), int(values.size()), out);
    return Bytes(out.begin(), out.begin() + n);
}

} // namespace

class TestMessageDecoder : public QObject {
    Q_OBJECT
private slots:
    void decodes_data();
    void decodes();
    void everyKindHasAGroup();
    void hexText();
    void flashIsSummarised();
    void flashJoinedLate();
    void survivesEveryLength();
};

void TestMessageDecoder::decodes_data() {
    QTest::addColumn<MessageDirection>("direction");
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<MessageKind>("kind");
    QTest::addColumn<QString>("text");

    const auto K = [](MessageKind k) { return k; };
    // --- The search
    QTest::newRow("identity probe")
        << Out << toBytes(kIdentityProbe) << K(MessageKind::IdentityProbe) << "identity probe";
    QTest::newRow("identity reply")
        << In << hex("F0000066141B00665A74F7") << K(MessageKind::IdentityReply)
        << "identity reply, firmware 1.02";
    QTest::newRow("identity reply with more after 5A 74")
        << In << hex("F0000066141B01005A740102F7") << K(MessageKind::IdentityReply)
        << "identity reply, firmware 1.28";

    // --- Parameter messages, built by the download's own builder
    QTest::newRow("E3 bank 2 CC 74")
        << Out << toBytes(parameterMessage(command::kNumber, control::kEncoderKind, 10, 74))
        << K(MessageKind::Parameter) << "E3, BANK 2: CC 74 Brightness";
    QTest::newRow("P4 bank B function 128")
        << Out << toBytes(parameterMessage(command::kNumber, control::kButtonKind, 55, 128))
        << K(MessageKind::Parameter) << "P4, bank B: 128 Pitch Bend Sensitive";
    QTest::newRow("S1 channel") << Out
                                << toBytes(parameterMessage(command::kChannel, control::kSliderKind,
                                                            10, 15))
                                << K(MessageKind::Parameter) << "S1: channel 16";
    QTest::newRow("F1 bank 4 channel off")
        << Out << toBytes(parameterMessage(command::kChannel, control::kButtonKind, 44, 16))
        << K(MessageKind::Parameter) << "F1, BANK 4: channel --";
    QTest::newRow("REW port 2") << Out
                                << toBytes(parameterMessage(command::kPort, control::kButtonKind,
                                                            29, 1))
                                << K(MessageKind::Parameter) << "REW: port 2";
    QTest::newRow("REC behaviour")
        << Out << toBytes(parameterMessage(command::kBehaviour, control::kButtonKind, 22, 3))
        << K(MessageKind::Parameter) << "REC: note, momentary";
    QTest::newRow("no such control")
        << Out << toBytes(parameterMessage(command::kNumber, control::kButtonKind, 24, 1))
        << K(MessageKind::Parameter) << "control 24 of kind 2 (no such control): CC 1 Modulation";
    QTest::newRow("assignment out of range")
        << Out << toBytes(parameterMessage(command::kNumber, control::kEncoderKind, 0, 200))
        << K(MessageKind::Parameter) << "E1, BANK 1: number 200 (out of range)";
    QTest::newRow("check bytes wrong")
        << Out << hex("F000206B0201010A004A0101F7") << K(MessageKind::Parameter)
        << "E3, BANK 2: CC 74 Brightness (check bytes wrong)";

    // --- Global parameters
    QTest::newRow("zone 1 program 5")
        << Out << toBytes(globalParameterMessage(global::kZoneProg, 5))
        << K(MessageKind::GlobalParameter) << "zone 1 program 5";
    QTest::newRow("zone 3 highest key 127")
        << Out << toBytes(globalParameterMessage(global::kZoneRangEnd + 2, 127))
        << K(MessageKind::GlobalParameter) << "zone 3 highest key 127 (G 9)";
    QTest::newRow("zone 2 octave")
        << Out << toBytes(globalParameterMessage(global::kZoneOct + 1, 3))
        << K(MessageKind::GlobalParameter) << "zone 2 octave -1";
    QTest::newRow("zone 1 transpose")
        << Out << toBytes(globalParameterMessage(global::kZoneTrans, 14))
        << K(MessageKind::GlobalParameter) << "zone 1 transpose +2";
    QTest::newRow("zone 2 channel")
        << Out << toBytes(globalParameterMessage(global::kZoneChan + 1, 9))
        << K(MessageKind::GlobalParameter) << "zone 2 channel 10";
    QTest::newRow("zone bits") << Out << toBytes(globalParameterMessage(global::kZoneBits, 5))
                               << K(MessageKind::GlobalParameter) << "zones on: 1, 3";
    QTest::newRow("current preset")
        << Out << toBytes(globalParameterMessage(global::kPresetNumber, 16))
        << K(MessageKind::GlobalParameter) << "current preset 16 (User P17)";
    QTest::newRow("global without meaning") << Out << toBytes(globalParameterMessage(40, 7))
                                            << K(MessageKind::GlobalParameter) << "global 40 = 7";

    // --- Upload request, download end
    QTest::newRow("upload request")
        << Out << toBytes(uploadRequestMessage(16)) << K(MessageKind::UploadRequest)
        << "upload request: preset 16 (User P17)";
    QTest::newRow("upload request factory")
        << Out << toBytes(uploadRequestMessage(0)) << K(MessageKind::UploadRequest)
        << "upload request: preset 0 (Korvalen)";
    QTest::newRow("download end") << Out << toBytes(downloadEndMessage(29))
                                  << K(MessageKind::DownloadEnd)
                                  << "download end: store as preset 29 (User P30)";
    QTest::newRow("download end no such preset")
        << Out << toBytes(downloadEndMessage(5)) << K(MessageKind::DownloadEnd)
        << "download end: store as preset 5 (no such preset)";

    // --- Dump records, built as the controller sends them
    QTest::newRow("dump encoder") << In << toBytes(dumpAssignmentRecord(1, 10, 74, 0, 0, 0))
                                  << K(MessageKind::DumpRecord)
                                  << "dump: E3, BANK 2: CC 74 Brightness, channel 1, port 1";
    QTest::newRow("dump slider") << In << toBytes(dumpAssignmentRecord(0, 10, 7, 16, 5, 0))
                                 << K(MessageKind::DumpRecord)
                                 << "dump: S1: CC 7 ChanVolume, channel --, port --";
    QTest::newRow("dump pad") << In << toBytes(dumpAssignmentRecord(2, 48, 36, 9, 0, 3))
                              << K(MessageKind::DumpRecord)
                              << "dump: P1, bank A: note 36 (C 2), channel 10, port 1, note, "
                                 "momentary";
    QTest::newRow("dump encoder channel 17")
        << In << toBytes(dumpAssignmentRecord(1, 0, 1, 17, 0, 0)) << K(MessageKind::DumpRecord)
        << "dump: E1, BANK 1: CC 1 Modulation, channel value 17 (out of range), port 1";
    QTest::newRow("dump button 24")
        << In << toBytes(dumpAssignmentRecord(2, 24, 1, 0, 0, 0)) << K(MessageKind::DumpRecord)
        << "dump: control 24 of kind 2 (no such control): CC 1 "
           "Modulation, channel 1, port 1, controller, toggle";
    QTest::newRow("dump globals") << In << globalsRecord(0, Bytes(48, 0))
                                  << K(MessageKind::DumpRecord)
                                  << "dump: preset-wide values 0-47 (48 values), preset 0 "
                                     "(Korvalen)";
    QTest::newRow("dump globals escaped")
        << In << globalsRecord(16, Bytes{0x34, 200}) << K(MessageKind::DumpRecord)
        << "dump: preset-wide values 16-17 (2 values)";
    QTest::newRow("dump end") << In << toBytes(kDumpEndRecord) << K(MessageKind::DumpRecord)
                              << "dump end";
    QTest::newRow("dump kind 3") << In << hex("F003F7") << K(MessageKind::DumpRecord)
                                 << "dump: record of kind 3, which carries nothing";

    // --- The firmware upgrade
    const FirmwareImage image = imageOf(100); // 4 blocks
    QTest::newRow("upgrade probe")
        << Out << toBytes(firmwareProbeMessage(image.deviceId)) << K(MessageKind::UpgradeProbe)
        << "upgrade probe for device 00 20 6B 02 19";
    QTest::newRow("upgrade probe reply")
        << In << toBytes(firmwareProbeReply(image.deviceId, 102, 2))
        << K(MessageKind::UpgradeProbeReply)
        << "upgrade probe reply from device 00 20 6B 02 19, firmware 1.02, upgrade mode";
    QTest::newRow("probe reply normal mode")
        << In << toBytes(firmwareProbeReply(image.deviceId, 215, 1))
        << K(MessageKind::UpgradeProbeReply)
        << "upgrade probe reply from device 00 20 6B 02 19, firmware 2.15, normal mode";
    QTest::newRow("firmware start")
        << Out << toBytes(firmwareStartMessage(75000)) << K(MessageKind::FirmwareStart)
        << "firmware start: 75000 blocks";
    QTest::newRow("first block") << Out << block(image, 0) << K(MessageKind::FirmwareBlock)
                                 << "firmware block, 4 left";
    QTest::newRow("worked example block")
        << Out << hex("F0640251541800000120414203F7") << K(MessageKind::FirmwareBlock)
        << "firmware block, 1 left";
    QTest::newRow("block bad checksum")
        << Out << hex("F0650251541800000120414203F7") << K(MessageKind::FirmwareBlock)
        << "firmware block, 1 left (bad checksum)";
    QTest::newRow("next request") << In << toBytes(kNextBlockRequest)
                                  << K(MessageKind::BlockRequest) << "next block request";
    QTest::newRow("repeat request") << In << toBytes(kRepeatBlockRequest)
                                    << K(MessageKind::BlockRequest) << "repeat block request";

    // --- Direction decides between two readings of the same bytes: a dump record of an
    // encoder on channel 1, port 1 has the shape of an upgrade probe.
    QTest::newRow("ambiguous in") << In << hex("F00100004A000000F7") << K(MessageKind::DumpRecord)
                                  << "dump: E1, BANK 1: CC 74 Brightness, channel 1, port 1";
    QTest::newRow("ambiguous out")
        << Out << hex("F00100004A000000F7") << K(MessageKind::UpgradeProbe)
        << "upgrade probe for device 01 00 00 4A 00";

    // --- Plain MIDI
    QTest::newRow("note on") << In << hex("903C64") << K(MessageKind::ChannelMessage)
                             << "note on, channel 1, key 60 (C 4), velocity 100";
    QTest::newRow("note on velocity 0") << In << hex("9F3C00") << K(MessageKind::ChannelMessage)
                                        << "note on, channel 16, key 60 (C 4), velocity 0 (off)";
    QTest::newRow("note off") << In << hex("81453F") << K(MessageKind::ChannelMessage)
                              << "note off, channel 2, key 69 (A 4), velocity 63";
    QTest::newRow("key pressure") << In << hex("A03C10") << K(MessageKind::ChannelMessage)
                                  << "key pressure, channel 1, key 60 (C 4), pressure 16";
    QTest::newRow("controller") << In << hex("B04A40") << K(MessageKind::ChannelMessage)
                                << "controller 74 Brightness, channel 1, value 64";
    QTest::newRow("program change") << In << hex("C205") << K(MessageKind::ChannelMessage)
                                    << "program change, channel 3, program 5 Elec.Piano2";
    QTest::newRow("channel pressure") << In << hex("D07F") << K(MessageKind::ChannelMessage)
                                      << "channel pressure, channel 1, pressure 127";
    QTest::newRow("pitch bend centre")
        << In << hex("E00040") << K(MessageKind::ChannelMessage) << "pitch bend, channel 1, 0";
    QTest::newRow("pitch bend lowest")
        << In << hex("E00000") << K(MessageKind::ChannelMessage) << "pitch bend, channel 1, -8192";
    QTest::newRow("clock") << In << hex("F8") << K(MessageKind::SystemMessage) << "clock";
    QTest::newRow("song position")
        << In << hex("F20201") << K(MessageKind::SystemMessage) << "song position 130";
    QTest::newRow("unknown sysex")
        << In << hex("F07E7F0601F7") << K(MessageKind::UnknownSysEx) << "unknown SysEx, 6 bytes";
    QTest::newRow("editor header, unknown command")
        << Out << hex("F000206B020900000000F7") << K(MessageKind::UnknownSysEx)
        << "unknown SysEx, 11 bytes";
    QTest::newRow("parameter one byte short")
        << Out << hex("F000206B0201010A004A0000") << K(MessageKind::Malformed)
        << "SysEx without its end, 12 bytes";

    // --- Malformed
    QTest::newRow("empty") << In << Bytes{} << K(MessageKind::Malformed) << "empty message";
    QTest::newRow("data only") << In << hex("3C64") << K(MessageKind::Malformed)
                               << "data without a status byte, 2 bytes";
    QTest::newRow("note on cut short") << In << hex("903C") << K(MessageKind::Malformed)
                                       << "channel message of 2 bytes, 3 expected";
    QTest::newRow("controller with status inside")
        << In << hex("B04A90") << K(MessageKind::Malformed)
        << "channel message of 3 bytes, 3 expected";
    QTest::newRow("clock too long")
        << In << hex("F800") << K(MessageKind::Malformed) << "clock of 2 bytes, 1 expected";
    QTest::newRow("F7 alone") << In << hex("F7") << K(MessageKind::Malformed)
                              << "SysEx end without its start";
    QTest::newRow("undefined status")
        << In << hex("F4") << K(MessageKind::Malformed) << "undefined status byte F4";
    QTest::newRow("sysex with status inside")
        << In << hex("F0009000F7") << K(MessageKind::Malformed)
        << "SysEx with a status byte inside, 5 bytes";
    QTest::newRow("F0 F7") << In << hex("F0F7") << K(MessageKind::UnknownSysEx)
                           << "unknown SysEx, 2 bytes";
}

void TestMessageDecoder::decodes() {
    QFETCH(MessageDirection, direction);
    QFETCH(Bytes, bytes);
    QFETCH(MessageKind, kind);
    QFETCH(QString, text);
    const DecodedMessage m = decodeMessage(direction, bytes.data(), bytes.size());
    QCOMPARE(QString::fromStdString(m.text), text);
    QCOMPARE(m.kind, kind);
    // Decoded for its kind alone, every message is the same kind, with the same numbers.
    const DecodedMessage bare =
        decodeMessage(direction, bytes.data(), bytes.size(), korvalen::Decode::KindOnly);
    QCOMPARE(bare.kind, kind);
    QCOMPARE(bare.blockCount, m.blockCount);
    QCOMPARE(bare.remaining, m.remaining);
    QCOMPARE(bare.request, m.request);
    if (korvalen::FlashSummary::concerns(kind)) QCOMPARE(bare.text, m.text);
}

void TestMessageDecoder::everyKindHasAGroup() {
    // The filter's groups, each named, each kind in the one the monitor offers it under.
    QCOMPARE(groupOf(MessageKind::IdentityReply), MessageGroup::Search);
    QCOMPARE(groupOf(MessageKind::DownloadEnd), MessageGroup::Preset);
    QCOMPARE(groupOf(MessageKind::DumpRecord), MessageGroup::Dump);
    QCOMPARE(groupOf(MessageKind::BlockRequest), MessageGroup::Firmware);
    QCOMPARE(groupOf(MessageKind::SystemMessage), MessageGroup::Midi);
    QCOMPARE(groupOf(MessageKind::Malformed), MessageGroup::Unknown);
    QSet<QString> names;
    for (int g = 0; g < kMessageGroupCount; ++g)
        names.insert(QString::fromLatin1(groupName(MessageGroup(g))));
    QCOMPARE(names.size(), kMessageGroupCount);
}

void TestMessageDecoder::hexText() {
    const Bytes b = hex("F000206B02F7");
    QCOMPARE(QString::fromStdString(hexBytes(b.data(), b.size())),
             QStringLiteral("F0 00 20 6B 02 F7"));
    QCOMPARE(QString::fromStdString(hexBytes(b.data(), b.size(), 2)),
             QStringLiteral("F0 00 ... (6 bytes)"));
    QCOMPARE(QString::fromStdString(hexBytes(b.data(), 0)), QString());
}

namespace {

// The lines a summary shows for a whole flash of `image`: start, each block followed by the
// controller's next request, the request after the last block.
QStringList flashLines(const FirmwareImage& image, FlashSummary& summary,
                       std::uint32_t firstBlock = 0, bool withStart = true) {
    QStringList shown;
    auto feed = [&](MessageDirection d, const Bytes& bytes) {
        std::string text;
        if (summary.show(decodeMessage(d, bytes.data(), bytes.size()), text))
            shown << QString::fromStdString(text);
    };
    if (withStart) feed(Out, toBytes(firmwareStartMessage(image.blockCount)));
    for (std::uint32_t k = firstBlock; k < image.blockCount; ++k) {
        feed(In, toBytes(kNextBlockRequest));
        feed(Out, block(image, k));
        if (k == 1500) feed(In, toBytes(kRepeatBlockRequest)); // shown as it comes
    }
    feed(In, toBytes(kNextBlockRequest));
    return shown;
}

} // namespace

void TestMessageDecoder::flashIsSummarised() {
    const FirmwareImage image = imageOf(2500 * 28); // 2500 blocks
    FlashSummary summary;
    const QStringList shown = flashLines(image, summary);
    const QStringList expected = {
        "firmware start: 2500 blocks",
        "firmware block 1 of 2500 (1 request before it not shown)",
        "firmware block 1000 of 2500 (998 blocks and 999 requests before it not shown)",
        "repeat block request",
        "firmware block 2000 of 2500 (999 blocks and 1000 requests before it not shown)",
        "firmware block 2500 of 2500 (499 blocks and 500 requests before it not shown)",
        "next block request",
    };
    QCOMPARE(shown, expected);
    QVERIFY(!summary.flashing());
}

void TestMessageDecoder::flashJoinedLate() {
    // A monitor opened in the middle of a flash has no start message: blocks are counted by
    // what is left of the image.
    const FirmwareImage image = imageOf(2500 * 28);
    FlashSummary summary;
    const QStringList shown = flashLines(image, summary, 1200, false);
    QCOMPARE(shown.first(), QStringLiteral("next block request"));
    QCOMPARE(shown.at(1),
             QStringLiteral("firmware block, 1000 left (300 blocks and 300 requests before it "
                            "not shown)"));
    QVERIFY(shown.contains(QStringLiteral("repeat block request")));
    QVERIFY(shown.at(shown.size() - 2).startsWith(QStringLiteral("firmware block, 1 left")));
    QCOMPARE(shown.size(), 5);
}

void TestMessageDecoder::survivesEveryLength() {
    // Every prefix of every kind of message, both ways: no reading past the end, a text always.
    std::vector<Bytes> messages = {
        toBytes(parameterMessage(1, 1, 10, 74)),
        toBytes(globalParameterMessage(41, 127)),
        toBytes(uploadRequestMessage(16)),
        toBytes(kIdentityProbe),
        hex("F0000066141B00665A74F7"),
        globalsRecord(0, Bytes(48, 0x34)),
        block(imageOf(28), 0),
        toBytes(firmwareStartMessage(3)),
    };
    for (const Bytes& m : messages)
        for (std::size_t n = 0; n <= m.size(); ++n)
            for (MessageDirection d : {In, Out}) {
                const Bytes cut(m.begin(), m.begin() + n); // exactly n bytes on the heap
                const DecodedMessage decoded = decodeMessage(d, cut.data(), cut.size());
                QVERIFY(!decoded.text.empty());
                if (n > 0 && n < m.size() && m[0] == 0xF0)
                    QCOMPARE(decoded.kind, MessageKind::Malformed); // no F7 at its end
            }
}

QTEST_APPLESS_MAIN(TestMessageDecoder)
#include "tst_messagedecoder.moc"
