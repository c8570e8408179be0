// The editor window after construction, its title rule, the bank selectors and the menu
// commands that only show dialogs.
#include "customKey.h"
#include "customTab.h"
#include "guitestutil.h"
#include "presetprotocol.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

using namespace guitest;

namespace {

QStringList entries(QComboBox* box) {
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

QList<QDialog*> visibleDialogs() {
    QList<QDialog*> dialogs;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(w); dialog != nullptr && dialog->isVisible())
            dialogs << dialog;
    }
    return dialogs;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { guitest::useQuietController(); }

    void init() {
        std::fill(std::begin(korvalen::presetGlobals), std::end(korvalen::presetGlobals), 0);
    }
    void cleanup() { QVERIFY(visibleDialogs().isEmpty() || QTest::currentTestFailed()); }

    void stateAfterConstruction();
    void keysDrawAsPlainButtons();
    void tabBarCannotBeUsed();
    void title_data();
    void title();
    void bankSlotsSelectTheirEntry();
    void uploadShowsOneDialog();
    void upgradeShowsTheUpgradeForm();
};

void MainWindowTest::stateAfterConstruction() {
    Korvalen49_Test window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Korvalen25 Editor "));
    QCOMPARE(window.maximumSize(), QSize(897, 698));

    auto* bankBox = part<QComboBox>(&window, "BankBox");
    QVERIFY(bankBox);
    QCOMPARE(entries(bankBox), QStringList({"BANK 1", "BANK 2", "BANK 3", "BANK 4"}));
    QCOMPARE(bankBox->currentText(), QStringLiteral("BANK 1"));
    auto* padBankBox = part<QComboBox>(&window, "PadBankBox");
    QVERIFY(padBankBox);
    QCOMPARE(entries(padBankBox), QStringList({"A", "B"}));
    QCOMPARE(padBankBox->currentText(), QStringLiteral("A"));

    auto* tabs = part<customTab>(&window, "tabWidget");
    QVERIFY(tabs);
    QCOMPARE(tabs->count(), 6);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("tab"));
    QCOMPARE(checkedLayerButtons(&window), QStringLiteral("BtnLayer_En"));
    // Only the page shown has its panels; the others get theirs when first shown.
    QVERIFY(!tabs->widget(0)->children().isEmpty());
    for (int page = 1; page < tabs->count(); ++page)
        QVERIFY2(tabs->widget(page)->children().isEmpty(), qPrintable(QString::number(page)));
    window.buildAllPages();

    auto* zone1 = part<QLabel>(&window, "label");
    QVERIFY(zone1);
    QCOMPARE(zone1->text(), QStringLiteral("   Zone1 ON"));
    QCOMPARE(zone1->parentWidget()->objectName(), QStringLiteral("layerZ1"));
    QVERIFY(part<QComboBox>(&window, "zone1Sta") == nullptr);
    QVERIFY(part<QComboBox>(&window, "zone2Sta") != nullptr);

    // The upload dialog is made when first needed: hidden, with the 15 presets to choose from.
    auto uploadDialogs = [] {
        QList<QDialog*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("UploadDlg")) found << qobject_cast<QDialog*>(w);
        return found;
    };
    QVERIFY(uploadDialogs().isEmpty());
    QCOMPARE(&window.uploadDialog(), &window.uploadDialog());
    const QList<QDialog*> uploads = uploadDialogs();
    QCOMPARE(uploads.size(), 1);
    QVERIFY(uploads.first() != nullptr);
    QVERIFY(!uploads.first()->isVisible());
    auto* presets = uploads.first()->findChild<QComboBox*>(QStringLiteral("presetSelBox"));
    QVERIFY(presets);
    QCOMPARE(presets->count(), 15);
    QCOMPARE(presets->itemText(0), QStringLiteral("Korvalen"));
    QCOMPARE(presets->itemText(1), QStringLiteral("User P17"));
    QCOMPARE(presets->itemText(14), QStringLiteral("User P30"));
}

// The page widget sits above the top of the central widget and its tabs have no width, so no
// point of the window reaches the tab bar.
void MainWindowTest::tabBarCannotBeUsed() {
    auto window = shownWindow();
    QVERIFY(window);
    auto* tabs = part<customTab>(window.get(), "tabWidget");
    QTabBar* bar = tabs->tabBar();
    QWidget* central = window->centralWidget();
    QVERIFY(central);
    QCOMPARE(bar->count(), 6);
    for (int i = 0; i < bar->count(); ++i)
        QVERIFY(bar->tabText(i).isEmpty());

    // The strip of the window where a tab bar would be: the top rows of the central widget.
    const QPoint origin = central->mapTo(window.get(), QPoint(0, 0));
    int probed = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < central->width(); ++x) {
            QWidget* hit = window->childAt(origin + QPoint(x, y));
            QVERIFY2(hit != bar && !bar->isAncestorOf(hit),
                     qPrintable(QStringLiteral("tab bar reached at %1, %2").arg(x).arg(y)));
            ++probed;
        }
    }
    QCOMPARE(probed, 20 * central->width());
}

