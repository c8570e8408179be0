// Following the controller: a control touched on the controller emulator (on the virtual bus)
// shows its page and bank and marks its boxes; a message several controls send lists them; one
// that no control sends says so; nothing is followed while the entry is off or an upload is
// under way; the entry is remembered across runs.
#include "emulatorbus.h"
#include "followcontroller.h"
#include "korvalen49_test.h"
#include "searches.h"
#include "touch.h"
#include "waits.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using korvalen::sim::ControllerEmulator;

namespace {

// Notes every change mark the window shows (by its box's place), however briefly it stays.
class MarkWatcher : public QObject {
public:
    MarkWatcher() { qApp->installEventFilter(this); }
    ~MarkWatcher() override { qApp->removeEventFilter(this); }
    struct Mark {
        QWidget* page;
        QRect geometry;
    };
    QList<Mark> marks;

    // The boxes among `boxes` that a mark has framed.
    QStringList framed(const QList<QComboBox*>& boxes) const {
        QStringList names;
        for (QComboBox* box : boxes)
            for (const Mark& m : marks)
                if (m.page == box->parentWidget() && m.geometry.intersects(box->geometry())) {
                    names << box->objectName();
                    break;
                }
        return names;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("changeMark")) {
            auto* w = static_cast<QWidget*>(watched);
            marks.append({w->parentWidget(), w->geometry()});
        }
        return false;
    }
};

} // namespace

