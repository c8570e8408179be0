// The virtual MIDI bus: scripted port counts, failing ports and sends, virtual time, delayed
// replies, receive buffers (256-byte pieces, reset, close) and deliveries from its own thread.
#include "emulatordevice.h"
#include "inputrecorder.h"
#include "virtualbus.h"
#include "waits.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace korvalen::midi;
using Kind = InputEvent::Kind;
using Counts = std::vector<std::pair<unsigned, unsigned>>;

Q_DECLARE_METATYPE(Counts)
Q_DECLARE_METATYPE(std::vector<unsigned>)

namespace {

Message sysex(std::size_t length, std::uint8_t seed = 0) {
    Message m(length);
    m.front() = 0xF0;
    for (std::size_t i = 1; i + 1 < length; ++i)
        m[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0x7F);
    m.back() = 0xF7;
    return m;
}

std::vector<std::size_t> pieceSizes(const std::vector<RecordedEvent>& events) {
    std::vector<std::size_t> sizes;
    for (const auto& e : events)
        if (e.kind == Kind::LongData) sizes.push_back(e.bytes.size());
    return sizes;
}

} // namespace

class TestVirtualBus : public QObject {
    Q_OBJECT

private slots:
    void scriptedCounts_data();
    void scriptedCounts();
    void openFailuresAndPortLog();
    void failingSends();
    void timeAdvancesOnlyBySleep();
    void delayedReply_data();
    void delayedReply();
    void dueDeliveryWithoutSleep();
    void wakeFromADeliveryUnderWay();
    void longMessageInPieces_data();
    void longMessageInPieces();
    void lostWithoutBufferOrStart();
    void resetAndCloseReturnBuffers();
    void shortMessagePacking();
    void devicesOnPortPairs();
    void emulatorOnTheBus();
};

// ---------------------------------------------------------------------------------------------
// Port counts

void TestVirtualBus::scriptedCounts_data() {
    QTest::addColumn<Counts>("script");
    QTest::addColumn<Counts>("steady");
    QTest::addColumn<bool>("outputFirst");
    QTest::addColumn<Counts>("expected"); // one pair per poll

    QTest::newRow("no script: steady counts")
        << Counts{} << Counts{{2, 3}} << false << Counts{{2, 3}, {2, 3}};
    QTest::newRow("zero ports, then one pair") << Counts{{0, 0}, {0, 0}, {1, 1}} << Counts{{1, 1}}
                                               << false << Counts{{0, 0}, {0, 0}, {1, 1}, {1, 1}};
    QTest::newRow("inputs but no outputs, then too many")
        << Counts{{3, 0}, {21, 1}} << Counts{{0, 0}} << false << Counts{{3, 0}, {21, 1}, {0, 0}};
    QTest::newRow("output asked first")
        << Counts{{1, 4}, {5, 2}} << Counts{{7, 7}} << true << Counts{{1, 4}, {5, 2}, {7, 7}};
}

