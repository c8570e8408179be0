// The dump parser on whole streams, on records split across deliveries, on a ring that wraps
// or overran, and on a ring fed by another thread; plus the byte ring itself.
#include "presetprotocol.h"

#include "bytes.h"

#include <QtTest>

#include <atomic>
#include <random>
#include <thread>
#include <vector>

using namespace korvalen;

namespace {

using testsupport::Bytes;
using testsupport::hex;
// Writes down every call the parser makes, in order.
class LogSink : public DumpSink {
public:
    QStringList log;
    QStringList raw; // every record handed over, in hex
    void record(const std::uint8_t* data, std::size_t length) override {
        raw << QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length))
                .toHex(' ')
                .toUpper());
    }
    void assignment(ControlRef c, AssignmentField field, std::uint8_t value) override {
        static const char* const groups[] = {"S", "E", "F", "T", "P"};
        static const char* const fields[] = {"type", "cc", "chan", "port", "mode"};
        QString who = groups[int(c.group)];
        if (c.group == ControlGroup::Encoder || c.group == ControlGroup::Function ||
            c.group == ControlGroup::Pad)
            who += QString("%1.%2").arg(c.bank).arg(c.index);
        else if (c.group == ControlGroup::Transport)
            who += QString::number(c.index);
        log << QString("%1 %2=%3").arg(who, fields[int(field)]).arg(value);
    }
    void uploadError() override { log << "upload Error"; }
    void recordRejected() override { log << "rejected"; }
    void globalsStored(int first, int count) override {
        log << QString("globals %1+%2").arg(first).arg(count);
    }
    void endOfDump() override { log << "end"; }
};

// A 48-byte block with guard bytes on both sides, to catch writes outside it.
struct GuardedGlobals {
    unsigned char bytes[16 + 48 + 16];
    GuardedGlobals() { std::fill(std::begin(bytes), std::end(bytes), 0xAA); }
    unsigned char* block() { return bytes + 16; }
    bool guardsIntact() const {
        for (int i = 0; i < 16; ++i)
            if (bytes[i] != 0xAA || bytes[16 + 48 + i] != 0xAA) return false;
        return true;
    }
};

void write(ByteRing& ring, const Bytes& b) {
    ring.write(b.data(), b.size());
}

// Moves both ring counters forward by `count` without leaving anything unread.
void advance(ByteRing& ring, std::size_t count) {
    const std::uint8_t filler[256] = {};
    while (count > 0) {
        const std::size_t n = std::min<std::size_t>(count, sizeof filler);
        ring.write(filler, n);
        ring.discardAll();
        count -= n;
    }
}

} // namespace

Q_DECLARE_METATYPE(Bytes)

class TestDumpParser : public QObject {
    Q_OBJECT
private slots:
    void records_data();
    void records();
    void globalRuns_data();
    void globalRuns();
    void everySplitPoint();
    void incompleteRecordIgnoresStaleBytes();
    void endOfDumpDiscardsTheRest();
    void ringCountersWrap();
    void fullRingDropsWholePieces();
    void writerThatNeverWaitsNeverMixesPieces();
    void emulatorRecordsRoundTrip();
    void zoneFromGlobalsBlock();
    void buttonNumbers();
    void ringWriterThread();
    void parserWithWriterThread();
    void consumeAfterADiscardKeepsTheRingSound();
};

