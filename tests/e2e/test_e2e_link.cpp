// The device link over JACK (or the backend KORVALEN_E2E_API names, see e2ecommon.h): it finds
// korvalen25-sim, keeps exactly one input and one output open, and a SysEx longer than a
// receive buffer arrives in pieces, intact.
#include "e2ecommon.h"
#include "midi.h"
#include "rtmidibackend.h"
#include "waits.h"

#include <mutex>
#include <vector>

class TestE2eLink : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const std::string error = e2e::useBackend();
        QVERIFY2(error.empty(), error.c_str());
    }

    void cleanupTestCase() { e2e::releaseBackend(); }

    void findsTheControllerAndKeepsOnePortEachWay() {
        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        int open = 0;
        for (const auto& slot : midiLink.inPorts)
            open += slot.handle ? 1 : 0;
        QCOMPARE(open, 1);
        QVERIFY(midiLink.inPorts[midiLink.replyInPort - 1].handle);
        QVERIFY(midiLink.outPort);
    }

    void longSysExArrivesInPieces() {
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        std::mutex mutex;
        std::vector<uint> lengths;
        {
            // The connection ends with this scope, before what the handler writes to.
            QObject receiver;
            connect(
                &midiLink, &midiMethodClass::getMidiSysData, &receiver,
                [&](unsigned char*, uint len) {
                    std::lock_guard<std::mutex> lock(mutex);
                    lengths.push_back(len);
                },
                Qt::DirectConnection);
            midiLink.sysExRing.discardAll();
            // The emulator's test hook answers with a SysEx of 2 * 128 + 44 = 300 bytes.
            const std::uint8_t ask[] = {0xF0, 0x7D, 0x01, 0x02, 0x2C, 0xF7};
            QCOMPARE(midiLink.sendSysEx(ask, sizeof ask), 0);
            testwait::until([&] {
                std::lock_guard<std::mutex> lock(mutex);
                return lengths.size() >= 2;
            });
        }
        QCOMPARE(lengths, (std::vector<uint>{256, 44}));
        auto& ring = midiLink.sysExRing;
        QCOMPARE(ring.unread(), std::size_t{300});
        QCOMPARE(ring.peek(0), std::uint8_t{0xF0});
        QCOMPARE(ring.peek(1), std::uint8_t{0x7D});
        for (std::size_t i = 2; i < 299; ++i)
            QCOMPARE(ring.peek(i), static_cast<std::uint8_t>((i - 2) & 0x7F));
        QCOMPARE(ring.peek(299), std::uint8_t{0xF7});
    }

    void ownPortsAreNeverSearched() {
        // Ports of the editor's own client name (on ALSA each open port is a client of its own,
        // "Korvalen25 Editor"), here one each way beside the link's: not listed, not searched.
        auto& platform = korvalen::midi::platform();
        QVERIFY(platform.inputCount() > 0 && platform.outputCount() > 0);
        auto ownIn = platform.openInput(
            0, [](std::uintptr_t, const korvalen::midi::InputEvent&) {}, 0);
        auto ownOut = platform.openOutput(0);
        QVERIFY(ownIn);
        QVERIFY(ownOut);
        const std::string own = korvalen::midi::kEditorClientName;
        auto isOwn = [&](const std::string& name) { return name.rfind(own, 0) == 0; };
        for (const auto& name : platform.inputNames())
            QVERIFY2(!isOwn(name), name.c_str());
        for (const auto& name : platform.outputNames())
            QVERIFY2(!isOwn(name), name.c_str());

        midiLink.reConnect();
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        const auto& search = midiLink.lastSearch();
        QVERIFY(!search.inputs.empty());
        QVERIFY(!search.outputs.empty());
        for (const auto* ports : {&search.inputs, &search.outputs})
            for (const auto& port : *ports)
                QVERIFY2(!isOwn(port.name), port.name.c_str());
    }
};

QTEST_GUILESS_MAIN(TestE2eLink)
#include "test_e2e_link.moc"
