// The editor's connection to the controller: who holds the ports, the lost controller, hot-plug
// and the steps of a search; and the upgrade worker's own ports. On the virtual bus, in virtual
// time.
#include "connectthread.h"
#include "controllerconnection.h"
#include "emulatordevice.h"
#include "firmware.h"
#include "heldbus.h"
#include "identitycontroller.h"
#include "midi.h"
#include "virtualbus.h"
#include "waits.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <chrono>
#include <memory>
#include <thread>

using korvalen::midi::SearchEvent;
using korvalen::midi::VirtualBus;
using State = ControllerConnection::State;
using Holder = ControllerConnection::Holder;
using Plan = ControllerConnection::SearchPlan;

namespace {

Plan everyOutput() {
    return {Plan::Purpose::ReConnect, QStringLiteral("Connecting"), {}, 0, 0};
}

bool editorPortsClosed() {
    for (const auto& slot : midiLink.inPorts)
        if (slot.handle) return false;
    return midiLink.outPort == nullptr;
}

} // namespace

class TestConnection : public QObject {
    Q_OBJECT

    std::shared_ptr<VirtualBus> bus;

    // Waits for the search to end and for the connection to take its result.
    static bool searchEnds(ControllerConnection& connection) {
        testwait::until([&] { return !connection.isSearching(); });
        return connection.searched();
    }

    // The connection in the state `name` names, with the identity controller on pair 0.
    static void bringTo(ControllerConnection& connection, VirtualBus& bus, const QString& name) {
        if (name == QLatin1String("idle")) return;
        QVERIFY(connection.startSearch(everyOutput()));
        if (name == QLatin1String("searching")) {
            // The search's thread ends; the connection has not taken the result, so the search
            // still holds the ports.
            while (midiLink.delivery != midiMethodClass::Delivery::Window)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return;
        }
        QVERIFY(searchEnds(connection));
        QCOMPARE(connection.state(), State::Connected);
        if (name == QLatin1String("lost")) {
            bus.setPortCounts(0, 0);
            connection.portWatch().poll();
        } else if (name == QLatin1String("transferring")) {
            QVERIFY(connection.claimForTransfer());
        }
    }

private slots:
    void init() {
        bus = testsupport::useIdentityController();
        midiLink.resetPortTable();
        midiLink.closeOutput();
    }

    void cleanup() {
        connectThread.requestStop();
        connectThread.wait();
        connectThread.releasePorts();
        midiLink.resetPortTable();
        midiLink.closeOutput();
        bus->quiesce();
        korvalen::midi::setPlatform(nullptr);
        bus.reset();
    }

