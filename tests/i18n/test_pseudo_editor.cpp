// Every text the editor shows goes through a translation: with a pseudo-translation that wraps
// each translated text in "[~" and "~]", every page and every dialog is opened and each text
// with letters must be marked, or be data (the device's own labels, names and numbers).
#include "everywindow.h"
#include "guitestutil.h"
#include "midiplatform.h"
#include "nametables.h"
#include "pseudomarks.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSet>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>
#include <QTranslator>

using namespace guitest;

namespace {

// What a translation leaves unmarked on purpose, each with the reason. Whole texts only.
QSet<QString> dataTexts() {
    QSet<QString> data;
    // Preset names: the device's own (the factory preset and the user presets).
    for (const char* name : korvalen::presetNames)
        data << QString::fromLatin1(name).trimmed();
    // Assignment and program names: the device's list of what a control sends.
    for (const char* name : korvalen::nameTable)
        data << QString::fromLatin1(name).trimmed();
    // The controls' labels as printed on the device, and its banks.
    for (int i = 1; i <= 8; ++i)
        data << QStringLiteral("E%1").arg(i);
    for (int i = 1; i <= 4; ++i)
        data << QStringLiteral("F%1").arg(i) << QStringLiteral("P%1").arg(i)
             << QStringLiteral("BANK %1").arg(i);
    data << QStringLiteral("S1") << QStringLiteral("A") << QStringLiteral("B")
         << QStringLiteral("REW") << QStringLiteral("FF") << QStringLiteral("STOP")
         << QStringLiteral("PLAY") << QStringLiteral("REC");
    // MIDI's own abbreviations, the same in every language.
    data << QStringLiteral("CC") << QStringLiteral("MSB") << QStringLiteral("LSB")
         << QStringLiteral("MIDI") << QStringLiteral("OFF") << QStringLiteral("ON");
    // The product's name.
    data << QStringLiteral("Korvalen25");
    // What this test itself puts in: the title it gives the search window (the program gives
    // its own through tr()) and the name of the preset it saves in the library.
    data << QStringLiteral("Connecting to the Korvalen25") << QStringLiteral("first");
    // The MIDI ports' names, as the system gives them.
    for (const std::string& port : korvalen::midi::platform().inputNames())
        data << QString::fromStdString(port);
    for (const std::string& port : korvalen::midi::platform().outputNames())
        data << QString::fromStdString(port);
    return data;
}

// Whether `text` is data: a whole data text, or one of the device's forms around one.
bool isData(const QSet<QString>& data, const QString& text) {
    if (data.contains(text)) return true;
    // A preset number, alone or with the preset's name ("P17 User 1").
    static const QRegularExpression preset(QStringLiteral("^P\\d\\d(?: (.+))?$"));
    // A list entry: a number before a name of the device's list or a note ("60    C4").
    static const QRegularExpression entry(QStringLiteral("^\\d+ +(.+)$"));
    // A note name with its octave ("C#4", "C 4").
    static const QRegularExpression note(QStringLiteral("^[A-G]#? ?-?\\d+$"));
    // A MIDI channel in its short form, as the device and the comparisons show it ("Ch5").
    static const QRegularExpression channel(QStringLiteral("^Ch\\d+$"));
    // A path: the library's folder.
    static const QRegularExpression path(QStringLiteral("^/\\S*$"));
    // A version or hexadecimal bytes.
    static const QRegularExpression number(QStringLiteral("^v?[\\d.]+$|^([0-9A-F]{2} ?)+$"));
    if (const auto m = preset.match(text); m.hasMatch())
        return m.captured(1).isEmpty() || data.contains(m.captured(1).trimmed());
    if (const auto m = entry.match(text); m.hasMatch())
        return data.contains(m.captured(1).trimmed()) || note.match(m.captured(1)).hasMatch();
    return note.match(text).hasMatch() || number.match(text).hasMatch() ||
           channel.match(text).hasMatch() || path.match(text).hasMatch();
}

struct Checker {
    QSet<QString> data = dataTexts();
    QStringList problems;
    int checked = 0;

