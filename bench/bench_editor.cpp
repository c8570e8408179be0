// The editor's transfers and its bank switch, in one process on the virtual MIDI bus with the
// controller emulator, each against a baseline measured in the same run:
//
//   download     the 384 messages of a full download into the emulator and its read-back,
//                from the window's download() until the bus has delivered them; baseline: the
//                same bytes, built beforehand, sent straight on another port pair of the same
//                bus to an emulator of their own, which answers the read-back request; the two
//                interleaved, each sample 16 downloads back to back, medians
//   flash        a 1 MiB image through ConnectThread (search, start message, every block on the
//                device's request, progress to the upgrade dialog) into an emulator that
//                answers at once; baseline: a bare request-and-answer loop on its own thread
//                that sends the same blocks, built beforehand, over the same bus
//   both again with the MIDI Monitor open (the traffic tap on, every message listed by its kind
//   at the monitor's own pace, the list painted at the end of each sample), against the same
//   transfer with it closed, in the same run
//   bank switch  "BANK 1" to "BANK 4" and back, with function buttons whose types differ
//                between the two banks, so that their assignment lists are rebuilt; absolute
//   library      the library window reading a folder of 1000 preset files and listing them;
//                baseline: the folder's listing alone, without reading the files
//
// The download is measured without the snapshot that comes before it (one upload, as in
// the read-back), so that its figure stays the download's own. Snapshots go to a temporary
// folder.
//
//   bench_editor [RUNS] [PART...]   (default 15 downloads, 5 flashes, 400 switches; RUNS
//                                    scales them; PART: download, flash, bank or library,
//                                    all of them when none is named)
#include "benchutil.h"

#include "emulatordevice.h"
#include "firmware.h"
#include "korvalen49_test.h"
#include "librarywindow.h"
#include "midi.h"
#include "monitorwindow.h"
#include "presetmodel.h"
#include "presettransfer.h"
#include "upgrade.h"
#include "virtualbus.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <utility>

using korvalen::midi::EmulatorDevice;
using korvalen::midi::InputEvent;
using korvalen::midi::Message;
using korvalen::midi::VirtualBus;
using korvalen::sim::ControllerEmulator;

