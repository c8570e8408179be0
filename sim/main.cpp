// korvalen25-sim: plays the Korvalen25 controller on real MIDI ports. It opens a virtual
// input and output port on JACK or ALSA (or serves a raw MIDI device such as a USB MIDI
// gadget's), answers what it receives as the controller would, prints a ready line on stdout
// once its ports exist, and exits on SIGINT or SIGTERM.
#include "controlleremulator.h"
#include "rawmidi.h"
#include "rtmidibackend.h"
#include "touch.h"

#include <RtMidi.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#include <string>
#include <thread>
#include <vector>

namespace {

using korvalen::sim::ControllerEmulator;
using korvalen::sim::Message;
using Clock = std::chrono::steady_clock;

constexpr const char* kUsage = R"(usage: korvalen25-sim [options]
  --midi-api NAME           jack, alsa or auto (default: JACK, then ALSA)
  --client-name NAME        client and port name (default Korvalen25)
  --verbose                 log every message received and sent on stderr
  --load-sav FILE[:PRESET]  store a .sav preset file in a preset slot (0 or 16-29; default
                            the file's own preset number); may be given more than once
  --upgrade                 start in upgrade mode
  --id HEX                  upgrade identity: five bytes as ten hex digits (default 00206B0219)
  --any-id                  answer an upgrade probe of any identity
  --version N               version number, 102 = 1.02 (default 102)
  --normal-mode-reply       answer the upgrade probe with mode 1 (not in upgrade mode)
  --image-out FILE          write the firmware image to FILE when a transfer completes
  --reply-delay MS          wait MS milliseconds before each answer
  --wrong-identity          answer probes with a wrong identity byte
  --dump-time MS            spread the records of a dump over MS milliseconds
  --dump-fault KIND:N       dump record N is truncated (KIND truncated), carries channel 17
                            (KIND bad-value), is left out (KIND dropped), or the dump ends
                            before it (KIND cut)
  --dump-fault-times T      only the first T dumps have that fault; later ones are whole
  --dump-number-offset N    a dump names the preset N numbers on from the one asked for
  --identity-delay MS       answer the identity probe (and the upgrade probe) MS milliseconds
                            later than the rest
  --silent                  open the ports but answer nothing
  --ignore-probes N         answer none of the first N identity probes (a controller that is
                            still starting when its ports appear)
  --ignore-uploads          send no dump for an upload request
  --silence-after N         answer no data block after the first N
  --corrupt-block K         take data block K as bad the first time it arrives
  --repeat-block K          take data block K as bad every time: ask for it again and again
  --read-rate BYTES_PER_S    read incoming messages no faster than this (3125 is MIDI cable
                            speed) into a receive buffer: what finds the buffer full is lost
  --read-buffer BYTES       the size of that receive buffer (default 256)
  --test-hooks              answer F0 7D 01 hh ll F7 with a System Exclusive message of
                            hh * 128 + ll bytes: F0 7D, bytes counting 0-7F, F7
  --exit-with-parent        stop when the process that started this one ends (Linux)
  --rawmidi CARD|PATH       serve a raw MIDI device instead of opening ports: device 0 of the
                            sound card with id CARD (such as "gadget", a USB MIDI gadget's
                            device side), or the device at PATH. It is opened the moment it
                            appears, and again each time it comes back; SIGUSR1 closes it (do
                            that before the cable is pulled). Prints "open PATH" and
                            "closed: WHY" lines on stdout.
  --rawmidi-wait S          give up when the device has not appeared within S seconds of the
                            start (default 60)
  --touch CONTROL           touch a control once the ports are open (after --touch-delay): send
                            what the preset the controller plays says it sends; may be given more
                            than once. CONTROL is E1-E8, F1-F4, P1-P4 (E3:2 for bank 2 of E3,
                            P1:B for pad bank B), REW, FF, STOP, PLAY, REC, S1 (or SLIDER), or
                            KEY NOTE (KEY C3, KEY C#4, KEY 60)
  --touch-delay MS          wait MS milliseconds after the ready line before the touches
  --bank N                  the encoder and function button bank selected on the controller
                            (1-4, default 1)
  --pad-bank A|B            the pad bank selected on the controller (default A)

Commands on standard input, one a line:
  touch CONTROL             touch a control now; prints "touched CONTROL: BYTES"
  bank N                    select encoder and function button bank N (1-4)
  pad-bank A|B              select pad bank A or B
)";

struct Settings {
    std::string api = "auto";
    std::string clientName = "Korvalen25";
    bool verbose = false;
    bool testHooks = false;
    bool exitWithParent = false;
    std::string rawMidi;
    unsigned rawMidiWaitS = 60;
    std::string imageOut;
    std::vector<std::pair<std::string, int>> savFiles;
    std::vector<korvalen::sim::Touch> touches;
    unsigned touchDelayMs = 0;
    korvalen::sim::SelectedBanks banks;
    ControllerEmulator::Options options;
};

[[noreturn]] void usageError(const std::string& what) {
    std::cerr << "korvalen25-sim: " << what << "\n" << kUsage;
    std::exit(2);
}

long number(const std::string& text, long lo, long hi, const char* option) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < lo || v > hi)
        usageError(std::string(option) + " expects a number from " + std::to_string(lo) + " to " +
                   std::to_string(hi));
    return v;
}

