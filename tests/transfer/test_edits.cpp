// Edits that have been neither downloaded nor saved: the commands that would replace them ask
// first (and only then), undo and redo across banks and across a load, and preset files that
// come from the command line or are dropped on the window. Against the controller emulator on
// the virtual bus.
#include "boxes.h"
#include "commandline.h"
#include "edithistory.h"
#include "emulatorbus.h"
#include "helpmenu.h"
#include "korvalen49_test.h"
#include "portwatch.h"
#include "presetfile.h"
#include "presetmodel.h"
#include "searches.h"
#include "waits.h"

#include <QAction>
#include <QComboBox>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <algorithm>
#include <memory>

using korvalen::midi::Message;

namespace {

const QString kPreset0Title = QStringLiteral("Korvalen25 Editor--------P01 Korvalen");
const QString kFileTitle = QStringLiteral("Korvalen25 Editor--------P21 User P21");
const QString kUserP17Title = QStringLiteral("Korvalen25 Editor--------P17 User P17");

bool sentUploadRequest(const std::vector<Message>& sent) {
    const Message request{0xF0, 0x00, 0x20, 0x6B, 0x02, 0x05, 0x00, 0x00, 0xF7};
    return std::find(sent.begin(), sent.end(), request) != sent.end();
}

QStringList questions(const QStringList& boxes) {
    return boxes.filter(QStringLiteral("|The preset has edits"));
}

} // namespace

class TestEdits : public QObject {
    Q_OBJECT

    testsupport::EmulatorBus on;
    std::unique_ptr<Korvalen49_Test> window;
    QTemporaryDir dir;
    QString file; // a preset file: every value 0, preset number 20

