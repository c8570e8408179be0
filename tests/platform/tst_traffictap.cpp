// The traffic tap: what the ports of the virtual bus put into the traffic log while it is
// attached (direction, port name, bytes, order), nothing while it is not, and the log's ring.
#include "traffictap.h"
#include "virtualbus.h"

#include <QtTest>

using namespace korvalen::midi;

namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kProbe = {0xF0, 0x00, 0x00, 0x66, 0x14, 0x1A, 0x00, 0xF7};
const Bytes kReply = {0xF0, 0x00, 0x00, 0x66, 0x14, 0x1B, 0x00, 0x66, 0x5A, 0x74, 0xF7};

struct Ports {
    std::shared_ptr<VirtualBus> bus = std::make_shared<VirtualBus>();
    std::unique_ptr<InputPort> in;
    std::unique_ptr<OutputPort> out;
    std::uint8_t buffer[256] = {};

    Ports() {
        bus->setPortCounts(1, 1);
        bus->setInputName(0, "Korvalen25 MIDI 1");
        bus->setOutputName(0, "Korvalen25 MIDI 1 out");
        bus->attach(0, 0, [](const Message& m) {
            return m.size() == 8 ? std::vector<Message>{kReply} : std::vector<Message>{};
        });
        in = bus->openInput(
            0,
            [this](std::uintptr_t, const InputEvent& e) {
                if (e.kind == InputEvent::Kind::LongData && e.recorded) in->addBuffer(buffer, 256);
            },
            0);
        in->addBuffer(buffer, 256);
        in->start();
        out = bus->openOutput(0);
    }
    // Sends the probe and waits (in virtual time) for the reply to be handled.
    void exchange() {
        QCOMPARE(out->send(kProbe.data(), std::uint32_t(kProbe.size())), 0);
        bus->sleep(1);
    }
};

} // namespace

class TestTrafficTap : public QObject {
    Q_OBJECT
private slots:
    void seesBothWaysWhileAttached();
    void seesNothingWhenDetached();
    void attachIsCounted();
    void ringKeepsTheNewest();
    void longMessageKeepsItsLength();
};

void TestTrafficTap::seesBothWaysWhileAttached() {
    Ports ports;
    std::uint64_t next = trafficLog().nextSequence();
    {
        TrafficTapUser user;
        ports.exchange();
    }
    const auto records = trafficLog().takeSince(next, 100);
    QCOMPARE(records.size(), std::size_t(2));
    QVERIFY(records[0].outgoing);
    QCOMPARE(records[0].port, std::string("Korvalen25 MIDI 1 out"));
    QCOMPARE(records[0].bytes, kProbe);
    QVERIFY(!records[1].outgoing);
    QCOMPARE(records[1].port, std::string("Korvalen25 MIDI 1"));
    QCOMPARE(records[1].bytes, kReply);
    QCOMPARE(records[1].length, kReply.size());
    QVERIFY(records[0].sequence + 1 == records[1].sequence);
    QVERIFY(records[0].time <= records[1].time);
}

void TestTrafficTap::seesNothingWhenDetached() {
    Ports ports;
    QVERIFY(!trafficTapAttached());
    const std::uint64_t before = trafficLog().nextSequence();
    ports.exchange();
    QCOMPARE(trafficLog().nextSequence(), before);
}

void TestTrafficTap::attachIsCounted() {
    // The window and a command may watch at once: the tap stays on until the last one leaves.
    attachTrafficTap();
    attachTrafficTap();
    detachTrafficTap();
    QVERIFY(trafficTapAttached());
    detachTrafficTap();
    QVERIFY(!trafficTapAttached());
    detachTrafficTap(); // one too many changes nothing
    QVERIFY(!trafficTapAttached());
}

void TestTrafficTap::ringKeepsTheNewest() {
    TrafficLog log(4);
    for (std::uint8_t i = 0; i < 6; ++i) {
        const std::uint8_t m[3] = {0x90, i, 0x40};
        log.record(false, "in", m, 3);
    }
    std::uint64_t next = 0;
    std::uint64_t lost = 0;
    const auto records = log.takeSince(next, 100, &lost);
    QCOMPARE(lost, std::uint64_t(2));
    QCOMPARE(records.size(), std::size_t(4));
    QCOMPARE(records.front().bytes[1], std::uint8_t(2));
    QCOMPARE(records.back().bytes[1], std::uint8_t(5));
    QCOMPARE(next, std::uint64_t(6));
    // Taken in pieces: `max` at a time, nothing twice.
    next = 3;
    QCOMPARE(log.takeSince(next, 2).size(), std::size_t(2));
    QCOMPARE(log.takeSince(next, 2).size(), std::size_t(1));
    QCOMPARE(log.takeSince(next, 2).size(), std::size_t(0));
}

void TestTrafficTap::longMessageKeepsItsLength() {
    TrafficLog log(2);
    Bytes big(1000, 0x11);
    big.front() = 0xF0;
    big.back() = 0xF7;
    const std::string longName(200, 'n');
    log.record(true, longName, big.data(), big.size());
    std::uint64_t next = 0;
    const auto records = log.takeSince(next, 1);
    QCOMPARE(records[0].length, std::size_t(1000));
    QCOMPARE(records[0].bytes.size(), TrafficLog::kMaxBytes);
    QCOMPARE(records[0].port.size(), TrafficLog::kMaxNameBytes);
}

QTEST_APPLESS_MAIN(TestTrafficTap)
#include "tst_traffictap.moc"
