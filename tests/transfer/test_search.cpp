// The device search as the user sees it, on the virtual bus: the search window and its Cancel
// at start-up and on ReConnect, a window that keeps painting meanwhile, hot-plug, the MIDI
// Ports window and the upgrade dialog's warning about an ALSA-to-JACK bridge.
#include "boxes.h"
#include "emulatordevice.h"
#include "heldbus.h"
#include "helpmenu.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "portsdialog.h"
#include "portwatch.h"
#include "presetprotocol.h"
#include "searches.h"
#include "upgrade.h"
#include "virtualbus.h"
#include "waits.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <QListWidget>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

using korvalen::midi::EmulatorDevice;
using korvalen::midi::Message;
using korvalen::midi::OpenFailure;
using korvalen::midi::VirtualBus;
using testsupport::HeldBus;

namespace {

const QString kPreset0Title = QStringLiteral("Korvalen25 Editor--------P01 Korvalen");

QString textOf(QWidget* window, const char* name) {
    auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("(no %1)").arg(QString::fromLatin1(name));
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

bool isUploadRequest(const Message& m, int preset) {
    return m == Message{0xF0, 0x00, 0x20, 0x6B, 0x02, 0x05, static_cast<std::uint8_t>(preset),
                        0x00, 0xF7};
}

} // namespace

// A line of the ports window as a failed comparison shows it.
char* toString(const PortsDialog::Row& row) {
    const QStringList fields{row.direction, row.name, row.search, row.note};
    return qstrdup(fields.join(QStringLiteral(" | ")).toLocal8Bit().constData());
}

class TestSearch : public QObject {
    Q_OBJECT

    std::shared_ptr<VirtualBus> bus;
    std::shared_ptr<HeldBus> held;

    std::shared_ptr<EmulatorDevice> attachEmulator(unsigned in, unsigned out, int ignoredProbes) {
        korvalen::sim::ControllerEmulator::Options options;
        options.ignoreProbes = ignoredProbes;
        auto device = std::make_shared<EmulatorDevice>(options);
        bus->attach(in, out, device);
        return device;
    }

    // A window on a bus where nothing answers: the start-up search fails and says so.
    std::unique_ptr<Korvalen49_Test> unconnectedWindow() {
        testboxes::BoxAnswerer boxes;
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        if (!testsearch::ended(*window)) return nullptr;
        if (!QTest::qWaitFor([&] { return !boxes.seen.isEmpty(); })) return nullptr;
        if (boxes.seen != QStringList{QStringLiteral("Connection|Connect Error!")}) return nullptr;
        return window;
    }

private slots:
    void init() {
        korvalen::presetGlobals[0] = 0;
        bus = std::make_shared<VirtualBus>();
        held = std::make_shared<HeldBus>(bus);
        korvalen::midi::setPlatform(held);
    }

    void cleanup() {
        midiLink.resetPortTable();
        midiLink.closeOutput();
        bus->quiesce();
        korvalen::midi::setPlatform(nullptr);
        held.reset();
        bus.reset();
    }

    // --- the search window

    // At start-up the window says what the search is doing; Cancel ends the search at once and
    // the specified "Connect Error!" follows, before the main window is shown.
    void startUpSearchShowsItsWindowAndCancelEndsIt_data() {
        QTest::addColumn<unsigned>("inputs");
        QTest::addColumn<unsigned>("outputs");
        QTest::addColumn<unsigned>("passing"); // waits before the one that is held
        QTest::addColumn<QString>("attempt");  // what the search waits for
        QTest::addColumn<QString>("detail");
        const QString waiting = QStringLiteral("Waiting for MIDI ports, 0 s of 10");
        QTest::newRow("a port that does not answer")
            << 1u << 1u << 1u << QStringLiteral("Attempt 1 of 10")
            << QStringLiteral("Asking Virtual MIDI Out 1...");
        QTest::newRow("no output port") << 1u << 0u << 0u << waiting
                                        << QStringLiteral("There is no MIDI output port to ask "
                                                          "the controller on. Is it plugged in?");
        QTest::newRow("no port at all")
            << 0u << 0u << 0u << waiting
            << QStringLiteral("There are no MIDI ports. Is the controller plugged in?");
    }
    void startUpSearchShowsItsWindowAndCancelEndsIt() {
        QFETCH(unsigned, inputs);
        QFETCH(unsigned, outputs);
        QFETCH(unsigned, passing);
        QFETCH(QString, attempt);
        QFETCH(QString, detail);
        bus->setPortCounts(inputs, outputs);
        held->holdAfter(passing);
        QStringList shown;
        bool seen = false;
        testboxes::SearchCanceller canceller([&](QWidget* w) {
            // The window stays (saying that it stops) until the search has ended.
            if (!seen) {
                shown = {w->windowTitle(), textOf(w, "searchAttempt"), textOf(w, "searchDetail")};
                seen = shown.last() == detail;
            }
            return seen;
        });
        testboxes::BoxAnswerer boxes;
        Korvalen49_Test window;
        window.show();
        QVERIFY(testsearch::ended(window));
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        QVERIFY(!held->limitReached());
        QCOMPARE(shown,
                 (QStringList{QStringLiteral("Connecting to the Korvalen25"), attempt, detail}));
        QCOMPARE(canceller.cancelled, 1);
        QVERIFY(midiLink.lastSearch().stopped);
        QCOMPARE(midiLink.lastSearch().attempts, 1);
        KORVALEN_TRY_COMPARE(boxes.seen, QStringList{QStringLiteral("Connection|Connect Error!")});
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Connect Error"));
        QVERIFY(window.searchWindow() == nullptr);
        QCOMPARE(textOf(&window, "linkNote"), QStringLiteral("Not connected"));
    }

