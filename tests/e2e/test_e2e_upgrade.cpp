// Firmware flashes over JACK into korvalen25-sim in upgrade mode: a whole image written byte
// for byte; the controller behind a client that never answers, answering its probe late; a
// controller that asks for one block again and again; a controller that ends in the middle.
//
// The fixture's emulator answers the identity 00 20 6B 02 19. The tests that start emulators
// of their own give them other identities, so that each image is answered by one of them only.
#include "e2ecommon.h"
#include "midi.h"
#include "upgrade.h"
#include "upgradefiles.h"
#include "waits.h"

#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

namespace {

namespace text = upgradetext;
using namespace testupgrade;

// A korvalen25-sim of the test's own on the fixture's server; it ends with the test.
class Emulator {
public:
    bool start(const QString& clientName, const QStringList& args, QString* why) {
        process_.setProgram(QStringLiteral(KORVALEN_SIM_PROGRAM));
        process_.setArguments(QStringList{"--midi-api", e2e::apiArgument(), "--client-name",
                                          clientName, "--exit-with-parent"} +
                              args);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(-1)) {
            *why = clientName + ": the emulator did not start";
            return false;
        }
        QByteArray out;
        while (!out.contains("ready ")) {
            if (!process_.waitForReadyRead(-1)) {
                *why = clientName + ": the emulator did not get ready";
                return false;
            }
            out += process_.readAllStandardOutput();
        }
        return true;
    }
    // Ends the program (SIGTERM): its ports go, as when the controller is unplugged.
    bool stop() {
        process_.terminate();
        return process_.waitForFinished(-1);
    }
    ~Emulator() {
        if (process_.state() == QProcess::NotRunning) return;
        if (!stop()) {
            process_.kill();
            process_.waitForFinished(-1);
        }
    }

private:
    QProcess process_;
};

} // namespace

class TestE2eUpgrade : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    // A dialog with the image of `body` and identity `id` loaded, its log cleared.
    std::unique_ptr<UpgradeDlg> dialogWith(const QByteArray& body, std::array<std::uint8_t, 5> id) {
        const QString path = dir.filePath(QStringLiteral("firmware.bin"));
        QFile f(path);
        const QByteArray file = imageFile(body, id, "103");
        if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size()) return nullptr;
        f.close();
        auto dlg = std::make_unique<UpgradeDlg>();
        dlg->loadImage(path);
        if (!dlg->ui.upgradeStart->isEnabled()) return nullptr;
        dlg->ui.upgradeLog->clear();
        return dlg;
    }

    static void runToEnd(UpgradeDlg& dlg) {
        dlg.OnFirmwareUpgrade();
        connectThread.wait();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    static QByteArray fileContent(const QString& path) {
        QFile out(path);
        return out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
    }

private slots:
    void initTestCase() {
        const std::string error = e2e::useBackend();
        QVERIFY2(error.empty(), error.c_str());
        QVERIFY(dir.isValid());
    }

    void cleanup() {
        connectThread.requestStop();
        connectThread.wait();
    }

    void cleanupTestCase() { e2e::releaseBackend(); }

    void fullFlash() {
        // 200 blocks: each waits for the device's request, a round trip through the server.
        const QByteArray body = randomBody(200 * 28 - 5, 42);
        QFile::remove(QStringLiteral(KORVALEN_IMAGE_OUT));
        auto dlg = dialogWith(body, kId); // the fixture emulator's identity
        QVERIFY(dlg);
        runToEnd(*dlg);
        QCOMPARE(logOf(*dlg), kSuccessLog);
        QCOMPARE(dlg->ui.devVer->text(), QStringLiteral("1.02"));
        KORVALEN_TRY_VERIFY(QFile::exists(QStringLiteral(KORVALEN_IMAGE_OUT)));
        QCOMPARE(fileContent(QStringLiteral(KORVALEN_IMAGE_OUT)), body);
    }

    // A client that never answers is listed before the controller, which answers each probe
    // 100 ms late: the firmware goes to the controller, whole.
    void lateReplyBehindAClientListedFirst() {
        QString why;
        Emulator quiet, late;
        const QString imageOut = dir.filePath(QStringLiteral("late.bin"));
        QVERIFY2(quiet.start("Korvalen25 Quiet", {"--silent"}, &why), qPrintable(why));
        QVERIFY2(late.start("Korvalen25 Late",
                            {"--upgrade", "--id", "0102030405", "--identity-delay", "100",
                             "--image-out", imageOut},
                            &why),
                 qPrintable(why));
        const QByteArray body = randomBody(60 * 28, 43);
        auto dlg = dialogWith(body, {0x01, 0x02, 0x03, 0x04, 0x05});
        QVERIFY(dlg);
        runToEnd(*dlg);
        QCOMPARE(logOf(*dlg), kSuccessLog);
        KORVALEN_TRY_VERIFY(QFile::exists(imageOut));
        QCOMPARE(fileContent(imageOut), body);
    }

    // A controller that never takes block 4: the run ends, naming the block, with Start on.
    void alwaysRepeatingEmulatorEndsTheRun() {
        QString why;
        Emulator stuck;
        QVERIFY2(stuck.start("Korvalen25 Stuck",
                             {"--upgrade", "--id", "0203040506", "--repeat-block", "3"}, &why),
                 qPrintable(why));
        auto dlg = dialogWith(randomBody(20 * 28, 44), {0x02, 0x03, 0x04, 0x05, 0x06});
        QVERIFY(dlg);
        runToEnd(*dlg);
        const QStringList log = logOf(*dlg);
        QCOMPARE(log.mid(0, 3), kSuccessLog.mid(0, 3));
        QCOMPARE(log.last(), QStringLiteral("ERROR: The device asked for block 4 of 20 again 8 "
                                            "times in a row and does not take it. Restart it in "
                                            "upgrade mode and try again."));
        QVERIFY(!log.contains(text::kUpdateOk));
        QCOMPARE(dlg->ui.upgradeBar->value(), 3);
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
    }

    // The controller disappears in the middle of a flash: within 6 s the log says that it
    // stopped answering, and Start is back on.
    void emulatorKilledInTheMiddleOfAFlash() {
        QString why;
        Emulator doomed;
        QVERIFY2(doomed.start("Korvalen25 Doomed", {"--upgrade", "--id", "0304050607"}, &why),
                 qPrintable(why));
        auto dlg = dialogWith(randomBody(20000 * 28, 45), {0x03, 0x04, 0x05, 0x06, 0x07});
        QVERIFY(dlg);
        dlg->OnFirmwareUpgrade();
        KORVALEN_TRY_VERIFY(dlg->ui.upgradeBar->value() >= 20);
        QVERIFY(doomed.stop());
        KORVALEN_TRY_VERIFY(logOf(*dlg).last() == QLatin1String(text::kDeviceSilent));
        // Start comes back once the run has closed its ports.
        KORVALEN_TRY_VERIFY(dlg->ui.upgradeStart->isEnabled());
        QVERIFY(!logOf(*dlg).contains(text::kUpdateOk));
        QVERIFY(dlg->ui.upgradeBar->value() < 20000);
        connectThread.wait();
    }
};

QTEST_MAIN(TestE2eUpgrade)
#include "test_e2e_upgrade.moc"
