// Presets compared field by field, and the resend of a download's fields: which field a change
// is found in, what it is called, and which messages send it again.
#include "presetdiff.h"
#include "presetglobals.h"

#include <QTest>

#include <array>
#include <functional>
#include <optional>

using namespace korvalen;

Q_DECLARE_METATYPE(std::function<void(PresetValues&)>)

namespace {

// A preset with a value in every field, none of them at its default.
PresetValues busyPreset() {
    PresetValues v;
    int n = 1;
    auto fill = [&n](AssignmentValues& a) {
        a = {static_cast<std::uint8_t>(n % 2), static_cast<std::uint8_t>(n % 120),
             static_cast<std::uint8_t>(n % 16), static_cast<std::uint8_t>(n % 5),
             static_cast<std::uint8_t>((n / 2) % 2)};
        ++n;
    };
    fill(v.slider);
    for (auto& a : v.encoders)
        fill(a);
    for (auto& a : v.functions)
        fill(a);
    for (auto& a : v.transport)
        fill(a);
    for (auto& a : v.pads)
        fill(a);
    for (int z = 0; z < 3; ++z)
        v.zones[z] = {
            1, static_cast<std::uint8_t>(10 + z), 2, 3, static_cast<std::uint8_t>(z), 1, 20, 90, 5,
            13};
    return v;
}

using Sent = std::vector<std::vector<std::uint8_t>>;

Sent resend(const PresetValues& values, const std::vector<PresetField>& fields) {
    Sent sent;
    sendDownloadFields(values, 17, fields, [&sent](const std::uint8_t* d, std::size_t n) {
        sent.emplace_back(d, d + n);
    });
    return sent;
}

// The dump a controller sends for `values` stored as `number`; `globals` changes the globals
// block before it goes out, `skip` leaves out the record of that control.
std::vector<std::uint8_t> dumpOf(const PresetValues& values, int number,
                                 const std::function<void(std::array<int, 48>&)>& globals = {},
                                 std::optional<ControlRef> skip = std::nullopt) {
    std::vector<std::uint8_t> dump;
    PresetValues v = values;
    auto record = [&](ControlRef c, int kind, int n) {
        if (skip && *skip == c) return;
        const AssignmentValues& a = assignmentOf(v, c);
        const int behaviour = kind == control::kButtonKind ? a.type + 2 * a.mode : a.type;
        const auto r = dumpAssignmentRecord(kind, n, a.cc, a.chan, a.port, behaviour);
        dump.insert(dump.end(), r.begin(), r.end());
    };
    record({ControlGroup::Slider, 0, 0}, control::kSliderKind, control::kSliderNumber);
    for (int i = 0; i < 32; ++i)
        record({ControlGroup::Encoder, i / 8, i % 8}, control::kEncoderKind, i);
    for (int i = 0; i < 16; ++i)
        record({ControlGroup::Function, i / 4, i % 4}, control::kButtonKind,
               control::kFirstFunction + i);
    for (int i = 0; i < 5; ++i)
        record({ControlGroup::Transport, 0, i}, control::kButtonKind,
               control::kTransportNumbers[std::size_t(i)]);
    for (int i = 0; i < 8; ++i)
        record({ControlGroup::Pad, i / 4, i % 4}, control::kButtonKind, control::kFirstPad + i);
    std::array<int, 48> g{};
    fillPresetGlobals(g, values, number);
    if (globals) globals(g);
    // Written by hand so that a value above a byte can go out escaped.
    dump.insert(dump.end(), {0xF0, 0x04, 0x00, 48});
    for (const int value : g) {
        if (value >= 0x80 || value == 0x34)
            dump.insert(dump.end(),
                        {0x34, 0x56, 0x78, std::uint8_t(value >> 7), std::uint8_t(value & 0x7F)});
        else
            dump.push_back(std::uint8_t(value));
    }
    dump.push_back(0xF7);
    dump.insert(dump.end(), kDumpEndRecord.begin(), kDumpEndRecord.end());
    return dump;
}

QString fieldNameOf(ControlRef c, AssignmentField f) {
    return QString::fromStdString(
        fieldName(PresetField{PresetField::Kind::Assignment, c, f, 0, ZoneField::Status}));
}

QStringList named(const ReadBackCheck& check) {
    QStringList list;
    for (const FieldDifference& d : check.shortfall)
        list << QString::fromStdString(fieldName(d.field));
    return list;
}

} // namespace

