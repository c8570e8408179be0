// Writes pictures of the editor's forms for a visual check:
//   grab_forms OUTDIR
// gives OUTDIR/main-page0.png ... main-page5.png, upload.png and upgrade.png. Run it in the
// folder that holds logo.bmp to see the logo.
#include "customTab.h"
#include "korvalen49_test.h"
#include "platformfactory.h"
#include "ui_upgrade.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QTest>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (QApplication::setStyle(QStringLiteral("plastique")) == nullptr)
        QApplication::setStyle(QStringLiteral("Fusion"));
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    // The controller emulator on the virtual bus, so that the pictures show its preset 0.
    korvalen::midi::setPlatform(korvalen::midi::createPlatform("virtual"));
    Korvalen49_Test window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return 1;
    QTest::qWait(200);
    auto* tabs = window.findChild<customTab*>(QStringLiteral("tabWidget"));
    using Slot = void (customTab::*)();
    const Slot pages[] = {&customTab::ChangePage_En, &customTab::ChangePage_Fn,
                          &customTab::ChangePage_Pn, &customTab::ChangePage_Zoudai,
                          &customTab::ChangePage_S1, &customTab::ChangePage_Zn};
    int failures = 0;
    for (int i = 0; i < 6; ++i) {
        (tabs->*pages[i])();
        QApplication::processEvents();
        const QString file = out.filePath(QStringLiteral("main-page%1.png").arg(i));
        if (!window.grab().save(file)) ++failures;
        std::printf("%s\n", qPrintable(file));
    }

    window.findChild<QAction*>(QStringLiteral("actionUpload"))->trigger();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->objectName() == QLatin1String("UploadDlg")) {
            const QString file = out.filePath(QStringLiteral("upload.png"));
            if (!w->grab().save(file)) ++failures;
            std::printf("%s\n", qPrintable(file));
            w->hide();
        }
    }

    QDialog upgrade;
    Ui::UpgradeUI form;
    form.setupUi(&upgrade);
    form.upgradeLog->addItem(QStringLiteral("Finding MIDI device in upgrade mode..."));
    upgrade.show();
    const QString file = out.filePath(QStringLiteral("upgrade.png"));
    if (!upgrade.grab().save(file)) ++failures;
    std::printf("%s\n", qPrintable(file));
    return failures == 0 ? 0 : 1;
}
