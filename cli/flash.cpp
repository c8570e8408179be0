#include "flash.h"

#include "connectthread.h"
#include "firmware.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

namespace korvalen::cli {

QString progressBar(std::uint32_t done, std::uint32_t total, int width) {
    const double share = total == 0 ? 1.0 : double(std::min(done, total)) / total;
    const int filled = int(share * width);
    return QStringLiteral("[%1%2] %3%  %4/%5 blocks")
        .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('.')))
        .arg(int(share * 100), 3)
        .arg(done)
        .arg(total);
}

FlashPrinter::FlashPrinter(QTextStream& out, bool terminal, std::uint32_t blockCount)
    : out_(out), terminal_(terminal), blockCount_(blockCount) {}

void FlashPrinter::endBarLine() {
    if (!barShown_) return;
    out_ << '\n';
    barShown_ = false;
}

void FlashPrinter::report(unsigned comp, unsigned value, const char* text) {
    switch (comp) {
    case ConnectThread::DeviceVersion: // every probe reply reports it: print it once
        if (version_ == QLatin1String(text)) break;
        version_ = QLatin1String(text);
        endBarLine();
        out_ << "Device firmware version: " << version_ << '\n';
        break;
    case ConnectThread::Progress:
        if (terminal_) {
            out_ << '\r' << progressBar(value, blockCount_);
            barShown_ = true;
        } else if (blockCount_ > 0) {
            const int tenth =
                int(std::uint64_t(std::min<std::uint32_t>(value, blockCount_)) * 10 / blockCount_);
            if (tenth > lastTenth_) {
                lastTenth_ = tenth;
                out_ << progressBar(value, blockCount_) << '\n';
            }
        }
        break;
    case ConnectThread::Log:
        endBarLine();
        out_ << text << '\n';
        break;
    default: // the file version and the Start button are the dialog's
        break;
    }
    out_.flush();
}

void FlashPrinter::finish() {
    endBarLine();
    out_.flush();
}

namespace {

// The write end of the pipe through which Ctrl-C (SIGINT) and SIGTERM reach the event loop.
int stopSignalPipe = -1;

extern "C" void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(stopSignalPipe, &byte, 1);
}

// While alive, Ctrl-C and SIGTERM no longer end the program: they call `onStop` on the thread
// of the event loop, once. The handler only writes a byte into a pipe, which is all a signal
// handler may safely do. The signals' former handling comes back when this ends.
class StopSignals {
public:
    explicit StopSignals(std::function<void()> onStop) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
        readEnd_ = fds[0];
        stopSignalPipe = fds[1];
        notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                         [this, onStop = std::move(onStop)] {
                             char byte;
                             while (::read(readEnd_, &byte, 1) > 0) {
                             }
                             if (caught_) return;
                             caught_ = true;
                             onStop();
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
        notifier_.reset();
        if (readEnd_ >= 0) {
            ::close(readEnd_);
            ::close(stopSignalPipe);
            stopSignalPipe = -1;
        }
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    bool caught() const { return caught_; }

private:
    int readEnd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    struct sigaction formerInt_ {};
    struct sigaction formerTerm_ {};
    bool installed_ = false;
    bool caught_ = false;
};

} // namespace

Outcome flashCommand(const QString& path, QTextStream& out, bool terminal) {
    namespace text = upgradetext;
    const QString shownPath = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Outcome::fail(
            kBadFile, QStringLiteral("cannot read \"%1\": %2").arg(shownPath, file.errorString()));
    if (static_cast<std::uint64_t>(file.size()) > kMaxFirmwareFileSize)
        return Outcome::fail(
            kBadFile,
            QStringLiteral("\"%1\": %2").arg(shownPath, QLatin1String(text::kFileTooLarge)));
    const QByteArray bytes = file.readAll();
    auto loaded = loadFirmwareImage(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                    static_cast<std::size_t>(bytes.size()));
    if (loaded.status != FirmwareLoadStatus::Loaded)
        return Outcome::fail(kBadFile, QStringLiteral("\"%1\" is not a Korvalen25 firmware image "
                                                      "(%2)")
                                           .arg(shownPath, QLatin1String(text::kOpenError)));
    const FirmwareImage& image = loaded.image;
    if (image.blockCount == 0)
        return Outcome::fail(
            kBadFile,
            QStringLiteral("\"%1\": %2").arg(shownPath, QLatin1String(text::kEmptyImage)));
    out << text::kFileLoaded << " Version "
        << QString::fromStdString(firmwareVersionText(image.versionChars)) << ", "
        << image.blockCount << " blocks\n";
    out.flush();

    FlashPrinter printer(out, terminal, image.blockCount);
    QObject receiver;
    QObject::connect(
        &connectThread, &ConnectThread::updataUISignal, &receiver,
        [&printer](uint comp, uint value, char* str) { printer.report(comp, value, str); });
    QEventLoop loop;
    QObject::connect(&connectThread, &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    // Ctrl-C or SIGTERM asks the worker to stop, which ends its waits at once; the ports are
    // closed and the program ends with a message instead of being killed in the middle.
    StopSignals stopSignals([] { connectThread.requestStop(); });
    if (!connectThread.startRun(image))
        return Outcome::fail(kDeviceFailure, QStringLiteral("the upgrade could not start"));
    loop.exec();
    // The reports the worker queued before it ended.
    QCoreApplication::sendPostedEvents(&receiver);
    printer.finish();

    using Result = ConnectThread::Outcome;
    switch (connectThread.outcome()) {
    case Result::Flashed:
        return Outcome::done();
    case Result::NoPorts:
        return Outcome::fail(kDeviceFailure, QLatin1String(text::kNoPorts));
    case Result::TooManyPorts:
        return Outcome::fail(kDeviceFailure, QLatin1String(text::kTooManyPorts));
    case Result::NotFound:
    case Result::NoOutput:
        return Outcome::fail(kDeviceFailure, QLatin1String(text::kNotFound));
    case Result::Stopped:
        if (stopSignals.caught())
            return Outcome::fail(kDeviceFailure,
                                 QStringLiteral("interrupted: the upgrade was stopped, and the "
                                                "firmware in the controller may be incomplete; "
                                                "restart it in upgrade mode and flash again"));
        return Outcome::fail(kDeviceFailure, QLatin1String(text::kStoppedFlashing));
    case Result::DeviceSilent:
        return Outcome::fail(kDeviceFailure, QLatin1String(text::kDeviceSilent));
    case Result::RepeatsRefused:
    case Result::None:
        break;
    }
    return Outcome::fail(kDeviceFailure,
                         QStringLiteral("the upgrade did not complete; the firmware in the "
                                        "controller may be incomplete: restart it in upgrade "
                                        "mode and try again"));
}

} // namespace korvalen::cli
