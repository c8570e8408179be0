// What the user is told, and what the preset model holds, when a transfer goes wrong: a dump
// cut before its end, no answer to an upload request, records out of range, bytes lost in
// the ring, a controller that vanishes, a preset number that no data byte can carry.
#include "boxes.h"
#include "downloads.h"
#include "emulatorbus.h"
#include "emulatordevice.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "portwatch.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "searches.h"
#include "virtualbus.h"
#include "waits.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

using korvalen::midi::EmulatorDevice;
using korvalen::midi::Message;
using korvalen::midi::VirtualBus;
using korvalen::sim::ControllerEmulator;

class TestFaults : public QObject {
    Q_OBJECT

    testsupport::EmulatorBus on;
    std::shared_ptr<VirtualBus>& bus = on.bus;
    std::shared_ptr<EmulatorDevice>& device = on.device;
    std::unique_ptr<Korvalen49_Test> window;

    ControllerEmulator::Options& options() {
        bus->quiesce(); // the emulator runs on the bus's thread
        return device->emulator().options();
    }

    QString status() const { return window->statusBar()->currentMessage(); }
    QString linkNote() const {
        return window->statusBar()->findChild<QLabel*>(QStringLiteral("linkNote"))->text();
    }

    // Values that differ from every stored preset of the emulator in every bank.
    static void editEveryBank() {
        for (int b = 0; b < 4; ++b)
            item_En[b][0].SetCC(static_cast<quint8>(100 + b));
        item_Pn[1][3].SetChan(15);
        zone_Zn[2].SetChan(9);
        zone_Zn[1].SetOct(0);
        korvalen::presetGlobals[30] = 77;
    }

    void requestAndWaitForTheEnd(int preset) {
        QVERIFY(window->requestUpload(preset));
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
    }

private slots:
    void init() {
        on.install();
        window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
        QCOMPARE(status(), QStringLiteral("Upload OK!"));
        window->setUploadTimeout(300);
    }

    void cleanup() {
        window.reset();
        on.release();
    }

    void linkNoteNamesThePortInUse() {
        QCOMPARE(linkNote(), QStringLiteral("Controller on Virtual MIDI Out 1"));
    }

    // A dump that stops before its end record, or never comes: the upload closes, says so,
    // and every value is what it was before the request (no mix of old and new).
    void uploadThatDoesNotEndPutsEveryValueBack_data() {
        QTest::addColumn<bool>("cut");
        QTest::newRow("dump cut after 40 records") << true;
        QTest::newRow("no answer at all") << false;
    }
    void uploadThatDoesNotEndPutsEveryValueBack() {
        QFETCH(bool, cut);
        if (cut) {
            options().dumpFault = ControllerEmulator::DumpFault::Cut;
            options().dumpFaultRecord = 40;
        } else {
            options().ignoreUploads = true;
        }
        editEveryBank();
        const PresetSnapshot before = takePresetSnapshot();
        const QString title = window->windowTitle();
        requestAndWaitForTheEnd(19);
        QVERIFY2(
            status().startsWith(QStringLiteral("Upload failed: the controller did not finish")),
            qPrintable(status()));
        QCOMPARE(takePresetSnapshot(), before);
        QCOMPARE(window->windowTitle(), title);
    }

    // Rejected records of every kind are reported at the end; the rest of the dump is taken.
    void rejectedRecordsAreReportedAtTheEnd_data() {
        QTest::addColumn<int>("record"); // in the dump: the slider, 32 encoders, 16 buttons, ...
        QTest::newRow("encoder E1") << 1;
        QTest::newRow("slider") << 0;
        QTest::newRow("function button F1") << 33;
        QTest::newRow("pad P4 of bank B") << 61;
    }

    void rejectedRecordsAreReportedAtTheEnd() {
        QFETCH(int, record);
        options().dumpFault = ControllerEmulator::DumpFault::BadValue;
        options().dumpFaultRecord = record; // carries channel 17
        requestAndWaitForTheEnd(19);
        QCOMPARE(window->uploadRejectedRecords(), 1);
        QCOMPARE(status(), QStringLiteral("Upload finished, but 1 record(s) from the controller "
                                          "were out of range and skipped; those controls kept "
                                          "their values."));
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvalen25 Editor--------P20 User P20"));
    }

