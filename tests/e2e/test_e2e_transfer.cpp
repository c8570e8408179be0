// The editor over JACK (or the backend KORVALEN_E2E_API names) against korvalen25-sim: it
// connects and takes preset 0 at start-up; an edited preset is downloaded, and uploading it
// again gives back the same values.
#include "downloads.h"
#include "e2ecommon.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "presetmodel.h"
#include "presetprotocol.h"
#include "searches.h"
#include "waits.h"

#include <QSignalSpy>
#include <QStatusBar>

namespace {

// The values that travel to the device and back: encoders and the slider have no type or
// mode on the wire, and the device always keeps zone 1 on.
QList<int> travellingValues() {
    QList<int> v;
    auto add = [&v](const item& c, bool button) {
        v << c.GetCC() << c.GetChan() << c.GetPort();
        if (button) v << c.GetType() << c.GetMode();
    };
    for (auto& bank : item_En)
        for (auto& c : bank)
            add(c, false);
    for (auto& bank : item_Fn)
        for (auto& c : bank)
            add(c, true);
    for (auto& bank : item_Pn)
        for (auto& c : bank)
            add(c, true);
    for (auto& c : item_Zoudai)
        add(c, true);
    add(item_S1, false);
    for (auto& z : zone_Zn)
        v << z.GetStatus() << z.GetProg() << z.GetMSB() << z.GetLSB() << z.GetChan() << z.GetPort()
          << z.GetRangSta() << z.GetRangEnd() << z.GetOct() << z.GetTrans();
    return v;
}

void edit(int salt) {
    for (int b = 0; b < 4; ++b)
        for (int k = 0; k < 8; ++k) {
            item_En[b][k].SetCC(static_cast<quint8>((salt + 11 * b + k) % 128));
            item_En[b][k].SetChan(static_cast<quint8>((salt + b) % 17));
        }
    for (int b = 0; b < 4; ++b)
        for (int k = 0; k < 4; ++k) {
            item_Fn[b][k].SetType(static_cast<quint8>((salt + b + k) % 2));
            item_Fn[b][k].SetCC(static_cast<quint8>((salt * 3 + 5 * b + k) % 128));
            item_Fn[b][k].SetMode(static_cast<quint8>((salt + k) % 2));
            item_Fn[b][k].SetPort(static_cast<quint8>((salt + b + k) % 6));
        }
    for (int b = 0; b < 2; ++b)
        for (int k = 0; k < 4; ++k)
            item_Pn[b][k].SetCC(static_cast<quint8>(130 + salt % 20 + 4 * b + k));
    item_Zoudai[4].SetChan(static_cast<quint8>(salt % 17));
    item_S1.SetCC(static_cast<quint8>(salt % 172));
    zone_Zn[0].SetStatus(1);
    zone_Zn[1].SetStatus(static_cast<quint8>(salt % 2));
    zone_Zn[2].SetProg(static_cast<quint8>(salt % 128));
    zone_Zn[2].SetChan(static_cast<quint8>((salt + 3) % 17));
    zone_Zn[1].SetOct(static_cast<quint8>(salt % 9));
    zone_Zn[0].SetTrans(static_cast<quint8>(salt % 25));
}

} // namespace

class TestE2eTransfer : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const std::string error = e2e::useBackend();
        QVERIFY2(error.empty(), error.c_str());
    }

    void cleanupTestCase() { e2e::releaseBackend(); }

    void uploadEditDownloadUploadAgain() {
        Korvalen49_Test window;
        window.show();
        QVERIFY(testsearch::ended(window));
        QCOMPARE(midiLink.delivery.load(), midiMethodClass::Delivery::Window);
        KORVALEN_TRY_COMPARE(window.windowTitle(),
                             QStringLiteral("Korvalen25 Editor--------P01 Korvalen"));
        QVERIFY(!window.isUploadPending());

        edit(7);
        const QList<int> downloaded = travellingValues();
        QVERIFY(window.download());
        QVERIFY(testdownload::awaited(window));
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Download to Korvalen OK"));

        // Something else in the editor, then the device's copy again.
        edit(12);
        QVERIFY(travellingValues() != downloaded);
        QVERIFY(window.requestUpload(0));
        KORVALEN_TRY_VERIFY(!window.isUploadPending());
        QCOMPARE(travellingValues(), downloaded);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Upload OK!"));
    }

    // DownLoad while the controller's dump is still arriving (the fixture's controller spreads
    // a dump over 1.5 s): the download waits for the upload's end and sends what the editor
    // shows then. The controller ends up with exactly the uploaded preset under its number,
    // and preset 0 as it was: never a mix of the two.
    void downloadDuringAnUploadSendsNoMix() {
        Korvalen49_Test window;
        window.show();
        QVERIFY(testsearch::ended(window));
        KORVALEN_TRY_VERIFY(!window.isUploadPending());

        // Two different presets on the controller: P20 and preset 0.
        auto store = [&window](int salt, int number) {
            edit(salt);
            korvalen::presetGlobals[0] = static_cast<unsigned char>(number);
            const QList<int> values = travellingValues();
            return window.download() && testdownload::awaited(window) ? values : QList<int>();
        };
        const QList<int> p20 = store(3, 19);
        QVERIFY(!p20.isEmpty());
        const QList<int> p0 = store(9, 0);
        QVERIFY(!p0.isEmpty());
        QVERIFY(p20 != p0);

        QVERIFY(window.requestUpload(19));
        // Part of the dump is in.
        KORVALEN_TRY_VERIFY(travellingValues() != p0 || !window.isUploadPending());
        if (!window.isUploadPending())
            QSKIP("The whole dump came before DownLoad (a controller whose dump is fast)");
        QSignalSpy finished(&window, &Korvalen49_Test::downloadFinished);
        QVERIFY(window.download(false));
        KORVALEN_TRY_VERIFY(!finished.isEmpty());
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(int{korvalen::presetGlobals[0]}, 19);
        QCOMPARE(travellingValues(), p20);

        // What the controller holds, read back.
        QVERIFY(window.requestUpload(0));
        KORVALEN_TRY_VERIFY(!window.isUploadPending());
        QCOMPARE(travellingValues(), p0);
        QVERIFY(window.requestUpload(19));
        KORVALEN_TRY_VERIFY(!window.isUploadPending());
        QCOMPARE(travellingValues(), p20);
    }
};

QTEST_MAIN(TestE2eTransfer)
#include "test_e2e_transfer.moc"
