// The keys of the editor window: the shortcuts and menu entries reach the right commands (Save,
// Load, Quit through the window's close, the Help menu's windows), every menu and entry has an
// access letter while its shown text stays as it was, Quit ends "Menu" and Help ends the bar.
// Against the controller emulator on the virtual bus, so that the editor holds preset 0 and
// an edit in a box is an unsent edit.
#include "emulatorbus.h"
#include "helpmenu.h"
#include "korvalen49_test.h"
#include "rtmidibackend.h"
#include "searches.h"
#include "waits.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {

QMenu* menuShown(QMenuBar* bar, const QString& title) {
    for (QAction* a : bar->actions())
        if (a->menu() && helpmenu::shownText(a->text()) == title) return a->menu();
    return nullptr;
}

QAction* entryShown(QMenu* menu, const QString& text) {
    if (menu == nullptr) return nullptr;
    for (QAction* a : menu->actions())
        if (helpmenu::shownText(a->text()) == text) return a;
    return nullptr;
}

QStringList texts(const QList<QAction*>& actions, bool shown) {
    QStringList list;
    for (const QAction* a : actions)
        if (!a->isSeparator()) list << (shown ? helpmenu::shownText(a->text()) : a->text());
    return list;
}

QWidget* shownWindowNamed(const QString& objectName) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == objectName) return w;
    return nullptr;
}

} // namespace

class KeysTest : public QObject {
    Q_OBJECT

    testsupport::EmulatorBus on;
    std::unique_ptr<Korvalen49_Test> window;

    QString editNote() { return window->findChild<QLabel*>(QStringLiteral("editNote"))->text(); }
    // An edit in a box, as the user makes it.
    void editE1() {
        auto* e1 = window->findChild<QComboBox*>(QStringLiteral("E1_ccBox"));
        e1->setCurrentIndex(e1->currentIndex() == 7 ? 8 : 7);
    }

private slots:
    void initTestCase() {
        QCoreApplication::setApplicationVersion(QStringLiteral("7.3.1"));
        QApplication::setStyle(QStringLiteral("Fusion"));
    }

