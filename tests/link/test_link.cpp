// The device search and the receive path of the link, on the virtual bus in virtual time.
#include "identitycontroller.h"
#include "midi.h"
#include "presetprotocol.h"
#include "virtualbus.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <memory>
#include <mutex>

using korvalen::midi::Message;
using korvalen::midi::PortRecord;
using korvalen::midi::VirtualBus;

namespace {

Message sysEx(std::size_t length, std::uint8_t seed) {
    Message m(length);
    m.front() = 0xF0;
    for (std::size_t i = 1; i + 1 < length; ++i)
        m[i] = static_cast<std::uint8_t>((seed + i * 7) & 0x7F);
    m.back() = 0xF7;
    return m;
}

int countPortRecords(const VirtualBus& bus, PortRecord::Kind kind) {
    const auto log = bus.portLog();
    return static_cast<int>(std::count_if(log.begin(), log.end(),
                                          [kind](const PortRecord& r) { return r.kind == kind; }));
}

// Collects getMidiSysData deliveries, which come from the bus's delivery thread.
struct ChunkLog {
    std::mutex mutex;
    std::vector<uint> lengths;
    void add(uint len) {
        std::lock_guard<std::mutex> lock(mutex);
        lengths.push_back(len);
    }
    std::vector<uint> take() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(lengths, {});
    }
};

Message ringContents(korvalen::ByteRing& ring) {
    Message bytes;
    for (std::size_t i = 0; i < ring.unread(); ++i)
        bytes.push_back(ring.peek(i));
    return bytes;
}

} // namespace

class TestLink : public QObject {
    Q_OBJECT

    std::shared_ptr<VirtualBus> bus;
    ChunkLog chunks;
    QMetaObject::Connection chunkConnection;

private slots:
    void init() {
        bus = std::make_shared<VirtualBus>();
        korvalen::midi::setPlatform(bus);
        midiLink.resetPortTable();
        midiLink.closeOutput();
        midiLink.sysExRing.discardAll();
        chunks.take();
        chunkConnection = QObject::connect(
            &midiLink, &midiMethodClass::getMidiSysData, &midiLink,
            [this](unsigned char*, uint len) { chunks.add(len); }, Qt::DirectConnection);
    }

    void cleanup() {
        QObject::disconnect(chunkConnection);
        midiLink.resetPortTable();
        midiLink.closeOutput();
        bus->quiesce();
        korvalen::midi::setPlatform(nullptr);
        bus.reset();
    }

    // --- the search

