// Presets as files in the window: where each file dialog starts and the name it suggests,
// Export and Import of .syx files, the library listing them, Save to file landing in the
// library, the library's Download going to the entry's own preset after the DownLoad
// question, and the compare window taking several values, or all of one side, in one step.
#include "../commands/distinctpreset.h"
#include "comparewindow.h"
#include "downloads.h"
#include "edithistory.h"
#include "emulatorbus.h"
#include "filefolders.h"
#include "korvalen49_test.h"
#include "librarywindow.h"
#include "presetmodel.h"
#include "presetsyx.h"
#include "presetvalues.h"
#include "searches.h"
#include "upgrade.h"
#include "waits.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <functional>
#include <memory>

using testsupport::distinctValues;

namespace {

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray syxOf(const korvalen::PresetValues& values, int number) {
    const auto bytes = korvalen::presetSyx(values, number);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

QStringList namesOf(const QList<LibraryWindow::Entry>& entries) {
    QStringList names;
    for (const auto& e : entries)
        names << QFileInfo(e.path).fileName();
    return names;
}

// The editor's values with channels of their own in the three zones.
korvalen::PresetValues withZoneChannels(korvalen::PresetValues v, std::uint8_t first) {
    for (std::size_t z = 0; z < v.zones.size(); ++z)
        v.zones[z].chan = std::uint8_t(first + 4 * z);
    return v;
}

QAction* fileAction(Korvalen49_Test& window, const char* name) {
    return window.findChild<QAction*>(QLatin1String(name));
}

} // namespace

class TestLibraryFiles : public QObject {
    Q_OBJECT

    testsupport::EmulatorBus on;
    std::unique_ptr<QTemporaryDir> dir;

    std::unique_ptr<Korvalen49_Test> connectedWindow() {
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        if (!testsearch::ended(*window)) return nullptr;
        on.bus->quiesce();
        testwait::until([&] { return window->windowTitle().endsWith("P01 Korvalen"); });
        return window;
    }

    QString libraryDir() const { return dir->filePath("library"); }

    // The editor holds preset P20 as loaded from "Lead.sav", with nothing unsent.
    static void holdP20Lead(Korvalen49_Test& window) {
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 19;
        window.editHistory().markInStep(EditHistory::Source::File, "Lead.sav");
    }

    // The box of the last load or import, answered.
    static QString takeReport(Korvalen49_Test& window, QString* title = nullptr) {
        QMessageBox* box = nullptr;
        testwait::until([&] {
            box = window.findChild<QMessageBox*>("loadReport");
            return box != nullptr && box->isVisible();
        });
        const QString text = box->text();
        if (title) *title = box->windowTitle();
        box->setObjectName(QString());
        box->button(QMessageBox::Ok)->click();
        return text;
    }

    static QMessageBox* downloadQuestion(Korvalen49_Test& window) {
        QMessageBox* box = nullptr;
        testwait::until([&] {
            box = window.findChild<QMessageBox*>("downloadQuestion");
            return box != nullptr && box->isVisible();
        });
        return box;
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        qputenv("KORVALEN_HISTORY_DIR", dir->filePath("history").toUtf8());
        // The settings, the documents and the downloads of the test's own home.
        qputenv("HOME", dir->path().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir->filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", dir->filePath("data").toUtf8());
        // The settings file of the test before is gone with its folder.
        QSettings(QStringLiteral("korvalen25"), QStringLiteral("korvalen25-editor")).clear();
        QVERIFY(QDir().mkpath(libraryDir()));
        filefolders::setLibraryFolder(libraryDir());
        on.install();
    }
    void cleanup() {
        QSettings(QStringLiteral("korvalen25"), QStringLiteral("korvalen25-editor")).clear();
        on.release();
    }

    void namesAreSafeForAFileSystem_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("suggested");
        QTest::newRow("name") << 19 << "Lead"
                              << "P20 Lead.sav";
        QTest::newRow("no name") << 16 << ""
                                 << "P17.sav";
        QTest::newRow("P01") << 0 << "Pad"
                             << "P01 Pad.sav";
        QTest::newRow("slashes and colons") << 19 << "a/b\\c:d"
                                            << "P20 a_b_c_d.sav";
        QTest::newRow("wildcards and quotes") << 19 << "*?\"<>|"
                                              << "P20 ______.sav";
        QTest::newRow("control characters") << 19 << QString("x\ny\tz") << "P20 x_y_z.sav";
        QTest::newRow("dots and spaces at the end") << 19 << "Lead. . "
                                                    << "P20 Lead.sav";
    }
    void namesAreSafeForAFileSystem() {
        QFETCH(int, number);
        QFETCH(QString, name);
        QFETCH(QString, suggested);
        QCOMPARE(filefolders::suggestedName(number, name, "sav"), suggested);
    }

