// The RtMidi JACK backend against korvalen25-sim on a private JACK server (started by the
// CTest fixture; JACK_DEFAULT_SERVER names it): the emulator's ports are found, the editor's
// own ports are never listed, and System Exclusive longer than a receive buffer arrives in
// 256-byte pieces, intact.
#include "controlleremulator.h"
#include "cyclewatcher.h"
#include "inputrecorder.h"
#include "platformfactory.h"
#include "rtmidibackend.h"

#include <QtTest>

using namespace korvalen::midi;
using Message = std::vector<std::uint8_t>;

namespace {

// The emulator's client is "Korvalen25" (JACK names its second client "Korvalen25-01").
int findEmulatorPort(Platform& p, bool input) {
    const unsigned n = input ? p.inputCount() : p.outputCount();
    for (unsigned i = 0; i < n; ++i)
        if (isOwnPortName(input ? p.inputName(i) : p.outputName(i), "Korvalen25"))
            return static_cast<int>(i);
    return -1;
}

} // namespace

class TestJackPlatform : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void emulatorFoundOwnPortsNotListed();
    void identityProbe();
    void longSysExInPieces();
    void wholeDumpInOrder();
    void resetAndClose();
    void serverCycleDuringTransfers();

private:
    std::shared_ptr<Platform> platform_;
    std::unique_ptr<InputPort> in_;
    std::unique_ptr<OutputPort> out_;
    InputRecorder rec_;
};

void TestJackPlatform::initTestCase() {
    QVERIFY2(qEnvironmentVariableIsSet("JACK_DEFAULT_SERVER"),
             "run through CTest: its fixture starts the JACK server and the emulator");
    std::string error;
    platform_ = createPlatform("jack", &error);
    QVERIFY2(platform_, error.c_str());
    QCOMPARE(platform_->apiName(), std::string("jack"));
}

void TestJackPlatform::emulatorFoundOwnPortsNotListed() {
    const unsigned inputs = platform_->inputCount();
    const unsigned outputs = platform_->outputCount();
    const int inIndex = findEmulatorPort(*platform_, true);
    const int outIndex = findEmulatorPort(*platform_, false);
    QVERIFY(inIndex >= 0);
    QVERIFY(outIndex >= 0);

    in_ = platform_->openInput(static_cast<unsigned>(inIndex), rec_.handler(), 3);
    QVERIFY(in_);
    rec_.arm(in_.get());
    out_ = platform_->openOutput(static_cast<unsigned>(outIndex));
    QVERIFY(out_);

    // Our ports now exist on the server; the editor does not count them, ten times in a row.
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(platform_->inputCount(), inputs);
        QCOMPARE(platform_->outputCount(), outputs);
    }
    for (unsigned i = 0; i < inputs; ++i)
        QVERIFY(!isOwnPortName(platform_->inputName(i), kEditorClientName));
    for (unsigned i = 0; i < outputs; ++i)
        QVERIFY(!isOwnPortName(platform_->outputName(i), kEditorClientName));

    // Another client does see them: one more port each way.
    std::string error;
    auto other = createRtMidiPlatform("jack", "Korvalen25 Test Observer", &error);
    QVERIFY2(other, error.c_str());
    QCOMPARE(other->inputCount(), inputs + 1);
    QCOMPARE(other->outputCount(), outputs + 1);
}

void TestJackPlatform::identityProbe() {
    QVERIFY(out_);
    const std::size_t before = rec_.joined().size();
    const Message probe = {0xF0, 0x00, 0x00, 0x66, 0x14, 0x1A, 0x00, 0xF7};
    QCOMPARE(out_->send(probe.data(), static_cast<std::uint32_t>(probe.size())), 0);
    rec_.waitForBytes(before + 11);
    const Message all = rec_.joined();
    QCOMPARE(Message(all.begin() + long(before), all.end()),
             (Message{0xF0, 0x00, 0x00, 0x66, 0x14, 0x1B, 0x00, 0x66, 0x5A, 0x74, 0xF7}));
    QCOMPARE(rec_.events().back().instance, std::uintptr_t(3));
}

void TestJackPlatform::longSysExInPieces() {
    QVERIFY(out_);
    const std::size_t eventsBefore = rec_.events().size();
    const std::size_t before = rec_.joined().size();
    // The emulator's test hook answers with a 300-byte message: F0 7D, 00 01 02 ..., F7.
    const Message ask = {0xF0, 0x7D, 0x01, 0x02, 0x2C, 0xF7};
    QCOMPARE(out_->send(ask.data(), static_cast<std::uint32_t>(ask.size())), 0);
    rec_.waitForBytes(before + 300);

    const auto events = rec_.events();
    QCOMPARE(events.size(), eventsBefore + 2);
    QCOMPARE(events[eventsBefore].bytes.size(), std::size_t(256));
    QCOMPARE(events[eventsBefore + 1].bytes.size(), std::size_t(44));
    QCOMPARE(events[eventsBefore].buffer, rec_.buffer);
    QCOMPARE(events[eventsBefore + 1].buffer, rec_.buffer);
    Message expected(300);
    expected[0] = 0xF0;
    expected[1] = 0x7D;
    for (std::size_t i = 2; i < 299; ++i)
        expected[i] = static_cast<std::uint8_t>((i - 2) & 0x7F);
    expected[299] = 0xF7;
    const Message all = rec_.joined();
    QCOMPARE(Message(all.begin() + long(before), all.end()), expected);
}

