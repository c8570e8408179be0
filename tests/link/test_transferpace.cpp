// Every transfer tells the MIDI backend when it begins and when it ends, however it ends: a
// firmware upgrade that is done, that fails or that is stopped, and a download or a read of a
// stored preset the same. A backend that counts the calls, in front of the virtual bus, stands
// in for one that asks its server for short cycles in between: an end that does not come
// leaves a user's whole audio graph at the short cycle.
#include "connectthread.h"
#include "emulatordevice.h"
#include "firmware.h"
#include "midi.h"
#include "presettransfer.h"
#include "virtualbus.h"

#include <QTest>

#include <functional>
#include <memory>
#include <mutex>

using namespace korvalen;
using midi::Message;

namespace {

// The virtual bus with the transfer calls counted: how many began and ended, and what had gone
// out on output port 0 when the first began and when the last ended.
class CountingBackend final : public midi::Platform {
public:
    explicit CountingBackend(std::shared_ptr<midi::VirtualBus> bus) : bus_(std::move(bus)) {}

    std::string apiName() const override { return bus_->apiName(); }
    unsigned inputCount() override { return bus_->inputCount(); }
    unsigned outputCount() override { return bus_->outputCount(); }
    std::string inputName(unsigned i) override { return bus_->inputName(i); }
    std::string outputName(unsigned i) override { return bus_->outputName(i); }
    std::unique_ptr<midi::InputPort> openInput(unsigned i, midi::InputHandler handler,
                                               std::uintptr_t instance) override {
        return bus_->openInput(i, std::move(handler), instance);
    }
    std::unique_ptr<midi::OutputPort> openOutput(unsigned i) override {
        return bus_->openOutput(i);
    }
    void sleep(unsigned ms) override { bus_->sleep(ms); }
    bool sleep(unsigned ms, midi::StopToken& token) override { return bus_->sleep(ms, token); }
    std::vector<std::string> inputNames() override { return bus_->inputNames(); }
    std::vector<std::string> outputNames() override { return bus_->outputNames(); }

    void transferBegins() override {
        std::function<void()> hook;
        {
            std::lock_guard lock(mutex_);
            if (depth_++ == 0) sentAtBegin_ = bus_->sent(0);
            ++begun_;
            hook = onBegin_;
        }
        if (hook) hook();
    }
    void transferEnds() override {
        std::lock_guard lock(mutex_);
        ++ended_;
        if (--depth_ == 0) sentAtEnd_ = bus_->sent(0);
    }

    // Runs inside each begin, on the transfer's thread.
    void onBegin(std::function<void()> hook) {
        std::lock_guard lock(mutex_);
        onBegin_ = std::move(hook);
    }
    int begun() const {
        std::lock_guard lock(mutex_);
        return begun_;
    }
    int ended() const {
        std::lock_guard lock(mutex_);
        return ended_;
    }
    std::vector<Message> sentAtBegin() const {
        std::lock_guard lock(mutex_);
        return sentAtBegin_;
    }
    std::vector<Message> sentAtEnd() const {
        std::lock_guard lock(mutex_);
        return sentAtEnd_;
    }

private:
    std::shared_ptr<midi::VirtualBus> bus_;
    mutable std::mutex mutex_;
    int begun_ = 0;
    int ended_ = 0;
    int depth_ = 0;
    std::vector<Message> sentAtBegin_;
    std::vector<Message> sentAtEnd_;
    std::function<void()> onBegin_;
};

// An image of `blocks` whole data blocks for the emulator's identity.
FirmwareImage imageOf(int blocks) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 28 * blocks; ++i)
        bytes.push_back(static_cast<std::uint8_t>(i * 13 + 5));
    for (std::uint8_t b : {0x00, 0x20, 0x6B, 0x02, 0x19})
        bytes.push_back(b);
    for (char c : std::string("102\x01\x02QVolm", 10))
        bytes.push_back(static_cast<std::uint8_t>(c));
    return loadFirmwareImage(bytes.data(), bytes.size()).image;
}

bool isDataBlock(const Message& m) {
    return decodeBlock(m.data(), m.size()).status == BlockStatus::Ok;
}

int dataBlocksIn(const std::vector<Message>& sent) {
    return static_cast<int>(std::count_if(sent.begin(), sent.end(), isDataBlock));
}

} // namespace

class TestTransferPace : public QObject {
    Q_OBJECT

    std::shared_ptr<midi::VirtualBus> bus;
    std::shared_ptr<CountingBackend> backend;
    std::shared_ptr<midi::EmulatorDevice> device;
    midi::StopToken stop;
    SendPace pace;

    void install(sim::ControllerEmulator::Options options) {
        device = std::make_shared<midi::EmulatorDevice>(options);
        bus = std::make_shared<midi::VirtualBus>();
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, device);
        backend = std::make_shared<CountingBackend>(bus);
        midi::setPlatform(backend);
    }

    PresetTransfer transfer() {
        return PresetTransfer(
            [](const std::uint8_t* d, std::uint32_t n) { return midiLink.sendSysEx(d, n); },
            midiLink.sysExRing, stop, pace);
    }

