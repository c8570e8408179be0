// Page navigation through the controller picture: every trigger shows its page and leaves
// exactly the layer button of that page checked; keys and dial turns change no page.
#include "customTab.h"
#include "guitestutil.h"
#include "presetmodel.h"

#include <QComboBox>
#include <QDial>
#include <QMap>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

using namespace guitest;

namespace {

enum class Gesture {
    Click,       // press and release
    PressDial,   // press and release on a dial
    PressSlider, // press and release on the slider handle
    DragSlider,  // press the handle, then move it (the page is reset after the press)
};

QPoint sliderHandleCentre(QSlider* slider) {
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    opt.orientation = slider->orientation();
    opt.minimum = slider->minimum();
    opt.maximum = slider->maximum();
    opt.sliderPosition = slider->sliderPosition();
    opt.sliderValue = slider->value();
    opt.singleStep = slider->singleStep();
    opt.pageStep = slider->pageStep();
    opt.upsideDown = slider->invertedAppearance();
    opt.tickPosition = slider->tickPosition();
    return slider->style()
        ->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider)
        .center();
}

// The selected entry of every combo box of the window, by objectName.
QMap<QString, int> comboSelections(QWidget* window) {
    QMap<QString, int> result;
    for (QComboBox* box : window->findChildren<QComboBox*>())
        result.insert(box->objectName(), box->currentIndex());
    return result;
}

// Shows a page other than `page` (or `page` itself when `same` is set) before a trigger.
void startOn(customTab* tabs, int page, bool same) {
    const int start = same ? page : (page == 5 ? 0 : 5);
    switch (start) {
    case 0:
        tabs->ChangePage_En();
        break;
    case 5:
        tabs->ChangePage_Zn();
        break;
    default:
        tabs->ChangePage_Fn();
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Gesture)

class NavigationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { guitest::useQuietController(); }

    void trigger_data();
    void trigger();
    void keysChangeNoPage();
    void dialTurnChangesNoPage();
    void pageBuiltWhenFirstShown();
};

void NavigationTest::trigger_data() {
    QTest::addColumn<QString>("sender");
    QTest::addColumn<Gesture>("gesture");
    QTest::addColumn<bool>("alreadyShown");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("pageName");
    QTest::addColumn<QString>("layerButton");

    const QString en = QStringLiteral("BtnLayer_En");
    auto row = [](const char* tag, const char* sender, Gesture g, int page, const char* pageName,
                  const QString& button, bool alreadyShown = false) {
        QTest::newRow(tag) << QString::fromLatin1(sender) << g << alreadyShown << page
                           << QString::fromLatin1(pageName) << button;
    };

    row("01 BtnLayer_En", "BtnLayer_En", Gesture::Click, 0, "tab", en);
    row("01 BtnLayer_En while shown", "BtnLayer_En", Gesture::Click, 0, "tab", en, true);
    const char* dials[] = {"E1", "E2", "E3", "E4", "E5", "E6", "E7", "E8"};
    for (int k = 0; k < 8; ++k) {
        const QByteArray tag = QByteArray::number(k + 2).rightJustified(2, '0') + " " + dials[k];
        row(tag.constData(), dials[k], Gesture::PressDial, 0, "tab", en);
    }
    const QString fn = QStringLiteral("btnLayer_Fn");
    row("10 btnLayer_Fn", "btnLayer_Fn", Gesture::Click, 1, "Fn", fn);
    row("11 Btn_F1", "Btn_F1", Gesture::Click, 1, "Fn", fn);
    row("12 Btn_F2", "Btn_F2", Gesture::Click, 1, "Fn", fn);
    row("13 Btn_F3", "Btn_F3", Gesture::Click, 1, "Fn", fn);
    row("14 Btn_F4", "Btn_F4", Gesture::Click, 1, "Fn", fn);
    const QString pn = QStringLiteral("BtnLayer_Pn");
    row("15 BtnLayer_Pn", "BtnLayer_Pn", Gesture::Click, 2, "Pn", pn);
    row("16 P1", "P1", Gesture::Click, 2, "Pn", pn);
    row("17 P2", "P2", Gesture::Click, 2, "Pn", pn);
    row("18 P3", "P3", Gesture::Click, 2, "Pn", pn);
    row("19 P4", "P4", Gesture::Click, 2, "Pn", pn);
    const QString zoudai = QStringLiteral("btnLayer_Zoudai");
    row("20 btnLayer_Zoudai", "btnLayer_Zoudai", Gesture::Click, 3, "Zn", zoudai);
    row("21 Btn_Rew", "Btn_Rew", Gesture::Click, 3, "Zn", zoudai);
    row("22 Btn_FF", "Btn_FF", Gesture::Click, 3, "Zn", zoudai);
    row("23 Btn_Play", "Btn_Play", Gesture::Click, 3, "Zn", zoudai);
    row("24 Btn_Stop", "Btn_Stop", Gesture::Click, 3, "Zn", zoudai);
    row("25 Btn_Rec", "Btn_Rec", Gesture::Click, 3, "Zn", zoudai);
    const QString s1 = QStringLiteral("btnLayer_S1");
    row("26 btnLayer_S1", "btnLayer_S1", Gesture::Click, 4, "S1", s1);
    row("27 Slider_S1 pressed", "Slider_S1", Gesture::PressSlider, 4, "S1", s1);
    row("28 Slider_S1 moved", "Slider_S1", Gesture::DragSlider, 4, "S1", s1);
    const QString zn = QStringLiteral("BtnLayer_Zn");
    row("29 BtnLayer_Zn", "BtnLayer_Zn", Gesture::Click, 5, "Zone", zn);
    row("30 btnZ1", "btnZ1", Gesture::Click, 5, "Zone", zn);
    row("31 btnZ2", "btnZ2", Gesture::Click, 5, "Zone", zn);
    row("32 btnZ3", "btnZ3", Gesture::Click, 5, "Zone", zn);
}