void TestDumpParser::records_data() {
    QTest::addColumn<Bytes>("stream");
    QTest::addColumn<QStringList>("expected");
    const QStringList none;

    // Slider records: applied whole, or rejected whole.
    QTest::newRow("kind 0 slider")
        << hex("F0 00 0A 00 05 02 03 00 F7") << QStringList{"S cc=5", "S chan=2", "S port=3"};
    QTest::newRow("kind 0 number 11 ignored") << hex("F0 00 0B 00 05 02 03 00 F7") << none;
    const QStringList rejected{"rejected"};
    QTest::newRow("kind 0 channel 17 rejected") << hex("F0 00 0A 00 05 11 03 00 F7") << rejected;
    QTest::newRow("kind 0 port 6 rejected") << hex("F0 00 0A 00 05 02 06 00 F7") << rejected;
    QTest::newRow("kind 0 value 172 rejected") << hex("F0 00 0A 01 2D 02 03 00 F7") << rejected;
    QTest::newRow("kind 0 behaviour not looked at")
        << hex("F0 00 0A 00 05 02 03 7F F7") << QStringList{"S cc=5", "S chan=2", "S port=3"};

    // Encoder records: a bad field is an upload error, the parse goes on.
    QTest::newRow("kind 1 E3 of bank 2") << hex("F0 01 0A 00 4A 00 01 00 F7")
                                         << QStringList{"E1.2 cc=74", "E1.2 chan=0", "E1.2 port=1"};
    QTest::newRow("kind 1 last encoder") << hex("F0 01 1F 00 00 10 05 01 F7")
                                         << QStringList{"E3.7 cc=0", "E3.7 chan=16", "E3.7 port=5"};
    QTest::newRow("kind 1 hi 1 lo 44 is 171")
        << hex("F0 01 00 01 2C 00 00 00 F7")
        << QStringList{"E0.0 cc=171", "E0.0 chan=0", "E0.0 port=0"};
    QTest::newRow("kind 1 hi 2 lo 2 wraps to 0")
        << hex("F0 01 00 02 02 00 00 00 F7")
        << QStringList{"E0.0 cc=0", "E0.0 chan=0", "E0.0 port=0"};
    QTest::newRow("kind 1 channel 17 then valid records")
        << hex("F0 01 03 00 05 11 00 00 F7 F0 01 04 00 06 01 02 00 F7 F0 00 0A 00 07 00 00 00 F7")
        << QStringList{"upload Error", "E0.4 cc=6", "E0.4 chan=1", "E0.4 port=2",
                       "S cc=7",       "S chan=0",  "S port=0"};
    QTest::newRow("kind 1 value 172")
        << hex("F0 01 00 01 2D 00 00 00 F7") << QStringList{"upload Error"};
    QTest::newRow("kind 1 port 6")
        << hex("F0 01 00 00 00 00 06 00 F7") << QStringList{"upload Error"};
    QTest::newRow("kind 1 behaviour 2")
        << hex("F0 01 00 00 00 00 00 02 F7") << QStringList{"upload Error"};
    QTest::newRow("kind 1 number 32 valid but no encoder")
        << hex("F0 01 20 00 05 00 00 00 F7") << none;
    QTest::newRow("kind 1 number 32 invalid still an error")
        << hex("F0 01 20 00 05 11 00 00 F7") << QStringList{"upload Error"};

    // Button records: the control by its number, each field on its own.
    QTest::newRow("kind 2 F1 bank 1")
        << hex("F0 02 20 00 05 00 00 00 F7")
        << QStringList{"F0.0 cc=5", "F0.0 chan=0", "F0.0 port=0", "F0.0 type=0", "F0.0 mode=0"};
    QTest::newRow("kind 2 F4 bank 4")
        << hex("F0 02 2F 00 05 00 00 00 F7")
        << QStringList{"F3.3 cc=5", "F3.3 chan=0", "F3.3 port=0", "F3.3 type=0", "F3.3 mode=0"};
    QTest::newRow("kind 2 REW 29")
        << hex("F0 02 1D 00 05 00 00 01 F7")
        << QStringList{"T0 cc=5", "T0 chan=0", "T0 port=0", "T0 type=1", "T0 mode=0"};
    QTest::newRow("kind 2 STOP 31")
        << hex("F0 02 1F 00 05 00 00 00 F7")
        << QStringList{"T2 cc=5", "T2 chan=0", "T2 port=0", "T2 type=0", "T2 mode=0"};
    QTest::newRow("kind 2 PLAY 23")
        << hex("F0 02 17 00 05 00 00 00 F7")
        << QStringList{"T3 cc=5", "T3 chan=0", "T3 port=0", "T3 type=0", "T3 mode=0"};
    QTest::newRow("kind 2 REC 22")
        << hex("F0 02 16 00 05 00 00 00 F7")
        << QStringList{"T4 cc=5", "T4 chan=0", "T4 port=0", "T4 type=0", "T4 mode=0"};
    QTest::newRow("kind 2 pad A P1")
        << hex("F0 02 30 00 05 00 00 00 F7")
        << QStringList{"P0.0 cc=5", "P0.0 chan=0", "P0.0 port=0", "P0.0 type=0", "P0.0 mode=0"};
    QTest::newRow("kind 2 pad B P4")
        << hex("F0 02 37 00 7F 03 04 02 F7")
        << QStringList{"P1.3 cc=127", "P1.3 chan=3", "P1.3 port=4", "P1.3 type=0", "P1.3 mode=1"};
    QTest::newRow("kind 2 number 24 ignored") << hex("F0 02 18 00 05 00 00 00 F7") << none;
    QTest::newRow("kind 2 number 28 ignored") << hex("F0 02 1C 00 05 00 00 00 F7") << none;
    QTest::newRow("kind 2 number 21 ignored") << hex("F0 02 15 00 05 00 00 00 F7") << none;
    QTest::newRow("kind 2 number 56 ignored") << hex("F0 02 38 00 05 00 00 00 F7") << none;
    QTest::newRow("kind 2 bad fields skipped one by one")
        << hex("F0 02 20 01 2D 11 06 00 F7")
        << QStringList{"F0.0 type=0", "F0.0 mode=0", "rejected"};
    QTest::newRow("kind 2 channel 17 alone")
        << hex("F0 02 30 00 05 11 00 00 F7")
        << QStringList{"P0.0 cc=5", "P0.0 port=0", "P0.0 type=0", "P0.0 mode=0", "rejected"};
    QTest::newRow("kind 2 behaviour 3")
        << hex("F0 02 20 00 05 00 00 03 F7")
        << QStringList{"F0.0 cc=5", "F0.0 chan=0", "F0.0 port=0", "F0.0 type=1", "F0.0 mode=1"};
    // Mode 2 is handed on; the model's setter does not take it, so the mode stays.
    QTest::newRow("kind 2 behaviour 4") << hex("F0 02 20 00 05 00 00 04 F7")
                                        << QStringList{"F0.0 cc=5",   "F0.0 chan=0", "F0.0 port=0",
                                                       "F0.0 type=0", "F0.0 mode=2", "rejected"};
    QTest::newRow("kind 2 behaviour 5")
        << hex("F0 02 20 00 05 00 00 05 F7")
        << QStringList{"F0.0 cc=5", "F0.0 chan=0", "F0.0 port=0", "rejected"};

    // Kinds without content, and what lies between records.
    QTest::newRow("kind 3 then slider") << hex("F0 03 F7 F0 00 0A 00 01 00 00 00 F7")
                                        << QStringList{"S cc=1", "S chan=0", "S port=0"};
    QTest::newRow("kind 6 and 127 ignored")
        << hex("F0 06 F7 F0 7F 00 0A 00 01 00 00 00 F7") << none;
    QTest::newRow("bytes before the F0 skipped")
        << hex("00 0A 00 01 F7 12 F0 00 0A 00 01 00 00 00 F7")
        << QStringList{"S cc=1", "S chan=0", "S port=0"};
    QTest::newRow("end of dump") << hex("F0 05 F7") << QStringList{"end"};

    // Records cut short by the next message: dropped, the next one is read from its own F0.
    QTest::newRow("empty message then slider")
        << hex("F0 F7 F0 00 0A 00 01 00 00 00 F7") << QStringList{"S cc=1", "S chan=0", "S port=0"};
    QTest::newRow("button record cut short") << hex("F0 02 20 00 F7 F0 00 0A 00 01 00 00 00 F7")
                                             << QStringList{"S cc=1", "S chan=0", "S port=0"};
    QTest::newRow("encoder record cut short is an error")
        << hex("F0 01 03 00 05 F7 F0 05 F7") << QStringList{"upload Error", "end"};
    QTest::newRow("global run cut short")
        << hex("F0 04 10 03 01 02 F7 F0 05 F7") << QStringList{"end"};
    QTest::newRow("escape cut short")
        << hex("F0 04 10 01 34 56 78 01 F7 F0 05 F7") << QStringList{"end"};
}

