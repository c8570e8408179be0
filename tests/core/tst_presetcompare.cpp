// Two presets compared control by control: which fields are listed, in which order, and the
// texts of their values as the window's boxes show them.
#include "presetcompare.h"

#include <QTest>

#include <functional>

using namespace korvalen;

using Change = std::function<void(PresetValues&)>;
Q_DECLARE_METATYPE(Change)

namespace {

// "control|bank|field|first|second" per difference.
QStringList rows(const std::vector<ComparedField>& list) {
    QStringList out;
    for (const ComparedField& d : list)
        out << QString::fromStdString(d.control + "|" + d.bank + "|" + d.name + "|" + d.firstText +
                                      "|" + d.secondText);
    return out;
}

} // namespace

class TestPresetCompare : public QObject {
    Q_OBJECT

private slots:
    void pairs_data() {
        QTest::addColumn<Change>("first");  // applied to a default preset
        QTest::addColumn<Change>("second"); // applied to a default preset
        QTest::addColumn<bool>("zoneChannels");
        QTest::addColumn<QStringList>("expected");
        const Change none = [](PresetValues&) {};
        QTest::newRow("equal") << none << none << true << QStringList{};
        QTest::newRow("encoder channel in bank 2")
            << none << Change([](PresetValues& v) { v.encoders[8 + 2].chan = 4; }) << true
            << QStringList{"E3|BANK 2|channel|Ch1|Ch5"};
        QTest::newRow("channel and port none")
            << Change([](PresetValues& v) { v.slider.chan = kMaxChannel; })
            << Change([](PresetValues& v) { v.slider.port = kMaxPort; }) << true
            << QStringList{"S1||channel|--|Ch1", "S1||port|P1|--"};
        QTest::newRow("pad of bank B: type, and its number from the note list")
            << Change([](PresetValues& v) { v.pads[4 + 3].cc = 60; })
            << Change([](PresetValues& v) {
                   v.pads[4 + 3].type = 1;
                   v.pads[4 + 3].cc = 61;
                   v.pads[4 + 3].mode = 1;
               })
            << true
            << QStringList{"P4|B|type|Control|Note", "P4|B|number|60  Undefined|61    C#4",
                           "P4|B|mode|toggle|momentary"};
        // Encoders and the slider have no type or mode box; zone 1 has no on/off.
        QTest::newRow("fields without a box are not listed") << none << Change([](PresetValues& v) {
            v.encoders[0].type = 1;
            v.slider.mode = 1;
            v.zones[0].status = 1;
        }) << true << QStringList{};
        QTest::newRow("page order: encoders, buttons, pads, transport, slider, zones")
            << none << Change([](PresetValues& v) {
                   v.zones[2].trans = 10;
                   v.slider.cc = 7;
                   v.transport[3].port = 2;
                   v.pads[0].chan = 1;
                   v.functions[15].cc = 1;
                   v.encoders[31].port = 1;
               })
            << true << QStringList{"E8|BANK 4|port|P1|P2",
                                   "F4|BANK 4|number|0  Bank Select|1  Modulation",
                                   "P1|A|channel|Ch1|Ch2",
                                   "PLAY||port|P1|P3",
                                   "S1||number|0  Bank Select|7  ChanVolume",
                                   "Zone3||transpose|0|- 2"};
        QTest::newRow("zone fields") << Change([](PresetValues& v) { v.zones[1].status = 1; })
                                     << Change([](PresetValues& v) {
                                            v.zones[1].oct = 6;
                                            v.zones[1].rangSta = 36;
                                            v.zones[1].msb = 5;
                                        })
                                     << true
                                     << QStringList{"Zone2||on/off|ON|OFF", "Zone2||bank MSB|0|5",
                                                    "Zone2||lowest key|0|36", "Zone2||octave|0|2"};
        QTest::newRow("zone channels left out for a file") << none << Change([](PresetValues& v) {
            v.zones[0].chan = 3;
            v.zones[0].port = 1;
        }) << false << QStringList{"Zone1||port|P1|P2"};
        QTest::newRow("zone channels compared when both sides hold them")
            << none << Change([](PresetValues& v) { v.zones[0].chan = 3; }) << true
            << QStringList{"Zone1||channel|Ch1|Ch4"};
        QTest::newRow("values out of range")
            << Change([](PresetValues& v) { v.functions[0].cc = 200; })
            << Change([](PresetValues& v) {
                   v.functions[0].type = 1;
                   v.functions[0].cc = 150;
               })
            << true
            << QStringList{"F1|BANK 1|type|Control|Note",
                           "F1|BANK 1|number|200 (out of range)|150 (out of range)"};
    }

    void pairs() {
        QFETCH(Change, first);
        QFETCH(Change, second);
        QFETCH(bool, zoneChannels);
        QFETCH(QStringList, expected);
        PresetValues a, b;
        first(a);
        second(b);
        const auto list = comparePresets(a, b, zoneChannels);
        QCOMPARE(rows(list), expected);
        // The other way round: the same fields, the sides swapped.
        QStringList swapped;
        for (const ComparedField& d : comparePresets(b, a, zoneChannels))
            swapped << QString::fromStdString(d.control + "|" + d.bank + "|" + d.name + "|" +
                                              d.secondText + "|" + d.firstText);
        QCOMPARE(swapped, expected);
        // Taking every second value into the first preset leaves nothing to list.
        for (const ComparedField& d : list) {
            QCOMPARE(valueOf(a, d.field), d.first);
            setFieldValue(a, d.field, d.second);
        }
        QVERIFY(comparePresets(a, b, zoneChannels).empty());
    }

    void everyFieldWithABoxIsComparedOnce() {
        // Each field of the preset with a box, once: 32 encoders and the slider with three
        // fields, 29 buttons with five, 29 zone fields.
        const auto& fields = comparedFields();
        QCOMPARE(fields.size(), std::size_t(33 * 3 + 29 * 5 + 29));
        for (std::size_t i = 0; i < fields.size(); ++i)
            for (std::size_t k = i + 1; k < fields.size(); ++k)
                QVERIFY(!(fields[i] == fields[k]));
        // Every one is found when it alone differs.
        for (const PresetField& f : fields) {
            PresetValues a, b;
            setFieldValue(b, f, static_cast<std::uint8_t>(valueOf(a, f) == 1 ? 0 : 1));
            const auto list = comparePresets(a, b);
            QCOMPARE(list.size(), std::size_t(1));
            QVERIFY(list.front().field == f);
        }
    }
};

QTEST_APPLESS_MAIN(TestPresetCompare)
#include "tst_presetcompare.moc"
