// Every page of the editor window and every dialog and tool window it opens, shown one after
// another for tests that look at each of them (names for a screen reader, contrast).
#pragma once

#include "comparewindow.h"
#include "customTab.h"
#include "korvalen49_test.h"
#include "librarywindow.h"
#include "searchwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace everywindow {

// Shows page `index` (0-5) of the window the way the picture does.
inline void showPage(QWidget* window, int index) {
    auto* tabs = window->findChild<customTab*>(QStringLiteral("tabWidget"));
    const std::function<void()> pages[] = {
        [tabs] { tabs->ChangePage_En(); }, [tabs] { tabs->ChangePage_Fn(); },
        [tabs] { tabs->ChangePage_Pn(); }, [tabs] { tabs->ChangePage_Zoudai(); },
        [tabs] { tabs->ChangePage_S1(); }, [tabs] { tabs->ChangePage_Zn(); }};
    pages[index]();
    QCoreApplication::processEvents();
}

inline QWidget* shownTopLevel(const QString& objectName) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == objectName) return w;
    return nullptr;
}

struct Dialog {
    QString name;
    QPointer<QWidget> widget;
};

// Opens the upload, upgrade, library, compare, MIDI monitor, MIDI ports, search, Keyboard
// Shortcuts and About windows of `window`, each filled as it would be in use; `dir` holds the
// library's files. A window that did not come up is returned without its widget.
inline QList<Dialog> openDialogs(Korvalen49_Test& window, const QTemporaryDir& dir) {
    QList<Dialog> dialogs;
    auto byAction = [&](const char* action, const char* dialog) {
        if (auto* a = window.findChild<QAction*>(QLatin1String(action))) a->trigger();
        QCoreApplication::processEvents();
        dialogs.append({QLatin1String(dialog), shownTopLevel(QLatin1String(dialog))});
    };
    byAction("actionUpload", "UploadDlg");
    byAction("actionUpgrade", "UpgradeUI");
    byAction("actionMidiMonitor", "midiMonitor");
    byAction("actionMidiPorts", "portsWindow");

    LibraryWindow& library = libraryWindow(window);
    library.setHistoryFolder(dir.filePath(QStringLiteral("history")));
    library.setFolder(dir.path());
    library.saveCurrent(QStringLiteral("first"));
    library.show();
    dialogs.append({QStringLiteral("libraryWindow"), &library});

    compareWithFile(window, QDir(dir.path()).filePath(QStringLiteral("first.sav")));
    dialogs.append({QStringLiteral("compareWindow"), &compareWindow(window)});

    auto* search = new SearchWindow(QStringLiteral("Connecting to the Korvalen25"), &window);
    search->setWindowModality(Qt::NonModal);
    search->show();
    dialogs.append({QStringLiteral("searchWindow"), search});

    byAction("actionKeyboardShortcuts", "keyboardShortcuts");
    byAction("actionAbout", "aboutBox");

    // A window that is not shown counts as not opened.
    for (Dialog& d : dialogs)
        if (d.widget && !QTest::qWaitForWindowExposed(d.widget.data())) d.widget = nullptr;
    return dialogs;
}

} // namespace everywindow
