// The checked download and the read of a stored preset, against the controller emulator on the
// virtual bus, in virtual time: a controller that keeps up, one that reads at cable speed and
// loses what overruns its buffer, one that never answers the read-back, one that never takes a
// certain message, a port that stops taking messages, and a stop.
#include "emulatordevice.h"
#include "midi.h"
#include "presettransfer.h"
#include "virtualbus.h"

#include <QTest>

#include <memory>

using namespace korvalen;
using midi::Message;

namespace {

PresetValues editedPreset(int seed) {
    PresetValues v;
    for (std::size_t i = 0; i < v.encoders.size(); ++i)
        v.encoders[i] = {0, static_cast<std::uint8_t>((seed + i) % 128),
                         static_cast<std::uint8_t>((seed + i) % 16),
                         static_cast<std::uint8_t>(i % 5), 0};
    for (std::size_t i = 0; i < v.functions.size(); ++i)
        v.functions[i] = {static_cast<std::uint8_t>(i % 2), static_cast<std::uint8_t>(seed + i), 3,
                          1, static_cast<std::uint8_t>((i / 2) % 2)};
    for (std::size_t i = 0; i < v.pads.size(); ++i)
        v.pads[i] = {1, static_cast<std::uint8_t>(36 + i + seed % 8), 9, 0, 1};
    for (std::size_t i = 0; i < v.transport.size(); ++i)
        v.transport[i] = {0, static_cast<std::uint8_t>(130 + i), 16, 5, 0};
    v.slider = {0, 7, 2, 1, 0};
    for (int z = 0; z < 3; ++z)
        v.zones[z] = {static_cast<std::uint8_t>(z != 1),
                      static_cast<std::uint8_t>(seed + z),
                      1,
                      2,
                      static_cast<std::uint8_t>(z + 3),
                      4,
                      24,
                      100,
                      3,
                      14};
    return v;
}

// A device in front of the emulator that drops every message a filter picks.
class DroppingDevice final : public midi::VirtualDevice {
public:
    DroppingDevice(std::shared_ptr<midi::EmulatorDevice> inner,
                   std::function<bool(const Message&)> drop)
        : inner_(std::move(inner)), drop_(std::move(drop)) {}
    std::vector<Message> receive(const Message& m) override {
        return drop_(m) ? std::vector<Message>{} : inner_->receive(m);
    }

private:
    std::shared_ptr<midi::EmulatorDevice> inner_;
    std::function<bool(const Message&)> drop_;
};

int countOf(const std::vector<Message>& sent, std::uint8_t command) {
    return static_cast<int>(std::count_if(sent.begin(), sent.end(), [command](const Message& m) {
        return m.size() == 9 && m[5] == command;
    }));
}

} // namespace

class TestPresetTransfer : public QObject {
    Q_OBJECT

    std::shared_ptr<midi::VirtualBus> bus;
    std::shared_ptr<midi::EmulatorDevice> device;
    midi::StopToken stop;
    SendPace pace; // each test starts at full speed

    void install(std::shared_ptr<midi::VirtualDevice> front = nullptr) {
        bus = std::make_shared<midi::VirtualBus>();
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, front ? front : device);
        midi::setPlatform(bus);
        midiLink.reConnect();
        QVERIFY(midiLink.editorConnected());
        bus->clearSent();
    }

    PresetTransfer transfer() {
        return PresetTransfer(
            [](const std::uint8_t* d, std::uint32_t n) { return midiLink.sendSysEx(d, n); },
            midiLink.sysExRing, stop, pace);
    }

    PresetValues stored(int number) {
        Preset p;
        auto t = transfer();
        const ReadResult r = t.readPreset(number, p);
        if (!r.ok()) qWarning("read-back failed: %d", int(r.status));
        return p.values;
    }

