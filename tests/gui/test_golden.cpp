// Golden checks: what the editor shows and writes, against files kept in tests/golden.
// - lists.txt: the name tables and the text of every entry of every list box of the window
//   (and of the upload dialog), boxes with the same entries grouped.
// - known-model.sav: the 348 bytes that "Save to file" writes for a model set to known values.
// With KORVALEN_UPDATE_GOLDEN=1 the test writes the files instead of comparing (then look at
// the difference before committing it).
#include "identitycontroller.h"
#include "korvalen49_test.h"
#include "nametables.h"
#include "presetmodel.h"
#include "presetprotocol.h"

#include <QComboBox>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString goldenPath(const char* name) {
    return QStringLiteral(KORVALEN_GOLDEN_DIR "/") + QLatin1String(name);
}

// Compares `actual` with the golden file, or writes it when asked to.
void checkGolden(const char* name, const QByteArray& actual) {
    QFile file(goldenPath(name));
    if (qEnvironmentVariableIntValue("KORVALEN_UPDATE_GOLDEN") == 1) {
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(actual), actual.size());
        QSKIP("golden file written");
    }
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QByteArray expected = file.readAll();
    if (actual == expected) return;
    // The first line that differs says what broke.
    const QList<QByteArray> a = actual.split('\n');
    const QList<QByteArray> e = expected.split('\n');
    for (qsizetype i = 0; i < std::max(a.size(), e.size()); ++i) {
        const QByteArray got = i < a.size() ? a[i] : QByteArray("(end)");
        const QByteArray want = i < e.size() ? e[i] : QByteArray("(end)");
        if (got != want)
            QFAIL(qPrintable(QStringLiteral("%1 line %2: got \"%3\", expected \"%4\"")
                                 .arg(QLatin1String(name))
                                 .arg(i + 1)
                                 .arg(QString::fromUtf8(got), QString::fromUtf8(want))));
    }
    QFAIL("golden file differs");
}

void appendTable(QByteArray& out, const char* title, const char* const* names, int count) {
    out += "# " + QByteArray(title) + '\n';
    for (int i = 0; i < count; ++i)
        out += QByteArray::number(i) + '\t' + names[i] + '\n';
}

// Every combo box below `roots`, grouped by identical entries: "# NAME NAME ..." and then
// the entries, one "index<TAB>text" a line; groups in the order of their first box name.
void appendBoxes(QByteArray& out, const QList<QWidget*>& roots, const QString& suffix = {}) {
    QMap<QStringList, QStringList> groups; // entries -> box names
    QList<QComboBox*> boxes;
    for (QWidget* root : roots) {
        if (auto* box = qobject_cast<QComboBox*>(root)) boxes << box;
        boxes << root->findChildren<QComboBox*>();
    }
    for (QComboBox* box : boxes) {
        QStringList entries;
        for (int i = 0; i < box->count(); ++i)
            entries << box->itemText(i);
        groups[entries] << box->objectName() + suffix;
    }
    QList<std::pair<QStringList, QStringList>> sorted; // names, entries
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        QStringList names = it.value();
        names.sort();
        sorted.append({names, it.key()});
    }
    std::sort(sorted.begin(), sorted.end());
    for (const auto& [names, entries] : sorted) {
        out += "# " + names.join(' ').toUtf8() + '\n';
        for (qsizetype i = 0; i < entries.size(); ++i)
            out += QByteArray::number(i) + '\t' + entries[i].toUtf8() + '\n';
    }
}

} // namespace

class TestGolden : public QObject {
    Q_OBJECT

    std::unique_ptr<Korvalen49_Test> window;

private slots:
    void initTestCase() {
        testsupport::useIdentityController();
        window = std::make_unique<Korvalen49_Test>();
        window->buildAllPages();
    }

    void cleanupTestCase() {
        window.reset();
        korvalen::midi::setPlatform(nullptr);
    }

    void namesAndListTexts() {
        QByteArray out;
        appendTable(out, "nameTable", korvalen::nameTable, korvalen::kNameTableSize);
        appendTable(out, "presetNames", korvalen::presetNames, korvalen::kPresetNameCount);
        appendTable(out, "noteNames", korvalen::noteNames, 12);
        appendBoxes(out, {window.get(), &window->uploadDialog()});
        // The note list, as a button's assignment box shows it for a note.
        item_Fn[0][0].SetType(1);
        appendBoxes(out, {window->findChild<QComboBox*>(QStringLiteral("F1_ccBox"))},
                    QStringLiteral(" (Note)"));
        item_Fn[0][0].SetType(0);
        checkGolden("lists.txt", out);
    }

    // Every field of every control and zone set through its setter to a value that tells it
    // from its neighbours; the bytes of the file pin the record layout and order.
    void savedFileOfAKnownModel() {
        int n = 0;
        auto set = [&n](item& c) {
            ++n;
            c.SetType(static_cast<quint8>(n % 2));
            c.SetCC(static_cast<quint8>((n * 5) % 128));
            c.SetChan(static_cast<quint8>(n % 17));
            c.SetPort(static_cast<quint8>(n % 6));
            c.SetMode(static_cast<quint8>((n / 2) % 2));
        };
        for (auto& bank : item_En)
            for (item& c : bank)
                set(c);
        for (auto& bank : item_Fn)
            for (item& c : bank)
                set(c);
        for (auto& bank : item_Pn)
            for (item& c : bank)
                set(c);
        for (item& c : item_Zoudai)
            set(c);
        set(item_S1);
        for (int z = 0; z < 3; ++z) {
            zone& zn = zone_Zn[z];
            zn.SetStatus(static_cast<quint8>(z % 2));
            zn.SetProg(static_cast<quint8>(10 + z));
            zn.SetMSB(static_cast<quint8>(20 + z));
            zn.SetLSB(static_cast<quint8>(30 + z));
            zn.SetChan(static_cast<quint8>(7 + z)); // not in the file
            zn.SetPort(static_cast<quint8>(1 + z));
            zn.SetRangSta(static_cast<quint8>(40 + z));
            zn.SetRangEnd(static_cast<quint8>(90 + z));
            zn.SetOct(static_cast<quint8>(2 + z));
            zn.SetTrans(static_cast<quint8>(14 + z));
        }
        korvalen::presetGlobals[korvalen::global::kPresetNumber] = 22;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("known.sav"));
        QVERIFY(window->saveToFile(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(bytes.size(), 348);
        checkGolden("known-model.sav", bytes);
    }
};

QTEST_MAIN(TestGolden)
#include "test_golden.moc"
