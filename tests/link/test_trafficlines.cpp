// The traffic log in lines: each message decoded with its direction, port and bytes; what was
// overwritten before it was read told in a note; a message longer than the log keeps of it;
// lines taken for their kind alone and filled in when shown are the lines taken whole.
#include "trafficlines.h"

#include "firmware.h"
#include "presetprotocol.h"

#include <QtTest>

using korvalen::MessageKind;
using korvalen::TrafficLine;
using korvalen::TrafficReader;
using korvalen::midi::TrafficLog;

class TestTrafficLines : public QObject {
    Q_OBJECT
private slots:
    void decodedLines();
    void lostMessagesAreTold();
    void longMessage();
    void readersAreIndependent();
    void linesFilledInWhenShownAreTheSame();
};

void TestTrafficLines::decodedLines() {
    TrafficLog log(16);
    TrafficReader reader(log);
    const std::uint8_t probe[] = {0xF0, 0x00, 0x00, 0x66, 0x14, 0x1A, 0x00, 0xF7};
    const std::uint8_t cc[] = {0xB0, 0x4A, 0x40};
    log.record(true, "Korvalen25 MIDI 1", probe, sizeof probe);
    log.record(false, "Korvalen25 MIDI 1", cc, sizeof cc);
    const std::vector<TrafficLine> lines = reader.take();
    QCOMPARE(lines.size(), std::size_t(2));
    QVERIFY(lines[0].outgoing && !lines[1].outgoing);
    QCOMPARE(lines[0].kind, MessageKind::IdentityProbe);
    QCOMPARE(lines[1].decoded, QStringLiteral("controller 74 Brightness, channel 1, value 64"));
    const QString text = korvalen::formatTrafficLine(lines[1]);
    QVERIFY2(text.contains(QRegularExpression(
                 "^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d  in   Korvalen25 MIDI 1  controller 74 "
                 "Brightness, channel 1, value 64  \\[B0 4A 40\\]$")),
             qPrintable(text));
    QVERIFY(reader.take().empty()); // nothing twice
}

void TestTrafficLines::lostMessagesAreTold() {
    TrafficLog log(4);
    TrafficReader reader(log);
    for (std::uint8_t i = 0; i < 7; ++i) {
        const std::uint8_t on[] = {0x90, i, 0x40};
        log.record(false, "in", on, sizeof on);
    }
    const std::vector<TrafficLine> lines = reader.take();
    QCOMPARE(lines.size(), std::size_t(5));
    QVERIFY(lines[0].note);
    QCOMPARE(lines[0].decoded, QStringLiteral("3 messages came faster than they could be shown "
                                              "and are not listed"));
    QVERIFY(lines[1].decoded.contains(QLatin1String("key 3 ")));
    QCOMPARE(reader.messagesRead(), std::uint64_t(4));
}

void TestTrafficLines::longMessage() {
    TrafficLog log(2);
    TrafficReader reader(log);
    std::vector<std::uint8_t> big(600, 0x01);
    big.front() = 0xF0;
    big.back() = 0xF7;
    log.record(false, "in", big.data(), big.size());
    const std::vector<TrafficLine> lines = reader.take();
    QCOMPARE(lines.size(), std::size_t(1));
    QCOMPARE(lines[0].decoded, QStringLiteral("SysEx of 600 bytes"));
    QVERIFY(lines[0].bytes.endsWith(QLatin1String("01 01 ... (600 bytes)")));
}

void TestTrafficLines::readersAreIndependent() {
    // The window and a command line reader each see every message, from when they began.
    TrafficLog log(8);
    const std::uint8_t clock[] = {0xF8};
    log.record(false, "in", clock, 1);
    TrafficReader early(log);
    log.record(false, "in", clock, 1);
    TrafficReader late(log);
    log.record(false, "in", clock, 1);
    QCOMPARE(early.take().size(), std::size_t(2));
    QCOMPARE(late.take().size(), std::size_t(1));
}

void TestTrafficLines::linesFilledInWhenShownAreTheSame() {
    // A bit of everything, twice over, into one log read by two readers: an edit, a preset-wide
    // value, a read-back with its dump, a controller played, a flash summed up, a message longer
    // than the log keeps and a stray byte.
    TrafficLog log(256);
    TrafficReader whole(log);
    TrafficReader later(log);
    auto record = [&log](bool out, const std::uint8_t* data, std::size_t n) {
        log.record(out, out ? "Korvalen25 MIDI 1" : "Korvalen25 MIDI 2", data, n);
    };
    korvalen::FirmwareImage image;
    image.body.assign(300, 0x11);
    image.bodyLength = 300;
    image.blockCount = std::uint32_t(korvalen::firmwareBlockCount(300));
    std::vector<std::uint8_t> big(600, 0x01);
    big.front() = 0xF0;
    big.back() = 0xF7;
    for (int round = 0; round < 2; ++round) {
        const auto edit = korvalen::parameterMessage(1, 1, 10, 74);
        record(true, edit.data(), edit.size());
        const auto global = korvalen::globalParameterMessage(41, 127);
        record(true, global.data(), global.size());
        const auto ask = korvalen::uploadRequestMessage(16);
        record(true, ask.data(), ask.size());
        const auto dump = korvalen::dumpAssignmentRecord(2, 48, 36, 9, 0, 3);
        record(false, dump.data(), dump.size());
        const std::uint8_t cc[] = {0xB3, 0x07, 0x64};
        record(false, cc, sizeof cc);
        const auto start = korvalen::firmwareStartMessage(image.blockCount);
        record(true, start.data(), start.size());
        for (std::uint32_t k = 0; k < image.blockCount; ++k) {
            const korvalen::DataBlockMessage b = korvalen::firmwareDataBlock(image, k);
            record(true, b.data(), b.length);
            record(false, korvalen::kNextBlockRequest.data(), korvalen::kNextBlockRequest.size());
        }
        record(false, big.data(), big.size());
        const std::uint8_t stray[] = {0x3C};
        record(false, stray, sizeof stray);
    }
    const std::vector<TrafficLine> expected = whole.take();
    std::vector<TrafficLine> lines = later.take(4096, korvalen::Decode::KindOnly);
    QCOMPARE(lines.size(), expected.size());
    QVERIFY(lines.size() >= 18);
    int pending = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        QCOMPARE(lines[i].kind, expected[i].kind); // the filter goes by it before any is shown
        pending += lines[i].pending ? 1 : 0;
        korvalen::fillIn(lines[i]);
        QCOMPARE(korvalen::formatTrafficLine(lines[i]), korvalen::formatTrafficLine(expected[i]));
    }
    QVERIFY(pending >= 10); // the words of most lines were left for later
}

QTEST_APPLESS_MAIN(TestTrafficLines)
#include "test_trafficlines.moc"