class TestPresetDiff : public QObject {
    Q_OBJECT

private slots:
    void oneChangeIsOneNamedField_data() {
        QTest::addColumn<std::function<void(PresetValues&)>>("change");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("resent"); // the message that sends it again, in hex
        using F = std::function<void(PresetValues&)>;
        QTest::newRow("encoder channel")
            << F([](PresetValues& v) { v.encoders[8 * 1 + 2].chan = 15; }) << "E3, BANK 2: channel"
            << QByteArray("f000206b0202010a000f0000f7");
        QTest::newRow("function button mode")
            << F([](PresetValues& v) { v.functions[4 * 3 + 0].mode ^= 1; }) << "F1, BANK 4: mode"
            << QByteArray();
        QTest::newRow("pad type") << F([](PresetValues& v) { v.pads[4 + 1].type ^= 1; })
                                  << "P2, bank B: type" << QByteArray();
        QTest::newRow("transport number") << F([](PresetValues& v) { v.transport[3].cc = 131; })
                                          << "PLAY: number" << QByteArray();
        QTest::newRow("slider port")
            << F([](PresetValues& v) { v.slider.port = 5; }) << "S1: port" << QByteArray();
        QTest::newRow("zone octave") << F([](PresetValues& v) { v.zones[2].oct = 8; })
                                     << "Zone3: octave" << QByteArray("f000206b02061b0008f7");
        QTest::newRow("zone status") << F([](PresetValues& v) { v.zones[1].status = 0; })
                                     << "Zone2: on/off" << QByteArray("f000206b0206100005f7");
    }
    void oneChangeIsOneNamedField() {
        QFETCH(std::function<void(PresetValues&)>, change);
        QFETCH(QString, name);
        QFETCH(QByteArray, resent);
        const PresetValues before = busyPreset();
        PresetValues after = before;
        change(after);
        const auto diffs = presetDifferences(before, after);
        QCOMPARE(diffs.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(fieldName(diffs[0].field)), name);
        QCOMPARE(diffs[0].first, valueOf(before, diffs[0].field));
        QCOMPARE(diffs[0].second, valueOf(after, diffs[0].field));
        // Sent again: one message (the zone block's six copies once), then the end message.
        const Sent sent = resend(after, {diffs[0].field});
        QCOMPARE(sent.size(), std::size_t{2});
        QCOMPARE(sent.back(),
                 (std::vector<std::uint8_t>{0xF0, 0x00, 0x20, 0x6B, 0x02, 0x07, 17, 0x00, 0xF7}));
        if (!resent.isEmpty())
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(sent[0].data()),
                                static_cast<int>(sent[0].size()))
                         .toHex(),
                     resent);
        // The message is one the whole download sends.
        bool found = false;
        forEachDownloadMessage(after,
                               [&](const DownloadAddress&, const std::uint8_t* d, std::size_t n) {
                                   found = found || std::vector<std::uint8_t>(d, d + n) == sent[0];
                               });
        QVERIFY(found);
    }

    void shortfallComparesOnlyWhatADownloadSends() {
        const PresetValues sent = busyPreset();
        PresetValues back = sent;
        QVERIFY(downloadShortfall(sent, back).empty());
        // Encoders and the slider carry no type and no mode.
        back.encoders[5].type ^= 1;
        back.encoders[6].mode ^= 1;
        back.slider.mode ^= 1;
        QVERIFY(downloadShortfall(sent, back).empty());
        // Zone 1 is always on after a download; zones 2 and 3 as sent.
        PresetValues off = sent;
        off.zones[0].status = 0;
        PresetValues stored = off;
        stored.zones[0].status = 1;
        QVERIFY(downloadShortfall(off, stored).empty());
        QCOMPARE(downloadShortfall(off, off).size(), std::size_t{1});
        // A value above its bound is not sent, so not looked for.
        PresetValues wild = sent;
        wild.functions[2].chan = 40;
        QVERIFY(downloadShortfall(wild, sent).empty());
        // A button's type travels: it is compared.
        back = sent;
        back.functions[2].type ^= 1;
        const auto diffs = downloadShortfall(sent, back);
        QCOMPARE(diffs.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(fieldName(diffs[0].field)),
                 QStringLiteral("F3, BANK 1: type"));
    }

    // The read-back is judged on the values as the dump carries them.
    void readBackComparesTheValuesAsSent() {
        const PresetValues sent = busyPreset();
        std::vector<std::uint8_t> dump = dumpOf(sent, 23);
        ReadBackCheck check = checkReadBack(sent, dump.data(), dump.size());
        QVERIFY2(check.shortfall.empty(), qPrintable(named(check).join("; ")));
        QCOMPARE(check.presetNumber, 23);

        // A zone value escaped above a byte (300) is not the byte it ends in (44).
        PresetValues at44 = sent;
        at44.zones[1].prog = 44;
        dump = dumpOf(at44, 23, [](std::array<int, 48>& g) { g[global::kZoneProg + 1] = 300; });
        check = checkReadBack(at44, dump.data(), dump.size());
        QCOMPARE(named(check), QStringList{"Zone2: program"});
        QCOMPARE(int(check.shortfall[0].first), 44);
        QCOMPARE(int(check.shortfall[0].second), 255);

        // A preset number escaped above a byte is another preset.
        dump =
            dumpOf(sent, 23, [](std::array<int, 48>& g) { g[global::kPresetNumber] = 256 + 23; });
        QCOMPARE(checkReadBack(sent, dump.data(), dump.size()).presetNumber, 256 + 23);

        // A control whose record is missing differs in every field the download sends.
        dump = dumpOf(sent, 23, {}, ControlRef{ControlGroup::Transport, 0, 2});
        check = checkReadBack(sent, dump.data(), dump.size());
        QCOMPARE(named(check), (QStringList{"STOP: type", "STOP: number", "STOP: channel",
                                            "STOP: port", "STOP: mode"}));

        // Without the globals nothing of the zones, nor the number, is known.
        dump = dumpOf(sent, 23);
        const std::vector<std::uint8_t> noGlobals(dump.begin(), dump.begin() + 62 * 9);
        check = checkReadBack(sent, noGlobals.data(), noGlobals.size());
        QCOMPARE(check.presetNumber, -1);
        QCOMPARE(check.shortfall.size(), std::size_t(30));
    }

    // A write-back as held sends a value that the editor's download skips, and its read-back
    // confirms it; a value that no message carries as it is is named before anything is sent.
    void asHeldSendsWhatTheBoxesCannotShow_data() {
        using Change = std::function<void(PresetValues&)>;
        QTest::addColumn<Change>("change");
        QTest::addColumn<QByteArray>("message"); // the message only AsHeld sends (hex)
        QTest::addColumn<QString>("unsendable"); // or the field refused
        auto p = [](int cmd, int kind, int number, int value) {
            const ParameterMessage m = parameterMessage(cmd, kind, number, value);
            return QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size())).toHex();
        };
        QTest::newRow("encoder channel 20")
            << Change([](PresetValues& v) { v.encoders[10].chan = 20; })
            << p(command::kChannel, control::kEncoderKind, 10, 20) << QString();
        QTest::newRow("encoder port 9")
            << Change([](PresetValues& v) { v.encoders[3].port = 9; })
            << p(command::kPort, control::kEncoderKind, 3, 9) << QString();
        QTest::newRow("number 200")
            << Change([](PresetValues& v) { v.encoders[5].cc = 200; })
            << p(command::kNumber, control::kEncoderKind, 5, 200) << QString();
        QTest::newRow("slider channel 127")
            << Change([](PresetValues& v) { v.slider.chan = 127; })
            << p(command::kChannel, control::kSliderKind, control::kSliderNumber, 127) << QString();
        QTest::newRow("button behaviour 7") << Change([](PresetValues& v) {
            v.functions[1].type = 1;
            v.functions[1].mode = 3;
        }) << p(command::kBehaviour, control::kButtonKind, control::kFirstFunction + 1, 7)
                                            << QString();
        QTest::newRow("channel 128") << Change([](PresetValues& v) { v.encoders[0].chan = 128; })
                                     << QByteArray() << "E1, BANK 1: channel";
        QTest::newRow("port 200") << Change([](PresetValues& v) { v.pads[4].port = 200; })
                                  << QByteArray()
                                  << fieldNameOf(ControlRef{ControlGroup::Pad, 1, 0},
                                                 AssignmentField::Port);
        QTest::newRow("type 2") << Change([](PresetValues& v) { v.functions[0].type = 2; })
                                << QByteArray()
                                << fieldNameOf(ControlRef{ControlGroup::Function, 0, 0},
                                               AssignmentField::Type);
        QTest::newRow("behaviour 129") << Change([](PresetValues& v) {
            v.transport[0].type = 1;
            v.transport[0].mode = 64;
        }) << QByteArray() << "REW: mode";
        QTest::newRow("zone status 2")
            << Change([](PresetValues& v) { v.zones[1].status = 2; }) << QByteArray()
            << QString::fromStdString(fieldName(PresetField{
                   PresetField::Kind::Zone, {}, AssignmentField::CC, 1, ZoneField::Status}));
    }

    void asHeldSendsWhatTheBoxesCannotShow() {
        using Change = std::function<void(PresetValues&)>;
        QFETCH(Change, change);
        QFETCH(QByteArray, message);
        QFETCH(QString, unsendable);
        PresetValues v = busyPreset();
        QVERIFY(unsendableAsHeld(v).empty());
        change(v);
        const std::vector<PresetField> refused = unsendableAsHeld(v);
        if (!unsendable.isEmpty()) {
            QCOMPARE(refused.size(), std::size_t(1));
            QCOMPARE(QString::fromStdString(fieldName(refused.front())), unsendable);
            return;
        }
        QVERIFY(refused.empty());
        auto sent = [&v](DownloadValues which) {
            QList<QByteArray> list;
            sendDownload(
                v, 17,
                [&list](const std::uint8_t* d, std::size_t n) {
                    list << QByteArray(reinterpret_cast<const char*>(d), qsizetype(n)).toHex();
                },
                nullptr, which);
            return list;
        };
        const QList<QByteArray> editors = sent(DownloadValues::InRange);
        const QList<QByteArray> asHeld = sent(DownloadValues::AsHeld);
        QVERIFY(!editors.contains(message));
        QCOMPARE(asHeld.count(message), qsizetype(1));
        // Nothing else differs: the same messages, one more.
        QCOMPARE(asHeld.size(), editors.size() + 1);
        // A resend of every field is the same message once more.
        Sent again;
        sendDownloadFields(
            v, 17, allPresetFields(),
            [&again](const std::uint8_t* d, std::size_t n) { again.emplace_back(d, d + n); },
            DownloadValues::AsHeld);
        QCOMPARE(std::count_if(again.begin(), again.end(),
                               [&message](const std::vector<std::uint8_t>& m) {
                                   return QByteArray(reinterpret_cast<const char*>(m.data()),
                                                     qsizetype(m.size()))
                                              .toHex() == message;
                               }),
                 std::ptrdiff_t(1));

        // The controller that took it sends it back: confirmed as held, a difference for the
        // editor's download, which did not send it.
        const std::vector<std::uint8_t> dump = dumpOf(v, 17);
        const ReadBackCheck held =
            checkReadBack(v, dump.data(), dump.size(), DownloadValues::AsHeld);
        QVERIFY2(held.shortfall.empty(), qPrintable(named(held).join("; ")));
        // A controller that did not take it: the read-back as held names the field.
        const std::vector<std::uint8_t> old = dumpOf(busyPreset(), 17);
        const ReadBackCheck missed =
            checkReadBack(v, old.data(), old.size(), DownloadValues::AsHeld);
        QVERIFY(!missed.shortfall.empty());
    }

    void resendOfEverythingIsTheWholeDownloadOnce() {
        const PresetValues v = busyPreset();
        Sent whole;
        sendDownload(v, 17, [&whole](const std::uint8_t* d, std::size_t n) {
            whole.emplace_back(d, d + n);
        });
        const Sent again = resend(v, allPresetFields());
        // The zone block goes out after each of six passes in the whole download, once here.
        const std::size_t zoneBlock = 1 + 3 * 9;
        QCOMPARE(again.size(), whole.size() - 5 * zoneBlock);
        for (const auto& m : again)
            QVERIFY(std::find(whole.begin(), whole.end(), m) != whole.end());
        QCOMPARE(again.back(), whole.back());
    }
};

QTEST_APPLESS_MAIN(TestPresetDiff)
#include "tst_presetdiff.moc"
