// The window's transfer commands against the controller emulator on the virtual bus: the
// connection and the upload of preset 0 at start-up, the download, the upload of another
// preset, and what the user is told when the controller cannot be reached.
#include "boxes.h"
#include "downloads.h"
#include "emulatorbus.h"
#include "emulatordevice.h"
#include "heldbus.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "modelcheck.h"
#include "presetprotocol.h"
#include "searches.h"
#include "upgrade.h"
#include "virtualbus.h"
#include "waits.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <memory>

using korvalen::midi::EmulatorDevice;
using korvalen::midi::Message;
using korvalen::midi::VirtualBus;

class TestTransfer : public QObject {
    Q_OBJECT

    testsupport::EmulatorBus on;
    std::shared_ptr<VirtualBus>& bus = on.bus;
    std::shared_ptr<EmulatorDevice>& device = on.device;

    // A window on a bus with the emulator on port pair 0; returns once preset 0 is in (a window
    // that never gets it is ended by the test's time-out).
    std::unique_ptr<Korvalen49_Test> connectedWindow() {
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        if (!testsearch::ended(*window)) return nullptr;
        bus->quiesce();
        const auto* ok = "Korvalen25 Editor--------P01 Korvalen";
        testwait::until([&] { return window->windowTitle() == ok; });
        // The pages other than the first are built now, after the upload: their boxes must
        // show what came in.
        window->buildAllPages();
        return window;
    }

    // Moves the bus's clock on by `ms`, a little at a time, and lets the window read what
    // came after each step (the ring holds only part of a dump). It stops early once the
    // window's upload has ended: a download that takes its turn then moves the clock itself.
    void advance(Korvalen49_Test& window, unsigned ms) {
        for (unsigned done = 0; done < ms && window.isUploadPending(); done += 20) {
            bus->sleep(20);
            QCoreApplication::sendPostedEvents();
        }
    }

private slots:
    void init() { on.install(); }
    void cleanup() { on.release(); }

    // A dump that stops before its end record closes the upload 5 s after its last bytes,
    // not after the request: open still at 4.5 s of quiet, closed by 5.5 s. The dump comes
    // 2 s after the request, so a time-out counted from the request would end it at 3 s of
    // quiet. The two marks are timers of the window's thread: they keep their order with the
    // upload's time-out however slowly the machine runs.
    void uploadTimesOutFiveSecondsAfterTheLastBytes() {
        auto window = connectedWindow();
        bus->quiesce(); // the emulator runs on the bus's thread
        device->emulator().options().dumpFault = korvalen::sim::ControllerEmulator::DumpFault::Cut;
        device->emulator().options().dumpFaultRecord = 40;
        device->setReplyDelayMs(100); // the dump comes when the clock is moved on
        const PresetSnapshot before = takePresetSnapshot();
        QVERIFY(window->requestUpload(19));
        QTest::qWait(2000);
        if (!window->isUploadPending())
            QSKIP("The machine stalled for 5 s before the dump could be sent: nothing to learn");

        QTimer early;
        QTimer late;
        bool openAtEarly = false;
        bool openAtLate = true;
        bool lateCame = false;
        for (QTimer* mark : {&early, &late}) {
            mark->setSingleShot(true);
            mark->setTimerType(Qt::PreciseTimer);
        }
        connect(&early, &QTimer::timeout, this, [&] { openAtEarly = window->isUploadPending(); });
        connect(&late, &QTimer::timeout, this, [&] {
            openAtLate = window->isUploadPending();
            lateCame = true;
        });
        early.start(4500);                    // before the bytes: at most 4.5 s after them
        bus->sleep(100);                      // the dump, cut before record 40
        QCoreApplication::sendPostedEvents(); // the window reads every piece of it
        QVERIFY(takePresetSnapshot() != before);
        late.start(5500); // after the last read: at least 5.5 s after the bytes
        while (!lateCame)
            QTest::qWait(50);
        QVERIFY(openAtEarly);
        QVERIFY(!openAtLate);
        QVERIFY2(window->statusBar()->currentMessage().startsWith(
                     QStringLiteral("Upload failed: the controller did not finish")),
                 qPrintable(window->statusBar()->currentMessage()));
        QCOMPARE(takePresetSnapshot(), before);
    }

