// The controller emulator: identity, the preset messages and the stored presets, the dump and
// its escapes, preset files, and the firmware upgrade with good and bad blocks.
#include "controlleremulator.h"
#include "firmwareblocks.h"
#include "presetprotocol.h"

#include <QtTest>

#include <random>

using namespace korvalen::sim;
using Emulator = ControllerEmulator;

Q_DECLARE_METATYPE(Message)

namespace {

Message hex(const char* text) {
    const QByteArray b = QByteArray::fromHex(text);
    return Message(b.begin(), b.end());
}

const Message kIdentityProbe = hex("F0000066141A00F7");

// --- An independent reading of the dump, record by record -----------------------------------

struct DecodedDump {
    StoredPreset preset;         // controls and globals as the records carry them
    std::vector<int> behaviours; // per control index, -1 when no record came
    int records = 0;
    bool ended = false;           // kind 5 came, and came last
    bool dataBytesBelow80 = true; // every byte between F0 and F7 is a data byte
    std::size_t bytes = 0;
};

DecodedDump decodeDump(const std::vector<Message>& records) {
    DecodedDump d;
    d.behaviours.assign(controls::kCount, -1);
    for (const Message& r : records) {
        d.bytes += r.size();
        ++d.records;
        if (d.ended) d.ended = false; // something after the end record
        for (std::size_t i = 1; i + 1 < r.size(); ++i)
            if (r[i] > 0x7F) d.dataBytesBelow80 = false;
        if (r.size() < 3 || r.front() != 0xF0 || r.back() != 0xF7) continue;
        const int kind = r[1];
        if (kind <= 2 && r.size() == 9) {
            const int index = controlIndexOf(kind, r[2]);
            if (index < 0) continue;
            Assignment& a = d.preset.controls[index];
            a.cc = static_cast<std::uint8_t>(r[3] * 127 + r[4]);
            a.chan = r[5];
            a.port = r[6];
            d.behaviours[index] = r[7];
            if (kind == 2) {
                a.type = r[7] & 1;
                a.mode = r[7] >> 1;
            } else {
                a.type = r[7];
            }
        } else if (kind == 4 && r.size() >= 5) {
            int at = r[2];
            const int count = r[3];
            std::size_t i = 4;
            for (int n = 0; n < count && i + 1 < r.size(); ++n, ++at) {
                std::uint8_t v;
                if (i + 4 < r.size() && r[i] == 0x34 && r[i + 1] == 0x56 && r[i + 2] == 0x78) {
                    v = static_cast<std::uint8_t>((r[i + 3] * 128 + r[i + 4]) % 256);
                    i += 5;
                } else {
                    v = r[i++];
                }
                if (at < kGlobalCount) d.preset.globals[at] = v;
            }
        } else if (kind == 5) {
            d.ended = true;
        }
    }
    return d;
}

using firmwareblocks::blockCountOf;
using firmwareblocks::dataBlock;
using firmwareblocks::setChecksum;
using firmwareblocks::startMessage;

std::vector<std::uint8_t> randomBody(std::size_t length, unsigned seed) {
    std::mt19937 gen(seed);
    std::vector<std::uint8_t> body(length);
    for (auto& b : body)
        b = static_cast<std::uint8_t>(gen() & 0xFF);
    return body;
}

// Plays the computer's side of a transfer: one block per request. `tamper` may change a
// block before it goes out (and says whether it did). Returns the number of repeat requests.
int transfer(Emulator& emu, const std::vector<std::uint8_t>& body,
             const std::function<bool(unsigned, Message&)>& tamper = nullptr) {
    const unsigned n = blockCountOf(body.size());
    auto replies = emu.receive(startMessage(n));
    int repeats = 0;
    unsigned index = 0;
    for (unsigned step = 0; step < 2 * n + 10; ++step) {
        if (replies.size() != 1) return -1;
        if (replies[0] == Emulator::repeatRequest()) {
            ++repeats;
            if (index > 0) --index;
        } else if (replies[0] != Emulator::nextRequest()) {
            return -1;
        } else if (index == n) {
            return repeats; // the request after the last block ends the transfer
        }
        Message block = dataBlock(body, index);
        if (tamper) tamper(index, block);
        ++index;
        replies = emu.receive(block);
    }
    return -1;
}

} // namespace

