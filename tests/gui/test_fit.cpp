// Every text of the window fits its room: each visible label, button and combo-box entry of
// every page (the picture included) and of the upload and upgrade dialogs, measured with the
// widget's own font. Run at scale 1 and, as a second CTest entry, with QT_SCALE_FACTOR=2. The
// fonts are those of scripts/install-deps.sh only (as for the look test), so the families the
// forms name but Linux rarely has ("Aharoni", "Times New Roman") come out as their fallbacks.
#include "customComboBox.h"
#include "customTab.h"
#include "guitestutil.h"
#include "korvalen49_test.h"
#include "presetmodel.h"
#include "textfit.h"
#include "upgrade.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTest>

#include <memory>

namespace {

// One text and its room, for the failure message.
struct Misfit {
    QString where;
    QString text;
    int width;
    int room;
};

QString pathOf(const QWidget* w) {
    QStringList names;
    for (; w != nullptr; w = w->parentWidget())
        if (!w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_")))
            names.prepend(w->objectName());
    return names.join(QLatin1Char('/'));
}

// The widest line of `text` in `font`.
int widthOf(const QFont& font, const QString& text) {
    const QFontMetrics metrics(font);
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, metrics.horizontalAdvance(line));
    return widest;
}

// What a label has for its text: its contents without margin and indent.
int labelRoom(const QLabel* label) {
    int room = label->contentsRect().width() - 2 * label->margin();
    if (label->indent() > 0) room -= label->indent();
    return room;
}

// What the style leaves a push button for its text.
int buttonRoom(const QPushButton* button) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    option.features = button->isFlat() ? QStyleOptionButton::Flat : QStyleOptionButton::None;
    if (button->isDefault()) option.features |= QStyleOptionButton::DefaultButton;
    const QRect contents =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    // The style draws the text inside the contents with its own margin on either side.
    return contents.width() -
           2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin, &option, button) / 2;
}

// What the style leaves a closed combo box for the text of its entry: the edit field, less the
// pixel the label keeps from either side of it.
int comboRoom(const QComboBox* box) {
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.frame = box->hasFrame();
    option.subControls = QStyle::SC_All;
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                     QStyle::SC_ComboBoxEditField, box);
    return field.width() - 2;
}

// Every misfit below `root` among the widgets that are shown when `root` is.
QList<Misfit> misfitsIn(QWidget* root, int* measured = nullptr) {
    QList<Misfit> found;
    int count = 0;
    auto check = [&found, &count](const QWidget* w, const QString& text, int room,
                                  const QFont& font) {
        if (text.isEmpty()) return;
        ++count;
        const int width = widthOf(font, text);
        if (width > room) found.append({pathOf(w), text, width, room});
    };
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    for (QWidget* w : widgets) {
        if (w != root && !w->isVisibleTo(root)) continue;
        if (auto* label = qobject_cast<QLabel*>(w)) {
            // A label that wraps its words is laid out by them, not measured as one line.
            if (!label->wordWrap() && label->textFormat() != Qt::RichText)
                check(label, label->text(), labelRoom(label), label->font());
        } else if (auto* button = qobject_cast<QPushButton*>(w)) {
            check(button, button->text(), buttonRoom(button), button->font());
        } else if (auto* box = qobject_cast<QComboBox*>(w)) {
            const int room = comboRoom(box);
            // The boxes of the panels show each entry in the font it fits with.
            auto* panelBox = qobject_cast<customComboBox*>(box);
            for (int i = 0; i < box->count(); ++i) {
                const QString text = box->itemText(i);
                check(box, text, room, panelBox ? panelBox->fontFor(text) : box->font());
            }
        }
    }
    if (measured) *measured = count;
    return found;
}