    void check(const QString& where, QString text) {
        if (Qt::mightBeRichText(text)) {
            QTextDocument doc;
            doc.setHtml(text);
            text = doc.toPlainText();
        }
        if (text.trimmed().isEmpty()) return;
        ++checked;
        const QString rest = unmarkedPart(text).remove(QLatin1Char('&')).trimmed();
        if (!rest.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")))) return;
        if (isData(data, rest)) return;
        problems << QStringLiteral("%1: \"%2\"").arg(where, text);
    }

    void checkMenu(const QString& where, QMenu* menu) {
        check(where + QStringLiteral(" menu"), menu->title());
        for (QAction* a : menu->actions()) {
            if (a->isSeparator()) continue;
            if (a->menu()) {
                checkMenu(where, a->menu());
                continue;
            }
            check(where + QStringLiteral(" action ") + a->objectName(), a->text());
            if (a->toolTip() != QString(a->text()).remove(QLatin1Char('&')))
                check(where + QStringLiteral(" tooltip of ") + a->objectName(), a->toolTip());
            check(where + QStringLiteral(" status tip of ") + a->objectName(), a->statusTip());
        }
    }

    void checkHeaders(const QString& where, QAbstractItemView* view) {
        QAbstractItemModel* model = view->model();
        if (model == nullptr) return;
        for (int c = 0; c < model->columnCount(); ++c)
            check(where + QStringLiteral(" column %1").arg(c),
                  model->headerData(c, Qt::Horizontal).toString());
    }

    // Every text of `top` and its visible parts.
    void checkWindow(QWidget* top) {
        const QString name = top->objectName();
        check(name + QStringLiteral(" title"), top->windowTitle());
        QList<QWidget*> widgets = top->findChildren<QWidget*>();
        widgets.prepend(top);
        for (QWidget* w : widgets) {
            if (w != top && (w->window() != top || !w->isVisibleTo(top))) continue;
            const QString at = name + QLatin1Char('/') + w->objectName() + QLatin1Char('(') +
                               QLatin1String(w->metaObject()->className()) + QLatin1Char(')');
            check(at + QStringLiteral(" tooltip"), w->toolTip());
            check(at + QStringLiteral(" accessible name"), w->accessibleName());
            check(at + QStringLiteral(" accessible description"), w->accessibleDescription());
            check(at + QStringLiteral(" status tip"), w->statusTip());
            if (auto* label = qobject_cast<QLabel*>(w)) check(at, label->text());
            // A standard button of a button box has Qt's own text, which Qt's translations carry.
            auto* buttons = qobject_cast<QDialogButtonBox*>(w->parentWidget());
            auto* button = qobject_cast<QAbstractButton*>(w);
            if (button &&
                !(buttons && buttons->standardButton(button) != QDialogButtonBox::NoButton))
                check(at, button->text());
            if (auto* box = qobject_cast<QGroupBox*>(w)) check(at, box->title());
            if (auto* edit = qobject_cast<QLineEdit*>(w)) check(at, edit->placeholderText());
            if (auto* bar = qobject_cast<QProgressBar*>(w)) check(at, bar->format());
            if (auto* bar = qobject_cast<QStatusBar*>(w)) check(at, bar->currentMessage());
            if (auto* tabs = qobject_cast<QTabBar*>(w))
                for (int i = 0; i < tabs->count(); ++i)
                    check(at + QStringLiteral(" tab %1").arg(i), tabs->tabText(i));
            if (auto* combo = qobject_cast<QComboBox*>(w))
                for (int i = 0; i < combo->count(); ++i)
                    check(at + QStringLiteral(" item %1").arg(i), combo->itemText(i));
            if (auto* view = qobject_cast<QAbstractItemView*>(w)) checkHeaders(at, view);
            if (auto* bar = qobject_cast<QMenuBar*>(w))
                for (QAction* a : bar->actions())
                    if (a->menu()) checkMenu(name, a->menu());
        }
    }
};

} // namespace

class PseudoEditorTest : public QObject {
    Q_OBJECT

    QTranslator pseudo_;

private slots:
    void initTestCase() {
        const QString qm = qEnvironmentVariable("KORVALEN_PSEUDO_QM");
        QVERIFY2(!qm.isEmpty(), "KORVALEN_PSEUDO_QM names the pseudo-translation");
        QVERIFY2(pseudo_.load(qm), qPrintable(QStringLiteral("cannot load ") + qm));
        QVERIFY(QCoreApplication::installTranslator(&pseudo_));
        useQuietController();
    }

    // The check itself: a marked text passes, an English one fails, data passes.
    void checker() {
        Checker c;
        c.check(QStringLiteral("a"), QStringLiteral("[~&Save~]"));
        c.check(QStringLiteral("b"), QStringLiteral("[~Loaded: [~%1 value(s)~]~]"));
        c.check(QStringLiteral("c"), QStringLiteral("P17 User P17"));
        c.check(QStringLiteral("d"), QStringLiteral("BANK 2"));
        QVERIFY2(c.problems.isEmpty(), qPrintable(c.problems.join(QLatin1Char('\n'))));
        c.check(QStringLiteral("e"), QStringLiteral("Save"));
        c.check(QStringLiteral("f"), QStringLiteral("[~Loaded~] from file"));
        QCOMPARE(c.problems.size(), 2);
    }

    void everyPageAndDialogIsTranslated() {
        auto window = shownWindow();
        QVERIFY(window);
        window->buildAllPages();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
        Checker c;
        for (int page = 0; page < 6; ++page) {
            everywindow::showPage(window.get(), page);
            c.checkWindow(window.get());
        }
        const auto dialogs = everywindow::openDialogs(*window, dir);
        for (const auto& d : dialogs) {
            if (!d.widget) {
                c.problems << d.name + QStringLiteral(" did not open");
                continue;
            }
            c.checkWindow(d.widget);
            d.widget->close();
        }
        // The pages' labels and boxes and the dialogs' texts were all reached.
        QVERIFY2(c.checked > 300, qPrintable(QString::number(c.checked)));
        c.problems.removeDuplicates();
        for (const QString& p : c.problems)
            qInfo().noquote() << "not translated:" << p;
        QVERIFY2(c.problems.isEmpty(),
                 qPrintable(QStringLiteral("%1 text(s) not translated").arg(c.problems.size())));
    }
};

QTEST_MAIN(PseudoEditorTest)
#include "test_pseudo_editor.moc"