    // A search blocks nothing but the commands that use the MIDI ports: its window is not
    // modal, files and the library stay usable, DownLoad, ReConnect and the comparison
    // with the controller are greyed until it has ended.
    void searchGreysOnlyThePortCommands() {
        bus->setPortCounts(1, 1);
        attachEmulator(0, 0, 0);
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);
        auto action = [&](const char* name) {
            auto* a = window->findChild<QAction*>(QLatin1String(name));
            return a && a->isEnabled();
        };
        const char* portCommands[] = {"actionDownLoad", "actionReConnect",
                                      "actionCompareController"};
        const char* otherCommands[] = {"actionLoad_from_file", "actionSave_to_file",
                                       "actionLibrary", "actionUpgrade"};
        for (const char* name : portCommands)
            QVERIFY2(action(name), name);

        bus->detachAll();
        held->holdAfter(1);
        window->reconnectSlot();
        QVERIFY(window->isSearching());
        KORVALEN_TRY_VERIFY(window->searchWindow() && window->searchWindow()->isVisible());
        QVERIFY(!window->searchWindow()->isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        for (const char* name : portCommands)
            QVERIFY2(!action(name), name);
        for (const char* name : otherCommands)
            QVERIFY2(action(name), name);

        testboxes::BoxAnswerer boxes;
        window->controllerConnection().stopSearch();
        held->release();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(boxes.seen, QStringList{QStringLiteral("Connection|Connect Error!")});
        for (const char* name : portCommands)
            QVERIFY2(action(name), name);
    }

    // ReConnect searches on a thread of its own: while the search waits, the window still
    // paints; Cancel ends it as not found.
    void reconnectKeepsTheWindowPainting() {
        bus->setPortCounts(1, 1);
        attachEmulator(0, 0, 0);
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);

        bus->detachAll(); // unplugged: its port stays, silent
        held->holdAfter(1);
        PaintCounter counter;
        window->installEventFilter(&counter);
        int paintsWhileSearching = -1;
        bool asked = false;
        testboxes::SearchCanceller canceller([&](QWidget*) {
            if (!asked) {
                asked = true;
                counter.paints = 0;
                window->update();
                return false;
            }
            paintsWhileSearching = counter.paints;
            return paintsWhileSearching > 0;
        });
        testboxes::BoxAnswerer boxes;
        window->reconnectSlot();
        QVERIFY(testsearch::ended(*window));
        QVERIFY(!held->limitReached());
        QVERIFY2(paintsWhileSearching > 0, "the window did not paint while the search ran");
        QVERIFY(midiLink.lastSearch().stopped);
        KORVALEN_TRY_COMPARE(boxes.seen, QStringList{QStringLiteral("Connection|Connect Error!")});
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Connect Error"));
        QCOMPARE(window->linkState(), Korvalen49_Test::LinkState::NotConnected);
    }