namespace {

// Runs the event loop until `ready` holds; false after 60 s.
bool waitUntil(const std::function<bool()>& ready) {
    bool timedOut = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&] { timedOut = true; });
    deadline.start(60000);
    while (!ready()) {
        if (timedOut) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void releaseLink() {
    midiLink.resetPortTable();
    midiLink.closeOutput();
}

// --- Download --------------------------------------------------------------------------------

// One sample of each: this many downloads back to back, so that a sample is long enough for
// the clock and the scheduler's noise to matter little.
constexpr int kDownloadsPerSample = 16;

bool benchDownload(int runs) {
    auto bus = std::make_shared<VirtualBus>();
    auto device = std::make_shared<EmulatorDevice>();
    // The emulator on pair 0, which the link finds and keeps. Pair 1 gets an emulator of its
    // own once the link is connected, for the baseline.
    bus->setPortCounts(2, 2);
    bus->attach(0, 0, device);
    korvalen::midi::setPlatform(bus);

    bool ok = true;
    {
        Korvalen49_Test window;
        window.show();
        const QString title = Korvalen49_Test::titleForPreset(0);
        if (!waitUntil([&] {
                bus->quiesce();
                return window.windowTitle() == title;
            })) {
            std::fprintf(stderr, "bench_editor: the window did not take preset 0\n");
            ok = false;
        }

        // The messages of one download and its read-back request, kept for the baseline.
        bus->clearSent();
        ok = ok && window.download(false);
        ok = ok && waitUntil([&] { return !window.isDownloading(); });
        bus->quiesce();
        const std::vector<Message> messages = bus->sent(0);
        if (messages.size() != 385) {
            std::fprintf(stderr,
                         "bench_editor: a download sent %zu messages, not 384 and a "
                         "read-back request\n",
                         messages.size());
            ok = false;
        }
        // The baseline: the same exchange without the editor. The same bytes, built
        // beforehand, sent straight on output 1 of the same bus to an emulator of their own,
        // until the bus has delivered its answer to the read-back request on input 1.
        bus->attach(1, 1, std::make_shared<EmulatorDevice>());
        std::uint8_t buffer[256];
        std::atomic<korvalen::midi::InputPort*> live{nullptr};
        std::atomic<std::size_t> answered{0};
        auto in = bus->openInput(
            1,
            [&](std::uintptr_t, const InputEvent& e) {
                if (e.kind != InputEvent::Kind::LongData || e.recorded == 0) return;
                answered += e.recorded;
                if (auto* p = live.load()) p->addBuffer(buffer, sizeof buffer);
            },
            1);
        live = in.get();
        auto out = bus->openOutput(1);
        ok = ok && in && out && in->addBuffer(buffer, sizeof buffer) == 0 && in->start() == 0;

        auto editorDownloads = [&] {
            const auto start = bench::Clock::now();
            for (int k = 0; ok && k < kDownloadsPerSample; ++k) {
                ok = window.download(false) && waitUntil([&] { return !window.isDownloading(); });
                bus->quiesce();
            }
            return bench::msSince(start) / kDownloadsPerSample;
        };
        auto bareDownloads = [&] {
            const auto start = bench::Clock::now();
            for (int k = 0; ok && k < kDownloadsPerSample; ++k) {
                for (const Message& m : messages)
                    ok = ok && out->send(m.data(), static_cast<std::uint32_t>(m.size())) == 0;
                bus->quiesce();
            }
            return bench::msSince(start) / kDownloadsPerSample;
        };

        MonitorWindow monitor;
        std::vector<double> editorMs, baseMs, monitoredMs;
        for (int i = 0; ok && i < runs; ++i) {
            // With the monitor open (shown and painted before the clock starts), until its list
            // holds every download and shows the last lines. The monitor takes the traffic at
            // its own pace while the downloads run, as it does in the program; what is left at
            // the end it takes, lists and paints inside the sample.
            monitor.clear();
            monitor.show();
            ok = waitUntil(
                [&] { return monitor.windowHandle() && monitor.windowHandle()->isExposed(); });
            QCoreApplication::processEvents();
            auto start = bench::Clock::now();
            for (int k = 0; ok && k < kDownloadsPerSample; ++k) {
                ok = window.download(false) && waitUntil([&] { return !window.isDownloading(); });
                bus->quiesce();
            }
            monitor.takeTraffic();
            monitor.repaint();
            monitoredMs.push_back(bench::msSince(start) / kDownloadsPerSample);
            ok = ok && monitor.lineCount() >= 385 * kDownloadsPerSample;
            monitor.hide();

            // The download and its baseline, interleaved: each run's pair sees the same machine.
            const std::size_t before = answered;
            bus->clearSent();
            editorMs.push_back(editorDownloads());
            baseMs.push_back(bareDownloads());
            ok = ok && answered > before;
        }
        ok = ok && bus->sent(0).size() == 385 * kDownloadsPerSample &&
             bus->sent(1).size() == 385 * kDownloadsPerSample &&
             window.statusBar()->currentMessage() == QLatin1String("Download to Korvalen OK");
        if (!ok) std::fprintf(stderr, "bench_editor: the download row could not be measured\n");
        if (ok) {
            const double ms = bench::median(editorMs), base = bench::median(baseMs);
            std::printf("download: editor %.3f ms, the same exchange bare %.3f ms (medians of %d "
                        "samples of %d)\n",
                        ms, base, runs, kDownloadsPerSample);
            bench::row("Download, 384 messages, read back", bench::fmt("%.2f ms", ms),
                       bench::fmt("%.2f ms", base), bench::fmt("%.2f", ms / base), "ratio <= 1.5",
                       bench::verdict(ms / base <= 1.5));
            const double open = bench::median(monitoredMs);
            std::printf("download: MIDI Monitor open %.3f ms, closed %.3f ms (medians of %d)\n",
                        open, ms, runs);
            bench::row("  MIDI Monitor open : closed", bench::fmt("%.2f ms", open),
                       bench::fmt("%.2f ms", ms), bench::fmt("%.2f", open / ms), "ratio <= 1.5",
                       bench::verdict(open / ms <= 1.5));
        }
        live = nullptr;
        if (in) {
            in->stop();
            in->reset();
        }
        in.reset();
        out.reset();
        releaseLink();
        bus->quiesce();
    }
    korvalen::midi::setPlatform(nullptr);
    return ok;
}

// A first download into a controller that reads no faster than a MIDI cable (3,125 bytes/s,
// a 256-byte buffer), in the bus's virtual time, against the time its bytes need at that speed:
// the rounds lost to finding the pace, the read-backs and the resends are the difference.
bool benchSlowReceiver() {
    auto bus = std::make_shared<VirtualBus>();
    ControllerEmulator::Options options;
    options.readRateBytesPerS = korvalen::SendPace::kCableBytesPerS;
    auto device = std::make_shared<EmulatorDevice>(options);
    bus->setPortCounts(1, 1);
    bus->attach(0, 0, device);
    korvalen::midi::setPlatform(bus);
    midiLink.reConnect();
    bool ok = midiLink.delivery == midiMethodClass::Delivery::Window;
    korvalen::PresetValues values;
    for (std::size_t i = 0; i < values.encoders.size(); ++i)
        values.encoders[i].cc = static_cast<std::uint8_t>(i + 1);
    std::size_t bytes = 0;
    korvalen::sendDownload(values, 17,
                           [&bytes](const std::uint8_t*, std::size_t n) { bytes += n; });
    const double needMs = 1000.0 * static_cast<double>(bytes) / korvalen::SendPace::kCableBytesPerS;
    korvalen::midi::StopToken stop;
    for (int run = 0; ok && run < 2; ++run) {
        korvalen::SendPace pace;
        if (run == 1) pace.setBytesPerSecond(korvalen::SendPace::kCableBytesPerS);
        korvalen::PresetTransfer transfer(
            [](const std::uint8_t* d, std::uint32_t n) { return midiLink.sendSysEx(d, n); },
            midiLink.sysExRing, stop, pace);
        const auto start = bus->now();
        const korvalen::DownloadResult r = transfer.download(values, 17);
        const double ms = static_cast<double>(bus->now() - start);
        ok = r.ok();
        if (!ok) break;
        std::printf("download at cable speed, %s: %.0f virtual ms in %d round(s), %zu bytes "
                    "need %.0f ms\n",
                    run == 0 ? "first" : "pace kept", ms, r.rounds, bytes, needMs);
        bench::row(run == 0 ? "Download into 3,125 bytes/s, first" : "  the same, pace kept",
                   bench::fmt("%.0f ms", ms), bench::fmt("%.0f ms", needMs),
                   bench::fmt("%.2f", ms / needMs), run == 0 ? "ratio <= 1.5" : "(reported)",
                   run == 0 ? bench::verdict(ms / needMs <= 1.5) : "-");
    }
    releaseLink();
    bus->quiesce();
    korvalen::midi::setPlatform(nullptr);
    if (!ok) std::fprintf(stderr, "bench_editor: the download at cable speed did not arrive\n");
    return ok;
}

// --- Flash -----------------------------------------------------------------------------------

constexpr std::size_t kImageBody = 1024 * 1024;

std::shared_ptr<VirtualBus> upgradeBus(std::shared_ptr<EmulatorDevice>& device) {
    auto bus = std::make_shared<VirtualBus>();
    ControllerEmulator::Options options;
    options.mode = ControllerEmulator::Mode::Upgrade;
    device = std::make_shared<EmulatorDevice>(options);
    bus->setPortCounts(1, 1);
    bus->attach(0, 0, device);
    return bus;
}

korvalen::FirmwareImage makeImage(const std::array<std::uint8_t, 5>& id) {
    std::mt19937 rng(1234);
    std::vector<std::uint8_t> file(kImageBody);
    for (auto& b : file)
        b = static_cast<std::uint8_t>(rng());
    file.insert(file.end(), id.begin(), id.end());
    for (char c : std::string("102\x01\x02QVolm"))
        file.push_back(static_cast<std::uint8_t>(c));
    return korvalen::loadFirmwareImage(file.data(), file.size()).image;
}

bool transferred(EmulatorDevice& device) {
    return device.emulator().transferComplete() && device.emulator().image() == firmwareImage.body;
}

// One flash by the editor's worker; the time from Start to the end of the run.
bool flashByWorker(double& ms) {
    std::shared_ptr<EmulatorDevice> device;
    auto bus = upgradeBus(device);
    korvalen::midi::setPlatform(bus);
    QEventLoop loop;
    QObject::connect(&connectThread, &QThread::finished, &loop, &QEventLoop::quit);
    const auto start = bench::Clock::now();
    connectThread.startRun();
    loop.exec();
    ms = bench::msSince(start);
    const bool ok =
        connectThread.outcome() == ConnectThread::Outcome::Flashed && transferred(*device);
    releaseLink();
    bus->quiesce();
    korvalen::midi::setPlatform(nullptr);
    return ok;
}

// The same exchange without the editor: probe, start message, then one prebuilt block per
// next request, on a thread of its own.
bool flashByLoop(const std::vector<korvalen::DataBlockMessage>& blocks, double& ms) {
    std::shared_ptr<EmulatorDevice> device;
    auto bus = upgradeBus(device);
    std::mutex mutex;
    std::condition_variable changed;
    using korvalen::BlockRequest;
    BlockRequest answer = BlockRequest::None;
    std::uint8_t buffer[256];
    bool ok = true;

    const auto start = bench::Clock::now();
    std::thread worker([&] {
        std::atomic<korvalen::midi::InputPort*> port{nullptr};
        auto in = bus->openInput(
            0,
            [&](std::uintptr_t, const InputEvent& e) {
                if (e.kind == InputEvent::Kind::Short) {
                    {
                        std::lock_guard<std::mutex> lock(mutex);
                        answer = korvalen::blockRequestOf(e.shortMessage);
                    }
                    changed.notify_all();
                } else if (e.kind == InputEvent::Kind::LongData && e.recorded > 0) {
                    if (auto* p = port.load()) p->addBuffer(buffer, sizeof buffer);
                }
            },
            0);
        port = in.get();
        auto out = bus->openOutput(0);
        if (!in || !out || in->addBuffer(buffer, sizeof buffer) != 0 || in->start() != 0) {
            ok = false;
            return;
        }
        const auto probe = korvalen::firmwareProbeMessage(firmwareImage.deviceId);
        out->send(probe.data(), probe.size());
        bus->sleep(ConnectThread::kReplyWaitMs);
        const auto startMessage = korvalen::firmwareStartMessage(firmwareImage.blockCount);
        out->send(startMessage.data(), startMessage.size());
        std::size_t k = 0;
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex);
            if (!changed.wait_for(lock, std::chrono::seconds(5),
                                  [&] { return answer != BlockRequest::None; })) {
                ok = false;
                break;
            }
            const BlockRequest request = std::exchange(answer, BlockRequest::None);
            lock.unlock();
            if (request == BlockRequest::Repeat && k > 0) --k;
            if (k == blocks.size()) break;
            out->send(blocks[k].data(), static_cast<std::uint32_t>(blocks[k].length));
            ++k;
        }
        port = nullptr;
        in->stop();
        in->reset();
    });
    worker.join();
    ms = bench::msSince(start);
    ok = ok && transferred(*device);
    bus->quiesce();
    return ok;
}