    QComboBox* box(const char* name) {
        return window->findChild<QComboBox*>(QString::fromLatin1(name));
    }
    QString editNote() { return window->findChild<QLabel*>(QStringLiteral("editNote"))->text(); }
    QAction* action(const char* name) {
        return window->findChild<QAction*>(QString::fromLatin1(name));
    }
    // The entry's text as the menu shows it, without its access mark.
    QString shown(const char* name) { return helpmenu::shownText(action(name)->text()); }
    // Ctrl+Z (undo) or Ctrl+Shift+Z (redo), as the user presses them in the window.
    void pressUndo(bool redo) {
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_Z,
                        redo ? Qt::ControlModifier | Qt::ShiftModifier : Qt::ControlModifier);
    }
    // The marks of undo and redo around `box`.
    QList<QWidget*> marksOn(QComboBox* box) {
        QList<QWidget*> marks;
        for (QWidget* mark : window->findChildren<QWidget*>(QStringLiteral("changeMark")))
            if (mark->parentWidget() == box->parentWidget() &&
                mark->geometry().intersects(box->geometry()))
                marks << mark;
        return marks;
    }
    // An edit in a box, as the user makes it.
    void editE1() {
        QComboBox* e1 = box("E1_ccBox");
        e1->setCurrentIndex(e1->currentIndex() == 7 ? 8 : 7);
    }
    void sendDrag(const QString& path, bool* entered) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        const QPoint at = window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(window.get(), &enter);
        *entered = enter.isAccepted();
        if (!*entered) return;
        QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        file = dir.filePath(QStringLiteral("zeros.sav"));
        korvalen::PresetRecords records{};
        records[korvalen::presetrecord::kPresetNumber] = 20;
        const auto bytes = korvalen::buildPresetFile(records);
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    void init() {
        on.install();
        window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
        on.bus->clearSent();
    }

    void cleanup() {
        window.reset();
        on.release();
    }

    // ReConnect, Upload, Load from file and closing the window ask before they replace edits,
    // and only then; keeping the edits leaves everything as it was.
    void commandsAskBeforeEditsAreReplaced_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("edited");
        for (const char* command : {"Connection", "Upload", "Load From File", "Close"}) {
            QTest::addRow("%s, no edits", command) << QString::fromLatin1(command) << false;
            QTest::addRow("%s, edits kept", command) << QString::fromLatin1(command) << true;
        }
    }
    void commandsAskBeforeEditsAreReplaced() {
        QFETCH(QString, command);
        QFETCH(bool, edited);
        QCOMPARE(editNote(), QStringLiteral("Same as on the controller"));
        if (edited) editE1();
        QCOMPARE(editNote(), edited ? QStringLiteral("Edited: not downloaded or saved")
                                    : QStringLiteral("Same as on the controller"));
        const PresetSnapshot before = takePresetSnapshot();
        testboxes::BoxAnswerer boxes(QMessageBox::Cancel);
        if (command == QLatin1String("Connection")) window->reconnectSlot();
        QVERIFY(testsearch::ended(*window));
        if (command == QLatin1String("Upload")) window->uploadAccept();
        if (command == QLatin1String("Load From File")) window->openPresetFile(file);
        if (command == QLatin1String("Close")) window->close();
        on.bus->quiesce();

        KORVALEN_TRY_COMPARE(questions(boxes.seen).size(), edited ? 1 : 0);
        if (edited) {
            QVERIFY2(boxes.seen[0].startsWith(command + QLatin1Char('|')),
                     qPrintable(boxes.seen[0]));
            QCOMPARE(takePresetSnapshot(), before);
            QVERIFY(!sentUploadRequest(on.bus->sent(0)));
            QVERIFY(window->isVisible());
            return;
        }
        // Nothing to lose: the command goes ahead without a question.
        if (command == QLatin1String("Connection") || command == QLatin1String("Upload"))
            QVERIFY(sentUploadRequest(on.bus->sent(0)));
        if (command == QLatin1String("Load From File")) {
            KORVALEN_TRY_COMPARE(boxes.seen,
                                 QStringList{QStringLiteral("Load From File|Load OK!")});
            QCOMPARE(window->windowTitle(), kFileTitle);
        }
        if (command == QLatin1String("Close")) QVERIFY(!window->isVisible());
    }

    // A file that cannot be loaded, or an upload that cannot go out, replaces nothing: the
    // failure is told, and nothing is asked first.
    void nothingIsAskedForWhatCannotHappen() {
        editE1();
        const QString bad = dir.filePath(QStringLiteral("notes.sav"));
        QFile out(bad);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("These are notes, not a preset.");
        out.close();
        testboxes::BoxAnswerer boxes(QMessageBox::Cancel);
        QVERIFY(!window->openPresetFile(bad));
        KORVALEN_TRY_COMPARE(boxes.seen,
                             QStringList{QStringLiteral(
                                 "Load From File|File Can not be accepted!\nIt does not begin "
                                 "with \"KORVALEN25\" as a preset file does.")});

        on.bus->setPortCounts(0, 0);
        window->portWatch().poll();
        QVERIFY(testsearch::ended(*window));
        boxes.seen.clear();
        window->uploadAccept();
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        QVERIFY2(boxes.seen[0].startsWith(QStringLiteral("Upload|Upload failed: the controller is "
                                                         "gone")),
                 qPrintable(boxes.seen[0]));
    }

    // Every box change is a step, in whichever bank; undoing a change of another bank puts its
    // value back and shows it when that bank is selected again; a load is one step. Nothing of
    // it reaches the controller.
    void undoAndRedoAcrossBanksAndALoad() {
        QComboBox* bank = box("BankBox");
        QComboBox* e1 = box("E1_ccBox");
        // The keys, as the user presses them in the window.
        auto press = [&](Qt::KeyboardModifiers modifiers) {
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
            QTest::keyClick(window.get(), Qt::Key_Z, modifiers);
        };
        auto undo = [&] { press(Qt::ControlModifier); };
        auto redo = [&] { press(Qt::ControlModifier | Qt::ShiftModifier); };
        const quint8 bank2 = item_En[1][0].GetCC(), bank3 = item_En[2][0].GetCC();
        const int bank1 = e1->currentIndex();
        bank->setCurrentIndex(1);
        e1->setCurrentIndex(bank2 == 50 ? 51 : 50);
        const quint8 bank2Edit = item_En[1][0].GetCC();
        bank->setCurrentIndex(2);
        e1->setCurrentIndex(bank3 == 60 ? 61 : 60);
        bank->setCurrentIndex(0);
        QCOMPARE(shown("actionUndo"), QStringLiteral("Undo E1, bank 3"));
        // In a menu of its own after the menus of the form.
        QStringList menus;
        for (QAction* menu : window->menuBar()->actions())
            menus << helpmenu::shownText(menu->text());
        QCOMPARE(menus, (QStringList{"Menu", "File", "Firmware", "Edit", "Library", "Diagnostics",
                                     "Help"}));
        QCOMPARE(action("actionUndo")->parent()->objectName(), QStringLiteral("menuEdit"));

        // Undo shows the bank of the value it puts back.
        undo();
        QCOMPARE(item_En[2][0].GetCC(), bank3);
        QCOMPARE(item_En[1][0].GetCC(), bank2Edit);
        QCOMPARE(bank->currentIndex(), 2);
        QCOMPARE(e1->currentIndex(), int{bank3});
        bank->setCurrentIndex(0);
        QCOMPARE(e1->currentIndex(), bank1);
        undo();
        QCOMPARE(item_En[1][0].GetCC(), bank2);
        QCOMPARE(editNote(), QStringLiteral("Same as on the controller"));
        // The upload of preset 0 at start-up is where the history begins.
        QVERIFY(!action("actionUndo")->isEnabled());
        QCOMPARE(shown("actionUndo"), QStringLiteral("Undo"));
        redo();
        QCOMPARE(item_En[1][0].GetCC(), bank2Edit);
        bank->setCurrentIndex(1);
        QCOMPARE(e1->currentIndex(), int{bank2Edit});
        QCOMPARE(editNote(), QStringLiteral("Edited: not downloaded or saved"));

        // A load: one step back to everything before it, one forward to the file.
        const PresetSnapshot beforeLoad = takePresetSnapshot();
        {
            testboxes::BoxAnswerer boxes(QMessageBox::Discard);
            QVERIFY(window->openPresetFile(file));
            // The question, then the load's report.
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 2);
        }
        const PresetSnapshot loaded = takePresetSnapshot();
        QCOMPARE(window->windowTitle(), kFileTitle);
        QCOMPARE(editNote(), QStringLiteral("Same as zeros.sav"));
        undo();
        QCOMPARE(takePresetSnapshot(), beforeLoad);
        QCOMPARE(window->windowTitle(), kPreset0Title);
        QCOMPARE(e1->currentIndex(), int{bank2Edit});
        redo();
        QCOMPARE(takePresetSnapshot(), loaded);
        QCOMPARE(window->windowTitle(), kFileTitle);

        on.bus->quiesce();
        QVERIFY(on.bus->sent(0).empty());
    }

    // The history goes on from where undo or redo left the preset: an edit made then is one
    // step from there, and undoing it comes back there, with the note there had.
    void editAfterUndoOrRedoStepsFromThere_data() {
        QTest::addColumn<QStringList>("edits"); // boxes changed first, in order
        QTest::addColumn<QString>("moves");     // then u (undo) and r (redo)
        QTest::addColumn<QString>("last");      // the box changed then
        QTest::addColumn<QString>("note");      // the note where the moves end
        const QString same = QStringLiteral("Same as on the controller");
        const QString edited = QStringLiteral("Edited: not downloaded or saved");
        QTest::newRow("the same edit again after undo") << QStringList{"E1_ccBox"} << "u"
                                                        << "E1_ccBox" << same;
        QTest::newRow("another box after undo") << QStringList{"E1_ccBox"} << "u"
                                                << "E3_ccBox" << same;
        QTest::newRow("another box after redo") << QStringList{"E1_ccBox", "E2_ccBox"} << "uur"
                                                << "E3_ccBox" << edited;
    }
    void editAfterUndoOrRedoStepsFromThere() {
        QFETCH(QStringList, edits);
        QFETCH(QString, moves);
        QFETCH(QString, last);
        QFETCH(QString, note);
        auto change = [&](const QString& name) {
            QComboBox* b = window->findChild<QComboBox*>(name);
            QVERIFY(b);
            b->setCurrentIndex(b->currentIndex() == 7 ? 8 : 7);
        };
        for (const QString& name : edits)
            change(name);
        QUndoStack& stack = window->editHistory().stack();
        for (QChar move : moves)
            if (move == u'u')
                stack.undo();
            else
                stack.redo();
        const PresetSnapshot there = takePresetSnapshot();
        QCOMPARE(editNote(), note);
        change(last);
        QVERIFY(takePresetSnapshot() != there);
        QCOMPARE(editNote(), QStringLiteral("Edited: not downloaded or saved"));
        QVERIFY(stack.canUndo());
        stack.undo();
        QCOMPARE(takePresetSnapshot(), there);
        QCOMPARE(editNote(), note);
    }

    // The history begins with preset 0 as uploaded at start-up: there is nothing to undo, and
    // Ctrl+Z leaves its values. A later upload is a step, and undo and redo bring back the
    // preset number in the title with the values.
    void historyBeginsWithTheUploadedPreset() {
        // A window made while the model holds other values than the controller's preset 0.
        window.reset();
        item_En[0][0].SetCC(item_En[0][0].GetCC() == 5 ? 6 : 5);
        zone_Zn[1].SetOct(zone_Zn[1].GetOct() == 2 ? 3 : 2);
        korvalen::presetGlobals[0] = 20;
        const PresetSnapshot blank = takePresetSnapshot();
        window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
        const PresetSnapshot first = takePresetSnapshot();
        QVERIFY(first != blank);
        QVERIFY(!window->editHistory().stack().canUndo());
        QVERIFY(!action("actionUndo")->isEnabled());
        pressUndo(false);
        QCOMPARE(takePresetSnapshot(), first);
        QCOMPARE(window->windowTitle(), kPreset0Title);

        window->uploadForm().presetSelBox->setCurrentIndex(1); // User P17, device preset 16
        window->uploadAccept();
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
        const PresetSnapshot uploaded = takePresetSnapshot();
        QCOMPARE(window->windowTitle(), kUserP17Title);
        QCOMPARE(shown("actionUndo"), QStringLiteral("Undo Upload"));
        pressUndo(false);
        QCOMPARE(takePresetSnapshot(), first);
        QCOMPARE(window->windowTitle(), kPreset0Title);
        QVERIFY(!action("actionUndo")->isEnabled());
        pressUndo(true);
        QCOMPARE(takePresetSnapshot(), uploaded);
        QCOMPARE(window->windowTitle(), kUserP17Title);
    }

    // Without a controller the empty preset is the first state; a load is a step from it.
    void historyBeginsWithTheEmptyPresetWithoutAController() {
        window.reset();
        on.release();
        on.install();
        on.bus->setPortCounts(0, 0);
        {
            testboxes::BoxAnswerer boxes; // "Connect Error!"
            window = std::make_unique<Korvalen49_Test>();
            window->show();
            QVERIFY(testsearch::ended(*window));
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
            KORVALEN_TRY_COMPARE(boxes.seen,
                                 QStringList{QStringLiteral("Connection|Connect Error!")});
        }
        const PresetSnapshot first = takePresetSnapshot();
        QVERIFY(!window->editHistory().stack().canUndo());
        {
            testboxes::BoxAnswerer boxes;
            QVERIFY(window->openPresetFile(file));
            KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        }
        QCOMPARE(window->windowTitle(), kFileTitle);
        QCOMPARE(shown("actionUndo"), QStringLiteral("Undo Load from file"));
        pressUndo(false);
        QCOMPARE(takePresetSnapshot(), first);
        QCOMPARE(window->windowTitle(), kPreset0Title);
        QVERIFY(!action("actionUndo")->isEnabled());
    }

    // Where a step is shown: the group, bank and boxes of the one control that differs.
    void changedPlaceNamesTheControl_data() {
        using Group = EditHistory::Place::Group;
        QTest::addColumn<int>("change"); // the row's edit, below
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("group");
        QTest::addColumn<int>("bank");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("nothing") << 0 << false << 0 << 0 << QStringList();
        QTest::newRow("slider number")
            << 1 << true << int(Group::Slider) << -1 << QStringList{"S1_ccBox"};
        QTest::newRow("E5 of bank 3, channel and port")
            << 2 << true << int(Group::Encoder) << 2 << QStringList{"E5_ChBox", "E5_PortBox"};
        QTest::newRow("F2 of bank 4, type and mode")
            << 3 << true << int(Group::Function) << 3 << QStringList{"F2_typeBox", "F2_modeBox"};
        QTest::newRow("P3 of bank B")
            << 4 << true << int(Group::Pad) << 1 << QStringList{"P3_ccBox"};
        QTest::newRow("PLAY") << 5 << true << int(Group::Transport) << -1
                              << QStringList{"Z4_PortBox"};
        QTest::newRow("zone 3 octave and status")
            << 6 << true << int(Group::Zone) << -1 << QStringList{"zone3Sta", "zone3Oct"};
        QTest::newRow("zone 1 status: no box")
            << 7 << true << int(Group::Zone) << -1 << QStringList();
        QTest::newRow("two controls") << 8 << false << 0 << 0 << QStringList();
    }
    void changedPlaceNamesTheControl() {
        QFETCH(int, change);
        QFETCH(bool, found);
        PresetSnapshot before;
        PresetSnapshot after;
        korvalen::PresetValues& v = after.values;
        switch (change) {
        case 1:
            v.slider.cc = 9;
            break;
        case 2:
            v.encoders[8 * 2 + 4].chan = 3;
            v.encoders[8 * 2 + 4].port = 2;
            break;
        case 3:
            v.functions[4 * 3 + 1].type = 1;
            v.functions[4 * 3 + 1].mode = 1;
            break;
        case 4:
            v.pads[4 + 2].cc = 40;
            break;
        case 5:
            v.transport[3].port = 4;
            break;
        case 6:
            v.zones[2].oct = 2;
            v.zones[2].status = 1;
            break;
        case 7:
            v.zones[0].status = 1;
            break;
        case 8:
            v.encoders[0].cc = 1;
            v.pads[0].cc = 1;
            break;
        }
        const auto place = EditHistory::changedPlace(before, after);
        QCOMPARE(place.has_value(), found);
        if (!found) return;
        QFETCH(int, group);
        QFETCH(int, bank);
        QFETCH(QStringList, boxes);
        QCOMPARE(int(place->group), group);
        QCOMPARE(place->bank, bank);
        QCOMPARE(place->boxes, boxes);
    }

    // Undo and redo show the page and the bank of the control they change, wherever the window
    // is, and mark the boxes they changed for a moment.
    void undoAndRedoShowWhatTheyChange_data() {
        QTest::addColumn<QString>("boxName");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("bankBox"); // empty: a control without banks
        QTest::addColumn<int>("bank");
        QTest::newRow("encoder, bank 3") << "E5_ChBox" << 0 << "BankBox" << 2;
        QTest::newRow("function button, bank 4") << "F2_PortBox" << 1 << "BankBox" << 3;
        QTest::newRow("pad, bank B") << "P3_modeBox" << 2 << "PadBankBox" << 1;
        QTest::newRow("transport") << "Z4_ChBox" << 3 << "" << -1;
        QTest::newRow("slider") << "S1_PortBox" << 4 << "" << -1;
        QTest::newRow("zone 2") << "zone2Oct" << 5 << "" << -1;
    }
    void undoAndRedoShowWhatTheyChange() {
        QFETCH(QString, boxName);
        QFETCH(int, page);
        QFETCH(QString, bankBox);
        QFETCH(int, bank);
        window->buildAllPages();
        auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
        QComboBox* banks = bankBox.isEmpty() ? nullptr : box(qPrintable(bankBox));
        QComboBox* target = box(qPrintable(boxName));
        QVERIFY(target);
        // Elsewhere: another page, and the first bank of both selectors.
        auto goElsewhere = [&] {
            tabs->setCurrentIndex(page == 0 ? 1 : 0);
            box("BankBox")->setCurrentIndex(0);
            box("PadBankBox")->setCurrentIndex(0);
        };
        tabs->setCurrentIndex(page);
        if (banks) banks->setCurrentIndex(bank);
        const int before = target->currentIndex();
        const int edited = (before + 1) % target->count();
        target->setCurrentIndex(edited);

        for (const bool forward : {false, true}) {
            goElsewhere();
            QVERIFY(marksOn(target).isEmpty());
            pressUndo(forward);
            QVERIFY2(tabs->currentIndex() == page,
                     qPrintable(window->statusBar()->currentMessage()));
            if (banks) QCOMPARE(banks->currentIndex(), bank);
            QVERIFY(target->isVisible());
            QCOMPARE(target->currentIndex(), forward ? edited : before);
            // The changed box, and only it, is marked; the mark goes after a while.
            const QList<QWidget*> marks = marksOn(target);
            QCOMPARE(marks.size(), 1);
            QVERIFY(marks.front()->isVisible());
            QVERIFY(marks.front()->geometry().contains(target->geometry()));
            QCOMPARE(window->findChildren<QWidget*>(QStringLiteral("changeMark")).size(), 1);
            KORVALEN_TRY_VERIFY(
                window->findChildren<QWidget*>(QStringLiteral("changeMark")).isEmpty());
        }
    }

    // A file named on the command line opens as "Load from file" does, with its box.
    void fileFromTheCommandLineLoads() {
        QCommandLineParser parser;
        korvalen::editor::addOptions(parser);
        korvalen::editor::CommandLine line;
        QString error;
        QVERIFY(korvalen::editor::parse(parser, {QStringLiteral("korvalen25-editor"), file}, &line,
                                        &error));
        testboxes::BoxAnswerer boxes;
        QVERIFY(window->openPresetFile(line.presetFile));
        KORVALEN_TRY_COMPARE(boxes.seen, QStringList{QStringLiteral("Load From File|Load OK!")});
        QCOMPARE(window->windowTitle(), kFileTitle);
    }

    // A dropped file is judged by its content: a preset loads whatever its name; another file
    // is not taken, unless it is named as a preset, when the box says why it is none.
    void droppedFilesAreJudgedByTheirContent_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("preset");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QString>("box");
        const QString loaded = QStringLiteral("Load From File|Load OK!");
        QTest::newRow("preset.sav") << "dropped.sav" << true << true << loaded;
        QTest::newRow("preset without suffix") << "dropped" << true << true << loaded;
        QTest::newRow("preset named .txt") << "dropped.txt" << true << true << loaded;
        QTest::newRow("text named .txt") << "notes.txt" << false << false << QString();
        QTest::newRow("text without suffix") << "notes" << false << false << QString();
        QTest::newRow("text named .sav")
            << "notes.sav" << false << true
            << "Load From File|File Can not be accepted!\nIt does not begin with \"KORVALEN25\" "
               "as a preset file does.";
    }
    void droppedFilesAreJudgedByTheirContent() {
        QFETCH(QString, name);
        QFETCH(bool, preset);
        QFETCH(bool, taken);
        QFETCH(QString, box);
        const QString path = dir.filePath(name);
        QFile::remove(path);
        if (preset) {
            QVERIFY(QFile::copy(file, path));
        } else {
            QFile out(path);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("Notes for the gig: lead on P21, pads on P23.\n");
        }
        testboxes::BoxAnswerer boxes;
        bool entered = !taken;
        sendDrag(path, &entered);
        QCOMPARE(entered, taken);
        if (preset) KORVALEN_TRY_COMPARE(window->windowTitle(), kFileTitle);
        if (!box.isEmpty()) KORVALEN_TRY_COMPARE(boxes.seen, QStringList{box});
        if (!preset) QCOMPARE(window->windowTitle(), kPreset0Title);
        if (box.isEmpty()) {
            QCoreApplication::processEvents();
            QVERIFY(boxes.seen.isEmpty());
        }
    }

    // A file named on the command line is judged by its content too.
    void presetWithoutSuffixFromTheCommandLineLoads() {
        const QString path = dir.filePath(QStringLiteral("lead"));
        QFile::remove(path);
        QVERIFY(QFile::copy(file, path));
        testboxes::BoxAnswerer boxes;
        QVERIFY(window->openPresetFile(path));
        KORVALEN_TRY_COMPARE(boxes.seen, QStringList{QStringLiteral("Load From File|Load OK!")});
        QCOMPARE(window->windowTitle(), kFileTitle);
    }
};

QTEST_MAIN(TestEdits)
#include "test_edits.moc"
