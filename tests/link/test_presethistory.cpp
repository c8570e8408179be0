// The snapshots kept before writes: their names, their order, how many are kept, the zones'
// channels beside the preset file, and the step that reads the stored preset before a write.
#include "controlleremulator.h"
#include "emulatordevice.h"
#include "midi.h"
#include "presethistory.h"
#include "virtualbus.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
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

    // The channels file beside a preset file: each of the 17 channel values (16 is "--") is
    // taken; anything else leaves the channels unknown.
    void zoneChannelsBesideAPresetFile_data() {
        QTest::addColumn<QByteArray>("channels");
        QTest::addColumn<bool>("known");
        QTest::newRow("first, sixteenth and none") << QByteArray("[0, 15, 16]") << true;
        QTest::newRow("none everywhere") << QByteArray("[16, 16, 16]") << true;
        QTest::newRow("one above none") << QByteArray("[1, 2, 17]") << false;
        QTest::newRow("negative") << QByteArray("[-1, 2, 3]") << false;
        QTest::newRow("two") << QByteArray("[1, 2]") << false;
        QTest::newRow("four") << QByteArray("[1, 2, 3, 4]") << false;
        QTest::newRow("a text") << QByteArray("[1, 2, \"3\"]") << false;
    }
    void zoneChannelsBesideAPresetFile() {
        QFETCH(QByteArray, channels);
        QFETCH(bool, known);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.sav");
        QVERIFY(writeStoredPreset(path, presetWith(1)));
        QFile file(zoneChannelsPath(path));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("{\"zoneChannels\": " + channels + "}");
        file.close();
        const auto read = readZoneChannels(path);
        QCOMPARE(read.has_value(), known);
        if (!known) return;
        const QJsonArray expected = QJsonDocument::fromJson(channels).array();
        for (int z = 0; z < 3; ++z)
            QCOMPARE(int((*read)[std::size_t(z)]), expected[z].toInt());
        StoredPreset back;
        QVERIFY(readStoredPreset(path, back));
        QVERIFY(back.zoneChannelsKnown);
        QCOMPARE(int(back.preset.values.zones[2].chan), expected[2].toInt());
    }

    // Saving over a preset file replaces the channels beside it too; removing takes both.
    void aPresetFileAndItsChannelsGoTogether() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.sav");
        QVERIFY(writeStoredPreset(path, presetWith(3)));
        Preset second = presetWith(3);
        second.values.zones[0].chan = 16;
        QVERIFY(writeStoredPreset(path, second));
        StoredPreset back;
        QVERIFY(readStoredPreset(path, back));
        QCOMPARE(back.preset, second);
        QVERIFY(removeStoredPreset(path));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(zoneChannelsPath(path)));
        // A folder in the way of the channels: nothing is replaced.
        QVERIFY(writeStoredPreset(path, presetWith(3)));
        QVERIFY(QFile::remove(zoneChannelsPath(path)));
        QVERIFY(QDir().mkpath(zoneChannelsPath(path)));
        QString error;
        QVERIFY(!writeStoredPreset(path, second, &error));
        QVERIFY2(error.contains("unchanged"), qPrintable(error));
        QVERIFY(readStoredPreset(path, back));
        QCOMPARE(back.preset.values.zones[0].chan, std::uint8_t(0)); // the first file's
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

    // Snapshots named later than now (a clock set back, the repeated hour when summer time
    // ends) are older than the one taken now: pruning goes by the order taken and never
    // removes the snapshot just written.
    void pruningGoesByTheOrderTaken() {
        QTemporaryDir dir;
        const PresetHistory history(dir.path());
        const QDateTime later = QDateTime::currentDateTime().addYears(1);
        QString oldest;
        for (int i = 0; i < PresetHistory::kKeptPerPreset; ++i) {
            const QString path = history.store(presetWith(std::uint8_t(i)), 19, later.addSecs(i));
            QVERIFY(!path.isEmpty());
            if (i == 0) oldest = path;
        }
        const QString now = history.store(presetWith(200), 19);
        QVERIFY(QFile::exists(now));
        QCOMPARE(history.latest(19)->path, now);
        QCOMPARE(history.list(19).size(), qsizetype(PresetHistory::kKeptPerPreset));
        QVERIFY(!QFile::exists(oldest));
        QVERIFY(!QFile::exists(snapshotDescriptionPath(oldest)));
        StoredPreset latest;
        QVERIFY(readStoredPreset(history.latest(19)->path, latest));
        QCOMPARE(latest.preset, presetWith(200));
    }

    // Snapshots kept without an order (by an older version) come after those with one, by
    // the time their files were written.
    void snapshotsWithoutOrderGoByTheirFileTime() {
        QTemporaryDir dir;
        const PresetHistory history(dir.path());
        const QDateTime later = QDateTime::currentDateTime().addYears(1);
        const QDateTime written = QDateTime::currentDateTime().addDays(-10);
        QString firstWritten;
        for (int i = 0; i < PresetHistory::kKeptPerPreset; ++i) {
            // Named in the reverse of the order they were written.
            const QString path = dir.filePath(PresetHistory::fileName(19, later.addSecs(-i)));
            QVERIFY(writeStoredPreset(path, presetWith(std::uint8_t(i))));
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.setFileTime(written.addSecs(i), QFileDevice::FileModificationTime));
            if (i == 0) firstWritten = path;
        }
        QCOMPARE(history.latest(19)->path,
                 dir.filePath(PresetHistory::fileName(19, later.addSecs(-49))));
        const QString now = history.store(presetWith(200), 19);
        QCOMPARE(history.latest(19)->path, now);
        QCOMPARE(history.list(19).size(), qsizetype(PresetHistory::kKeptPerPreset));
        QVERIFY(!QFile::exists(firstWritten));
    }

    void sameController_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("simulated");
        QTest::addColumn<QString>("identity");
        QTest::addColumn<QString>("otherPort");
        QTest::addColumn<bool>("otherSimulated");
        QTest::addColumn<QString>("otherIdentity");
        QTest::addColumn<bool>("same");
        QTest::newRow("another ALSA client number")
            << "Korvalen25:Korvalen25 128:0" << false << ""
            << "Korvalen25:Korvalen25 130:0" << false << "" << true;
        QTest::newRow("simulated and real") << "Korvalen25" << true << ""
                                            << "Korvalen25" << false << "" << false;
        QTest::newRow("another port") << "Korvalen25" << false << ""
                                      << "Other MIDI 1" << false << "" << false;
        QTest::newRow("an older snapshot says nothing") << "" << false << ""
                                                        << "Korvalen25" << true << "00 66" << true;
        // Both know the identity: it decides, not the port.
        QTest::newRow("same port, another identity") << "Korvalen25" << false << "00 66"
                                                     << "Korvalen25" << false << "00 67" << false;
        QTest::newRow("another port, same identity") << "Korvalen25" << false << "00 66"
                                                     << "Other MIDI 1" << false << "00 66" << true;
        QTest::newRow("same identity, simulated and real")
            << "Korvalen25" << true << "00 66"
            << "Korvalen25" << false << "00 66" << false;
        // Only one knows it (a snapshot of an older version): the port decides.
        QTest::newRow("one identity, same port") << "Korvalen25" << false << "00 66"
                                                 << "Korvalen25" << false << "" << true;
        QTest::newRow("one identity, another port") << "Korvalen25" << false << "00 66"
                                                    << "Other MIDI 1" << false << "" << false;
    }
    void sameController() {
        QFETCH(QString, port);
        QFETCH(bool, simulated);
        QFETCH(QString, identity);
        QFETCH(QString, otherPort);
        QFETCH(bool, otherSimulated);
        QFETCH(QString, otherIdentity);
        QFETCH(bool, same);
        SnapshotSource a{port, port.isEmpty() ? QString() : QStringLiteral("alsa"), simulated};
        a.identity = identity;
        SnapshotSource b{otherPort, QStringLiteral("alsa"), otherSimulated};
        b.identity = otherIdentity;
        QCOMPARE(a.sameController(b), same);
        QCOMPARE(b.sameController(a), same);
    }

    // The identity and firmware version go into the description and come back with the list;
    // a description without them (an older snapshot) gives none.
    void theIdentityIsKeptWithTheSnapshot() {
        QTemporaryDir dir;
        const PresetHistory history(dir.path());
        SnapshotSource source{"Korvalen25", "alsa", false};
        source.identity = "01 02";
        source.firmware = 130;
        QVERIFY(!history.store(presetWith(7), 17, QDateTime::currentDateTime(), nullptr, {}, source)
                     .isEmpty());
        auto latest = history.latest(17);
        QVERIFY(latest.has_value());
        QCOMPARE(latest->source.identity, QString("01 02"));
        QCOMPARE(latest->source.firmware, 130);
        QVERIFY(latest->source.describe().contains("identity 01 02"));
        QVERIFY(!history
                     .store(presetWith(8), 17, QDateTime::currentDateTime(), nullptr, {},
                            {"Korvalen25", "alsa", false})
                     .isEmpty());
        latest = history.latest(17);
        QVERIFY(latest->source.identity.isEmpty());
        QCOMPARE(latest->source.firmware, -1);
        QVERIFY(!latest->source.describe().contains("identity"));
    }

    void whatCountsAsSimulated() {
        QVERIFY(SnapshotSource::isSimulated("virtual", ""));
        QVERIFY(SnapshotSource::isSimulated("alsa", "korvalen25-sim:korvalen25-sim 130:0"));
        QVERIFY(!SnapshotSource::isSimulated("alsa", "Korvalen25:Korvalen25 MIDI 1 24:0"));
        QCOMPARE(PresetHistory::of({"x", "virtual", true}, "/h").folder(), QString("/h/simulated"));
        QCOMPARE(PresetHistory::of({"x", "alsa", false}, "/h").folder(), QString("/h"));
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
        QCOMPARE(midiLink.runSearch(midiLink.editorSearchOptions()), midi::SearchResult::Found);
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

        // Kept with the dump as it came, among the simulated controllers' snapshots.
        const PresetHistory simulated(dir.path(), true);
        QCOMPARE(simulated.latest(17)->path, s.path);
        QVERIFY(simulated.latest(17)->source.simulated);
        QCOMPARE(simulated.latest(17)->source.api, QString("virtual"));
        QByteArray dump;
        for (const auto& m : device->emulator().dumpOf(17))
            dump += QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size()));
        QFile raw(snapshotDumpPath(s.path));
        QVERIFY(raw.open(QIODevice::ReadOnly));
        QCOMPARE(raw.readAll(), dump);

        // A stored preset with values that the boxes cannot show still gets its snapshot,
        // and it holds those values as they were.
        stored.controls[10].chan = 20;
        stored.controls[40].port = 9;
        stored.globals[global::kZoneChan + 2] = 16;
        QVERIFY(device->emulator().setPreset(17, stored));
        const SnapshotResult odd = takeSnapshot(transfer, 17, history);
        QCOMPARE(odd.read.status, ReadResult::Status::BadRecords);
        QVERIFY(odd.ok());
        const auto info = simulated.latest(17);
        QCOMPARE(info->path, odd.path);
        SnapshotContents contents;
        QVERIFY(readSnapshot(*info, contents));
        QVERIFY(contents.fromDump);
        QCOMPARE(contents.preset.values.encoders[10].chan, std::uint8_t(20));
        QCOMPARE(contents.preset.values.functions[8].port, std::uint8_t(9));
        QCOMPARE(contents.preset.presetNumber, std::uint8_t(17));
        QCOMPARE(contents.preset.values.zones[1].chan, std::uint8_t(9));
        QCOMPARE(contents.preset.values.zones[2].chan, std::uint8_t(16));

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
