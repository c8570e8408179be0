// `korvalen25-cli get N FILE` writes byte for byte what the editor's "Save to file" writes
// after uploading preset N from the same controller, and both replace the zone channels file
// beside it.
#include "clitest.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "presethistory.h"
#include "searches.h"
#include "waits.h"

#include <QTemporaryDir>
#include <QTest>

using namespace clitest;

class EditorSaveTest : public QObject {
    Q_OBJECT

private slots:
    void getWritesWhatTheEditorSaves_data();
    void getWritesWhatTheEditorSaves();
};

void EditorSaveTest::getWritesWhatTheEditorSaves_data() {
    QTest::addColumn<int>("number");
    QTest::addColumn<unsigned>("seed");
    QTest::addColumn<bool>("noteAbove127"); // F1 and pad P1 (shown at start): note 150
    QTest::newRow("P21") << 20 << 21u << false;
    QTest::newRow("P30") << 29 << 30u << false;
    QTest::newRow("P01, the preset the editor reads at start") << 0 << 1u << false;
    QTest::newRow("P21, notes numbered past 127 on shown buttons") << 20 << 22u << true;
}

void EditorSaveTest::getWritesWhatTheEditorSaves() {
    QFETCH(int, number);
    QFETCH(unsigned, seed);
    QFETCH(bool, noteAbove127);
    // Preset 0, which the editor reads first, differs from preset N in every field it can, so
    // a value the upload of N left out would show.
    auto device = emulator();
    QVERIFY(device->emulator().loadSav(randomSav(seed + 1000, 0), 0));
    auto preset = randomSav(seed, number);
    if (noteAbove127) {
        using namespace korvalen::sim;
        preset.controls[controls::kFunctions] = {1, 150, 2, 1, 1};
        preset.controls[controls::kPads] = {1, 171, 3, 0, 0};
    }
    QVERIFY(device->emulator().loadSav(preset, number));
    korvalen::sim::StoredPreset stored = *device->emulator().preset(number);
    const std::array<std::uint8_t, 3> channels = {3, 16, 9}; // 16: "--"
    for (int z = 0; z < 3; ++z)
        stored.globals[std::size_t(korvalen::global::kZoneChan + z)] = channels[std::size_t(z)];
    QVERIFY(device->emulator().setPreset(number, stored));
    auto bus = busWith(device);
    korvalen::midi::setPlatform(bus);
    QTemporaryDir dir;
    const QString editorFile = dir.filePath("editor.sav"), cliFile = dir.filePath("cli.sav");
    // Channels files of an older preset under the same names: they must not stay.
    for (const QString& file : {editorFile, cliFile})
        QVERIFY(writeAll(korvalen::zoneChannelsPath(file), "{\"zoneChannels\": [5, 5, 5]}"));

    {
        Korvalen49_Test window; // connects and reads preset 0
        QVERIFY(testsearch::ended(window));
        KORVALEN_TRY_VERIFY(!window.isUploadPending());
        QVERIFY(window.requestUpload(number));
        KORVALEN_TRY_VERIFY(!window.isUploadPending());
        QVERIFY(window.saveToFile(editorFile));
    }
    const Result r = runCli({"get", QString::number(number), cliFile}, bus);
    QVERIFY2(r.code == 0, qPrintable(r.err));

    const QByteArray saved = readAll(editorFile);
    QCOMPARE(saved.size(), 348);
    QCOMPARE(readAll(cliFile), saved);
    for (const QString& file : {editorFile, cliFile}) {
        const auto kept = korvalen::readZoneChannels(file);
        QVERIFY2(kept.has_value(), qPrintable(file));
        QCOMPARE(*kept, channels);
    }
    korvalen::midi::setPlatform(nullptr);
}

QTEST_MAIN(EditorSaveTest)
#include "tst_editorsave.moc"
