// The firmware upgrade: the dialog's states, the image loader, the search outcomes with their
// log lines, and whole transfers into the controller emulator or a scripted device, all on
// the virtual bus in virtual time; the faults of a device and the ways out of a run.
#include "boxes.h"
#include "controllerconnection.h"
#include "emulatordevice.h"
#include "firmware.h"
#include "identitycontroller.h"
#include "korvalen49_test.h"
#include "midi.h"
#include "platformfactory.h"
#include "upgrade.h"
#include "upgradefiles.h"
#include "virtualbus.h"
#include "waits.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>

using korvalen::midi::EmulatorDevice;
using korvalen::midi::Message;
using korvalen::midi::VirtualBus;
using korvalen::sim::ControllerEmulator;
namespace text = upgradetext;
using namespace testupgrade;

namespace {

Message toMessage(const auto& bytes) {
    return Message(bytes.begin(), bytes.end());
}

QByteArray bytesOf(const std::vector<std::uint8_t>& v) {
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<int>(v.size()));
}

ControllerEmulator::Options upgradeOptions() {
    ControllerEmulator::Options options;
    options.mode = ControllerEmulator::Mode::Upgrade;
    options.upgradeId = kId;
    return options;
}

// How often data block k went out on output port 0.
int timesSent(const VirtualBus& bus, std::uint32_t blockCount, std::uint32_t k) {
    int n = 0;
    for (const Message& m : bus.sent(0)) {
        const auto block = korvalen::decodeBlock(m.data(), m.size());
        n += block.status == korvalen::BlockStatus::Ok && block.remaining == blockCount - k;
    }
    return n;
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
        if (korvalen::parseStartMessage(m.data(), m.size())) {
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

// The emulator, held up when the first message (the probe) reaches it until the test lets it
// go on: the worker is then inside its wait for the probe reply.
class GatedEmulator final : public korvalen::midi::VirtualDevice {
public:
    explicit GatedEmulator(ControllerEmulator::Options options) : inner(options) {}

    std::vector<Message> receive(const Message& m) override {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            reached_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
        }
        return inner.receive(m);
    }
    void waitUntilReached() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return reached_; });
    }
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

    EmulatorDevice inner;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool reached_ = false;
    bool open_ = false;
};

const Message kNext = toMessage(korvalen::kNextBlockRequest);
const Message kRepeat = toMessage(korvalen::kRepeatBlockRequest);
// The line after "Open Error!" for a file that is no firmware image.
const char kNotFirmware[] = "It does not end as a firmware image of this controller does, so it is "
                            "no Korvalen25 firmware. Choose the .bin file of the firmware.";

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

    // Loads an image of `body` and clears the log.
    void load(const QByteArray& body) {
        dlg->loadImage(writeFile("img.bin", imageFile(body)));
        dlg->ui.upgradeLog->clear();
    }

    // Lets the dialog apply the reports that the worker has queued.
    static void applyReports() {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }

    // Starts a run and returns once it has ended and the dialog has applied its reports.
    void runToEnd() {
        dlg->OnFirmwareUpgrade();
        connectThread.wait();
        applyReports();
    }

    // One upgrade-mode emulator on port pair 0.
    std::shared_ptr<EmulatorDevice> attachEmulator(ControllerEmulator::Options options) {
        auto device = std::make_shared<EmulatorDevice>(options);
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, device);
        return device;
    }

    std::shared_ptr<ScriptedDevice> attachScript(std::vector<std::vector<Message>> script,
                                                 std::uint32_t blockCount) {
        auto device = std::make_shared<ScriptedDevice>();
        device->script = std::move(script);
        device->blockCount = blockCount;
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, [device](const Message& m) { return device->receive(m); });
        return device;
    }

    // After a run that did not flash: Start and Load File are back, and no port stays open.
    void checkEndedWithoutFlash(const char* lastLine) {
        const QStringList log = logOf(*dlg);
        QCOMPARE(log.last(), QString::fromLatin1(lastLine));
        QVERIFY(!log.contains(text::kUpdateOk));
        QVERIFY(!log.contains(text::kTheEnd));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        KORVALEN_TRY_VERIFY(dlg->ui.upgradeLoad->isEnabled());
        QVERIFY(bus->openInputs().empty());
        QVERIFY(bus->openOutputs().empty());
    }

