// What the controls send and the way back from a received message to the controls of a preset
// (all banks) that could have sent it.
#include "controlmessages.h"

#include <QTest>

#include <functional>
#include <vector>

using korvalen::AssignmentValues;
using korvalen::ControlFinder;
using korvalen::ControlGroup;
using korvalen::ControlRef;
using korvalen::MidiMessage;
using korvalen::PresetValues;
using korvalen::SentAssignment;

namespace {

AssignmentValues assign(int type, int cc, int chan, int mode = 0) {
    return {std::uint8_t(type), std::uint8_t(cc), std::uint8_t(chan), 0, std::uint8_t(mode)};
}

// No two controls send the same: encoders on CC 20-51 (channel 1), function buttons on CC
// 102-117 (channel 2), pads on notes 36-43 (channel 10), transport on MMC stop to rewind, the
// slider on CC 7 (channel 1); zone 1 over the whole keyboard on channel 1, zones 2 and 3 off.
PresetValues basePreset() {
    PresetValues p;
    for (int i = 0; i < 32; ++i)
        p.encoders[std::size_t(i)] = assign(0, 20 + i, 0);
    for (int i = 0; i < 16; ++i)
        p.functions[std::size_t(i)] = assign(0, 102 + i, 1);
    for (int i = 0; i < 8; ++i)
        p.pads[std::size_t(i)] = assign(1, 36 + i, 9, 1);
    for (int i = 0; i < 5; ++i)
        p.transport[std::size_t(i)] = assign(0, 158 + i, 0, 1);
    p.slider = assign(0, 7, 0);
    p.zones[0] = {1, 0, 0, 0, 0, 0, 0, 127, 4, 12};
    p.zones[1] = {0, 0, 0, 0, 1, 0, 0, 47, 4, 12};
    p.zones[2] = {0, 0, 0, 0, 2, 0, 48, 127, 4, 12};
    return p;
}

struct Row {
    const char* name;
    std::function<void(PresetValues&)> change;
    std::vector<MidiMessage> messages; // the last one is looked up, the ones before set up
    QStringList expected;
};

const std::vector<Row>& rows() {
    static const std::vector<Row> table = {
        // Controller numbers.
        {"encoder, bank 1", {}, {{0xB0, 20, 64}}, {"E1 bank 1"}},
        {"encoder, bank 3", {}, {{0xB0, 20 + 16 + 2, 0}}, {"E3 bank 3"}},
        {"several encoders on one CC and channel",
         [](PresetValues& p) {
             p.encoders[8 + 2] = assign(0, 7, 2);
             p.encoders[24 + 6] = assign(0, 7, 2);
         },
         {{0xB2, 7, 100}},
         {"E3 bank 2", "E7 bank 4"}},
        {"slider", {}, {{0xB0, 7, 3}}, {"S1"}},
        {"another channel matches nothing", {}, {{0xB1, 20, 64}}, {}},
        {"a CC no control sends", {}, {{0xB5, 80, 1}}, {}},
        {"function button, CC", {}, {{0xB1, 102, 127}}, {"F1 bank 1"}},
        {"function button release", {}, {{0xB1, 102 + 4, 0}}, {"F1 bank 2"}},
        {"function button, note",
         [](PresetValues& p) { p.functions[5] = assign(1, 60, 1); },
         {{0x91, 60, 127}},
         {"F2 bank 2"}},
        {"encoder type is not sent",
         [](PresetValues& p) { p.encoders[0].type = 1; },
         {{0xB0, 20, 1}},
         {"E1 bank 1"}},
        {"encoder type note sends no note",
         [](PresetValues& p) { p.encoders[0].type = 1; },
         {{0x90, 20, 100}},
         {"Zone 1"}},
        {"note off is no touch",
         [](PresetValues& p) { p.functions[5] = assign(1, 60, 1); },
         {{0x81, 60, 0}},
         {}},
        {"note on with velocity 0 is no touch",
         [](PresetValues& p) { p.functions[5] = assign(1, 60, 1); },
         {{0x91, 60, 0}},
         {}},
        // Pads and the keyboard.
        {"pad, bank A", {}, {{0x99, 36, 127}}, {"P1 bank A"}},
        {"pad, bank B", {}, {{0x99, 43, 127}}, {"P4 bank B"}},
        {"pad and a key",
         [](PresetValues& p) { p.zones[0].chan = 9; },
         {{0x99, 37, 90}},
         {"P2 bank A", "Zone 1"}},
        {"key of zone 1", {}, {{0x90, 60, 90}}, {"Zone 1"}},
        {"zone 1 is on whatever its status",
         [](PresetValues& p) { p.zones[0].status = 0; },
         {{0x90, 60, 90}},
         {"Zone 1"}},
        {"key outside the range",
         [](PresetValues& p) {
             p.zones[0].rangSta = 48;
             p.zones[0].rangEnd = 72;
         },
         {{0x90, 36, 90}},
         {}},
        {"zone 2 off", {}, {{0x91, 40, 90}}, {}},
        {"zone 2 on, octave and transpose",
         [](PresetValues& p) {
             p.zones[1].status = 1;
             p.zones[1].oct = 5;    // one octave up
             p.zones[1].trans = 14; // two semitones up
         },
         {{0x91, 40 + 12 + 2, 90}},
         {"Zone 2"}},
        {"zone 2 shifted: the key below its range",
         [](PresetValues& p) {
             p.zones[1].status = 1;
             p.zones[1].oct = 3; // one octave down
         },
         {{0x91, 40, 90}},
         {}},
        {"zone on channel --",
         [](PresetValues& p) { p.zones[2] = {1, 0, 0, 0, 16, 0, 0, 127, 4, 12}; },
         {{0x90, 60, 90}},
         {"Zone 1", "Zone 3"}},
        // A channel of "--" follows zone 1.
        {"channel -- follows zone 1",
         [](PresetValues& p) {
             p.encoders[4] = assign(0, 90, 16);
             p.zones[0].chan = 4;
         },
         {{0xB4, 90, 1}},
         {"E5 bank 1"}},
        {"channel -- is not another channel",
         [](PresetValues& p) {
             p.encoders[4] = assign(0, 90, 16);
             p.zones[0].chan = 4;
         },
         {{0xB0, 90, 1}},
         {}},
        {"channel -- with zone 1 on -- too",
         [](PresetValues& p) {
             p.encoders[4] = assign(0, 90, 16);
             p.zones[0].chan = 16;
         },
         {{0xB0, 90, 1}},
         {"E5 bank 1"}},
        // Device functions with a channel.
        {"program change",
         [](PresetValues& p) { p.slider = assign(0, 145, 4); },
         {{0xC4, 5}},
         {"S1"}},
        {"program change on another channel",
         [](PresetValues& p) { p.slider = assign(0, 145, 4); },
         {{0xC3, 5}},
         {}},
        {"pitch bend",
         [](PresetValues& p) { p.functions[12 + 2] = assign(0, 171, 0); },
         {{0xE0, 0, 64}},
         {"F3 bank 4"}},
        {"channel pressure",
         [](PresetValues& p) { p.encoders[1] = assign(0, 144, 3); },
         {{0xD3, 64}},
         {"E2 bank 1"}},
        {"pitch bend sensitivity (RPN 0/0)",
         [](PresetValues& p) { p.encoders[1] = assign(0, 128, 0); },
         {{0xB0, 101, 0}, {0xB0, 100, 0}, {0xB0, 6, 64}},
         {"E2 bank 1"}},
        {"coarse tuning (RPN 0/2)",
         [](PresetValues& p) { p.encoders[1] = assign(0, 130, 0); },
         {{0xB0, 101, 0}, {0xB0, 100, 2}, {0xB0, 6, 64}},
         {"E2 bank 1"}},
        {"vibrato rate (NRPN 1/8)",
         [](PresetValues& p) { p.pads[2] = assign(0, 131, 5); },
         {{0xB5, 99, 1}, {0xB5, 98, 8}, {0xB5, 6, 64}},
         {"P3 bank A"}},
        {"EG release (NRPN 1/102)",
         [](PresetValues& p) { p.pads[2] = assign(0, 143, 5); },
         {{0xB5, 99, 1}, {0xB5, 98, 102}, {0xB5, 6, 64}},
         {"P3 bank A"}},
        {"data entry after the parameter of another channel",
         [](PresetValues& p) {
             p.encoders[1] = assign(0, 128, 0);
             p.encoders[3] = assign(0, 6, 0);
         },
         {{0xB1, 101, 0}, {0xB1, 100, 0}, {0xB0, 6, 64}},
         {"E4 bank 1"}},
        {"data entry without a parameter",
         [](PresetValues& p) {
             p.encoders[1] = assign(0, 128, 0);
             p.encoders[3] = assign(0, 6, 0);
         },
         {{0xB0, 6, 64}},
         {"E4 bank 1"}},
        {"a parameter no function sets",
         [](PresetValues& p) {
             p.encoders[1] = assign(0, 128, 0);
             p.encoders[3] = assign(0, 6, 0);
         },
         {{0xB0, 101, 0}, {0xB0, 100, 9}, {0xB0, 6, 64}},
         {"E4 bank 1"}},
        {"an RPN number is a CC of its own",
         [](PresetValues& p) { p.encoders[3] = assign(0, 101, 0); },
         {{0xB0, 101, 0}},
         {"E4 bank 1"}},
        // Device functions without a channel.
        {"MMC play on the transport",
         [](PresetValues& p) { p.transport[3] = assign(0, 159, 5); },
         {{0xF0, 0x7F, 0x7F, 0x06, 0x02, 0xF7}},
         {"FF", "PLAY"}},
        {"MMC stop, every device id", {}, {{0xF0, 0x7F, 0x10, 0x06, 0x01, 0xF7}}, {"REW"}},
        {"MMC rewind", {}, {{0xF0, 0x7F, 0x7F, 0x06, 0x05, 0xF7}}, {"REC"}},
        {"start on a pad and the transport",
         [](PresetValues& p) {
             p.pads[7] = assign(0, 148, 0);
             p.transport[0] = assign(0, 148, 3);
         },
         {{0xFA}},
         {"P4 bank B", "REW"}},
        {"stop",
         [](PresetValues& p) { p.functions[0] = assign(0, 150, 7); },
         {{0xFC}},
         {"F1 bank 1"}},
        {"a note above 127 on a pad sends nothing",
         [](PresetValues& p) { p.pads[0] = assign(1, 150, 9); },
         {{0xFC}},
         {}},
        {"song select",
         [](PresetValues& p) { p.functions[1] = assign(0, 146, 7); },
         {{0xF3, 4}},
         {"F2 bank 1"}},
        {"master volume",
         [](PresetValues& p) { p.slider = assign(0, 152, 0); },
         {{0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x40, 0xF7}},
         {"S1"}},
        {"GS on",
         [](PresetValues& p) { p.functions[3] = assign(0, 156, 0); },
         {{0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}},
         {"F4 bank 1"}},
        {"GM2 on",
         [](PresetValues& p) { p.functions[3] = assign(0, 157, 0); },
         {{0xF0, 0x7E, 0x7F, 0x09, 0x03, 0xF7}},
         {"F4 bank 1"}},
        // What no control sends.
        {"the identity reply",
         {},
         {{0xF0, 0x00, 0x00, 0x66, 0x14, 0x1B, 0x01, 0x02, 0x5A, 0x74, 0xF7}},
         {}},
        {"a dump record", {}, {{0xF0, 0x01, 0x02, 0x00, 0x07, 0x00, 0x00, 0x00, 0xF7}}, {}},
        {"a cut short message", {}, {{0xB0, 20}}, {}},
        {"a stray data byte", {}, {{0x20}}, {}},
        {"clock", {}, {{0xF8}}, {}},
    };
    return table;
}

QStringList names(const std::vector<korvalen::SendingControl>& controls) {
    QStringList out;
    for (const auto& c : controls)
        out << QString::fromStdString(korvalen::controlName(c));
    return out;
}

QStringList find(const PresetValues& values, const std::vector<MidiMessage>& messages) {
    ControlFinder finder;
    std::optional<SentAssignment> sent;
    for (const MidiMessage& m : messages)
        sent = finder.read(m);
    return sent ? names(korvalen::controlsSending(values, *sent)) : QStringList();
}

// Every control reference of a preset, in the finder's order.
std::vector<ControlRef> everyControl() {
    std::vector<ControlRef> all;
    for (int b = 0; b < 4; ++b)
        for (int k = 0; k < 8; ++k)
            all.push_back({ControlGroup::Encoder, b, k});
    for (int b = 0; b < 4; ++b)
        for (int k = 0; k < 4; ++k)
            all.push_back({ControlGroup::Function, b, k});
    for (int b = 0; b < 2; ++b)
        for (int k = 0; k < 4; ++k)
            all.push_back({ControlGroup::Pad, b, k});
    for (int k = 0; k < 5; ++k)
        all.push_back({ControlGroup::Transport, 0, k});
    all.push_back({ControlGroup::Slider, 0, 0});
    return all;
}

AssignmentValues& valuesAt(PresetValues& p, const ControlRef& r) {
    return korvalen::assignmentOf(p, r);
}

// A preset where no control sends anything the one under test could: every other control on a
// note above 127 as a note button, or CC 127 on channel 16 for encoders and the slider.
PresetValues quietPreset() {
    PresetValues p;
    for (const ControlRef& r : everyControl()) {
        const bool button = r.group == ControlGroup::Function || r.group == ControlGroup::Pad ||
                            r.group == ControlGroup::Transport;
        valuesAt(p, r) = button ? assign(1, 150, 0) : assign(0, 127, 15);
    }
    p.zones[0].rangSta = 1; // zone 1 over no key at all
    p.zones[0].rangEnd = 0;
    return p;
}

} // namespace

