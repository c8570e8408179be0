// A firmware flash over JACK into korvalen25-sim --upgrade: the image it writes is the image
// that was loaded, byte for byte.
#include "e2ecommon.h"
#include "midi.h"
#include "upgrade.h"

#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <random>

class TestE2eUpgrade : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const std::string error = e2e::useJack();
        QVERIFY2(error.empty(), error.c_str());
    }

    void cleanupTestCase() { e2e::releaseJack(); }

    void fullFlash() {
        // 200 blocks: each waits for the device's request, a round trip through the server.
        std::mt19937 rng(42);
        QByteArray body(200 * 28 - 5, '\0');
        for (auto& c : body)
            c = static_cast<char>(rng() & 0xFF);
        QByteArray file = body;
        file.append(QByteArray::fromHex("00206B0219")); // the emulator's identity
        file.append("103\0\0QVolm", 10);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("firmware.bin"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(file), file.size());
        }
        QFile::remove(QStringLiteral(KORVALEN_IMAGE_OUT));

        UpgradeDlg dlg;
        dlg.loadImage(path);
        QVERIFY(dlg.ui.upgradeStart->isEnabled());
        dlg.ui.upgradeLog->clear();
        dlg.OnFirmwareUpgrade();
        QVERIFY(connectThread.wait(120000));
        QCoreApplication::sendPostedEvents();
        QStringList log;
        for (int i = 0; i < dlg.ui.upgradeLog->count(); ++i)
            log << dlg.ui.upgradeLog->item(i)->text();
        QCOMPARE(log, (QStringList{"Finding MIDI device in upgrade mode...",
                                   "Success to find midi in out device in upgrade mode!",
                                   "Flash writing", "Update OK!",
                                   "Please turn off the power and restart!", "The End!"}));
        QCOMPARE(dlg.ui.devVer->text(), QStringLiteral("1.02"));

        QFile out(QStringLiteral(KORVALEN_IMAGE_OUT));
        QTRY_VERIFY_WITH_TIMEOUT(out.exists(), 5000);
        QVERIFY(out.open(QIODevice::ReadOnly));
        QCOMPARE(out.readAll(), body);
    }
};

QTEST_MAIN(TestE2eUpgrade)
#include "test_e2e_upgrade.moc"