    void noInputPortFailsAfterTenPollsWithoutSecondAttempt() {
        bus->setPortCounts(0, 3);
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Nowhere);
        // Ten polls, each followed by the 1000 ms pause, and no second attempt.
        QCOMPARE(bus->now(), std::uint64_t{10 * 1000});
        QCOMPARE(countPortRecords(*bus, PortRecord::Kind::OutputOpened), 0);
        QCOMPARE(countPortRecords(*bus, PortRecord::Kind::InputOpened), 0);
    }

    void inputsWithoutOutputMakeTenAttempts() {
        bus->setPortCounts(2, 0);
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Nowhere);
        // Ten attempts of ten polls each, 1000 ms apart, and nine pauses between attempts.
        QCOMPARE(bus->now(), std::uint64_t{10 * 10 * 1000 + 9 * 1000});
        // Each attempt opened both inputs; nothing stays open.
        QCOMPARE(countPortRecords(*bus, PortRecord::Kind::InputOpened), 20);
        QVERIFY(bus->openInputs().empty());
        QVERIFY(bus->openOutputs().empty());
    }

    void tooManyPortsGiveUpAtOnce_data() {
        QTest::addColumn<unsigned>("inputs");
        QTest::addColumn<unsigned>("outputs");
        QTest::newRow("21 inputs") << 21u << 1u;
        QTest::newRow("21 outputs") << 1u << 21u;
    }
    void tooManyPortsGiveUpAtOnce() {
        QFETCH(unsigned, inputs);
        QFETCH(unsigned, outputs);
        bus->setPortCounts(inputs, outputs);
        QCOMPARE(midiLink.findDevice(), -1);
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Nowhere);
        QCOMPARE(bus->now(), std::uint64_t{0});
        QVERIFY(bus->portLog().empty());
    }

    void twentyPortsAreSearched() {
        bus->setPortCounts(20, 20);
        bus->attach(19, 19, testsupport::answerIdentityProbe);
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        QCOMPARE(midiLink.replyInPort.load(), 20);
        QCOMPARE(midiLink.replyOutPort.load(), 20);
    }

    void replyOnAnotherPortPairKeepsOnlyThosePorts() {
        bus->setPortCounts(4, 5);
        bus->attach(2, 3, testsupport::answerIdentityProbe);
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        QCOMPARE(midiLink.replyInPort.load(), 3);
        QCOMPARE(midiLink.replyOutPort.load(), 4);
        QCOMPARE(bus->openInputs(), std::vector<unsigned>{2});
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{3});
        // The probe went out on every output at once; then on outputs 0 to 2 alone, which
        // stay silent, and on output 3 alone and once more to confirm the pair. Input 2 has
        // its output then: output 4 is not asked alone.
        for (unsigned j : {0u, 1u, 2u})
            QCOMPARE(bus->sent(j).size(), std::size_t{2});
        QCOMPARE(bus->sent(3).size(), std::size_t{3});
        QCOMPARE(bus->sent(4).size(), std::size_t{1});
        QCOMPARE(bus->sent(3).front(),
                 Message(korvalen::kIdentityProbe.begin(), korvalen::kIdentityProbe.end()));
    }

    // The controller answers 65 ms after each probe, after the 50 ms window, behind a second
    // port pair that never answers: its late reply lands in the other pair's window. The
    // link still keeps the controller's own pair, and the download would reach it.
    void lateReplyBehindAnotherPairKeepsTheControllersPair() {
        bus->setPortCounts(2, 2);
        bus->attach(0, 0, testsupport::answerIdentityProbe, 65);
        bus->attach(1, 1, [](const Message&) { return std::vector<Message>{}; });
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        QCOMPARE(midiLink.replyInPort.load(), 1);
        QCOMPARE(midiLink.replyOutPort.load(), 1);
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{0});
        QCOMPARE(midiLink.controllerOutputName(), std::string("Virtual MIDI Out 1"));
        QVERIFY(midiLink.lastSearch().lateReplySeen);
    }

    void outputThatFailsIsSkipped() {
        bus->setPortCounts(1, 3);
        bus->setOutputOpenFails(0, true);
        bus->setSendFails(1, true);
        bus->attach(0, 1, testsupport::answerIdentityProbe);
        bus->attach(0, 2, testsupport::answerIdentityProbe);
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        QCOMPARE(midiLink.replyOutPort.load(), 3);
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{2});
    }

    void sendWithoutOutputFails() {
        const auto& probe = korvalen::kIdentityProbe;
        QCOMPARE(midiLink.sendSysEx(probe.data(), probe.size()), -1);
    }

    // --- receiving

    void fullChunkEntersTheRing() {
        connectTo(1, 1);
        const Message m = sysEx(256, 3);
        bus->inject(0, m);
        bus->quiesce();
        QCOMPARE(ringContents(midiLink.sysExRing), m);
        QCOMPARE(chunks.take(), std::vector<uint>{256});
    }

    void longMessageArrivesInPieces() {
        connectTo(1, 1);
        const Message m = sysEx(300, 9);
        bus->inject(0, m);
        bus->quiesce();
        QCOMPARE(chunks.take(), (std::vector<uint>{256, 44}));
        QCOMPARE(ringContents(midiLink.sysExRing), m);
    }

    // The ring has one writer, the controller's input once connected: what comes while the
    // link is not connected, or on another input during a search (each input on a thread of
    // its own on a real backend), does not enter it.
    void chunkWhileNotConnectedStaysOutOfTheRing() {
        connectTo(1, 1);
        midiLink.delivery = midiMethodClass::Delivery::Nowhere;
        const Message first = sysEx(20, 1);
        bus->inject(0, first);
        bus->quiesce();
        QVERIFY(chunks.take().empty());
        QVERIFY(midiLink.sysExRing.empty());
        // The buffer was queued again: the next message is received too.
        midiLink.delivery = midiMethodClass::Delivery::Window;
        bus->inject(0, sysEx(10, 2));
        bus->quiesce();
        QCOMPARE(chunks.take(), std::vector<uint>{10});
        QCOMPARE(bus->droppedMessages(), std::size_t{0});
    }

    void inputsOtherThanTheControllersDoNotWriteTheRing() {
        bus->setPortCounts(2, 2);
        bus->attach(1, 1, testsupport::answerIdentityProbe);
        // Something on input 0 sends SysEx while the search listens to every input; the
        // controller answers on pair 1.
        const Message noise = sysEx(40, 5);
        for (unsigned ms = 0; ms < 200; ms += 5)
            bus->inject(0, noise, ms);
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        QCOMPARE(midiLink.replyInPort.load(), 2);
        bus->quiesce();
        QVERIFY2(midiLink.sysExRing.empty(),
                 qPrintable(QString::number(midiLink.sysExRing.unread())));
        const Message m = sysEx(30, 6);
        bus->inject(1, m);
        bus->quiesce();
        QCOMPARE(ringContents(midiLink.sysExRing), m);
    }

    void emptyBufferIsReportedAndNotQueuedAgain() {
        connectTo(1, 1);
        midiLink.inPorts[0].handle->reset();
        bus->quiesce();
        QCOMPARE(chunks.take(), std::vector<uint>{0});
        QVERIFY(midiLink.sysExRing.empty());
        bus->inject(0, sysEx(10, 2));
        bus->quiesce();
        QVERIFY(chunks.take().empty());
        QCOMPARE(bus->droppedMessages(), std::size_t{1});
    }

    // While a transfer reads the ring on its own thread the window is not told; once the
    // transfer hands the ring back it is again. With no controller chosen neither hand-over
    // routes anything.
    void aTransferTakesTheRingFromTheWindow() {
        using Delivery = midiMethodClass::Delivery;
        connectTo(1, 1);
        midiLink.deliverToRingOnly();
        const Message m = sysEx(20, 3);
        bus->inject(0, m);
        bus->quiesce();
        QVERIFY(chunks.take().empty());
        QCOMPARE(ringContents(midiLink.sysExRing), m);
        midiLink.sysExRing.discardAll();
        midiLink.deliverToWindowAgain();
        bus->inject(0, sysEx(10, 4));
        bus->quiesce();
        QCOMPARE(chunks.take(), std::vector<uint>{10});
        midiLink.delivery = Delivery::Nowhere;
        midiLink.deliverToWindowAgain();
        QCOMPARE(midiLink.delivery.load(), Delivery::Nowhere);
        midiLink.deliverToRingOnly();
        QCOMPARE(midiLink.delivery.load(), Delivery::Nowhere);
    }

    void shortMessagesReachTheWindowOnlyWhileConnected() {
        connectTo(1, 1);
        QSignalSpy spy(&midiLink, &midiMethodClass::getMidiData);
        bus->inject(0, {0x90, 0x3C, 0x40});
        bus->quiesce();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toUInt(), 0x403C90u);
        midiLink.delivery = midiMethodClass::Delivery::Nowhere;
        bus->inject(0, {0x80, 0x3C, 0x00});
        bus->quiesce();
        QCOMPARE(spy.count(), 1);
    }

private:
    void connectTo(unsigned inputs, unsigned outputs) {
        bus->setPortCounts(inputs, outputs);
        bus->attach(0, 0, testsupport::answerIdentityProbe);
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        bus->quiesce();
        midiLink.sysExRing.discardAll();
        chunks.take();
    }
};

QTEST_GUILESS_MAIN(TestLink)
#include "test_link.moc"
