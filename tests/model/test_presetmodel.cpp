// The program-wide preset objects bound to a form of combo boxes named as in the editor:
// bank switching, binding order and values, device addresses.
#include "presetmodel.h"
#include "presetvalues.h"

#include <QComboBox>
#include <QPushButton>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

// Every combo box and caption button the bindings look for.
std::unique_ptr<QWidget> makeForm(const QString& leaveOut = {}) {
    auto form = std::make_unique<QWidget>();
    QStringList names;
    for (int k = 1; k <= 8; ++k)
        for (const char* suffix : {"_ccBox", "_ChBox", "_PortBox"})
            names << QStringLiteral("E%1%2").arg(k).arg(suffix);
    for (const char* control :
         {"F1", "F2", "F3", "F4", "P1", "P2", "P3", "P4", "Z1", "Z2", "Z3", "Z4", "Z5"})
        for (const char* suffix : {"_typeBox", "_ccBox", "_ChBox", "_PortBox", "_modeBox"})
            names << QLatin1String(control) + QLatin1String(suffix);
    names << "S1_ccBox"
          << "S1_ChBox"
          << "S1_PortBox";
    for (int z = 1; z <= 3; ++z) {
        for (const char* field :
             {"Sta", "Prog", "MSB", "LSB", "Port", "Chan", "RangSta", "RangEnd", "Oct", "Trans"})
            if (z > 1 || QLatin1String(field) != QLatin1String("Sta"))
                names << QStringLiteral("zone%1%2").arg(z).arg(field);
        new QPushButton(form.get());
        form->children().last()->setObjectName(QStringLiteral("btnZ%1").arg(z));
    }
    for (const QString& name : names)
        if (name != leaveOut) (new QComboBox(form.get()))->setObjectName(name);
    return form;
}

// The window's binding steps, in its order.
void bindAll(QWidget* form) {
    selectEncoderBank(0);
    bindEncoderBanks(form);
    bindFunctionBanks(form);
    selectPadBank(0);
    bindPadBanks(form);
    setUpZones(form);
    bindTransport(form);
    bindZones(form);
    bindSlider(form);
}

QList<item*> allItems() {
    QList<item*> items;
    for (auto& bank : item_En)
        for (item& it : bank)
            items << &it;
    for (auto& bank : item_Fn)
        for (item& it : bank)
            items << &it;
    for (auto& bank : item_Pn)
        for (item& it : bank)
            items << &it;
    for (item& it : item_Zoudai)
        items << &it;
    items << &item_S1;
    return items;
}

} // namespace

class TestPresetModel : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> form;
    QComboBox* box(const char* name) const { return form->findChild<QComboBox*>(name); }

private slots:
    void init();
    void cleanup() { form.reset(); }

    void encoderBankEditsOnlySelectedCopy();
    void padBankLeavesEncoderBanks();
    void everyBankShowsItsOwnValues();
    void functionButtonBanksSwitchAssignmentList();
    void bindingKeepsValuesAndShowsFirstBanks();
    void missingBoxIsReported();
    void noteNumberAboveNoteRangeSurvivesBankSwitches();
    void snapshotRestoresEveryValue();
};

// Fresh defaults in every program-wide object, and a new, unbound form.
void TestPresetModel::init() {
    for (item* it : allItems()) {
        it->SetLocked(false);
        it->Apply({});
    }
    for (zone& z : zone_Zn)
        z.Apply({});
    form = makeForm();
}

void TestPresetModel::encoderBankEditsOnlySelectedCopy() {
    bindAll(form.get());
    selectEncoderBank(1); // "BANK 2"
    box("E1_ccBox")->setCurrentIndex(20);
    box("F2_ChBox")->setCurrentIndex(5);
    QCOMPARE(item_En[1][0].GetCC(), quint8(20));
    QCOMPARE(item_Fn[1][1].GetChan(), quint8(5));
    for (int b : {0, 2, 3}) {
        QCOMPARE(item_En[b][0].GetCC(), quint8(0));
        QCOMPARE(item_Fn[b][1].GetChan(), quint8(0));
    }

    selectEncoderBank(0);
    QCOMPARE(box("E1_ccBox")->currentIndex(), 0);
    QCOMPARE(box("F2_ChBox")->currentIndex(), 0);
    QCOMPARE(item_En[1][0].GetCC(), quint8(20));
    selectEncoderBank(1);
    QCOMPARE(box("E1_ccBox")->currentText(), QString("20  Undefined"));
}

