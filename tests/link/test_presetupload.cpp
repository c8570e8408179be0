// The upload of a stored preset: the request, the dump read piece by piece from the ring as it
// arrives, one set of kept values per upload, and what an upload that does not end puts back.
// The dumps are the controller emulator's answers to the request.
#include "emulatordevice.h"
#include "presetupload.h"
#include "waits.h"

#include <QTest>

#include <memory>

using korvalen::PresetUpload;
using korvalen::midi::Message;
using Read = PresetUpload::Read;
using DumpFault = korvalen::sim::ControllerEmulator::DumpFault;

namespace {

// The caller's values: counts what the upload does to them.
struct Values final : PresetUpload::Target, korvalen::DumpSink {
    int keeps = 0;
    int putBacks = 0;
    int assignments = 0;
    int ends = 0;
    void keep() override { ++keeps; }
    void putBack() override { ++putBacks; }
    korvalen::DumpSink& sink() override { return *this; }
    void assignment(korvalen::ControlRef, korvalen::AssignmentField, std::uint8_t) override {
        ++assignments;
    }
    void uploadError() override {}
    void endOfDump() override { ++ends; }
};

} // namespace

class TestPresetUpload : public QObject {
    Q_OBJECT

    korvalen::ByteRing ring;
    std::vector<Message> requests;
    bool refuse = false;
    std::unique_ptr<korvalen::midi::EmulatorDevice> device;

    std::unique_ptr<PresetUpload> uploadInto(Values& values) {
        return std::make_unique<PresetUpload>(
            [this](const std::uint8_t* data, std::uint32_t length) {
                if (refuse) return -1;
                requests.emplace_back(data, data + length);
                return 0;
            },
            ring, values);
    }

    // The controller's answer to the last request, piece by piece into the ring, each read
    // as it comes; the last read's result.
    Read answer(PresetUpload& upload) {
        Read last = Read::Open;
        for (const Message& piece : device->receive(requests.back())) {
            ring.write(piece.data(), piece.size());
            last = upload.read();
            if (last != Read::Open) break;
        }
        return last;
    }

    // The first piece of the answer to the last request, after a piece that was lost.
    Read damagedAnswer(PresetUpload& upload) {
        const Message tooLong(korvalen::ByteRing::kSize + 1, 0x10);
        ring.write(tooLong.data(), tooLong.size()); // dropped whole, and counted
        const auto pieces = device->receive(requests.back());
        ring.write(pieces.front().data(), pieces.front().size());
        return upload.read();
    }

private slots:
    void init() {
        ring.discardAll();
        requests.clear();
        refuse = false;
        device = std::make_unique<korvalen::midi::EmulatorDevice>();
    }

    // The whole dump ends the upload; its values stay.
    void wholeDumpEnds() {
        Values values;
        auto upload = uploadInto(values);
        QVERIFY(upload->request(16));
        QVERIFY(upload->isOpen());
        QCOMPARE(requests.size(), std::size_t{1});
        QCOMPARE(answer(*upload), Read::Ended);
        QVERIFY(values.assignments > 0);
        QCOMPARE(values.ends, 1);
        upload->finish();
        QVERIFY(!upload->isOpen());
        QCOMPARE(values.keeps, 1);
        QCOMPARE(values.putBacks, 0);
        QCOMPARE(upload->rejectedRecords(), 0);
    }