Settings parse(int argc, char** argv) {
    Settings s;
    auto value = [&](int& i) -> std::string {
        if (i + 1 >= argc) usageError(std::string(argv[i]) + " needs a value");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto& o = s.options;
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (a == "--midi-api") {
            s.api = value(i);
        } else if (a == "--client-name") {
            s.clientName = value(i);
        } else if (a == "--verbose") {
            s.verbose = true;
        } else if (a == "--test-hooks") {
            s.testHooks = true;
        } else if (a == "--exit-with-parent") {
            s.exitWithParent = true;
        } else if (a == "--rawmidi") {
            s.rawMidi = value(i);
            if (s.rawMidi.empty()) usageError("--rawmidi needs a card id or a path");
        } else if (a == "--rawmidi-wait") {
            s.rawMidiWaitS = static_cast<unsigned>(number(value(i), 0, 3600, "--rawmidi-wait"));
        } else if (a == "--load-sav") {
            const std::string v = value(i);
            const auto colon = v.rfind(':');
            if (colon != std::string::npos && colon + 1 < v.size() &&
                v.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
                const int preset =
                    static_cast<int>(number(v.substr(colon + 1), 0, 29, "--load-sav"));
                if (!ControllerEmulator::isPresetNumber(preset))
                    usageError("--load-sav: presets are 0 and 16-29");
                s.savFiles.emplace_back(v.substr(0, colon), preset);
            } else {
                s.savFiles.emplace_back(v, -1);
            }
        } else if (a == "--touch") {
            std::string why;
            const auto touch = korvalen::sim::parseTouch(value(i), &why);
            if (!touch) usageError("--touch: " + why);
            s.touches.push_back(*touch);
        } else if (a == "--touch-delay") {
            s.touchDelayMs = static_cast<unsigned>(number(value(i), 0, 3600000, a.c_str()));
        } else if (a == "--bank") {
            s.banks.encoders = static_cast<int>(number(value(i), 1, 4, "--bank")) - 1;
        } else if (a == "--pad-bank") {
            const std::string bank = value(i);
            if (bank != "A" && bank != "B" && bank != "a" && bank != "b")
                usageError("--pad-bank expects A or B");
            s.banks.pads = bank == "A" || bank == "a" ? 0 : 1;
        } else if (a == "--upgrade") {
            o.mode = ControllerEmulator::Mode::Upgrade;
        } else if (a == "--id") {
            const std::string hex = value(i);
            if (hex.size() != 10 || hex.find_first_not_of("0123456789abcdefABCDEF") != hex.npos)
                usageError("--id expects ten hex digits");
            for (int k = 0; k < 5; ++k) {
                const auto b = std::strtoul(hex.substr(2 * k, 2).c_str(), nullptr, 16);
                if (b > 0x7F) usageError("--id: identity bytes are 00-7F");
                o.upgradeId[k] = static_cast<std::uint8_t>(b);
            }
        } else if (a == "--any-id") {
            o.anyIdentity = true;
        } else if (a == "--version") {
            o.version = static_cast<unsigned>(number(value(i), 0, 16383, "--version"));
        } else if (a == "--normal-mode-reply") {
            o.normalModeReply = true;
        } else if (a == "--image-out") {
            s.imageOut = value(i);
        } else if (a == "--read-rate") {
            o.readRateBytesPerS =
                static_cast<unsigned>(number(value(i), 1, 10000000, "--read-rate"));
        } else if (a == "--read-buffer") {
            o.readBufferBytes =
                static_cast<unsigned>(number(value(i), 16, 1 << 20, "--read-buffer"));
        } else if (a == "--reply-delay") {
            o.replyDelayMs = static_cast<unsigned>(number(value(i), 0, 60000, "--reply-delay"));
        } else if (a == "--dump-time") {
            o.dumpTimeMs = static_cast<unsigned>(number(value(i), 0, 600000, "--dump-time"));
        } else if (a == "--wrong-identity") {
            o.wrongIdentity = true;
        } else if (a == "--dump-fault") {
            const std::string v = value(i);
            const auto colon = v.find(':');
            const std::string kind = v.substr(0, colon);
            if (colon == std::string::npos) usageError("--dump-fault expects KIND:N");
            if (kind == "truncated")
                o.dumpFault = ControllerEmulator::DumpFault::Truncated;
            else if (kind == "bad-value")
                o.dumpFault = ControllerEmulator::DumpFault::BadValue;
            else if (kind == "cut")
                o.dumpFault = ControllerEmulator::DumpFault::Cut;
            else if (kind == "dropped")
                o.dumpFault = ControllerEmulator::DumpFault::Dropped;
            else
                usageError("--dump-fault: KIND is truncated, bad-value, dropped or cut");
            o.dumpFaultRecord =
                static_cast<int>(number(v.substr(colon + 1), 0, 1000, "--dump-fault"));
        } else if (a == "--dump-fault-times") {
            o.dumpFaultTimes = static_cast<int>(number(value(i), 0, 1000, a.c_str()));
        } else if (a == "--dump-number-offset") {
            o.dumpNumberOffset = static_cast<int>(number(value(i), -127, 127, a.c_str()));
        } else if (a == "--identity-delay") {
            o.identityDelayMs = static_cast<unsigned>(number(value(i), 0, 60000, a.c_str()));
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--ignore-probes") {
            o.ignoreProbes = static_cast<int>(number(value(i), 0, 1000, "--ignore-probes"));
        } else if (a == "--ignore-uploads") {
            o.ignoreUploads = true;
        } else if (a == "--silence-after") {
            o.silenceAfterBlocks =
                static_cast<int>(number(value(i), 0, 1 << 21, "--silence-after"));
        } else if (a == "--corrupt-block") {
            o.corruptBlock = static_cast<int>(number(value(i), 0, 1 << 21, "--corrupt-block"));
        } else if (a == "--repeat-block") {
            o.repeatBlock = static_cast<int>(number(value(i), 0, 1 << 21, "--repeat-block"));
        } else {
            usageError("unknown option " + a);
        }
    }
    return s;
}