bool benchFlash(int runs) {
    firmwareImage = makeImage(ControllerEmulator::Options{}.upgradeId);
    if (firmwareImage.bodyLength != kImageBody) return false;
    std::vector<korvalen::DataBlockMessage> blocks;
    for (std::uint32_t k = 0; k < firmwareImage.blockCount; ++k)
        blocks.push_back(korvalen::firmwareDataBlock(firmwareImage, k));

    // The dialog takes the worker's reports, as in the program.
    UpgradeDlg dialog;
    MonitorWindow monitor;
    std::vector<double> workerMs, loopMs, monitoredMs;
    for (int i = 0; i < runs; ++i) {
        double a = 0, b = 0, c = 0;
        if (!flashByWorker(a) || !flashByLoop(blocks, b)) {
            std::fprintf(stderr, "bench_editor: a flash did not complete\n");
            return false;
        }
        // With the monitor open; its list is filled as the flash goes on.
        monitor.clear();
        monitor.show();
        const bool monitored = flashByWorker(c);
        monitor.takeTraffic();
        monitor.hide();
        if (!monitored || monitor.lineCount() == 0) {
            std::fprintf(stderr, "bench_editor: a flash with the monitor open did not complete\n");
            return false;
        }
        std::printf("flash %d: worker %.1f ms, bare loop %.1f ms, worker with the MIDI Monitor "
                    "open %.1f ms (%d lines)\n",
                    i + 1, a, b, c, monitor.lineCount());
        workerMs.push_back(a);
        loopMs.push_back(b);
        monitoredMs.push_back(c);
    }
    QCoreApplication::processEvents();
    const double ms = bench::median(workerMs), base = bench::median(loopMs);
    bench::row(bench::fmt("Flash, 1 MiB (%.0f blocks)", firmwareImage.blockCount),
               bench::fmt("%.0f ms", ms), bench::fmt("%.0f ms", base),
               bench::fmt("%.2f", ms / base), "ratio <= 1.2", bench::verdict(ms / base <= 1.2));
    const double open = bench::median(monitoredMs);
    bench::row("  MIDI Monitor open : closed", bench::fmt("%.0f ms", open),
               bench::fmt("%.0f ms", ms), bench::fmt("%.2f", open / ms), "(reported)", "-");
    return true;
}

