// Touching the emulated controller's controls: the names korvalen25-sim takes, and what the
// touched control sends with the preset the controller plays and the banks chosen on it.
#include "controlleremulator.h"
#include "presetprotocol.h"
#include "touch.h"

#include <QTest>

using korvalen::ControlGroup;
using korvalen::sim::ControllerEmulator;
using korvalen::sim::SelectedBanks;
using korvalen::sim::Touch;
using Message = std::vector<std::uint8_t>;

Q_DECLARE_METATYPE(Message)

class TestTouch : public QObject {
    Q_OBJECT

private slots:
    void names_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("key");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("bank");
        QTest::addColumn<int>("index"); // the key's note for a key
        auto control = [](const char* name, const char* text, ControlGroup g, int bank, int i) {
            QTest::newRow(name) << QString::fromLatin1(text) << false << int(g) << bank << i;
        };
        auto key = [](const char* name, const char* text, int note) {
            QTest::newRow(name) << QString::fromLatin1(text) << true << 0 << -1 << note;
        };
        control("E3", "E3", ControlGroup::Encoder, -1, 2);
        control("E8 of bank 4", "E8:4", ControlGroup::Encoder, 3, 7);
        control("lower case", " e1:2 ", ControlGroup::Encoder, 1, 0);
        control("F4", "F4", ControlGroup::Function, -1, 3);
        control("F1 of bank 2", "F1:2", ControlGroup::Function, 1, 0);
        control("P2", "P2", ControlGroup::Pad, -1, 1);
        control("P1 of bank B", "P1:B", ControlGroup::Pad, 1, 0);
        control("REW", "REW", ControlGroup::Transport, -1, 0);
        control("PLAY", "play", ControlGroup::Transport, -1, 3);
        control("REC", "REC", ControlGroup::Transport, -1, 4);
        control("S1", "S1", ControlGroup::Slider, -1, 0);
        control("SLIDER", "SLIDER", ControlGroup::Slider, -1, 0);
        key("KEY C3", "KEY C3", 48);
        key("KEY C4", "KEY C4", 60);
        key("KEY C#4", "KEY C#4", 61);
        key("KEY Db4", "key db4", 61);
        key("KEY C-1", "KEY C-1", 0);
        key("KEY G9", "KEY G9", 127);
        key("KEY by number", "KEY 64", 64);
    }
    void names() {
        QFETCH(QString, text);
        QFETCH(bool, key);
        QFETCH(int, group);
        QFETCH(int, bank);
        QFETCH(int, index);
        std::string why;
        const auto t = korvalen::sim::parseTouch(text.toStdString(), &why);
        QVERIFY2(t.has_value(), why.c_str());
        QCOMPARE(t->key, key);
        if (key) {
            QCOMPARE(t->note, index);
            return;
        }
        QCOMPARE(int(t->group), group);
        QCOMPARE(t->bank, bank);
        QCOMPARE(t->index, index);
    }

    void badNames_data() {
        QTest::addColumn<QString>("text");
        for (const char* text :
             {"", "E9", "E0", "F5", "P5", "E3:5", "E3:0", "P1:C", "P1:2", "F1:A", "X1", "PLAYS",
              "KEY", "KEY H3", "KEY G#9", "KEY 128", "KEY C10", "E33"})
            QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text);
    }
    void badNames() {
        QFETCH(QString, text);
        std::string why;
        QVERIFY(!korvalen::sim::parseTouch(text.toStdString(), &why).has_value());
        QVERIFY(!why.empty());
    }

    // With the factory preset: encoders on CC 20-51, channel = bank; function buttons on CC
    // 102-117; pads on notes 36-43 of channel 10 (momentary); the transport on MMC 3-7.
    void messages_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("encoderBank");
        QTest::addColumn<int>("padBank");
        QTest::addColumn<QList<Message>>("expected");
        QTest::newRow("E3, bank 1 chosen") << "E3" << 0 << 0 << QList<Message>{{0xB0, 22, 64}};
        QTest::newRow("E3, bank 3 chosen") << "E3" << 2 << 0 << QList<Message>{{0xB2, 38, 64}};
        QTest::newRow("E3 of bank 2, bank 3 chosen")
            << "E3:2" << 2 << 0 << QList<Message>{{0xB1, 30, 64}};
        QTest::newRow("F2, bank 2 chosen: momentary")
            << "F2" << 1 << 0 << QList<Message>{{0xB0, 107, 100}, {0xB0, 107, 0}};
        QTest::newRow("P1, bank B chosen")
            << "P1" << 0 << 1 << QList<Message>{{0x99, 40, 100}, {0x89, 40, 0}};
        QTest::newRow("PLAY") << "PLAY" << 0 << 0
                              << QList<Message>{{0xF0, 0x7F, 0x7F, 0x06, 0x06, 0xF7}};
        QTest::newRow("S1") << "S1" << 0 << 0 << QList<Message>{{0xB0, 7, 64}};
        QTest::newRow("KEY C4, zone 1") << "KEY C4" << 0 << 0 << QList<Message>{{0x90, 60, 100}};
    }
    void messages() {
        QFETCH(QString, text);
        QFETCH(int, encoderBank);
        QFETCH(int, padBank);
        QFETCH(QList<Message>, expected);
        ControllerEmulator emulator;
        const auto t = korvalen::sim::parseTouch(text.toStdString(), nullptr);
        QVERIFY(t.has_value());
        const auto got =
            korvalen::sim::touchMessages(emulator, *t, SelectedBanks{encoderBank, padBank});
        QCOMPARE(QList<Message>(got.begin(), got.end()), expected);
    }

    // The edit buffer is what the controller plays: a parameter message changes what E1 sends.
    void theEditBufferCounts() {
        ControllerEmulator emulator;
        // Encoder E1 of bank 1 (kind 1, number 0): assignment number 74.
        const auto m = korvalen::parameterMessage(korvalen::command::kNumber,
                                                  korvalen::control::kEncoderKind, 0, 74);
        emulator.receive(m.data(), m.size());
        QCOMPARE(emulator.editBuffer().controls[0].cc, 74);
        const auto t = korvalen::sim::parseTouch("E1", nullptr);
        QCOMPARE(korvalen::sim::touchMessages(emulator, *t, {}),
                 (std::vector<Message>{{0xB0, 74, 64}}));
    }
};

QTEST_APPLESS_MAIN(TestTouch)
#include "tst_touch.moc"