std::string hex(const std::uint8_t* data, std::size_t length) {
    std::string s;
    char b[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", data[i]);
        s += b;
    }
    return s;
}

// Sends the answers in order, each when its time has come, from a thread of its own.
class Sender {
public:
    using Send = std::function<void(const Message&)>;
    Sender(Send send, bool verbose) : send_(std::move(send)), verbose_(verbose) {
        thread_ = std::thread([this] { run(); });
    }
    ~Sender() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void post(Clock::time_point due, Message message) {
        {
            std::lock_guard lock(mutex_);
            queue_.push_back({due, std::move(message)});
        }
        cv_.notify_all();
    }

private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (queue_.empty()) {
                cv_.wait(lock);
                continue;
            }
            const auto due = queue_.front().first;
            if (Clock::now() < due) {
                cv_.wait_until(lock, due);
                continue;
            }
            Message m = std::move(queue_.front().second);
            queue_.pop_front();
            lock.unlock();
            if (verbose_) std::cerr << "-> " << hex(m.data(), m.size()) << '\n';
            send_(m);
            lock.lock();
        }
    }

    Send send_;
    bool verbose_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::pair<Clock::time_point, Message>> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

struct Session {
    Settings settings;
    ControllerEmulator emulator;
    std::mutex mutex; // held while a message is handled; sender is cleared under it at exit
    Sender* sender = nullptr;
    bool imageWritten = false;
    Clock::time_point started = Clock::now(); // the receive pace counts from here
    korvalen::sim::SelectedBanks banks;       // under the mutex
};

