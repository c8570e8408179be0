// The upload and the download on their own: against the controller emulator on the virtual
// bus, through the connection, with a host that is no editor window. This program is linked
// without the window, so a transfer command that calls back into the window does not build.
#include "connectthread.h"
#include "controllerconnection.h"
#include "distinctpreset.h"
#include "downloadcommand.h"
#include "emulatordevice.h"
#include "fakehost.h"
#include "identitycontroller.h"
#include "midi.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "presetvalues.h"
#include "uploadcommand.h"
#include "virtualbus.h"
#include "waits.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

using testsupport::distinctValues;

class TestTransferCommands : public QObject {
    Q_OBJECT

    std::shared_ptr<korvalen::midi::VirtualBus> bus;
    std::shared_ptr<korvalen::midi::EmulatorDevice> device;
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<ControllerConnection> connection;
    std::unique_ptr<UploadCommand> uploads;
    std::unique_ptr<DownloadCommand> downloads;

    // The connection finds the emulator.
    void connect() {
        QVERIFY(connection->startSearch({ControllerConnection::SearchPlan::Purpose::ReConnect,
                                         QStringLiteral("Connecting"),
                                         {},
                                         0,
                                         0}));
        testwait::until([this] { return !connection->isSearching(); });
        QCOMPARE(connection->state(), ControllerConnection::State::Connected);
    }

