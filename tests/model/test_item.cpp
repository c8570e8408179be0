// item: binding, bank lock, type switches, bounded setters and all values at once.
#include "item.h"
#include "presetvalues.h"

#include <QComboBox>
#include <QWidget>
#include <QtTest>

#include <array>
#include <memory>

namespace {

using Values = korvalen::AssignmentValues;

// The fields of Values by their position: type, cc, chan, port, mode.
constexpr std::uint8_t Values::*kFields[] = {&Values::type, &Values::cc, &Values::chan,
                                             &Values::port, &Values::mode};

// The five boxes of a button panel.
struct Panel {
    QWidget parent;
    QComboBox* type = new QComboBox(&parent);
    QComboBox* cc = new QComboBox(&parent);
    QComboBox* chan = new QComboBox(&parent);
    QComboBox* port = new QComboBox(&parent);
    QComboBox* mode = new QComboBox(&parent);

    // In the window's order: number, port, channel, type, mode.
    void bind(item& it) {
        it.BindCCBox(cc);
        it.BindPortBox(port);
        it.BindChanBox(chan);
        it.BindTypeBox(type);
        it.BindModeBox(mode);
    }
    QStringList shown() const {
        return {type->currentText(), cc->currentText(), chan->currentText(), port->currentText(),
                mode->currentText()};
    }
};

} // namespace

class TestItem : public QObject {
    Q_OBJECT

private slots:
    void newItemShowsDefaults();
    void setterBounds_data();
    void setterBounds();
    void applyTakesValuesThroughSetters();
    void lockedCopyIgnoresBoxButTakesSetters();
    void switchToNote_data();
    void switchToNote();
    void noteAboveRangeKeepsNumberWithoutSelection();
    void bindingKeepsValues();
};

void TestItem::newItemShowsDefaults() {
    item it;
    Panel p;
    p.bind(it);
    QCOMPARE(it.Values(), (Values{0, 0, 0, 0, 0}));
    QCOMPARE(p.shown(), (QStringList{"Control", "0  Bank Select", "Ch1", "P1", "toggle"}));
    QCOMPARE(p.cc->count(), 172);
    QCOMPARE(p.cc->itemText(171), QString("171  Pitch Bend"));
    QCOMPARE(p.chan->count(), 17);
    QCOMPARE(p.chan->itemText(16), QString("--"));
    QCOMPARE(p.port->count(), 6);
    QCOMPARE(p.port->itemText(5), QString("--"));
}

using Setter = void (item::*)(quint8);

void TestItem::setterBounds_data() {
    QTest::addColumn<int>("field"); // position in kFields
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accepted");
    const struct {
        const char* name;
        int field;
        int bound;
    } setters[] = {{"SetType", 0, 1},
                   {"SetCC", 1, 171},
                   {"SetChan", 2, 16},
                   {"SetPort", 3, 5},
                   {"SetMode", 4, 1}};
    for (const auto& s : setters) {
        QTest::addRow("%s accepts %d", s.name, s.bound) << s.field << s.bound << true;
        QTest::addRow("%s rejects %d", s.name, s.bound + 1) << s.field << s.bound + 1 << false;
        QTest::addRow("%s rejects 255", s.name) << s.field << 255 << false;
    }
}

void TestItem::setterBounds() {
    QFETCH(int, field);
    QFETCH(int, value);
    QFETCH(bool, accepted);
    static constexpr Setter setters[] = {&item::SetType, &item::SetCC, &item::SetChan,
                                         &item::SetPort, &item::SetMode};
    item it;
    Panel p;
    p.bind(it);
    const QList<QComboBox*> boxes{p.type, p.cc, p.chan, p.port, p.mode};
    Values expected = it.Values();
    if (accepted) expected.*kFields[field] = static_cast<std::uint8_t>(value);

    (it.*setters[field])(static_cast<quint8>(value));

    QCOMPARE(it.Values(), expected);
    QCOMPARE(boxes[field]->currentIndex(), int(expected.*kFields[field]));
}

void TestItem::applyTakesValuesThroughSetters() {
    item it;
    Panel p;
    p.bind(it);
    const Values record{0x01, 0x3C, 0x09, 0x02, 0x01};
    it.Apply(record);
    QCOMPARE(it.Values(), record);
    QCOMPARE(p.shown(), (QStringList{"Note", "60    C 4", "Ch10", "P3", "momentary"}));
    QCOMPARE(p.cc->count(), 128);

    const Values outOfRange{0x02, 0xAC, 0x11, 0x06, 0x02};
    it.Apply(outOfRange);
    QCOMPARE(it.Values(), record);
}

