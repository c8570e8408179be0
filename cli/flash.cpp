#include "flash.h"
#include "clitext.h"

#include "connectthread.h"
#include "device.h"
#include "firmware.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace korvalen::cli {

QString progressBar(std::uint32_t done, std::uint32_t total, int width) {
    const double share = total == 0 ? 1.0 : double(std::min(done, total)) / total;
    const int filled = int(share * width);
    return CliText::tr("[%1%2] %3%  %4/%5 blocks")
        .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('.')))
        .arg(int(share * 100), 3)
        .arg(done)
        .arg(total);
}

namespace {

namespace text = upgradetext;

// A log line of the upgrade worker and the same in a terminal's words: the worker writes for
// its dialog, which has a Start button and a file chooser. %1, %2 and %3 stand for what the
// line names (a port, a version, a block). No terminal line: the line is not printed.
struct Wording {
    const char* worker;
    const char* terminal;
};

const Wording kWordings[] = {
    {text::kFinding, QT_TRANSLATE_NOOP("CliText", "Looking for a Korvalen25 in upgrade mode...")},
    {text::kNoPorts, QT_TRANSLATE_NOOP("CliText", "There are no MIDI ports.")},
    {text::kReconnect,
     QT_TRANSLATE_NOOP("CliText", "Check that the controller is plugged in, and try again.")},
    {text::kTooManyPorts,
     QT_TRANSLATE_NOOP("CliText", "There are too many MIDI ports: unplug other MIDI devices.")},
    {text::kOpenInError, QT_TRANSLATE_NOOP("CliText", "A MIDI input port could not be opened.")},
    {text::kOpenOutError, QT_TRANSLATE_NOOP("CliText", "A MIDI output port could not be opened.")},
    {text::kNotFound, QT_TRANSLATE_NOOP("CliText", "No Korvalen25 in upgrade mode answered.")},
    {text::kFound, QT_TRANSLATE_NOOP("CliText", "The Korvalen25 in upgrade mode answered.")},
    {text::kFlashWriting, QT_TRANSLATE_NOOP("CliText", "Writing the firmware...")},
    {text::kUpdateOk, QT_TRANSLATE_NOOP("CliText", "The firmware is written.")},
    {text::kRestart,
     QT_TRANSLATE_NOOP("CliText",
                       "Switch the controller off and on again to start the new firmware.")},
    {text::kTheEnd, nullptr}, // the dialog's log ends; the command's exit says how it ended
    {text::kNormalMode,
     QT_TRANSLATE_NOOP("CliText",
                       "The controller on \"%1\" is in normal mode (firmware %2): start it in "
                       "upgrade mode and run the flash command again.")},
    {text::kAnotherDevice,
     QT_TRANSLATE_NOOP("CliText",
                       "Flashing the controller on \"%1\"; another controller in upgrade "
                       "mode, on \"%2\", is left as it is.")},
    // The command's failure lists the controllers and says what to do.
    {text::kSeveralDevices, nullptr},
    {text::kDeviceListed, nullptr},
    {text::kChosenNotFound, nullptr},
    {text::kStoppedSearching, QT_TRANSLATE_NOOP("CliText", "Stopped before anything was sent.")},
    {text::kStoppedFlashing,
     QT_TRANSLATE_NOOP("CliText", "Stopped: the firmware in the controller is incomplete.")},
    {text::kFirstRequestMissing,
     QT_TRANSLATE_NOOP("CliText",
                       "The controller did not ask for the firmware after the start message.")},
    {text::kDeviceSilent,
     QT_TRANSLATE_NOOP("CliText", "The controller stopped answering during the transfer.")},
    {text::kRepeatsRefused,
     QT_TRANSLATE_NOOP(
         "CliText",
         "The controller asked for block %1 of %2 again %3 times in a row and does not take it.")},
};

// The worker's line as a pattern: its text in the user's language, as the worker writes it,
// with a capture for each %N.
QRegularExpression patternOf(const char* worker) {
    static const QRegularExpression placeholder(QStringLiteral("%\\d"));
    const QString line = upgradetext::line(worker);
    QString pattern = QStringLiteral("^");
    qsizetype from = 0;
    for (auto it = placeholder.globalMatch(line); it.hasNext();) {
        const auto m = it.next();
        pattern += QRegularExpression::escape(line.mid(from, m.capturedStart() - from)) +
                   QStringLiteral("(.*)");
        from = m.capturedEnd();
    }
    return QRegularExpression(pattern + QRegularExpression::escape(line.mid(from)) +
                              QStringLiteral("$"));
}

} // namespace

std::optional<QString> terminalLine(const QString& workerLine) {
    static const std::vector<std::pair<QRegularExpression, const char*>> patterns = [] {
        std::vector<std::pair<QRegularExpression, const char*>> list;
        for (const Wording& w : kWordings)
            list.emplace_back(patternOf(w.worker), w.terminal);
        return list;
    }();
    for (const auto& [pattern, terminal] : patterns) {
        const auto m = pattern.match(workerLine);
        if (!m.hasMatch()) continue;
        if (terminal == nullptr) return std::nullopt;
        QString line = CliText::tr(terminal);
        for (int i = 1; i <= m.lastCapturedIndex(); ++i)
            line.replace(QStringLiteral("%%1").arg(i), m.captured(i));
        return line;
    }
    return workerLine; // a line the worker has newly, as it is
}