void TestDumpParser::records() {
    QFETCH(Bytes, stream);
    QFETCH(QStringList, expected);

    // Through the ring, as the window reads it.
    {
        LogSink sink;
        GuardedGlobals g;
        DumpParser parser(sink, g.block());
        ByteRing ring;
        write(ring, stream);
        const auto status = parser.parse(ring);
        QCOMPARE(sink.log, expected);
        QCOMPARE(status, expected.contains("end") ? DumpParser::Status::EndOfDump
                                                  : DumpParser::Status::Idle);
        QVERIFY(ring.empty());
        QVERIFY(g.guardsIntact());
    }
    // On the plain buffer the same calls come out.
    {
        LogSink sink;
        GuardedGlobals g;
        DumpParser parser(sink, g.block());
        const auto result = parser.parse(stream.data(), stream.size());
        QCOMPARE(sink.log, expected);
        QCOMPARE(result.consumed, stream.size());
    }
}

void TestDumpParser::globalRuns_data() {
    QTest::addColumn<Bytes>("stream");
    QTest::addColumn<QList<int>>("changed"); // index, value pairs; the rest stays 0xAA
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("start 16 count 2 with escape")
        << hex("F0 04 10 02 05 34 56 78 01 2B F7") << QList<int>{16, 5, 17, 171}
        << QStringList{"globals 16+2"};
    QTest::newRow("escape 3 127 wraps to 255")
        << hex("F0 04 00 01 34 56 78 03 7F F7") << QList<int>{0, 255} << QStringList{"globals 0+1"};
    QTest::newRow("escape 2 0 wraps to 0")
        << hex("F0 04 00 01 34 56 78 02 00 F7") << QList<int>{0, 0} << QStringList{"globals 0+1"};
    QTest::newRow("34 56 without 78 is plain")
        << hex("F0 04 00 03 34 56 00 F7") << QList<int>{0, 0x34, 1, 0x56, 2, 0}
        << QStringList{"globals 0+3"};
    QTest::newRow("count 0") << hex("F0 04 05 00 F7") << QList<int>{} << QStringList{};
    QTest::newRow("last index 47")
        << hex("F0 04 2F 01 09 F7") << QList<int>{47, 9} << QStringList{"globals 47+1"};
    // A run past index 47 stores what fits; its bytes are still read, so the next record
    // begins where it should.
    QTest::newRow("run past 47")
        << hex("F0 04 2D 05 01 02 03 34 56 78 00 04 05 F7 F0 04 00 01 09 F7")
        << QList<int>{45, 1, 46, 2, 47, 3, 0, 9} << QStringList{"globals 45+3", "globals 0+1"};
    QTest::newRow("start 48") << hex("F0 04 30 02 01 02 F7 F0 04 01 01 07 F7") << QList<int>{1, 7}
                              << QStringList{"globals 1+1"};
    QTest::newRow("start 127 count 127") << [] {
        Bytes b = hex("F0 04 7F 7F");
        b.insert(b.end(), 127, 0x11);
        b.push_back(0xF7);
        return b;
    }() << QList<int>{} << QStringList{};
}

