// The file commands on their own: saved, loaded, refused and asked about against a host that is
// no editor window. This program is linked without the window, so a file command that calls
// back into the window does not build.
#include "distinctpreset.h"
#include "fakehost.h"
#include "presetfile.h"
#include "presetfilecommands.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "presetsyx.h"

#include <QFile>
#include <QFileDialog>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

using testsupport::distinctValues;

namespace {

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestFileCommands : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<FakeHost> host;
    std::unique_ptr<PresetFileCommands> files;

    QString path(const QString& name) const { return dir.filePath(name); }

    // A preset file of `values` under preset number `number`, written by the save command.
    QString savedFile(const QString& name, const korvalen::PresetValues& values, int number) {
        applyPresetValues(values);
        korvalen::presetGlobals[korvalen::global::kPresetNumber] =
            static_cast<unsigned char>(number);
        const QString file = path(name);
        if (!files->saveToFile(file)) return {};
        return file;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        // The dialogs remember their folders in the settings and may make the library folder:
        // both in the test's own folder.
        qputenv("HOME", dir.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    }

    void init() {
        applyPresetValues(korvalen::PresetValues{});
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 0;
        host = std::make_unique<FakeHost>();
        files = std::make_unique<PresetFileCommands>(*host);
    }

    void cleanup() {
        files.reset();
        host.reset();
    }

    // Saving puts the preset in step with the file; loading it after other values brings the
    // values and the preset number back, reports "Load OK!" in its box and refreshes the title.
    void saveThenLoadGivesThePresetBack() {
        const korvalen::PresetValues saved = distinctValues(3);
        const QString file = savedFile(QStringLiteral("round.sav"), saved, 20);
        QVERIFY(!file.isEmpty());
        QVERIFY(host->failures.isEmpty());
        QVERIFY(!host->history.modified());
        QVERIFY2(host->history.note().contains(QStringLiteral("round.sav")),
                 qPrintable(host->history.note()));

        applyPresetValues(distinctValues(11));
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 17;
        host->forget();
        QVERIFY(files->loadFromFile(file));
        QCOMPARE(currentPresetValues().encoders, saved.encoders);
        QCOMPARE(currentPresetValues().pads, saved.pads);
        QCOMPARE(currentPresetValues().slider, saved.slider);
        QCOMPARE(int(korvalen::presetGlobals[korvalen::global::kPresetNumber]), 20);
        QCOMPARE(host->boxes.size(), 1);
        QCOMPARE(host->boxes[0].objectName, QStringLiteral("loadReport"));
        QCOMPARE(host->boxes[0].title, QStringLiteral("Load From File"));
        QCOMPARE(host->boxes[0].text, QStringLiteral("Load OK!"));
        QCOMPARE(host->titleRefreshes, 1);
        QVERIFY(!host->history.modified());
        // The load is one step of the history: undo gives the values from before it.
        QVERIFY(host->history.stack().canUndo());
        host->history.stack().undo();
        QCOMPARE(currentPresetValues().encoders, distinctValues(11).encoders);
    }

    // A file that is no preset loads nothing: the box tells why, the model stays, no question
    // is asked and nothing is told to give way to the load.
    void refusedFilesChangeNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << QStringLiteral("The file is empty.");
        QTest::newRow("wrong signature")
            << QByteArray(348, 'x')
            << QStringLiteral("It does not begin with \"KORVALEN25\" as a preset file does.");
        QTest::newRow("short") << QByteArray("KORVALEN25") + QByteArray(20, '\0')
                               << QStringLiteral(
                                      "It is too short: 30 of the 348 bytes of a preset file.");
    }
    void refusedFilesChangeNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const QString file = path(QStringLiteral("bad.sav"));
        QVERIFY(writeBytes(file, bytes));
        const korvalen::PresetValues edited = distinctValues(5);
        applyPresetValues(edited);
        host->history.userEdited();
        QSignalSpy aboutToLoad(files.get(), &PresetFileCommands::aboutToLoad);