class TestEmulator : public QObject {
    Q_OBJECT

private slots:
    void identity_data();
    void identity();
    void parameterThenDownloadEnd_data();
    void parameterThenDownloadEnd();
    void uploadLoadsTheEditBuffer();
    void downloadAndUploadThroughTheEditorMessages();
    void dumpMatchesStoredPreset_data();
    void dumpMatchesStoredPreset();
    void globalsAbove127AreEscaped();
    void dumpFaults_data();
    void dumpFaults();
    void dumpCutBeforeItsEnd();
    void silentAndUploadFaults();
    void presetFile();
    void presetFileRejected_data();
    void presetFileRejected();
    void upgradeProbe_data();
    void upgradeProbe();
    void upgradeTransfer_data();
    void upgradeTransfer();
    void badBlockIsRepeated_data();
    void badBlockIsRepeated();
    void silenceAfterBlocks();
    void repeatBlockEveryTime();
};

// ---------------------------------------------------------------------------------------------
// Normal mode

void TestEmulator::identity_data() {
    QTest::addColumn<bool>("wrongIdentity");
    QTest::addColumn<Message>("probe");
    QTest::addColumn<Message>("reply");
    QTest::newRow("identity probe") << false << kIdentityProbe << hex("F0000066141B00665A74F7");
    QTest::newRow("wrong identity knob") << true << kIdentityProbe << hex("F0000066141B00665A75F7");
    QTest::newRow("another probe byte: no answer") << false << hex("F0000066141A01F7") << Message{};
}

void TestEmulator::identity() {
    QFETCH(bool, wrongIdentity);
    QFETCH(Message, probe);
    QFETCH(Message, reply);
    Emulator::Options o;
    o.wrongIdentity = wrongIdentity;
    o.identityDelayMs = 100;
    Emulator emu(o);
    // The probe knob delays what the device answers as a probe, nothing else.
    QCOMPARE(emu.extraDelayFor(probe), reply.empty() ? 0u : 100u);
    QCOMPARE(emu.extraDelayFor(startMessage(5)), 0u);
    const auto replies = emu.receive(probe);
    if (reply.empty()) {
        QVERIFY(replies.empty());
        QCOMPARE(emu.ignoredMessages(), 1u);
        return;
    }
    QCOMPARE(replies.size(), std::size_t(1));
    QCOMPARE(replies[0], reply); // version 102 in bytes 6-7
    QCOMPARE(korvalen::isIdentityReply(replies[0].data(), replies[0].size()), !wrongIdentity);
}

void TestEmulator::parameterThenDownloadEnd_data() {
    QTest::addColumn<Message>("message");
    QTest::addColumn<int>("control"); // control index changed; -1 a global, -2 nothing
    QTest::addColumn<int>("field");   // 0 type 1 cc 2 chan 3 port 4 mode; a global's index
    QTest::addColumn<int>("value");

    QTest::newRow("encoder 10, number 74") << hex("F000206B0201010A004A0000F7") << 10 << 1 << 74;
    QTest::newRow("value high byte above 1") << hex("F000206B020102377F000101F7") << -2 << 0 << 0;
    QTest::newRow("pad 55, number 127 as sent")
        << hex("F000206B02010237007F0101F7") << 55 << 1 << 127;
    QTest::newRow("slider channel 16") << hex("F000206B0202000A00100000F7") << 61 << 2 << 16;
    QTest::newRow("12 bytes: not a parameter message")
        << hex("F000206B02030228000400F7") << -2 << 0 << 0;
    QTest::newRow("function 40, port 4 as sent")
        << hex("F000206B0203022800040000F7") << 40 << 3 << 4;
    QTest::newRow("PLAY behaviour 3: note, momentary")
        << hex("F000206B0204021700030000F7") << 59 << 4 << 1;
    QTest::newRow("number 171") << hex("F000206B02010100012B0000F7") << 0 << 1 << 171;
    QTest::newRow("global 41 = 127") << hex("F000206B0206290100F7") << -1 << 41 << 127;
    QTest::newRow("global 16 = 7") << hex("F000206B0206100007F7") << -1 << 16 << 7;
    QTest::newRow("wrong check bytes") << hex("F000206B0201010A004A0100F7") << -2 << 0 << 0;
    QTest::newRow("number 172 is out of range")
        << hex("F000206B02010100012C0000F7") << -2 << 0 << 0;
    QTest::newRow("button number 24 has no control")
        << hex("F000206B0201021800050000F7") << -2 << 0 << 0;
    QTest::newRow("global 48 does not exist") << hex("F000206B0206300001F7") << -2 << 0 << 0;
}