private slots:
    void init() {
        bus = std::make_shared<VirtualBus>();
        korvalen::midi::setPlatform(bus);
        dlg = std::make_unique<UpgradeDlg>();
        connectThread.setRequestTimeouts(ConnectThread::kFirstRequestTimeoutMs,
                                         ConnectThread::kRequestTimeoutMs);
    }

    void cleanup() {
        connectThread.requestStop();
        connectThread.wait();
        connectThread.releasePorts();
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

    // The newest line is in view, and a line too long for the list is shown whole: wrapped,
    // and in its tool tip.
    void logFollowsItsNewestLineAndShowsLongLinesWhole() {
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        QListWidget* log = dlg->ui.upgradeLog;
        for (int i = 0; i < 40; ++i) {
            QByteArray line = "line " + QByteArray::number(i);
            dlg->updataUISlot(ConnectThread::Log, 0, line.data());
        }
        QByteArray longLine(text::kDeviceSilent);
        dlg->updataUISlot(ConnectThread::Log, 0, longLine.data());
        applyReports();
        QListWidgetItem* last = log->item(log->count() - 1);
        QVERIFY(log->verticalScrollBar()->value() > 0);
        QVERIFY(log->viewport()->rect().contains(log->visualItemRect(last)));
        QCOMPARE(last->toolTip(), QString::fromLatin1(text::kDeviceSilent));
        // Wrapped: the line takes more than one line's height, and no wider than the list.
        QVERIFY(log->visualItemRect(last).height() > log->visualItemRect(log->item(0)).height());
        QVERIFY(log->visualItemRect(last).width() <= log->viewport()->width());
    }

    // The bar shows blocks and percentage; once the pace has been measured for a few seconds,
    // the time left; at the end of the run, the count alone again.
    void barShowsCountPercentageAndTimeLeft() {
        load(randomBody(100 * 28, 2));
        qint64 now = 0;
        dlg->setClock([&now] { return now; });
        QProgressBar* bar = dlg->ui.upgradeBar;
        QVERIFY(bar->isTextVisible());
        char none[] = "0";
        dlg->updataUISlot(ConnectThread::StartEnabled, 0, none);
        dlg->updataUISlot(ConnectThread::Progress, 10, none);
        QCOMPARE(bar->text(), QStringLiteral("10 / 100 blocks (10%)"));
        now = 2000;
        dlg->updataUISlot(ConnectThread::Progress, 20, none);
        QCOMPARE(bar->text(), QStringLiteral("20 / 100 blocks (20%)"));
        now = 3000; // 30 blocks in 3 s since the first report: 60 left take 6 s
        dlg->updataUISlot(ConnectThread::Progress, 40, none);
        QCOMPARE(bar->text(), QStringLiteral("40 / 100 blocks (40%), about 6 s left"));
        dlg->updataUISlot(ConnectThread::StartEnabled, 1, none);
        QCOMPARE(bar->text(), QStringLiteral("40 / 100 blocks (40%)"));
        // The next run measures its own pace.
        dlg->updataUISlot(ConnectThread::StartEnabled, 0, none);
        now = 100000;
        dlg->updataUISlot(ConnectThread::Progress, 50, none);
        QCOMPARE(bar->text(), QStringLiteral("50 / 100 blocks (50%)"));
    }

    void timeLeft_data() {
        QTest::addColumn<uint>("done");
        QTest::addColumn<uint>("total");
        QTest::addColumn<uint>("doneAtStart");
        QTest::addColumn<qint64>("elapsedMs");
        QTest::addColumn<QString>("text");
        QTest::newRow("too early") << 50u << 100u << 0u << qint64(2999) << "";
        QTest::newRow("no block taken") << 10u << 100u << 10u << qint64(10000) << "";
        QTest::newRow("all taken") << 100u << 100u << 0u << qint64(10000) << "";
        QTest::newRow("seconds, rounded up")
            << 30u << 100u << 0u << qint64(3100) << "about 8 s left";
        QTest::newRow("a minute") << 10u << 70u << 0u << qint64(10000) << "about 1 min 00 s left";
        QTest::newRow("minutes and seconds")
            << 1000u << 37450u << 0u << qint64(3000) << "about 1 min 50 s left";
        QTest::newRow("from the first report")
            << 110u << 200u << 100u << qint64(5000) << "about 45 s left";
    }
    void timeLeft() {
        QFETCH(uint, done);
        QFETCH(uint, total);
        QFETCH(uint, doneAtStart);
        QFETCH(qint64, elapsedMs);
        QFETCH(QString, text);
        QCOMPARE(UpgradeDlg::timeLeftText(done, total, doneAtStart, elapsedMs), text);
    }

    // Which counts a run reports: a large image about a hundred, each tenth at its first
    // count (the command line prints those) and the last block always; a slow device and a
    // small image every block.
    void progressReportsArePaced() {
        const auto reported = [](std::uint32_t total, std::int64_t msPerBlock) {
            ProgressPacer pacer(total);
            std::vector<std::uint32_t> values;
            for (std::uint32_t done = 0; done <= total; ++done)
                if (pacer.due(done, std::int64_t(done) * msPerBlock)) values.push_back(done);
            return values;
        };
        const std::uint32_t total = 37450;
        const auto fast = reported(total, 0);
        QVERIFY2(fast.size() >= ProgressPacer::kSteps && fast.size() <= ProgressPacer::kSteps + 1,
                 qPrintable(QString::number(fast.size())));
        QCOMPARE(fast.front(), 0u);
        QCOMPARE(fast.back(), total);
        for (std::uint32_t tenth = 1; tenth <= 10; ++tenth) {
            const std::uint32_t first = (total * tenth + 9) / 10;
            QVERIFY2(std::find(fast.begin(), fast.end(), first) != fast.end(),
                     qPrintable(QString::number(first)));
        }
        QCOMPARE(reported(total, ProgressPacer::kIntervalMs).size(), std::size_t(total) + 1);
        QCOMPARE(reported(41, 0).size(), std::size_t(42));
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

    // Load File's dialog does not wait: the file chosen in it is loaded, and a cancelled
    // dialog logs "Open Error!" as an empty choice always did.
    void loadFileDialogDoesNotWait() {
        const QString file = writeFile("picked.bin", imageFile(randomBody(57, 2), kId, "103"));
        dlg->ComLoadFile();
        auto* open = dlg->findChild<QFileDialog*>(QStringLiteral("upgradeOpenDialog"));
        QVERIFY(open != nullptr);
        QVERIFY(logOf(*dlg).isEmpty()); // returned before anything was chosen
        open->selectFile(file);
        QMetaObject::invokeMethod(open, "accept");
        QCOMPARE(logOf(*dlg), QStringList{"File Loaded."});
        QCOMPARE(dlg->ui.fileVer->text(), QStringLiteral("V1.03"));
        dlg->ComLoadFile();
        open = dlg->findChild<QFileDialog*>(QStringLiteral("upgradeOpenDialog"));
        QVERIFY(open != nullptr);
        open->reject();
        QCOMPARE(logOf(*dlg), (QStringList{"File Loaded.", "Open Error!"}));
        QCOMPARE(dlg->ui.fileVer->text(), QStringLiteral("V1.03"));
    }

    void refusedImagesChangeNothing_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("sparseSize"); // > 0: a file of that size, all zeros
        QTest::addColumn<QStringList>("lines");
        const QByteArray body = randomBody(40, 3);
        // "Open Error!" and why.
        const QStringList notFirmware{"Open Error!", kNotFirmware};
        QTest::newRow("magic wrong in one byte")
            << imageFile(body, kId, "102", "QVolN") << qint64(0) << notFirmware;
        QTest::newRow("magic in other case")
            << imageFile(body, kId, "102", "qvolm") << qint64(0) << notFirmware;
        QTest::newRow("a preset file")
            << QByteArray("KORVALEN25").append(338, '\0') << qint64(0) << notFirmware;
        QTest::newRow("14 bytes") << imageFile({}).mid(1) << qint64(0)
                                  << QStringList{
                                         "Open Error!",
                                         "It is too short for a firmware image: 14 bytes, an "
                                         "image has at least 15."};
        QTest::newRow("empty file")
            << QByteArray() << qint64(0) << QStringList{"Open Error!", "The file is empty."};
        QTest::newRow("no file") << QByteArray() << qint64(-1)
                                 << QStringList{"Open Error!",
                                                "The file could not be opened: No such file or "
                                                "directory."};
        // Refused by its size, before it is read.
        QTest::newRow("larger than any image")
            << QByteArray() << qint64(korvalen::kMaxFirmwareFileSize + 1)
            << QStringList{"Open Error!", text::kFileTooLarge};
    }
    void refusedImagesChangeNothing() {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, sparseSize);
        QFETCH(QStringList, lines);
        dlg->loadImage(writeFile("first.bin", imageFile(randomBody(30, 4), kId, "200")));
        const auto image = firmwareImage;
        QString path = sparseSize < 0 ? dir.filePath("missing.bin") : writeFile("bad.bin", bytes);
        if (sparseSize > 0) QVERIFY(QFile::resize(path, sparseSize));
        dlg->loadImage(path);
        QCOMPARE(logOf(*dlg), QStringList{"File Loaded."} + lines);
        QCOMPARE(dlg->ui.fileVer->text(), QStringLiteral("V2.00"));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QVERIFY(firmwareImage == image);
    }

    void refusedFirstImageLeavesStartDisabled() {
        dlg->loadImage(writeFile("bad.bin", imageFile(randomBody(30, 5), kId, "102", "QVOLM")));
        QCOMPARE(logOf(*dlg), (QStringList{"Open Error!", kNotFirmware}));
        QVERIFY(!dlg->ui.upgradeStart->isEnabled());
        QCOMPARE(dlg->ui.fileVer->text(), QStringLiteral("not selected"));
    }

    // An image without a body is taken (its version shows) but cannot be started, also after
    // an image that could; the bar is not left busy; nothing is sent.
    void emptyImageCannotBeStarted() {
        dlg->loadImage(writeFile("good.bin", imageFile(randomBody(100, 6))));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        dlg->loadImage(writeFile("empty.bin", imageFile({}, kId, "103")));
        QCOMPARE(logOf(*dlg),
                 (QStringList{"File Loaded.", "File Loaded.", "Open Error!", text::kEmptyImage}));
        QCOMPARE(dlg->ui.fileVer->text(), QStringLiteral("V1.03"));
        QCOMPARE(firmwareImage.blockCount, 0u);
        QVERIFY(!dlg->ui.upgradeStart->isEnabled());
        QVERIFY(dlg->ui.upgradeBar->maximum() > dlg->ui.upgradeBar->minimum());

        auto device = attachScript({{kNext}}, 0);
        dlg->OnFirmwareUpgrade(); // as if Start were pressed
        QVERIFY(!connectThread.isRunning());
        QVERIFY(!connectThread.startRun(firmwareImage));
        QVERIFY(!connectThread.isRunning());
        bus->quiesce();
        QVERIFY(bus->portLog().empty());
        QVERIFY(bus->sent(0).empty());
        QVERIFY(!device->started());
        QVERIFY(dlg->ui.upgradeLoad->isEnabled());
    }

    // --- the search

    void searchOutcomes_data() {
        QTest::addColumn<unsigned>("inputs");
        QTest::addColumn<unsigned>("outputs");
        QTest::addColumn<int>("failingInput");
        QTest::addColumn<int>("failingOutput");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<qulonglong>("virtualMs");
        const QString finding = text::kFinding;
        const QString notFound = text::kNotFound;
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
        load(randomBody(100, 6));
        bus->setPortCounts(inputs, outputs);
        if (failingInput >= 0) bus->setInputOpenFails(failingInput, true);
        if (failingOutput >= 0) bus->setOutputOpenFails(failingOutput, true);
        runToEnd();
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
        load(randomBody(100, 13));
        bus->setPortCounts(1, 1);
        bus->setSendFails(0, true);
        bus->inject(0, toMessage(korvalen::firmwareProbeReply(kId, 102, 2)), 5);
        runToEnd();
        QCOMPARE(logOf(*dlg), (QStringList{text::kFinding, text::kNotFound}));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QVERIFY(bus->openOutputs().empty());
    }

    void normalModeAnswerThenUpgradeMode() {
        load(randomBody(10, 10));
        auto device = attachScript({{kNext}, {kNext}}, 1);
        device->probeModes = {1, 2};
        device->version = 100;
        runToEnd();
        // First attempt: the mode-1 answer ends it after a 1000 ms pause; 1000 ms between
        // attempts; the second attempt finds the device in upgrade mode.
        QCOMPARE(bus->now(), std::uint64_t{60 + 1000 + 1000 + 60 + 10});
        QCOMPARE(logOf(*dlg), kSuccessLog);
        QCOMPARE(device->blocks(), std::vector<std::uint32_t>{0});
        // Version 100 is not shown.
        QCOMPARE(dlg->ui.devVer->text(), QStringLiteral("0.00"));
    }

    // A client that never answers is listed first; the controller answers each probe 100 ms
    // late. Its own pair is found and confirmed, and the firmware goes to it alone.
    void lateReplyBehindASilentPair() {
        const QByteArray body = randomBody(30 * 28, 21);
        load(body);
        bus->setPortCounts(2, 2);
        bus->attach(0, 0, [](const Message&) { return std::vector<Message>{}; });
        auto options = upgradeOptions();
        options.identityDelayMs = 100;
        auto device = std::make_shared<EmulatorDevice>(options);
        bus->attach(1, 1, device);
        runToEnd();
        bus->quiesce();
        QCOMPARE(logOf(*dlg), kSuccessLog);
        QCOMPARE(bytesOf(device->emulator().image()), body);
        for (const Message& m : bus->sent(0))
            QVERIFY(!korvalen::parseStartMessage(m.data(), m.size()));
    }

    // Two controllers in upgrade mode: the first confirmed one is flashed, and the log says
    // which port it is and that the other one answered too.
    void twoDevicesInUpgradeMode() {
        const QByteArray body = randomBody(10 * 28, 22);
        load(body);
        bus->setPortCounts(2, 2);
        auto first = std::make_shared<EmulatorDevice>(upgradeOptions());
        auto second = std::make_shared<EmulatorDevice>(upgradeOptions());
        bus->attach(0, 0, first);
        bus->attach(1, 1, second);
        // Start alone flashes neither: both are listed, and no port stays open.
        runToEnd();
        bus->quiesce();
        QCOMPARE(logOf(*dlg),
                 (QStringList{text::kFinding,
                              "2 controllers in upgrade mode answered, and none was flashed. "
                              "Choose the one to flash.",
                              "Controller in upgrade mode on \"Virtual MIDI Out 1\" (input "
                              "\"Virtual MIDI In 1\")",
                              "Controller in upgrade mode on \"Virtual MIDI Out 2\" (input "
                              "\"Virtual MIDI In 2\")"}));
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::NotChosen);
        QVERIFY(!first->emulator().transferStarted());
        QVERIFY(!second->emulator().transferStarted());
        QVERIFY(bus->openInputs().empty());
        QVERIFY(bus->openOutputs().empty());

        // Started for the first one: only that one is flashed, and the other one is named.
        dlg->ui.upgradeLog->clear();
        dlg->startOn(QStringLiteral("out 1"));
        connectThread.wait();
        applyReports();
        bus->quiesce();
        QStringList expected = kSuccessLog;
        expected.insert(2,
                        "Flashing the controller on \"Virtual MIDI Out 1\". Another controller "
                        "in upgrade mode answered on \"Virtual MIDI In 2\"; it is left as it is.");
        QCOMPARE(logOf(*dlg), expected);
        QCOMPARE(bytesOf(first->emulator().image()), body);
        QVERIFY(!second->emulator().transferStarted());
        // Only the flashed controller's ports stay open: the other one cannot ask for blocks.
        QCOMPARE(bus->openInputs(), std::vector<unsigned>{0});
        QCOMPARE(bus->openOutputs(), std::vector<unsigned>{0});
    }

    // A controller in normal mode is named with its version; its answer never counts as the
    // device in upgrade mode.
    void normalModeAnswerIsNamed() {
        load(randomBody(100, 23));
        ControllerEmulator::Options options; // normal mode: answers the upgrade probe with mode 1
        options.upgradeId = kId;
        options.version = 102;
        attachEmulator(options);
        runToEnd();
        QCOMPARE(logOf(*dlg), (QStringList{text::kFinding, text::kNotFound,
                                           "The controller answered on \"Virtual MIDI In 1\" in "
                                           "normal mode, firmware 1.02. Start it in upgrade mode "
                                           "and press Start again."}));
        QCOMPARE(dlg->ui.devVer->text(), QStringLiteral("1.02"));
        // Ten attempts of one probe, the pauses between them, and the one pause after the first
        // answer in normal mode.
        QCOMPARE(bus->now(), std::uint64_t{10 * 60 + 9 * 1000 + 1000});
        QVERIFY(bus->openInputs().empty());
        QVERIFY(bus->openOutputs().empty());
    }

    // A stop during the search ends it at once: in virtual time, no wait goes on after it.
    // The stop comes from a device that handles a probe `delay` ms after it went out.
    void stopDuringTheSearch_data() {
        QTest::addColumn<int>("probe");
        QTest::addColumn<unsigned>("delay");
        QTest::addColumn<qulonglong>("stoppedAt");
        // The first probe goes out at 10 ms, its window ends at 60 ms, the pause after the
        // attempt lasts to 1060 ms.
        QTest::newRow("in the pause between attempts") << 1 << 500u << qulonglong{510};
        // The tenth attempt's probe, in its window: no pause follows that attempt.
        QTest::newRow("in the last attempt") << 10 << 20u << qulonglong{9 * 1060 + 10 + 20};
    }
    void stopDuringTheSearch() {
        QFETCH(int, probe);
        QFETCH(unsigned, delay);
        QFETCH(qulonglong, stoppedAt);
        load(randomBody(100, 24));
        bus->setPortCounts(1, 1);
        auto probes = std::make_shared<std::atomic<int>>(0);
        bus->attach(
            0, 0,
            [probes, probe](const Message&) {
                if (++*probes == probe) connectThread.requestStop();
                return std::vector<Message>{};
            },
            delay);
        runToEnd();
        QCOMPARE(bus->now(), std::uint64_t{stoppedAt});
        QCOMPARE(logOf(*dlg), (QStringList{text::kFinding, text::kStoppedSearching}));
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::Stopped);
        checkEndedWithoutFlash(text::kStoppedSearching);
    }

    // The same in real time, from the dialog: without ports the search reads the counts
    // ten times a second apart; closing the dialog and saying "Yes" ends it within its
    // first pause.
    void closingTheDialogStopsTheSearch() {
        korvalen::midi::setPlatform(korvalen::midi::createPlatform("none"));
        load(randomBody(100, 25));
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        dlg->OnFirmwareUpgrade();
        QTest::qWait(300);
        QVERIFY(connectThread.isRunning());
        testboxes::BoxAnswerer yes(QMessageBox::Yes);
        dlg->close(); // asks without waiting
        KORVALEN_TRY_VERIFY(!dlg->isVisible());
        QCOMPARE(yes.seen.size(), 1);
        // Ended by the stop, not by nine more seconds of readings: the log says so.
        connectThread.wait();
        applyReports();
        QCOMPARE(logOf(*dlg), (QStringList{text::kFinding, text::kStoppedSearching}));
        korvalen::midi::setPlatform(bus);
    }

    // --- transfers

    void flashIntoTheEmulatorWithOneBadBlock() {
        const QByteArray body = randomBody(100 * 1024, 7);
        load(body);
        auto options = upgradeOptions();
        options.version = 257;
        options.corruptBlock = 100;
        auto device = std::make_shared<EmulatorDevice>(options);
        bus->setPortCounts(2, 2);
        bus->attach(1, 1, device);
        runToEnd();
        bus->quiesce();
        QCOMPARE(logOf(*dlg), kSuccessLog);
        const auto& emulator = device->emulator();
        QCOMPARE(emulator.blocksRejected(), 1u);
        QVERIFY(emulator.transferComplete());
        QCOMPARE(bytesOf(emulator.image()), body);
        QCOMPARE(dlg->ui.upgradeBar->value(), static_cast<int>(firmwareImage.blockCount));
        QCOMPARE(dlg->ui.upgradeBar->text(), QStringLiteral("3658 / 3658 blocks (100%)"));
        QCOMPARE(dlg->ui.devVer->text(), QStringLiteral("2.57"));
        QVERIFY(dlg->ui.upgradeStart->isEnabled());
        QVERIFY(dlg->ui.upgradeLoad->isEnabled());
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::Flashed);
        // A second run adds its lines below the first run's.
        runToEnd();
        QCOMPARE(logOf(*dlg).size(), 2 * kSuccessLog.size());
    }

    // Another thread writes the link's state in the middle of a flash, as the window's
    // destructor once did before it stopped the worker: the flash goes on to its last block
    // and only then reports the end.
    void flashEndsOnlyWithItsLastBlock() {
        const QByteArray body = randomBody(40 * 28, 23);
        load(body);
        struct Meddler final : korvalen::midi::VirtualDevice {
            EmulatorDevice inner{upgradeOptions()};
            std::vector<Message> receive(const Message& m) override {
                const auto block = korvalen::decodeBlock(m.data(), m.size());
                if (block.status == korvalen::BlockStatus::Ok && ++blocks == 5)
                    midiLink.delivery = midiMethodClass::Delivery::Nowhere;
                return inner.receive(m);
            }
            int blocks = 0;
        };
        auto device = std::make_shared<Meddler>();
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, device);
        runToEnd();
        bus->quiesce();
        QVERIFY(device->blocks >= 5);
        QVERIFY(device->inner.emulator().transferComplete());
        QCOMPARE(bytesOf(device->inner.emulator().image()), body);
        QCOMPARE(logOf(*dlg), kSuccessLog);
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::Flashed);
    }

    // Every request is answered with exactly one block; the bar counts the blocks the device
    // has taken (it asked for the one after), not the blocks sent.
    void requestsAreFollowedExactly() {
        load(randomBody(3 * 28, 9));
        QCOMPARE(firmwareImage.blockCount, 3u);
        // Note Ons on another channel or with another velocity are never requests.
        const Message otherChannel{0x91, 0x51, 0x54};
        const Message otherVelocity{0x90, 0x51, 0x55};
        const Message otherRepeat{0x90, 0x61, 0x01};
        auto device = attachScript({{kRepeat},                // before any block: block 0
                                    {otherChannel, kNext},    // block 1
                                    {otherVelocity, kRepeat}, // block 1 again
                                    {otherRepeat, kNext},     // block 2
                                    {kNext}},                 // done
                                   3);
        ProgressLog progress;
        auto c = connect(
            &connectThread, &ConnectThread::updataUISignal, &connectThread,
            [&progress](uint comp, uint val, char*) {
                if (comp == ConnectThread::Progress) progress.add(val);
            },
            Qt::DirectConnection);
        runToEnd();
        disconnect(c);
        QCOMPARE(device->blocks(), (std::vector<std::uint32_t>{0, 1, 1, 2}));
        QCOMPARE(progress.values, (std::vector<uint>{1, 2, 3, 3}));
        QCOMPARE(logOf(*dlg), kSuccessLog);
    }

    // A block asked for again seven times in a row and then taken is fine; the eighth repeat
    // in a row ends the run, naming the block.
    void repeatsAreBounded_data() {
        QTest::addColumn<bool>("endless");
        QTest::newRow("7 repeats, then taken") << false;
        QTest::newRow("asked for again and again") << true;
    }
    void repeatsAreBounded() {
        QFETCH(bool, endless);
        load(randomBody(4 * 28, 14));
        if (endless) {
            auto options = upgradeOptions();
            options.repeatBlock = 1;
            attachEmulator(options);
        } else {
            std::vector<std::vector<Message>> script{{kNext}, {kNext}};
            script.insert(script.end(), 7, std::vector<Message>{kRepeat});
            script.insert(script.end(), 3, std::vector<Message>{kNext});
            attachScript(script, 4);
        }
        runToEnd();
        QCOMPARE(timesSent(*bus, 4, 1), 8);
        if (!endless) {
            QCOMPARE(logOf(*dlg), kSuccessLog);
            return;
        }
        checkEndedWithoutFlash("ERROR: The device asked for block 2 of 4 again 8 times in a row "
                               "and does not take it. Restart it in upgrade mode and try again.");
        QCOMPARE(timesSent(*bus, 4, 2), 0);
        QCOMPARE(dlg->ui.upgradeBar->value(), 1);
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::RepeatsRefused);
    }

    // Only repeats in a row count: a device that asks for every block once more (eight
    // repeats, never two in a row) gets the whole image.
    void repeatsThatAreNotInARowDoNotAddUp() {
        load(randomBody(8 * 28, 16));
        std::vector<std::vector<Message>> script{{kNext}}; // the start message: block 0
        for (int b = 0; b < 8; ++b) {
            script.push_back({kRepeat}); // block b again
            script.push_back({kNext});   // the next block, after the last one done
        }
        auto device = attachScript(script, 8);
        runToEnd();
        QCOMPARE(logOf(*dlg), kSuccessLog);
        for (std::uint32_t b = 0; b < 8; ++b)
            QCOMPARE(timesSent(*bus, 8, b), 2);
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::Flashed);
    }

    void deviceThatFallsSilentEndsTheRun() {
        load(randomBody(28 * 40, 8));
        auto options = upgradeOptions();
        options.silenceAfterBlocks = 10;
        attachEmulator(options);
        // Between blocks the short time-out applies, not the long one for the first request.
        connectThread.setRequestTimeouts(600000, 1000);
        runToEnd();
        checkEndedWithoutFlash(text::kDeviceSilent);
        QCOMPARE(logOf(*dlg).mid(0, 3), kSuccessLog.mid(0, 3));
        QCOMPARE(dlg->ui.upgradeBar->value(), 10);
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::DeviceSilent);
    }

    // The first request after the start message may come later than the time allowed between
    // blocks (the device erases its flash first), but not never.
    void firstRequestMayTakeLongerThanTheRest_data() {
        QTest::addColumn<bool>("comes");
        QTest::newRow("after 2.5 s") << true;
        QTest::newRow("never") << false;
    }
    void firstRequestMayTakeLongerThanTheRest() {
        QFETCH(bool, comes);
        load(randomBody(2 * 28, 15));
        auto device = attachScript({{}, {kNext}, {kNext}}, 2);
        if (comes)
            connectThread.setRequestTimeouts(600000, 1000);
        else
            connectThread.setRequestTimeouts(1000, 600000);
        dlg->OnFirmwareUpgrade();
        KORVALEN_TRY_VERIFY(device->started());
        if (comes) {
            QTest::qWait(2500);
            bus->inject(0, kNext);
        }
        connectThread.wait();
        applyReports();
        if (comes) {
            QCOMPARE(logOf(*dlg), kSuccessLog);
        } else {
            checkEndedWithoutFlash(text::kFirstRequestMissing);
            QVERIFY(device->blocks().empty());
        }
    }

    // With the run's own time-outs, a device that never asks for the first block is given
    // 30 s (it may be erasing its flash), and no more than twice that, before the run gives
    // up. The wait is the worker's, in real time; the test waits as long as its own time-out.
    void firstRequestIsAwaitedThirtySeconds() {
        load(randomBody(2 * 28, 18));
        auto device = attachScript({{}}, 2);
        QElapsedTimer clock;
        clock.start();
        dlg->OnFirmwareUpgrade();
        connectThread.wait();
        const qint64 elapsed = clock.elapsed();
        applyReports();
        checkEndedWithoutFlash(text::kFirstRequestMissing);
        QVERIFY(device->started());
        QVERIFY2(elapsed >= 30000, qPrintable(QString::number(elapsed)));
        QVERIFY2(elapsed < 60000, qPrintable(QString::number(elapsed)));
    }

    // --- ways out

    // Closing the dialog during a transfer asks first: "No" keeps the run (and the dialog),
    // "Yes" stops it at its wait for the device, whatever the time-out.
    void closingTheDialogAsksToStop() {
        load(randomBody(5 * 28, 17));
        auto device = attachScript({}, 5);
        connectThread.setRequestTimeouts(600000, 600000);
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        dlg->OnFirmwareUpgrade();
        KORVALEN_TRY_VERIFY(device->started());
        {
            testboxes::BoxAnswerer no(QMessageBox::No);
            QVERIFY(!dlg->close());
            KORVALEN_TRY_COMPARE(no.seen.size(), 1);
            QVERIFY(no.seen[0].contains("Stop it?"));
        }
        QVERIFY(dlg->isVisible());
        QVERIFY(connectThread.isRunning());
        {
            testboxes::BoxAnswerer yes(QMessageBox::Yes);
            dlg->close();
            KORVALEN_TRY_COMPARE(yes.seen.size(), 1);
        }
        KORVALEN_TRY_VERIFY(!dlg->isVisible());
        connectThread.wait();
        applyReports();
        checkEndedWithoutFlash(text::kStoppedFlashing);
        QCOMPARE(connectThread.outcome(), ConnectThread::Outcome::Stopped);
        // Without a run, closing asks nothing.
        testboxes::BoxAnswerer none(QMessageBox::No);
        dlg->show();
        QVERIFY(dlg->close());
        QVERIFY(none.seen.isEmpty());
    }

    // Closing the editor during a run asks the same question; the editor stays when the
    // answer is "No".
    void closingTheEditorAsksToStop() {
        // The editor finds its controller on pair 0; the device in upgrade mode is on pair 1.
        bus->setPortCounts(2, 2);
        bus->attach(0, 0, testsupport::answerIdentityProbe);
        auto device = std::make_shared<ScriptedDevice>();
        device->blockCount = 5;
        bus->attach(1, 1, [device](const Message& m) { return device->receive(m); });
        auto window = std::make_unique<Korvalen49_Test>();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        load(randomBody(5 * 28, 18));
        connectThread.setRequestTimeouts(600000, 600000);
        dlg->OnFirmwareUpgrade();
        KORVALEN_TRY_VERIFY(device->started());
        {
            testboxes::BoxAnswerer no(QMessageBox::No);
            QVERIFY(!window->close());
            KORVALEN_TRY_COMPARE(no.seen.size(), 1);
        }
        QVERIFY(window->isVisible());
        QVERIFY(connectThread.isRunning());
        {
            testboxes::BoxAnswerer yes(QMessageBox::Yes);
            QVERIFY(!window->close());
            KORVALEN_TRY_COMPARE(yes.seen.size(), 1);
        }
        KORVALEN_TRY_VERIFY(!window->isVisible());
        connectThread.wait();
        applyReports();
        QCOMPARE(logOf(*dlg).last(), QString::fromLatin1(text::kStoppedFlashing));
        window.reset();
    }

    // --- threads

    // The run flashes the image it was started with, and takes the probe reply of that
    // image's identity, even when the loaded image changes under it.
    void runFlashesItsOwnCopyOfTheImage() {
        const QByteArray body = randomBody(20 * 28, 19);
        load(body);
        auto device = std::make_shared<GatedEmulator>(upgradeOptions());
        bus->setPortCounts(1, 1);
        bus->attach(0, 0, device);
        dlg->OnFirmwareUpgrade();
        device->waitUntilReached();
        // What a load would do; the dialog itself refuses to load during a run.
        korvalen::FirmwareImage other = firmwareImage;
        other.body.assign(other.body.size(), 0x55);
        other.deviceId = {1, 2, 3, 4, 5};
        firmwareImage = other;
        device->open();
        connectThread.wait();
        applyReports();
        bus->quiesce();
        QCOMPARE(logOf(*dlg), kSuccessLog);
        QCOMPARE(bytesOf(device->inner.emulator().image()), body);
    }

    // The editor gives up its ports on its own thread before the worker runs: once Start has
    // returned, the editor sends nothing more.
    void portsChangeHandsBeforeTheWorkerStarts() {
        load(randomBody(28, 20));
        bus->setPortCounts(1, 1);
        // The editor's connection, which the worker asks for the ports.
        ControllerConnection connection;
        midiLink.delivery = midiMethodClass::Delivery::Window;
        QSemaphore held;
        auto c = connect(
            &connectThread, &ConnectThread::updataUISignal, &connectThread,
            [&held](uint, uint, char*) { held.tryAcquire(1, 30000); }, Qt::DirectConnection);
        dlg->OnFirmwareUpgrade();
        // The worker is held at its first report.
        const bool handedOver = connection.state() == ControllerConnection::State::Flashing &&
                                midiLink.delivery == midiMethodClass::Delivery::Nowhere;
        held.release(100);
        connectThread.wait();
        disconnect(c);
        QVERIFY(handedOver);
    }

    void loadFileIsOffDuringARun() {
        dlg->loadImage(writeFile("img.bin", imageFile(randomBody(28 * 5, 11))));
        const auto image = firmwareImage;
        // A device that is found but never asks for a block: the run waits until stopped.
        attachScript({}, 5);
        connectThread.setRequestTimeouts(600000, 600000);
        dlg->OnFirmwareUpgrade();
        QVERIFY(connectThread.isRunning());
        QVERIFY(!dlg->ui.upgradeLoad->isEnabled());
        dlg->loadImage(writeFile("other.bin", imageFile(randomBody(28, 12))));
        QVERIFY(firmwareImage == image);
        connectThread.requestStop();
        connectThread.wait();
        KORVALEN_TRY_VERIFY(dlg->ui.upgradeLoad->isEnabled());
    }
};

QTEST_MAIN(TestUpgrade)
#include "test_upgrade.moc"