void TestPresetModel::padBankLeavesEncoderBanks() {
    bindAll(form.get());
    selectEncoderBank(2);
    selectPadBank(1); // "B"
    for (int b = 0; b < 4; ++b) {
        for (const item& e : item_En[b])
            QCOMPARE(e.IsLocked(), b != 2);
        for (const item& f : item_Fn[b])
            QCOMPARE(f.IsLocked(), b != 2);
    }
    for (int b = 0; b < 2; ++b)
        for (const item& pad : item_Pn[b])
            QCOMPARE(pad.IsLocked(), b != 1);

    box("E8_PortBox")->setCurrentIndex(3);
    box("P4_modeBox")->setCurrentIndex(1);
    QCOMPARE(item_En[2][7].GetPort(), quint8(3));
    QCOMPARE(item_Pn[1][3].GetMode(), quint8(1));
    QCOMPARE(item_Pn[0][3].GetMode(), quint8(0));
}

// As after loading a file: every copy set through its setters, each bank shown when selected.
void TestPresetModel::everyBankShowsItsOwnValues() {
    bindAll(form.get());
    for (int b = 0; b < 4; ++b) {
        item_En[b][4].SetCC(static_cast<quint8>(10 + b));
        item_En[b][4].SetChan(static_cast<quint8>(b));
        item_Fn[b][3].SetPort(static_cast<quint8>(b + 1));
    }
    for (int b = 0; b < 2; ++b)
        item_Pn[b][0].SetCC(static_cast<quint8>(100 + b));
    QCOMPARE(box("E5_ccBox")->currentIndex(), 10); // bank 1 is the one shown

    for (int b : {3, 1, 2, 0}) {
        selectEncoderBank(b);
        QCOMPARE(box("E5_ccBox")->currentIndex(), 10 + b);
        QCOMPARE(box("E5_ChBox")->currentIndex(), b);
        QCOMPARE(box("F4_PortBox")->currentIndex(), b + 1);
    }
    for (int b : {1, 0}) {
        selectPadBank(b);
        QCOMPARE(box("P1_ccBox")->currentIndex(), 100 + b);
    }
    for (int b = 0; b < 4; ++b)
        QCOMPARE(item_En[b][4].GetCC(), quint8(10 + b));
}

void TestPresetModel::functionButtonBanksSwitchAssignmentList() {
    bindAll(form.get());
    item_Fn[0][0].SetType(1);
    item_Fn[0][0].SetCC(64);
    item_Fn[1][0].SetCC(150); // bank 2 stays "Control"
    QComboBox* cc = box("F1_ccBox");
    QCOMPARE(cc->count(), 128);

    selectEncoderBank(1);
    QCOMPARE(box("F1_typeBox")->currentText(), QString("Control"));
    QCOMPARE(cc->count(), 172);
    QCOMPARE(cc->currentText(), QString("150  Stop "));

    selectEncoderBank(0);
    QCOMPARE(box("F1_typeBox")->currentText(), QString("Note"));
    QCOMPARE(cc->count(), 128);
    QCOMPARE(cc->currentText(), QString("64    E 4"));
    QCOMPARE(item_Fn[1][0].GetCC(), quint8(150)); // the locked copy is not touched by the list
    QCOMPARE(item_Fn[0][0].GetCC(), quint8(64));
}

void TestPresetModel::bindingKeepsValuesAndShowsFirstBanks() {
    const korvalen::AssignmentValues button{1, 60, 9, 2, 1};
    const korvalen::ZoneValues zoneValues{1, 40, 1, 2, 4, 3, 36, 84, 5, 13};
    item_En[0][2].SetCC(74);
    item_En[3][2].SetCC(91); // a later bank: bound locked
    item_Fn[0][1].Apply(button);
    item_Pn[0][2].Apply(button);
    item_Pn[1][2].SetMode(1);
    item_Zoudai[3].Apply(button);
    item_S1.SetChan(16);
    zone_Zn[0].SetStatus(1); // zone 1 has no status box
    zone_Zn[2].Apply(zoneValues);

    bindAll(form.get());

    QCOMPARE(item_En[0][2].GetCC(), quint8(74));
    QCOMPARE(item_En[3][2].GetCC(), quint8(91));
    QCOMPARE(box("E3_ccBox")->currentText(), QString("74  Brightness"));
    for (item* it : {&item_Fn[0][1], &item_Pn[0][2], &item_Zoudai[3]})
        QCOMPARE(it->Values(), button);
    for (const char* prefix : {"F2", "P3", "Z4"}) {
        const QString p = QLatin1String(prefix);
        QCOMPARE(box(qPrintable(p + "_typeBox"))->currentText(), QString("Note"));
        QCOMPARE(box(qPrintable(p + "_ccBox"))->currentText(), QString("60    C 4"));
        QCOMPARE(box(qPrintable(p + "_ChBox"))->currentText(), QString("Ch10"));
        QCOMPARE(box(qPrintable(p + "_PortBox"))->currentText(), QString("P3"));
        QCOMPARE(box(qPrintable(p + "_modeBox"))->currentText(), QString("momentary"));
    }
    QCOMPARE(item_Pn[1][2].GetMode(), quint8(1));
    QCOMPARE(box("S1_ChBox")->currentText(), QString("--"));

    QCOMPARE(zone_Zn[2].Values(), zoneValues);
    QCOMPARE(box("zone3Chan")->currentText(), QString("Ch5"));
    QCOMPARE(box("zone3Oct")->currentText(), QString("1"));
    QCOMPARE(form->findChild<QPushButton*>("btnZ3")->text(), QString("Zone3:Violin"));
    QCOMPARE(form->findChild<QPushButton*>("btnZ1")->text(), QString("Zone1:Grand Piano"));
    QCOMPARE(form->findChild<QPushButton*>("btnZ2")->text(), QString("Zone2: Closed"));
}