    void init() {
        on.install();
        window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(testsearch::ended(*window));
        KORVALEN_TRY_VERIFY(!window->isUploadPending());
        QCOMPARE(editNote(), QStringLiteral("Same as on the controller"));
    }

    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != window.get() && w->isVisible()) w->close();
        window.reset();
        on.release();
    }

    void accessLetters_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("taken"); // letters other entries of the menu have
        QTest::addColumn<QString>("marked");
        QTest::addColumn<QString>("letter");
        QTest::addColumn<QString>("shown");
        const auto row = [](const char* name, const char* text, const char* taken,
                            const char* marked, const char* letter, const char* shown) {
            QTest::newRow(name) << QString::fromUtf8(text) << QString::fromUtf8(taken)
                                << QString::fromUtf8(marked) << QString::fromUtf8(letter)
                                << QString::fromUtf8(shown);
        };
        row("first letter", "Menu", "", "&Menu", "m", "Menu");
        row("first taken", "Firmware", "f", "F&irmware", "i", "Firmware");
        row("capitalised word first", "Compare with File...", "c", "Compare with &File...", "f",
            "Compare with File...");
        row("any word then", "Save to file", "s", "Save &to file", "t", "Save to file");
        row("kept", "&Undo", "u", "&Undo", "u", "Undo");
        row("plain ampersand", "Save && Load", "s", "Save && &Load", "l", "Save & Load");
        row("all taken", "Ab", "ab", "Ab", "", "Ab");
        row("ellipsis", "Report a Problem…", "", "&Report a Problem…", "r", "Report a Problem…");
    }
    void accessLetters() {
        QFETCH(QString, text);
        QFETCH(QString, taken);
        QFETCH(QString, marked);
        QFETCH(QString, letter);
        QFETCH(QString, shown);
        QSet<QChar> letters;
        for (QChar c : taken)
            letters.insert(c);
        const QString result = helpmenu::withAccessLetter(text, letters);
        QCOMPARE(result, marked);
        QCOMPARE(helpmenu::shownText(result), shown);
        const QChar got = helpmenu::accessLetter(result);
        QCOMPARE(got.isNull() ? QString() : QString(got), letter);
    }

    // The bar keeps its menus' texts and order, with Help last; each title and each entry has
    // an access letter of its own within its menu; Quit ends "Menu".
    void menusAndAccessLetters() {
        QMenuBar* bar = window->menuBar();
        QCOMPARE(texts(bar->actions(), false), (QStringList{"&Menu", "&File", "F&irmware", "&Edit",
                                                            "&Library", "&Diagnostics", "&Help"}));
        QCOMPARE(texts(bar->actions(), true), (QStringList{"Menu", "File", "Firmware", "Edit",
                                                           "Library", "Diagnostics", "Help"}));
        QCOMPARE(texts(menuShown(bar, QStringLiteral("Menu"))->actions(), true),
                 (QStringList{"Upload", "DownLoad", "ReConnect", "MIDI Ports", "Quit"}));
        QCOMPARE(texts(menuShown(bar, QStringLiteral("Help"))->actions(), true),
                 (QStringList{"Keyboard Shortcuts", "Report a Problem…", "About"}));
        QCOMPARE(
            texts(menuShown(bar, QStringLiteral("File"))->actions(), true),
            (QStringList{"Save to file", "Load from file", "Export .syx...", "Import .syx..."}));
        QStringList missing;
        for (QAction* title : bar->actions()) {
            QSet<QChar> used;
            for (QAction* entry : title->menu()->actions()) {
                if (entry->isSeparator()) continue;
                const QChar letter = helpmenu::accessLetter(entry->text());
                if (letter.isNull() || used.contains(letter))
                    missing << helpmenu::shownText(title->text()) + QStringLiteral(" > ") +
                                   entry->text();
                used.insert(letter);
            }
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
    }

    // Each key or entry opens its window (or closes the editor), as the user presses or
    // chooses it in the window.
    void commands_data() {
        QTest::addColumn<QString>("trigger"); // a key sequence, or "Title > Entry"
        QTest::addColumn<bool>("edited");
        QTest::addColumn<QString>("opens"); // objectName of the window that opens
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("closes");
        QTest::newRow("Ctrl+S") << "Ctrl+S" << false << "saveDialog"
                                << "Save to file" << false;
        QTest::newRow("Ctrl+O") << "Ctrl+O" << false << "loadDialog"
                                << "Open to Load" << false;
        QTest::newRow("F1") << "F1" << false << "keyboardShortcuts"
                            << "Keyboard Shortcuts" << false;
        QTest::newRow("Ctrl+Q, edits") << "Ctrl+Q" << true << "closeWithEdits"
                                       << "Close" << false;
        QTest::newRow("Ctrl+Q, no edits") << "Ctrl+Q" << false << ""
                                          << "" << true;
        QTest::newRow("Menu > Quit, edits") << "Menu > Quit" << true << "closeWithEdits"
                                            << "Close" << false;
        QTest::newRow("Alt+I") << "Alt+I" << false << "menuFirmware"
                               << "" << false;
        QTest::newRow("Help > Keyboard Shortcuts")
            << "Help > Keyboard Shortcuts" << false << "keyboardShortcuts"
            << "Keyboard Shortcuts" << false;
        QTest::newRow("Help > Report a Problem")
            << "Help > Report a Problem…" << false << "diagnosticsSaveDialog"
            << "Save the diagnostics report (it is on the clipboard already)" << false;
        QTest::newRow("Help > About") << "Help > About" << false << "aboutBox"
                                      << "About Korvalen25 Editor" << false;
    }
    void commands() {
        QFETCH(QString, trigger);
        QFETCH(bool, edited);
        QFETCH(QString, opens);
        QFETCH(QString, title);
        QFETCH(bool, closes);
        if (edited) {
            editE1();
            QCOMPARE(editNote(), QStringLiteral("Edited: not downloaded or saved"));
        }
        const QStringList path = trigger.split(QStringLiteral(" > "));
        if (path.size() == 2) {
            QAction* entry = entryShown(menuShown(window->menuBar(), path[0]), path[1]);
            QVERIFY(entry);
            entry->trigger();
        } else {
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
            const QKeySequence key = QKeySequence::fromString(trigger);
            QCOMPARE(key.count(), 1);
            QTest::keyClick(window.get(), key[0].key(), key[0].keyboardModifiers());
        }
        if (closes) {
            KORVALEN_TRY_VERIFY(!window->isVisible());
            return;
        }
        KORVALEN_TRY_VERIFY(shownWindowNamed(opens) != nullptr);
        QWidget* opened = shownWindowNamed(opens);
        if (!title.isEmpty()) QCOMPARE(opened->windowTitle(), title);
        // Nothing else opened beside it, and the editor is still there.
        QVERIFY(window->isVisible());
        if (opens == QLatin1String("diagnosticsSaveDialog"))
            QVERIFY(QApplication::clipboard()->text().startsWith(
                QStringLiteral("Korvalen25 diagnostics report")));
    }

    // About names the editor's, Qt's and RtMidi's versions.
    void aboutNamesTheVersions() {
        entryShown(menuShown(window->menuBar(), QStringLiteral("Help")), QStringLiteral("About"))
            ->trigger();
        KORVALEN_TRY_VERIFY(shownWindowNamed(QStringLiteral("aboutBox")) != nullptr);
        auto* box = qobject_cast<QMessageBox*>(shownWindowNamed(QStringLiteral("aboutBox")));
        QVERIFY(box);
        const QString text = box->text();
        const QString rtMidi = QString::fromStdString(korvalen::midi::rtMidiVersion());
        QVERIFY(!rtMidi.isEmpty());
        for (const QString& wanted :
             {QStringLiteral("Korvalen25 Editor 7.3.1"), QStringLiteral("Qt ") + qVersion(),
              QStringLiteral("RtMidi ") + rtMidi})
            QVERIFY2(text.contains(wanted), qPrintable(text + QStringLiteral(" lacks ") + wanted));
        // It did not hold the editor up: trigger() has returned with the box open.
        QVERIFY(box->windowModality() != Qt::ApplicationModal);
    }

    // The Keyboard Shortcuts window lists the keys as the menus have them, and the keys of the
    // picture, the Tab order and the library.
    void shortcutList_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("what");
        QTest::newRow("save") << "Ctrl+S"
                              << "File > Save to file";
        QTest::newRow("load") << "Ctrl+O"
                              << "File > Load from file";
        QTest::newRow("quit") << "Ctrl+Q"
                              << "Menu > Quit";
        QTest::newRow("undo") << "Ctrl+Z"
                              << "Edit > Undo";
        QTest::newRow("redo") << "Ctrl+Shift+Z"
                              << "Edit > Redo";
        QTest::newRow("help") << "F1"
                              << "Help > Keyboard Shortcuts";
        QTest::newRow("arrows") << "Arrow keys"
                                << "Move between the parts of the controller picture";
        QTest::newRow("tab") << "Tab, Shift+Tab"
                             << "Move through the boxes of the shown page, then through the "
                                "parts of the controller picture";
        QTest::newRow("rename") << "F2"
                                << "Preset Library: renames the chosen file";
        QTest::newRow("delete") << "Delete"
                                << "Preset Library: moves the chosen file to the trash";
    }
    void shortcutList() {
        QFETCH(QString, keys);
        QFETCH(QString, what);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F1);
        KORVALEN_TRY_VERIFY(shownWindowNamed(QStringLiteral("keyboardShortcuts")) != nullptr);
        auto* shortcuts = qobject_cast<helpmenu::ShortcutsWindow*>(
            shownWindowNamed(QStringLiteral("keyboardShortcuts")));
        QVERIFY(shortcuts);
        QTableWidget* table = shortcuts->table();
        QStringList rows;
        for (int row = 0; row < table->rowCount(); ++row)
            rows << table->item(row, 0)->text() + QStringLiteral(" | ") +
                        table->item(row, 1)->text();
        QVERIFY2(rows.contains(keys + QStringLiteral(" | ") + what),
                 qPrintable(rows.join(QLatin1Char('\n'))));
        // Read by a screen reader by its name; Tab goes from the list to Close.
        QVERIFY(!table->accessibleName().isEmpty());
        QVERIFY(!shortcuts->isModal());
        QWidget* next = table->nextInFocusChain();
        while (next != table &&
               (table->isAncestorOf(next) || !(next->focusPolicy() & Qt::TabFocus)))
            next = next->nextInFocusChain();
        QCOMPARE(next->objectName(), QStringLiteral("shortcutClose"));
    }
};

QTEST_MAIN(KeysTest)
#include "test_keys.moc"