void TestDumpParser::globalRuns() {
    QFETCH(Bytes, stream);
    QFETCH(QList<int>, changed);
    QFETCH(QStringList, expected);

    GuardedGlobals g;
    unsigned char want[48];
    std::fill(std::begin(want), std::end(want), 0xAA);
    for (int i = 0; i + 1 < changed.size(); i += 2)
        want[changed[i]] = std::uint8_t(changed[i + 1]);

    LogSink sink;
    DumpParser parser(sink, g.block());
    ByteRing ring;
    write(ring, stream);
    QCOMPARE(parser.parse(ring), DumpParser::Status::Idle);
    QCOMPARE(sink.log, expected);
    QVERIFY(g.guardsIntact());
    for (int i = 0; i < 48; ++i)
        QCOMPARE(int(g.block()[i]), int(want[i]));
}

// A stream of every kind of record, delivered in two pieces at each possible place: the
// outcome never depends on where the cut falls, and a cut inside a record leaves that record
// unread until its rest is there.
void TestDumpParser::everySplitPoint() {
    const Bytes stream = hex("F0 01 0A 00 4A 00 01 00 F7 "
                             "F0 04 10 03 05 34 56 78 01 2B 34 F7 "
                             "F0 03 F7 "
                             "F0 02 37 00 7F 03 04 03 F7 "
                             "F0 05 F7");
    LogSink whole;
    GuardedGlobals wholeGlobals;
    {
        DumpParser parser(whole, wholeGlobals.block());
        ByteRing ring;
        write(ring, stream);
        QCOMPARE(parser.parse(ring), DumpParser::Status::EndOfDump);
    }
    QCOMPARE(whole.log.size(), 3 + 1 + 5 + 1);
    // Every record as it came, its F7 included, the one that carries nothing too.
    QCOMPARE(whole.raw,
             (QStringList{"F0 01 0A 00 4A 00 01 00 F7", "F0 04 10 03 05 34 56 78 01 2B 34 F7",
                          "F0 03 F7", "F0 02 37 00 7F 03 04 03 F7", "F0 05 F7"}));

    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        LogSink sink;
        GuardedGlobals g;
        DumpParser parser(sink, g.block());
        ByteRing ring;
        ring.write(stream.data(), cut);
        const auto first = parser.parse(ring);
        // Whatever is left unread starts with the F0 of the record that was cut.
        if (!ring.empty()) {
            QCOMPARE(first, DumpParser::Status::Waiting);
            QCOMPARE(ring.peek(0), std::uint8_t(0xF0));
        }
        ring.write(stream.data() + cut, stream.size() - cut);
        parser.parse(ring);
        QVERIFY2(sink.log == whole.log, qPrintable(QString("cut at %1").arg(cut)));
        QVERIFY2(sink.raw == whole.raw, qPrintable(QString("cut at %1").arg(cut)));
        QVERIFY(std::equal(g.block(), g.block() + 48, wholeGlobals.block()));

        // The buffer entry point reports how far it got.
        LogSink bufferSink;
        GuardedGlobals bg;
        DumpParser bufferParser(bufferSink, bg.block());
        const auto r1 = bufferParser.parse(stream.data(), cut);
        QVERIFY(r1.consumed <= cut);
        Bytes rest(stream.begin() + std::ptrdiff_t(r1.consumed), stream.end());
        bufferParser.parse(rest.data(), rest.size());
        QCOMPARE(bufferSink.log, whole.log);
        QCOMPARE(bufferSink.raw, whole.raw);
    }
}