// Sends what touching a control sends, at `due`; false when the ports are not open (yet).
bool touch(Session& s, const korvalen::sim::Touch& t, Clock::time_point due, std::string* sent) {
    std::lock_guard lock(s.mutex);
    if (!s.sender) return false;
    for (Message& m : korvalen::sim::touchMessages(s.emulator, t, s.banks)) {
        if (sent) *sent += (sent->empty() ? "" : ", ") + hex(m.data(), m.size());
        s.sender->post(due, std::move(m));
    }
    return true;
}

// The --touch controls, once the ports are open.
void touchAtStart(Session& s) {
    const auto due = Clock::now() + std::chrono::milliseconds(s.settings.touchDelayMs);
    for (const korvalen::sim::Touch& t : s.settings.touches)
        touch(s, t, due, nullptr);
}

// One command line from standard input.
void command(Session& s, const std::string& line) {
    const auto space = line.find_first_of(" \t");
    const std::string verb = line.substr(0, space);
    const std::string rest = space == std::string::npos
                                 ? std::string()
                                 : line.substr(line.find_first_not_of(" \t", space));
    if (verb.empty()) return;
    if (verb == "touch") {
        std::string why;
        const auto t = korvalen::sim::parseTouch(rest, &why);
        if (!t) {
            std::cerr << "korvalen25-sim: touch: " << why << '\n';
            return;
        }
        std::string sent;
        if (!touch(s, *t, Clock::now(), &sent)) {
            std::cerr << "korvalen25-sim: touch: the ports are not open yet\n";
            return;
        }
        std::cout << "touched " << rest << ": " << (sent.empty() ? "nothing" : sent) << std::endl;
    } else if (verb == "bank" && rest.size() == 1 && rest[0] >= '1' && rest[0] <= '4') {
        std::lock_guard lock(s.mutex);
        s.banks.encoders = rest[0] - '1';
    } else if (verb == "pad-bank" && (rest == "A" || rest == "B" || rest == "a" || rest == "b")) {
        std::lock_guard lock(s.mutex);
        s.banks.pads = rest == "A" || rest == "a" ? 0 : 1;
    } else {
        std::cerr << "korvalen25-sim: unknown command \"" << line
                  << "\"; commands are touch CONTROL, bank N and pad-bank A|B\n";
    }
}

// Reads commands from standard input until it ends or `stop` is set.
class CommandReader {
public:
    explicit CommandReader(Session& s) : thread_([this, &s] { run(s); }) {}
    ~CommandReader() {
        stop_ = true;
        thread_.join();
    }

private:
    void run(Session& s) {
        std::string pending;
        char buffer[256];
        while (!stop_) {
            // A terminal is read only while this program is in its foreground: a program in
            // the background that reads its terminal is stopped.
            if (isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) != getpgrp()) {
                poll(nullptr, 0, 100);
                continue;
            }
            // Lines wait in the input until the ports are open.
            if (!portsOpen(s)) {
                poll(nullptr, 0, 50);
                continue;
            }
            pollfd in{STDIN_FILENO, POLLIN, 0};
            const int ready = poll(&in, 1, 100);
            if (ready <= 0) continue;
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) return; // end of input: the emulator goes on without commands
            pending.append(buffer, static_cast<std::size_t>(n));
            for (auto end = pending.find('\n'); end != std::string::npos;
                 end = pending.find('\n')) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                command(s, line);
            }
        }
    }

    static bool portsOpen(Session& s) {
        std::lock_guard lock(s.mutex);
        return s.sender != nullptr;
    }

    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void writeImage(Session& s) {
    std::ofstream f(s.settings.imageOut, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(s.emulator.image().data()),
            static_cast<std::streamsize>(s.emulator.image().size()));
    f.close();
    if (f)
        std::cerr << "korvalen25-sim: wrote " << s.emulator.image().size() << " bytes to "
                  << s.settings.imageOut << '\n';
    else
        std::cerr << "korvalen25-sim: could not write " << s.settings.imageOut << '\n';
}