void MainWindowTest::title_data() {
    QTest::addColumn<int>("preset");
    QTest::addColumn<QString>("title");

    // Named presets: the factory preset and the user presets.
    QTest::newRow("factory 0") << 0 << "Korvalen25 Editor--------P01 Korvalen";
    QTest::newRow("user 16") << 16 << "Korvalen25 Editor--------P17 User P17";
    QTest::newRow("user 29") << 29 << "Korvalen25 Editor--------P30 User P30";
    // Numbers without a name show the number alone.
    QTest::newRow("unnamed 1") << 1 << "Korvalen25 Editor--------P02";
    QTest::newRow("unnamed 15") << 15 << "Korvalen25 Editor--------P16";
    QTest::newRow("unnamed 30") << 30 << "Korvalen25 Editor--------P31";
    QTest::newRow("unnamed 255") << 255 << "Korvalen25 Editor--------P256";
}

void MainWindowTest::title() {
    QFETCH(int, preset);
    QFETCH(QString, title);
    Korvalen49_Test window;
    korvalen::presetGlobals[korvalen::global::kPresetNumber] = static_cast<unsigned char>(preset);
    QCOMPARE(window.windowTitle(), QStringLiteral("Korvalen25 Editor "));
    window.RefreshTitle();
    QCOMPARE(window.windowTitle(), title);
}

void MainWindowTest::bankSlotsSelectTheirEntry() {
    Korvalen49_Test window;
    auto* bankBox = part<QComboBox>(&window, "BankBox");
    auto* padBankBox = part<QComboBox>(&window, "PadBankBox");
    window.SelActiveBank_En(3);
    QCOMPARE(bankBox->currentText(), QStringLiteral("BANK 4"));
    window.SelActiveBank_Pn(1);
    QCOMPARE(padBankBox->currentText(), QStringLiteral("B"));
    window.SelActiveBank_En(0);
    window.SelActiveBank_Pn(0);
    QCOMPARE(bankBox->currentText(), QStringLiteral("BANK 1"));
    QCOMPARE(padBankBox->currentText(), QStringLiteral("A"));
}

void MainWindowTest::uploadShowsOneDialog() {
    Korvalen49_Test window;
    auto* upload = part<QAction>(&window, "actionUpload");
    QVERIFY(upload);
    QVERIFY(visibleDialogs().isEmpty());

    upload->trigger();
    const QList<QDialog*> first = visibleDialogs();
    QCOMPARE(first.size(), 1);
    QCOMPARE(first.first()->objectName(), QStringLiteral("UploadDlg"));
    QCOMPARE(first.first()->windowTitle(), QStringLiteral("Upload form Korvalen"));
    QVERIFY(!first.first()->isModal());

    upload->trigger();
    const QList<QDialog*> second = visibleDialogs();
    QCOMPARE(second.size(), 1);
    QCOMPARE(second.first(), first.first());

    first.first()->hide();
}

void MainWindowTest::upgradeShowsTheUpgradeForm() {
    Korvalen49_Test window;
    auto* upgrade = part<QAction>(&window, "actionUpgrade");
    QVERIFY(upgrade);
    upgrade->trigger();
    const QList<QDialog*> shown = visibleDialogs();
    QCOMPARE(shown.size(), 1);
    QDialog* dialog = shown.first();
    QCOMPARE(dialog->windowTitle(), QStringLiteral("FIRMWARE UPGRADE"));
    QVERIFY(dialog->parentWidget() == nullptr);
    auto* start = dialog->findChild<QPushButton*>(QStringLiteral("upgradeStart"));
    QVERIFY(start);
    QVERIFY(!start->isEnabled());
    dialog->hide();
}

// A key draws the face the style draws for a push button of its palette, size and state, kept
// or not, and afresh after the style has changed.
void MainWindowTest::keysDrawAsPlainButtons() {
    QWidget board;
    board.resize(120, 220);
    QPalette palette = board.palette();
    palette.setColor(QPalette::Button, QColor(20, 20, 24));
    auto* key = new customKey(&board);
    auto* plain = new QPushButton(&board);
    for (QPushButton* b : {static_cast<QPushButton*>(key), plain}) {
        b->setPalette(palette);
        b->setFocusPolicy(Qt::NoFocus);
        b->resize(37, 193);
    }
    // Away from the corner, where the pointer of the offscreen screen rests.
    key->move(10, 10);
    plain->move(60, 10);
    board.show();
    QVERIFY(QTest::qWaitForWindowExposed(&board));
    for (const char* style : {"Fusion", "Windows"}) {
        // setStyle() replaces the style object, also when it is of the same name.
        QApplication::setStyle(QString::fromLatin1(style));
        QCOMPARE(QApplication::style()->name().toLower(), QString::fromLatin1(style).toLower());
        for (bool down : {false, true, false}) {
            key->setDown(down);
            plain->setDown(down);
            QCOMPARE(key->grab().toImage(), plain->grab().toImage());
        }
    }
    QApplication::setStyle(QStringLiteral("Fusion"));
}

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