// Bytes left in the ring from earlier traffic lie behind the write position; a record that
// has only begun must not be completed from them.
void TestDumpParser::incompleteRecordIgnoresStaleBytes() {
    ByteRing ring;
    // Fill every position with slider records, then discard them.
    Bytes old;
    while (old.size() + 9 <= ByteRing::kSize) {
        const Bytes rec = hex("F0 00 0A 00 05 02 03 00 F7");
        old.insert(old.end(), rec.begin(), rec.end());
    }
    write(ring, old);
    ring.discardAll();
    advance(ring, ByteRing::kSize - old.size()); // line the next write up with an old record

    LogSink sink;
    GuardedGlobals g;
    DumpParser parser(sink, g.block());
    write(ring, hex("F0 00"));
    QCOMPARE(parser.parse(ring), DumpParser::Status::Waiting);
    QCOMPARE(ring.unread(), std::size_t(2));
    QVERIFY(sink.log.isEmpty());

    write(ring, hex("0A 00 06 00"));
    QCOMPARE(parser.parse(ring), DumpParser::Status::Waiting);
    QVERIFY(sink.log.isEmpty());

    write(ring, hex("00 00 F7"));
    QCOMPARE(parser.parse(ring), DumpParser::Status::Idle);
    QCOMPARE(sink.log, (QStringList{"S cc=6", "S chan=0", "S port=0"}));

    // A run of globals whose escape has only partly arrived.
    write(ring, hex("F0 04 00 02 34 56"));
    QCOMPARE(parser.parse(ring), DumpParser::Status::Waiting);
    QCOMPARE(int(g.block()[0]), 0xAA);
    write(ring, hex("78 01 2B 07 F7"));
    QCOMPARE(parser.parse(ring), DumpParser::Status::Idle);
    QCOMPARE(int(g.block()[0]), 171);
    QCOMPARE(int(g.block()[1]), 7);
}