    // DownLoad while an upload is still arriving: the download waits for the upload's end and
    // sends what the editor shows then. The controller ends up holding exactly the uploaded
    // preset under its own number, never a mix of the two, and preset 0 stays as it was.
    void downloadDuringASlowUploadWaitsForItsEnd() {
        auto window = connectedWindow();
        bus->quiesce(); // the emulator runs on the bus's thread
        auto& emulator = device->emulator();
        // P20 differs from preset 0 in every control, so any mix shows.
        korvalen::sim::StoredPreset p20 = *emulator.preset(0);
        for (auto& a : p20.controls)
            a.cc = static_cast<std::uint8_t>((a.cc + 5) % 120);
        p20.globals[0] = 19;
        QVERIFY(emulator.setPreset(19, p20));
        const korvalen::sim::StoredPreset p0 = *emulator.preset(0);
        emulator.options().dumpTimeMs = 3000;

        QVERIFY(window->requestUpload(19));
        advance(*window, 1000); // a third of the dump
        QVERIFY(window->isUploadPending());
        QSignalSpy finished(window.get(), &Korvalen49_Test::downloadFinished);
        QVERIFY(window->download(false));
        const bool waited = !window->isDownloading();
        const QString told = window->statusBar()->currentMessage();

        advance(*window, 4000); // the rest of the dump
        KORVALEN_TRY_VERIFY(!finished.isEmpty() && !window->isUploadPending());
        bus->quiesce();
        // The controller: preset 0 as it was, P20 as uploaded; no mix in either.
        QVERIFY(*emulator.preset(0) == p0);
        QVERIFY(emulator.preset(19)->controls == p20.controls);
        QCOMPARE(int{emulator.preset(19)->globals[0]}, 19);
        // The editor shows the upload, and the download sent that and confirmed it.
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvalen25 Editor--------P20 User P20"));
        QCOMPARE(modelcheck::differences(p20), QStringList{});
        QCOMPARE(finished.first().first().toBool(), true);
        // It waited, and said so.
        QVERIFY(waited);
        QVERIFY2(told.startsWith(QStringLiteral("Download to Korvalen waits for the upload")),
                 qPrintable(told));
    }

    // A read of a stored preset (the comparison with the controller) asked for while an
    // upload arrives waits for its turn: each reads its own dump, whole.
    void readDuringAnUploadWaitsForItsTurn() {
        auto window = connectedWindow();
        bus->quiesce();
        auto& emulator = device->emulator();
        korvalen::sim::StoredPreset p20 = *emulator.preset(0);
        for (auto& a : p20.controls)
            a.cc = static_cast<std::uint8_t>((a.cc + 5) % 120);
        p20.globals[0] = 19;
        QVERIFY(emulator.setPreset(19, p20));
        emulator.options().dumpTimeMs = 3000;

        QVERIFY(window->requestUpload(19));
        advance(*window, 1000);
        QVERIFY(window->isUploadPending());
        bool done = false;
        korvalen::ReadResult result;
        korvalen::Preset read;
        QVERIFY(window->readControllerPreset(
            0, QStringLiteral("Compare with Controller"),
            [&](const korvalen::ReadResult& r, const korvalen::Preset& p) {
                done = true;
                result = r;
                read = p;
            }));
        QCOMPARE(window->controllerConnection().waiting().size(), 1);
        advance(*window, 4000);
        testwait::until([&] { return done; });
        QCOMPARE(int(result.status), int(korvalen::ReadResult::Status::Done));
        QCOMPARE(int{read.presetNumber}, 0);
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvalen25 Editor--------P20 User P20"));
        QCOMPARE(modelcheck::differences(p20), QStringList{});
    }

    // While an upload arrives, a second DownLoad is refused (one already waits), and an upload
    // asked for during a download is refused with the reason.
    void commandsThatCannotWaitAreRefused() {
        auto window = connectedWindow();
        bus->quiesce();
        device->emulator().options().dumpTimeMs = 3000;
        QVERIFY(window->requestUpload(19));
        advance(*window, 500);
        QVERIFY(window->isUploadPending());
        QVERIFY(window->download(false));
        QCOMPARE(window->controllerConnection().waiting(), QStringList{QStringLiteral("Download")});
        QVERIFY(!window->download(false));
        QVERIFY2(window->statusBar()->currentMessage().startsWith(
                     QStringLiteral("Download to Korvalen is already waiting")),
                 qPrintable(window->statusBar()->currentMessage()));
        QCOMPARE(window->controllerConnection().waiting().size(), 1);

        // The upload ends, the download takes its turn: an upload now is refused.
        auto held = std::make_shared<testsupport::HeldBus>(bus);
        korvalen::midi::setPlatform(held);
        held->holdAfter(0);
        advance(*window, 4000);
        KORVALEN_TRY_VERIFY(window->isDownloading());
        QVERIFY(!window->isUploadPending());
        {
            testboxes::BoxAnswerer boxes;
            QVERIFY(!window->requestUpload(16, QStringLiteral("Upload")));
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
            QVERIFY2(boxes.seen.first().contains(
                         QStringLiteral("a download to the controller is still under way")),
                     qPrintable(boxes.seen.first()));
        }
        held->release();
        QVERIFY(testdownload::awaited(*window));
        korvalen::midi::setPlatform(bus);
    }

