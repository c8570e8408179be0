// The checked download and the read of a stored preset, against the controller emulator on the
// virtual bus, in virtual time: a controller that keeps up, one that reads at cable speed and
// loses what overruns its buffer, one that never answers the read-back, one that never takes a
// certain message, a port that stops taking messages, and a stop.
#include "emulatordevice.h"
#include "midi.h"
#include "presettransfer.h"
#include "virtualbus.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>

using namespace korvalen;
using midi::Message;

Q_DECLARE_METATYPE(std::function<void(Message&)>)

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

// A device in front of the emulator that changes the records of every dump it sends.
class DumpChangingDevice final : public midi::VirtualDevice {
public:
    DumpChangingDevice(std::shared_ptr<midi::EmulatorDevice> inner,
                       std::function<void(Message&)> change)
        : inner_(std::move(inner)), change_(std::move(change)) {}
    std::vector<Message> receive(const Message& m) override {
        std::vector<Message> replies = inner_->receive(m);
        for (Message& r : replies)
            if (r.size() > 2 && r[0] == 0xF0 && r[1] <= 0x05) change_(r);
        return replies;
    }

private:
    std::shared_ptr<midi::EmulatorDevice> inner_;
    std::function<void(Message&)> change_;
};

// Changes an assignment record of control `kind`/`number`: byte `at` becomes `value`.
std::function<void(Message&)> assignmentByte(int kind, int number, std::size_t at, int value) {
    return [=](Message& r) {
        if (r.size() == 9 && r[1] == kind && r[2] == number) r[at] = std::uint8_t(value);
    };
}