FlashPrinter::FlashPrinter(QTextStream& out, bool terminal, std::uint32_t blockCount)
    : out_(out), terminal_(terminal), blockCount_(blockCount) {}

void FlashPrinter::endBarLine() {
    if (!barShown_) return;
    out_ << '\n';
    barShown_ = false;
}

void FlashPrinter::version(const QString& version) {
    // Every probe reply tells it: it is printed once.
    if (version_ == version) return;
    version_ = version;
    endBarLine();
    out_ << CliText::tr("Device firmware version: %1").arg(version_) << '\n';
    out_.flush();
}

void FlashPrinter::progress(std::uint32_t done) {
    // Once all the blocks are shown the worker's later counts add nothing.
    if (allShown_) return;
    if (terminal_) {
        out_ << '\r' << progressBar(done, blockCount_);
        barShown_ = true;
    } else if (blockCount_ > 0) {
        const int tenth =
            int(std::uint64_t(std::min<std::uint32_t>(done, blockCount_)) * 10 / blockCount_);
        if (tenth > lastTenth_) {
            lastTenth_ = tenth;
            out_ << progressBar(done, blockCount_) << '\n';
        }
    }
    if (done >= blockCount_) allShown_ = true;
    out_.flush();
}

void FlashPrinter::logLine(const QString& workerLine) {
    // The worker says the update is done before its last count: the bar is drawn full first,
    // so that it stands above the closing lines.
    if (workerLine == upgradetext::line(upgradetext::kUpdateOk)) showAllBlocks();
    const auto line = terminalLine(workerLine);
    if (line) {
        endBarLine();
        out_ << *line << '\n';
    }
    out_.flush();
}

void FlashPrinter::report(unsigned comp, unsigned value, const char* text) {
    switch (comp) {
    case ConnectThread::DeviceVersion:
        version(QString::fromUtf8(text));
        break;
    case ConnectThread::Progress:
        progress(value);
        break;
    case ConnectThread::Log:
        logLine(QString::fromUtf8(text));
        break;
    default: // the file version and the Start button are the dialog's
        break;
    }
}

void FlashPrinter::showAllBlocks() {
    if (allShown_) return;
    allShown_ = true;
    if (terminal_) {
        out_ << '\r' << progressBar(blockCount_, blockCount_);
        barShown_ = true;
    } else if (lastTenth_ < 10) {
        lastTenth_ = 10;
        out_ << progressBar(blockCount_, blockCount_) << '\n';
    }
}

void FlashPrinter::finish() {
    endBarLine();
    out_.flush();
}

namespace {

// The write end of the pipe through which Ctrl-C (SIGINT) and SIGTERM reach the watcher.
int stopSignalPipe = -1;

extern "C" void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopSignalPipe, &byte, 1);
}

// While alive, Ctrl-C and SIGTERM no longer end the program: they call `onStop` once, on a
// watcher thread of its own, while the command's thread waits for the worker. The handler only
// writes a byte into a pipe, which is all a signal handler may safely do. The signals' former
// handling comes back when this ends.
class StopSignals {
public:
    explicit StopSignals(std::function<void()> onStop) {
        int fds[2];
        int done[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
        if (::pipe2(done, O_CLOEXEC) != 0) {
            ::close(fds[0]);
            ::close(fds[1]);
            return;
        }
        readEnd_ = fds[0];
        stopSignalPipe = fds[1];
        doneRead_ = done[0];
        doneWrite_ = done[1];
        watcher_ = std::thread([this, onStop = std::move(onStop)] {
            pollfd wanted[2] = {{readEnd_, POLLIN, 0}, {doneRead_, POLLIN, 0}};
            for (;;) {
                if (::poll(wanted, 2, -1) < 0) {
                    if (errno == EINTR) continue;
                    return;
                }
                if (wanted[1].revents != 0) return;
                if (wanted[0].revents == 0) continue;
                char byte;
                while (::read(readEnd_, &byte, 1) > 0) {
                }
                if (caught_.exchange(true)) continue;
                onStop();
            }
        });
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        installed_ = ::sigaction(SIGINT, &action, &formerInt_) == 0 &&
                     ::sigaction(SIGTERM, &action, &formerTerm_) == 0;
    }
    ~StopSignals() {
        if (installed_) {
            ::sigaction(SIGINT, &formerInt_, nullptr);
            ::sigaction(SIGTERM, &formerTerm_, nullptr);
        }
        if (watcher_.joinable()) {
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = ::write(doneWrite_, &byte, 1);
            watcher_.join();
        }
        if (readEnd_ >= 0) {
            ::close(readEnd_);
            ::close(stopSignalPipe);
            ::close(doneRead_);
            ::close(doneWrite_);
            stopSignalPipe = -1;
        }
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool caught() const { return caught_; }

private:
    int readEnd_ = -1;
    int doneRead_ = -1;
    int doneWrite_ = -1;
    std::thread watcher_;
    struct sigaction formerInt_ {};
    struct sigaction formerTerm_ {};
    bool installed_ = false;
    std::atomic<bool> caught_{false};
};

} // namespace

Outcome flashCommand(const QString& path, QTextStream& out, bool terminal, const QString& port) {
    const QString shownPath = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Outcome::fail(
            kBadFile, CliText::tr("cannot read \"%1\": %2").arg(shownPath, file.errorString()));
    if (static_cast<std::uint64_t>(file.size()) > kMaxFirmwareFileSize)
        return Outcome::fail(kBadFile,
                             CliText::tr("\"%1\" is larger than a Korvalen25 firmware image "
                                         "can be; give the .bin file of the firmware")
                                 .arg(shownPath));
    const QByteArray bytes = file.readAll();
    auto loaded = loadFirmwareImage(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size()));
    if (loaded.status != FirmwareLoadStatus::Loaded)
        return Outcome::fail(
            kBadFile,
            loaded.status == FirmwareLoadStatus::TooManyBlocks
                ? CliText::tr("\"%1\" has more blocks than a Korvalen25 firmware image can "
                              "have")
                      .arg(shownPath)
                : CliText::tr("\"%1\" is not a Korvalen25 firmware image (it does not end "
                              "in one's trailer)")
                      .arg(shownPath));
    const FirmwareImage& image = loaded.image;
    if (image.blockCount == 0)
        return Outcome::fail(kBadFile,
                             CliText::tr("\"%1\" holds no firmware: the image is empty, so "
                                         "there is nothing to flash")
                                 .arg(shownPath));
    out << CliText::tr("Firmware image %1: version %2, %3 blocks")
               .arg(shownPath, QString::fromStdString(firmwareVersionText(image.versionChars)))
               .arg(image.blockCount)
        << '\n';
    out.flush();

