// "Save to file" and "Load from file": the 348-byte preset file through the window.
#include "boxes.h"
#include "identitycontroller.h"
#include "korvalen49_test.h"
#include "presetfile.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "searches.h"
#include "virtualbus.h"
#include "waits.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <random>

#include <unistd.h>

namespace {

// Every value of every item and zone, channel included, in file order.
QList<int> modelValues() {
    QList<int> v;
    auto addItem = [&v](const item& c) {
        v << c.GetType() << c.GetCC() << c.GetChan() << c.GetPort() << c.GetMode();
    };
    for (auto& bank : item_En)
        for (auto& c : bank)
            addItem(c);
    for (auto& bank : item_Fn)
        for (auto& c : bank)
            addItem(c);
    for (auto& bank : item_Pn)
        for (auto& c : bank)
            addItem(c);
    for (auto& c : item_Zoudai)
        addItem(c);
    addItem(item_S1);
    for (auto& z : zone_Zn)
        v << z.GetStatus() << z.GetProg() << z.GetMSB() << z.GetLSB() << z.GetChan() << z.GetPort()
          << z.GetRangSta() << z.GetRangEnd() << z.GetOct() << z.GetTrans();
    v << korvalen::presetGlobals[0];
    return v;
}

// Gives every field a value of its own, all different from the defaults where possible.
void scrambleModel(unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&rng](int max) { return static_cast<quint8>(rng() % (max + 1)); };
    auto setItem = [&](item& c) {
        c.SetType(pick(1));
        c.SetCC(pick(c.GetType() == 1 ? 127 : 171));
        c.SetChan(pick(16));
        c.SetPort(pick(5));
        c.SetMode(pick(1));
    };
    for (auto& bank : item_En)
        for (auto& c : bank)
            setItem(c);
    for (auto& bank : item_Fn)
        for (auto& c : bank)
            setItem(c);
    for (auto& bank : item_Pn)
        for (auto& c : bank)
            setItem(c);
    for (auto& c : item_Zoudai)
        setItem(c);
    setItem(item_S1);
    for (auto& z : zone_Zn) {
        z.SetStatus(pick(1));
        z.SetProg(pick(127));
        z.SetMSB(pick(127));
        z.SetLSB(pick(127));
        z.SetChan(pick(16));
        z.SetPort(pick(5));
        z.SetRangSta(pick(127));
        z.SetRangEnd(pick(127));
        z.SetOct(pick(8));
        z.SetTrans(pick(24));
    }
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

constexpr int kZoneChannelOffset = 4; // within a zone's ten values

// Files carry no zone channels: after a load they are what they were before it.
QList<int> withChannelsOf(QList<int> expected, const QList<int>& beforeLoad) {
    for (int z = 0; z < 3; ++z) {
        const int at = 62 * 5 + 10 * z + kZoneChannelOffset;
        expected[at] = beforeLoad[at];
    }
    return expected;
}

} // namespace

class TestFiles : public QObject {
    Q_OBJECT