class TestControlMessages : public QObject {
    Q_OBJECT

private slots:
    void controlsOfAMessage_data() {
        QTest::addColumn<int>("row");
        for (std::size_t i = 0; i < rows().size(); ++i)
            QTest::newRow(rows()[i].name) << int(i);
    }
    void controlsOfAMessage() {
        QFETCH(int, row);
        const Row& r = rows()[std::size_t(row)];
        PresetValues values = basePreset();
        if (r.change) r.change(values);
        QCOMPARE(find(values, r.messages), r.expected);
    }

    // Touching any control with any assignment and reading what it sent finds that control, and
    // only it: the two directions agree for every control, assignment kind and channel rule.
    void touchIsFoundAgain_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("chan");
        for (int number : {0, 6, 7, 64, 98, 101, 127})
            QTest::addRow("CC %d", number) << 0 << number << 3;
        for (int number : {0, 60, 127})
            QTest::addRow("note %d", number) << 1 << number << 9;
        for (int number = 128; number <= 171; ++number)
            QTest::addRow("function %d", number) << 0 << number << 5;
        QTest::addRow("CC 20 on channel --") << 0 << 20 << 16;
        QTest::addRow("note 61 on channel --") << 1 << 61 << 16;
        QTest::addRow("program change on channel --") << 0 << 145 << 16;
    }
    void touchIsFoundAgain() {
        QFETCH(int, type);
        QFETCH(int, number);
        QFETCH(int, chan);
        for (const ControlRef& r : everyControl()) {
            PresetValues values = quietPreset();
            values.zones[0].chan = 6; // "--" sends on channel 7
            valuesAt(values, r) = assign(type, number, chan, 1);
            const korvalen::SendingControl control{false, r, 0};
            const bool button = r.group == ControlGroup::Function || r.group == ControlGroup::Pad ||
                                r.group == ControlGroup::Transport;
            const auto messages = korvalen::controlMessages(values, r, 64);
            const QString where = QString::fromStdString(korvalen::controlName(control));
            QVERIFY2(!messages.empty(), qPrintable(where));
            // The last message that reads as a control's: a release repeats the press, and a
            // data entry follows the choice of its parameter.
            ControlFinder finder;
            std::optional<SentAssignment> last;
            for (const MidiMessage& m : messages)
                if (auto sent = finder.read(m)) last = sent;
            QVERIFY2(last.has_value(), qPrintable(where));
            QCOMPARE(names(korvalen::controlsSending(values, *last)), QStringList{where});
            const int expectedChannel = chan == 16 ? 6 : chan;
            if (last->channel >= 0) QCOMPARE(last->channel, expectedChannel);
            // An encoder or the slider sends a controller however its type is set.
            if (!button && number <= 127) QCOMPARE(last->kind, SentAssignment::Kind::Controller);
        }
    }

    // The messages themselves, byte for byte, for a few assignments.
    void messagesOfATouch_data() {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QList<QByteArray>>("expected");
        auto bytes = [](std::initializer_list<int> b) {
            QByteArray out;
            for (int v : b)
                out.append(char(v));
            return out;
        };
        QTest::newRow("CC, toggle") << 0 << 7 << 0 << QList<QByteArray>{bytes({0xB2, 7, 100})};
        QTest::newRow("CC, momentary")
            << 0 << 7 << 1 << QList<QByteArray>{bytes({0xB2, 7, 100}), bytes({0xB2, 7, 0})};
        QTest::newRow("note, toggle") << 1 << 60 << 0 << QList<QByteArray>{bytes({0x92, 60, 100})};
        QTest::newRow("note, momentary")
            << 1 << 60 << 1 << QList<QByteArray>{bytes({0x92, 60, 100}), bytes({0x82, 60, 0})};
        QTest::newRow("note above 127") << 1 << 130 << 0 << QList<QByteArray>{};
        QTest::newRow("pitch bend sensitivity")
            << 0 << 128 << 1
            << QList<QByteArray>{bytes({0xB2, 101, 0}), bytes({0xB2, 100, 0}),
                                 bytes({0xB2, 6, 100})};
        QTest::newRow("vibrato delay")
            << 0 << 133 << 0
            << QList<QByteArray>{bytes({0xB2, 99, 1}), bytes({0xB2, 98, 10}),
                                 bytes({0xB2, 6, 100})};
        QTest::newRow("program change") << 0 << 145 << 1 << QList<QByteArray>{bytes({0xC2, 100})};
        QTest::newRow("pitch bend") << 0 << 171 << 0 << QList<QByteArray>{bytes({0xE2, 0, 100})};
        QTest::newRow("continue") << 0 << 149 << 1 << QList<QByteArray>{bytes({0xFB})};
        QTest::newRow("system reset") << 0 << 151 << 0 << QList<QByteArray>{bytes({0xFF})};
        QTest::newRow("master balance")
            << 0 << 153 << 0
            << QList<QByteArray>{bytes({0xF0, 0x7F, 0x7F, 0x04, 0x02, 0x00, 100, 0xF7})};
        QTest::newRow("XG on") << 0 << 155 << 0
                               << QList<QByteArray>{bytes(
                                      {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7})};
        QTest::newRow("MMC stop") << 0 << 158 << 0
                                  << QList<QByteArray>{bytes({0xF0, 0x7F, 0x7F, 0x06, 0x01, 0xF7})};
        QTest::newRow("MMC reset")
            << 0 << 170 << 0 << QList<QByteArray>{bytes({0xF0, 0x7F, 0x7F, 0x06, 0x0D, 0xF7})};
    }
    void messagesOfATouch() {
        QFETCH(int, type);
        QFETCH(int, number);
        QFETCH(int, mode);
        QFETCH(QList<QByteArray>, expected);
        PresetValues values;
        values.functions[0] = assign(type, number, 2, mode);
        QList<QByteArray> got;
        for (const MidiMessage& m :
             korvalen::controlMessages(values, {ControlGroup::Function, 0, 0}, 100))
            got << QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size()));
        QCOMPARE(got, expected);
    }

    // A key sends in every zone that holds it, shifted by the zone's octave and transpose.
    void keys() {
        PresetValues values = basePreset();
        values.zones[1] = {1, 0, 0, 0, 1, 0, 0, 47, 5, 10}; // +12 - 2
        values.zones[2] = {0, 0, 0, 0, 2, 0, 48, 127, 4, 12};
        QCOMPARE(korvalen::keyMessages(values, 40, 90),
                 (std::vector<MidiMessage>{{0x90, 40, 90}, {0x91, 50, 90}}));
        QCOMPARE(korvalen::keyMessages(values, 60, 90), (std::vector<MidiMessage>{{0x90, 60, 90}}));
        values.zones[0].rangEnd = 10;
        QCOMPARE(korvalen::keyMessages(values, 60, 90), std::vector<MidiMessage>{});
        // Shifted past note 127: nothing.
        values.zones[1] = {1, 0, 0, 0, 1, 0, 0, 127, 8, 24};
        QCOMPARE(korvalen::keyMessages(values, 100, 90), std::vector<MidiMessage>{});
        QCOMPARE(korvalen::keyMessages(values, 128, 90), std::vector<MidiMessage>{});
    }

    void controlNames_data() {
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("bank");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("name");
        QTest::newRow("encoder") << int(ControlGroup::Encoder) << 3 << 7 << "E8 bank 4";
        QTest::newRow("function") << int(ControlGroup::Function) << 0 << 0 << "F1 bank 1";
        QTest::newRow("pad A") << int(ControlGroup::Pad) << 0 << 1 << "P2 bank A";
        QTest::newRow("pad B") << int(ControlGroup::Pad) << 1 << 3 << "P4 bank B";
        QTest::newRow("REW") << int(ControlGroup::Transport) << 0 << 0 << "REW";
        QTest::newRow("REC") << int(ControlGroup::Transport) << 0 << 4 << "REC";
        QTest::newRow("slider") << int(ControlGroup::Slider) << 0 << 0 << "S1";
    }
    void controlNames() {
        QFETCH(int, group);
        QFETCH(int, bank);
        QFETCH(int, index);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(korvalen::controlName(
                     korvalen::sendingControl(ControlGroup(group), bank, index))),
                 name);
        QCOMPARE(QString::fromStdString(korvalen::controlName(korvalen::sendingZone(1))),
                 QStringLiteral("Zone 2"));
    }
};

QTEST_APPLESS_MAIN(TestControlMessages)
#include "tst_controlmessages.moc"