void TestEmulator::parameterThenDownloadEnd() {
    QFETCH(Message, message);
    QFETCH(int, control);
    QFETCH(int, field);
    QFETCH(int, value);
    Emulator emu;
    const StoredPreset before = *emu.preset(20);
    StoredPreset expected = emu.editBuffer(); // preset 0's contents
    QVERIFY(emu.receive(message).empty());
    if (control >= 0) {
        Assignment& a = expected.controls[control];
        std::uint8_t* fields[] = {&a.type, &a.cc, &a.chan, &a.port, &a.mode};
        *fields[field] = static_cast<std::uint8_t>(value);
        if (field == 4) a.type = 1; // behaviour 3 sets both
    } else if (control == -1) {
        expected.globals[field] = static_cast<std::uint8_t>(value);
    }
    QCOMPARE(emu.ignoredMessages(), control == -2 ? 1u : 0u);
    QCOMPARE(emu.editBuffer(), expected);
    QCOMPARE(*emu.preset(20), before); // stored only by the download end

    QVERIFY(emu.receive(hex("F000206B02071400F7")).empty());
    expected.globals[0] = 20;
    QCOMPARE(*emu.preset(20), expected);
    QCOMPARE(*emu.preset(0), Emulator::factoryPreset(0));
}

void TestEmulator::uploadLoadsTheEditBuffer() {
    Emulator emu;
    QVERIFY(!emu.receive(hex("F000206B02051200F7")).empty()); // upload preset 18
    QCOMPARE(emu.editBuffer(), *emu.preset(18));
    emu.receive(hex("F000206B02071900F7")); // download end: store as preset 25
    StoredPreset expected = *emu.preset(18);
    expected.globals[0] = 25;
    QCOMPARE(*emu.preset(25), expected);

    // Preset numbers without a slot are ignored.
    QVERIFY(emu.receive(hex("F000206B02050F00F7")).empty());
    QVERIFY(emu.receive(hex("F000206B02071E00F7")).empty());
    QCOMPARE(emu.ignoredMessages(), 2u);
}

namespace {

// Collects the dump through the editor's own parser.
struct Collect : korvalen::DumpSink {
    korvalen::PresetValues values;
    unsigned char globals[korvalen::kPresetGlobalsSize] = {};
    bool ended = false;
    int errors = 0;
    void assignment(korvalen::ControlRef c, korvalen::AssignmentField f, std::uint8_t v) override {
        korvalen::fieldOf(korvalen::assignmentOf(values, c), f) = v;
    }
    void uploadError() override { ++errors; }
    void endOfDump() override { ended = true; }
};

} // namespace