    std::unique_ptr<Korvalen49_Test> window;
    QTemporaryDir dir;

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

private slots:
    // The boxes of a load do not wait: one a test left open is closed before the next test.
    void cleanup() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w)) box->close();
        for (auto* box : window->findChildren<QMessageBox*>())
            box->close();
        QCoreApplication::processEvents();
    }
    void initTestCase() {
        testsupport::useIdentityController();
        window = std::make_unique<Korvalen49_Test>();
        QVERIFY(dir.isValid());
    }

    void cleanupTestCase() {
        window.reset();
        korvalen::midi::setPlatform(nullptr);
    }

    void saveThenLoadGivesBackThePreset() {
        scrambleModel(1);
        korvalen::presetGlobals[0] = 22;
        const QList<int> saved = modelValues();
        QVERIFY(window->saveToFile(path("round.sav")));
        const QByteArray bytes = readAll(path("round.sav"));
        QCOMPARE(bytes.size(), 348);
        QVERIFY(bytes.startsWith("KORVALEN25"));

        scrambleModel(2);
        korvalen::presetGlobals[0] = 0;
        const QList<int> scrambled = modelValues();
        testboxes::BoxAnswerer boxes;
        QVERIFY(window->loadFromFile(path("round.sav")));
        KORVALEN_TRY_COMPARE(boxes.seen, QStringList{QStringLiteral("Load From File|Load OK!")});
        QCOMPARE(modelValues(), withChannelsOf(saved, scrambled));
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvalen25 Editor--------P23 User P23"));
    }

    void signatureTailIsNotCompared() {
        scrambleModel(3);
        QVERIFY(window->saveToFile(path("tail.sav")));
        const QList<int> saved = modelValues();
        QByteArray bytes = readAll(path("tail.sav"));
        bytes.replace(6, 4, "XY99");
        QVERIFY(writeAll(path("tail.sav"), bytes));
        scrambleModel(4);
        const QList<int> before = modelValues();
        testboxes::BoxAnswerer boxes;
        QVERIFY(window->loadFromFile(path("tail.sav")));
        KORVALEN_TRY_COMPARE(boxes.seen, QStringList{QStringLiteral("Load From File|Load OK!")});
        QCOMPARE(modelValues(), withChannelsOf(saved, before));
    }

    // The box says that the file cannot be accepted and, in a second line, why.
    void filesThatAreNotAccepted_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QByteArray good(348, '\0');
        good.replace(0, 10, "KORVALEN25");
        const QString wrongSignature =
            QStringLiteral("It does not begin with \"KORVALEN25\" as a preset file does.");
        QTest::newRow("5 bytes") << QByteArray("KORVA")
                                 << "It is too short: 5 of the 348 bytes of a preset file.";
        QTest::newRow("347 bytes")
            << good.left(347) << "It is too short: 347 of the 348 bytes of a preset file.";
        QTest::newRow("wrong signature")
            << QByteArray(good).replace(0, 6, "korval") << wrongSignature;
        QTest::newRow("short, wrong signature") << QByteArray("These are notes.") << wrongSignature;
        QTest::newRow("empty") << QByteArray() << QStringLiteral("The file is empty.");
    }
    void filesThatAreNotAccepted() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        scrambleModel(5);
        korvalen::presetGlobals[0] = 17;
        window->RefreshTitle();
        const QString title = window->windowTitle();
        const QList<int> before = modelValues();
        QVERIFY(writeAll(path("bad.sav"), bytes));
        testboxes::BoxAnswerer boxes;
        QVERIFY(!window->loadFromFile(path("bad.sav")));
        KORVALEN_TRY_COMPARE(
            boxes.seen,
            QStringList{QStringLiteral("Load From File|File Can not be accepted!\n") + reason});
        QCOMPARE(modelValues(), before);
        QCOMPARE(window->windowTitle(), title);
    }

    void longFileLoadsItsFirst348Bytes() {
        scrambleModel(6);
        korvalen::presetGlobals[0] = 29;
        QVERIFY(window->saveToFile(path("long.sav")));
        const QList<int> saved = modelValues();
        QByteArray bytes = readAll(path("long.sav"));
        bytes.append(QByteArray(100 * 1024 - bytes.size(), '\xFF'));
        QVERIFY(writeAll(path("long.sav"), bytes));
        scrambleModel(7);
        const QList<int> before = modelValues();
        testboxes::BoxAnswerer boxes;
        QVERIFY(window->loadFromFile(path("long.sav")));
        QCOMPARE(modelValues(), withChannelsOf(saved, before));
    }

    void outOfRangeByteSpoilsOnlyItsField() {
        scrambleModel(8);
        korvalen::presetGlobals[0] = 16;
        QVERIFY(window->saveToFile(path("range.sav")));
        QList<int> expected = modelValues();
        QByteArray bytes = readAll(path("range.sav"));
        // Channel 20 for encoder E3 of bank 1 (record 2, byte 2) and octave 9 for zone 2.
        bytes[10 + 2 * 5 + 2] = 20;
        bytes[10 + 310 + 9 + 7] = 9;
        QVERIFY(writeAll(path("range.sav"), bytes));
        scrambleModel(9);
        const QList<int> before = modelValues();
        testboxes::BoxAnswerer boxes;
        QVERIFY(window->loadFromFile(path("range.sav")));
        // Not "Load OK!": the box says how many values were left out.
        KORVALEN_TRY_COMPARE(boxes.seen,
                             QStringList{"Load From File|Loaded, but 2 value(s) in the file were "
                                         "out of range and were not taken; those settings kept "
                                         "their previous values."});
        const int e3chan = 2 * 5 + 2;
        const int zone2oct = 62 * 5 + 10 + 8;
        expected[e3chan] = before[e3chan];
        expected[zone2oct] = before[zone2oct];
        QCOMPARE(modelValues(), withChannelsOf(expected, before));
    }

    // A file of 0xFF after the signature: no value is in range, only the preset number (which
    // is stored unchecked) is taken and shown in the title.
    void fileWithNoValueInRangeSaysSo() {
        scrambleModel(10);
        const QList<int> before = modelValues();
        QByteArray bytes = QByteArray("KORVALEN25") + QByteArray(338, '\xFF');
        QVERIFY(writeAll(path("ff.sav"), bytes));
        testboxes::BoxAnswerer boxes;
        QVERIFY(window->loadFromFile(path("ff.sav")));
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        QVERIFY2(boxes.seen[0].startsWith("Load From File|Loaded, but 337 value(s)"),
                 qPrintable(boxes.seen[0]));
        QCOMPARE(modelValues().mid(0, before.size() - 1), before.mid(0, before.size() - 1));
        QCOMPARE(window->windowTitle(), QStringLiteral("Korvalen25 Editor--------P256"));
    }

    void fileThatCannotBeOpenedIsReported() {
        testboxes::BoxAnswerer boxes;
        const QList<int> before = modelValues();
        QVERIFY(!window->loadFromFile(path("does-not-exist.sav")));
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        QVERIFY(boxes.seen[0].contains(QStringLiteral("could not be opened")));
        QCOMPARE(modelValues(), before);
    }

    void failedSaveLeavesTheOldFileWhole() {
        // A folder this process cannot write to. As root, permissions do not stop a write,
        // so a file on a read-only file system stands in for it.
        QString target = path("locked/old.sav");
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("locked")));
        QVERIFY(writeAll(target, QByteArray("an older preset")));
        QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::ExeOwner);
        if (::access(QFile::encodeName(path("locked")).constData(), W_OK) == 0)
            target = QStringLiteral("/proc/version");
        const QByteArray old = readAll(target);
        QVERIFY(!old.isEmpty());

        testboxes::BoxAnswerer boxes;
        QVERIFY(!window->saveToFile(target));
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 1);
        QVERIFY(boxes.seen[0].startsWith(QStringLiteral("Save to file|")));
        // The status bar tells the same, as for every failure.
        QCOMPARE(window->statusBar()->currentMessage(), boxes.seen[0].section(QLatin1Char('|'), 1));
        QCOMPARE(readAll(target), old);
        QFile::setPermissions(path("locked"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // "Save to file" saves a name typed without a suffix as NAME.sav; a suffix of the user's
    // own stays.
    void savedNamesGetTheSuffix_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("saved");
        QTest::newRow("no suffix") << "/tmp/lead"
                                   << "/tmp/lead.sav";
        QTest::newRow("dot in a folder only") << "/tmp/a.b/lead"
                                              << "/tmp/a.b/lead.sav";
        QTest::newRow(".sav") << "/tmp/lead.sav"
                              << "/tmp/lead.sav";
        QTest::newRow(".SAV") << "/tmp/lead.SAV"
                              << "/tmp/lead.SAV";
        QTest::newRow("another suffix") << "/tmp/lead.bak"
                                        << "/tmp/lead.bak";
        QTest::newRow("nothing chosen") << ""
                                        << "";
    }
    void savedNamesGetTheSuffix() {
        QFETCH(QString, given);
        QFETCH(QString, saved);
        QCOMPARE(Korvalen49_Test::withPresetSuffix(given), saved);
    }

    // The dialogs themselves: the save dialog adds ".sav" to a typed name; the load dialog
    // lists preset files and offers every file as well.
    void fileDialogsOfferPresetFiles() {
        QStringList filters;
        QString suffix;
        QTimer answerer;
        answerer.setInterval(5);
        connect(&answerer, &QTimer::timeout, [&] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (d == nullptr || !d->isVisible()) return;
            if (d->acceptMode() == QFileDialog::AcceptSave) {
                suffix = d->defaultSuffix();
                d->selectFile(path("typed"));
                QMetaObject::invokeMethod(d, "accept"); // as the Save button does
            } else {
                filters = d->nameFilters();
                d->reject();
            }
        });
        answerer.start();
        testboxes::BoxAnswerer boxes;
        window->ComSaveFile();
        KORVALEN_TRY_COMPARE(suffix, QStringLiteral("sav"));
        QCOMPARE(readAll(path("typed.sav")).size(), 348);
        QVERIFY(!QFile::exists(path("typed")));
        window->ComLoadFile();
        KORVALEN_TRY_COMPARE(filters, (QStringList{"Save Files(*.sav)", "All files (*)"}));
        QVERIFY(boxes.seen.isEmpty());
    }

    void cancelledDialogsStaySilent() {
        QTimer rejecter;
        rejecter.setInterval(5);
        int dialogs = 0;
        connect(&rejecter, &QTimer::timeout, [&dialogs] {
            if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
                ++dialogs;
                d->reject();
            }
        });
        rejecter.start();
        testboxes::BoxAnswerer boxes;
        const QList<int> before = modelValues();
        window->ComSaveFile();
        window->ComLoadFile();
        KORVALEN_TRY_COMPARE(dialogs, 2);
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(modelValues(), before);
    }
};

QTEST_MAIN(TestFiles)
#include "test_files.moc"
