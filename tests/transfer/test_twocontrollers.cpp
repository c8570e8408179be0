// Two controllers on the virtual bus, as the editor's user sees them: the window asks which one
// to use in a box that does not block, connects to the one chosen and remembers it for the
// next start; the upgrade dialog asks which one to flash and flashes only that one.
#include "boxes.h"
#include "choosecontroller.h"
#include "emulatordevice.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "searches.h"
#include "upgrade.h"
#include "upgradefiles.h"
#include "virtualbus.h"
#include "waits.h"

#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QListWidget>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using korvalen::midi::EmulatorDevice;
using korvalen::midi::VirtualBus;
using korvalen::sim::ControllerEmulator;

namespace {

const QString kLeftOut = QStringLiteral("Korvalen25 Left MIDI Out");
const QString kRightOut = QStringLiteral("Korvalen25 Right MIDI Out");

QString textOf(QWidget* window, const char* name) {
    auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QString();
}

// The box that asks which controller to use, while it shows.
QInputDialog* shownChooser() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(choosecontroller::kBoxName) && w->isVisible())
            return qobject_cast<QInputDialog*>(w);
    return nullptr;
}

// The same once it shows; bounded by the test's time-out.
QInputDialog* chooser() {
    while (shownChooser() == nullptr)
        QTest::qWait(10);
    return shownChooser();
}

// The box's choices, as it lists them.
QStringList choices(QInputDialog* box) {
    QStringList items;
    if (auto* combo = box->findChild<QComboBox*>())
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
    return items;
}

// Picks the choice that holds `port` and presses OK.
bool pick(QInputDialog* box, const QString& port) {
    for (const QString& item : choices(box))
        if (item.startsWith(port)) {
            box->setTextValue(item);
            box->accept();
            return true;
        }
    return false;
}

} // namespace

class TestTwoControllers : public QObject {
    Q_OBJECT

    std::shared_ptr<VirtualBus> bus;
    std::shared_ptr<EmulatorDevice> left;
    std::shared_ptr<EmulatorDevice> right;
    QTemporaryDir settingsDir;