void TestDumpParser::endOfDumpDiscardsTheRest() {
    LogSink sink;
    GuardedGlobals g;
    DumpParser parser(sink, g.block());
    ByteRing ring;
    write(ring, hex("F0 04 00 01 11 F7 F0 05 F7 F0 00 0A 00 05 02 03 00 F7 F0 04 01 01 22 F7"));
    QCOMPARE(parser.parse(ring), DumpParser::Status::EndOfDump);
    QCOMPARE(sink.log, (QStringList{"globals 0+1", "end"}));
    QVERIFY(ring.empty());
    QCOMPARE(int(g.block()[0]), 0x11);
    QCOMPARE(int(g.block()[1]), 0xAA);

    // What the caller drops while no upload is open never reaches a later parse.
    write(ring, hex("F0 00 0A 00 05 02 03 00 F7"));
    DumpParser::discardAll(ring);
    sink.log.clear();
    QCOMPARE(parser.parse(ring), DumpParser::Status::Idle);
    QVERIFY(sink.log.isEmpty());
}

// The counters are 16-bit and never reset: records that straddle the end of the storage and
// the wrap of the counters at 65536 read like any other.
void TestDumpParser::ringCountersWrap() {
    const Bytes stream = hex("F0 02 20 00 05 00 00 03 F7 F0 04 10 02 05 34 56 78 01 2B F7 "
                             "F0 01 1F 00 00 10 05 01 F7");
    for (std::size_t before : {std::size_t(65536 - 3), std::size_t(65536 - 12),
                               std::size_t(65536 - 27), std::size_t(1024 - 5)}) {
        ByteRing ring;
        advance(ring, before);
        QCOMPARE(std::size_t(ring.readIndex()), before);
        LogSink sink;
        GuardedGlobals g;
        DumpParser parser(sink, g.block());
        // In two deliveries, so that the first ends in the middle of a record.
        ring.write(stream.data(), 13);
        parser.parse(ring);
        ring.write(stream.data() + 13, stream.size() - 13);
        QCOMPARE(parser.parse(ring), DumpParser::Status::Idle);
        QCOMPARE(sink.log, (QStringList{"F0.0 cc=5", "F0.0 chan=0", "F0.0 port=0", "F0.0 type=1",
                                        "F0.0 mode=1", "globals 16+2", "E3.7 cc=0", "E3.7 chan=16",
                                        "E3.7 port=5"}));
        QCOMPARE(int(g.block()[17]), 171);
        QCOMPARE(std::size_t(ring.readIndex()), (before + stream.size()) % 65536);
    }
}

// A full ring takes no more: a piece that does not fit is dropped whole and counted, and
// the bytes already there stay as written. An upload that lost a piece is dropped whole.
void TestDumpParser::fullRingDropsWholePieces() {
    ByteRing ring;
    for (int i = 0; i < 120; ++i) { // 1080 bytes: 113 records fit, 7 do not
        const auto rec = dumpAssignmentRecord(0, 10, i, 0, 0, 0);
        QCOMPARE(ring.write(rec.data(), rec.size()), i < 113);
    }
    QCOMPARE(ring.drops(), 7u);
    QCOMPARE(ring.unread(), std::size_t(113 * 9));

    LogSink sink;
    GuardedGlobals g;
    DumpParser parser(sink, g.block());
    std::uint32_t dropsSeen = 0;
    QCOMPARE(parser.parse(ring, dropsSeen), DumpParser::Status::Damaged);
    QVERIFY(sink.log.isEmpty());
    QVERIFY(ring.empty());
    QCOMPARE(dropsSeen, 7u);
    // After the damage has been seen, a new upload reads as usual.
    const auto rec = dumpAssignmentRecord(0, 10, 5, 0, 0, 0);
    ring.write(rec.data(), rec.size());
    QCOMPARE(parser.parse(ring, dropsSeen), DumpParser::Status::Idle);
    QCOMPARE(sink.log.first(), QString("S cc=5"));
}

// A writer that never waits against a slow reader: every piece arrives whole or not at all,
// and the pieces that arrive are the ones counted, so no two pieces are ever mixed.
void TestDumpParser::writerThatNeverWaitsNeverMixesPieces() {
    ByteRing ring;
    constexpr int pieces = 20000;
    constexpr std::size_t size = 100; // does not divide the ring: pieces wrap around its end
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::uint8_t piece[size];
        for (int i = 0; i < pieces; ++i) {
            std::fill(std::begin(piece), std::end(piece), std::uint8_t(i));
            ring.write(piece, size);
        }
        done = true;
    });
    std::size_t received = 0;
    std::size_t mixed = 0;
    for (;;) {
        const bool finished = done.load();
        if (ring.unread() > ByteRing::kSize) { // overwritten: the reader cannot trust a byte
            ++mixed;
            break;
        }
        const std::size_t n = ring.unread() / size * size;
        for (std::size_t p = 0; p < n; p += size)
            for (std::size_t i = 1; i < size; ++i)
                mixed += ring.peek(p + i) != ring.peek(p);
        ring.consume(n);
        received += n / size;
        if (finished && ring.empty()) break;
        std::this_thread::yield();
    }
    writer.join();
    QCOMPARE(mixed, std::size_t(0));
    QCOMPARE(received + ring.drops(), std::size_t(pieces));
}

