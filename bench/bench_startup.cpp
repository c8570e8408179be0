// Start-up: from process start to the editor window shown with preset 0 applied, against an
// empty QMainWindow shown by the same program; and the peak resident memory of both at that
// moment.
//
//   bench_startup [RUNS]            on the virtual MIDI backend: RUNS start-ups of each
//                                   (default 7), alternating
//   bench_startup --over-jack LABEL [RUNS]
//                                   on the JACK server that JACK_DEFAULT_SERVER names, with the
//                                   controller emulator on it: the device search with its real
//                                   waits and the upload of preset 0; one row named LABEL,
//                                   against the empty window, or against
//                                   KORVALEN_BENCH_JACK_ALONE_MS when that is set
//   bench_startup --child editor    one start-up (started by the forms above)
//   bench_startup --child editor-jack
//   bench_startup --child empty
//   bench_startup --child form      the editor's main form alone: no model, no MIDI link
//
// A child does what the editor's main() does up to the shown window (font set-up begun,
// application object, style, MIDI backend, window, show), waits until the window is exposed and,
// for the editor, until the title names preset 0, then prints "READY <steady clock ns> <peak
// resident kB>" and quits. The parent takes the time just before it starts the child, so every
// figure includes loading the program and its libraries. An editor that shows a box instead (no
// controller found) says so and fails.
#include "benchutil.h"

#include "fontsetup.h"
#include "korvalen49_test.h"
#include "platformfactory.h"
#include "virtualdevice.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

long peakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Runs the event loop until `ready` holds; false after 30 s.
bool waitUntil(const std::function<bool()>& ready) {
    bool timedOut = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, [&] { timedOut = true; });
    deadline.start(30000);
    while (!ready()) {
        if (timedOut) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void printReady() {
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(bench::Clock::now().time_since_epoch())
            .count();
    std::printf("READY %lld %ld\n", static_cast<long long>(ns), peakResidentKb());
    std::fflush(stdout);
}

// With KORVALEN_BENCH_PHASES set, a child tells on stderr how long each step took.
class Phases {
public:
    Phases() : on_(std::getenv("KORVALEN_BENCH_PHASES") != nullptr) {}
    void mark(const char* step) {
        if (!on_) return;
        std::fprintf(stderr, "phase %-28s %7.2f ms\n", step, bench::msSince(last_));
        last_ = bench::Clock::now();
    }

private:
    bool on_;
    bench::Clock::time_point last_ = bench::Clock::now();
};

bool exposed(QWidget& w) {
    return w.windowHandle() != nullptr && w.windowHandle()->isExposed();
}

// Ends the program when a modal box comes up: the benchmark has no one to answer it. The
// window of a search that takes its time asks nothing and closes by itself.
void failOnBox(QTimer& watch) {
    QObject::connect(&watch, &QTimer::timeout, [] {
        QWidget* box = QApplication::activeModalWidget();
        if (box && box->objectName() != QLatin1String("searchWindow")) {
            std::fprintf(stderr, "bench_startup: the editor shows a box \"%s\"\n",
                         qPrintable(box->windowTitle()));
            std::_Exit(3);
        }
    });
    watch.start(50);
}

int runEditor(int argc, char** argv, const char* api) {
    FontSetUp fonts;
    Phases phases;
    QApplication app(argc, argv);
    phases.mark("application object");
    if (QApplication::setStyle(QStringLiteral("plastique")) == nullptr)
        QApplication::setStyle(QStringLiteral("Fusion"));
    phases.mark("style");
    std::string error;
    auto midi = korvalen::midi::createPlatform(api, &error, korvalen::sim::attachVirtualDevice);
    if (!midi) {
        std::fprintf(stderr, "bench_startup: no %s backend: %s\n", api, error.c_str());
        return 1;
    }
    QTimer boxWatch;
    failOnBox(boxWatch);
    korvalen::midi::setPlatform(midi);
    phases.mark("MIDI backend");
    int result = 0;
    {
        Korvalen49_Test window;
        phases.mark("window constructed");
        window.show();
        phases.mark("show()");
        const QString title = Korvalen49_Test::titleForPreset(0);
        if (!waitUntil([&] { return exposed(window); })) result = 1;
        phases.mark("exposed");
        if (result == 0 && waitUntil([&] { return window.windowTitle() == title; })) {
            phases.mark("preset 0 in the title");
            printReady();
        } else
            result = 1;
    }
    korvalen::midi::setPlatform(nullptr);
    return result;
}

// An empty main window, or one with the editor's main form and nothing else.
int runBare(int argc, char** argv, bool withForm) {
    QApplication app(argc, argv);
    if (QApplication::setStyle(QStringLiteral("plastique")) == nullptr)
        QApplication::setStyle(QStringLiteral("Fusion"));
    QMainWindow window;
    Ui::Korvalen49_TestClass form;
    if (withForm) form.setupUi(&window);
    window.show();
    if (!waitUntil([&] { return exposed(window); })) return 1;
    printReady();
    return 0;
}

struct Start {
    double ms = 0;
    long peakKb = 0;
};

// One start-up of this program as a child; false if it did not get ready.
bool startChild(const char* mode, Start& out) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const auto started = bench::Clock::now();
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--child"), QString::fromLatin1(mode)});
    // A search that finds nothing goes on for up to two minutes before its box.
    if (!child.waitForFinished(180000) || child.exitCode() != 0) return false;
    const QList<QByteArray> words = child.readAllStandardOutput().trimmed().split(' ');
    if (words.size() != 3 || words[0] != "READY") return false;
    const auto readyNs = std::chrono::nanoseconds(words[1].toLongLong());
    const auto startNs = started.time_since_epoch();
    out.ms = std::chrono::duration<double, std::milli>(readyNs - startNs).count();
    out.peakKb = words[2].toLong();
    return true;
}

} // namespace

