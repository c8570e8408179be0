#include "monitor.h"
#include "clitext.h"

#include "device.h"
#include "diagnostics.h"
#include "midi.h"
#include "presets.h"
#include "trafficlines.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QTextStream>

#include <atomic>
#include <chrono>
#include <csignal>
#include <deque>

namespace korvalen::cli {

namespace {

// Between two looks at the traffic log: real time, since the traffic comes in real time
// whatever the backend's clock.
constexpr auto kPollInterval = std::chrono::milliseconds(50);

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onSignal(int) {
    interrupted = 1;
}

// SIGINT and SIGTERM set `interrupted` while it lives.
class SignalCatcher {
public:
    SignalCatcher() {
        interrupted = 0;
        oldInt_ = std::signal(SIGINT, onSignal);
        oldTerm_ = std::signal(SIGTERM, onSignal);
    }
    ~SignalCatcher() {
        std::signal(SIGINT, oldInt_);
        std::signal(SIGTERM, oldTerm_);
    }
    SignalCatcher(const SignalCatcher&) = delete;
    SignalCatcher& operator=(const SignalCatcher&) = delete;

private:
    void (*oldInt_)(int) = SIG_DFL;
    void (*oldTerm_)(int) = SIG_DFL;
};

void print(QTextStream& stream, const std::vector<TrafficLine>& lines) {
    for (const TrafficLine& line : lines)
        stream << formatTrafficLine(line) << '\n';
    if (!lines.empty()) stream.flush();
}

} // namespace

Outcome monitorCommand(const QString& port, QTextStream& out, QTextStream& err,
                       const std::function<bool()>& keepGoing) {
    SignalCatcher catcher;
    midi::TrafficTapUser tap;
    TrafficReader reader;
    DeviceSession session(midiLink);
    // Ctrl-C ends the search too.
    std::atomic<bool> searching{true};
    std::thread watcher([&searching] {
        while (searching.load()) {
            if (interrupted) {
                midiLink.stopSearch();
                return;
            }
            std::this_thread::sleep_for(kPollInterval);
        }
    });
    const Outcome found = session.connect(port);
    searching = false;
    watcher.join();
    if (found.ok()) {
        err << "korvalen25-cli: "
            << CliText::tr("monitoring %1 and %2; Ctrl-C ends")
                   .arg(QString::fromStdString(midiLink.controllerInputName()),
                        QString::fromStdString(midiLink.controllerOutputName()))
            << '\n';
        err.flush();
    }
    print(out, reader.take());
    if (interrupted) return Outcome::done();
    if (!found.ok()) return found;
    while (!interrupted && (!keepGoing || keepGoing())) {
        print(out, reader.take());
        std::this_thread::sleep_for(kPollInterval);
    }
    print(out, reader.take());
    return Outcome::done();
}

Outcome diagnosticsCommand(const QString& port, const QString& path, QTextStream& out) {
    midi::TrafficTapUser tap;
    TrafficReader reader;
    std::deque<QString> lines;
    auto keep = [&]() {
        for (const TrafficLine& line : reader.take()) {
            lines.push_back(formatTrafficLine(line));
            if (lines.size() > std::size_t(kReportTrafficLines)) lines.pop_front();
        }
    };
    {
        DeviceSession session(midiLink);
        const bool connected = session.connect(port).ok();
        if (connected) {
            Preset preset;
            session.upload(0, preset); // its outcome is the report's last transfer
        }
        keep();
        DiagnosticsInput in;
        in.program =
            QStringLiteral("korvalen25-cli %1").arg(QCoreApplication::applicationVersion());
        auto& midi = midi::platform();
        in.backend = QString::fromStdString(midi.apiName());
        in.server = midi.midiServer();
        in.inputsNow = midi.inputNames();
        in.outputsNow = midi.outputNames();
        in.searched = true;
        in.search = midiLink.lastSearch();
        in.connected = connected;
        in.transfer = lastTransfer();
        in.trafficLines = QStringList(lines.begin(), lines.end());
        in.trafficNote = CliText::tr("no message went over the ports");
        const QString report = diagnosticsReport(in);

        if (path.isEmpty()) {
            out << report;
            return Outcome::done();
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text) || file.write(report.toUtf8()) < 0 ||
            !file.commit())
            return Outcome::fail(kBadFile,
                                 CliText::tr("cannot write \"%1\": %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString()));
        out << CliText::tr("diagnostics report written to %1").arg(QDir::toNativeSeparators(path))
            << '\n';
        return Outcome::done();
    }
}

VerbosePrinter::VerbosePrinter(QTextStream& err)
    : err_(err), tap_(std::make_unique<midi::TrafficTapUser>()),
      reader_(std::make_unique<TrafficReader>()) {
    thread_ = std::thread([this] {
        while (!stopping_.load()) {
            print(err_, reader_->take());
            std::this_thread::sleep_for(kPollInterval);
        }
    });
}

VerbosePrinter::~VerbosePrinter() {
    stop();
}

void VerbosePrinter::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    thread_.join();
    print(err_, reader_->take());
    tap_.reset();
}

} // namespace korvalen::cli
