// The firmware upgrade: the dialog's states, the image loader, the search outcomes with their
// log lines, and whole transfers into the controller emulator or a scripted device, all on
// the virtual bus in virtual time.
#include "emulatordevice.h"
#include "firmware.h"
#include "midi.h"
#include "upgrade.h"
#include "virtualbus.h"

#include <QFile>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <mutex>
#include <random>

using korvalen::midi::EmulatorDevice;
using korvalen::midi::Message;
using korvalen::midi::VirtualBus;

namespace {

constexpr std::array<std::uint8_t, 5> kId = {0x00, 0x20, 0x6B, 0x02, 0x19};

QByteArray imageFile(const QByteArray& body, std::array<std::uint8_t, 5> id = kId,
                     const char* version = "102", const char* magic = "QVolm") {
    QByteArray bytes = body;
    for (auto b : id)
        bytes.append(static_cast<char>(b));
    bytes.append(version, 3);
    bytes.append("\x01\x02", 2);
    bytes.append(magic, 5);
    return bytes;
}

QByteArray randomBody(int size, unsigned seed) {
    std::mt19937 rng(seed);
    QByteArray body(size, '\0');
    for (auto& c : body)
        c = static_cast<char>(rng() & 0xFF);
    return body;
}

QStringList logOf(const UpgradeDlg& dlg) {
    QStringList lines;
    for (int i = 0; i < dlg.ui.upgradeLog->count(); ++i)
        lines << dlg.ui.upgradeLog->item(i)->text();
    return lines;
}

Message toMessage(const auto& bytes) {
    return Message(bytes.begin(), bytes.end());
}

// Collects the progress reports of a run, which come from the worker thread.
struct ProgressLog {
    std::mutex mutex;
    std::vector<uint> values;
    void add(uint v) {
        std::lock_guard<std::mutex> lock(mutex);
        values.push_back(v);
    }
};

// A device that answers the upgrade probe and then follows a script: one answer per message
// of the transfer (the start message and each block), in order.
class ScriptedDevice {
public:
    std::vector<std::uint8_t> probeModes{2}; // mode of each probe reply; the last one repeats
    std::uint32_t version = 257;
    std::vector<std::vector<Message>> script;
    std::uint32_t blockCount = 0;

    std::vector<Message> receive(const Message& m) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (m == toMessage(korvalen::firmwareProbeMessage(kId))) {
            const auto mode = probeModes[std::min(probes_++, probeModes.size() - 1)];
            return {toMessage(korvalen::firmwareProbeReply(kId, version, mode))};
        }
        if (auto n = korvalen::parseStartMessage(m.data(), m.size())) {
            started_ = true;
            return next();
        }
        const auto block = korvalen::decodeBlock(m.data(), m.size());
        if (block.status == korvalen::BlockStatus::Ok) {
            blocks_.push_back(blockCount - block.remaining);
            return next();
        }
        return {};
    }

    std::vector<std::uint32_t> blocks() {
        std::lock_guard<std::mutex> lock(mutex_);
        return blocks_;
    }
    bool started() {
        std::lock_guard<std::mutex> lock(mutex_);
        return started_;
    }

private:
    std::vector<Message> next() {
        return step_ < script.size() ? script[step_++] : std::vector<Message>{};
    }

    std::mutex mutex_;
    std::size_t probes_ = 0;
    std::size_t step_ = 0;
    bool started_ = false;
    std::vector<std::uint32_t> blocks_;
};

const Message kNext = toMessage(korvalen::kNextBlockRequest);
const Message kRepeat = toMessage(korvalen::kRepeatBlockRequest);

const QStringList kSuccessLog = {"Finding MIDI device in upgrade mode...",
                                 "Success to find midi in out device in upgrade mode!",
                                 "Flash writing",
                                 "Update OK!",
                                 "Please turn off the power and restart!",
                                 "The End!"};

} // namespace

class TestUpgrade : public QObject {
    Q_OBJECT