// RUNS start-ups of the editor over JACK, each beside one of the empty window.
int overJack(const char* label, int runs) {
    std::vector<double> editorMs, emptyMs;
    Start warm;
    if (!startChild("editor-jack", warm) || !startChild("empty", warm)) {
        std::fprintf(stderr, "bench_startup: a child did not start over JACK\n");
        return 1;
    }
    for (int i = 0; i < runs; ++i) {
        Start editor, empty;
        if (!startChild("editor-jack", editor) || !startChild("empty", empty)) {
            std::fprintf(stderr, "bench_startup: a child did not start over JACK\n");
            return 1;
        }
        std::printf("%s %d: editor %.1f ms; empty window %.1f ms\n", label, i + 1, editor.ms,
                    empty.ms);
        editorMs.push_back(editor.ms);
        emptyMs.push_back(empty.ms);
    }
    const double ms = bench::median(editorMs), base = bench::median(emptyMs);
    // Against the start-up with the controller alone on the server, when that was measured
    // first (scripts/bench.sh passes its median): ports that never answer should cost little.
    const char* alone = std::getenv("KORVALEN_BENCH_JACK_ALONE_MS");
    const double aloneMs = alone ? std::atof(alone) : 0;
    if (aloneMs > 0) {
        std::printf("%s: median %.1f ms, the controller alone %.1f ms, empty window %.1f ms\n",
                    label, ms, aloneMs, base);
        bench::row(label, bench::fmt("%.1f ms", ms), bench::fmt("%.1f ms", aloneMs),
                   bench::fmt("%.2f", ms / aloneMs), "ratio <= 1.5",
                   bench::verdict(ms / aloneMs <= 1.5));
        return 0;
    }
    bench::row(label, bench::fmt("%.1f ms", ms), bench::fmt("%.1f ms", base),
               bench::fmt("%.2f", ms / base), "(reported)", "-");
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) {
        if (std::strcmp(argv[2], "editor") == 0) return runEditor(argc, argv, "virtual");
        if (std::strcmp(argv[2], "editor-jack") == 0) return runEditor(argc, argv, "jack");
        if (std::strcmp(argv[2], "empty") == 0) return runBare(argc, argv, false);
        if (std::strcmp(argv[2], "form") == 0) return runBare(argc, argv, true);
        return 2;
    }

    QCoreApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--over-jack") == 0)
        return overJack(argv[2], argc >= 4 ? std::max(1, std::atoi(argv[3])) : 7);
    const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 7;
    std::vector<double> editorMs, emptyMs, formMs, editorKb, emptyKb, formKb;
    // One start-up of each first, so that both find the libraries in the page cache.
    Start warm;
    if (!startChild("editor", warm) || !startChild("empty", warm) || !startChild("form", warm)) {
        std::fprintf(stderr, "bench_startup: a child did not start\n");
        return 1;
    }
    for (int i = 0; i < runs; ++i) {
        Start editor, empty, form;
        if (!startChild("editor", editor) || !startChild("empty", empty) ||
            !startChild("form", form)) {
            std::fprintf(stderr, "bench_startup: a child did not start\n");
            return 1;
        }
        std::printf("start-up %d: editor %.1f ms, %ld kB; empty window %.1f ms, %ld kB; "
                    "main form alone %.1f ms\n",
                    i + 1, editor.ms, editor.peakKb, empty.ms, empty.peakKb, form.ms);
        formMs.push_back(form.ms);
        formKb.push_back(static_cast<double>(form.peakKb));
        editorMs.push_back(editor.ms);
        emptyMs.push_back(empty.ms);
        editorKb.push_back(static_cast<double>(editor.peakKb));
        emptyKb.push_back(static_cast<double>(empty.peakKb));
    }
    const double ms = bench::median(editorMs), base = bench::median(emptyMs);
    const double kb = bench::median(editorKb), baseKb = bench::median(emptyKb);
    bench::row("Start-up to preset 0 shown", bench::fmt("%.1f ms", ms), bench::fmt("%.1f ms", base),
               bench::fmt("%.2f", ms / base), "ratio <= 2.5", bench::verdict(ms / base <= 2.5));
    const double formOnly = bench::median(formMs);
    bench::row("  the main form alone, shown", bench::fmt("%.1f ms", formOnly),
               bench::fmt("%.1f ms", base), bench::fmt("%.2f", formOnly / base), "(reported)", "-");
    bench::row("Peak resident memory after start-up", bench::fmt("%.1f MiB", kb / 1024),
               bench::fmt("%.1f MiB", baseKb / 1024), bench::fmt("%.2f", kb / baseKb),
               "ratio <= 1.7", bench::verdict(kb / baseKb <= 1.7));
    const double formOnlyKb = bench::median(formKb);
    bench::row("  the main form alone, shown", bench::fmt("%.1f MiB", formOnlyKb / 1024),
               bench::fmt("%.1f MiB", baseKb / 1024), bench::fmt("%.2f", formOnlyKb / baseKb),
               "(reported)", "-");
    return 0;
}