void TestEmulator::downloadAndUploadThroughTheEditorMessages() {
    // A whole download as the editor sends it, stored as preset 27, read back with an upload
    // and parsed by the editor's dump parser: every value comes back.
    korvalen::PresetValues sent;
    auto fill = [](korvalen::AssignmentValues& a, int i, bool button) {
        a = {static_cast<std::uint8_t>(button ? i % 2 : 0),
             static_cast<std::uint8_t>((i * 37) % 172), static_cast<std::uint8_t>(i % 17),
             static_cast<std::uint8_t>(i % 6), static_cast<std::uint8_t>(button ? (i / 2) % 2 : 0)};
    };
    fill(sent.slider, 5, false);
    for (int i = 0; i < 32; ++i)
        fill(sent.encoders[i], i + 1, false);
    for (int i = 0; i < 16; ++i)
        fill(sent.functions[i], i + 40, true);
    for (int i = 0; i < 5; ++i)
        fill(sent.transport[i], i + 60, true);
    for (int i = 0; i < 8; ++i)
        fill(sent.pads[i], i + 70, true);
    for (int z = 0; z < 3; ++z)
        sent.zones[z] = {static_cast<std::uint8_t>(z != 1), static_cast<std::uint8_t>(10 + z),
                         static_cast<std::uint8_t>(z),      static_cast<std::uint8_t>(2 * z),
                         static_cast<std::uint8_t>(3 + z),  static_cast<std::uint8_t>(z),
                         static_cast<std::uint8_t>(20 * z), static_cast<std::uint8_t>(100 + z),
                         static_cast<std::uint8_t>(3 + z),  static_cast<std::uint8_t>(11 + z)};

    Emulator emu;
    int messages = 0;
    korvalen::sendDownload(sent, 27, [&](const std::uint8_t* d, std::size_t n) {
        ++messages;
        QVERIFY(emu.receive(d, n).empty());
    });
    QCOMPARE(messages, 384);
    QCOMPARE(emu.ignoredMessages(), 0u);
    QCOMPARE(emu.preset(27)->globals[0], std::uint8_t(27));

    const auto dump = emu.receive(hex("F000206B02051B00F7"));
    Collect got;
    korvalen::DumpParser parser(got, got.globals);
    for (const Message& r : dump)
        parser.parse(r.data(), r.size());
    QVERIFY(got.ended);
    QCOMPARE(got.errors, 0);
    // Slider and encoder records carry number, channel and port; buttons also type and mode.
    QCOMPARE(got.values.slider, sent.slider);
    QCOMPARE(got.values.encoders, sent.encoders);
    QCOMPARE(got.values.functions, sent.functions);
    QCOMPARE(got.values.transport, sent.transport);
    QCOMPARE(got.values.pads, sent.pads);
    for (int z = 0; z < 3; ++z) {
        korvalen::ZoneValues expected = sent.zones[z];
        if (z == 0) expected.status = 1; // the download always sends zone 1 as on
        QCOMPARE(korvalen::zoneFromGlobals(got.globals, z), expected);
    }
    QCOMPARE(int(got.globals[0]), 27);
}

void TestEmulator::dumpMatchesStoredPreset_data() {
    QTest::addColumn<int>("preset");
    for (int p : {0, 16, 21, 29})
        QTest::addRow("preset %d", p) << p;
}

void TestEmulator::dumpMatchesStoredPreset() {
    QFETCH(int, preset);
    Emulator emu;
    Message request = hex("F000206B02050000F7");
    request[6] = static_cast<std::uint8_t>(preset);
    const auto dump = emu.receive(request);
    const DecodedDump d = decodeDump(dump);
    const StoredPreset& stored = *emu.preset(preset);
    QVERIFY(d.ended);
    QVERIFY(d.dataBytesBelow80);
    QVERIFY2(d.bytes < 700, qPrintable(QString::number(d.bytes))); // fits the link's 1 kB ring
    QCOMPARE(d.records, controls::kCount + 3 + 1);
    for (int i = 0; i < controls::kCount; ++i) {
        const Assignment& s = stored.controls[i];
        const Assignment& g = d.preset.controls[i];
        const bool button = addressOf(i).kind == 2;
        QCOMPARE(g.cc, s.cc);
        QCOMPARE(g.chan, s.chan);
        QCOMPARE(g.port, s.port);
        QCOMPARE(g.type, s.type);
        QCOMPARE(d.behaviours[i], button ? s.type + 2 * s.mode : int(s.type));
    }
    QCOMPARE(d.preset.globals, stored.globals);
    QCOMPARE(int(d.preset.globals[0]), preset);
    // The presets differ from one another, so an upload visibly changes the editor.
    if (preset != 0) QVERIFY(stored.controls != emu.preset(0)->controls);
}