// --- Bank switch -----------------------------------------------------------------------------

bool benchBankSwitch(int switches) {
    auto bus = std::make_shared<VirtualBus>();
    bus->setPortCounts(1, 1);
    bus->attach(0, 0, std::make_shared<EmulatorDevice>());
    korvalen::midi::setPlatform(bus);
    bool ok = true;
    {
        Korvalen49_Test window;
        window.show();
        const QString title = Korvalen49_Test::titleForPreset(0);
        ok = waitUntil([&] {
            bus->quiesce();
            return window.windowTitle() == title;
        });
        // Every page built, as after the user has seen them all: a switch then updates the
        // function buttons' boxes too.
        window.buildAllPages();
        // Function buttons of alternating types: each one changes type between banks 1 and 4.
        for (int b = 0; b < 4; ++b)
            for (int k = 0; k < 4; ++k)
                item_Fn[b][k].SetType(static_cast<quint8>((b + k) % 2));
        auto* bankBox = window.findChild<QComboBox*>(QStringLiteral("BankBox"));
        ok = ok && bankBox != nullptr && bankBox->currentIndex() == 0;
        auto* f1cc = window.findChild<QComboBox*>(QStringLiteral("F1_ccBox"));
        ok = ok && f1cc != nullptr;

        std::vector<double> ms;
        for (int i = 0; ok && i < switches; ++i) {
            const int target = i % 2 == 0 ? 3 : 0;
            const auto start = bench::Clock::now();
            bankBox->setCurrentIndex(target);
            QCoreApplication::processEvents(); // the repaint it asks for
            ms.push_back(bench::msSince(start));
            // F1 of bank 1 holds controllers (172 entries), of bank 4 notes (128).
            ok = f1cc->count() == (target == 0 ? 172 : 128);
        }
        if (ok) {
            const double median = bench::median(ms);
            std::sort(ms.begin(), ms.end());
            std::printf("bank switch: median %.3f ms, 90th percentile %.3f ms over %d switches\n",
                        median, ms[ms.size() * 9 / 10], switches);
            bench::row("Bank switch 1 <-> 4, lists rebuilt", bench::fmt("%.3f ms", median), "", "",
                       "< 2 ms per switch", bench::verdict(median < 2.0));
        } else {
            std::fprintf(stderr, "bench_editor: the bank switch did not rebuild the lists\n");
        }
        releaseLink();
        bus->quiesce();
    }
    korvalen::midi::setPlatform(nullptr);
    return ok;
}