        QVERIFY(!files->openPresetFile(file));
        QVERIFY(!host->question);
        QCOMPARE(aboutToLoad.count(), 0);
        QCOMPARE(host->boxes.size(), 1);
        QCOMPARE(host->boxes[0].objectName, QStringLiteral("loadReport"));
        QCOMPARE(host->boxes[0].text,
                 QStringLiteral("File Can not be accepted!") + QLatin1Char('\n') + reason);
        QCOMPARE(currentPresetValues(), edited);
        QVERIFY(host->history.modified());
        QCOMPARE(host->titleRefreshes, 0);
    }

    // A ".syx" file, as a download sends the preset, loads with its zones' channels and its
    // number; a damaged one is refused with the reason and changes nothing.
    void syxFilesLoadWithTheirChannels() {
        korvalen::PresetValues values = distinctValues(7);
        values.zones[0].chan = 4;
        values.zones[1].chan = 9;
        values.zones[2].chan = 16;
        const auto bytes = korvalen::presetSyx(values, 22);
        QVERIFY(!bytes.empty());
        const QString file = path(QStringLiteral("lead.SYX"));
        QVERIFY(writeBytes(file, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                            qsizetype(bytes.size()))));
        QVERIFY(files->loadFromFile(file));
        QCOMPARE(host->boxes.size(), 1);
        QCOMPARE(host->boxes[0].text, QStringLiteral("Load OK!"));
        // What the file holds, as the core reads it (zone 1 always goes out as on).
        const korvalen::SyxPreset read = korvalen::readPresetSyx(bytes.data(), bytes.size());
        QVERIFY2(read.ok, read.error.c_str());
        QCOMPARE(currentPresetValues(), read.preset.values);
        QCOMPARE(currentPresetValues().zones[1].chan, std::uint8_t(9));
        QCOMPARE(currentPresetValues().zones[2].chan, std::uint8_t(16));
        QCOMPARE(int(korvalen::presetGlobals[korvalen::global::kPresetNumber]), 22);

        host->forget();
        const QString cut = path(QStringLiteral("cut.syx"));
        QVERIFY(writeBytes(cut, QByteArray(reinterpret_cast<const char*>(bytes.data()),
                                           qsizetype(bytes.size()) / 2)));
        applyPresetValues(distinctValues(8));
        QVERIFY(!files->loadFromFile(cut));
        QCOMPARE(host->boxes.size(), 1);
        QVERIFY2(host->boxes[0].text.startsWith(QStringLiteral("File Can not be accepted!\n")) &&
                     host->boxes[0].text.size() > 30,
                 qPrintable(host->boxes[0].text));
        QCOMPARE(currentPresetValues(), distinctValues(8));
        QCOMPARE(PresetFileCommands::droppedPresetFile([&] {
                     static QMimeData data;
                     data.setUrls({QUrl::fromLocalFile(file)});
                     return &data;
                 }()),
                 file);
    }

    // A file that cannot be opened is a failure of "Load From File".
    void missingFileIsAFailure() {
        QVERIFY(!files->loadFromFile(path(QStringLiteral("does-not-exist.sav"))));
        QCOMPARE(host->failures.size(), 1);
        QCOMPARE(host->failures[0].command, QStringLiteral("Load From File"));
        QVERIFY(host->failures[0].text.contains(QStringLiteral("could not be opened")));
        QVERIFY(host->boxes.isEmpty());
    }

    // A save that cannot be written is a failure of "Save to file" and leaves the edits
    // unsaved.
    void failedSaveIsAFailure() {
        applyPresetValues(distinctValues(7));
        host->history.userEdited();
        const QString target = path(QStringLiteral("no-such-folder/p.sav"));
        QVERIFY(!files->saveToFile(target));
        QVERIFY(!QFile::exists(target));
        QCOMPARE(host->failures.size(), 1);
        QCOMPARE(host->failures[0].command, QStringLiteral("Save to file"));
        QVERIFY(host->history.modified());
    }

    // With unsent edits the load asks first, naming the file; "keep" loads nothing, "discard"
    // tells a dump to give way, then loads.
    void openAsksBeforeEditsAreReplaced_data() {
        QTest::addColumn<bool>("discard");
        QTest::newRow("edits kept") << false;
        QTest::newRow("edits discarded") << true;
    }
    void openAsksBeforeEditsAreReplaced() {
        QFETCH(bool, discard);
        const korvalen::PresetValues inFile = distinctValues(13);
        const QString file = savedFile(QStringLiteral("asked.sav"), inFile, 18);
        QVERIFY(!file.isEmpty());
        const korvalen::PresetValues edited = distinctValues(29);
        applyPresetValues(edited);
        host->history.userEdited();
        host->forget();
        QSignalSpy aboutToLoad(files.get(), &PresetFileCommands::aboutToLoad);
        bool loadedWhenTold = false;
        connect(files.get(), &PresetFileCommands::aboutToLoad, this,
                [&] { loadedWhenTold = currentPresetValues() == inFile; });

        QVERIFY(files->openPresetFile(file));
        QVERIFY(host->question);
        QCOMPARE(host->question->command, QStringLiteral("Load From File"));
        QCOMPARE(host->question->replacement, QStringLiteral("Loading \"asked.sav\""));
        // Nothing happens before the answer.
        QCOMPARE(currentPresetValues(), edited);
        QCOMPARE(aboutToLoad.count(), 0);

        if (discard) {
            host->question->then();
            QCOMPARE(aboutToLoad.count(), 1);
            QVERIFY2(!loadedWhenTold, "the dump is told to give way before the load");
            QCOMPARE(currentPresetValues().encoders, inFile.encoders);
            QCOMPARE(host->boxes.size(), 1);
            QCOMPARE(host->boxes[0].text, QStringLiteral("Load OK!"));
            QVERIFY(!host->history.modified());
        } else {
            if (host->question->kept) host->question->kept();
            QCOMPARE(aboutToLoad.count(), 0);
            QCOMPARE(currentPresetValues(), edited);
            QVERIFY(host->boxes.isEmpty());
            QVERIFY(host->history.modified());
        }
    }

    // The save dialog belongs to the host's window and saves a name typed without a suffix
    // as NAME.sav.
    void saveDialogSavesUnderTheSuffix() {
        applyPresetValues(distinctValues(31));
        host->history.userEdited();
        bool told = false, saved = false;
        files->saveWithDialog([&](bool ok) {
            told = true;
            saved = ok;
        });
        auto* dialog = host->parent.findChild<QFileDialog*>(QStringLiteral("saveDialog"));
        QVERIFY(dialog);
        QVERIFY(!told);
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->selectFile(path(QStringLiteral("typed")));
        static_cast<QDialog*>(dialog)->accept();
        QTRY_VERIFY(told);
        QVERIFY(saved);
        QVERIFY(QFile::exists(path(QStringLiteral("typed.sav"))));
        QVERIFY(!host->history.modified());
    }

    // A drop is taken when its one file is a preset by its first bytes or named as one.
    void dropsAreJudgedByTheirBytes() {
        const QString preset = savedFile(QStringLiteral("dropped.bin"), distinctValues(2), 16);
        QVERIFY(!preset.isEmpty());
        const QString other = path(QStringLiteral("other.txt"));
        QVERIFY(writeBytes(other, QByteArray(400, 'a')));
        const QString damaged = path(QStringLiteral("damaged.sav"));
        QVERIFY(writeBytes(damaged, QByteArray("x")));
        auto drop = [](QList<QUrl> urls) {
            QMimeData data;
            data.setUrls(urls);
            return PresetFileCommands::droppedPresetFile(&data);
        };
        QCOMPARE(drop({QUrl::fromLocalFile(preset)}), preset);
        QCOMPARE(drop({QUrl::fromLocalFile(damaged)}), damaged);
        QCOMPARE(drop({QUrl::fromLocalFile(other)}), QString());
        QCOMPARE(drop({QUrl::fromLocalFile(preset), QUrl::fromLocalFile(damaged)}), QString());
        QCOMPARE(drop({QUrl(QStringLiteral("https://example.org/p.sav"))}), QString());
    }
};

QTEST_MAIN(TestFileCommands)
#include "test_filecommands.moc"