QString describe(const QList<Misfit>& misfits) {
    QStringList lines;
    for (const Misfit& m : misfits)
        lines << QStringLiteral("%1: \"%2\" is %3 px wide, its room %4 px")
                     .arg(m.where, m.text)
                     .arg(m.width)
                     .arg(m.room);
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class FitTest : public QObject {
    Q_OBJECT

public:
    static void initMain() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("FONTCONFIG_FILE", KORVALEN_LOOK_FONTS);
        // The scale is the one thing CTest sets differently between the two entries.
        for (const char* name : {"QT_QPA_PLATFORMTHEME", "QT_FONT_DPI", "QT_STYLE_OVERRIDE"})
            qunsetenv(name);
    }

private slots:
    void initTestCase();
    void cleanupTestCase() { window.reset(); }
    void textsFit_data();
    void textsFit();
    void measuringSeesAClippedText_data();
    void measuringSeesAClippedText();
    void boxDrawsAWideEntryInTheFontItFitsWith();
    void fittingLeavesOtherWindowsAlone();
    void zoneCaptionsFit();

private:
    std::unique_ptr<Korvalen49_Test> window;
};

void FitTest::initTestCase() {
    // As the editor does where Qt has no "plastique".
    QApplication::setStyle(QStringLiteral("Fusion"));
    guitest::useQuietController();
    window = guitest::shownWindow();
    QVERIFY(window);
    window->buildAllPages();
    const qreal scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                            : 1.0;
    QCOMPARE(window->devicePixelRatio(), scale);
}

void FitTest::textsFit_data() {
    QTest::addColumn<QString>("form");
    for (int page = 0; page < 6; ++page)
        QTest::addRow("page %d", page) << QStringLiteral("page %1").arg(page);
    QTest::newRow("upload") << QStringLiteral("upload");
    QTest::newRow("upgrade") << QStringLiteral("upgrade");
}

void FitTest::textsFit() {
    QFETCH(QString, form);
    QWidget* root = nullptr;
    if (form.startsWith(QLatin1String("page"))) {
        auto* tabs = guitest::part<customTab>(window.get(), "tabWidget");
        tabs->setCurrentIndex(form.section(QLatin1Char(' '), 1).toInt());
        root = window->centralWidget();
    } else {
        const bool upload = form == QLatin1String("upload");
        window
            ->findChild<QAction*>(upload ? QStringLiteral("actionUpload")
                                         : QStringLiteral("actionUpgrade"))
            ->trigger();
        const QString name = upload ? QStringLiteral("UploadDlg") : QStringLiteral("UpgradeUI");
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == name) root = w;
        QVERIFY(root);
        QVERIFY(QTest::qWaitForWindowExposed(root));
    }
    int measured = 0;
    const QList<Misfit> misfits = misfitsIn(root, &measured);
    // A search gone wrong (no widgets found) must not pass.
    QVERIFY2(measured >= 3, qPrintable(QString::number(measured)));
    if (root->isWindow() && root != window.get()) root->hide();
    // The message of a failed check is cut short; every misfit is listed before it.
    for (const Misfit& m : misfits)
        qWarning("%s", qPrintable(describe({m})));
    QVERIFY2(misfits.isEmpty(), qPrintable(QStringLiteral("%1 texts do not fit, first: %2")
                                               .arg(misfits.size())
                                               .arg(describe(misfits.mid(0, 1)))));
}

// The measures catch what they are for: a text that is too long for its widget is reported
// for each kind of widget.
void FitTest::measuringSeesAClippedText_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("label") << QStringLiteral("label");
    QTest::newRow("button") << QStringLiteral("button");
    QTest::newRow("combo entry") << QStringLiteral("combo");
}

void FitTest::measuringSeesAClippedText() {
    QFETCH(QString, kind);
    QWidget host;
    host.resize(400, 100);
    const QString text = QStringLiteral("A rather long text for a small widget");
    QWidget* w = nullptr;
    if (kind == QLatin1String("label")) {
        w = new QLabel(text, &host);
    } else if (kind == QLatin1String("button")) {
        w = new QPushButton(text, &host);
    } else {
        auto* box = new QComboBox(&host);
        box->addItems({QStringLiteral("1"), text});
        w = box;
    }
    w->setGeometry(10, 10, 120, 24);
    QCOMPARE(misfitsIn(&host).size(), 1);
    QCOMPARE(misfitsIn(&host).front().text, text);
    // With room enough it passes: the measure is not simply against any text.
    w->setGeometry(10, 10, 380, 24);
    QVERIFY2(misfitsIn(&host).isEmpty(), qPrintable(describe(misfitsIn(&host))));
}

