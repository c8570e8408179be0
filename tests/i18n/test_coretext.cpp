// The reasons the core gives, in English exactly as before and in German through the program's
// translation, the data they carry (numbers, control labels, byte values) unchanged in both.
#include "coretext.h"
#include "presetcompare.h"
#include "presetdump.h"
#include "presetsyx.h"
#include "syxfiles.h"

#include <QTranslator>
#include <QtTest>

using namespace korvalen;

namespace {

SyxPreset read(const QByteArray& file) {
    return readPresetSyx(reinterpret_cast<const std::uint8_t*>(file.constData()),
                         std::size_t(file.size()));
}

// A preset whose every value is within its bound: default values, a few set.
PresetValues someValues() {
    PresetValues v;
    v.slider.cc = 7;
    v.encoders[0].chan = 3;
    v.functions[2].type = 1;
    v.functions[2].mode = 1;
    v.zones[0].status = 1;
    v.zones[1].oct = 5;
    return v;
}

// The dump sink's account of a dump that lacks `dropped` (an index into its records).
Text missingAfter(const QByteArray& dump, qsizetype dropped) {
    QList<QByteArray> records = messagesOf(dump);
    records.removeAt(dropped);
    const QByteArray bytes = joined(records);
    Preset preset;
    PresetDumpSink sink(preset);
    DumpParser parser(sink, sink.globals());
    parser.parse(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                 std::size_t(bytes.size()));
    return sink.missingText();
}

} // namespace

class CoreTextTest : public QObject {
    Q_OBJECT

    QTranslator german_;

    // `text` in English (no translation installed), then in German.
    void check(const Text& text, const QString& english, const QString& inGerman) {
        QCOMPARE(QString::fromStdString(text.english()), english);
        QCOMPARE(translated(text), english);
        QVERIFY(QCoreApplication::installTranslator(&german_));
        const QString shown = translated(text);
        QCoreApplication::removeTranslator(&german_);
        QCOMPARE(shown, inGerman);
    }

private slots:
    void initTestCase() { QVERIFY(german_.load(QStringLiteral(":/i18n/korvalen25_de.qm"))); }

    void syxRefusals_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        const PresetValues v = someValues();
        const QByteArray good = bytesOf(presetSyx(v, 20));
        const QList<QByteArray> msgs = messagesOf(good);
        const QByteArray dump = dumpOf(v, 20);
        QList<QByteArray> records = messagesOf(dump);
        auto replaced = [](QList<QByteArray> list, qsizetype i, const QByteArray& m) {
            list[i] = m;
            return joined(list);
        };