    // The printer follows the worker on the worker's thread (the version comes from the MIDI
    // input thread), while this one waits for the run to end; one at a time writes to `out`.
    FlashPrinter printer(out, terminal, image.blockCount);
    std::mutex printing;
    QObject receiver;
    QObject::connect(
        &connectThread, &ConnectThread::logged, &receiver,
        [&](const QString& line) {
            std::lock_guard lock(printing);
            printer.logLine(line);
        },
        Qt::DirectConnection);
    QObject::connect(
        &connectThread, &ConnectThread::progressed, &receiver,
        [&](uint done, uint) {
            std::lock_guard lock(printing);
            printer.progress(done);
        },
        Qt::DirectConnection);
    QObject::connect(
        &connectThread, &ConnectThread::versionSeen, &receiver,
        [&](const QString& version) {
            std::lock_guard lock(printing);
            printer.version(version);
        },
        Qt::DirectConnection);
    // Ctrl-C or SIGTERM asks the worker to stop, which ends its waits at once; the ports are
    // closed and the program ends with a message instead of being killed in the middle.
    StopSignals stopSignals([] { connectThread.requestStop(); });
    if (!connectThread.startRun(image, port.toStdString()))
        return Outcome::fail(kDeviceFailure, CliText::tr("the upgrade could not start"));
    connectThread.wait();
    QObject::disconnect(&connectThread, nullptr, &receiver, nullptr);
    {
        std::lock_guard lock(printing);
        printer.finish();
    }

    using Result = ConnectThread::Outcome;
    // What went wrong, and what it leaves in the controller.
    auto incomplete = [](const QString& what) {
        return CliText::tr("%1; the firmware in the controller is incomplete: start it in "
                           "upgrade mode and flash again")
            .arg(what);
    };
    switch (connectThread.outcome()) {
    case Result::Flashed:
        return Outcome::done();
    case Result::NoPorts:
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("there are no MIDI ports; plug in the controller, "
                                         "started in upgrade mode, and try again"));
    case Result::TooManyPorts:
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("there are too many MIDI ports to search; unplug "
                                         "other MIDI devices and try again"));
    case Result::NotFound:
    case Result::NoOutput:
        return Outcome::fail(kDeviceFailure,
                             CliText::tr("no Korvalen25 in upgrade mode answered on the MIDI "
                                         "ports; start it in upgrade mode and try again"));
    case Result::Stopped:
        if (stopSignals.caught())
            return Outcome::fail(kDeviceFailure,
                                 incomplete(CliText::tr("interrupted: the upgrade was stopped")));
        return Outcome::fail(kDeviceFailure, incomplete(CliText::tr("the upgrade was stopped")));
    case Result::DeviceSilent:
        return Outcome::fail(kDeviceFailure,
                             incomplete(CliText::tr("the controller stopped answering during "
                                                    "the transfer")));
    case Result::NotChosen:
        return notChosen(connectThread.devices(), port, true);
    case Result::RepeatsRefused:
    case Result::None:
        break;
    }
    return Outcome::fail(kDeviceFailure, incomplete(CliText::tr("the upgrade did not complete")));
}

} // namespace korvalen::cli