    // "Korvalen25 Left" on pair 0 and "Korvalen25 Right" on pair 1.
    void twoControllers(ControllerEmulator::Options options = {}) {
        bus->setPortCounts(2, 2);
        bus->setInputName(0, "Korvalen25 Left MIDI In");
        bus->setOutputName(0, kLeftOut.toStdString());
        bus->setInputName(1, "Korvalen25 Right MIDI In");
        bus->setOutputName(1, kRightOut.toStdString());
        left = std::make_shared<EmulatorDevice>(options);
        right = std::make_shared<EmulatorDevice>(options);
        bus->attach(0, 0, left);
        bus->attach(1, 1, right);
    }

private slots:
    void initTestCase() {
        // The choice is remembered here, not in the user's settings.
        QVERIFY(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    }

    void init() {
        choosecontroller::rememberPort(QString());
        korvalen::presetGlobals[0] = 0;
        bus = std::make_shared<VirtualBus>();
        korvalen::midi::setPlatform(bus);
    }

    void cleanup() {
        connectThread.requestStop();
        connectThread.wait();
        midiLink.resetPortTable();
        midiLink.closeOutput();
        bus->quiesce();
        korvalen::midi::setPlatform(nullptr);
        bus.reset();
    }

    // At start-up both answer: the window asks (and shows no "Connect Error!"), connects to the
    // one chosen, and the next start connects to it without asking.
    void windowAsksAndRemembers() {
        twoControllers();
        testboxes::BoxAnswerer boxes;
        {
            Korvalen49_Test window;
            window.show();
            QVERIFY(testsearch::ended(window));
            QInputDialog* box = chooser();
            QVERIFY(box);
            QCOMPARE(box->windowTitle(), QStringLiteral("Connection"));
            QCOMPARE(choices(box),
                     (QStringList{kLeftOut + "  (input: Korvalen25 Left MIDI In)",
                                  kRightOut + "  (input: Korvalen25 Right MIDI In)"}));
            QVERIFY(!box->isModal() || box->windowModality() != Qt::ApplicationModal);
            QCOMPARE(textOf(&window, "linkNote"), QStringLiteral("Not connected"));
            QVERIFY(pick(box, kRightOut));
            KORVALEN_TRY_COMPARE(window.linkState(), Korvalen49_Test::LinkState::Connected);
            QCOMPARE(textOf(&window, "linkNote"), QStringLiteral("Controller on ") + kRightOut);
            QCOMPARE(midiLink.controllerInputName(), std::string("Korvalen25 Right MIDI In"));
            QCOMPARE(choosecontroller::rememberedPort(), kRightOut);
        }
        midiLink.resetPortTable();
        midiLink.closeOutput();
        {
            Korvalen49_Test window;
            window.show();
            QVERIFY(testsearch::ended(window));
            QCOMPARE(textOf(&window, "linkNote"), QStringLiteral("Controller on ") + kRightOut);
            QTest::qWait(50);
            QVERIFY(shownChooser() == nullptr);
        }
        QVERIFY2(boxes.seen.isEmpty(), qPrintable(boxes.seen.join('/')));
    }

    // Cancel: no controller is taken, nothing is remembered, no search starts again.
    void cancelTakesNone() {
        twoControllers();
        testboxes::BoxAnswerer boxes;
        Korvalen49_Test window;
        window.show();
        QVERIFY(testsearch::ended(window));
        QInputDialog* box = chooser();
        QVERIFY(box);
        box->reject();
        QTest::qWait(50);
        QVERIFY(!window.isSearching());
        QCOMPARE(window.linkState(), Korvalen49_Test::LinkState::NotConnected);
        QCOMPARE(choosecontroller::rememberedPort(), QString());
        QVERIFY(boxes.seen.isEmpty());
    }

    // Two controllers in upgrade mode: Start flashes neither and asks; the one chosen is
    // flashed, the other is left as it was.
    void upgradeAsksWhichToFlash() {
        ControllerEmulator::Options options;
        options.mode = ControllerEmulator::Mode::Upgrade;
        options.upgradeId = testupgrade::kId;
        twoControllers(options);
        QTemporaryDir dir;
        const QByteArray body = testupgrade::randomBody(28 * 5 + 3, 7);
        const QString path = dir.filePath("fw.bin");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(testupgrade::imageFile(body));
        f.close();
        UpgradeDlg dlg;
        dlg.show();
        dlg.loadImage(path);
        dlg.OnFirmwareUpgrade();
        QInputDialog* box = chooser();
        QVERIFY(box);
        QVERIFY(left->emulator().image().empty() && right->emulator().image().empty());
        QVERIFY(dlg.ui.upgradeStart->isEnabled());
        QStringList log;
        for (int i = 0; i < dlg.ui.upgradeLog->count(); ++i)
            log << dlg.ui.upgradeLog->item(i)->text();
        const QStringList listed{
            "2 controllers in upgrade mode answered, and none was flashed. Choose the one to "
            "flash.",
            "Controller in upgrade mode on \"Korvalen25 Left MIDI Out\" (input \"Korvalen25 Left "
            "MIDI In\")",
            "Controller in upgrade mode on \"Korvalen25 Right MIDI Out\" (input \"Korvalen25 "
            "Right MIDI In\")"};
        QVERIFY2(log.mid(log.size() - 3) == listed, qPrintable(log.join('\n')));
        QVERIFY(pick(box, kLeftOut));
        KORVALEN_TRY_VERIFY(connectThread.outcome() == ConnectThread::Outcome::Flashed);
        connectThread.wait();
        const auto& flashed = left->emulator().image();
        QCOMPARE(
            QByteArray(reinterpret_cast<const char*>(flashed.data()), qsizetype(flashed.size())),
            body);
        QVERIFY(right->emulator().image().empty());
    }
};

QTEST_MAIN(TestTwoControllers)
#include "test_twocontrollers.moc"