void TestEmulator::globalsAbove127AreEscaped() {
    Emulator emu;
    StoredPreset p = *emu.preset(24);
    const std::uint8_t values[] = {0x00, 0x34, 0x7F, 0x80, 0xC8, 0xFF, 0x56, 0x78};
    for (int i = 0; i < 8; ++i)
        p.globals[32 + i] = values[i];
    QVERIFY(emu.setPreset(24, p));
    const auto dump = emu.dumpOf(24);
    const Message& run = dump[dump.size() - 2]; // entries 32-47
    QCOMPARE(run[1], std::uint8_t(4));
    QCOMPARE(int(run[2]), 32);
    QCOMPARE(int(run[3]), 16);
    QCOMPARE(Message(run.begin() + 4, run.begin() + 4 + 24), hex("00"
                                                                 "3456780034"
                                                                 "7F"
                                                                 "3456780100"
                                                                 "3456780148"
                                                                 "345678017F"
                                                                 "56"
                                                                 "78"));
    const DecodedDump d = decodeDump(dump);
    QVERIFY(d.dataBytesBelow80);
    QCOMPARE(d.preset.globals, p.globals);

    // The factory preset carries one such value too.
    const auto factory = decodeDump(emu.dumpOf(0));
    QCOMPARE(int(factory.preset.globals[33]), 200);
}

void TestEmulator::dumpFaults_data() {
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("record");
    QTest::addColumn<Message>("expected");
    // Record 0 is the slider, 1-32 the encoders (factory preset: encoder i on number 20 + i,
    // channel i / 8).
    QTest::newRow("truncated encoder")
        << int(Emulator::DumpFault::Truncated) << 3 << hex("F0010200 16F7");
    QTest::newRow("encoder with channel 17")
        << int(Emulator::DumpFault::BadValue) << 9 << hex("F00108001C110000F7");
}

void TestEmulator::dumpFaults() {
    QFETCH(int, fault);
    QFETCH(int, record);
    QFETCH(Message, expected);
    Emulator::Options o;
    o.dumpFault = static_cast<Emulator::DumpFault>(fault);
    o.dumpFaultRecord = record;
    Emulator emu(o);
    const auto faulty = emu.dumpOf(0);
    const auto clean = Emulator().dumpOf(0);
    QCOMPARE(faulty.size(), clean.size());
    for (std::size_t i = 0; i < clean.size(); ++i) {
        if (int(i) == record)
            QCOMPARE(faulty[i], expected);
        else
            QCOMPARE(faulty[i], clean[i]);
    }
}

// The dump stops before record N: the records before it are those of the clean dump, and
// there is no end record.
void TestEmulator::dumpCutBeforeItsEnd() {
    Emulator::Options o;
    o.dumpFault = Emulator::DumpFault::Cut;
    o.dumpFaultRecord = 40;
    const auto cut = Emulator(o).dumpOf(0);
    const auto clean = Emulator().dumpOf(0);
    QCOMPARE(cut.size(), std::size_t(40));
    QVERIFY(std::equal(cut.begin(), cut.end(), clean.begin()));
    QCOMPARE(clean.back(), hex("F005F7"));
}