private slots:
    void init() {
        device = std::make_shared<midi::EmulatorDevice>();
        pace.setBytesPerSecond(0);
        pace.setPauseMs(0);
        stop.clear();
    }
    void cleanup() {
        midiLink.resetPortTable();
        midiLink.closeOutput();
        if (bus) bus->quiesce();
        midi::setPlatform(nullptr);
        bus.reset();
    }

    void controllerThatKeepsUpTakesOneRoundAtFullSpeed() {
        install();
        const PresetValues values = editedPreset(3);
        const auto start = bus->now();
        const DownloadResult r = transfer().download(values, 18);
        QCOMPARE(r.status, DownloadResult::Status::Confirmed);
        QCOMPARE(r.rounds, 1);
        QCOMPARE(r.messagesSent, std::size_t{384});
        QVERIFY(r.endSent);
        QCOMPARE(pace.bytesPerSecond(), 0u);
        QVERIFY2(bus->now() - start < 100, qPrintable(QString::number(bus->now() - start)));
        QCOMPARE(countOf(bus->sent(0), 0x05), 1); // one read-back request
        QVERIFY(downloadShortfall(values, stored(18)).empty());
    }

    // A controller that reads no faster than a MIDI cable, with a small buffer: the first
    // round overruns it (the end message and the read-back request among the lost), later
    // rounds slow down until everything is there; the pace found is kept.
    void cableSpeedControllerGetsEveryPresetWhole() {
        device->emulator().options().readRateBytesPerS = SendPace::kCableBytesPerS;
        device->emulator().options().readBufferBytes = 256;
        install();
        const PresetValues first = editedPreset(5);
        DownloadResult r = transfer().download(first, 20);
        QCOMPARE(r.status, DownloadResult::Status::Confirmed);
        QVERIFY2(r.rounds >= 2, qPrintable(QString::number(r.rounds)));
        QVERIFY(device->emulator().lostMessages() > 0);
        QCOMPARE(pace.bytesPerSecond(), SendPace::kCableBytesPerS);
        QVERIFY(downloadShortfall(first, stored(20)).empty());
        // The next download starts at the pace found: one round, nothing lost.
        const unsigned lostBefore = device->emulator().lostMessages();
        const PresetValues second = editedPreset(9);
        r = transfer().download(second, 21);
        QCOMPARE(r.status, DownloadResult::Status::Confirmed);
        QCOMPARE(r.rounds, 1);
        QCOMPARE(device->emulator().lostMessages(), lostBefore);
        QVERIFY(downloadShortfall(second, stored(21)).empty());
        QVERIFY(downloadShortfall(first, stored(20)).empty());
    }

    void silentReadBackIsNotConfirmed() {
        device->emulator().options().ignoreUploads = true;
        install();
        const auto start = bus->now();
        const DownloadResult r = transfer().download(editedPreset(1), 16);
        QCOMPARE(r.status, DownloadResult::Status::NotConfirmed);
        QCOMPARE(r.readBack.status, ReadResult::Status::NoAnswer);
        QVERIFY(r.endSent);
        QCOMPARE(r.rounds, 1);
        // Asked three times, after 250 ms, 1 s and the 5 s time-out.
        QCOMPARE(countOf(bus->sent(0), 0x05), 3);
        const auto waited = bus->now() - start;
        QVERIFY2(waited >= 6250 && waited < 6500, qPrintable(QString::number(waited)));
    }

    void messageThatNeverArrivesIsNamedAfterTheLastRound() {
        // F2 of bank 3 never takes its channel.
        const Message lost = [] {
            const auto m = parameterMessage(command::kChannel, control::kButtonKind,
                                            control::kFirstFunction + 4 * 2 + 1, 3);
            return Message(m.begin(), m.end());
        }();
        install(std::make_shared<DroppingDevice>(device,
                                                 [lost](const Message& m) { return m == lost; }));
        PresetValues values = editedPreset(2);
        values.functions[4 * 2 + 1].chan = 3;
        const DownloadResult r = transfer().download(values, 22);
        QCOMPARE(r.status, DownloadResult::Status::Differs);
        QCOMPARE(r.rounds, PresetTransfer::kMaxRounds);
        QCOMPARE(r.shortfall.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(fieldName(r.shortfall[0].field)),
                 QStringLiteral("F2, BANK 3: channel"));
        QCOMPARE(r.shortfall[0].first, std::uint8_t{3});
        // Each resend is the one message and the end message, slower each time.
        QCOMPARE(r.messagesSent, std::size_t{384 + 3 * 2});
        QCOMPARE(pace.bytesPerSecond(), SendPace::kCableBytesPerS / 4);
        QCOMPARE(countOf(bus->sent(0), 0x07), PresetTransfer::kMaxRounds);
    }

    void portThatStopsTakingMessagesStoresNothing() {
        install();
        const auto before = *device->emulator().preset(23);
        bus->setSendFails(0, true);
        const DownloadResult r = transfer().download(editedPreset(4), 23);
        QCOMPARE(r.status, DownloadResult::Status::SendFailed);
        QVERIFY(!r.endSent);
        QCOMPARE(r.messagesSent, std::size_t{0});
        bus->setSendFails(0, false);
        bus->quiesce();
        QCOMPARE(*device->emulator().preset(23), before);
    }

    void stopEndsTheDownloadAtOnce() {
        // The stop comes while the 100th message is taken.
        auto seen = std::make_shared<int>(0);
        install(std::make_shared<DroppingDevice>(device, [this, seen](const Message& m) {
            const bool preset = m.size() > 5 && m[1] == 0x00 && m[2] == 0x20 && m[3] == 0x6B;
            if (preset && ++*seen == 100) stop.requestStop();
            return false;
        }));
        pace.setPauseMs(10);
        auto t = transfer();
        const auto before = *device->emulator().preset(24);
        const DownloadResult r = t.download(editedPreset(6), 24);
        QCOMPARE(r.status, DownloadResult::Status::Stopped);
        QVERIFY(!r.endSent);
        QVERIFY2(r.messagesSent >= 100 && r.messagesSent < 120,
                 qPrintable(QString::number(r.messagesSent)));
        bus->quiesce();
        QCOMPARE(*device->emulator().preset(24), before);
    }

    // The read gives back the dump byte for byte as the controller sent it, from the first
    // record to the end record, also when records carry values out of range.
    void readKeepsTheDumpAsSent_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("status");
        QTest::newRow("whole") << int(sim::ControllerEmulator::DumpFault::None) << 0
                               << int(ReadResult::Status::Done);
        QTest::newRow("channel 17 in an encoder")
            << int(sim::ControllerEmulator::DumpFault::BadValue) << 3
            << int(ReadResult::Status::BadRecords);
        QTest::newRow("a record cut short") << int(sim::ControllerEmulator::DumpFault::Truncated)
                                            << 40 << int(ReadResult::Status::Incomplete);
    }
    void readKeepsTheDumpAsSent() {
        QFETCH(int, fault);
        QFETCH(int, record);
        QFETCH(int, status);
        device->emulator().options().dumpFault =
            static_cast<sim::ControllerEmulator::DumpFault>(fault);
        device->emulator().options().dumpFaultRecord = record;
        install();
        Preset p;
        const ReadResult r = transfer().readPreset(19, p);
        QCOMPARE(int(r.status), status);
        std::vector<std::uint8_t> sent;
        for (const sim::Message& m : device->emulator().dumpOf(19))
            sent.insert(sent.end(), m.begin(), m.end());
        QCOMPARE(r.dump.size(), sent.size());
        QVERIFY(r.dump == sent);
    }

    void fixedPauseSpacesEveryMessage() {
        install();
        pace.setPauseMs(2);
        const auto start = bus->now();
        const DownloadResult r = transfer().download(editedPreset(7), 25);
        QCOMPARE(r.status, DownloadResult::Status::Confirmed);
        QVERIFY2(bus->now() - start >= 384 * 2, qPrintable(QString::number(bus->now() - start)));
    }
};

QTEST_GUILESS_MAIN(TestPresetTransfer)
#include "test_presettransfer.moc"