    std::shared_ptr<VirtualBus> bus;
    std::unique_ptr<UpgradeDlg> dlg;
    QTemporaryDir dir;

    QString writeFile(const char* name, const QByteArray& bytes) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) return {};
        return path;
    }

    // Starts a run and returns once it has ended and the dialog has applied its reports.
    bool runToEnd() {
        dlg->OnFirmwareUpgrade();
        if (!connectThread.wait(60000)) return false;
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return true;
    }

private slots:
    void init() {
        bus = std::make_shared<VirtualBus>();
        korvalen::midi::setPlatform(bus);
        dlg = std::make_unique<UpgradeDlg>();
        connectThread.setRequestTimeout(ConnectThread::kRequestTimeoutMs);
    }

    void cleanup() {
        QVERIFY(connectThread.wait(60000));
        midiLink.resetPortTable();
        midiLink.closeOutput();
        bus->quiesce();
        dlg.reset();
        korvalen::midi::setPlatform(nullptr);
        bus.reset();
    }

    // --- the dialog

    void dialogStartsEmptyWithStartDisabled() {
        QCOMPARE(dlg->windowTitle(), QStringLiteral("FIRMWARE UPGRADE"));
        QCOMPARE(dlg->ui.fileVer->text(), QStringLiteral("not selected"));
        QCOMPARE(dlg->ui.devVer->text(), QStringLiteral("0.00"));
        QVERIFY(!dlg->ui.upgradeStart->isEnabled());
        QVERIFY(dlg->ui.upgradeLoad->isEnabled());
        QCOMPARE(dlg->ui.upgradeBar->value(), 0);
        QVERIFY(logOf(*dlg).isEmpty());
    }

    void reportsChangeOnlyWhatTheyName() {
        dlg->loadImage(writeFile("a.bin", imageFile(randomBody(100, 1))));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        auto state = [this] {
            return QStringList{dlg->ui.fileVer->text(), dlg->ui.devVer->text(),
                               QString::number(dlg->ui.upgradeStart->isEnabled()),
                               QString::number(dlg->ui.upgradeBar->value()), logOf(*dlg).join('/')};
        };
        const QStringList before = state();
        char text[] = "ignored";
        dlg->updataUISlot(1, 1, text);
        dlg->updataUISlot(6, 1, text);
        QCOMPARE(state(), before);
        dlg->updataUISlot(3, 2, text);
        QVERIFY(!dlg->ui.upgradeStart->isEnabled());
        dlg->updataUISlot(3, 1, text);
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        char version[] = "2.57";
        dlg->updataUISlot(0, 0, version);
        QCOMPARE(dlg->ui.devVer->text(), QStringLiteral("2.57"));
        dlg->updataUISlot(4, 3, text);
        QCOMPARE(dlg->ui.upgradeBar->value(), 3);
        char line[] = "a line";
        dlg->updataUISlot(5, 0, line);
        QCOMPARE(logOf(*dlg).last(), QStringLiteral("a line"));
    }

    // --- loading an image

    void acceptedImageEnablesStart() {
        dlg->loadImage(writeFile("ok.bin", imageFile(randomBody(57, 2), kId, "102")));
        QCOMPARE(logOf(*dlg), QStringList{"File Loaded."});
        QCOMPARE(dlg->ui.fileVer->text(), QStringLiteral("V1.02"));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QCOMPARE(firmwareImage.blockCount, 3u);
        QCOMPARE(dlg->ui.upgradeBar->maximum(), 3);
        // The same file again gives the same image and the same line again.
        const auto first = firmwareImage;
        dlg->loadImage(writeFile("ok.bin", imageFile(randomBody(57, 2), kId, "102")));
        QCOMPARE(logOf(*dlg), (QStringList{"File Loaded.", "File Loaded."}));
        QVERIFY(firmwareImage == first);
    }

    void refusedImagesChangeNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        const QByteArray body = randomBody(40, 3);
        QTest::newRow("magic wrong in one byte") << imageFile(body, kId, "102", "QVolN") << true;
        QTest::newRow("magic in other case") << imageFile(body, kId, "102", "qvolm") << true;
        QTest::newRow("14 bytes") << imageFile({}).mid(1) << true;
        QTest::newRow("empty file") << QByteArray() << true;
        QTest::newRow("no file") << QByteArray() << false;
    }
    void refusedImagesChangeNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        dlg->loadImage(writeFile("first.bin", imageFile(randomBody(30, 4), kId, "200")));
        const auto image = firmwareImage;
        const QString path = exists ? writeFile("bad.bin", bytes) : dir.filePath("missing.bin");
        dlg->loadImage(path);
        QCOMPARE(logOf(*dlg), (QStringList{"File Loaded.", "Open Error!"}));
        QCOMPARE(dlg->ui.fileVer->text(), QStringLiteral("V2.00"));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QVERIFY(firmwareImage == image);
    }

    void refusedFirstImageLeavesStartDisabled() {
        dlg->loadImage(writeFile("bad.bin", imageFile(randomBody(30, 5), kId, "102", "QVOLM")));
        QCOMPARE(logOf(*dlg), QStringList{"Open Error!"});
        QVERIFY(!dlg->ui.upgradeStart->isEnabled());
        QCOMPARE(dlg->ui.fileVer->text(), QStringLiteral("not selected"));
    }

    void imageWithoutBodyIsLoadedWithAWarning() {
        dlg->loadImage(writeFile("empty.bin", imageFile({})));
        QCOMPARE(logOf(*dlg), (QStringList{"File Loaded.", "Open Error!"}));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QCOMPARE(firmwareImage.blockCount, 0u);
    }

    // --- the search

    void searchOutcomes_data() {
        QTest::addColumn<unsigned>("inputs");
        QTest::addColumn<unsigned>("outputs");
        QTest::addColumn<int>("failingInput");
        QTest::addColumn<int>("failingOutput");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<qulonglong>("virtualMs");
        const QString finding = "Finding MIDI device in upgrade mode...";
        const QString notFound = "ERROR: Can not find device in upgrade mode";
        QTest::newRow("no ports") << 0u << 0u << -1 << -1
                                  << QStringList{finding, "Can not found any MIDI devices.",
                                                 "Reconnect,and try again."}
                                  << qulonglong{10 * 1000};
        QTest::newRow("21 input ports")
            << 21u << 1u << -1 << -1
            << QStringList{finding, "Too many MIDI devices, please remove some others"}
            << qulonglong{0};
        QTest::newRow("21 output ports")
            << 1u << 21u << -1 << -1
            << QStringList{finding, "Too many MIDI devices, please remove some others"}
            << qulonglong{0};
        // Ten attempts of one probe each (10 ms + 50 ms), 1000 ms between attempts.
        QTest::newRow("nobody answers")
            << 1u << 1u << -1 << -1 << QStringList{finding, notFound} << qulonglong{9600};
        QStringList inFails{finding};
        for (int i = 0; i < 10; ++i)
            inFails << "Open MIDI In error";
        inFails << notFound;
        QTest::newRow("an input fails to open")
            << 2u << 1u << 0 << -1 << inFails << qulonglong{9600};
        QStringList outFails{finding};
        for (int i = 0; i < 10; ++i)
            outFails << "Open MIDI Out error";
        outFails << notFound;
        QTest::newRow("an output fails to open")
            << 1u << 2u << -1 << 0 << outFails << qulonglong{9600};
    }
    void searchOutcomes() {
        QFETCH(unsigned, inputs);
        QFETCH(unsigned, outputs);
        QFETCH(int, failingInput);
        QFETCH(int, failingOutput);
        QFETCH(QStringList, log);
        QFETCH(qulonglong, virtualMs);
        dlg->loadImage(writeFile("img.bin", imageFile(randomBody(100, 6))));
        dlg->ui.upgradeLog->clear();
        bus->setPortCounts(inputs, outputs);
        if (failingInput >= 0) bus->setInputOpenFails(failingInput, true);
        if (failingOutput >= 0) bus->setOutputOpenFails(failingOutput, true);
        QVERIFY(runToEnd());
        QCOMPARE(logOf(*dlg), log);
        QCOMPARE(bus->now(), virtualMs);
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QVERIFY(dlg->ui.upgradeLoad->isEnabled());
        QVERIFY(bus->openInputs().empty());
        QVERIFY(bus->openOutputs().empty());
    }

    void replyWithoutAnOutputPortIsNotSuccess() {
        // The device answers, but no output port takes a probe: there is nothing to flash
        // through, and the run must not report that it found the device.
        dlg->loadImage(writeFile("img.bin", imageFile(randomBody(100, 13))));
        dlg->ui.upgradeLog->clear();
        bus->setPortCounts(1, 1);
        bus->setSendFails(0, true);
        bus->inject(0, toMessage(korvalen::firmwareProbeReply(kId, 102, 2)), 5);
        QVERIFY(runToEnd());
        QCOMPARE(logOf(*dlg), (QStringList{"Finding MIDI device in upgrade mode...",
                                           "ERROR: Can not find device in upgrade mode"}));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QVERIFY(bus->openOutputs().empty());
    }

    // --- transfers

    void flashIntoTheEmulatorWithOneBadBlock() {
        const QByteArray body = randomBody(100 * 1024, 7);
        dlg->loadImage(writeFile("big.bin", imageFile(body)));
        dlg->ui.upgradeLog->clear();
        korvalen::sim::ControllerEmulator::Options options;
        options.mode = korvalen::sim::ControllerEmulator::Mode::Upgrade;
        options.upgradeId = kId;
        options.version = 257;
        options.corruptBlock = 100;
        auto device = std::make_shared<EmulatorDevice>(options);
        bus->setPortCounts(2, 2);
        bus->attach(1, 1, device);
        QVERIFY(runToEnd());
        bus->quiesce();
        QCOMPARE(logOf(*dlg), kSuccessLog);
        const auto& emulator = device->emulator();
        QCOMPARE(emulator.blocksRejected(), 1u);
        QVERIFY(emulator.transferComplete());
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(emulator.image().data()),
                            static_cast<int>(emulator.image().size())),
                 body);
        QCOMPARE(dlg->ui.upgradeBar->value(), static_cast<int>(firmwareImage.blockCount));
        QCOMPARE(dlg->ui.devVer->text(), QStringLiteral("2.57"));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QVERIFY(dlg->ui.upgradeLoad->isEnabled());
        // A second run adds its lines below the first run's.
        QVERIFY(runToEnd());
        QCOMPARE(logOf(*dlg).size(), 2 * kSuccessLog.size());
    }

    void deviceThatFallsSilentEndsTheRun() {
        dlg->loadImage(writeFile("big.bin", imageFile(randomBody(28 * 40, 8))));
        dlg->ui.upgradeLog->clear();
        korvalen::sim::ControllerEmulator::Options options;
        options.mode = korvalen::sim::ControllerEmulator::Mode::Upgrade;
        options.upgradeId = kId;
        options.silenceAfterBlocks = 10;
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, std::make_shared<EmulatorDevice>(options));
        connectThread.setRequestTimeout(200);
        QVERIFY(runToEnd());
        const QStringList log = logOf(*dlg);
        QCOMPARE(log.mid(0, 3), kSuccessLog.mid(0, 3));
        QVERIFY2(log.last().startsWith("ERROR: The device stopped answering"),
                 qPrintable(log.last()));
        QVERIFY(!log.contains("Update OK!"));
        QCOMPARE(dlg->ui.upgradeBar->value(), 11);
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QVERIFY(dlg->ui.upgradeLoad->isEnabled());
    }

    void imageOfNoBlocks() {
        dlg->loadImage(writeFile("empty.bin", imageFile({})));
        auto device = std::make_shared<ScriptedDevice>();
        device->script = {{kNext}};
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, [device](const Message& m) { return device->receive(m); });
        QVERIFY(runToEnd());
        QCOMPARE(logOf(*dlg).mid(2), kSuccessLog);
        QCOMPARE(dlg->ui.upgradeBar->value(), 0);
        const auto sent = bus->sent(0);
        QCOMPARE(sent.back(), (Message{0xF0, 0x51, 0x54, 0x18, 0x00, 0x00, 0x00, 0x29, 0xF7}));
        QVERIFY(device->blocks().empty());
    }

    void requestsAreFollowedExactly() {
        dlg->loadImage(writeFile("three.bin", imageFile(randomBody(3 * 28, 9))));
        dlg->ui.upgradeLog->clear();
        QCOMPARE(firmwareImage.blockCount, 3u);
        auto device = std::make_shared<ScriptedDevice>();
        device->blockCount = 3;
        // Note Ons on another channel or with another velocity are never requests.
        const Message otherChannel{0x91, 0x51, 0x54};
        const Message otherVelocity{0x90, 0x51, 0x55};
        const Message otherRepeat{0x90, 0x61, 0x01};
        device->script = {{kRepeat},                // before any block: block 0
                          {otherChannel, kNext},    // block 1
                          {otherVelocity, kRepeat}, // block 1 again
                          {otherRepeat, kNext},     // block 2
                          {kNext}};                 // done
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, [device](const Message& m) { return device->receive(m); });
        ProgressLog progress;
        auto c = connect(
            &connectThread, &ConnectThread::updataUISignal, &connectThread,
            [&progress](uint comp, uint val, char*) {
                if (comp == ConnectThread::Progress) progress.add(val);
            },
            Qt::DirectConnection);
        QVERIFY(runToEnd());
        disconnect(c);
        QCOMPARE(device->blocks(), (std::vector<std::uint32_t>{0, 1, 1, 2}));
        QCOMPARE(progress.values, (std::vector<uint>{2, 3, 3, 3}));
        QCOMPARE(logOf(*dlg), kSuccessLog);
    }

    void normalModeAnswerThenUpgradeMode() {
        dlg->loadImage(writeFile("one.bin", imageFile(randomBody(10, 10))));
        dlg->ui.upgradeLog->clear();
        auto device = std::make_shared<ScriptedDevice>();
        device->probeModes = {1, 2};
        device->version = 100;
        device->blockCount = 1;
        device->script = {{kNext}, {kNext}};
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, [device](const Message& m) { return device->receive(m); });
        QVERIFY(runToEnd());
        // First attempt: the mode-1 answer ends it after a 1000 ms pause; 1000 ms between
        // attempts; the second attempt finds the device in upgrade mode.
        QCOMPARE(bus->now(), std::uint64_t{60 + 1000 + 1000 + 60 + 10});
        QCOMPARE(logOf(*dlg), kSuccessLog);
        QCOMPARE(device->blocks(), std::vector<std::uint32_t>{0});
        // Version 100 is not shown.
        QCOMPARE(dlg->ui.devVer->text(), QStringLiteral("0.00"));
    }

    void loadFileIsOffDuringARun() {
        dlg->loadImage(writeFile("img.bin", imageFile(randomBody(28 * 5, 11))));
        const auto image = firmwareImage;
        // A device that is found but never asks for a block: the run waits until stopped.
        auto device = std::make_shared<ScriptedDevice>();
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, [device](const Message& m) { return device->receive(m); });
        connectThread.setRequestTimeout(60000);
        dlg->OnFirmwareUpgrade();
        QVERIFY(connectThread.isRunning());
        QVERIFY(!dlg->ui.upgradeLoad->isEnabled());
        dlg->loadImage(writeFile("other.bin", imageFile(randomBody(28, 12))));
        QVERIFY(firmwareImage == image);
        connectThread.requestStop();
        QVERIFY(connectThread.wait(60000));
        QTRY_VERIFY(dlg->ui.upgradeLoad->isEnabled());
    }
};

QTEST_MAIN(TestUpgrade)
#include "test_upgrade.moc"