void NavigationTest::trigger() {
    QFETCH(QString, sender);
    QFETCH(Gesture, gesture);
    QFETCH(bool, alreadyShown);
    QFETCH(int, page);
    QFETCH(QString, pageName);
    QFETCH(QString, layerButton);

    auto window = shownWindow();
    QVERIFY(window);
    auto* tabs = part<customTab>(window.get(), "tabWidget");
    QVERIFY(tabs);
    QWidget* target = window->findChild<QWidget*>(sender);
    QVERIFY2(target, qPrintable(sender));
    QWindow* handle = window->windowHandle();
    QVERIFY(handle);

    startOn(tabs, page, alreadyShown);
    QCOMPARE(tabs->currentIndex() == page, alreadyShown);

    if (gesture == Gesture::PressSlider || gesture == Gesture::DragSlider) {
        auto* slider = qobject_cast<QSlider*>(target);
        QVERIFY(slider);
        const QPoint at = reachablePoint(window.get(), slider, sliderHandleCentre(slider));
        QVERIFY2(at.x() >= 0, "the slider handle is covered");
        QTest::mousePress(handle, Qt::LeftButton, {}, at);
        QVERIFY(slider->isSliderDown());
        if (gesture == Gesture::DragSlider) {
            startOn(tabs, page, false);
            const int before = slider->value();
            QTest::mouseMove(handle, at + QPoint(30, 0));
            QVERIFY(slider->value() != before);
        }
        QTest::mouseRelease(handle, Qt::LeftButton, {}, at + QPoint(30, 0));
    } else {
        const QPoint at = reachablePoint(window.get(), target);
        QVERIFY2(at.x() >= 0, qPrintable(sender + QStringLiteral(" is covered everywhere")));
        if (gesture == Gesture::PressDial) {
            QTest::mousePress(handle, Qt::LeftButton, {}, at);
            QTest::mouseRelease(handle, Qt::LeftButton, {}, at);
        } else {
            QTest::mouseClick(handle, Qt::LeftButton, {}, at);
        }
    }

    QCOMPARE(tabs->currentIndex(), page);
    QCOMPARE(tabs->currentWidget()->objectName(), pageName);
    QCOMPARE(checkedLayerButtons(window.get()), layerButton);
}

void NavigationTest::keysChangeNoPage() {
    auto window = shownWindow();
    QVERIFY(window);
    auto* tabs = part<customTab>(window.get(), "tabWidget");
    tabs->ChangePage_Fn();
    QWindow* handle = window->windowHandle();
    const QMap<QString, int> selections = comboSelections(window.get());

    int keys = 0;
    for (int note = 48; note <= 72; ++note) {
        const QByteArray name = "Key" + QByteArray::number(note, 16).toUpper();
        auto* key = part<QPushButton>(window.get(), name.constData());
        QVERIFY2(key, name.constData());
        // Black keys lie above their white neighbours, so each key's centre reaches it.
        const QPoint at = key->mapTo(window.get(), key->rect().center());
        QCOMPARE(window->childAt(at), key);
        QTest::mouseClick(handle, Qt::LeftButton, {}, at);
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(checkedLayerButtons(window.get()), QStringLiteral("btnLayer_Fn"));
        ++keys;
    }
    QCOMPARE(keys, 25);
    QCOMPARE(comboSelections(window.get()), selections);
}