void TestPresetModel::missingBoxIsReported() {
    form = makeForm("E3_ChBox");
    for (int bank = 0; bank < 4; ++bank)
        QTest::ignoreMessage(QtWarningMsg, "Preset model: no combo box named E3_ChBox in the form");
    bindAll(form.get());
    box("E3_PortBox")->setCurrentIndex(2); // the rest of the panel is bound
    QCOMPARE(item_En[0][2].GetPort(), quint8(2));
}

QTEST_MAIN(TestPresetModel)
#include "test_presetmodel.moc"

// A note button numbered past the note range (from a file or a dump) keeps its number while
// the banks are switched back and forth and the shared list is rebuilt each time; only the
// user's own choice of "Note" resets it.
void TestPresetModel::noteNumberAboveNoteRangeSurvivesBankSwitches() {
    bindAll(form.get());
    const korvalen::AssignmentValues note150{1, 150, 3, 2, 1};
    item_Fn[1][0].Apply(note150); // bank 2, locked
    item_Pn[0][1].Apply(note150); // bank A, shown
    for (int round = 0; round < 2; ++round) {
        selectEncoderBank(1);
        selectEncoderBank(0);
        selectPadBank(1);
        selectPadBank(0);
    }
    selectEncoderBank(1);
    QCOMPARE(box("F1_ccBox")->count(), 128);
    QCOMPARE(item_Fn[1][0].GetCC(), quint8(150));
    QCOMPARE(item_Pn[0][1].GetCC(), quint8(150));
    // A dump sets the number before the type: the number stays too.
    item_Zoudai[0].SetCC(160);
    item_Zoudai[0].SetType(1);
    QCOMPARE(item_Zoudai[0].GetCC(), quint8(160));
    // The user's choice of "Note" on a special function resets the number.
    item_Zoudai[1].SetCC(150);
    box("Z2_typeBox")->setCurrentIndex(1);
    QCOMPARE(item_Zoudai[1].GetCC(), quint8(0));
}

// A snapshot puts back every field of every bank copy, the zones with their channels and the
// preset-wide block, and the boxes of the selected banks show them.
void TestPresetModel::snapshotRestoresEveryValue() {
    bindAll(form.get());
    std::uint8_t n = 0;
    auto next = [&n](int bound) { return static_cast<quint8>(n++ % (bound + 1)); };
    for (item* it : allItems())
        it->Apply({next(1), next(171), next(16), next(5), next(1)});
    for (zone& z : zone_Zn)
        z.Apply({next(1), next(127), next(127), next(127), next(16), next(5), next(127), next(127),
                 next(8), next(24)});
    for (int i = 0; i < korvalen::kPresetGlobalsSize; ++i)
        korvalen::presetGlobals[i] = static_cast<unsigned char>(200 + i);
    const PresetSnapshot before = takePresetSnapshot();

    init();
    bindAll(form.get());
    std::fill(std::begin(korvalen::presetGlobals), std::end(korvalen::presetGlobals), 0);
    QVERIFY(takePresetSnapshot() != before);
    restorePresetSnapshot(before);
    QCOMPARE(takePresetSnapshot(), before);
    QCOMPARE(box("E1_ccBox")->currentIndex(), int(item_En[0][0].GetCC()));
    QCOMPARE(box("zone3Chan")->currentIndex(), int(zone_Zn[2].GetChan()));
}
