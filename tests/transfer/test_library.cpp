// The library and the comparisons in the window: the snapshot a download takes first (and the
// question when it cannot), the library's list and filter, and the compare window with the
// value taken from one side as one undo step.
#include "boxes.h"
#include "comparewindow.h"
#include "downloads.h"
#include "edithistory.h"
#include "emulatorbus.h"
#include "helpmenu.h"
#include "korvalen49_test.h"
#include "librarywindow.h"
#include "presethistory.h"
#include "searches.h"
#include "waits.h"

#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using korvalen::midi::Message;

namespace {

// A controller that answers no upload request while `deaf` is set.
class DeafToUploads final : public korvalen::midi::VirtualDevice {
public:
    std::shared_ptr<korvalen::midi::EmulatorDevice> inner =
        std::make_shared<korvalen::midi::EmulatorDevice>();
    bool deaf = false;
    std::vector<Message> receive(const Message& m) override {
        if (deaf && m.size() == 9 && m[5] == 0x05) return {};
        return inner->receive(m);
    }
};

QStringList rowsOf(const QTreeWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < list->columnCount(); ++c)
            cells << list->topLevelItem(i)->text(c);
        rows << cells.join('|');
    }
    return rows;
}

QStringList namesOf(const QList<LibraryWindow::Entry>& entries) {
    QStringList names;
    for (const auto& e : entries)
        names << e.name;
    return names;
}

} // namespace

class TestLibrary : public QObject {
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

