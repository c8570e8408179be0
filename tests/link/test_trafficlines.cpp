// The traffic log in lines: each message decoded with its direction, port and bytes; what was
// overwritten before it was read told in a note; a message longer than the log keeps of it.
#include "trafficlines.h"

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

QTEST_APPLESS_MAIN(TestTrafficLines)
#include "test_trafficlines.moc"