void onMessage(double, std::vector<unsigned char>* message, void* user) {
    auto& s = *static_cast<Session*>(user);
    std::lock_guard lock(s.mutex);
    if (!message || message->empty() || !s.sender) return;
    const Message& m = *message;
    if (s.settings.verbose) std::cerr << "<- " << hex(m.data(), m.size()) << '\n';
    const auto due = Clock::now() + std::chrono::milliseconds(s.emulator.options().replyDelayMs +
                                                              s.emulator.extraDelayFor(m));

    if (s.settings.testHooks && m.size() == 6 && m[0] == 0xF0 && m[1] == 0x7D && m[2] == 0x01 &&
        m[5] == 0xF7) {
        const std::size_t length = std::max<std::size_t>(3, m[3] * 128u + m[4]);
        Message reply(length);
        reply[0] = 0xF0;
        reply[1] = 0x7D;
        for (std::size_t i = 2; i + 1 < length; ++i)
            reply[i] = static_cast<std::uint8_t>((i - 2) & 0x7F);
        reply[length - 1] = 0xF7;
        s.sender->post(due, std::move(reply));
        return;
    }

    const auto sinceStart =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - s.started);
    if (!s.emulator.admit(m.size(), static_cast<std::uint64_t>(sinceStart.count()))) {
        if (s.settings.verbose)
            std::cerr << "korvalen25-sim: receive buffer full, message lost ("
                      << s.emulator.lostMessages() << " so far)\n";
        return;
    }
    const bool wasComplete = s.emulator.transferComplete();
    std::vector<Message> replies = s.emulator.receive(m);
    const auto gap = std::chrono::milliseconds(s.emulator.answerGapMs(replies.size()));
    auto at = due;
    for (Message& reply : replies) {
        s.sender->post(at, std::move(reply));
        at += gap;
    }
    if (!wasComplete && s.emulator.transferComplete()) {
        std::cerr << "korvalen25-sim: firmware transfer complete, " << s.emulator.image().size()
                  << " bytes in " << s.emulator.blockCount() << " blocks\n";
        if (!s.settings.imageOut.empty()) writeImage(s);
    }
}

void onError(RtMidiError::Type type, const std::string& text, void*) {
    if (type != RtMidiError::DEBUG_WARNING) std::cerr << "korvalen25-sim: " << text << '\n';
}

bool loadSav(Session& s, const std::string& path, int preset) {
    std::ifstream f(path, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(f)),
                                          std::istreambuf_iterator<char>());
    std::string why;
    const auto file = korvalen::sim::parseSav(bytes, &why);
    if (!f.is_open() || !file) {
        std::cerr << "korvalen25-sim: " << path << ": " << (f.is_open() ? why : "cannot open")
                  << '\n';
        return false;
    }
    if (!s.emulator.loadSav(*file, preset)) {
        std::cerr << "korvalen25-sim: " << path << ": preset number " << int(file->presetNumber)
                  << " has no slot; give one with FILE:PRESET\n";
        return false;
    }
    return true;
}

const char* modeName(const Session& s) {
    return s.emulator.options().mode == ControllerEmulator::Mode::Upgrade ? "upgrade" : "normal";
}

