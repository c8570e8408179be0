// Pictures of the editor's forms in one fixed state: the main window on each of its six pages,
// the upload dialog and the upgrade dialog, as they look right after start-up against a
// controller that answers only its identity probe (so every combo box shows the model's own
// values). The look test compares them with the stored pictures in tests/gui/look; grab_forms
// writes them.
#pragma once

#include "customTab.h"
#include "identitycontroller.h"
#include "korvalen49_test.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace formgrabs {

// Call before the application object exists: the offscreen platform at scale 1 without a
// platform theme, and the fonts that `fontsConf` (a fontconfig file) lists, so that the same
// pixels come out on every machine that ran scripts/install-deps.sh.
inline void fixEnvironment(const char* fontsConf) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("FONTCONFIG_FILE", fontsConf);
    for (const char* name : {"QT_QPA_PLATFORMTHEME", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                             "QT_FONT_DPI", "QT_ENABLE_HIGHDPI_SCALING", "QT_STYLE_OVERRIDE"})
        qunsetenv(name);
}

struct Grab {
    QString name; // "main-page0" ... "main-page5", "upload", "upgrade"
    QImage image;
};

inline const QStringList& grabNames() {
    static const QStringList names = {QStringLiteral("main-page0"), QStringLiteral("main-page1"),
                                      QStringLiteral("main-page2"), QStringLiteral("main-page3"),
                                      QStringLiteral("main-page4"), QStringLiteral("main-page5"),
                                      QStringLiteral("upload"),     QStringLiteral("upgrade")};
    return names;
}

namespace detail {

inline QImage picture(QWidget* w) {
    QCoreApplication::processEvents();
    return w->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

inline QWidget* shownTopLevel(const char* objectName) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == QLatin1String(objectName)) return w;
    return nullptr;
}

} // namespace detail

// Builds the editor window in the Fusion style (what the editor gets, as Qt 6 has no
// "plastique") and grabs every form, in the order of grabNames(). On failure `error` says what
// went wrong and the list is incomplete. Call once per process: the preset model is
// program-wide, and a second window would start from what the first left.
inline QList<Grab> grabForms(QString* error) {
    QList<Grab> grabs;
    QApplication::setStyle(QStringLiteral("Fusion"));
    auto bus = testsupport::useIdentityController();

    // A box at start-up means the window is not in the state the pictures show; it is
    // closed so that nothing waits on it.
    QStringList boxes;
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&boxes] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            boxes << box->windowTitle();
            box->close();
        }
    });
    boxWatch.start(10);

    auto window = std::make_unique<Korvalen49_Test>();
    window->show();
    if (!QTest::qWaitForWindowActive(window.get())) {
        *error = QStringLiteral("the main window was not activated");
        return grabs;
    }
    // The search runs beside the shown window; the pictures show the window once it has
    // connected (the status bar says so).
    while (window->isSearching())
        QTest::qWait(10);
    if (!boxes.isEmpty()) {
        *error = QStringLiteral("a box came up at start-up: ") + boxes.join(QLatin1Char(','));
        return grabs;
    }

    auto* tabs = window->findChild<customTab*>(QStringLiteral("tabWidget"));
    const std::function<void()> pages[] = {
        [tabs] { tabs->ChangePage_En(); }, [tabs] { tabs->ChangePage_Fn(); },
        [tabs] { tabs->ChangePage_Pn(); }, [tabs] { tabs->ChangePage_Zoudai(); },
        [tabs] { tabs->ChangePage_S1(); }, [tabs] { tabs->ChangePage_Zn(); }};
    for (int i = 0; i < 6; ++i) {
        pages[i]();
        grabs << Grab{grabNames()[i], detail::picture(window.get())};
    }
    tabs->ChangePage_En();

    const struct {
        const char* action;
        const char* dialog;
        QString name;
    } dialogs[] = {{"actionUpload", "UploadDlg", grabNames()[6]},
                   {"actionUpgrade", "UpgradeUI", grabNames()[7]}};
    for (const auto& d : dialogs) {
        window->findChild<QAction*>(QString::fromLatin1(d.action))->trigger();
        QWidget* dialog = detail::shownTopLevel(d.dialog);
        if (dialog == nullptr || !QTest::qWaitForWindowActive(dialog)) {
            *error = QStringLiteral("%1 did not show %2")
                         .arg(QLatin1String(d.action), QLatin1String(d.dialog));
            return grabs;
        }
        grabs << Grab{d.name, detail::picture(dialog)};
        dialog->hide();
    }
    return grabs;
}

} // namespace formgrabs