// Changes entry `index` of the globals in the dump (escaped as the controller escapes it).
std::function<void(Message&)> globalEntry(int index, int value) {
    return [=](Message& r) {
        const DumpRecordView v = readDumpRecord(r.data(), r.size());
        if (v.what != DumpRecordView::What::Globals || index < v.start ||
            index >= v.start + v.count)
            return;
        std::array<std::uint8_t, 127> values = v.values;
        values[std::size_t(index - v.start)] = std::uint8_t(value);
        std::array<std::uint8_t, 5 * 127 + 5> out{};
        const std::size_t n = dumpGlobalsRecord(v.start, values.data(), v.count, out);
        r.assign(out.begin(), out.begin() + std::ptrdiff_t(n));
    };
}

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
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
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
        QVERIFY(r.notTaken.empty());
        // No resend was needed: one step back toward full speed.
        QCOMPARE(pace.bytesPerSecond(), 0u);
    }

    // A pace found slow steps back toward full speed with every download that needs no resend.
    void paceRecoversWhenTheControllerKeepsUp() {
        install();
        pace.setBytesPerSecond(SendPace::kSlowestBytesPerS);
        std::vector<unsigned> paces;
        for (int i = 0; i < 4; ++i) {
            const DownloadResult r = transfer().download(editedPreset(i), 16 + i);
            QCOMPARE(r.status, DownloadResult::Status::Confirmed);
            QCOMPARE(r.rounds, 1);
            paces.push_back(pace.bytesPerSecond());
        }
        QCOMPARE(paces.back(), 0u);
        QVERIFY(std::is_sorted(paces.begin(), paces.end() - 1));
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
        // Different after every round although the rest arrived: it did not take, and the
        // pace goes back to where it was.
        QCOMPARE(r.notTaken, r.shortfall);
        QCOMPARE(pace.bytesPerSecond(), 0u);
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

    // The read-back names the preset it holds: a dump of P20 that says P21 confirms nothing,
    // whatever its values.
    void readBackOfAnotherPresetIsNotConfirmed_data() {
        QTest::addColumn<int>("offset");
        QTest::newRow("one on") << 1;
        QTest::newRow("one back") << -1;
        QTest::newRow("the factory preset") << -20;
    }
    void readBackOfAnotherPresetIsNotConfirmed() {
        QFETCH(int, offset);
        device->emulator().options().dumpNumberOffset = offset;
        install();
        const DownloadResult r = transfer().download(editedPreset(4), 20);
        QCOMPARE(r.status, DownloadResult::Status::NotConfirmed);
        QCOMPARE(r.readBack.status, ReadResult::Status::OtherPreset);
        QCOMPARE(r.readBack.presetNumber, 20 + offset);
        QVERIFY(r.endSent);
        QCOMPARE(r.rounds, 1);
    }

    // A value out of range in the read-back differs from what was sent, even where the parse
    // of a dump would put a default that equals the value sent.
    void outOfRangeReadBackValuesDiffer_data() {
        QTest::addColumn<std::function<void(Message&)>>("change");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("REW channel 17")
            << assignmentByte(control::kButtonKind, 29, 5, 17) << QStringList{"REW: channel"};
        QTest::newRow("slider port 6")
            << assignmentByte(control::kSliderKind, control::kSliderNumber, 6, 6)
            << QStringList{"S1: port"};
        QTest::newRow("pad behaviour 4")
            << assignmentByte(control::kButtonKind, control::kFirstPad, 7, 4)
            << QStringList{"P1, bank A: type", "P1, bank A: mode"};
        QTest::newRow("F1 number 300, a byte's 44")
            << std::function<void(Message&)>([](Message& r) {
                   if (r.size() == 9 && r[1] == control::kButtonKind &&
                       r[2] == control::kFirstFunction) {
                       r[3] = 300 / 127;
                       r[4] = 300 % 127;
                   }
               })
            << QStringList{"F1, BANK 1: number"};
        QTest::newRow("E1 channel 17") << assignmentByte(control::kEncoderKind, 0, 5, 17)
                                       << QStringList{"E1, BANK 1: channel"};
        QTest::newRow("zone 2 octave 9")
            << globalEntry(global::kZoneOct + 1, 9) << QStringList{"Zone2: octave"};
        QTest::newRow("zone bits 8")
            << globalEntry(global::kZoneBits, 8)
            << QStringList{"Zone1: on/off", "Zone2: on/off", "Zone3: on/off"};
        QTest::newRow("zone 3 port 200, escaped")
            << globalEntry(global::kZonePort + 2, 200) << QStringList{"Zone3: port"};
    }
    void outOfRangeReadBackValuesDiffer() {
        QFETCH(std::function<void(Message&)>, change);
        QFETCH(QStringList, fields);
        install(std::make_shared<DumpChangingDevice>(device, change));
        // Every field at the value a parse puts where a value is out of range.
        PresetValues values;
        values.zones[0].status = 1;
        const DownloadResult r = transfer().download(values, 26);
        QCOMPARE(r.status, DownloadResult::Status::Differs);
        QStringList named;
        for (const FieldDifference& d : r.shortfall)
            named << QString::fromStdString(fieldName(d.field));
        QCOMPARE(named, fields);
        // Different after every round although the rest arrived: not a matter of speed.
        QCOMPARE(r.notTaken, r.shortfall);
        QCOMPARE(pace.bytesPerSecond(), 0u);
    }

    // A dump that arrives damaged is asked for again, after a longer pause each time, up to
    // three times; then the read fails with the reason.
    void damagedDumpIsAskedForAgain_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("times");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("requests");
        using F = sim::ControllerEmulator::DumpFault;
        using S = ReadResult::Status;
        QTest::newRow("a record lost, once") << int(F::Dropped) << 3 << 1 << int(S::Done) << 2;
        QTest::newRow("a record lost, three times")
            << int(F::Dropped) << 3 << 3 << int(S::Done) << 4;
        QTest::newRow("a record lost, every time")
            << int(F::Dropped) << 3 << -1 << int(S::Incomplete) << 4;
        QTest::newRow("the end lost, twice") << int(F::Cut) << 60 << 2 << int(S::Done) << 3;
        QTest::newRow("the end lost, every time") << int(F::Cut) << 60 << -1 << int(S::Cut) << 4;
        QTest::newRow("a button record cut short, once")
            << int(F::Truncated) << 40 << 1 << int(S::Done) << 2;
        // A controller that sends a value out of range sends it again: not asked twice.
        QTest::newRow("a bad value") << int(F::BadValue) << 3 << -1 << int(S::BadRecords) << 1;
    }
    void damagedDumpIsAskedForAgain() {
        QFETCH(int, fault);
        QFETCH(int, record);
        QFETCH(int, times);
        QFETCH(int, status);
        QFETCH(int, requests);
        device->emulator().options().dumpFault =
            static_cast<sim::ControllerEmulator::DumpFault>(fault);
        device->emulator().options().dumpFaultRecord = record;
        device->emulator().options().dumpFaultTimes = times;
        install();
        const auto start = bus->now();
        Preset p;
        const ReadResult r = transfer().readPreset(19, p);
        QCOMPARE(int(r.status), status);
        QCOMPARE(r.requests, requests);
        QCOMPARE(countOf(bus->sent(0), 0x05), requests);
        // The pauses before the requests that asked again, longer each time.
        unsigned paused = 0;
        for (int i = 0; i + 1 < requests; ++i)
            paused += PresetTransfer::kDamagedDumpPausesMs[std::size_t(i)];
        QVERIFY2(bus->now() - start >= paused, qPrintable(QString::number(bus->now() - start)));
        if (r.ok()) {
            // What came last is the whole dump.
            std::vector<std::uint8_t> whole;
            for (const sim::Message& m : device->emulator().dumpOf(19, false))
                whole.insert(whole.end(), m.begin(), m.end());
            QVERIFY(r.dump == whole);
        }
    }

    // The read-back of a download asks again for a damaged dump too.
    void damagedReadBackIsAskedForAgain() {
        device->emulator().options().dumpFault = sim::ControllerEmulator::DumpFault::Dropped;
        device->emulator().options().dumpFaultRecord = 50;
        device->emulator().options().dumpFaultTimes = 2;
        install();
        const PresetValues values = editedPreset(8);
        const DownloadResult r = transfer().download(values, 27);
        QCOMPARE(r.status, DownloadResult::Status::Confirmed);
        QCOMPARE(r.rounds, 1);
        QCOMPARE(r.readBack.requests, 3);
    }

    // A read-back that stays cut, damaged or incomplete confirms nothing and compares nothing:
    // the download is "not confirmed", never "differs".
    void damagedReadBackIsNotConfirmed_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("record");
        QTest::addColumn<int>("status");
        using F = sim::ControllerEmulator::DumpFault;
        using S = ReadResult::Status;
        QTest::newRow("cut") << int(F::Cut) << 30 << int(S::Cut);
        QTest::newRow("a record lost") << int(F::Dropped) << 40 << int(S::Incomplete);
        QTest::newRow("a record cut short") << int(F::Truncated) << 45 << int(S::Incomplete);
    }
    void damagedReadBackIsNotConfirmed() {
        QFETCH(int, fault);
        QFETCH(int, record);
        QFETCH(int, status);
        device->emulator().options().dumpFault =
            static_cast<sim::ControllerEmulator::DumpFault>(fault);
        device->emulator().options().dumpFaultRecord = record;
        install();
        const DownloadResult r = transfer().download(editedPreset(5), 28);
        QCOMPARE(r.status, DownloadResult::Status::NotConfirmed);
        QCOMPARE(int(r.readBack.status), status);
        QCOMPARE(r.readBack.requests, 1 + int(PresetTransfer::kDamagedDumpPausesMs.size()));
        QCOMPARE(r.rounds, 1);
        QVERIFY(r.shortfall.empty());
    }

    // A message the port does not take ends the download there: nothing after it goes out,
    // above all not the end message, and `endSent` says whether the end message went out.
    void messageNotTakenEndsTheDownload_data() {
        QTest::addColumn<int>("failing"); // the call that fails, from 1
        QTest::newRow("the first") << 1;
        QTest::newRow("the second") << 2;
        QTest::newRow("one in the middle") << 200;
        QTest::newRow("the last before the end message") << 383;
        QTest::newRow("the end message") << 384;
    }
    void messageNotTakenEndsTheDownload() {
        QFETCH(int, failing);
        install();
        const auto before = *device->emulator().preset(29);
        auto calls = std::make_shared<int>(0);
        PresetTransfer t(
            [calls, failing](const std::uint8_t* d, std::uint32_t n) {
                // Only this one call fails: a port that would take the rest again.
                return ++*calls == failing ? -1 : midiLink.sendSysEx(d, n);
            },
            midiLink.sysExRing, stop, pace);
        const DownloadResult r = t.download(editedPreset(6), 29);
        QCOMPARE(r.status, DownloadResult::Status::SendFailed);
        QCOMPARE(*calls, failing);
        QCOMPARE(r.messagesSent, std::size_t(failing - 1));
        QVERIFY(!r.endSent);
        bus->quiesce();
        QCOMPARE(*device->emulator().preset(29), before);
    }

    // Each controller has its pace; the pause is the user's, shared by all.
    void eachControllerHasItsPace() {
        SendPace& a = SendPace::forController("Korvalen25 A");
        SendPace& b = SendPace::forController("Korvalen25 B");
        QVERIFY(&a != &b);
        QCOMPARE(&SendPace::forController("Korvalen25 A"), &a);
        a.setBytesPerSecond(SendPace::kCableBytesPerS);
        QCOMPARE(b.bytesPerSecond(), 0u);
        const unsigned pause = SendPace::session().pauseMs();
        SendPace::session().setPauseMs(7);
        QCOMPARE(a.pauseMs(), 7u);
        QCOMPARE(b.pauseMs(), 7u);
        SendPace::session().setPauseMs(pause);
    }

    // Each step down has its step up, back to full speed.
    void paceStepsBackToFullSpeed() {
        SendPace p;
        std::vector<unsigned> down{p.bytesPerSecond()};
        while (p.slowDown())
            down.push_back(p.bytesPerSecond());
        QCOMPARE(down.back(), SendPace::kSlowestBytesPerS);
        QCOMPARE(down.size(), std::size_t(5));
        QVERIFY(p.slowest());
        std::size_t up = 0;
        while (p.speedUp())
            ++up;
        QCOMPARE(up, down.size() - 1);
        QCOMPARE(p.bytesPerSecond(), 0u);
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
