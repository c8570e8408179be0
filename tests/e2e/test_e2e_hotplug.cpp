// Hot-plug over JACK, on the faults server (2048-frame periods), or on the backend that
// KORVALEN_E2E_API names (whose test script starts the silent client): once the fixture's
// emulator is stopped, only a client that never answers is left, so the editor starts without a
// controller (its search is cancelled from the search window). Then korvalen25-sim is started:
// a controller that ignores its first identity probe, as one still starting does. The editor
// must find it by itself, without ReConnect, read its preset 0, notice when it is gone and find
// it again when it comes back. With KORVALEN_E2E_PLUG and KORVALEN_E2E_UNPLUG set (shell
// commands), those make the controller come and go instead: a USB cable plugged in and pulled.
#include "boxes.h"
#include "e2ecommon.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "portwatch.h"
#include "searches.h"
#include "waits.h"

#include <QLabel>
#include <QProcess>
#include <QStatusBar>

#include <csignal>
#include <memory>

namespace {

const QString kPreset0Title = QStringLiteral("Korvalen25 Editor--------P01 Korvalen");

// korvalen25-sim as a child of this test, on the fixture's server; or the commands that plug
// and unplug a controller.
class Emulator {
public:
    bool start() {
        if (!plug_.isEmpty()) {
            if (!run(plug_)) return false;
            plugged_ = true;
            return true;
        }
        process_.setProgram(QStringLiteral(KORVALEN_SIM));
        process_.setArguments(
            {"--midi-api", e2e::apiArgument(), "--exit-with-parent", "--ignore-probes", "1"});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        // No bounds of their own: the test's time-out ends a program that never comes up.
        if (!process_.waitForStarted(-1)) return false;
        // Its ports exist once it prints its ready line.
        while (!process_.canReadLine())
            if (!process_.waitForReadyRead(-1)) return false; // it has ended
        return process_.readLine().startsWith("ready ");
    }
    void stop() {
        if (plugged_) {
            plugged_ = false;
            QVERIFY(run(unplug_));
            return;
        }
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        process_.waitForFinished(-1);
    }
    ~Emulator() { stop(); }

private:
    // Runs a shell command to its end (bounded by the test's time-out); true when it exits 0.
    static bool run(const QString& command) {
        QProcess shell;
        shell.setProcessChannelMode(QProcess::ForwardedChannels);
        shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), command});
        return shell.waitForFinished(-1) && shell.exitStatus() == QProcess::NormalExit &&
               shell.exitCode() == 0;
    }

    const QString plug_ = qEnvironmentVariable("KORVALEN_E2E_PLUG");
    const QString unplug_ = qEnvironmentVariable("KORVALEN_E2E_UNPLUG");
    bool plugged_ = false;
    QProcess process_;
};

} // namespace

class TestE2eHotplug : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const std::string error = e2e::useBackend();
        QVERIFY2(error.empty(), error.c_str());
        // The faults test stops the fixture's emulator at its end; run alone, this test does.
        if (const qint64 pid = e2e::fixtureEmulatorPid()) {
            QCOMPARE(::kill(static_cast<pid_t>(pid), SIGTERM), 0);
            KORVALEN_TRY_VERIFY(e2e::fixtureEmulatorPid() == 0);
        }
    }

    void cleanupTestCase() { e2e::releaseBackend(); }

    void controllerStartedLaterIsFoundWithoutReConnect() {
        std::unique_ptr<Korvalen49_Test> window;
        {
            testboxes::SearchCanceller canceller;
            testboxes::BoxAnswerer boxes;
            window = std::make_unique<Korvalen49_Test>();
            window->show();
            QVERIFY(testsearch::ended(*window));
            QCOMPARE(canceller.cancelled, 1);
            KORVALEN_TRY_COMPARE(boxes.seen,
                                 QStringList{QStringLiteral("Connection|Connect Error!")});
        }
        QCOMPARE(window->linkState(), Korvalen49_Test::LinkState::NotConnected);
        auto linkNote = [&] { return window->findChild<QLabel*>("linkNote")->text(); };

        Emulator emulator;
        QVERIFY(emulator.start());
        KORVALEN_TRY_COMPARE(window->linkState(), Korvalen49_Test::LinkState::Connected);
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);
        QVERIFY2(linkNote().startsWith(QStringLiteral("Controller on Korvalen25")),
                 qPrintable(linkNote()));
        // The first probe went unanswered: found in a later attempt, on the new port alone.
        const auto& record = window->lastSearchRecord();
        qInfo("hot-plug search: %d attempt(s)", record.attempts);
        QVERIFY(record.attempts >= 2);
        for (const auto& output : record.outputs)
            QCOMPARE(output.probed, output.name.rfind("Korvalen25", 0) == 0);

        // Gone, then back: lost, and found again.
        emulator.stop();
        KORVALEN_TRY_VERIFY(linkNote().startsWith(QStringLiteral("Controller lost")));
        window->setWindowTitle(QStringLiteral("waiting"));
        QVERIFY(emulator.start());
        KORVALEN_TRY_COMPARE(window->windowTitle(), kPreset0Title);
        QVERIFY2(linkNote().startsWith(QStringLiteral("Controller on Korvalen25")),
                 qPrintable(linkNote()));
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Upload OK!"));
    }
};

QTEST_MAIN(TestE2eHotplug)
#include "test_e2e_hotplug.moc"
