// What a screen reader and a keyboard user get: every focusable object of every page and dialog
// named in words, with its role, the boxes by control, bank and field (and so after a bank
// change), the labels as buddies of their boxes, Tab in reading order without the picture's
// decoration, the arrow keys in the picture, the focus frame, and the library's keys.
#include "accessibility.h"
#include "everywindow.h"
#include "guitestutil.h"
#include "presetmodel.h"
#include "waits.h"

#include <QAccessible>
#include <QComboBox>
#include <QDial>
#include <QLabel>
#include <QMessageBox>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace guitest;

namespace {

QString roleName(QAccessible::Role role) {
    return QString::number(int(role), 16);
}

// Every focusable object shown below `root`, as "objectName: problem" for each one that a
// screen reader could not announce in words.
QStringList unannounced(QWidget* root) {
    QStringList problems;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* iface) {
        if (iface == nullptr) return;
        const QAccessible::State state = iface->state();
        QObject* object = iface->object();
        const QString id =
            object != nullptr && !object->objectName().isEmpty()
                ? object->objectName()
                : QStringLiteral("(%1 in %2)")
                      .arg(object ? object->metaObject()->className() : "item", root->objectName());
        if (state.focusable && !state.invisible && !state.offscreen) {
            const QString name = iface->text(QAccessible::Name).simplified();
            const QString value = iface->text(QAccessible::Value).simplified();
            const QAccessible::Role role = iface->role();
            if (name.isEmpty())
                problems << id + QStringLiteral(": no name");
            else if (role == QAccessible::ComboBox && name == value)
                problems << id + QStringLiteral(": named by its value \"") + name + '"';
            else if ((role == QAccessible::PushButton || role == QAccessible::Button ||
                      role == QAccessible::CheckBox) &&
                     !a11y::isWords(name))
                problems << id + QStringLiteral(": named by a sign \"") + name + '"';
            if (role == QAccessible::NoRole || role == QAccessible::Client)
                problems << id + QStringLiteral(": no role (") + roleName(role) + ')';
        }
        for (int i = 0; i < iface->childCount(); ++i)
            walk(iface->child(i));
    };
    walk(QAccessible::queryAccessibleInterface(root));
    return problems;
}