void TestVirtualBus::scriptedCounts() {
    QFETCH(Counts, script);
    QFETCH(Counts, steady);
    QFETCH(bool, outputFirst);
    QFETCH(Counts, expected);

    VirtualBus bus;
    bus.setPortCounts(steady[0].first, steady[0].second);
    bus.scriptPortCounts(script);
    for (std::size_t poll = 0; poll < expected.size(); ++poll) {
        unsigned in, out;
        if (outputFirst) {
            out = bus.outputCount();
            in = bus.inputCount();
        } else {
            in = bus.inputCount();
            out = bus.outputCount();
        }
        QCOMPARE(in, expected[poll].first);
        QCOMPARE(out, expected[poll].second);
    }

    // Asking the same count twice starts the next poll.
    VirtualBus twice;
    twice.scriptPortCounts({{1, 1}, {2, 2}});
    QCOMPARE(twice.inputCount(), 1u);
    QCOMPARE(twice.inputCount(), 2u);
    QCOMPARE(twice.outputCount(), 2u);
    QCOMPARE(twice.outputCount(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Opening, failing and logging ports

void TestVirtualBus::openFailuresAndPortLog() {
    VirtualBus bus;
    bus.setPortCounts(3, 2);
    bus.setInputOpenFails(1, true);
    bus.setOutputOpenFails(0, true);
    InputRecorder rec;

    auto in0 = bus.openInput(0, rec.handler(), 0);
    auto in1 = bus.openInput(1, rec.handler(), 1);
    auto in0Again = bus.openInput(0, rec.handler(), 0);
    auto in3 = bus.openInput(3, rec.handler(), 3); // beyond the count
    auto out0 = bus.openOutput(0);
    auto out1 = bus.openOutput(1);
    QVERIFY(in0);
    QVERIFY(!in1);
    QVERIFY(!in0Again);
    QVERIFY(!in3);
    QVERIFY(!out0);
    QVERIFY(out1);
    QCOMPARE(bus.openInputs(), std::vector<unsigned>{0});
    QCOMPARE(bus.openOutputs(), std::vector<unsigned>{1});

    bus.sleep(10);
    in0.reset();
    out1.reset();
    QVERIFY(bus.openInputs().empty());
    QVERIFY(bus.openOutputs().empty());

    using K = PortRecord::Kind;
    const std::vector<PortRecord> expected = {
        {K::InputOpened, 0, 0},     {K::InputOpenFailed, 1, 0},  {K::InputOpenFailed, 0, 0},
        {K::InputOpenFailed, 3, 0}, {K::OutputOpenFailed, 0, 0}, {K::OutputOpened, 1, 0},
        {K::InputClosed, 0, 10},    {K::OutputClosed, 1, 10},
    };
    QCOMPARE(bus.portLog(), expected);

    // An index counts against the count last reported, not the steady one.
    bus.scriptPortCounts({{1, 0}});
    QCOMPARE(bus.inputCount(), 1u);
    QVERIFY(!bus.openInput(2, rec.handler(), 2));
    QVERIFY(!bus.openOutput(0));
}

void TestVirtualBus::failingSends() {
    VirtualBus bus;
    bus.setPortCounts(1, 2);
    int received = 0;
    bus.attach(0, 1, [&](const Message&) {
        ++received;
        return std::vector<Message>{};
    });
    bus.setSendFails(1, true);
    auto out = bus.openOutput(1);
    QVERIFY(out);
    const std::uint8_t probe[] = {0xF0, 0x00, 0x00, 0x66, 0x14, 0x1A, 0x00, 0xF7};
    QCOMPARE(out->send(probe, sizeof probe), -1);
    bus.sleep(100);
    QCOMPARE(received, 0);
    QVERIFY(bus.sent(1).empty());

    bus.setSendFails(1, false);
    QCOMPARE(out->send(probe, sizeof probe), 0);
    bus.quiesce();
    QCOMPARE(received, 1);
    QCOMPARE(bus.sent(1).size(), std::size_t(1));
    QCOMPARE(bus.sent(1)[0], Message(std::begin(probe), std::end(probe)));
    QCOMPARE(out->send(probe, 0), -1);
}

// ---------------------------------------------------------------------------------------------
// Virtual time

void TestVirtualBus::timeAdvancesOnlyBySleep() {
    VirtualBus bus;
    bus.setPortCounts(1, 1);
    bus.attach(0, 0, [](const Message& m) { return std::vector<Message>{m}; });
    InputRecorder rec;
    auto in = bus.openInput(0, rec.handler(), 0);
    rec.arm(in.get());
    auto out = bus.openOutput(0);
    const Message m = sysex(20);
    for (int i = 0; i < 5; ++i)
        out->send(m.data(), static_cast<std::uint32_t>(m.size()));
    bus.quiesce();
    QCOMPARE(rec.joined().size(), 5 * m.size()); // echoed at once, the clock unmoved
    QCOMPARE(bus.now(), std::uint64_t(0));
    bus.sleep(1000);
    bus.sleep(50);
    QCOMPARE(bus.now(), std::uint64_t(1050));
    bus.inputCount();
    bus.quiesce();
    QCOMPARE(bus.now(), std::uint64_t(1050));
}

void TestVirtualBus::delayedReply_data() {
    QTest::addColumn<unsigned>("delay");
    QTest::addColumn<std::vector<unsigned>>("sleeps");
    QTest::addColumn<int>("arrivesAfterSleep"); // index into sleeps; -1: before any sleep

    QTest::newRow("no delay: before any sleep") << 0u << std::vector<unsigned>{10} << -1;
    QTest::newRow("60 ms: not after 10 + 50, after 10 more")
        << 60u << std::vector<unsigned>{10, 49, 1} << 2;
    QTest::newRow("just the 50 ms wait") << 50u << std::vector<unsigned>{50} << 0;
    QTest::newRow("one long sleep") << 3000u << std::vector<unsigned>{1000, 1000, 1000} << 2;
}

void TestVirtualBus::delayedReply() {
    QFETCH(unsigned, delay);
    QFETCH(std::vector<unsigned>, sleeps);
    QFETCH(int, arrivesAfterSleep);

    VirtualBus bus;
    bus.setPortCounts(1, 1);
    bus.attach(
        0, 0, [](const Message&) { return std::vector<Message>{sysex(12)}; }, delay);
    InputRecorder rec;
    std::uint64_t arrival = ~std::uint64_t(0);
    rec.onEvent = [&] { arrival = bus.now(); };
    auto in = bus.openInput(0, rec.handler(), 0);
    rec.arm(in.get());
    auto out = bus.openOutput(0);
    const Message probe = sysex(8);
    out->send(probe.data(), static_cast<std::uint32_t>(probe.size()));

    bus.quiesce();
    QCOMPARE(rec.events().empty(), arrivesAfterSleep >= 0);
    for (int i = 0; i < static_cast<int>(sleeps.size()); ++i) {
        bus.sleep(sleeps[i]);
        // sleep() returns only after every delivery due by then has been made
        QCOMPARE(rec.events().empty(), i < arrivesAfterSleep);
    }
    QCOMPARE(rec.joined(), sysex(12));
    QCOMPARE(arrival, std::uint64_t(delay));
}

void TestVirtualBus::wakeFromADeliveryUnderWay() {
    // A reply due now is being handed over when the wait begins (its handler is still
    // running): the wake-up it brings ends the wait with the clock where it was.
    VirtualBus bus;
    bus.setPortCounts(1, 1);
    bus.attach(0, 0, [](const Message&) { return std::vector<Message>{sysex(12)}; });
    StopToken token;
    std::atomic<bool> handling{false};
    auto in = bus.openInput(
        0,
        [&](std::uintptr_t, const InputEvent& event) {
            if (event.kind != Kind::LongData) return;
            handling = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            token.wake();
        },
        0);
    std::vector<std::uint8_t> buffer(256);
    in->addBuffer(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    in->start();
    auto out = bus.openOutput(0);
    const Message probe = sysex(8);
    out->send(probe.data(), static_cast<std::uint32_t>(probe.size()));
    KORVALEN_TRY_VERIFY(handling.load());
    QVERIFY(bus.sleep(1000, token));
    QCOMPARE(bus.now(), std::uint64_t{0});
}

void TestVirtualBus::dueDeliveryWithoutSleep() {
    // Nobody sleeps or quiesces: the delivery thread still hands over what is due, on its
    // own thread.
    VirtualBus bus;
    bus.setPortCounts(1, 1);
    InputRecorder rec;
    auto in = bus.openInput(0, rec.handler(), 7);
    rec.arm(in.get());
    bus.inject(0, sysex(30));
    rec.waitForBytes(30);
    const auto events = rec.events();
    QCOMPARE(events[0].instance, std::uintptr_t(7));
    QVERIFY(events[0].thread != std::this_thread::get_id());

    // A reply to a send is not delivered inside send() either.
    bus.attach(0, 0, [](const Message&) { return std::vector<Message>{sysex(9)}; });
    auto out = bus.openOutput(0);
    std::thread::id sender = std::this_thread::get_id();
    out->send(sysex(8).data(), 8);
    rec.waitForBytes(39);
    QVERIFY(rec.events().back().thread != sender);
}

// ---------------------------------------------------------------------------------------------
// Receive buffers

void TestVirtualBus::longMessageInPieces_data() {
    QTest::addColumn<int>("length");
    QTest::addColumn<std::vector<unsigned>>("pieces");

    QTest::newRow("10") << 10 << std::vector<unsigned>{10};
    QTest::newRow("255") << 255 << std::vector<unsigned>{255};
    QTest::newRow("256 exactly") << 256 << std::vector<unsigned>{256};
    QTest::newRow("257") << 257 << std::vector<unsigned>{256, 1};
    QTest::newRow("300") << 300 << std::vector<unsigned>{256, 44};
    QTest::newRow("600") << 600 << std::vector<unsigned>{256, 256, 88};
}

void TestVirtualBus::longMessageInPieces() {
    QFETCH(int, length);
    QFETCH(std::vector<unsigned>, pieces);

    VirtualBus bus;
    bus.setPortCounts(1, 0);
    InputRecorder rec;
    auto in = bus.openInput(0, rec.handler(), 0);
    rec.arm(in.get()); // one buffer, re-added by the handler
    const Message m = sysex(static_cast<std::size_t>(length), 3);
    bus.inject(0, m);
    bus.quiesce();
    const auto sizes = pieceSizes(rec.events());
    QCOMPARE(sizes.size(), pieces.size());
    for (std::size_t i = 0; i < sizes.size(); ++i)
        QCOMPARE(sizes[i], std::size_t(pieces[i]));
    for (const auto& e : rec.events())
        QCOMPARE(e.buffer, rec.buffer);
    QCOMPARE(rec.joined(), m);
    QCOMPARE(bus.droppedMessages(), std::size_t(0));
}

void TestVirtualBus::lostWithoutBufferOrStart() {
    VirtualBus bus;
    bus.setPortCounts(2, 0);
    InputRecorder rec;
    auto notStarted = bus.openInput(0, rec.handler(), 0);
    notStarted->addBuffer(rec.buffer, InputRecorder::kBufferSize);
    bus.inject(0, sysex(20));
    bus.inject(0, {0x90, 0x40, 0x7F});
    bus.inject(1, sysex(20)); // port 1 is not open
    bus.quiesce();
    QVERIFY(rec.events().empty());
    QCOMPARE(bus.droppedMessages(), std::size_t(3));

    // Started, but the handler does not re-add the buffer: the second piece is lost.
    InputRecorder once;
    once.reArm = false;
    auto in = bus.openInput(1, once.handler(), 1);
    once.arm(in.get());
    bus.inject(1, sysex(300));
    bus.quiesce();
    QCOMPARE(pieceSizes(once.events()), std::vector<std::size_t>{256});
    QCOMPARE(bus.droppedMessages(), std::size_t(4));
}

void TestVirtualBus::resetAndCloseReturnBuffers() {
    VirtualBus bus;
    bus.setPortCounts(1, 0);
    InputRecorder rec;
    auto in = bus.openInput(0, rec.handler(), 5);
    std::uint8_t second[64];
    rec.arm(in.get());
    in->addBuffer(second, sizeof second);

    QCOMPARE(in->reset(), 0);
    auto events = rec.events();
    QCOMPARE(events.size(), std::size_t(2));
    QCOMPARE(events[0].buffer, rec.buffer);
    QCOMPARE(events[1].buffer, second);
    for (const auto& e : events) {
        QCOMPARE(e.kind, Kind::LongData);
        QVERIFY(e.bytes.empty());
        QCOMPARE(e.instance, std::uintptr_t(5));
    }

    // Nothing is armed any more, and reset stopped the port.
    bus.inject(0, sysex(10));
    bus.quiesce();
    QCOMPARE(rec.events().size(), std::size_t(2));

    // Closing hands back what is armed, then reports the close.
    in->addBuffer(second, sizeof second);
    in.reset();
    events = rec.events();
    QCOMPARE(events.size(), std::size_t(4));
    QCOMPARE(events[2].kind, Kind::LongData);
    QCOMPARE(events[2].buffer, second);
    QVERIFY(events[2].bytes.empty());
    QCOMPARE(events[3].kind, Kind::Close);
}

void TestVirtualBus::shortMessagePacking() {
    VirtualBus bus;
    bus.setPortCounts(1, 0);
    InputRecorder rec;
    auto in = bus.openInput(0, rec.handler(), 0);
    rec.arm(in.get());
    bus.inject(0, {0x90, 0x51, 0x54});
    bus.inject(0, {0x90, 0x61, 0x00});
    bus.inject(0, {0xC3, 0x05});
    bus.quiesce();
    const auto events = rec.events();
    QCOMPARE(events.size(), std::size_t(3));
    QCOMPARE(events[0].kind, Kind::Short);
    QCOMPARE(events[0].shortMessage, 0x545190u);
    QCOMPARE(events[1].shortMessage, 0x006190u);
    QCOMPARE(events[2].shortMessage, 0x0005C3u);
}

// ---------------------------------------------------------------------------------------------
// Devices

void TestVirtualBus::devicesOnPortPairs() {
    // The device listens on output 3 and answers on input 2, like a controller found at
    // "input 2, output 3".
    VirtualBus bus;
    bus.setPortCounts(4, 4);
    std::vector<Message> heard;
    bus.attach(2, 3, [&](const Message& m) {
        heard.push_back(m);
        return std::vector<Message>{{0xF0, 0x01, 0xF7}, {0xF0, 0x02, 0xF7}};
    });
    InputRecorder recs[4];
    std::unique_ptr<InputPort> ins[4];
    std::unique_ptr<OutputPort> outs[4];
    for (unsigned i = 0; i < 4; ++i) {
        ins[i] = bus.openInput(i, recs[i].handler(), i);
        recs[i].arm(ins[i].get());
        outs[i] = bus.openOutput(i);
    }
    const Message probe = sysex(8);
    for (unsigned j = 0; j < 4; ++j)
        outs[j]->send(probe.data(), static_cast<std::uint32_t>(probe.size()));
    bus.quiesce();
    QCOMPARE(heard.size(), std::size_t(1));
    for (unsigned i = 0; i < 4; ++i)
        QCOMPARE(recs[i].joined().empty(), i != 2);
    QCOMPARE(recs[2].joined(), (Message{0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7}));
    QCOMPARE(recs[2].events().size(), std::size_t(2)); // one buffer per reply message
}

void TestVirtualBus::emulatorOnTheBus() {
    VirtualBus bus;
    bus.setPortCounts(1, 1);
    auto device = std::make_shared<EmulatorDevice>();
    device->setReplyDelayMs(80);
    bus.attach(0, 0, device);
    InputRecorder rec;
    auto in = bus.openInput(0, rec.handler(), 0);
    rec.arm(in.get());
    auto out = bus.openOutput(0);
    const std::uint8_t probe[] = {0xF0, 0x00, 0x00, 0x66, 0x14, 0x1A, 0x00, 0xF7};
    out->send(probe, sizeof probe);
    bus.sleep(50);
    QVERIFY(rec.events().empty());
    bus.sleep(30);
    const Message reply = rec.joined();
    QVERIFY(reply.size() >= 10);
    QCOMPARE(Message(reply.begin(), reply.begin() + 6),
             (Message{0xF0, 0x00, 0x00, 0x66, 0x14, 0x1B}));
    QCOMPARE(reply[8], std::uint8_t(0x5A));
    QCOMPARE(reply[9], std::uint8_t(0x74));
}

QTEST_GUILESS_MAIN(TestVirtualBus)
#include "tst_virtualbus.moc"