// The records the controller emulator sends read back as the values they were built from.
void TestDumpParser::emulatorRecordsRoundTrip() {
    std::mt19937 random(25);
    std::uint8_t values[48];
    for (std::uint8_t& v : values)
        v = std::uint8_t(random());
    values[3] = 0x34; // a value that looks like the start of an escape
    values[4] = 0x56;
    values[5] = 0x78;
    std::array<std::uint8_t, 5 * 127 + 5> run{};
    const std::size_t length = dumpGlobalsRecord(0, values, 48, run);
    for (std::size_t i = 1; i + 1 < length; ++i)
        QVERIFY(run[i] < 0x80);

    LogSink sink;
    GuardedGlobals g;
    DumpParser parser(sink, g.block());
    const auto r = parser.parse(run.data(), length);
    QCOMPARE(r.consumed, length);
    QVERIFY(std::equal(values, values + 48, g.block()));

    for (int value : {0, 126, 127, 128, 171}) {
        sink.log.clear();
        const auto rec = dumpAssignmentRecord(2, 0x37, value, 16, 5, 3);
        parser.parse(rec.data(), rec.size());
        QCOMPARE(sink.log.value(0), QString("P1.3 cc=%1").arg(value));
        QCOMPARE(sink.log.size(), 5);
    }
}

void TestDumpParser::zoneFromGlobalsBlock() {
    unsigned char globals[48] = {};
    for (int i = 0; i < 48; ++i)
        globals[i] = std::uint8_t(100 + i);
    globals[16] = 5; // zones 1 and 3 on
    const ZoneValues z2 = zoneFromGlobals(globals, 2);
    QCOMPARE(int(z2.status), 1);
    QCOMPARE(int(z2.prog), 103);
    QCOMPARE(int(z2.msb), 107);
    QCOMPARE(int(z2.lsb), 111);
    QCOMPARE(int(z2.port), 119);
    QCOMPARE(int(z2.chan), 123);
    QCOMPARE(int(z2.oct), 127);
    QCOMPARE(int(z2.trans), 131);
    QCOMPARE(int(z2.rangSta), 143);
    QCOMPARE(int(z2.rangEnd), 147);
    QCOMPARE(int(zoneFromGlobals(globals, 1).status), 0);
    QCOMPARE(int(zoneFromGlobals(globals, 0).status), 1);
    QCOMPARE(int(zoneFromGlobals(globals, 0).rangEnd), 145);
}

void TestDumpParser::buttonNumbers() {
    // Every number 0-127: exactly the 29 button numbers find a control, each a different one.
    QList<int> found;
    for (int n = 0; n < 128; ++n)
        if (buttonForNumber(n)) found << n;
    QCOMPARE(found.size(), 16 + 5 + 8);
    QCOMPARE(found.first(), 22);
    QCOMPARE(found.last(), 55);
    QVERIFY(!buttonForNumber(24) && !buttonForNumber(28) && !buttonForNumber(56));
    QCOMPARE(*buttonForNumber(22), (ControlRef{ControlGroup::Transport, 0, 4}));
    QCOMPARE(*buttonForNumber(43), (ControlRef{ControlGroup::Function, 2, 3}));
    QCOMPARE(*buttonForNumber(52), (ControlRef{ControlGroup::Pad, 1, 0}));
}