    // An upload that does not end puts back the values it found at its first request, once,
    // and only when its dump changed some; a second request while it is open keeps no values
    // of its own.
    void unendedUploadPutsBackTheFirstValues_data() {
        QTest::addColumn<bool>("dumpCame");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("putBacks");
        QTest::newRow("nothing came") << false << 1 << 0;
        QTest::newRow("a cut dump") << true << 1 << 1;
        QTest::newRow("a cut dump, then a second request") << true << 2 << 1;
    }
    void unendedUploadPutsBackTheFirstValues() {
        QFETCH(bool, dumpCame);
        QFETCH(int, requests);
        QFETCH(int, putBacks);
        Values values;
        auto upload = uploadInto(values);
        device->emulator().options().dumpFault = DumpFault::Cut;
        device->emulator().options().dumpFaultRecord = 40;
        QVERIFY(upload->request(19));
        if (dumpCame) QCOMPARE(answer(*upload), Read::Open);
        for (int i = 1; i < requests; ++i)
            QVERIFY(upload->request(19));
        QCOMPARE(values.keeps, 1);
        upload->abandon();
        QVERIFY(!upload->isOpen());
        QCOMPARE(values.putBacks, putBacks);
        upload->abandon(); // nothing open: nothing happens
        QCOMPARE(values.putBacks, putBacks);
        // The next upload keeps the values afresh.
        QVERIFY(upload->request(19));
        QCOMPARE(values.keeps, 2);
    }

    // A request that the port does not take opens nothing; bytes that come then are dropped.
    void refusedRequestOpensNothing() {
        Values values;
        auto upload = uploadInto(values);
        refuse = true;
        QVERIFY(!upload->request(0));
        QVERIFY(!upload->isOpen());
        const Message stray = {0xF0, 0x01, 0xF7};
        ring.write(stray.data(), stray.size());
        QCOMPARE(upload->read(), Read::Open);
        QVERIFY(ring.empty());
        QCOMPARE(values.assignments, 0);
    }

    // Bytes lost on the way: the same dump is asked for again after a pause, each pause longer
    // than the one before, up to three times; the fourth damaged dump ends the upload.
    void damagedDumpIsAskedForAgain() {
        Values values;
        auto upload = uploadInto(values);
        upload->setRetryPauseMs(10);
        QVERIFY(upload->request(16));
        for (int retry = 1; retry <= PresetUpload::kRetries; ++retry) {
            QCOMPARE(damagedAnswer(*upload), Read::Retrying);
            QCOMPARE(upload->retries(), retry);
            QCOMPARE(upload->retryPauseMs(), 10 * retry);
            QCOMPARE(requests.size(), std::size_t(retry)); // not before the pause
            // The rest of the damaged dump is dropped while the new request waits.
            const Message rest = {0xF0, 0x00, 0x20, 0x6B, 0x02, 0x06, 0x00, 0xF7};
            ring.write(rest.data(), rest.size());
            QCOMPARE(upload->read(), Read::Open);
            QVERIFY(ring.empty());
            testwait::until([&] { return requests.size() == std::size_t(retry + 1); });
            QCOMPARE(requests.back(), requests.front());
            QVERIFY(upload->isOpen());
        }
        QCOMPARE(damagedAnswer(*upload), Read::Damaged);
        QCOMPARE(requests.size(), std::size_t(PresetUpload::kRetries + 1));
        QCOMPARE(values.keeps, 1);
        QVERIFY(upload->isOpen());
        upload->abandon();
        QVERIFY(!upload->isOpen());
    }

    // A whole dump after a damaged one ends the upload.
    void wholeDumpAfterADamagedOneEnds() {
        Values values;
        auto upload = uploadInto(values);
        upload->setRetryPauseMs(10);
        QVERIFY(upload->request(16));
        QCOMPARE(damagedAnswer(*upload), Read::Retrying);
        testwait::until([&] { return requests.size() == 2; });
        QCOMPARE(answer(*upload), Read::Ended);
        QCOMPARE(values.ends, 1);
        upload->finish();
        QCOMPARE(values.putBacks, 0);
    }

    // Bytes left in the ring from before the request are no part of the upload.
    void requestDropsOldBytes() {
        Values values;
        auto upload = uploadInto(values);
        const Message old = {0xF0, 0x7E, 0x00, 0xF7};
        ring.write(old.data(), old.size());
        QVERIFY(upload->request(16));
        QVERIFY(ring.empty());
    }
};

QTEST_GUILESS_MAIN(TestPresetUpload)
#include "test_presetupload.moc"
