// The snapshots kept before writes: their names, their order, how many are kept, the zones'
// channels beside the preset file, and the step that reads the stored preset before a write.
#include "controlleremulator.h"
#include "emulatordevice.h"
#include "midi.h"
#include "presethistory.h"
#include "virtualbus.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

using namespace korvalen;

namespace {

Preset presetWith(std::uint8_t seed) {
    Preset p;
    p.presetNumber = 16;
    p.values.encoders[3].cc = seed;
    p.values.pads[5].mode = 1;
    for (int z = 0; z < 3; ++z)
        p.values.zones[std::size_t(z)].chan = static_cast<std::uint8_t>(seed % 16 + z);
    return p;
}

const QDateTime kNoon(QDate(2026, 12, 8), QTime(12, 0, 0));

} // namespace

class TestPresetHistory : public QObject {
    Q_OBJECT

private slots:
    void fileNames_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("preset"); // -1: not a snapshot's name
        QTest::addColumn<QString>("taken");
        QTest::addColumn<int>("sequence");
        QTest::newRow("plain") << "P17-20261208-150102.sav" << 16 << "2026-12-08 15:01:02" << 0;
        QTest::newRow("factory preset")
            << "P01-20261208-150102.sav" << 0 << "2026-12-08 15:01:02" << 0;
        QTest::newRow("second in one second")
            << "P17-20261208-150102-2.sav" << 16 << "2026-12-08 15:01:02" << 2;
        QTest::newRow("a library file") << "lead.sav" << -1 << "" << 0;
        QTest::newRow("no such time") << "P17-20261399-150102.sav" << -1 << "" << 0;
        QTest::newRow("the channels beside") << "P17-20261208-150102.zones.json" << -1 << "" << 0;
    }
    void fileNames() {
        QFETCH(QString, name);
        QFETCH(int, preset);
        QFETCH(QString, taken);
        QFETCH(int, sequence);
        const auto info = PresetHistory::parseFileName(name);
        QCOMPARE(info.has_value(), preset >= 0);
        if (!info) return;
        QCOMPARE(info->presetNumber, preset);
        QCOMPARE(info->taken.toString("yyyy-MM-dd HH:mm:ss"), taken);
        QCOMPARE(info->sequence, sequence);
        QCOMPARE(PresetHistory::fileName(preset, info->taken, sequence), name);
    }

    void storedPresetKeepsTheZoneChannels() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.sav");
        const Preset p = presetWith(9);
        QVERIFY(writeStoredPreset(path, p));
        QCOMPARE(QFileInfo(path).size(), qint64(348));
        QVERIFY(QFile::exists(dir.filePath("a.zones.json")));
        StoredPreset back;
        QVERIFY(readStoredPreset(path, back));
        QVERIFY(back.zoneChannelsKnown);
        QCOMPARE(back.preset, p);

        // Without the file beside it, or with a damaged one, the channels are not known.
        QFile(dir.filePath("a.zones.json")).open(QIODevice::WriteOnly);
        QVERIFY(readStoredPreset(path, back));
        QVERIFY(!back.zoneChannelsKnown);
        QCOMPARE(back.preset.values.zones[1].chan, std::uint8_t(0));
        QFile::remove(dir.filePath("a.zones.json"));
        QVERIFY(readStoredPreset(path, back));
        QVERIFY(!back.zoneChannelsKnown);

        QString error;
        QVERIFY(!readStoredPreset(dir.filePath("none.sav"), back, &error));
        QVERIFY2(error.startsWith("cannot read"), qPrintable(error));
    }

    void newestFirstAndTheLastFiftyKept() {
        QTemporaryDir dir;
        const PresetHistory history(dir.filePath("history"));
        QString first;
        for (int i = 0; i < PresetHistory::kKeptPerPreset + 2; ++i) {
            const QString path = history.store(presetWith(std::uint8_t(i)), 16, kNoon.addSecs(i));
            QVERIFY(!path.isEmpty());
            if (i == 0) first = path;
        }
        // Another preset's snapshots are counted apart.
        QVERIFY(!history.store(presetWith(100), 20, kNoon).isEmpty());
        const auto list = history.list(16);
        QCOMPARE(list.size(), qsizetype(PresetHistory::kKeptPerPreset));
        QCOMPARE(list.front().taken, kNoon.addSecs(PresetHistory::kKeptPerPreset + 1));
        QCOMPARE(list.back().taken, kNoon.addSecs(2));
        QVERIFY(!QFile::exists(first));
        QVERIFY(!QFile::exists(zoneChannelsPath(first)));
        QCOMPARE(history.list(20).size(), qsizetype(1));
        QCOMPARE(history.list().size(), qsizetype(PresetHistory::kKeptPerPreset + 1));
        StoredPreset latest;
        QVERIFY(readStoredPreset(history.latest(16)->path, latest));
        QCOMPARE(latest.preset, presetWith(std::uint8_t(PresetHistory::kKeptPerPreset + 1)));
    }

    void twoInOneSecondAreBothKept() {
        QTemporaryDir dir;
        const PresetHistory history(dir.path());
        const QString a = history.store(presetWith(1), 16, kNoon);
        const QString b = history.store(presetWith(2), 16, kNoon.addMSecs(500));
        QVERIFY(a != b);
        QVERIFY(b.endsWith("P17-20261208-120000-1.sav"));
        QCOMPARE(history.latest(16)->path, b);
    }

    void aFolderThatCannotBeMadeIsTold() {
        QTemporaryDir dir;
        QFile(dir.filePath("file")).open(QIODevice::WriteOnly);
        const PresetHistory history(dir.filePath("file/history"));
        QString error;
        QVERIFY(history.store(presetWith(1), 16, kNoon, &error).isEmpty());
        QVERIFY2(error.contains("cannot create the folder"), qPrintable(error));
    }

    void theEnvironmentChoosesTheFolder() {
        const QByteArray was = qgetenv("KORVALEN_HISTORY_DIR");
        const auto restore = qScopeGuard([&was] { qputenv("KORVALEN_HISTORY_DIR", was); });
        qputenv("KORVALEN_HISTORY_DIR", "/tmp/somewhere");
        QCOMPARE(PresetHistory::defaultFolder(), QString("/tmp/somewhere"));
        qunsetenv("KORVALEN_HISTORY_DIR");
        QVERIFY(PresetHistory::defaultFolder().endsWith("/korvalen25/history"));
    }

    // The step before a write reads the stored preset from the controller and keeps it whole,
    // the zones' channels included; a controller that does not answer leaves no file.
    void snapshotReadsTheStoredPreset() {
        auto bus = std::make_shared<midi::VirtualBus>();
        bus->setPortCounts(1, 1);
        auto device = std::make_shared<midi::EmulatorDevice>();
        bus->attach(0, 0, device);
        midi::setPlatform(bus);
        midiLink.prepareSearch();
        midiLink.runSearch(midiLink.editorSearchOptions());
        QVERIFY(midiLink.editorConnected());
        midi::StopToken stop;
        PresetTransfer transfer(
            [](const std::uint8_t* d, std::uint32_t n) { return midiLink.sendSysEx(d, n); },
            midiLink.sysExRing, stop);
        QTemporaryDir dir;
        const PresetHistory history(dir.path());
        sim::StoredPreset stored = *device->emulator().preset(17);
        stored.globals[global::kZoneChan + 1] = 9;
        QVERIFY(device->emulator().setPreset(17, stored));

        const SnapshotResult s = takeSnapshot(transfer, 17, history);
        QVERIFY(s.ok());
        QCOMPARE(QFileInfo(s.path).fileName().left(4), QString("P18-"));
        StoredPreset back;
        QVERIFY(readStoredPreset(s.path, back));
        QVERIFY(back.zoneChannelsKnown);
        QCOMPARE(back.preset.values.zones[1].chan, std::uint8_t(9));
        const auto sav = sim::encodeSav(device->emulator().savOf(17));
        QFile file(s.path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray(reinterpret_cast<const char*>(sav.data()), qsizetype(sav.size())));

        transfer.setTimeoutMs(50);
        bus->detachAll(); // nobody answers now
        const SnapshotResult none = takeSnapshot(transfer, 18, history);
        QVERIFY(!none.ok());
        QCOMPARE(none.read.status, ReadResult::Status::NoAnswer);
        QCOMPARE(history.list(18).size(), qsizetype(0));
        midiLink.closePorts();
        midi::setPlatform(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestPresetHistory)
#include "test_presethistory.moc"