QStringList tabCycle(QWidget* window) {
    QStringList order;
    QWidget* first = nullptr;
    for (int i = 0; i < 400; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window,
                        Qt::Key_Tab);
        QWidget* now = QApplication::focusWidget();
        if (now == nullptr) break;
        if (now == first) break;
        if (first == nullptr) first = now;
        order << now->objectName();
    }
    return order;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { useQuietController(); }

    void boxNames_data() {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<int>("bank");
        QTest::addColumn<int>("listKind");
        QTest::addColumn<QString>("name");
        QTest::newRow("encoder") << "E3_ccBox" << 1 << 0 << "E3, bank 2: CC number";
        QTest::newRow("encoder channel") << "E8_ChBox" << 3 << 0 << "E8, bank 4: MIDI channel";
        QTest::newRow("function notes") << "F2_ccBox" << 0 << 1 << "F2, bank 1: note number";
        QTest::newRow("function type") << "F4_typeBox" << 2 << 0 << "F4, bank 3: message type";
        QTest::newRow("pad bank B") << "P4_modeBox" << 1 << 0 << "P4, bank B: button mode";
        QTest::newRow("pad bank A") << "P1_PortBox" << 0 << 0 << "P1, bank A: MIDI port";
        QTest::newRow("rewind") << "Z1_typeBox" << 0 << 0 << "Rewind button: message type";
        QTest::newRow("record") << "Z5_ccBox" << 0 << 1 << "Record button: note number";
        QTest::newRow("slider") << "S1_ccBox" << 0 << 0 << "Slider S1: CC number";
        QTest::newRow("zone program") << "zone2Prog" << 0 << 0 << "Zone2: program";
        QTest::newRow("zone range") << "zone3RangEnd" << 0 << 0 << "Zone3: highest key";
        QTest::newRow("zone status") << "zone3Sta" << 0 << 0 << "Zone3: on or off";
        QTest::newRow("no such transport") << "Z6_ccBox" << 0 << 0 << "";
        QTest::newRow("no box") << "BankBox" << 0 << 0 << "";
        QTest::newRow("no zone 4") << "zone4Prog" << 0 << 0 << "";
    }
    void boxNames() {
        QFETCH(QString, objectName);
        QFETCH(int, bank);
        QFETCH(int, listKind);
        QFETCH(QString, name);
        QCOMPARE(a11y::boxName(objectName, bank, listKind), name);
    }

    void words_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("words");
        for (const char* sign : {"<<", ">>", "#", ">", "O", " P1", "", "E3"})
            QTest::newRow(sign) << QString::fromLatin1(sign) << false;
        for (const char* words : {"Play", "OK", "Pad P1", "Zone1:Piano", "Fast forward"})
            QTest::newRow(words) << QString::fromLatin1(words) << true;
    }
    void words() {
        QFETCH(QString, name);
        QFETCH(bool, words);
        QCOMPARE(a11y::isWords(name), words);
    }

    // The whole program in one window: every page, then every dialog.
    void everyPageAndDialog() {
        auto window = shownWindow();
        QVERIFY(window);
        window->buildAllPages();
        QStringList problems;
        for (int page = 0; page < 6; ++page) {
            everywindow::showPage(window.get(), page);
            for (const QString& p : unannounced(window.get()))
                problems << QStringLiteral("page %1: ").arg(page) + p;
        }
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto dialogs = everywindow::openDialogs(*window, dir);
        for (const auto& d : dialogs) {
            if (!d.widget) {
                problems << d.name + QStringLiteral(": did not open");
                continue;
            }
            for (const QString& p : unannounced(d.widget))
                problems << d.name + QStringLiteral(": ") + p;
            d.widget->close();
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    }

    // The boxes keep their values; their names say the control, its bank and the field, and
    // follow the bank boxes and the type.
    void boxesNamedByControlBankAndField() {
        auto window = shownWindow();
        QVERIFY(window);
        window->buildAllPages();
        auto* e3 = part<QComboBox>(window.get(), "E3_ccBox");
        QVERIFY(e3);
        QCOMPARE(e3->accessibleName(), QStringLiteral("E3, bank 1: CC number"));
        QVERIFY(!e3->currentText().isEmpty());
        auto* iface = QAccessible::queryAccessibleInterface(e3);
        QCOMPARE(iface->text(QAccessible::Value), e3->currentText());
        QCOMPARE(iface->role(), QAccessible::ComboBox);

        part<QComboBox>(window.get(), "BankBox")->setCurrentIndex(1);
        QCOMPARE(e3->accessibleName(), QStringLiteral("E3, bank 2: CC number"));
        QCOMPARE(part<QComboBox>(window.get(), "F1_typeBox")->accessibleName(),
                 QStringLiteral("F1, bank 2: message type"));
        part<QComboBox>(window.get(), "PadBankBox")->setCurrentIndex(1);
        QCOMPARE(part<QComboBox>(window.get(), "P2_ChBox")->accessibleName(),
                 QStringLiteral("P2, bank B: MIDI channel"));

        // A note type turns the number box into a note box.
        everywindow::showPage(window.get(), 1);
        part<QComboBox>(window.get(), "F2_typeBox")->setCurrentIndex(1);
        QCOMPARE(part<QComboBox>(window.get(), "F2_ccBox")->accessibleName(),
                 QStringLiteral("F2, bank 2: note number"));
        part<QComboBox>(window.get(), "F2_typeBox")->setCurrentIndex(0);
        QCOMPARE(part<QComboBox>(window.get(), "F2_ccBox")->accessibleName(),
                 QStringLiteral("F2, bank 2: CC number"));

        // The picture says what it opens, the transport buttons in words.
        const struct {
            const char* objectName;
            const char* name;
            QAccessible::Role role;
        } parts[] = {{"Btn_Rew", "Rewind", QAccessible::Button},
                     {"Btn_FF", "Fast forward", QAccessible::Button},
                     {"Btn_Stop", "Stop", QAccessible::Button},
                     {"Btn_Play", "Play", QAccessible::Button},
                     {"Btn_Rec", "Record", QAccessible::Button},
                     {"P3", "Pad P3", QAccessible::Button},
                     {"E5", "Encoder E5", QAccessible::Dial},
                     {"Slider_S1", "Slider S1", QAccessible::Slider},
                     {"BankBox", "Encoder and function button bank", QAccessible::ComboBox}};
        for (const auto& p : parts) {
            auto* w = part<QWidget>(window.get(), p.objectName);
            QVERIFY2(w, p.objectName);
            auto* a = QAccessible::queryAccessibleInterface(w);
            QCOMPARE(a->text(QAccessible::Name), QString::fromLatin1(p.name));
            QCOMPARE(a->role(), p.role);
            QVERIFY2(a->text(QAccessible::Description).contains(QLatin1String("page")) ||
                         p.role == QAccessible::ComboBox,
                     p.objectName);
        }
        // Their shown texts stay.
        QCOMPARE(part<QPushButton>(window.get(), "Btn_Rew")->text(), QStringLiteral("<<"));
        QCOMPARE(part<QPushButton>(window.get(), "Btn_Stop")->text(), QStringLiteral("#"));
        QCOMPARE(part<QPushButton>(window.get(), "P1")->text(), QStringLiteral(" P1"));
    }

    // Every label of a panel names the box of its row.
    void labelsAreBuddies() {
        auto window = shownWindow();
        QVERIFY(window);
        window->buildAllPages();
        int labels = 0;
        QStringList problems;
        for (QLabel* label : window->findChildren<QLabel*>()) {
            QWidget* panel = label->parentWidget();
            if (!panel->inherits("customLayer") ||
                !panel->objectName().startsWith(QLatin1String("layer")))
                continue;
            if (label->text().contains(QLatin1String("ON"))) continue; // zone 1 is always on
            ++labels;
            auto* box = qobject_cast<QComboBox*>(label->buddy());
            if (box == nullptr) {
                problems << label->objectName() + QStringLiteral(": no box");
                continue;
            }
            // The box of its row: on the same panel, beside it, to the right.
            if (box->parentWidget() != panel ||
                std::abs(box->geometry().center().y() - label->geometry().center().y()) > 4 ||
                box->x() < label->x())
                problems << label->objectName() + QStringLiteral(": ") + box->objectName();
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QCOMPARE(labels, 24 + 20 + 20 + 25 + 3 + 29);
    }

    // Tab runs through the shown page in reading order, then the picture in the order of the
    // pages, without keys, blank buttons or the hidden tab bar; one cycle is that and no more.
    void tabInReadingOrder() {
        auto window = shownWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QStringList expected;
        for (int e = 1; e <= 8; ++e)
            for (const char* field : {"ccBox", "ChBox", "PortBox"})
                expected << QStringLiteral("E%1_%2").arg(e).arg(QLatin1String(field));
        const QStringList picture = {
            "E1",       "E2",      "E3",        "E4",         "E5",      "E6",     "E7",
            "E8",       "BankBox", "Btn_F1",    "Btn_F2",     "Btn_F3",  "Btn_F4", "P1",
            "P2",       "P3",      "P4",        "PadBankBox", "Btn_Rew", "Btn_FF", "Btn_Stop",
            "Btn_Play", "Btn_Rec", "Slider_S1", "btnZ1",      "btnZ2",   "btnZ3"};
        QStringList cycle = tabCycle(window.get());
        // The cycle may start anywhere: turn it to start at the first box.
        const qsizetype start = cycle.indexOf(QStringLiteral("E1_ccBox"));
        QVERIFY(start >= 0);
        cycle = cycle.mid(start) + cycle.mid(0, start);
        QCOMPARE(cycle, expected + picture);

        // A later page, once built and shown, is read row by row too.
        everywindow::showPage(window.get(), 5);
        QStringList zones;
        for (const QString& name : tabCycle(window.get()))
            if (name.startsWith(QLatin1String("zone2"))) zones << name;
        QCOMPARE(zones, QStringList({"zone2Sta", "zone2Prog", "zone2MSB", "zone2LSB", "zone2Port",
                                     "zone2Chan", "zone2RangSta", "zone2RangEnd", "zone2Oct",
                                     "zone2Trans"}));
    }

    // The arrow keys move within the picture; Enter on a dial or the slider shows its page.
    void arrowsMoveInPicture() {
        auto window = shownWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto* e1 = part<QDial>(window.get(), "E1");
        e1->setFocus(Qt::TabFocusReason);
        const int value = e1->value();
        QTest::keyClick(e1, Qt::Key_Right);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("E2"));
        QCOMPARE(e1->value(), value); // moved, not turned
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("E6"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("E5"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("E1"));

        auto* tabs = part<customTab>(window.get(), "tabWidget");
        auto* slider = part<QSlider>(window.get(), "Slider_S1");
        slider->setFocus(Qt::TabFocusReason);
        QTest::keyClick(slider, Qt::Key_Return);
        QCOMPARE(tabs->currentIndex(), 4);
        QTest::keyClick(slider, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("BankBox"));
        // The bank box keeps Up and Down for its banks.
        auto* bank = part<QComboBox>(window.get(), "BankBox");
        QTest::keyClick(bank, Qt::Key_Down);
        QCOMPARE(bank->currentIndex(), 1);
        QCOMPARE(QApplication::focusWidget(), bank);
        e1->setFocus(Qt::TabFocusReason);
        QTest::keyClick(e1, Qt::Key_Space);
        QCOMPARE(tabs->currentIndex(), 0);
    }

    // A frame shows the widget that the keyboard brought the focus to, and goes with a click.
    void focusFrameFollowsTheKeyboard() {
        auto window = shownWindow();
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        auto findFrame = [&]() -> QWidget* {
            for (QWidget* top : QApplication::allWidgets())
                if (top->objectName() == QLatin1String("keyboardFocusFrame")) return top;
            return nullptr;
        };
        auto* cc = part<QComboBox>(window.get(), "E2_ccBox");
        cc->setFocus(Qt::TabFocusReason);
        QWidget* frame = findFrame();
        QVERIFY(frame);
        QVERIFY(frame->isVisible());
        QCOMPARE(frame->parentWidget(), cc->parentWidget());
        QVERIFY(frame->geometry().contains(cc->geometry()));
        QVERIFY(frame->geometry() != cc->geometry());
        QTest::keyClick(cc, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("E2_ChBox"));
        QVERIFY(frame->geometry().contains(QApplication::focusWidget()->geometry()));
        QVERIFY(frame->isVisible());
        // A click moves the focus without the frame.
        part<QComboBox>(window.get(), "E3_PortBox")->setFocus(Qt::MouseFocusReason);
        QVERIFY(!findFrame() || !findFrame()->isVisible());
    }

    // The library's table gives Tab back; Enter opens the chosen preset, Delete deletes it.
    void libraryKeys() {
        auto window = shownWindow();
        QVERIFY(window);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
        LibraryWindow& library = libraryWindow(*window);
        library.setHistoryFolder(dir.filePath(QStringLiteral("history")));
        QDir(dir.path()).mkdir(QStringLiteral("lib"));
        library.setFolder(dir.filePath(QStringLiteral("lib")));
        item_En[0][2].SetCC(33);
        QVERIFY(library.saveCurrent(QStringLiteral("kept")));
        item_En[0][2].SetCC(12);
        library.show();
        QApplication::setActiveWindow(&library);
        QVERIFY(QTest::qWaitForWindowActive(&library));
        const QString path = dir.filePath(QStringLiteral("lib/kept.sav"));
        QVERIFY(library.select(path));
        QTableWidget* list = library.list();
        QVERIFY(!list->tabKeyNavigation());
        list->setFocus(Qt::TabFocusReason);

        QCOMPARE(QApplication::focusWidget(), list);
        QTest::keyClick(list, Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != list);
        QVERIFY(QApplication::focusWidget() != nullptr);
        QVERIFY(library.isAncestorOf(QApplication::focusWidget()));

        list->setFocus(Qt::TabFocusReason);

        // Edits made before are given up when the load asks; its report is closed.
        QTimer answer;
        connect(&answer, &QTimer::timeout, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (QAbstractButton* discard = box ? box->button(QMessageBox::Discard) : nullptr)
                discard->click();
            else if (box != nullptr)
                box->close(); // the load's report
        });
        answer.start(20);
        QTest::keyClick(list, Qt::Key_Return);
        // The question does not wait: the load comes once it is answered.
        KORVALEN_TRY_COMPARE(int{item_En[0][2].GetCC()}, 33);
        answer.stop();

        QApplication::setActiveWindow(&library);
        QVERIFY(QTest::qWaitForWindowActive(&library));
        QVERIFY(library.select(path));
        list->setFocus(Qt::TabFocusReason);
        QTest::keyClick(list, Qt::Key_Delete);
        // Moved to the trash, or, where there is none, asked about.
        QWidget* question = library.findChild<QWidget*>(QStringLiteral("libraryDeleteQuestion"));
        QVERIFY(!QFile::exists(path) || (question != nullptr && question->isVisible()));
        if (question != nullptr) question->close();
        library.close();
    }
};

QTEST_MAIN(AccessibilityTest)
#include "test_accessibility.moc"
