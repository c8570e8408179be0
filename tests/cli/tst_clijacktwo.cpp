// korvalen25-cli with two controllers on a real MIDI server: two korvalen25-sim processes on
// the fixture's private JACK server (whose own controller in upgrade mode has another identity
// and answers none of this test's messages). Without --port the program lists both and ends
// as a wrong command line does; with it, it reads or flashes the one named.
#include "jacksim.h"
#include "waits.h"

#include <QTemporaryDir>
#include <QTest>

using namespace clitest;

namespace {

// The identity of this test's controllers in upgrade mode: not the fixture's.
constexpr char kId[] = "00206B021B";

} // namespace

class CliJackTwoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!qEnvironmentVariableIsSet("JACK_DEFAULT_SERVER"))
            QSKIP("run through CTest: its fixture starts the JACK server");
        QVERIFY(dir_.isValid());
    }

    void getChoosesByPort() {
        const QString first = dir_.filePath("first.sav"), second = dir_.filePath("second.sav");
        QVERIFY(writeAll(first, bytesOf(randomSav(11, 16))));
        QVERIFY(writeAll(second, bytesOf(randomSav(12, 16))));
        Sim a({"--client-name", "KorvalenFirst", "--load-sav", first});
        QVERIFY(a.ready());
        Sim b({"--client-name", "KorvalenSecond", "--load-sav", second});
        QVERIFY(b.ready());

        // Without --port: both listed, one line each with its port names; nothing written.
        const QString file = dir_.filePath("got.sav");
        Result r = cli({"get", "P17", file});
        QCOMPARE(r.code, 2);
        const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].startsWith("korvalen25-cli: 2 Korvalen25 controllers answered"),
                 qPrintable(r.err));
        QCOMPARE(lines.filter("KorvalenFirst").size(), 1);
        QCOMPARE(lines.filter("KorvalenSecond").size(), 1);
        QVERIFY(!QFile::exists(file));

        // With --port, in any case: the one named, whichever is probed first.
        r = cli({"get", "--port", "korvalensecond", "P17", file});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(readAll(file), bytesOf(randomSav(12, 16)));
        r = cli({"get", "--port", "KorvalenFirst", "P17", file});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(readAll(file), bytesOf(randomSav(11, 16)));
    }

    void flashChoosesByPort() {
        const QString outA = dir_.filePath("flashed-a.bin"), outB = dir_.filePath("flashed-b.bin");
        Sim a({"--client-name", "KorvalenUpA", "--upgrade", "--id", kId, "--image-out", outA});
        QVERIFY(a.ready());
        Sim b({"--client-name", "KorvalenUpB", "--upgrade", "--id", kId, "--image-out", outB});
        QVERIFY(b.ready());
        const QByteArray bytes = firmwareFile(28 * 30 + 2, kId);
        const QString image = dir_.filePath("fw.bin");
        QVERIFY(writeAll(image, bytes));

        Result r = cli({"flash", image});
        QCOMPARE(r.code, 2);
        QVERIFY2(r.err.startsWith("korvalen25-cli: 2 Korvalen25 controllers in upgrade mode "
                                  "answered"),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains("KorvalenUpA") && r.err.contains("KorvalenUpB"), qPrintable(r.err));
        QVERIFY2(!r.out.contains("Writing the firmware"), qPrintable(r.out));

        r = cli({"flash", "--port", "korvalenupb", image});
        QVERIFY2(r.code == 0, qPrintable(r.err + r.out));
        KORVALEN_TRY_COMPARE(readAll(outB), bytes.left(bytes.size() - 15));
        QVERIFY(!QFile::exists(outA));
    }

private:
    QTemporaryDir dir_;
};

QTEST_GUILESS_MAIN(CliJackTwoTest)
#include "tst_clijacktwo.moc"
