#include "flash.h"

#include "connectthread.h"
#include "firmware.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>

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