    // Closing the window during a download asks, without waiting, whether to close once it
    // has ended; the window stays until then, and then tells what the controller holds.
    void closingDuringADownloadWaitsForItsEnd() {
        auto window = connectedWindow();
        auto held = std::make_shared<testsupport::HeldBus>(bus);
        korvalen::midi::setPlatform(held);
        held->holdAfter(0);
        QVERIFY(window->download(false));
        QVERIFY(!window->close());
        QVERIFY(window->isVisible());
        QMessageBox* question = window->closeDuringDownloadQuestion();
        QVERIFY(question && question->isVisible());
        question->findChild<QPushButton*>(QStringLiteral("closeAfterDownload"))->click();
        QVERIFY(window->isVisible());
        QVERIFY(window->isDownloading());

        held->release();
        QMessageBox* told = nullptr;
        testwait::until([&] {
            told = window->findChild<QMessageBox*>(QStringLiteral("downloadEndedBeforeClose"));
            return told && told->isVisible();
        });
        QVERIFY(window->isVisible());
        QCOMPARE(told->text(), QStringLiteral("Download to Korvalen OK: P1 on the controller now "
                                              "holds the preset that was sent."));
        told->button(QMessageBox::Ok)->click();
        KORVALEN_TRY_VERIFY(!window->isVisible());
        korvalen::midi::setPlatform(bus);
    }

    void startUpConnectsAndTakesPreset0() {
        // Put something else into the model first, so that the upload has to change it.
        item_En[3][7].SetCC(3);
        zone_Zn[2].SetProg(99);
        auto window = connectedWindow();
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Upload OK!"));
        QVERIFY(!window->isUploadPending());
        // The request for preset 0 went out right after the probe and its confirmation.
        const auto sent = bus->sent(0);
        QVERIFY(sent.size() >= 3);
        QCOMPARE(sent[2], (Message{0xF0, 0x00, 0x20, 0x6B, 0x02, 0x05, 0x00, 0x00, 0xF7}));
        QCOMPARE(modelcheck::differences(*device->emulator().preset(0)), QStringList{});
        // The selected bank shows the uploaded values.
        auto* e1 = window->findChild<QComboBox*>(QStringLiteral("E1_ccBox"));
        QCOMPARE(e1->currentIndex(), int{item_En[0][0].GetCC()});
    }

    void downloadStoresTheEditedPreset() {
        auto window = connectedWindow();
        // Edits in several banks, through the boxes and through the setters.
        auto* bankBox = window->findChild<QComboBox*>(QStringLiteral("BankBox"));
        bankBox->setCurrentIndex(2);
        window->findChild<QComboBox*>(QStringLiteral("E4_ccBox"))->setCurrentIndex(99);
        window->findChild<QComboBox*>(QStringLiteral("F2_typeBox"))->setCurrentIndex(1);
        window->findChild<QComboBox*>(QStringLiteral("F2_ccBox"))->setCurrentIndex(61);
        QCOMPARE(item_En[2][3].GetCC(), quint8{99});
        QCOMPARE(item_Fn[2][1].GetType(), quint8{1});
        item_Pn[1][3].SetCC(171);
        item_Pn[1][3].SetMode(1);
        item_Zoudai[3].SetChan(16);
        item_S1.SetPort(5);
        zone_Zn[1].SetStatus(1);
        zone_Zn[2].SetRangSta(100);
        zone_Zn[2].SetRangEnd(20);
        zone_Zn[0].SetTrans(24);
        bus->clearSent();

        {
            testdownload::Watch download(*window);
            testboxes::BoxAnswerer boxes(QMessageBox::Ok);
            window->DownLoadSlot();
            QVERIFY(download.ended());
            QCOMPARE(boxes.seen,
                     QStringList{QStringLiteral("Warning|Download to Korvalen,are you sure?")});
        }
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Download to Korvalen OK"));
        bus->quiesce();
        // The request that reads the preset to keep as a snapshot, the 384 messages of the
        // download, then the request that reads the preset back.
        const auto sent = bus->sent(0);
        QCOMPARE(sent.size(), std::size_t{386});
        QCOMPARE(sent.front(), (Message{0xF0, 0x00, 0x20, 0x6B, 0x02, 0x05, 0x00, 0x00, 0xF7}));
        QCOMPARE(sent[384], (Message{0xF0, 0x00, 0x20, 0x6B, 0x02, 0x07, 0x00, 0x00, 0xF7}));
        QCOMPARE(sent.back(), (Message{0xF0, 0x00, 0x20, 0x6B, 0x02, 0x05, 0x00, 0x00, 0xF7}));
        QCOMPARE(modelcheck::differences(*device->emulator().preset(0)), QStringList{});
    }