// A silent emulator answers nothing, not even the identity probe; one that ignores uploads
// still answers the probe; the identity delay applies to the probe alone; ignored probes are
// only the first ones.
void TestEmulator::silentAndUploadFaults() {
    const Message upload = hex("F000206B02050000F7");
    Emulator::Options silent;
    silent.silent = true;
    Emulator quiet(silent);
    QVERIFY(quiet.receive(kIdentityProbe).empty());
    QVERIFY(quiet.receive(upload).empty());

    Emulator::Options ignoring;
    ignoring.ignoreUploads = true;
    ignoring.identityDelayMs = 100;
    Emulator deaf(ignoring);
    QCOMPARE(deaf.receive(kIdentityProbe).size(), std::size_t(1));
    QVERIFY(deaf.receive(upload).empty());
    QCOMPARE(deaf.extraDelayFor(kIdentityProbe), 100u);
    QCOMPARE(deaf.extraDelayFor(upload), 0u);
    QVERIFY(!Emulator().receive(upload).empty());

    // A controller still starting: the first two probes go unanswered, the third is answered,
    // and so is everything else from the start.
    Emulator::Options starting;
    starting.ignoreProbes = 2;
    Emulator late(starting);
    QVERIFY(late.receive(kIdentityProbe).empty());
    QVERIFY(!late.receive(upload).empty());
    QVERIFY(late.receive(kIdentityProbe).empty());
    QCOMPARE(late.receive(kIdentityProbe).size(), std::size_t(1));
    QCOMPARE(late.receive(kIdentityProbe).size(), std::size_t(1));
}

// ---------------------------------------------------------------------------------------------
// Preset files

void TestEmulator::presetFile() {
    SavFile f;
    for (int i = 0; i < controls::kCount; ++i)
        f.controls[i] = {static_cast<std::uint8_t>(i % 2), static_cast<std::uint8_t>(171 - i),
                         static_cast<std::uint8_t>(i % 17), static_cast<std::uint8_t>(i % 6),
                         static_cast<std::uint8_t>((i / 3) % 2)};
    f.zones[0] = {1, 5, 1, 2, 0, 0, 59, 4, 12};
    f.zones[1] = {0, 6, 3, 4, 1, 60, 127, 5, 13};
    f.zones[2] = {1, 127, 127, 127, 4, 36, 96, 8, 24};
    f.presetNumber = 22;

    const auto bytes = encodeSav(f);
    QCOMPARE(bytes.size(), kSavSize);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(bytes.data()), 10), QByteArray("KORVALEN25"));
    // The first encoder record right after the signature, the preset number last.
    QCOMPARE(Message(bytes.begin() + 10, bytes.begin() + 15), hex("00AB000000"));
    QCOMPARE(Message(bytes.begin() + 320, bytes.begin() + 329), hex("0105010200003B040C"));
    QCOMPARE(int(bytes.back()), 22);
    const auto parsed = parseSav(bytes, nullptr);
    QVERIFY(parsed);
    QCOMPARE(*parsed, f);

    Emulator emu;
    const std::uint8_t zoneChannel = emu.preset(22)->globals[21];
    QVERIFY(emu.loadSav(f)); // into its own slot, 22
    QCOMPARE(emu.savOf(22), f);
    QCOMPARE(emu.preset(22)->globals[21], zoneChannel); // the file has no zone channels
    QVERIFY(emu.loadSav(f, 0));
    SavFile asFactory = f;
    asFactory.presetNumber = 0;
    QCOMPARE(emu.savOf(0), asFactory);
    f.presetNumber = 3;
    QVERIFY(!emu.loadSav(f));
    QVERIFY(!emu.loadSav(f, 30));

    // What is loaded is what an upload sends.
    const DecodedDump d = decodeDump(emu.dumpOf(22));
    QCOMPARE(d.preset.controls[5].cc, std::uint8_t(166));
    QCOMPARE(int(d.preset.globals[16]), 0b101); // zones 1 and 3 on
    QCOMPARE(int(d.preset.globals[45 + 2]), 96);
}

void TestEmulator::presetFileRejected_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QByteArray good = QByteArray("KORVALEN25") + QByteArray(338, '\0');
    QByteArray otherTail = good;
    otherTail.replace(6, 4, "XXXX");
    QByteArray wrong = good;
    wrong[2] = 'X';
    QTest::newRow("good") << good << true;
    QTest::newRow("bytes 6-9 differ") << otherTail << true;
    QTest::newRow("signature differs") << wrong << false;
    QTest::newRow("too short") << good.left(347) << false;
    QTest::newRow("empty") << QByteArray() << false;
}

void TestEmulator::presetFileRejected() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    std::string error;
    const auto f = parseSav(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), &error);
    QCOMPARE(f.has_value(), accepted);
    QCOMPARE(error.empty(), accepted);
}