// Serves the raw MIDI device of --rawmidi until SIGINT or SIGTERM; SIGUSR1 closes the device
// (a pulled cable), which is opened again when it comes back.
int serveRawMidi(Session& session, const sigset_t& signals) {
    std::mutex printMutex;
    auto say = [&](const std::string& line) {
        std::lock_guard lock(printMutex);
        std::cout << line << std::endl;
    };
    std::atomic<bool> gaveUp{false};
    korvalen::sim::RawMidiDevice::Events events;
    events.opened = [&](const std::string& path) { say("open " + path); };
    events.closed = [&](const std::string& why) { say("closed: " + why); };
    events.message = [&](const Message& m) {
        std::vector<unsigned char> copy(m.begin(), m.end());
        onMessage(0, &copy, &session);
    };
    events.failed = [&](const std::string& what) {
        std::cerr << "korvalen25-sim: " << what << '\n';
        gaveUp = true;
        kill(getpid(), SIGTERM); // ends the sigwait() below
    };
    korvalen::sim::RawMidiDevice device(session.settings.rawMidi,
                                        session.settings.rawMidiWaitS * 1000u, events);
    Sender sender(
        [&](const Message& m) {
            if (!device.send(m))
                std::cerr << "korvalen25-sim: send failed: the device is closed or full\n";
        },
        session.settings.verbose);
    {
        std::lock_guard lock(session.mutex);
        session.sender = &sender;
    }
    std::thread reader([&] { device.run(); });
    say(std::string("ready api=rawmidi device=") + session.settings.rawMidi +
        " mode=" + modeName(session));
    touchAtStart(session);
    int signal = 0;
    for (;;) {
        sigwait(&signals, &signal);
        if (signal != SIGUSR1) break;
        device.close();
    }
    if (!gaveUp) std::cerr << "korvalen25-sim: stopping on signal " << signal << '\n';
    device.stop();
    reader.join();
    {
        std::lock_guard lock(session.mutex);
        session.sender = nullptr;
    }
    return gaveUp ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    // SIGINT and SIGTERM are taken by sigwait() below; blocked before any thread starts, so
    // that no other thread receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1); // a pulled cable, with --rawmidi
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Session session;
    const pid_t parent = getppid();
    session.settings = parse(argc, argv);
    if (session.settings.exitWithParent) {
#ifdef __linux__
        // A test that starts the emulator and is killed must not leave it running: the
        // parent's end arrives as SIGTERM, taken by the sigwait() below.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) return 0; // the parent is already gone
#else
        std::cerr << "korvalen25-sim: --exit-with-parent works on Linux only\n";
#endif
    }
    session.emulator.options() = session.settings.options;
    session.banks = session.settings.banks;
    for (const auto& [path, preset] : session.settings.savFiles)
        if (!loadSav(session, path, preset)) return 1;
    // Commands on standard input, from here until the end.
    CommandReader commands(session);
    if (!session.settings.rawMidi.empty()) return serveRawMidi(session, stopSignals);

    std::vector<std::string> apis;
    if (session.settings.api == "auto")
        apis = {"jack", "alsa"};
    else
        apis = {session.settings.api};
    std::string chosen;
    for (const std::string& api : apis) {
        std::string why;
        if (korvalen::midi::rtMidiApiStarts(api, &why)) {
            chosen = api;
            break;
        }
        std::cerr << "korvalen25-sim: " << api << ": " << why << '\n';
    }
    if (chosen.empty()) {
        std::cerr << "korvalen25-sim: no MIDI API to open ports on\n";
        return 1;
    }
    const RtMidi::Api rtApi = RtMidi::getCompiledApiByName(chosen);
    const std::string& name = session.settings.clientName;
    try {
        RtMidiIn in(rtApi, name);
        RtMidiOut out(rtApi, name);
        in.setErrorCallback(&onError, nullptr);
        out.setErrorCallback(&onError, nullptr);
        Sender sender(
            [&out](const Message& m) {
                try {
                    out.sendMessage(m.data(), m.size());
                } catch (const RtMidiError& e) {
                    std::cerr << "korvalen25-sim: send failed: " << e.getMessage() << '\n';
                }
            },
            session.settings.verbose);
        {
            std::lock_guard lock(session.mutex);
            session.sender = &sender;
        }
        in.ignoreTypes(false, true, true);
        in.setCallback(&onMessage, &session);
        in.openVirtualPort(name);
        out.openVirtualPort(name);
        std::cout << "ready api=" << chosen << " client=" << name << " mode=" << modeName(session)
                  << std::endl;
        touchAtStart(session);

        int signal = 0;
        do
            sigwait(&stopSignals, &signal);
        while (signal == SIGUSR1); // no cable to pull on a virtual port
        std::cerr << "korvalen25-sim: stopping on signal " << signal << '\n';
        {
            std::lock_guard lock(session.mutex);
            session.sender = nullptr;
        }
        in.closePort();
    } catch (const RtMidiError& e) {
        std::cerr << "korvalen25-sim: " << e.getMessage() << '\n';
        return 1;
    }
    return 0;
}