void TestJackPlatform::wholeDumpInOrder() {
    // An upload of the factory preset: 65 records, one after another, none lost.
    QVERIFY(out_);
    Message expected;
    for (const auto& r : korvalen::sim::ControllerEmulator().dumpOf(0))
        expected.insert(expected.end(), r.begin(), r.end());
    const std::size_t before = rec_.joined().size();
    const Message upload = {0xF0, 0x00, 0x20, 0x6B, 0x02, 0x05, 0x00, 0x00, 0xF7};
    QCOMPARE(out_->send(upload.data(), static_cast<std::uint32_t>(upload.size())), 0);
    rec_.waitForBytes(before + expected.size());
    const Message all = rec_.joined();
    QCOMPARE(Message(all.begin() + long(before), all.end()), expected);
}

void TestJackPlatform::resetAndClose() {
    QVERIFY(in_);
    const std::size_t before = rec_.events().size();
    QCOMPARE(in_->reset(), 0);
    auto events = rec_.events();
    QCOMPARE(events.size(), before + 1);
    QCOMPARE(events.back().kind, InputEvent::Kind::LongData);
    QCOMPARE(events.back().buffer, rec_.buffer);
    QVERIFY(events.back().bytes.empty());

    in_->addBuffer(rec_.buffer, InputRecorder::kBufferSize);
    in_.reset();
    out_.reset();
    events = rec_.events();
    QCOMPARE(events.size(), before + 3);
    QVERIFY(events[before + 1].bytes.empty());
    QCOMPARE(events[before + 2].kind, InputEvent::Kind::Close);
}

// The server is told apart (KORVALEN_EXPECT_SERVER says which the fixture runs). On PipeWire a
// transfer asks for the short cycle and gives the graph's own back when it ends; on jackd the
// server's buffer size is never touched.
void TestJackPlatform::serverCycleDuringTransfers() {
    const QByteArray expected = qgetenv("KORVALEN_EXPECT_SERVER");
    QVERIFY2(expected == "jackd" || expected == "pipewire",
             "run through CTest: it names the fixture's server in KORVALEN_EXPECT_SERVER");
    const MidiServer server = platform_->midiServer();
    CycleWatcher watcher;
    QVERIFY(watcher.ok());
    watcher.waitFor(watcher.bufferSize());
    const unsigned before = watcher.frames();
    QVERIFY(before > 0);

    if (expected == "jackd") {
        QCOMPARE(int(server.kind), int(MidiServer::Kind::Jackd));
        QCOMPARE(server.transferQuantum, 0u);
        watcher.resetFewest();
        {
            const TransferScope outer(*platform_);
            const TransferScope inner(*platform_);
            QCOMPARE(watcher.bufferSize(), before);
        }
        QCOMPARE(watcher.bufferSize(), before);
        QCOMPARE(watcher.fewest(), before);
        return;
    }

    QCOMPARE(int(server.kind), int(MidiServer::Kind::PipeWire));
    QVERIFY(!server.version.empty());
    QCOMPARE(server.transferQuantum, pipeWireTransferQuantum());
    QVERIFY(!server.notRealtime);
    if (!watcher.realtime()) {
        // Where JACK threads cannot run in real time, a transfer keeps the graph's cycle and
        // the server says why.
        watcher.resetFewest();
        { const TransferScope transfer(*platform_); }
        QCOMPARE(watcher.fewest(), before);
        QCOMPARE(watcher.bufferSize(), before);
        const MidiServer after = platform_->midiServer();
        QVERIFY(after.notRealtime);
        QCOMPARE(after.transferQuantum, 0u);
        return;
    }
    QVERIFY2(server.transferQuantum < before,
             "the fixture's graph runs at the short cycle already");
    {
        const TransferScope outer(*platform_);
        watcher.waitFor(server.transferQuantum);
        {
            // A transfer inside another changes nothing, nor does its end.
            const TransferScope inner(*platform_);
        }
    }
    watcher.waitFor(before);
    // Asked again, and given back again: the second transfer is as the first.
    {
        const TransferScope again(*platform_);
        watcher.waitFor(server.transferQuantum);
    }
    watcher.waitFor(before);
}

QTEST_GUILESS_MAIN(TestJackPlatform)
#include "tst_jackplatform.moc"