void NavigationTest::dialTurnChangesNoPage() {
    auto window = shownWindow();
    QVERIFY(window);
    auto* tabs = part<customTab>(window.get(), "tabWidget");
    tabs->ChangePage_Pn();
    auto* dial = part<QDial>(window.get(), "E3");
    QVERIFY(dial);
    const QMap<QString, int> selections = comboSelections(window.get());
    const int before = dial->value();
    QTest::keyClick(dial, Qt::Key_Up);
    QTest::keyClick(dial, Qt::Key_PageUp);
    QVERIFY(dial->value() > before);
    QCOMPARE(tabs->currentIndex(), 2);
    QCOMPARE(checkedLayerButtons(window.get()), QStringLiteral("BtnLayer_Pn"));
    QCOMPARE(comboSelections(window.get()), selections);
}

// A page other than the first gets its panels when it is first shown: they are shown, bound to
// every bank (the active one's values in the boxes), and next in Tab order after the page
// before them.
void NavigationTest::pageBuiltWhenFirstShown() {
    auto window = shownWindow();
    QVERIFY(window);
    auto* tabs = part<customTab>(window.get(), "tabWidget");
    QVERIFY(part<QComboBox>(window.get(), "F2_ccBox") == nullptr);
    item_Fn[0][1].SetCC(7);
    item_Fn[2][1].SetType(1);
    item_Fn[2][1].SetCC(61);
    item_Fn[2][1].SetChan(5);
    zone_Zn[1].SetProg(42);
    part<QComboBox>(window.get(), "BankBox")->setCurrentIndex(2);

    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                      reachablePoint(window.get(), part<QPushButton>(window.get(), "btnLayer_Fn")));
    QCOMPARE(tabs->currentIndex(), 1);
    auto* cc = part<QComboBox>(window.get(), "F2_ccBox");
    QVERIFY(cc);
    QVERIFY(cc->isVisible());
    QCOMPARE(cc->count(), 128); // the note list
    QCOMPARE(cc->currentIndex(), 61);
    QCOMPARE(part<QComboBox>(window.get(), "F2_typeBox")->currentIndex(), 1);
    QCOMPARE(part<QComboBox>(window.get(), "F2_ChBox")->currentIndex(), 5);

    // Bound to the other banks as well, both ways.
    part<QComboBox>(window.get(), "BankBox")->setCurrentIndex(0);
    QCOMPARE(cc->currentIndex(), 7);
    part<QComboBox>(window.get(), "F2_ChBox")->setCurrentIndex(3);
    QCOMPARE(int{item_Fn[0][1].GetChan()}, 3);
    QCOMPARE(int{item_Fn[2][1].GetChan()}, 5);

    // Tab runs from the first page's last box into this page, and on from there.
    QStringList tabOrder;
    for (QWidget* w = window->nextInFocusChain(); w != window.get(); w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) tabOrder << w->objectName();
    const qsizetype f1 = tabOrder.indexOf(QStringLiteral("F1_typeBox"));
    QVERIFY(f1 > 0);
    // Each page in reading order: the first page ends with E8, the last of its lower row.
    QCOMPARE(tabOrder.mid(f1 - 1, 3), QStringList({"E8_PortBox", "F1_typeBox", "F1_ccBox"}));
    QVERIFY(tabs->widget(0)->isAncestorOf(part<QWidget>(window.get(), "E8_PortBox")));
    // The hidden tab bar takes no focus: the first focus goes to the first box.
    QCOMPARE(tabOrder.first(), QStringLiteral("E1_ccBox"));
    QCOMPARE(tabOrder.value(tabOrder.indexOf(QStringLiteral("F4_modeBox")) + 1),
             QStringLiteral("E1")); // the picture, as before

    tabs->ChangePage_Zn();
    auto* prog = part<QComboBox>(window.get(), "zone2Prog");
    QVERIFY(prog && prog->isVisible());
    QCOMPARE(prog->currentIndex(), 42);
}

QTEST_MAIN(NavigationTest)
#include "test_navigation.moc"
