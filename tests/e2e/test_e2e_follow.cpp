// Following the controller over a real MIDI server: korvalen25-sim, started by this test, is
// told on its standard input to touch controls, and the editor (RtMidi on JACK, or on the
// backend KORVALEN_E2E_API names) shows each one: a controller change, a note of a key, and the
// MMC System Exclusive of a transport button. On the JACK faults server, once the hot-plug test
// is done with it: the fixture's emulator is stopped if it still runs, so that the test's own is
// the one controller.
#include "e2ecommon.h"
#include "korvalen49_test.h"
#include "searches.h"
#include "waits.h"

#include <QAction>
#include <QComboBox>
#include <QProcess>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <csignal>
#include <memory>

class TestE2eFollow : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir;
    QProcess sim;

    bool startSim() {
        sim.setProgram(QStringLiteral(KORVALEN_SIM));
        sim.setArguments({"--midi-api", e2e::apiArgument(), "--exit-with-parent"});
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start();
        // No bounds of their own: the test's time-out ends a program that never comes up.
        if (!sim.waitForStarted(-1)) return false;
        while (!sim.canReadLine())
            if (!sim.waitForReadyRead(-1)) return false;
        return sim.readLine().startsWith("ready ");
    }
    // A command to the emulator, and its answer line ("touched E3:3: B2 16 40").
    QByteArray command(const QByteArray& line) {
        sim.write(line + '\n');
        while (!sim.canReadLine())
            if (!sim.waitForReadyRead(-1)) return {};
        return sim.readLine().trimmed();
    }

private slots:
    void initTestCase() {
        QVERIFY(settingsDir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        const std::string error = e2e::useBackend();
        QVERIFY2(error.empty(), error.c_str());
        if (const qint64 pid = e2e::fixtureEmulatorPid()) {
            QCOMPARE(::kill(static_cast<pid_t>(pid), SIGTERM), 0);
            KORVALEN_TRY_VERIFY(e2e::fixtureEmulatorPid() == 0);
        }
        QVERIFY(startSim());
    }

    void cleanupTestCase() {
        sim.terminate();
        sim.waitForFinished(-1);
        e2e::releaseBackend();
    }

    void touchedControlsAreShown() {
        Korvalen49_Test window;
        window.show();
        QVERIFY(testsearch::ended(window));
        QCOMPARE(window.linkState(), Korvalen49_Test::LinkState::Connected);
        KORVALEN_TRY_VERIFY(!window.isUploadPending());
        KORVALEN_TRY_COMPARE(window.statusBar()->currentMessage(), QStringLiteral("Upload OK!"));
        window.buildAllPages();
        auto* action = window.findChild<QAction*>(QStringLiteral("actionFollowController"));
        QVERIFY(action != nullptr);
        action->setChecked(true);
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
        auto* bank = window.findChild<QComboBox*>(QStringLiteral("BankBox"));
        auto* padBank = window.findChild<QComboBox*>(QStringLiteral("PadBankBox"));
        auto status = [&] { return window.statusBar()->currentMessage(); };

        // E3 of bank 3: CC 38 on channel 3.
        QCOMPARE(command("touch E3:3"), QByteArray("touched E3:3: B2 26 40"));
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("CC 38 on channel 3: E3 bank 3"));
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(bank->currentIndex(), 2);

        // The bank chosen on the controller: F1 of bank 2.
        sim.write("bank 2\n");
        QCOMPARE(command("touch F1"), QByteArray("touched F1: B0 6A 64"));
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("CC 106 on channel 1: F1 bank 2"));
        QCOMPARE(tabs->currentIndex(), 1);
        QCOMPARE(bank->currentIndex(), 1);

        // A pad of bank B: a note on channel 10.
        QCOMPARE(command("touch P2:B"), QByteArray("touched P2:B: 99 29 64, 89 29 00"));
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("Note F2 on channel 10: P2 bank B"));
        QCOMPARE(tabs->currentIndex(), 2);
        QCOMPARE(padBank->currentIndex(), 1);

        // PLAY sends an MMC command: System Exclusive, through the ring.
        QCOMPARE(command("touch PLAY"), QByteArray("touched PLAY: F0 7F 7F 06 06 F7"));
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("Record Strobe: PLAY"));
        QCOMPARE(tabs->currentIndex(), 3);

        // A key in zone 1.
        QCOMPARE(command("touch KEY C4"), QByteArray("touched KEY C4: 90 3C 64"));
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("Note C4 on channel 1: Zone 1"));
        QCOMPARE(tabs->currentIndex(), 5);

        // The slider.
        QCOMPARE(command("touch SLIDER"), QByteArray("touched SLIDER: B0 07 40"));
        KORVALEN_TRY_COMPARE(status(), QStringLiteral("CC 7 on channel 1: S1"));
        QCOMPARE(tabs->currentIndex(), 4);
    }
};

QTEST_MAIN(TestE2eFollow)
#include "test_e2e_follow.moc"