// ---------------------------------------------------------------------------------------------
// Upgrade mode

void TestEmulator::upgradeProbe_data() {
    QTest::addColumn<bool>("upgradeMode");
    QTest::addColumn<bool>("normalModeReply");
    QTest::addColumn<bool>("anyIdentity");
    QTest::addColumn<bool>("wrongIdentity");
    QTest::addColumn<Message>("probe");
    QTest::addColumn<Message>("reply");

    const Message own = hex("F000206B02190000F7");
    QTest::newRow("upgrade mode: mode 2")
        << true << false << false << false << own << hex("F000206B0219006602F7");
    QTest::newRow("asked to answer mode 1")
        << true << true << false << false << own << hex("F000206B0219006601F7");
    QTest::newRow("normal mode: mode 1")
        << false << false << false << false << own << hex("F000206B0219006601F7");
    QTest::newRow("another identity: silence")
        << true << false << false << false << hex("F000206B02180000F7") << Message{};
    QTest::newRow("any identity") << true << false << true << false << hex("F011223344550000F7")
                                  << hex("F01122334455006602F7");
    QTest::newRow("wrong identity")
        << true << false << false << true << own << hex("F000206B0218006602F7");
    QTest::newRow("ten bytes: not a probe")
        << true << false << false << false << hex("F000206B0219000000F7") << Message{};
}

void TestEmulator::upgradeProbe() {
    QFETCH(bool, upgradeMode);
    QFETCH(bool, normalModeReply);
    QFETCH(bool, anyIdentity);
    QFETCH(bool, wrongIdentity);
    QFETCH(Message, probe);
    QFETCH(Message, reply);
    Emulator::Options o;
    o.mode = upgradeMode ? Emulator::Mode::Upgrade : Emulator::Mode::Normal;
    o.normalModeReply = normalModeReply;
    o.anyIdentity = anyIdentity;
    o.wrongIdentity = wrongIdentity;
    o.identityDelayMs = 100;
    Emulator emu(o);
    // The probe knob delays what the device answers as a probe, nothing else.
    QCOMPARE(emu.extraDelayFor(probe), reply.empty() ? 0u : 100u);
    QCOMPARE(emu.extraDelayFor(startMessage(5)), 0u);
    const auto replies = emu.receive(probe);
    if (reply.empty()) {
        QVERIFY(replies.empty());
    } else {
        QCOMPARE(replies.size(), std::size_t(1));
        QCOMPARE(replies[0], reply);
    }
    if (upgradeMode) QVERIFY(emu.receive(kIdentityProbe).empty());
}

void TestEmulator::upgradeTransfer_data() {
    QTest::addColumn<std::size_t>("length");
    QTest::addColumn<unsigned>("seed");
    QTest::newRow("1 byte") << std::size_t(1) << 1u;
    QTest::newRow("14 bytes: two full groups") << std::size_t(14) << 2u;
    QTest::newRow("28 bytes: one full block") << std::size_t(28) << 3u;
    QTest::newRow("29 bytes: a second block of one byte") << std::size_t(29) << 4u;
    QTest::newRow("100 kB") << std::size_t(100 * 1024) << 20240611u;
}

void TestEmulator::upgradeTransfer() {
    QFETCH(std::size_t, length);
    QFETCH(unsigned, seed);
    Emulator::Options o;
    o.mode = Emulator::Mode::Upgrade;
    Emulator emu(o);
    const auto body = randomBody(length, seed);
    QCOMPARE(transfer(emu, body), 0);
    QVERIFY(emu.transferComplete());
    QCOMPARE(emu.blockCount(), blockCountOf(length));
    QCOMPARE(emu.blocksAccepted(), blockCountOf(length));
    QVERIFY(emu.image() == body);
}

void TestEmulator::badBlockIsRepeated_data() {
    QTest::addColumn<QString>("fault");
    QTest::newRow("checksum does not match") << "checksum";
    QTest::newRow("payload byte with its top bit set") << "topbit";
    QTest::newRow("bit of a missing byte in the last group") << "highbits";
    QTest::newRow("another block number") << "number";
    QTest::newRow("a full block one byte short") << "short";
    QTest::newRow("the corrupt-block knob") << "knob";
}