    // Reads stored preset `number` through the download command.
    std::optional<korvalen::Preset> readBack(int number) {
        std::optional<korvalen::ReadResult> result;
        korvalen::Preset read;
        if (!downloads->readControllerPreset(
                number, QStringLiteral("Compare with Controller"),
                [&](const korvalen::ReadResult& r, const korvalen::Preset& p) {
                    result = r;
                    read = p;
                }))
            return std::nullopt;
        testwait::until([&] { return result.has_value(); });
        if (!result->ok()) return std::nullopt;
        return read;
    }

private slots:
    void init() {
        applyPresetValues(korvalen::PresetValues{});
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 0;
        bus = std::make_shared<korvalen::midi::VirtualBus>();
        device = std::make_shared<korvalen::midi::EmulatorDevice>();
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, device);
        korvalen::midi::setPlatform(bus);
        midiLink.resetPortTable();
        midiLink.closeOutput();
        host = std::make_unique<FakeHost>();
        connection = std::make_unique<ControllerConnection>();
        uploads = std::make_unique<UploadCommand>(*host, *connection);
        downloads = std::make_unique<DownloadCommand>(*host, *connection);
        // As the window routes the link's SysEx while no transfer holds the ring.
        QObject::connect(&midiLink, &midiMethodClass::getMidiSysData, uploads.get(),
                         [this](unsigned char*, uint length) {
                             if (!downloads->isRunning()) uploads->sysExArrived(length);
                         });
    }

    void cleanup() {
        downloads.reset();
        uploads.reset();
        connection.reset();
        host.reset();
        connectThread.releasePorts();
        midiLink.resetPortTable();
        midiLink.closeOutput();
        bus->quiesce();
        korvalen::midi::setPlatform(nullptr);
        device.reset();
        bus.reset();
    }

    // Without a controller nothing goes out, and each command says why under its title.
    void notConnectedIsAFailure() {
        QVERIFY(!downloads->download());
        QVERIFY(!downloads->isRunning());
        QVERIFY(!uploads->request(16, QStringLiteral("Upload")));
        QVERIFY(!uploads->isPending());
        QCOMPARE(host->failures.size(), 2);
        QCOMPARE(host->failures[0].command, QStringLiteral("Download"));
        QVERIFY(host->failures[0].text.startsWith(
            QStringLiteral("Download to Korvalen failed: the controller is not connected.")));
        QCOMPARE(host->failures[1].command, QStringLiteral("Upload"));
        QVERIFY(host->failures[1].text.startsWith(
            QStringLiteral("Upload failed: the controller is not connected.")));
    }

    // The download sends the editor's preset, confirms it by reading it back and puts the
    // edits in step; the controller then holds it, as a read of the same number shows.
    void downloadIsConfirmedAndReadBack() {
        connect();
        if (QTest::currentTestFailed()) return;
        const korvalen::PresetValues sent = distinctValues(9);
        applyPresetValues(sent);
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 18;
        host->history.userEdited();
        QVERIFY(host->history.modified());
        QSignalSpy finished(downloads.get(), &DownloadCommand::finished);
        QSignalSpy running(downloads.get(), &DownloadCommand::runningChanged);

        QVERIFY(downloads->download());
        QVERIFY(downloads->isDownloading());
        QCOMPARE(downloads->presetNumber(), 18);
        QVERIFY(connection->transferring());
        testwait::until([&] { return !finished.isEmpty(); });
        QCOMPARE(finished.takeFirst().at(0).toBool(), true);
        QVERIFY(!downloads->isRunning());
        QVERIFY(!connection->transferring());
        QCOMPARE(running.count(), 2); // begun, ended
        QVERIFY2(host->failures.isEmpty(),
                 qPrintable(host->failures.isEmpty() ? QString() : host->failures[0].text));
        QVERIFY(host->statuses.contains(QStringLiteral("Download to Korvalen OK")));
        QVERIFY(!host->history.modified());

        const auto read = readBack(18);
        QVERIFY(read);
        QCOMPARE(int(read->presetNumber), 18);
        for (std::size_t i = 0; i < sent.encoders.size(); ++i)
            QCOMPARE(read->values.encoders[i], sent.encoders[i]);
        for (std::size_t i = 0; i < sent.pads.size(); ++i)
            QCOMPARE(read->values.pads[i], sent.pads[i]);
        QCOMPARE(read->values.slider, sent.slider);
    }

    // A window that closes after the download takes its outcome: no failure box, no question.
    void outcomeGoesToItsTaker() {
        connect();
        if (QTest::currentTestFailed()) return;
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 17;
        QVERIFY(downloads->download());
        QString outcome;
        downloads->tellEndTo([&](const QString& text) { outcome = text; });
        testwait::until([&] { return !downloads->isRunning(); });
        QCOMPARE(outcome, QStringLiteral("Download to Korvalen OK: P18 on the controller now "
                                         "holds the preset that was sent."));
        QVERIFY(host->failures.isEmpty());
        QVERIFY(!downloads->snapshotQuestion());
    }

    // A preset number the controller does not take is refused before anything goes out.
    void unsendableNumberIsRefused() {
        connect();
        if (QTest::currentTestFailed()) return;
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 200;
        QVERIFY(!downloads->download());
        QVERIFY(!connection->transferring());
        QCOMPARE(host->failures.size(), 1);
        QVERIFY(host->failures[0].text.startsWith(
            QStringLiteral("Download to Korvalen refused: the preset number P201")));
    }

    // The upload takes a stored preset into the model as one step of the history, and hands
    // the ports back.
    void uploadTakesTheStoredPreset() {
        connect();
        if (QTest::currentTestFailed()) return;
        const korvalen::PresetValues stored = distinctValues(21);
        applyPresetValues(stored);
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 20;
        QSignalSpy finished(downloads.get(), &DownloadCommand::finished);
        QVERIFY(downloads->download(false));
        testwait::until([&] { return !finished.isEmpty(); });
        QCOMPARE(finished.takeFirst().at(0).toBool(), true);

        applyPresetValues(korvalen::PresetValues{});
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 0;
        host->history.resync();
        host->forget();
        QVERIFY(uploads->request(20, QStringLiteral("Upload")));
        QVERIFY(uploads->isPending());
        QVERIFY(connection->uploading());
        testwait::until([&] { return !uploads->isPending(); });
        QVERIFY2(host->failures.isEmpty(),
                 qPrintable(host->failures.isEmpty() ? QString() : host->failures[0].text));
        QVERIFY(host->statuses.contains(QStringLiteral("Upload OK!")));
        QCOMPARE(int(korvalen::presetGlobals[korvalen::global::kPresetNumber]), 20);
        QCOMPARE(currentPresetValues().encoders, stored.encoders);
        QCOMPARE(currentPresetValues().pads, stored.pads);
        QCOMPARE(host->titleRefreshes, 1);
        QVERIFY(!connection->uploading());
        QVERIFY(!host->history.modified());
        QVERIFY(host->history.stack().canUndo());
    }

    // An upload that does not end is taken back: the values from before the request return.
    void uploadThatTimesOutIsTakenBack() {
        connect();
        if (QTest::currentTestFailed()) return;
        const korvalen::PresetValues before = distinctValues(4);
        applyPresetValues(before);
        host->history.resync();
        // The controller takes the request but sends nothing back.
        bus->detachAll();
        bus->attach(0, 0, testsupport::answerIdentityProbe);
        uploads->setTimeout(50);
        QVERIFY(uploads->request(16, QStringLiteral("Upload")));
        testwait::until([&] { return !uploads->isPending(); });
        QCOMPARE(currentPresetValues(), before);
        QVERIFY(!connection->uploading());
        QCOMPARE(host->failures.size(), 1);
        QCOMPARE(host->failures[0].command, QString());
        QVERIFY(host->failures[0].text.startsWith(
            QStringLiteral("Upload failed: the controller did not finish sending the preset.")));
    }
};

QTEST_MAIN(TestTransferCommands)
#include "test_transfercommands.moc"