// --- Library -----------------------------------------------------------------------------------

bool benchLibrary(int runs) {
    QTemporaryDir dir;
    const int count = 1000;
    for (int i = 0; i < count; ++i) {
        const auto bytes = korvalen::buildPresetFile(
            korvalen::packPresetRecords(korvalen::PresetValues{}, std::uint8_t(16 + i % 14)));
        QFile file(dir.filePath(QStringLiteral("preset %1.sav").arg(i, 4, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly)) return false;
        file.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    bool ok = true;
    {
        Korvalen49_Test window;
        LibraryWindow& library = libraryWindow(window);
        library.setHistoryFolder(dir.filePath(QStringLiteral("none")));
        std::vector<double> listMs, baseMs;
        for (int i = 0; ok && i < runs; ++i) {
            auto start = bench::Clock::now();
            library.setFolder(dir.path());
            listMs.push_back(bench::msSince(start));
            const QString last = QStringLiteral("P%1").arg(16 + (count - 1) % 14 + 1);
            ok = library.list()->rowCount() == count &&
                 library.list()->item(count - 1, 1)->text() == last;
            start = bench::Clock::now();
            const auto files =
                QDir(dir.path()).entryInfoList({QStringLiteral("*.sav")}, QDir::Files, QDir::Name);
            baseMs.push_back(bench::msSince(start));
            ok = ok && files.size() == count;
        }
        if (ok) {
            const double ms = bench::median(listMs), base = bench::median(baseMs);
            std::printf("library: %d presets read and listed %.2f ms, folder listed %.2f ms "
                        "(medians of %d)\n",
                        count, ms, base, runs);
            bench::row("Library, 1000 presets read and listed", bench::fmt("%.1f ms", ms),
                       bench::fmt("%.1f ms", base), bench::fmt("%.1f", ms / base), "< 1000 ms",
                       bench::verdict(ms < 1000));
        } else {
            std::fprintf(stderr, "bench_editor: the library did not list the folder\n");
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTemporaryDir history;
    qputenv("KORVALEN_HISTORY_DIR", history.path().toUtf8());
    const double scale = argc >= 2 ? std::max(0.2, std::atof(argv[1]) / 15.0) : 1.0;
    const auto count = [&](int n) { return std::max(1, static_cast<int>(n * scale)); };
    std::vector<std::string> parts(argv + std::min(argc, 2), argv + argc);
    const auto wanted = [&parts](const char* part) {
        return parts.empty() || std::find(parts.begin(), parts.end(), part) != parts.end();
    };
    bool ok = true;
    if (wanted("download")) ok = benchDownload(count(15)) && benchSlowReceiver() && ok;
    if (wanted("flash")) ok = benchFlash(count(5)) && ok;
    if (wanted("bank")) ok = benchBankSwitch(count(400)) && ok;
    if (wanted("library")) ok = benchLibrary(count(5)) && ok;
    return ok ? 0 : 1;
}
