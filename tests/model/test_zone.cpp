// zone: binding, caption, octave and transpose texts, bounded setters and all values at once.
#include "presetvalues.h"
#include "zone.h"

#include <QComboBox>
#include <QPushButton>
#include <QWidget>
#include <QtTest>

#include <array>

namespace {

using Values = korvalen::ZoneValues;

const Values kDefaults{0, 0, 0, 0, 0, 0, 0, 0, 4, 12};

// Every value, in the order of the boxes.
QList<int> values(const zone& z) {
    return {z.GetStatus(), z.GetProg(),    z.GetMSB(),     z.GetLSB(), z.GetChan(),
            z.GetPort(),   z.GetRangSta(), z.GetRangEnd(), z.GetOct(), z.GetTrans()};
}

// A zone panel: status, program, MSB, LSB, channel, port, range start and end, octave,
// transpose, and the caption button.
struct Panel {
    QWidget parent;
    std::array<QComboBox*, 10> boxes{};
    QPushButton* caption = new QPushButton(&parent);

    Panel() {
        for (auto& b : boxes)
            b = new QComboBox(&parent);
    }
    void bind(zone& z, int index) {
        z.SetZoneIndex(index);
        z.SetCaptionButton(caption);
        z.BindStuBox(boxes[0]);
        z.BindProgBox(boxes[1]);
        z.BindMSBBox(boxes[2]);
        z.BindLSBBox(boxes[3]);
        z.BindChanBox(boxes[4]);
        z.BindPortBox(boxes[5]);
        z.BindRangStaBox(boxes[6]);
        z.BindRangEndBox(boxes[7]);
        z.BindOctBox(boxes[8]);
        z.BindTransBox(boxes[9]);
    }
    QStringList shown() const {
        QStringList texts;
        for (auto* b : boxes)
            texts << b->currentText();
        return texts;
    }
};

} // namespace

class TestZone : public QObject {
    Q_OBJECT

private slots:
    void newZoneShowsDefaults();
    void captionFollowsStatusAndProgram();
    void offsetTexts_data();
    void offsetTexts();
    void setterBounds_data();
    void setterBounds();
    void applyTakesValuesThroughSetters();
    void bindingKeepsValues();
};

void TestZone::newZoneShowsDefaults() {
    zone z;
    Panel p;
    p.bind(z, 1);
    QCOMPARE(z.Values(), kDefaults);
    QCOMPARE(p.shown(),
             (QStringList{"OFF", "0 Grand Piano", "0", "0", "Ch1", "P1", "0", "0", "0", "0"}));
    QCOMPARE(p.caption->text(), QString("Zone2: Closed"));
    const QList<int> counts{2, 128, 128, 128, 17, 6, 128, 128, 9, 25};
    for (int i = 0; i < 10; ++i)
        QCOMPARE(p.boxes[i]->count(), counts[i]);
}

void TestZone::captionFollowsStatusAndProgram() {
    zone z;
    Panel p;
    p.bind(z, 2);
    p.boxes[1]->setCurrentIndex(40);
    QCOMPARE(z.GetProg(), quint8(40));
    QCOMPARE(p.caption->text(), QString("Zone3: Closed"));
    p.boxes[0]->setCurrentIndex(1);
    QCOMPARE(p.caption->text(), QString("Zone3:Violin"));
    p.boxes[0]->setCurrentIndex(0);
    QCOMPARE(p.caption->text(), QString("Zone3: Closed"));

    // Without boxes the setters refresh the caption all the same.
    zone loose;
    QPushButton button;
    loose.SetCaptionButton(&button);
    loose.SetStatus(1);
    loose.SetProg(45);
    QCOMPARE(button.text(), QString("Zone1:PizzStrings"));
}