    void cancelledDownloadSendsNothing() {
        auto window = connectedWindow();
        bus->clearSent();
        const QString before = window->statusBar()->currentMessage();
        {
            testboxes::BoxAnswerer boxes(QMessageBox::Cancel);
            window->DownLoadSlot();
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        }
        bus->quiesce();
        QVERIFY(bus->sent(0).empty());
        QCOMPARE(window->statusBar()->currentMessage(), before);
    }

    void uploadOfUserP20FillsTheModel() {
        auto window = connectedWindow();
        bus->clearSent();
        auto* list = window->uploadForm().presetSelBox;
        QVERIFY(list);
        window->uploadSlot();
        list->setCurrentIndex(4);
        QCOMPARE(list->currentText(), QStringLiteral("User P20"));
        auto* buttons = window->uploadForm().buttonBox;
        buttons->button(QDialogButtonBox::Ok)->click();
        QVERIFY(window->isUploadPending());
        bus->quiesce();
        QCOMPARE(bus->sent(0).front(),
                 (Message{0xF0, 0x00, 0x20, 0x6B, 0x02, 0x05, 0x13, 0x00, 0xF7}));
        KORVALEN_TRY_COMPARE(window->windowTitle(),
                             QStringLiteral("Korvalen25 Editor--------P20 User P20"));
        QCOMPARE(modelcheck::differences(*device->emulator().preset(19)), QStringList{});
        QVERIFY(!window->isUploadPending());
    }

    void cancelledUploadSendsNothing() {
        auto window = connectedWindow();
        bus->clearSent();
        window->uploadSlot();
        auto* buttons = window->uploadForm().buttonBox;
        buttons->button(QDialogButtonBox::Cancel)->click();
        bus->quiesce();
        QVERIFY(bus->sent(0).empty());
        QVERIFY(!window->isUploadPending());
    }

    void recordsWithoutAnOpenUploadAreDropped() {
        auto window = connectedWindow();
        const quint8 before = item_En[0][0].GetCC();
        // An encoder record for E1 arrives while no upload is open ...
        bus->inject(0, {0xF0, 0x01, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0xF7});
        bus->quiesce();
        QTest::qWait(20);
        QCOMPARE(item_En[0][0].GetCC(), before);
        // ... and does not show up in the next upload.
        QVERIFY(window->requestUpload(0));
        bus->quiesce();
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
        QCOMPARE(modelcheck::differences(*device->emulator().preset(0)), QStringList{});
    }

    void noControllerAtStartUp() {
        bus->detachAll();
        bus->setPortCounts(0, 0);
        std::unique_ptr<Korvalen49_Test> window;
        {
            testboxes::BoxAnswerer boxes;
            window = std::make_unique<Korvalen49_Test>();
            // The window is shown at once; the box comes when the search beside it has ended.
            window->show();
            QVERIFY(boxes.seen.isEmpty());
            QVERIFY(window->isSearching());
            QVERIFY(testsearch::ended(*window));
            KORVALEN_TRY_COMPARE(boxes.seen,
                                 QStringList{QStringLiteral("Connection|Connect Error!")});
        }
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Connect Error"));
        // Ten polls of the port counts, 1000 ms apart, in virtual time.
        QCOMPARE(bus->now(), std::uint64_t{10000});
    }