    // One holder of the ports at a time: a search, a transfer of the editor or an upgrade.
    void portsHaveOneHolder_data() {
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("transfer"); // claimForTransfer()
        QTest::addColumn<int>("holder");    // what keeps an upgrade out
        QTest::addColumn<bool>("search");   // startSearch()
        QTest::newRow("idle") << "idle" << false << int(Holder::None) << true;
        QTest::newRow("connected") << "connected" << true << int(Holder::None) << true;
        QTest::newRow("lost") << "lost" << false << int(Holder::None) << true;
        QTest::newRow("searching") << "searching" << false << int(Holder::Search) << false;
        QTest::newRow("transferring") << "transferring" << false << int(Holder::Transfer) << false;
    }
    void portsHaveOneHolder() {
        QFETCH(QString, state);
        QFETCH(bool, transfer);
        QFETCH(int, holder);
        QFETCH(bool, search);
        ControllerConnection connection;
        bringTo(connection, *bus, state);
        if (QTest::currentTestFailed()) return;
        const bool tookTransfer = connection.claimForTransfer();
        QCOMPARE(tookTransfer, transfer);
        if (tookTransfer) connection.releaseTransfer();
        QCOMPARE(int(connection.portsHolder()), holder);
        QCOMPARE(connection.claimForFlash(), holder == int(Holder::None));
        if (holder == int(Holder::None)) {
            // The upgrade has taken them: the editor's ports are closed, and no search or
            // transfer of the editor starts while the worker runs (none runs here, so they
            // are free again at once).
            QVERIFY(editorPortsClosed());
            QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Nowhere);
            QCOMPARE(connection.state(), State::NotConnected);
        }
        QCOMPARE(connection.startSearch(everyOutput()), search);
        testwait::until([&] { return !connection.isSearching(); });
        connection.releaseTransfer();
    }

    // An upgrade run asks the connection for the ports: a search that has not been taken yet
    // keeps them, and the run does not start.
    void upgradeRunAsksForThePorts() {
        ControllerConnection connection;
        bringTo(connection, *bus, QStringLiteral("searching"));
        korvalen::FirmwareImage image;
        image.blockCount = 1;
        QVERIFY(!connectThread.startRun(image));
        QVERIFY(!connectThread.isRunning());
        QVERIFY(searchEnds(connection));
        QCOMPARE(connection.state(), State::Connected);
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
    }

    // The controller is lost once, and only while it is connected.
    void lostOnceAndOnlyWhenConnected() {
        ControllerConnection connection;
        QSignalSpy lost(&connection, &ControllerConnection::controllerLost);
        bus->setPortCounts(0, 0);
        connection.portWatch().poll();
        QVERIFY(!connection.controllerPresent());
        connection.markLost(); // as a failed transfer does
        QCOMPARE(lost.size(), 0);
        QCOMPARE(connection.state(), State::NotConnected);

        bus->setPortCounts(1, 1);
        QVERIFY(connection.startSearch(everyOutput()));
        QVERIFY(searchEnds(connection));
        QVERIFY(connection.controllerPresent());
        QCOMPARE(connection.controllerOutput(), QString::fromStdString(bus->outputName(0)));
        bus->setPortCounts(1, 0); // one port of the pair is enough to be lost
        QVERIFY(!connection.controllerPresent());
        QCOMPARE(lost.size(), 1);
        QCOMPARE(connection.state(), State::Lost);
        connection.portWatch().poll();
        connection.markLost();
        QVERIFY(!connection.controllerPresent());
        QCOMPARE(lost.size(), 1);
        // The names stay for the note, "Controller lost (NAME)".
        QCOMPARE(connection.controllerOutput(), QString::fromStdString(bus->outputName(0)));
    }

    // Hot-plug asks the outputs that appeared since the last look, and only those; a gate
    // that says "not now" keeps them new for the next reading.
    void hotPlugAsksOnlyNewOutputs() {
        bus->setPortCounts(1, 1);
        bus->detachAll();
        ControllerConnection connection;
        QVERIFY(connection.startSearch(
            {Plan::Purpose::StartUp, QStringLiteral("Connecting"), {}, 1, 1}));
        QVERIFY(searchEnds(connection));
        QCOMPARE(connection.state(), State::NotConnected);

        bool open = false;
        connection.setHotPlugGate([&open] { return open; });
        bus->setPortCounts(2, 2);
        bus->attach(1, 1, testsupport::answerIdentityProbe);
        connection.portWatch().poll();
        QVERIFY(!connection.isSearching());
        open = true;
        QSignalSpy ended(&connection, &ControllerConnection::searchEnded);
        connection.portWatch().poll();
        QVERIFY(connection.isSearching());
        QCOMPARE(connection.searchPlan().purpose, Plan::Purpose::HotPlug);
        QCOMPARE(connection.searchPlan().onlyOutputs, std::vector{bus->outputName(1)});
        QVERIFY(searchEnds(connection));
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.first().first().toBool(), true);
        QCOMPARE(connection.controllerOutput(), QString::fromStdString(bus->outputName(1)));
        // Connected: a new output is noted, not searched.
        bus->setPortCounts(2, 3);
        connection.portWatch().poll();
        QVERIFY(!connection.isSearching());
        QVERIFY(connection.portWatch().freshOutputs().isEmpty());
    }

    // The steps of a search reach the connection's own thread, with what it waits for.
    void searchStepsComeOnTheConnectionsThread() {
        bus->setPortCounts(0, 0);
        ControllerConnection connection;
        QList<SearchEvent> steps;
        bool elsewhere = false;
        connect(&connection, &ControllerConnection::searchStepped, this,
                [&](const SearchEvent& step) {
                    elsewhere = elsewhere || QThread::currentThread() != thread();
                    steps << step;
                });
        QVERIFY(connection.startSearch(everyOutput()));
        QVERIFY(searchEnds(connection));
        QVERIFY(!elsewhere);
        QVERIFY(!steps.isEmpty());
        QCOMPARE(steps.first().kind, SearchEvent::Kind::Attempt);
        int waits = 0;
        for (const SearchEvent& step : steps)
            if (step.kind == SearchEvent::Kind::WaitingForPorts) {
                ++waits;
                QCOMPARE(step.waitForMs, 10000u);
            }
        QVERIFY(waits > 0);
    }

    // An upgrade run opens its ports in a table of its own: the editor's table stays as the
    // connection left it, and the ports of a run that flashed stay open until they are
    // released.
    void upgradeHasPortsOfItsOwn() {
        bus->detachAll();
        auto device = std::make_shared<korvalen::midi::EmulatorDevice>([] {
            korvalen::sim::ControllerEmulator::Options options;
            options.mode = korvalen::sim::ControllerEmulator::Mode::Upgrade;
            options.upgradeId = {0x00, 0x20, 0x6B, 0x02, 0x19};
            return options;
        }());
        bus->attach(0, 0, device);
        ControllerConnection connection;
        QByteArray bytes(2 * 28, '\x5A');
        bytes.append(QByteArray::fromHex("00206B0219"));
        bytes.append("102\x01\x02QVolm", 10);
        auto loaded = korvalen::loadFirmwareImage(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size());
        QCOMPARE(loaded.status, korvalen::FirmwareLoadStatus::Loaded);
        QVERIFY(connectThread.startRun(loaded.image));
        QCOMPARE(connection.state(), State::Flashing);
        QVERIFY(!connection.startSearch(everyOutput()));
        connectThread.wait();
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::Flashed);
        QVERIFY(device->emulator().transferComplete());
        QVERIFY(editorPortsClosed());
        QCOMPARE(bus->openInputs(), std::vector<unsigned>{0});
        QCOMPARE(connection.state(), State::NotConnected);
        connectThread.releasePorts();
        QVERIFY(bus->openInputs().empty());
        QVERIFY(bus->openOutputs().empty());
    }

    // Outputs that appear while an upgrade holds the ports are searched once it has ended:
    // the upgrade keeps them new, it does not use them up.
    void outputsPluggedInDuringAnUpgradeAreSearchedAfterIt() {
        bus->setPortCounts(1, 1);
        bus->detachAll();
        ControllerConnection connection;
        QVERIFY(connection.startSearch(
            {Plan::Purpose::StartUp, QStringLiteral("Connecting"), {}, 1, 1}));
        QVERIFY(searchEnds(connection));
        QCOMPARE(connection.state(), State::NotConnected);

        // The upgrade run finds no controller in upgrade mode; its pause between attempts is
        // held, so it holds the ports until it is stopped.
        auto held = std::make_shared<testsupport::HeldBus>(bus);
        held->holdAfter(0);
        korvalen::midi::setPlatform(held);
        QByteArray bytes(2 * 28, '\x5A');
        bytes.append(QByteArray::fromHex("00206B0219"));
        bytes.append("102\x01\x02QVolm", 10);
        auto loaded = korvalen::loadFirmwareImage(
            reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size());
        QCOMPARE(loaded.status, korvalen::FirmwareLoadStatus::Loaded);
        QVERIFY(connectThread.startRun(loaded.image));
        QCOMPARE(connection.state(), State::Flashing);

        bus->setPortCounts(2, 2);
        bus->attach(1, 1, testsupport::answerIdentityProbe);
        connection.portWatch().poll();
        QVERIFY(!connection.isSearching());

        connectThread.requestStop();
        held->release();
        connectThread.wait();
        testwait::until([&] { return connection.state() == State::NotConnected; });
        korvalen::midi::setPlatform(bus);
        connectThread.releasePorts();

        QSignalSpy ended(&connection, &ControllerConnection::searchEnded);
        connection.portWatch().poll();
        QVERIFY(connection.isSearching());
        QCOMPARE(connection.searchPlan().purpose, Plan::Purpose::HotPlug);
        QCOMPARE(connection.searchPlan().onlyOutputs, std::vector{bus->outputName(1)});
        QVERIFY(searchEnds(connection));
        QCOMPARE(connection.controllerOutput(), QString::fromStdString(bus->outputName(1)));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "test_connection.moc"