// One writer thread, one reader thread. The writer waits for room (the reader keeps up), so
// every byte must arrive once and in order, across many wraps of the counters.
void TestDumpParser::ringWriterThread() {
    ByteRing ring;
    constexpr std::size_t total = 300000;
    std::thread writer([&] {
        std::mt19937 random(7);
        std::uint8_t chunk[256];
        std::size_t sent = 0;
        while (sent < total) {
            const std::size_t n = std::min<std::size_t>(1 + random() % 256, total - sent);
            for (std::size_t i = 0; i < n; ++i)
                chunk[i] = std::uint8_t((sent + i) * 7 + 3);
            while (ring.unread() + n > ByteRing::kSize)
                std::this_thread::yield();
            ring.write(chunk, n);
            sent += n;
        }
    });
    std::size_t received = 0;
    std::size_t wrong = 0;
    bool lost = false;
    while (received < total) {
        const std::size_t n = ring.unread();
        lost = lost || n > ByteRing::kSize;
        for (std::size_t i = 0; i < n; ++i)
            wrong += ring.peek(i) != std::uint8_t((received + i) * 7 + 3);
        ring.consume(n);
        received += n;
        if (n == 0) std::this_thread::yield();
    }
    writer.join();
    QVERIFY(!lost);
    QCOMPARE(wrong, std::size_t(0));
    QCOMPARE(received, total);
    QVERIFY(ring.empty());
}

// The parser against a writer thread that delivers a long dump in pieces cut at random
// places: every record is applied once, in order, however the pieces fall.
void TestDumpParser::parserWithWriterThread() {
    Bytes stream;
    QStringList expected;
    for (int i = 0; i < 3000; ++i) {
        const int value = i % 172;
        const auto rec = dumpAssignmentRecord(1, i % 32, value, i % 17, i % 6, i % 2);
        stream.insert(stream.end(), rec.begin(), rec.end());
        const QString who = QString("E%1.%2").arg((i % 32) / 8).arg(i % 8);
        expected << QString("%1 cc=%2").arg(who).arg(value)
                 << QString("%1 chan=%2").arg(who).arg(i % 17)
                 << QString("%1 port=%2").arg(who).arg(i % 6);
        if (i % 10 == 0) {
            std::uint8_t run[3] = {std::uint8_t(i), 0x34, std::uint8_t(200)};
            std::array<std::uint8_t, 5 * 127 + 5> out{};
            const std::size_t n = dumpGlobalsRecord(20, run, 3, out);
            stream.insert(stream.end(), out.begin(), out.begin() + std::ptrdiff_t(n));
            expected << "globals 20+3";
        }
    }
    stream.insert(stream.end(), kDumpEndRecord.begin(), kDumpEndRecord.end());
    expected << "end";

    ByteRing ring;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::mt19937 random(11);
        std::size_t sent = 0;
        while (sent < stream.size()) {
            const std::size_t n = std::min<std::size_t>(1 + random() % 256, stream.size() - sent);
            while (ring.unread() + n > ByteRing::kSize)
                std::this_thread::yield();
            ring.write(stream.data() + sent, n);
            sent += n;
        }
        done = true;
    });
    LogSink sink;
    GuardedGlobals g;
    DumpParser parser(sink, g.block());
    DumpParser::Status status = DumpParser::Status::Idle;
    for (;;) {
        // Once the writer is done before a parse, that parse sees every byte.
        const bool finished = done.load();
        status = parser.parse(ring);
        if (status == DumpParser::Status::EndOfDump || finished) break;
        std::this_thread::yield();
    }
    writer.join();
    QCOMPARE(status, DumpParser::Status::EndOfDump);
    QCOMPARE(sink.log.size(), expected.size());
    QCOMPARE(sink.log, expected);
    QCOMPARE(int(g.block()[22]), 200);
}

// A reader that decoded a record, then saw the ring discarded, then consumes the record: the
// read index must not run past the write index, or the ring counts 64K unread bytes and takes
// nothing more.
void TestDumpParser::consumeAfterADiscardKeepsTheRingSound() {
    ByteRing ring;
    const Bytes record(12, 0x10);
    write(ring, record);
    QCOMPARE(ring.unread(), record.size());
    ring.discardAll();
    ring.consume(record.size());
    QCOMPARE(ring.unread(), std::size_t{0});
    QVERIFY(ring.empty());
    const Bytes next(ByteRing::kSize, 0x20);
    QVERIFY(ring.write(next.data(), next.size()));
    QCOMPARE(ring.unread(), ByteRing::kSize);
    QCOMPARE(ring.drops(), 0u);
}

QTEST_APPLESS_MAIN(TestDumpParser)
#include "tst_dumpparser.moc"
