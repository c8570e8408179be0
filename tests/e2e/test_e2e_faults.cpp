// The editor over JACK when things go wrong. The server runs 2048-frame periods; a client
// whose ports are listed before the emulator's never answers, and the emulator answers its
// identity probe 100 ms late: the editor must still pair with the emulator's own ports, and
// its download must reach the emulator. Then the emulator is killed: a download must fail
// with its box, never with the success text.
#include "boxes.h"
#include "downloads.h"
#include "e2ecommon.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "presetmodel.h"
#include "searches.h"
#include "waits.h"

#include <QStatusBar>

#include <algorithm>
#include <csignal>

namespace {

bool listed(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

class TestE2eFaults : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const std::string error = e2e::useBackend();
        QVERIFY2(error.empty(), error.c_str());
    }

    void cleanupTestCase() { e2e::releaseBackend(); }

    void lateControllerBehindASilentClientThenKilled() {
        Korvalen49_Test window;
        window.show();
        QVERIFY(testsearch::ended(window));
        QCOMPARE(window.linkState(), Korvalen49_Test::LinkState::Connected);
        const std::string out = midiLink.controllerOutputName();
        QVERIFY2(out.rfind("Korvalen25", 0) == 0, out.c_str());
        QVERIFY2(midiLink.controllerInputName().rfind("Korvalen25", 0) == 0,
                 midiLink.controllerInputName().c_str());
        // The silent client was there, listed first.
        const auto& search = midiLink.lastSearch();
        qInfo("search: %d attempt(s), reply window at the end %u ms, late replies %s",
              search.attempts, search.replyWaitMs, search.lateReplySeen ? "seen" : "not seen");
        const auto& outputs = search.outputs;
        QVERIFY(outputs.size() >= 2);
        QVERIFY2(outputs.front().name.rfind("Quiet", 0) == 0, outputs.front().name.c_str());
        KORVALEN_TRY_COMPARE(window.windowTitle(),
                             QStringLiteral("Korvalen25 Editor--------P01 Korvalen"));

        // The download reaches the emulator: uploading its preset 0 gives the edit back.
        const quint8 edited = item_En[2][5].GetCC() == 33 ? 34 : 33;
        item_En[2][5].SetCC(edited);
        QVERIFY(window.download());
        QVERIFY(testdownload::awaited(window));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Download to Korvalen OK"));
        item_En[2][5].SetCC(0);
        QVERIFY(window.requestUpload(0));
        KORVALEN_TRY_VERIFY(!window.isUploadPending());
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Upload OK!"));
        QCOMPARE(item_En[2][5].GetCC(), edited);

        // The emulator is killed; its ports go.
        const qint64 pid = e2e::fixtureEmulatorPid();
        QVERIFY(pid > 0);
        QCOMPARE(::kill(static_cast<pid_t>(pid), SIGTERM), 0);
        KORVALEN_TRY_VERIFY(!listed(korvalen::midi::platform().outputNames(), out));

        testboxes::BoxAnswerer boxes(QMessageBox::Ok);
        window.DownLoadSlot();
        QVERIFY(!testdownload::awaited(window));
        KORVALEN_TRY_COMPARE(boxes.seen.size(), 2);
        QVERIFY2(boxes.seen[1].startsWith(QStringLiteral("Download|")), qPrintable(boxes.seen[1]));
        QVERIFY(window.statusBar()->currentMessage() != QStringLiteral("Download to Korvalen OK"));
    }
};

QTEST_MAIN(TestE2eFaults)
#include "test_e2e_faults.moc"