class TestFollow : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;
    testsupport::EmulatorBus on;
    std::unique_ptr<Korvalen49_Test> window;
    korvalen::sim::SelectedBanks banks;

    QAction* followAction() {
        return window->findChild<QAction*>(QStringLiteral("actionFollowController"));
    }
    QTabWidget* tabs() { return window->findChild<QTabWidget*>(QStringLiteral("tabWidget")); }
    QComboBox* box(const QString& name) { return window->findChild<QComboBox*>(name); }
    QString status() { return window->statusBar()->currentMessage(); }
    // Shows a page as the controller picture does (a ChangePage_ slot of the page widget).
    void showPage(const char* slot) { QVERIFY(QMetaObject::invokeMethod(tabs(), slot)); }

    // A window connected to the emulator whose preset 0 is `preset`, with its preset read.
    void open(const korvalen::sim::StoredPreset& preset) {
        QVERIFY(on.device->emulator().setPreset(0, preset));
        window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("Upload OK!"));
        window->buildAllPages();
    }
    // Touches a control on the emulator: what it sends arrives at the editor.
    void touch(const char* control) {
        on.bus->quiesce();
        std::string why;
        const auto t = korvalen::sim::parseTouch(control, &why);
        QVERIFY2(t.has_value(), why.c_str());
        const auto messages = korvalen::sim::touchMessages(on.device->emulator(), *t, banks);
        QVERIFY(!messages.empty());
        for (const auto& m : messages)
            on.bus->inject(0, m);
    }
    // A message from the controller, as it is.
    void send(std::vector<std::uint8_t> message) { on.bus->inject(0, std::move(message)); }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        // The remembered choice goes to the test's folder, never to the user's settings.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }

    void init() {
        // Each test begins with nothing remembered: following is off.
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("korvalen25"),
                  QStringLiteral("korvalen25-editor"))
            .clear();
        on.install();
        banks = {};
    }

    void cleanup() {
        window.reset();
        on.release();
    }

    // The factory preset: encoders on CC 20-51 with bank b on channel b, function buttons on CC
    // 102-117 (channel 1), pads on notes 36-43 (channel 10), the transport on the MMC commands
    // 3-7, the slider on CC 7, zone 1 over the keyboard on channel 1.
    void touchShowsTheControl_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("bank"); // BankBox, or PadBankBox for pads
        QTest::addColumn<QString>("note");
        QTest::addColumn<QStringList>("boxes");
        const QStringList e3{"E3_ccBox", "E3_ChBox", "E3_PortBox"};
        QTest::newRow("E3, bank 3") << "E3:3" << 0 << 2 << "CC 38 on channel 3: E3 bank 3" << e3;
        QTest::newRow("E3, bank 1") << "E3" << 0 << 0 << "CC 22 on channel 1: E3 bank 1" << e3;
        QTest::newRow("F2, bank 4, momentary")
            << "F2:4" << 1 << 3 << "CC 115 on channel 1: F2 bank 4"
            << QStringList{"F2_typeBox", "F2_ccBox", "F2_ChBox", "F2_PortBox", "F2_modeBox"};
        QTest::newRow("P3, bank B")
            << "P3:B" << 2 << 1 << "Note F#2 on channel 10: P3 bank B"
            << QStringList{"P3_typeBox", "P3_ccBox", "P3_ChBox", "P3_PortBox", "P3_modeBox"};
        QTest::newRow("PLAY, an MMC command")
            << "PLAY" << 3 << -1 << "Record Strobe: PLAY"
            << QStringList{"Z4_typeBox", "Z4_ccBox", "Z4_ChBox", "Z4_PortBox", "Z4_modeBox"};
        QTest::newRow("slider") << "SLIDER" << 4 << -1 << "CC 7 on channel 1: S1"
                                << QStringList{"S1_ccBox", "S1_ChBox", "S1_PortBox"};
        QTest::newRow("a key") << "KEY C4" << 5 << -1 << "Note C4 on channel 1: Zone 1"
                               << QStringList{"zone1Chan", "zone1RangSta", "zone1RangEnd"};
    }
    void touchShowsTheControl() {
        QFETCH(QString, control);
        QFETCH(int, page);
        QFETCH(int, bank);
        QFETCH(QString, note);
        QFETCH(QStringList, boxes);
        open(ControllerEmulator::factoryPreset(0));
        followAction()->setChecked(true);
        // Elsewhere first: the slider's page, bank 2 of the encoders, bank A of the pads.
        box(QStringLiteral("BankBox"))->setCurrentIndex(1);
        showPage(page == 4 ? "ChangePage_En" : "ChangePage_S1");
        MarkWatcher watcher;
        touch(control.toLatin1().constData());
        KORVALEN_TRY_COMPARE(status(), note);
        QCOMPARE(tabs()->currentIndex(), page);
        if (page == 2)
            QCOMPARE(box(QStringLiteral("PadBankBox"))->currentIndex(), bank);
        else if (bank >= 0)
            QCOMPARE(box(QStringLiteral("BankBox"))->currentIndex(), bank);
        else
            QCOMPARE(box(QStringLiteral("BankBox"))->currentIndex(), 1); // left as it was
        QList<QComboBox*> all;
        for (QComboBox* b : tabs()->currentWidget()->findChildren<QComboBox*>())
            if (b->objectName() != QLatin1String("BankBox") &&
                b->objectName() != QLatin1String("PadBankBox"))
                all << b;
        QStringList framed = watcher.framed(all);
        framed.sort();
        boxes.sort();
        QCOMPARE(framed, boxes);
    }

    // One message that E3 of bank 2 and E7 of bank 4 both send: both are listed, the first is
    // shown.
    void severalControlsAreListed() {
        auto preset = ControllerEmulator::factoryPreset(0);
        using namespace korvalen::sim::controls;
        preset.controls[kEncoders + 8 + 2] = {0, 7, 2, 0, 0};
        preset.controls[kEncoders + 24 + 6] = {0, 7, 2, 0, 0};
        open(preset);
        followAction()->setChecked(true);
        MarkWatcher watcher;
        banks.encoders = 3;
        touch("E7");
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("CC 7 on channel 3: E3 bank 2, E7 bank 4"));
        QCOMPARE(tabs()->currentIndex(), 0);
        QCOMPARE(box(QStringLiteral("BankBox"))->currentIndex(), 1);
        QCOMPARE(watcher.framed({box("E3_ccBox"), box("E7_ccBox")}), QStringList{"E3_ccBox"});
    }

    // A message no control sends is told, and nothing moves.
    void noControlIsTold() {
        open(ControllerEmulator::factoryPreset(0));
        followAction()->setChecked(true);
        showPage("ChangePage_S1");
        send({0xB5, 80, 1});
        KORVALEN_TRY_COMPARE(
            status(), QStringLiteral("CC 80 on channel 6: no control of this preset sends it"));
        QCOMPARE(tabs()->currentIndex(), 4);
        // The controller's own System Exclusive is no touch: its identity reply changes nothing.
        send({0xF0, 0x00, 0x00, 0x66, 0x14, 0x1B, 0x01, 0x02, 0x5A, 0x74, 0xF7});
        touch("SLIDER");
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("CC 7 on channel 1: S1"));
    }

    // Off, a touch changes nothing; the messages that come before the entry is turned on are
    // handled (and left alone) before the ones after it.
    void offFollowsNothing() {
        open(ControllerEmulator::factoryPreset(0));
        QVERIFY(!followAction()->isChecked());
        showPage("ChangePage_S1");
        touch("E3:3");
        on.bus->quiesce();
        QCoreApplication::processEvents();
        followAction()->setChecked(true);
        touch("PLAY");
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("Record Strobe: PLAY"));
        QCOMPARE(box(QStringLiteral("BankBox"))->currentIndex(), 0);
        QCOMPARE(tabs()->currentIndex(), 3);
    }

    // While an upload is under way, what the controller sends is the upload's: no touch.
    void uploadFollowsNothing() {
        open(ControllerEmulator::factoryPreset(0));
        followAction()->setChecked(true);
        showPage("ChangePage_S1");
        // The dump is held back in virtual time, which only a search moves on.
        on.device->setReplyDelayMs(60000);
        QVERIFY(window->requestUpload(16));
        QVERIFY(window->isUploadPending());
        const QString before = status();
        touch("E3:3");
        on.bus->quiesce();
        QCoreApplication::processEvents();
        QVERIFY(window->isUploadPending());
        QCOMPARE(tabs()->currentIndex(), 4);
        QCOMPARE(box(QStringLiteral("BankBox"))->currentIndex(), 0);
        QCOMPARE(status(), before);
        window->abandonUpload(QStringLiteral("stopped by the test"));
        on.device->setReplyDelayMs(0);
        touch("E3:3");
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("CC 38 on channel 3: E3 bank 3"));
    }

    // The entry sits at the end of the Edit menu, has an access letter, and is remembered.
    void theEntryIsRemembered() {
        open(ControllerEmulator::factoryPreset(0));
        QAction* action = followAction();
        QVERIFY(action != nullptr);
        QVERIFY(action->isCheckable());
        QCOMPARE(action->parent(), static_cast<QObject*>(&window->followController()));
        auto* edit = window->findChild<QMenu*>(QStringLiteral("menuEdit"));
        QVERIFY(edit != nullptr);
        QCOMPARE(edit->actions().constLast(), action);
        QVERIFY(action->text().contains(QLatin1Char('&')));
        QVERIFY(!action->statusTip().isEmpty());
        QVERIFY(!action->isChecked());
        action->setChecked(true);
        window.reset();
        on.release();
        on.install();
        open(ControllerEmulator::factoryPreset(0));
        QVERIFY(followAction()->isChecked());
        followAction()->setChecked(false);
        window.reset();
        on.release();
        on.install();
        open(ControllerEmulator::factoryPreset(0));
        QVERIFY(!followAction()->isChecked());
    }
};

QTEST_MAIN(TestFollow)
#include "test_follow.moc"