    void theNameOfAPresetFile_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "Lead.sav"
                               << "Lead";
        QTest::newRow("numbered") << "P20 Lead.sav"
                                  << "Lead";
        QTest::newRow("numbered with a dash") << "P20-Lead.syx"
                                              << "Lead";
        QTest::newRow("number only") << "P20.sav"
                                     << "";
        QTest::newRow("a word beginning with P") << "Pad.sav"
                                                 << "Pad";
    }
    void theNameOfAPresetFile() {
        QFETCH(QString, file);
        QFETCH(QString, name);
        QCOMPARE(filefolders::presetNameOf(file), name);
        // A file saved under the suggested name suggests that name again.
        QCOMPARE(filefolders::suggestedName(19, filefolders::presetNameOf(file), "sav"),
                 name.isEmpty() ? QString("P20.sav") : "P20 " + name + ".sav");
    }

    // Each dialog starts in the library folder (firmware: in the home folder, as there are no
    // downloads) with the preset's number and name, and after a file was chosen elsewhere in
    // the folder of that file, which is remembered in the settings.
    void dialogsStartInTheLibraryThenWhereTheUserWent_data() {
        QTest::addColumn<QString>("opens"); // the action, or "firmware"
        QTest::addColumn<QString>("dialogName");
        QTest::addColumn<QString>("suggested");
        QTest::addColumn<QString>("chosen"); // a file in the other folder, made first when set
        QTest::addColumn<int>("kind");
        QTest::newRow("Save to file") << "actionSave_to_file"
                                      << "saveDialog"
                                      << "P20 Lead.sav"
                                      << "" << int(filefolders::Dialog::SavePreset);
        QTest::newRow("Load from file") << "actionLoad_from_file"
                                        << "loadDialog"
                                        << "P20 Lead.sav"
                                        << "old.sav" << int(filefolders::Dialog::LoadPreset);
        QTest::newRow("Export") << "actionExport"
                                << "exportDialog"
                                << "P20 Lead.syx"
                                << "" << int(filefolders::Dialog::ExportSyx);
        QTest::newRow("Import") << "actionImport"
                                << "importDialog"
                                << "P20 Lead.syx"
                                << "old.syx" << int(filefolders::Dialog::ImportSyx);
        QTest::newRow("firmware Load File") << "firmware"
                                            << "upgradeOpenDialog"
                                            << ""
                                            << "image.bin" << int(filefolders::Dialog::Firmware);
    }
    void dialogsStartInTheLibraryThenWhereTheUserWent() {
        QFETCH(QString, opens);
        QFETCH(QString, dialogName);
        QFETCH(QString, suggested);
        QFETCH(QString, chosen);
        QFETCH(int, kind);
        auto window = connectedWindow();
        QVERIFY(window);
        holdP20Lead(*window);
        const bool firmware = opens == "firmware";
        UpgradeDlg* upgrade = nullptr;
        if (firmware) {
            fileAction(*window, "actionUpgrade")->trigger();
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<UpgradeDlg*>(w)) upgrade = d;
            QVERIFY(upgrade);
        }
        QWidget* owner = firmware ? static_cast<QWidget*>(upgrade) : window.get();
        auto open = [&]() -> QFileDialog* {
            if (firmware)
                upgrade->ui.upgradeLoad->click();
            else
                fileAction(*window, qPrintable(opens))->trigger();
            QFileDialog* dialog = nullptr;
            for (QFileDialog* d : owner->findChildren<QFileDialog*>(dialogName))
                if (d->isVisible()) dialog = d;
            return dialog;
        };