void TestEmulator::badBlockIsRepeated() {
    QFETCH(QString, fault);
    Emulator::Options o;
    o.mode = Emulator::Mode::Upgrade;
    const unsigned bad = 5;
    if (fault == "knob") o.corruptBlock = int(bad);
    Emulator emu(o);
    // 7 blocks; the last holds 3 bytes, so its one group has four missing bytes.
    const auto body = randomBody(6 * 28 + 3, 99);
    bool tampered = false;
    const int repeats = transfer(emu, body, [&](unsigned k, Message& m) {
        const unsigned target = fault == "highbits" ? 6 : bad;
        if (k != target || tampered) return false;
        tampered = true;
        if (fault == "checksum") {
            m[12] ^= 0x01;
        } else if (fault == "topbit") {
            m[12] |= 0x80;
            setChecksum(m);
        } else if (fault == "highbits") {
            m[9] |= 0x01;
            setChecksum(m);
        } else if (fault == "number") {
            m[8] = static_cast<std::uint8_t>(m[8] - 1);
            setChecksum(m);
        } else if (fault == "short") {
            m.erase(m.end() - 2);
            setChecksum(m);
        }
        return true;
    });
    QCOMPARE(repeats, 1);
    QCOMPARE(emu.blocksRejected(), 1u);
    QVERIFY(emu.transferComplete());
    QVERIFY(emu.image() == body);
}

void TestEmulator::silenceAfterBlocks() {
    Emulator::Options o;
    o.mode = Emulator::Mode::Upgrade;
    o.silenceAfterBlocks = 3;
    Emulator emu(o);
    const auto body = randomBody(10 * 28, 7);
    QCOMPARE(emu.receive(startMessage(10)), std::vector<Message>{Emulator::nextRequest()});
    for (unsigned k = 0; k < 3; ++k)
        QCOMPARE(emu.receive(dataBlock(body, k)), std::vector<Message>{Emulator::nextRequest()});
    QVERIFY(emu.receive(dataBlock(body, 3)).empty());
    QCOMPARE(emu.blocksAccepted(), 3u);
    QVERIFY(!emu.transferComplete());

    // The worked example of a three-byte body, and an image of no blocks at all.
    Emulator small(o);
    QCOMPARE(dataBlock({0x41, 0xC2, 0x03}, 0), hex("F0640251541800000120414203F7"));
    QCOMPARE(transfer(small, {0x41, 0xC2, 0x03}), 0);
    QVERIFY(small.image() == (std::vector<std::uint8_t>{0x41, 0xC2, 0x03}));
    Emulator empty(o);
    QCOMPARE(empty.receive(startMessage(0)), std::vector<Message>{Emulator::nextRequest()});
    QVERIFY(empty.transferComplete());
    QVERIFY(empty.image().empty());
}

// The knob for a device that never takes one block: it asks for block K again each time,
// the blocks before it are taken, and nothing after it is reached.
void TestEmulator::repeatBlockEveryTime() {
    Emulator::Options o;
    o.mode = Emulator::Mode::Upgrade;
    o.repeatBlock = 2;
    Emulator emu(o);
    const auto body = randomBody(5 * 28, 8);
    QCOMPARE(emu.receive(startMessage(5)), std::vector<Message>{Emulator::nextRequest()});
    for (unsigned k = 0; k < 2; ++k)
        QCOMPARE(emu.receive(dataBlock(body, k)), std::vector<Message>{Emulator::nextRequest()});
    for (int i = 0; i < 20; ++i)
        QCOMPARE(emu.receive(dataBlock(body, 2)), std::vector<Message>{Emulator::repeatRequest()});
    QCOMPARE(emu.blocksAccepted(), 2u);
    QCOMPARE(emu.blocksRejected(), 20u);
    QVERIFY(!emu.transferComplete());
}

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