        QTest::newRow("not beginning with F0")
            << QByteArray("KORVALEN25").append(338, '\0')
            << "it is not a SysEx file: it does not begin with F0"
            << "sie ist keine SysEx-Datei: sie beginnt nicht mit F0";
        QTest::newRow("a stray byte")
            << msgs[0] + QByteArray(1, char(0x90)) + joined(msgs.mid(1))
            << "it is not a SysEx file: byte 13 (90) lies outside any SysEx message"
            << "sie ist keine SysEx-Datei: Byte 13 (90) liegt außerhalb jeder SysEx-Nachricht";
        QTest::newRow("two presets")
            << good + good << "it holds 2 presets; a .syx file of a preset holds one"
            << "sie enthält 2 Presets; eine .syx-Datei eines Presets enthält eines";
        QTest::newRow("three dumps")
            << dump + dump + dump << "it holds 3 presets; a .syx file of a preset holds one"
            << "sie enthält 3 Presets; eine .syx-Datei eines Presets enthält eines";
        QTest::newRow("no end message")
            << good.chopped(9)
            << "it has no download end message, which stores the preset: playing it would store "
               "nothing"
            << "ihr fehlt die Endnachricht der Übertragung, die das Preset speichert: sie "
               "abzuspielen würde nichts speichern";
        QTest::newRow("a dump without its end")
            << dump.chopped(3) << "the dump has no end record: it may have been cut short"
            << "dem Dump fehlt der Enddatensatz: er wurde vielleicht abgeschnitten";
        QTest::newRow("channel out of range")
            << replaced(msgs, 1, parameter(command::kChannel, control::kSliderKind, 10, 17))
            << "message 2 (at byte 13): S1: channel 17 is out of range (0-16)"
            << "Nachricht 2 (bei Byte 13): S1: Kanal 17 liegt außerhalb des Bereichs (0-16)";
        QTest::newRow("a button's type and mode out of range")
            << replaced(records, 33,
                        bytesOf(std::vector<std::uint8_t>{0xF0, 2, 32, 0, 5, 1, 0, 4, 0xF7}))
            << "message 34 (at byte 297): F1, BANK 1: type and mode 4 is out of range (0-3)"
            << "Nachricht 34 (bei Byte 297): F1, BANK 1: Typ und Modus 4 liegt außerhalb des "
               "Bereichs (0-3)";
        const qsizetype octave = indexOf(msgs, globalParameter(global::kZoneOct + 1, 0).left(7));
        QTest::newRow("zone octave out of range")
            << replaced(msgs, octave, globalParameter(global::kZoneOct + 1, 12))
            << QStringLiteral("message %1 (at byte %2): Zone2: octave 12 is out of range (0-8)")
                   .arg(octave + 1)
                   .arg(joined(msgs.mid(0, octave)).size())
            << QStringLiteral("Nachricht %1 (bei Byte %2): Zone2: Oktave 12 liegt außerhalb des "
                              "Bereichs (0-8)")
                   .arg(octave + 1)
                   .arg(joined(msgs.mid(0, octave)).size());
        QList<QByteArray> noE1 = records;
        noE1.removeAt(1);
        QTest::newRow("a dump without E1")
            << joined(noE1) << "it is not a whole preset: the dump has no value for E1, BANK 1"
            << "sie ist kein vollständiges Preset: dem Dump fehlt ein Wert für E1, BANK 1";
        QTest::newRow("another device's message")
            << QByteArray::fromHex("f04110421240007f0041f7") + good
            << "message 1 (at byte 0) (F0 41 10 42 12 40 ... (11 bytes)) is not one of the "
               "Korvalen25's preset messages; it may be another device's"
            << "Nachricht 1 (bei Byte 0) (F0 41 10 42 12 40 ... (11 Bytes)) ist keine "
               "Preset-Nachricht des Korvalen25; sie stammt vielleicht von einem anderen Gerät";
        QTest::newRow("empty") << QByteArray() << "the file is empty"
                               << "die Datei ist leer";
    }

    void syxRefusals() {
        QFETCH(QByteArray, file);
        QFETCH(QString, english);
        QFETCH(QString, german);
        const SyxPreset r = read(file);
        QVERIFY(!r.ok);
        QCOMPARE(QString::fromStdString(r.error), english);
        check(r.reason, english, german);
    }

    // What an incomplete dump lacked, as the editor and korvalen25-cli name it after "the dump
    // of P17 was incomplete (nothing for ...)".
    void incompleteDumps() {
        const QByteArray dump = dumpOf(someValues(), 17);
        const qsizetype globals = messagesOf(dump).size() - 2;
        check(missingAfter(dump, 1), QStringLiteral("E1, BANK 1"), QStringLiteral("E1, BANK 1"));
        check(missingAfter(dump, globals), QStringLiteral("the preset number"),
              QStringLiteral("die Preset-Nummer"));
    }

    // The compare window's words are those of the editor's boxes; the boxes' entries are data.
    void compareValues() {
        PresetValues a = someValues(), b = someValues();
        b.functions[2].mode = 0;
        b.encoders[0].chan = 200;
        b.zones[1].oct = 2;
        const std::vector<ComparedField> list = comparePresets(a, b);
        QCOMPARE(list.size(), std::size_t(3));
        check(list[0].label, QStringLiteral("channel"), QStringLiteral("Kanal"));
        check(list[0].secondValue, QStringLiteral("200 (out of range)"),
              QStringLiteral("200 (außerhalb des Bereichs)"));
        check(list[0].firstValue, QStringLiteral("Ch4"), QStringLiteral("Ch4"));
        check(list[1].firstValue, QStringLiteral("momentary"), QStringLiteral("kurzzeitig"));
        check(list[1].secondValue, QStringLiteral("toggle"), QStringLiteral("umschalten"));
        check(list[2].label, QStringLiteral("octave"), QStringLiteral("Oktave"));
        check(list[2].secondValue, QStringLiteral("- 2"), QStringLiteral("- 2"));
    }

    // Data is put in once: a "%2" in a preset name or label is not taken for an argument.
    void dataIsNotReread() {
        const Text t(KV_TEXT("SyxFile", "%1 sets %2, which a download does not send"),
                     {std::string("A%2B"), 5});
        check(t, QStringLiteral("A%2B sets 5, which a download does not send"),
              QStringLiteral("A%2B setzt 5, was eine Übertragung nicht sendet"));
    }
};

QTEST_GUILESS_MAIN(CoreTextTest)
#include "test_coretext.moc"