    // The ring is full when the dump comes: its pieces are dropped, and the dump is asked for
    // again after a pause; the second dump arrives whole.
    void uploadThatLostBytesIsAskedForAgain() {
        editEveryBank();
        device->setReplyDelayMs(100); // the dump comes when the bus's clock is moved on
        bus->clearSent();
        QVERIFY(window->requestUpload(19));
        const std::uint8_t filler[256] = {};
        for (int i = 0; i < 4; ++i)
            QVERIFY(midiLink.sysExRing.write(filler, sizeof filler));
        bus->sleep(100);
        KORVALEN_TRY_VERIFY(status().startsWith(
            QStringLiteral("Part of the preset from the controller was lost. Asking for it "
                           "again (1 of 3)")));
        QVERIFY(window->isUploadPending());
        KORVALEN_TRY_COMPARE(bus->sent(0).size(), std::size_t{2});
        QCOMPARE(bus->sent(0).back(), bus->sent(0).front());
        bus->sleep(100);
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
        QCOMPARE(status(), QStringLiteral("Upload OK!"));
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvalen25 Editor--------P20 User P20"));
    }

    // The controller's ports vanish. On the virtual bus, as on JACK and ALSA, sends to the
    // open output still succeed; the download must not say it went out.
    void downloadToALostControllerFails() {
        bus->detachAll();
        bus->setPortCounts(0, 0);
        bus->clearSent();
        testboxes::BoxAnswerer boxes(QMessageBox::Ok);
        window->DownLoadSlot();
        QVERIFY(!testdownload::awaited(*window));
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 2);
        QVERIFY2(boxes.seen[1].startsWith(QStringLiteral("Download|Download to Korvalen failed: "
                                                         "the controller is gone")),
                 qPrintable(boxes.seen[1]));
        QVERIFY(status() != QStringLiteral("Download to Korvalen OK"));
        QVERIFY(bus->sent(0).empty());
        QCOMPARE(linkNote(), QStringLiteral("Controller lost (Virtual MIDI Out 1)"));
        // An upload request says so too.
        QVERIFY(!window->requestUpload(0));
        QVERIFY(status().contains(QStringLiteral("the controller is gone")));
    }

    // The controller takes the whole preset and then vanishes before the read-back: its ports
    // leave the list and it answers nothing more, while sends to its output still succeed.
    // Nothing came back, so the download is never OK, and the window says the controller has
    // gone.
    void controllerThatVanishesDuringTheDownloadGetsNoOk() {
        struct Vanishing final : korvalen::midi::VirtualDevice {
            std::shared_ptr<EmulatorDevice> inner;
            VirtualBus* bus = nullptr;
            Message readBackRequest;
            int requests = 0;
            std::atomic<bool> gone{false};
            std::vector<Message> receive(const Message& x) override {
                // The first request reads the preset to keep as a snapshot, the second reads
                // it back.
                if (!gone && x == readBackRequest && ++requests == 2) {
                    gone = true;
                    bus->setPortCounts(0, 0);
                }
                return gone ? std::vector<Message>{} : inner->receive(x);
            }
        };
        auto vanishing = std::make_shared<Vanishing>();
        vanishing->inner = device;
        vanishing->bus = bus.get();
        const auto request = korvalen::uploadRequestMessage(0);
        vanishing->readBackRequest.assign(request.begin(), request.end());
        bus->quiesce();
        bus->detachAll();
        bus->attach(0, 0, vanishing);
        editEveryBank();
        testboxes::BoxAnswerer boxes(QMessageBox::Ok);
        QVERIFY(window->download());
        QVERIFY(!testdownload::awaited(*window));
        QVERIFY(vanishing->gone);
        QCOMPARE(device->emulator().preset(0)->controls[0].cc, std::uint8_t{100});
        QVERIFY(status() != QStringLiteral("Download to Korvalen OK"));
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        QVERIFY2(boxes.seen[0].startsWith(QStringLiteral("Download|Download to Korvalen failed: "
                                                         "the controller is gone")),
                 qPrintable(boxes.seen[0]));
        QCOMPARE(linkNote(), QStringLiteral("Controller lost (Virtual MIDI Out 1)"));
    }

    // A second request while an upload is open keeps the values from before the first: when
    // the upload is then given up, every value goes back to those, not to the part of the
    // first dump that had come in.
    void secondRequestKeepsTheValuesFromBeforeTheFirst() {
        window->setUploadTimeout(600000); // the upload ends only when the test says so
        options().dumpFault = ControllerEmulator::DumpFault::Cut;
        options().dumpFaultRecord = 40;
        device->setReplyDelayMs(100); // the dump comes when the clock is moved on
        editEveryBank();
        const PresetSnapshot before = takePresetSnapshot();
        QVERIFY(window->requestUpload(19));
        bus->sleep(100);                      // the dump, cut before record 40
        QCoreApplication::sendPostedEvents(); // the window reads it
        QVERIFY(window->isUploadPending());
        QVERIFY(takePresetSnapshot() != before);
        options().ignoreUploads = true;
        QVERIFY(window->requestUpload(19));
        bus->setPortCounts(0, 0);
        window->portWatch().poll();
        QVERIFY(!window->isUploadPending());
        QCOMPARE(takePresetSnapshot(), before);
    }

    // The download is read back: a controller at cable speed gets the preset whole and the
    // window says OK only then; one that answers no read-back gets a text of its own; one that
    // never takes a message gets a box that names the control. The edits stay unsent then.
    void downloadIsOkOnlyWhenReadBack() {
        options().readRateBytesPerS = 3125;
        editEveryBank();
        QVERIFY(window->download());
        QVERIFY(testdownload::awaited(*window));
        QCOMPARE(status(), QStringLiteral("Download to Korvalen OK"));
        QVERIFY(device->emulator().lostMessages() > 0);
        QCOMPARE(device->emulator().preset(0)->controls[0].cc, std::uint8_t{100});
        QCOMPARE(device->emulator().preset(0)->globals[23], std::uint8_t{9}); // zone 3 channel
        // It did not last a second: no progress window.
        QVERIFY(window->downloadProgressWindow() == nullptr);

        options().readRateBytesPerS = 0;
        options().ignoreUploads = true;
        item_En[0][1].SetCC(55);
        {
            testboxes::BoxAnswerer boxes(QMessageBox::Ok);
            // Without the snapshot before it, which the controller would not send either.
            QVERIFY(window->download(false));
            QVERIFY(!testdownload::awaited(*window));
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
            QVERIFY2(boxes.seen[0].startsWith(
                         QStringLiteral("Download|Download to Korvalen sent, not confirmed")),
                     qPrintable(boxes.seen[0]));
        }
        QVERIFY(status() != QStringLiteral("Download to Korvalen OK"));
        QVERIFY(window->editNote().contains(QStringLiteral("not")));

        options().ignoreUploads = false;
        options().readRateBytesPerS = 0;
        // E8 of bank 2 never takes its number.
        const auto m = korvalen::parameterMessage(korvalen::command::kNumber,
                                                  korvalen::control::kEncoderKind, 15, 77);
        const Message lost(m.begin(), m.end());
        bus->detachAll();
        struct Dropper final : korvalen::midi::VirtualDevice {
            std::shared_ptr<EmulatorDevice> inner;
            Message lost;
            std::vector<Message> receive(const Message& x) override {
                return x == lost ? std::vector<Message>{} : inner->receive(x);
            }
        };
        auto dropper = std::make_shared<Dropper>();
        dropper->inner = device;
        dropper->lost = lost;
        bus->attach(0, 0, dropper);
        item_En[1][7].SetCC(77);
        {
            testboxes::BoxAnswerer boxes(QMessageBox::Ok);
            QVERIFY(window->download());
            QVERIFY(!testdownload::awaited(*window));
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
            // It arrived at no speed while the rest arrived: not taken, and not blamed on
            // speed.
            QVERIFY2(boxes.seen[0].contains(QStringLiteral("did not take on the controller: "
                                                           "E8, BANK 2: number.")),
                     qPrintable(boxes.seen[0]));
            QVERIFY2(!boxes.seen[0].contains(QStringLiteral("did not arrive")),
                     qPrintable(boxes.seen[0]));
            QVERIFY2(boxes.seen[0].contains(QStringLiteral("P1 on the controller may now be "
                                                           "incomplete")),
                     qPrintable(boxes.seen[0]));
        }
    }

    // A download that lasts more than a second shows its progress; Cancel stops it, and the
    // window says what may have become of the preset on the controller.
    void longDownloadShowsItsProgressAndCancelStopsIt() {
        struct Gate final : korvalen::midi::VirtualDevice {
            std::shared_ptr<EmulatorDevice> inner;
            std::mutex mutex;
            std::condition_variable opened;
            bool open = false;
            int requests = 0;
            std::vector<Message> receive(const Message& m) override {
                // The read-back's request waits (the first request is the snapshot's).
                if (m.size() == 9 && m[5] == 0x05 && ++requests >= 2) {
                    std::unique_lock lock(mutex);
                    opened.wait(lock, [this] { return open; });
                }
                return inner->receive(m);
            }
            void release() {
                {
                    std::lock_guard lock(mutex);
                    open = true;
                }
                opened.notify_all();
            }
        };
        auto gate = std::make_shared<Gate>();
        gate->inner = device;
        bus->detachAll();
        bus->attach(0, 0, gate);
        item_En[0][2].SetCC(42);
        testboxes::BoxAnswerer boxes(QMessageBox::Ok);
        QVERIFY(window->download());
        KORVALEN_TRY_VERIFY(window->downloadProgressWindow() != nullptr &&
                            window->downloadProgressWindow()->isVisible());
        QProgressDialog* progress = window->downloadProgressWindow();
        KORVALEN_TRY_COMPARE(progress->labelText(),
                             QStringLiteral("Reading P1 back from the Korvalen25 to check it..."));
        auto* cancel = progress->findChild<QPushButton*>();
        QVERIFY(cancel);
        cancel->click();
        gate->release();
        QVERIFY(!testdownload::awaited(*window));
        QVERIFY(!progress->isVisible());
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        QVERIFY2(boxes.seen[0].startsWith(QStringLiteral("Download|Download to Korvalen stopped. "
                                                         "P1 on the controller may now be "
                                                         "incomplete.")),
                 qPrintable(boxes.seen[0]));
        QVERIFY(status() != QStringLiteral("Download to Korvalen OK"));

        // Again, not cancelled: an edit made while it ran did not go out, and the note of the
        // edits says so after the OK.
        auto again = std::make_shared<Gate>();
        again->inner = device;
        bus->detachAll();
        bus->attach(0, 0, again);
        QVERIFY(window->download());
        KORVALEN_TRY_VERIFY(window->downloadProgressWindow()->isVisible());
        window->findChild<QComboBox*>(QStringLiteral("E4_ccBox"))->setCurrentIndex(43);
        again->release();
        QVERIFY(testdownload::awaited(*window));
        QCOMPARE(status(), QStringLiteral("Download to Korvalen OK"));
        QCOMPARE(window->editNote(), QStringLiteral("Edited: not downloaded or saved"));
    }

    // The port watch notices the loss on its own and closes an open upload.
    void portWatchEndsAnUploadWhenTheControllerGoes() {
        options().ignoreUploads = true;
        editEveryBank();
        const PresetSnapshot before = takePresetSnapshot();
        QVERIFY(window->requestUpload(19));
        bus->setPortCounts(0, 0);
        window->portWatch().poll();
        QVERIFY(!window->isUploadPending());
        QVERIFY2(status().startsWith(QStringLiteral("Upload failed: the controller was lost")),
                 qPrintable(status()));
        QCOMPARE(takePresetSnapshot(), before);
        QCOMPARE(linkNote(), QStringLiteral("Controller lost (Virtual MIDI Out 1)"));
        // Back again: ReConnect finds it and the note says so; the edits are still there, so
        // it asks before the controller's preset 0 replaces them.
        bus->setPortCounts(1, 1);
        options().ignoreUploads = false;
        testboxes::BoxAnswerer boxes(QMessageBox::Discard);
        window->reconnectSlot();
        QVERIFY(testsearch::ended(*window));
        QCOMPARE(linkNote(), QStringLiteral("Controller on Virtual MIDI Out 1"));
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        QVERIFY2(boxes.seen[0].startsWith(QStringLiteral("Connection|The preset has edits")),
                 qPrintable(boxes.seen[0]));
    }

    // A preset number above 127 loads and shows, but cannot be downloaded; 127 can.
    void presetNumberAbove127IsRefusedByTheDownload() {
        korvalen::presetGlobals[0] = 200;
        window->RefreshTitle();
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvalen25 Editor--------P201"));
        bus->clearSent();
        {
            testboxes::BoxAnswerer boxes(QMessageBox::Ok);
            QVERIFY(!window->download());
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
            QVERIFY2(boxes.seen[0].startsWith(
                         QStringLiteral("Download|Download to Korvalen refused: the preset "
                                        "number P201 cannot be sent")),
                     qPrintable(boxes.seen[0]));
        }
        bus->quiesce();
        QVERIFY(bus->sent(0).empty());
        korvalen::presetGlobals[0] = 127;
        testboxes::BoxAnswerer boxes(QMessageBox::Ok);
        // The emulator has no preset 127 to keep as a snapshot: without one.
        QVERIFY(window->download(false));
        testdownload::awaited(*window); // the emulator has no preset 127: not confirmed
        bus->quiesce();
        QCOMPARE(bus->sent(0).at(383),
                 (Message{0xF0, 0x00, 0x20, 0x6B, 0x02, 0x07, 0x7F, 0x00, 0xF7}));
    }

    // "Upload" brings its dialog forward when it is already open behind the window.
    void uploadRaisesItsDialog() {
        window->uploadSlot();
        KORVALEN_TRY_VERIFY(window->uploadDialog().isActiveWindow());
        window->activateWindow();
        KORVALEN_TRY_VERIFY(window->isActiveWindow());
        QVERIFY(window->uploadDialog().isVisible());
        window->uploadSlot();
        KORVALEN_TRY_VERIFY(window->uploadDialog().isActiveWindow());
    }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