void TestItem::lockedCopyIgnoresBoxButTakesSetters() {
    item active, other; // two bank copies sharing one panel
    Panel p;
    other.SetLocked(true);
    p.bind(active);
    p.bind(other);

    p.cc->setCurrentIndex(7);
    p.chan->setCurrentIndex(3);
    p.port->setCurrentIndex(4);
    p.mode->setCurrentIndex(1);
    QCOMPARE(active.Values(), (Values{0, 7, 3, 4, 1}));
    QCOMPARE(other.Values(), (Values{0, 0, 0, 0, 0}));

    const Values record{1, 99, 12, 2, 0};
    other.Apply(record);
    QCOMPARE(other.Values(), record);
    QCOMPARE(active.Values(), (Values{0, 7, 3, 4, 1}));
    QCOMPARE(p.shown(), (QStringList{"Control", "7  ChanVolume", "Ch4", "P5", "momentary"}));
    QCOMPARE(p.cc->count(), 172);

    other.ShowCC();
    other.ShowType();
    QCOMPARE(p.cc->currentIndex(), 7);
    QCOMPARE(p.type->currentIndex(), 0);
}

void TestItem::switchToNote_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("noteNumber");
    QTest::addColumn<QString>("noteText");
    QTest::newRow("special function 150 becomes note 0") << 150 << 0 << "0    C -1";
    QTest::newRow("controller 64 stays 64") << 64 << 64 << "64    E 4";
    QTest::newRow("127 stays 127") << 127 << 127 << "127    G 9";
}

void TestItem::switchToNote() {
    QFETCH(int, number);
    QFETCH(int, noteNumber);
    QFETCH(QString, noteText);
    item it;
    Panel p;
    p.bind(it);
    it.SetCC(static_cast<quint8>(number));

    p.type->setCurrentIndex(1); // the user picks "Note"
    QCOMPARE(it.GetType(), quint8(1));
    QCOMPARE(int(it.GetCC()), noteNumber);
    QCOMPARE(p.cc->count(), 128);
    QCOMPARE(p.cc->currentText(), noteText);

    p.type->setCurrentIndex(0); // and back: the note number is kept as controller number
    QCOMPARE(int(it.GetCC()), noteNumber);
    QCOMPARE(p.cc->count(), 172);
    QCOMPARE(p.cc->currentIndex(), noteNumber);
}

void TestItem::noteAboveRangeKeepsNumberWithoutSelection() {
    item it;
    Panel p;
    p.bind(it);
    const Values record{1, 150, 0, 0, 0}; // only a file or a dump can give this
    it.Apply(record);
    QCOMPARE(it.Values(), record);
    QCOMPARE(p.cc->count(), 128);
    QCOMPARE(p.cc->currentIndex(), -1);
    it.ShowType(); // the box already holds the note list: no rebuild, no reset
    QCOMPARE(it.GetCC(), quint8(150));

    p.cc->setCurrentIndex(61);
    QCOMPARE(it.GetCC(), quint8(61));
}

void TestItem::bindingKeepsValues() {
    const Values values{1, 60, 9, 2, 1};
    const Values farNote{1, 150, 16, 5, 0};
    item it, far, locked;
    it.Apply(values);
    far.Apply(farNote);
    locked.SetCC(99);
    locked.SetLocked(true);

    Panel p;
    p.bind(it);
    QCOMPARE(it.Values(), values);
    QCOMPARE(p.shown(), (QStringList{"Note", "60    C 4", "Ch10", "P3", "momentary"}));

    p.bind(locked); // a locked copy binding later changes neither side
    QCOMPARE(locked.GetCC(), quint8(99));
    QCOMPARE(p.cc->currentText(), QString("60    C 4"));
    QCOMPARE(it.Values(), values);

    Panel q;
    q.bind(far);
    QCOMPARE(far.Values(), farNote);
    QCOMPARE(q.cc->count(), 128);
    QCOMPARE(q.cc->currentIndex(), -1);
    QCOMPARE(q.chan->currentText(), QString("--"));
}

QTEST_MAIN(TestItem)
#include "test_item.moc"