    QString historyDir() const { return dir->filePath("history"); }
    // The controller on the virtual bus is a simulated one: its snapshots are kept apart.
    static korvalen::PresetHistory simulatedHistory() {
        return korvalen::PresetHistory(korvalen::PresetHistory::defaultFolder(), true);
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        qputenv("KORVALEN_HISTORY_DIR", historyDir().toUtf8());
        // The trash goes by HOME and XDG_DATA_HOME: both in the test's folder, so that a
        // library Delete leaves nothing outside it.
        qputenv("HOME", dir->path().toUtf8());
        qputenv("XDG_DATA_HOME", dir->filePath("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", dir->filePath("config").toUtf8());
        on.install();
    }
    void cleanup() { on.release(); }

    void theMenuComesAfterEdit() {
        auto window = connectedWindow();
        QStringList titles;
        for (QAction* a : window->menuBar()->actions())
            titles << helpmenu::shownText(a->text());
        const auto edit = titles.indexOf("Edit");
        QVERIFY(edit > titles.indexOf("Firmware"));
        QCOMPARE(titles.value(edit + 1), QString("Library"));
    }

    void downloadKeepsWhatItReplaces() {
        auto window = connectedWindow();
        const auto before = korvalen::sim::encodeSav(on.device->emulator().savOf(0));
        item_En[1][2].SetChan(9);
        QVERIFY(window->download());
        QVERIFY(testdownload::awaited(*window));
        const auto list = simulatedHistory().list(0);
        QCOMPARE(list.size(), qsizetype(1));
        QFile file(list.front().path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(reinterpret_cast<const char*>(before.data()),
                                            qsizetype(before.size())));
        QCOMPARE(on.device->emulator().savOf(0).controls[8 + 2].chan, std::uint8_t(9));
    }

    // No snapshot, no download: the question comes, without waiting for its answer, and the
    // download goes out only when the user says so.
    void aSnapshotThatCannotBeReadAsksFirst() {
        auto deaf = std::make_shared<DeafToUploads>();
        on.bus->detachAll();
        on.bus->attach(0, 0, deaf);
        on.device = deaf->inner;
        auto window = connectedWindow();
        item_S1.SetCC(77);
        deaf->deaf = true;
        on.bus->clearSent();
        QVERIFY(window->download());
        QVERIFY(!testdownload::awaited(*window));
        QMessageBox* box = window->snapshotQuestion();
        QVERIFY(box != nullptr);
        QVERIFY(box->isVisible());
        QVERIFY2(box->text().contains("P1 could not be kept as a snapshot"),
                 qPrintable(box->text()));
        on.bus->quiesce();
        for (const Message& m : on.bus->sent(0))
            QCOMPARE(m[5], std::uint8_t(0x05)); // the requests only: nothing was downloaded
        QVERIFY(deaf->inner->emulator().savOf(0).controls[61].cc != 77);

        deaf->deaf = false; // the read-back can be answered
        QSignalSpy finished(window.get(), &Korvalen49_Test::downloadFinished);
        box->findChild<QPushButton*>("downloadWithoutSnapshot")->click();
        KORVALEN_TRY_COMPARE(finished.size(), 1);
        QVERIFY(finished.first().first().toBool());
        QCOMPARE(deaf->inner->emulator().savOf(0).controls[61].cc, std::uint8_t(77));
        QVERIFY(simulatedHistory().list(0).isEmpty());
    }

    void theLibraryListsFiltersAndFollowsItsFolder() {
        auto window = connectedWindow();
        const QString folder = dir->filePath("library");
        QVERIFY(QDir().mkpath(folder));
        korvalen::Preset p;
        p.presetNumber = 16;
        QVERIFY(korvalen::writeStoredPreset(folder + "/Lead.sav", p));
        p.presetNumber = 19;
        QVERIFY(korvalen::writeStoredPreset(folder + "/bass.sav", p));
        QFile junk(folder + "/junk.sav");
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("no preset");
        junk.close();
        const QString snapshot =
            korvalen::PresetHistory().store(p, 19, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        QVERIFY(!snapshot.isEmpty());

        LibraryWindow& library = libraryWindow(*window);
        library.setFolder(folder);
        QCOMPARE(namesOf(library.shownEntries()),
                 (QStringList{"bass", "junk", "Lead", "P20-20260102-030405"}));
        QCOMPARE(library.list()->item(0, 1)->text(), QString("P20"));
        QCOMPARE(library.list()->item(1, 3)->text(), QString("Not a preset"));
        QCOMPARE(library.list()->item(3, 3)->text(), QString("Snapshot"));
        library.filterBox()->setText("p20");
        QCOMPARE(namesOf(library.shownEntries()), (QStringList{"bass", "P20-20260102-030405"}));
        library.filterBox()->setText("snapshot");
        QCOMPARE(namesOf(library.shownEntries()), (QStringList{"P20-20260102-030405"}));
        library.filterBox()->clear();

        // Files that appear and go are seen without asking.
        p.presetNumber = 0;
        QVERIFY(korvalen::writeStoredPreset(folder + "/pad.sav", p));
        KORVALEN_TRY_VERIFY(namesOf(library.shownEntries()).contains("pad"));
        QVERIFY(QFile::remove(folder + "/junk.sav"));
        KORVALEN_TRY_VERIFY(!namesOf(library.shownEntries()).contains("junk"));
        // The last row stays chosen while the rows before it go: the list is read again with
        // fewer entries than the rows pointed into.
        QVERIFY(library.select(snapshot));
        QVERIFY(QFile::remove(folder + "/bass.sav"));
        QVERIFY(QFile::remove(folder + "/Lead.sav"));
        library.refresh();
        QCOMPARE(namesOf(library.shownEntries()), (QStringList{"pad", "P20-20260102-030405"}));
        QVERIFY(library.selectedEntry() != nullptr);
        QCOMPARE(library.selectedEntry()->name, QString("P20-20260102-030405"));

        // Save, rename and delete, each file with the zone channels beside it.
        zone_Zn[1].SetChan(5);
        QVERIFY(library.saveCurrent("mine"));
        QVERIFY(QFile::exists(folder + "/mine.zones.json"));
        QCOMPARE(library.selectedEntry()->name, QString("mine"));
        QVERIFY(!library.saveCurrent("mine")); // taken
        QVERIFY(library.renameSelected("yours"));
        QVERIFY(QFile::exists(folder + "/yours.sav"));
        QVERIFY(QFile::exists(folder + "/yours.zones.json"));
        QVERIFY(!QFile::exists(folder + "/mine.sav"));
        // To the trash; where there is none, deleted when the user says so.
        library.deleteSelected();
        if (auto* q = library.findChild<QMessageBox*>("libraryDeleteQuestion"))
            q->button(QMessageBox::Yes)->click();
        KORVALEN_TRY_VERIFY(!QFile::exists(folder + "/yours.sav"));
        QVERIFY(!QFile::exists(folder + "/yours.zones.json"));
        // Both in the user's trash (its data folder did not exist yet), none beside the test.
        QVERIFY(QFile::exists(dir->filePath("data/Trash/files/yours.sav")));
        QVERIFY(QFile::exists(dir->filePath("data/Trash/files/yours.zones.json")));
        QVERIFY(!QFileInfo::exists(QDir::current().filePath("files/yours.sav")));

        // A file without channels renamed to a name whose old channels file is still there:
        // those channels do not become the renamed preset's.
        QVERIFY(korvalen::writeStoredPreset(folder + "/plain.sav", p));
        QVERIFY(QFile::remove(folder + "/plain.zones.json"));
        QVERIFY(korvalen::writeStoredPreset(folder + "/gone.sav", p));
        QVERIFY(QFile::remove(folder + "/gone.sav"));
        library.refresh();
        QVERIFY(library.select(folder + "/plain.sav"));
        QVERIFY(library.renameSelected("gone"));
        QVERIFY(QFile::exists(folder + "/gone.sav"));
        QVERIFY(!QFile::exists(folder + "/gone.zones.json"));
    }

    // A snapshot taken from another controller goes to the one connected only when the user
    // says so.
    void aSnapshotOfAnotherControllerIsAskedAbout() {
        auto window = connectedWindow();
        const std::uint8_t before = on.device->emulator().preset(20)->controls[5].cc;
        korvalen::Preset p{currentPresetValues(), 20};
        p.values.encoders[5].cc = std::uint8_t(before == 72 ? 73 : 72);
        const QString path =
            korvalen::PresetHistory().store(p, 20, QDateTime::currentDateTime(), nullptr, {},
                                            {"Korvalen25:Korvalen25 MIDI 1 24:0", "alsa", false});
        QVERIFY(!path.isEmpty());
        LibraryWindow& library = libraryWindow(*window);
        library.refresh();
        QVERIFY(library.select(path));
        QVERIFY(library.downloadSelected(20));
        // First the question Menu > DownLoad asks, then the one about the other controller.
        auto* asked = window->findChild<QMessageBox*>("downloadQuestion");
        QVERIFY(asked);
        asked->button(QMessageBox::Ok)->click();
        auto* question = library.findChild<QMessageBox*>("libraryOtherControllerQuestion");
        QVERIFY(question);
        QVERIFY2(question->text().contains("Korvalen25 MIDI 1"), qPrintable(question->text()));
        QCOMPARE(on.device->emulator().preset(20)->controls[5].cc, before);
        question->button(QMessageBox::Yes)->click();
        QVERIFY(testdownload::awaited(*window));
        QCOMPARE(on.device->emulator().preset(20)->controls[5].cc, p.values.encoders[5].cc);
    }

    // A library file goes to the chosen user preset through the editor, with its zone channels
    // and the snapshot of what it replaces.
    void aLibraryFileIsDownloadedToTheChosenPreset() {
        auto window = connectedWindow();
        const QString folder = dir->filePath("library");
        QVERIFY(QDir().mkpath(folder));
        korvalen::Preset p{currentPresetValues(), 16};
        p.values.encoders[5].cc = 71;
        p.values.zones[0].chan = 6;
        QVERIFY(korvalen::writeStoredPreset(folder + "/strings.sav", p));
        const auto before = korvalen::sim::encodeSav(on.device->emulator().savOf(20));
        LibraryWindow& library = libraryWindow(*window);
        library.setFolder(folder);
        QVERIFY(library.select(folder + "/strings.sav"));
        item_S1.SetCC(3); // an edit not downloaded: the editor asks before it is replaced
        testdownload::Watch download(*window);
        // First the question Menu > DownLoad asks; then, for the edits, the editor's.
        QVERIFY(library.downloadSelected(20));
        auto* asked = window->findChild<QMessageBox*>("downloadQuestion");
        QVERIFY(asked);
        asked->button(QMessageBox::Ok)->click();
        {
            testboxes::BoxAnswerer boxes(QMessageBox::Discard);
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        }
        QVERIFY(download.ended());
        QCOMPARE(Korvalen49_Test::currentPresetNumber(), 20);
        const auto stored = on.device->emulator().preset(20);
        QCOMPARE(stored->controls[5].cc, std::uint8_t(71));
        QCOMPARE(stored->globals[korvalen::global::kZoneChan], std::uint8_t(6));
        const auto kept = simulatedHistory().latest(20);
        QVERIFY(kept.has_value());
        QFile file(kept->path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(reinterpret_cast<const char*>(before.data()),
                                            qsizetype(before.size())));
        // The snapshot shows up in the list by itself.
        KORVALEN_TRY_VERIFY(
            namesOf(library.shownEntries()).contains(kept->path.section('/', -1).chopped(4)));
    }

    void comparingAPairListsItsDifferencesAndTakesOneValue() {
        auto window = connectedWindow();
        item_En[1][2].SetChan(0);
        item_Pn[1][0].SetType(0);
        item_Pn[1][0].SetCC(60);
        korvalen::Preset file{currentPresetValues(), 0};
        file.values.encoders[8 + 2].chan = 4;
        file.values.pads[4].type = 1;
        file.values.pads[4].cc = 61;
        const QString path = dir->filePath("other.sav");
        QVERIFY(korvalen::writeStoredPreset(path, file));
        QFile::remove(korvalen::zoneChannelsPath(path)); // as a plain preset file

        QVERIFY(compareWithFile(*window, path));
        CompareWindow& compare = compareWindow(*window);
        QVERIFY(compare.isVisible());
        QCOMPARE(rowsOf(compare.list()),
                 (QStringList{"E3|BANK 2|channel|Ch1|Ch5", "P1|B|type|Control|Note",
                              "P1|B|number|60  Undefined|61    C#4"}));
        QCOMPARE(compare.list()->headerItem()->text(3), QString("Editor"));
        QCOMPARE(compare.list()->headerItem()->text(4), QString("other"));

        QUndoStack& stack = window->editHistory().stack();
        const int steps = stack.count();
        QVERIFY(compare.takeValue(0, 1));
        QCOMPARE(item_En[1][2].GetChan(), quint8(4));
        QCOMPARE(stack.count(), steps + 1);
        QCOMPARE(compare.list()->topLevelItemCount(), 2); // the editor's side follows
        window->undoSlot();
        QCOMPARE(item_En[1][2].GetChan(), quint8(0));
        QCOMPARE(stack.count(), steps + 1);
        QCOMPARE(stack.index(), steps);
    }

    void compareWithTheControllerShowsWhatADownloadWouldChange() {
        auto window = connectedWindow();
        item_Zoudai[4].SetMode(1 - item_Zoudai[4].GetMode());
        zone_Zn[2].SetChan(11);
        QVERIFY(compareWithController(*window));
        CompareWindow& compare = compareWindow(*window);
        KORVALEN_TRY_VERIFY(compare.isVisible());
        const QStringList rows = rowsOf(compare.list());
        QCOMPARE(rows.size(), 2);
        QVERIFY2(rows[0].startsWith("REC||mode|"), qPrintable(rows[0]));
        QVERIFY2(rows[1].startsWith("Zone3||channel|Ch12|"), qPrintable(rows[1]));
        QCOMPARE(compare.list()->headerItem()->text(4), QString("P01 on the controller"));
    }
};

QTEST_MAIN(TestLibrary)
#include "test_library.moc"