// A box of the panels draws an entry too wide for it in the font fontFor() names, the font
// the measures above go by: the picture is the one of a box given that font outright.
void FitTest::boxDrawsAWideEntryInTheFontItFitsWith() {
    const QString text = QStringLiteral("128  Pitch Bend Sensitive");
    // Three boxes alike, each alone in a window of its own at the same place.
    QWidget hosts[3];
    auto* fitting = new customComboBox(&hosts[0]);
    auto* given = new customComboBox(&hosts[1]);
    auto* plain = new QComboBox(&hosts[2]);
    const QList<QComboBox*> boxes{fitting, given, plain};
    for (QComboBox* box : boxes) {
        box->addItem(text);
        box->setGeometry(4, 4, 96, 22);
        box->setFocusPolicy(Qt::NoFocus); // no focus frame on one of them
    }
    const QFont narrower = fitting->fontFor(text);
    QVERIFY(narrower != fitting->font());
    QVERIFY(widthOf(narrower, text) <= fitting->textRoom());
    given->setFont(narrower);
    for (QWidget& host : hosts) {
        host.resize(104, 30);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
    }
    const QImage drawn = fitting->grab().toImage();
    QCOMPARE(drawn, given->grab().toImage());
    // Drawn as a plain box would, the entry would be clipped: not the same picture.
    QVERIFY(drawn != plain->grab().toImage());
}

// A form's texts are fitted to their rooms, but not those of a window made as the form's child
// before it is laid out (the search window is made while the main window is): its widgets have
// no room of their own yet.
void FitTest::fittingLeavesOtherWindowsAlone() {
    QWidget form;
    form.resize(400, 100);
    const QString text = QStringLiteral("Looking for the MIDI ports...");
    auto* squeezed = new QLabel(text, &form);
    squeezed->setGeometry(10, 10, widthOf(squeezed->font(), text) * 4 / 5, 24);
    auto* dialog = new QDialog(&form);
    auto* unplaced = new QLabel(text, dialog);
    unplaced->setGeometry(0, 0, 40, 24);
    const QFont before = unplaced->font();
    textfit::fitTexts(&form);
    QVERIFY(squeezed->font() != before);
    QVERIFY(widthOf(squeezed->font(), text) <= textfit::labelRoom(squeezed));
    QCOMPARE(unplaced->font(), before);
}

// The zone buttons of the picture name the zone's program, whichever it is.
void FitTest::zoneCaptionsFit() {
    QStringList misfits;
    for (int z = 0; z < 3; ++z) {
        zone& zn = zone_Zn[z];
        const quint8 status = zn.GetStatus(), prog = zn.GetProg();
        auto* button = zn.CaptionButton();
        QVERIFY(button);
        const int room = buttonRoom(button);
        zn.SetStatus(1);
        QSet<QString> captions; // each program its own, so the texts measured are the shown ones
        for (int p = 0; p < 128; ++p) {
            zn.SetProg(static_cast<quint8>(p));
            captions.insert(button->text());
            const int width = widthOf(button->font(), button->text());
            if (width > room)
                misfits << QStringLiteral("\"%1\" %2 px, room %3")
                               .arg(button->text())
                               .arg(width)
                               .arg(room);
        }
        zn.SetProg(prog);
        zn.SetStatus(status);
        QCOMPARE(captions.size(), 128);
    }
    QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join(QLatin1Char('\n'))));
}

QTEST_MAIN(FitTest)
#include "test_fit.moc"