    void reconnectFindsAControllerPluggedInLater() {
        bus->detachAll();
        bus->setPortCounts(0, 0);
        std::unique_ptr<Korvalen49_Test> window;
        {
            testboxes::BoxAnswerer boxes;
            window = std::make_unique<Korvalen49_Test>();
            QVERIFY(testsearch::ended(*window));
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        }
        // The controller is plugged in; "ReConnect" in the menu finds it and reads preset 0.
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, device);
        auto* action = window->findChild<QAction*>(QStringLiteral("actionReConnect"));
        QVERIFY(action);
        auto* menu = window->findChild<QMenu*>(QStringLiteral("menuMenu"));
        QVERIFY(menu->actions().contains(action));
        testboxes::BoxAnswerer boxes;
        action->trigger();
        QVERIFY(testsearch::ended(*window));
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        KORVALEN_TRY_COMPARE(window->windowTitle(),
                             QStringLiteral("Korvalen25 Editor--------P01 Korvalen"));
        QCOMPARE(modelcheck::differences(*device->emulator().preset(0)), QStringList{});
        // Unplugged again: the search fails and says so.
        bus->detachAll();
        bus->setPortCounts(0, 0);
        action->trigger();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(boxes.seen, QStringList{QStringLiteral("Connection|Connect Error!")});
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Connect Error"));
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Nowhere);
    }

    void firmwareRunTakesThePortsFromTheEditor() {
        auto window = connectedWindow();
        // A run that finds no controller in upgrade mode still takes every port.
        const QByteArray image = QByteArray(56, '\x11') + QByteArray::fromHex("00206B0219") +
                                 QByteArray("102\0\0QVolm", 10);
        auto loaded = korvalen::loadFirmwareImage(
            reinterpret_cast<const std::uint8_t*>(image.constData()), image.size());
        QCOMPARE(loaded.status, korvalen::FirmwareLoadStatus::Loaded);
        firmwareImage = loaded.image;
        connectThread.startRun();
        connectThread.wait();
        bus->clearSent();
        testboxes::BoxAnswerer boxes(QMessageBox::Ok);
        QVERIFY(!window->download());
        QVERIFY(!window->requestUpload(0));
        bus->quiesce();
        QVERIFY(bus->sent(0).empty());
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        QVERIFY(boxes.seen[0].contains(QStringLiteral("not connected")));
        // ReConnect gives the ports back to the editor.
        window->reconnectSlot();
        QVERIFY(testsearch::ended(*window));
        QCOMPARE(window->linkState(), Korvalen49_Test::LinkState::Connected);
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
    }

    void downloadWithoutControllerSaysItFailed() {
        bus->detachAll();
        bus->setPortCounts(0, 0);
        std::unique_ptr<Korvalen49_Test> window;
        {
            testboxes::BoxAnswerer boxes;
            window = std::make_unique<Korvalen49_Test>();
            QVERIFY(testsearch::ended(*window));
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        }
        testboxes::BoxAnswerer boxes(QMessageBox::Ok);
        window->DownLoadSlot();
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 2);
        QVERIFY(boxes.seen[1].contains(QStringLiteral("not connected")));
        const QString status = window->statusBar()->currentMessage();
        QVERIFY2(status.startsWith(QStringLiteral("Download to Korvalen failed")),
                 qPrintable(status));
    }

    void downloadThatTheControllerDoesNotTakeSaysItFailed() {
        auto window = connectedWindow();
        bus->clearSent();
        // The port goes away: every send fails.
        bus->setSendFails(0, true);
        const auto storedBefore = *device->emulator().preset(0);
        item_En[1][1].SetCC(storedBefore.controls[9].cc == 5 ? 6 : 5);
        testboxes::BoxAnswerer boxes(QMessageBox::Ok);
        window->DownLoadSlot();
        QVERIFY(!testdownload::awaited(*window));
        bus->quiesce();
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 2);
        QVERIFY(window->statusBar()->currentMessage().startsWith(
            QStringLiteral("Download to Korvalen failed")));
        QVERIFY2(boxes.seen[1].contains(QStringLiteral("P1 on the controller was not changed")),
                 qPrintable(boxes.seen[1]));
        QVERIFY(bus->sent(0).empty());
        QCOMPARE(*device->emulator().preset(0), storedBefore);
        QVERIFY(window->download());
        QVERIFY(!testdownload::awaited(*window));
    }
};

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"