void TestZone::offsetTexts_data() {
    QTest::addColumn<int>("box"); // 8 octave, 9 transpose
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("octave 0") << 8 << 0 << "- 4";
    QTest::newRow("octave 3") << 8 << 3 << "- 1";
    QTest::newRow("octave 4") << 8 << 4 << "0";
    QTest::newRow("octave 8") << 8 << 8 << "4";
    QTest::newRow("transpose 0") << 9 << 0 << "- 12";
    QTest::newRow("transpose 11") << 9 << 11 << "- 1";
    QTest::newRow("transpose 13") << 9 << 13 << "1";
    QTest::newRow("transpose 24") << 9 << 24 << "12";
}

void TestZone::offsetTexts() {
    QFETCH(int, box);
    QFETCH(int, value);
    QFETCH(QString, text);
    zone z;
    Panel p;
    p.bind(z, 0);
    if (box == 8)
        z.SetOct(static_cast<quint8>(value));
    else
        z.SetTrans(static_cast<quint8>(value));
    QCOMPARE(p.boxes[box]->currentText(), text);
}

using Setter = void (zone::*)(quint8);

void TestZone::setterBounds_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("accepted");
    const struct {
        const char* name;
        int bound;
    } setters[] = {{"SetStatus", 1}, {"SetProg", 127}, {"SetMSB", 127},     {"SetLSB", 127},
                   {"SetChan", 16},  {"SetPort", 5},   {"SetRangSta", 127}, {"SetRangEnd", 127},
                   {"SetOct", 8},    {"SetTrans", 24}};
    for (int i = 0; i < 10; ++i) {
        const auto& s = setters[i];
        QTest::addRow("%s accepts %d", s.name, s.bound) << i << s.bound << true;
        QTest::addRow("%s rejects %d", s.name, s.bound + 1) << i << s.bound + 1 << false;
    }
}

void TestZone::setterBounds() {
    QFETCH(int, box);
    QFETCH(int, value);
    QFETCH(bool, accepted);
    static constexpr Setter setters[] = {
        &zone::SetStatus, &zone::SetProg,    &zone::SetMSB,     &zone::SetLSB, &zone::SetChan,
        &zone::SetPort,   &zone::SetRangSta, &zone::SetRangEnd, &zone::SetOct, &zone::SetTrans};
    zone z;
    Panel p;
    p.bind(z, 0);
    QList<int> expected = values(z);
    if (accepted) expected[box] = value;

    (z.*setters[box])(static_cast<quint8>(value));

    QCOMPARE(values(z), expected);
    for (int i = 0; i < 10; ++i)
        QCOMPARE(p.boxes[i]->currentIndex(), expected[i]);
}

void TestZone::applyTakesValuesThroughSetters() {
    zone z;
    Panel p;
    p.bind(z, 0);
    const Values given{1, 40, 5, 6, 7, 2, 100, 20, 0, 24}; // range start above its end
    z.Apply(given);
    QCOMPARE(z.Values(), given);
    QCOMPARE(p.shown(),
             (QStringList{"ON", "40 Violin", "5", "6", "Ch8", "P3", "100", "20", "- 4", "12"}));
    QCOMPARE(p.caption->text(), QString("Zone1:Violin"));

    // Each field past its bound is refused alone; the others are taken.
    z.Apply({2, 128, 9, 128, 17, 6, 128, 1, 9, 25});
    QCOMPARE(z.Values(), (Values{1, 40, 9, 6, 7, 2, 100, 1, 0, 24}));
}

void TestZone::bindingKeepsValues() {
    zone z;
    const Values given{1, 127, 3, 4, 16, 5, 60, 72, 8, 0};
    z.Apply(given);
    Panel p;
    p.bind(z, 1);
    QCOMPARE(z.Values(), given);
    QCOMPARE(p.shown(),
             (QStringList{"ON", "127 Gunshot", "3", "4", "--", "--", "60", "72", "4", "- 12"}));
    QCOMPARE(p.caption->text(), QString("Zone2:Gunshot"));
}

QTEST_MAIN(TestZone)
#include "test_zone.moc"