        QFileDialog* dialog = open();
        QVERIFY(dialog);
        const QString first = firmware ? QDir::homePath() : libraryDir();
        QCOMPARE(dialog->directory().absolutePath(), QDir(first).absolutePath());
        if (!suggested.isEmpty())
            QCOMPARE(QFileInfo(dialog->selectedFiles().value(0)).fileName(), suggested);

        // A file chosen in another folder.
        const QString elsewhere = dir->filePath("elsewhere");
        QVERIFY(QDir().mkpath(elsewhere));
        const korvalen::PresetValues values = currentPresetValues();
        QString file = QDir(elsewhere).filePath(chosen.isEmpty() ? suggested : chosen);
        if (chosen.endsWith(".sav"))
            QVERIFY(korvalen::writeStoredPreset(file, {values, 19}));
        else if (chosen.endsWith(".syx"))
            QVERIFY(writeBytes(file, syxOf(values, 19)));
        else if (!chosen.isEmpty())
            QVERIFY(writeBytes(file, QByteArray("not firmware")));
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept();
        KORVALEN_TRY_VERIFY(!dialog->isVisible());
        QVERIFY(QFileInfo::exists(file));
        if (QMessageBox* report = window->findChild<QMessageBox*>("loadReport")) report->close();

        dialog = open();
        QVERIFY(dialog);
        QCOMPARE(dialog->directory().absolutePath(), QDir(elsewhere).absolutePath());
        dialog->reject();
        // Kept in the settings for the next start of the editor.
        const auto which = filefolders::Dialog(kind);
        QCOMPARE(QFileInfo(filefolders::lastFile(which)).absolutePath(),
                 QDir(elsewhere).absolutePath());
        // The other dialogs keep their own folders.
        for (auto other : {filefolders::Dialog::SavePreset, filefolders::Dialog::LoadPreset,
                           filefolders::Dialog::ExportSyx, filefolders::Dialog::ImportSyx})
            if (other != which) QCOMPARE(filefolders::startFolder(other), libraryDir());
        // A folder that has gone is not started in.
        QVERIFY(QDir(elsewhere).removeRecursively());
        QCOMPARE(filefolders::startFolder(which), first);
    }

    // Export writes the editor's preset as the download's messages; Import of that file gives
    // the preset back whole, the zones' channels and the preset number included.
    void exportThenImportGivesThePresetBack() {
        auto window = connectedWindow();
        QVERIFY(window);
        const korvalen::PresetValues exported = withZoneChannels(distinctValues(5), 3);
        applyPresetValues(exported);
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 19;
        const QString path = dir->filePath("out.syx");
        QVERIFY(window->fileCommands().exportToFile(path));
        QCOMPARE(readBytes(path), syxOf(exported, 19));
        QVERIFY(!window->editHistory().modified());

        applyPresetValues(withZoneChannels(distinctValues(9), 1));
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 16;
        window->editHistory().markInStep(EditHistory::Source::Controller);
        QVERIFY(window->fileCommands().importFile(path));
        QString title;
        QCOMPARE(takeReport(*window, &title), QString("Load OK!"));
        QCOMPARE(title, QString("Import"));
        QCOMPARE(currentPresetValues(), exported);
        QCOMPARE(int(Korvalen49_Test::currentPresetNumber()), 19);
        for (std::size_t z = 0; z < 3; ++z)
            QCOMPARE(int(currentPresetValues().zones[z].chan), int(3 + 4 * z));
        // One step: undo brings the preset before the import back.
        window->undoSlot();
        QCOMPARE(currentPresetValues(), withZoneChannels(distinctValues(9), 1));
    }

    // Import reads a .syx file whatever its name; a file that is no preset is refused with
    // the reason, and the editor keeps its preset and its history.
    void aDamagedImportSaysWhyAndChangesNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        const QByteArray good = syxOf(distinctValues(2), 18);
        QTest::newRow("empty") << QByteArray() << "the file is empty";
        QTest::newRow("text") << QByteArray("hello") << "does not begin with F0";
        QTest::newRow("cut short") << good.left(good.size() - 3) << "cut short";
        QTest::newRow("without its end")
            << good.left(good.lastIndexOf('\xF0')) << "no download end message";
        QByteArray twice = good + good;
        QTest::newRow("two presets") << twice << "it holds 2 presets";
        QByteArray sav(348, '\0');
        sav.replace(0, 10, "KORVALEN25");
        QTest::newRow("a .sav file") << sav << "does not begin with F0";
    }
    void aDamagedImportSaysWhyAndChangesNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        auto window = connectedWindow();
        QVERIFY(window);
        const PresetSnapshot before = takePresetSnapshot();
        const int steps = window->editHistory().stack().count();
        const QString path = dir->filePath("damaged.bin");
        QVERIFY(writeBytes(path, bytes));
        QVERIFY(!window->fileCommands().importFile(path));
        QString title;
        const QString text = takeReport(*window, &title);
        QCOMPARE(title, QString("Import"));
        const QStringList lines = text.split('\n');
        QCOMPARE(lines.value(0), QString("File Can not be accepted!"));
        QVERIFY2(!lines.value(1).isEmpty(), qPrintable(text));
        QVERIFY2(lines.value(1).contains(reason), qPrintable(text));
        QVERIFY(takePresetSnapshot() == before);
        QCOMPARE(window->editHistory().stack().count(), steps);
        QVERIFY(!window->editHistory().modified());
    }

    // A preset whose number cannot be sent is not exported: no file, and the reason.
    void anUnsendableNumberIsNotExported() {
        auto window = connectedWindow();
        QVERIFY(window);
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 200;
        const QString path = dir->filePath("never.syx");
        QVERIFY(!window->fileCommands().exportToFile(path));
        QVERIFY(!QFileInfo::exists(path));
        QMessageBox* box = nullptr;
        for (QMessageBox* b : window->findChildren<QMessageBox*>())
            if (b->windowTitle() == "Export") box = b;
        QVERIFY(box);
        QVERIFY2(box->text().contains("P201 cannot be sent"), qPrintable(box->text()));
    }

    // .syx files are listed beside .sav files with the preset each holds; a damaged one is
    // listed as no preset. Renaming and deleting a .syx file leaves its .sav namesake's zone
    // channels where they are.
    void theLibraryListsSyxFiles() {
        auto window = connectedWindow();
        QVERIFY(window);
        const QString folder = libraryDir();
        korvalen::Preset p{withZoneChannels(currentPresetValues(), 2), 16};
        QVERIFY(korvalen::writeStoredPreset(folder + "/Lead.sav", p));
        QVERIFY(writeBytes(folder + "/Lead.syx", syxOf(p.values, 19)));
        QVERIFY(writeBytes(folder + "/broken.syx", syxOf(p.values, 19).left(40)));
        LibraryWindow& library = libraryWindow(*window);
        library.refresh();
        QCOMPARE(namesOf(library.shownEntries()),
                 (QStringList{"broken.syx", "Lead.sav", "Lead.syx"}));
        QStringList rows;
        for (int r = 0; r < library.list()->rowCount(); ++r)
            rows << library.list()->item(r, 1)->text() + '|' + library.list()->item(r, 3)->text();
        QCOMPARE(rows, (QStringList{"|Not a preset (.syx)", "P17|Library", "P20|Library (.syx)"}));

        QVERIFY(library.select(folder + "/Lead.syx"));
        QVERIFY(library.renameSelected("Bright"));
        QVERIFY(QFileInfo::exists(folder + "/Bright.syx"));
        QVERIFY(QFileInfo::exists(folder + "/Lead.sav"));
        QVERIFY(QFileInfo::exists(korvalen::zoneChannelsPath(folder + "/Lead.sav")));
        QVERIFY(!QFileInfo::exists(korvalen::zoneChannelsPath(folder + "/Bright.syx")));

        // Opening the .syx entry loads its preset with its channels.
        QVERIFY(library.select(folder + "/Bright.syx"));
        QVERIFY(library.openSelected());
        QCOMPARE(takeReport(*window), QString("Load OK!"));
        QCOMPARE(currentPresetValues(), p.values);
        QCOMPARE(int(Korvalen49_Test::currentPresetNumber()), 19);
    }

    // Save to file suggests the library folder and the preset's name: accepted as it is, the
    // file is in the library's list at once.
    void aPresetSavedToFileIsInTheLibrary() {
        auto window = connectedWindow();
        QVERIFY(window);
        holdP20Lead(*window);
        LibraryWindow& library = libraryWindow(*window);
        library.refresh();
        QVERIFY(library.shownEntries().isEmpty());
        fileAction(*window, "actionSave_to_file")->trigger();
        auto* dialog = window->findChild<QFileDialog*>("saveDialog");
        QVERIFY(dialog);
        static_cast<QDialog*>(dialog)->accept();
        // No wait for the folder's watcher: the save itself tells the library.
        QCOMPARE(namesOf(library.shownEntries()), QStringList{"P20 Lead.sav"});
        QCOMPARE(library.shownEntries().front().presetNumber, 19);

        // Export lands there as well.
        fileAction(*window, "actionExport")->trigger();
        dialog = window->findChild<QFileDialog*>("exportDialog");
        QVERIFY(dialog);
        static_cast<QDialog*>(dialog)->accept();
        QCOMPARE(namesOf(library.shownEntries()), (QStringList{"P20 Lead.sav", "P20 Lead.syx"}));
    }

    // The library's Download of a file holding P20 goes to P20, after the question Menu >
    // DownLoad asks; a cancelled question sends nothing.
    void theLibraryDownloadAsksThenStoresTheEntrysPreset() {
        auto window = connectedWindow();
        QVERIFY(window);
        const auto factory = *on.device->emulator().preset(19);
        korvalen::Preset p{withZoneChannels(distinctValues(7), 5), 19};
        QVERIFY(korvalen::writeStoredPreset(libraryDir() + "/P20 Keys.sav", p));
        LibraryWindow& library = libraryWindow(*window);
        library.refresh();
        QVERIFY(library.select(libraryDir() + "/P20 Keys.sav"));
        QCOMPARE(library.targetBox()->currentData().toInt(), 19);
        auto* download = library.findChild<QPushButton*>("libraryDownload");
        QVERIFY(download);

        // Cancelled: nothing goes to the controller, and the library says so.
        on.bus->clearSent();
        download->click();
        QMessageBox* question = downloadQuestion(*window);
        QCOMPARE(question->text(), QString("Download to Korvalen,are you sure?"));
        question->button(QMessageBox::Cancel)->click();
        on.bus->quiesce();
        QVERIFY(on.bus->sent(0).empty());
        QCOMPARE(library.findChild<QLabel*>("libraryStatus")->text(),
                 QString("Nothing was downloaded."));
        QCOMPARE(*on.device->emulator().preset(19), factory);

        // OK: stored as P20.
        testdownload::Watch watch(*window);
        download->click();
        downloadQuestion(*window)->button(QMessageBox::Ok)->click();
        QVERIFY(watch.ended());
        QCOMPARE(int(Korvalen49_Test::currentPresetNumber()), 19);
        QCOMPARE(on.device->emulator().preset(19)->controls[3].cc, p.values.encoders[3].cc);
        QCOMPARE(on.device->emulator().preset(19)->globals[korvalen::global::kZoneChan],
                 std::uint8_t(5));

        // Menu > DownLoad asks the same question.
        window->findChild<QAction*>("actionDownLoad")->trigger();
        question = downloadQuestion(*window);
        QCOMPARE(question->text(), QString("Download to Korvalen,are you sure?"));
        question->button(QMessageBox::Cancel)->click();
    }

    // The user may still send an entry to another user preset than its own.
    void theTargetCanStillBeChanged() {
        auto window = connectedWindow();
        QVERIFY(window);
        korvalen::Preset p{distinctValues(3), 19};
        QVERIFY(korvalen::writeStoredPreset(libraryDir() + "/a.sav", p));
        p.presetNumber = 0; // P01 is no target: the choice stays as it was
        QVERIFY(korvalen::writeStoredPreset(libraryDir() + "/b.sav", p));
        LibraryWindow& library = libraryWindow(*window);
        library.refresh();
        QVERIFY(library.select(libraryDir() + "/a.sav"));
        QCOMPARE(library.targetBox()->currentData().toInt(), 19);
        library.targetBox()->setCurrentIndex(library.targetBox()->findData(22));
        QVERIFY(library.select(libraryDir() + "/b.sav"));
        QCOMPARE(library.targetBox()->currentData().toInt(), 22);

        testdownload::Watch watch(*window);
        QVERIFY(library.select(libraryDir() + "/a.sav"));
        library.targetBox()->setCurrentIndex(library.targetBox()->findData(22));
        library.findChild<QPushButton*>("libraryDownload")->click();
        downloadQuestion(*window)->button(QMessageBox::Ok)->click();
        QVERIFY(watch.ended());
        QCOMPARE(on.device->emulator().preset(22)->controls[3].cc, p.values.encoders[3].cc);
    }

    // Three rows chosen, one click, one undo step; undo puts all three back.
    void compareTakesSeveralRowsInOneStep() {
        auto window = connectedWindow();
        QVERIFY(window);
        korvalen::PresetValues mine = currentPresetValues();
        mine.encoders[10].chan = 0;
        mine.pads[4] = {0, 60, 0, 0, 0};
        mine.slider.cc = 7;
        applyPresetValues(mine);
        korvalen::Preset file{mine, 0};
        file.values.encoders[10].chan = 4;
        file.values.pads[4].type = 1;
        file.values.pads[4].cc = 61;
        file.values.slider.cc = 9;
        file.values.functions[2].cc = 33;
        const QString path = dir->filePath("other.sav");
        QVERIFY(korvalen::writeStoredPreset(path, file));
        QVERIFY(compareWithFile(*window, path));
        CompareWindow& compare = compareWindow(*window);
        QTreeWidget* list = compare.list();
        QCOMPARE(list->topLevelItemCount(), 5);

        QUndoStack& stack = window->editHistory().stack();
        const int steps = stack.count();
        const korvalen::PresetValues before = currentPresetValues();
        // Rows 0, 2 and 4: Ctrl-clicks, as a user chooses them.
        for (int row : {0, 2, 4}) {
            const QRect at = list->visualItemRect(list->topLevelItem(row));
            QTest::mouseClick(list->viewport(), Qt::LeftButton,
                              row == 0 ? Qt::NoModifier : Qt::ControlModifier, at.center());
        }
        QCOMPARE(list->selectedItems().size(), 3);
        auto* take = compare.findChild<QPushButton*>("takeSecond");
        QCOMPARE(take->text(), QString("Take other's 3 values"));
        QCOMPARE(take->accessibleName(), take->text());
        const std::vector<korvalen::ComparedField> shown = compare.differences();
        take->click();
        QCOMPARE(stack.count(), steps + 1);
        QCOMPARE(list->topLevelItemCount(), 2);
        korvalen::PresetValues expected = before;
        for (int row : {0, 2, 4})
            korvalen::setFieldValue(expected, shown[std::size_t(row)].field,
                                    shown[std::size_t(row)].second);
        QCOMPARE(currentPresetValues(), expected);
        window->undoSlot();
        QCOMPARE(currentPresetValues(), before);
        QCOMPARE(list->topLevelItemCount(), 5);
    }

    void compareTakesAllOfOneSide() {
        auto window = connectedWindow();
        QVERIFY(window);
        const korvalen::PresetValues before = currentPresetValues();
        korvalen::Preset file{withZoneChannels(distinctValues(4), 6), 0};
        const QString path = dir->filePath("theirs.syx");
        QVERIFY(writeBytes(path, syxOf(file.values, 16)));
        QVERIFY(compareWithFile(*window, path));
        CompareWindow& compare = compareWindow(*window);
        const int rows = compare.list()->topLevelItemCount();
        QVERIFY(rows > 20);
        auto* all = compare.findChild<QPushButton*>("takeAllSecond");
        QCOMPARE(all->text(), QString("Take all of theirs (%1 value(s))").arg(rows));
        QCOMPARE(all->accessibleName(), all->text());
        // The editor's side has no buttons: its values are there already.
        QVERIFY(compare.findChild<QPushButton*>("takeAllFirst")->isHidden());
        const int steps = window->editHistory().stack().count();
        all->click();
        QCOMPARE(window->editHistory().stack().count(), steps + 1);
        QCOMPARE(compare.list()->topLevelItemCount(), 0);
        QCOMPARE(currentPresetValues(), file.values); // the channels too: a .syx holds them
        QVERIFY(!all->isEnabled());
        window->undoSlot();
        QCOMPARE(currentPresetValues(), before);
    }
};

QTEST_MAIN(TestLibraryFiles)
#include "test_libraryfiles.moc"