    // The window is shown at once: the search runs beside it, and the window takes its result
    // afterwards. Until then the search owns the ports: a firmware upgrade started after the
    // search's thread has ended, but before the window has taken the ports it found, is
    // refused (it would take them from under the window).
    void upgradeWaitsUntilTheWindowHasTakenTheSearch() {
        bus->setPortCounts(1, 1);
        attachEmulator(0, 0, 0);
        auto window = std::make_unique<Korvalen49_Test>();
        QVERIFY(window->isSearching());
        // The thread ends; the event loop does not turn, so the window has not taken it yet.
        while (midiLink.delivery != midiMethodClass::Delivery::Window)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        QVERIFY(window->isSearching());
        QCOMPARE(window->linkState(), Korvalen49_Test::LinkState::Searching);
        window->findChild<QAction*>(QStringLiteral("actionUpgrade"))->trigger();
        UpgradeDlg* dialog = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<UpgradeDlg*>(w)) dialog = d;
        QVERIFY(dialog);
        dialog->OnFirmwareUpgrade();
        QVERIFY(!connectThread.isRunning());
        QVERIFY(dialog->ui.upgradeLog->count() > 0);
        QVERIFY2(dialog->ui.upgradeLog->item(dialog->ui.upgradeLog->count() - 1)
                     ->text()
                     .startsWith(QStringLiteral("The editor is searching for the controller")),
                 "Start was not refused");
        QVERIFY(testsearch::ended(*window));
        QCOMPARE(window->linkState(), Korvalen49_Test::LinkState::Connected);
        dialog->hide();
    }

    // StatusInit is a slot that anyone may call; a second call connects no command twice.
    void statusInitTwiceConnectsEachCommandOnce() {
        bus->setPortCounts(1, 1);
        attachEmulator(0, 0, 0);
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);
        window->StatusInit();
        QVERIFY(!window->isSearching());
        testboxes::BoxAnswerer boxes(QMessageBox::Cancel);
        window->findChild<QAction*>(QStringLiteral("actionDownLoad"))->trigger();
        KORVALEN_TRY_COMPARE(
            boxes.seen, QStringList{QStringLiteral("Warning|Download to Korvalen,are you sure?")});
    }

    // --- hot-plug

    // Not connected at start-up; a controller plugged in later is found without ReConnect,
    // also when it ignores its first probes while it starts. Only the new port is asked.
    void controllerPluggedInLaterIsConnected() {
        bus->setPortCounts(1, 1); // a MIDI device that never answers
        auto window = unconnectedWindow();
        QVERIFY(window);
        bus->clearSent();

        bus->setPortCounts(2, 2);
        attachEmulator(1, 1, 2);
        testboxes::BoxAnswerer boxes;
        window->portWatch().poll();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);
        QVERIFY2(boxes.seen.isEmpty(), qPrintable(boxes.seen.join(QLatin1Char('/'))));
        QCOMPARE(textOf(window.get(), "linkNote"),
                 QStringLiteral("Controller on Virtual MIDI Out 2"));
        const auto& record = window->lastSearchRecord();
        QCOMPARE(record.attempts, 3);
        QVERIFY(!record.outputs[0].probed);
        QVERIFY(bus->sent(0).empty());
        // The next reading finds nothing new: no search.
        const auto sentBefore = bus->sent(1).size();
        window->portWatch().poll();
        QVERIFY(testsearch::ended(*window));
        QVERIFY(!window->isSearching());
        QCOMPARE(bus->sent(1).size(), sentBefore);
    }

    // A new port where nothing answers: the search says so on the status bar, and the same
    // port is not searched again at the next reading.
    void newPortWithoutControllerIsSearchedOnce() {
        bus->setPortCounts(1, 1);
        auto window = unconnectedWindow();
        QVERIFY(window);
        bus->setPortCounts(1, 2);
        window->portWatch().poll();
        QVERIFY(testsearch::ended(*window));
        QVERIFY(window->statusBar()->currentMessage().startsWith(
            QStringLiteral("No Korvalen25 answered on the new MIDI port(s) Virtual MIDI Out 2.")));
        // One probe per attempt, and no more at the next reading.
        const auto probes = std::size_t(Korvalen49_Test::kHotPlugAttempts);
        QCOMPARE(bus->sent(1).size(), probes);
        window->portWatch().poll();
        QVERIFY(testsearch::ended(*window));
        QCOMPARE(bus->sent(1).size(), probes);
    }

    // A lost controller that comes back is found again; with unsent edits the editor asks
    // before its preset 0 replaces them, and keeping them sends no upload request.
    void lostControllerIsFoundAgain_data() {
        QTest::addColumn<bool>("edited");
        QTest::newRow("no edits") << false;
        QTest::newRow("edits kept") << true;
    }
    void lostControllerIsFoundAgain() {
        QFETCH(bool, edited);
        bus->setPortCounts(1, 1);
        auto device = attachEmulator(0, 0, 0);
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);

        bus->setPortCounts(0, 0);
        window->portWatch().poll();
        QVERIFY(testsearch::ended(*window));
        QCOMPARE(textOf(window.get(), "linkNote"),
                 QStringLiteral("Controller lost (Virtual MIDI Out 1)"));
        auto* e1 = window->findChild<QComboBox*>(QStringLiteral("E1_ccBox"));
        const int edit = (e1->currentIndex() + 1) % 100;
        if (edited) e1->setCurrentIndex(edit);

        bus->setPortCounts(1, 1);
        bus->clearSent();
        testboxes::BoxAnswerer boxes(QMessageBox::Cancel);
        window->portWatch().poll();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
        QCOMPARE(textOf(window.get(), "linkNote"),
                 QStringLiteral("Controller on Virtual MIDI Out 1"));
        const auto sent = bus->sent(0);
        const bool requested = std::any_of(sent.begin(), sent.end(),
                                           [](const Message& m) { return isUploadRequest(m, 0); });
        QCOMPARE(requested, !edited);
        KORVALEN_TRY_COMPARE(boxes.seen.size(), edited ? 1 : 0);
        if (edited) {
            QVERIFY(boxes.seen[0].startsWith(QStringLiteral("Connection|The preset has edits")));
            QCOMPARE(e1->currentIndex(), edit);
            QCOMPARE(int{item_En[0][0].GetCC()}, edit);
        }
    }

    // --- MIDI Ports

    // The last entry of "Menu": every port, what the search did with it, why a port could not
    // be opened, the controller's ports, a bridged port, and a port that came later.
    void portsWindowSaysWhatEachPortDid() {
        bus->setPortCounts(3, 3);
        bus->setInputOpenFails(1, true, OpenFailure::InUse);
        bus->setInputOpenFails(2, true);
        bus->setOutputOpenFails(0, true, OpenFailure::InUse);
        const QString bridged = QStringLiteral("a2j:Synth [24] (playback): Synth MIDI 1");
        bus->setOutputName(1, bridged.toStdString());
        attachEmulator(0, 2, 0);
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);

        auto* menu = window->findChild<QMenu*>(QStringLiteral("menuMenu"));
        QList<QAction*> entries;
        QStringList shown;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) {
                entries << a;
                shown << helpmenu::shownText(a->text());
            }
        QCOMPARE(shown, (QStringList{"Upload", "DownLoad", "ReConnect", "MIDI Ports", "Quit"}));
        entries[3]->trigger();
        PortsDialog* ports = window->portsDialog();
        QVERIFY(ports && ports->isVisible());
        QCOMPARE(ports->shownSummary(), QStringLiteral("MIDI backend: virtual. Last search: found "
                                                       "the controller on Virtual MIDI Out 3."));
        const QString bridge = QStringLiteral("ALSA-to-JACK bridge");
        using Row = PortsDialog::Row;
        const QList<Row> expected = {
            {"In", "Virtual MIDI In 1", "opened; an answer came in on it", "the controller"},
            {"In", "Virtual MIDI In 2", "could not be opened (in use by another program?)", ""},
            {"In", "Virtual MIDI In 3", "could not be opened", ""},
            {"Out", "Virtual MIDI Out 1", "could not be opened (in use by another program?)", ""},
            {"Out", bridged, "opened; took the probe; no answer", bridge},
            {"Out", "Virtual MIDI Out 3", "opened; took the probe; answered", "the controller"},
        };
        QCOMPARE(ports->shownRows(), expected);
        QVERIFY(ports->shownBridgeWarning().startsWith(
            QStringLiteral("A port marked \"ALSA-to-JACK bridge\" drops every MIDI message over "
                           "16 bytes")));

        // A port that comes later is listed at the next reading of the port list.
        bus->setPortCounts(3, 4);
        window->portWatch().poll();
        QVERIFY(testsearch::ended(*window));
        QCOMPARE(ports->shownRows().size(), 7);
        QCOMPARE(ports->shownRows().last(),
                 (Row{"Out", "Virtual MIDI Out 4", "not there at the last search", ""}));
    }

    // Start in the upgrade dialog with the controller behind an ALSA-to-JACK bridge: a warning
    // first; No starts nothing.
    void upgradeWarnsAboutABridge() {
        bus->setPortCounts(1, 2);
        const QString bridged = QStringLiteral("a2j:Korvalen25 [24] (playback): Korvalen25 MIDI 1");
        bus->setOutputName(1, bridged.toStdString());
        UpgradeDlg dialog;
        {
            testboxes::BoxAnswerer boxes(QMessageBox::No);
            dialog.OnFirmwareUpgrade();
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
            QVERIFY2(boxes.seen[0].contains(bridged + QStringLiteral(" is a port of an "
                                                                     "ALSA-to-JACK bridge")),
                     qPrintable(boxes.seen[0]));
        }
        QVERIFY(!connectThread.isRunning());
        QCOMPARE(dialog.ui.upgradeLog->count(), 1);
        QVERIFY(bus->sent(1).empty() && bus->sent(0).empty());
        // Without the bridge there is nothing to ask.
        bus->setOutputName(1, "Virtual MIDI Out 2");
        testboxes::BoxAnswerer boxes(QMessageBox::No);
        dialog.OnFirmwareUpgrade();
        connectThread.wait();
        QVERIFY(boxes.seen.isEmpty());
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
