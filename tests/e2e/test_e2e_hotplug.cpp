// Hot-plug over JACK, on the faults server (2048-frame periods), or on the backend that
// KORVALEN_E2E_API names (whose test script starts the silent client): once the fixture's
// emulator is stopped, only a client that never answers is left, so the editor starts without a
// controller (its search is cancelled from the search window). Then korvalen25-sim is started:
// a controller that ignores its first identity probe, as one still starting does. The editor
// must find it by itself, without ReConnect, read its preset 0, notice when it is gone and find
// it again when it comes back.
#include "boxes.h"
#include "searches.h"
#include "e2ecommon.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "portwatch.h"

#include <QLabel>
#include <QProcess>
#include <QStatusBar>

#include <csignal>
#include <memory>

namespace {

const QString kPreset0Title = QStringLiteral("Korvalen25 Editor--------P01 Korvalen");

// korvalen25-sim as a child of this test, on the fixture's server.
class Emulator {
public:
    bool start() {
        process_.setProgram(QStringLiteral(KORVALEN_SIM));
        process_.setArguments(
            {"--midi-api", e2e::apiArgument(), "--exit-with-parent", "--ignore-probes", "1"});
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start();
        if (!process_.waitForStarted(10000)) return false;
        // Its ports exist once it prints its ready line.
        return QTest::qWaitFor(
            [this] {
                process_.waitForReadyRead(10);
                return process_.canReadLine() && process_.readLine().startsWith("ready ");
            },
            20000);
    }
    void stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.terminate();
        if (!process_.waitForFinished(10000)) {
            process_.kill();
            process_.waitForFinished();
        }
    }
    ~Emulator() { stop(); }

private:
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
            QTRY_VERIFY_WITH_TIMEOUT(e2e::fixtureEmulatorPid() == 0, 10000);
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
            QTRY_COMPARE(boxes.seen, QStringList{QStringLiteral("Connection|Connect Error!")});
        }
        QVERIFY(!midiLink.editorConnected());
        auto linkNote = [&] { return window->findChild<QLabel*>("linkNote")->text(); };

        Emulator emulator;
        QVERIFY(emulator.start());
        QTRY_VERIFY_WITH_TIMEOUT(midiLink.editorConnected(), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), kPreset0Title, 15000);
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
        QTRY_VERIFY_WITH_TIMEOUT(linkNote().startsWith(QStringLiteral("Controller lost")), 10000);
        window->setWindowTitle(QStringLiteral("waiting"));
        QVERIFY(emulator.start());
        QTRY_COMPARE_WITH_TIMEOUT(window->windowTitle(), kPreset0Title, 20000);
        QVERIFY2(linkNote().startsWith(QStringLiteral("Controller on Korvalen25")),
                 qPrintable(linkNote()));
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Upload OK!"));
    }
};

QTEST_MAIN(TestE2eHotplug)
#include "test_e2e_hotplug.moc"