private slots:
    void init() {
        stop.clear();
        pace.setBytesPerSecond(0);
        pace.setPauseMs(0);
        connectThread.setRequestTimeouts(ConnectThread::kFirstRequestTimeoutMs,
                                         ConnectThread::kRequestTimeoutMs);
    }
    void cleanup() {
        connectThread.requestStop();
        connectThread.wait();
        connectThread.releasePorts();
        midiLink.resetPortTable();
        midiLink.closeOutput();
        if (bus) bus->quiesce();
        midi::setPlatform(nullptr);
        backend.reset();
        bus.reset();
    }

    void flashEndsGiveItBack_data() {
        QTest::addColumn<int>("silenceAfter"); // -1: the device takes every block
        QTest::addColumn<bool>("stopAtBegin");
        QTest::addColumn<int>("outcome");
        QTest::newRow("done") << -1 << false << int(ConnectThread::Outcome::Flashed);
        QTest::newRow("the device falls silent")
            << 3 << false << int(ConnectThread::Outcome::DeviceSilent);
        QTest::newRow("stopped") << -1 << true << int(ConnectThread::Outcome::Stopped);
    }
    void flashEndsGiveItBack() {
        QFETCH(int, silenceAfter);
        QFETCH(bool, stopAtBegin);
        QFETCH(int, outcome);
        sim::ControllerEmulator::Options options;
        options.mode = sim::ControllerEmulator::Mode::Upgrade;
        options.silenceAfterBlocks = silenceAfter;
        install(options);
        if (stopAtBegin) backend->onBegin([] { connectThread.requestStop(); });
        connectThread.setRequestTimeouts(600000, 1000);
        const FirmwareImage image = imageOf(12);
        QVERIFY(image.blockCount > 0);

        QVERIFY(connectThread.startRun(image));
        connectThread.wait();
        QCOMPARE(int(connectThread.outcome()), outcome);
        QCOMPARE(backend->begun(), 1);
        QCOMPARE(backend->ended(), 1);
        // The transfer began before the first block went out and ended after the last.
        QCOMPARE(dataBlocksIn(backend->sentAtBegin()), 0);
        QCOMPARE(dataBlocksIn(backend->sentAtEnd()), dataBlocksIn(bus->sent(0)));
        if (outcome == int(ConnectThread::Outcome::Flashed))
            QCOMPARE(dataBlocksIn(bus->sent(0)), int(image.blockCount));
    }

    // A search that finds nothing is no transfer: nothing is asked of the server.
    void searchThatFindsNothingAsksNothing() {
        sim::ControllerEmulator::Options options;
        options.silent = true;
        install(options);
        QVERIFY(connectThread.startRun(imageOf(4)));
        connectThread.wait();
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::NotFound);
        QCOMPARE(backend->begun(), 0);
        QCOMPARE(backend->ended(), 0);
    }

    void downloadAndReadEndsGiveItBack_data() {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("sendFails");
        QTest::addColumn<bool>("stopped");
        QTest::newRow("download, done") << "download" << false << false;
        QTest::newRow("download, the port fails") << "download" << true << false;
        QTest::newRow("download, stopped") << "download" << false << true;
        QTest::newRow("read, done") << "read" << false << false;
        QTest::newRow("read, the port fails") << "read" << true << false;
        QTest::newRow("read, stopped") << "read" << false << true;
    }
    void downloadAndReadEndsGiveItBack() {
        QFETCH(QString, what);
        QFETCH(bool, sendFails);
        QFETCH(bool, stopped);
        install({});
        midiLink.reConnect();
        bus->clearSent();
        bus->setSendFails(0, sendFails);
        if (stopped) stop.requestStop();

        auto t = transfer();
        bool ok = false;
        if (what == "download") {
            const DownloadResult r = t.download(PresetValues{}, 18);
            ok = r.ok();
            if (stopped) QCOMPARE(r.status, DownloadResult::Status::Stopped);
            if (sendFails) QCOMPARE(r.status, DownloadResult::Status::SendFailed);
        } else {
            Preset preset;
            const ReadResult r = t.readPreset(18, preset);
            ok = r.ok();
            if (stopped) QCOMPARE(r.status, ReadResult::Status::Stopped);
            if (sendFails) QCOMPARE(r.status, ReadResult::Status::SendFailed);
        }
        QCOMPARE(ok, !sendFails && !stopped);
        QCOMPARE(backend->begun(), 1);
        QCOMPARE(backend->ended(), 1);
        // Nothing of the transfer went out before it began; all of it before it ended.
        QCOMPARE(backend->sentAtBegin().size(), std::size_t(0));
        QCOMPARE(backend->sentAtEnd().size(), bus->sent(0).size());
        if (ok) QVERIFY(!bus->sent(0).empty());
    }
};

QTEST_GUILESS_MAIN(TestTransferPace)
#include "test_transferpace.moc"
