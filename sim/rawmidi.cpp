#include "rawmidi.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sound/asound.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace korvalen::sim {

namespace {

// A plain MIDI tool that plays a .syx writes a whole preset's download (about 4.5 kB) at once,
// and the host's USB driver passes it on faster than a cable would. The device's own queue
// holds a page; what does not fit while this thread waits for its turn on a busy machine is
// dropped. A controller takes such a file whole, so the emulator's queue is larger.
constexpr std::size_t kInputQueueBytes = 64 * 1024;

void enlargeInputQueue(int fd) {
    snd_rawmidi_params params{};
    params.stream = SNDRV_RAWMIDI_STREAM_INPUT;
    params.buffer_size = kInputQueueBytes;
    params.avail_min = 1;
    ::ioctl(fd, SNDRV_RAWMIDI_IOCTL_PARAMS, &params); // the default queue where it is refused
}

// The length of a message that starts with `status`, 0 for System Exclusive.
std::size_t lengthOf(std::uint8_t status) {
    if (status < 0xF0) {
        const std::uint8_t kind = status & 0xF0;
        return kind == 0xC0 || kind == 0xD0 ? 2 : 3;
    }
    switch (status) {
    case 0xF0:
        return 0;
    case 0xF2:
        return 3;
    case 0xF3:
        return 2;
    default:
        return 1; // F6, and F4, F5, F7 alone
    }
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 10;       // how often a device that is not there is looked for
constexpr int kSendWaitMs = 5000; // how long a write waits for room before the message is lost

} // namespace

void MidiStreamParser::start(std::uint8_t status) {
    current_.assign(1, status);
    inSysEx_ = status == 0xF0;
    expected_ = lengthOf(status);
    dropping_ = false;
}

void MidiStreamParser::feed(const std::uint8_t* data, std::size_t length, const Emit& emit) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint8_t b = data[i];
        if (b >= 0xF8) continue; // real time: clock, active sensing and the like
        if (b & 0x80) {
            if (b == 0xF7) {
                if (inSysEx_) {
                    current_.push_back(b);
                    emit(current_);
                }
                current_.clear();
                inSysEx_ = false;
                expected_ = 0;
                continue;
            }
            current_.clear();
            inSysEx_ = false;
            if (b == 0xF1) { // time code: dropped with its data byte
                dropping_ = true;
                running_ = 0;
                continue;
            }
            running_ = b < 0xF0 ? b : 0;
            start(b);
            if (expected_ == 1) {
                emit(current_);
                current_.clear();
            }
            continue;
        }
        // A data byte.
        if (dropping_) {
            dropping_ = false;
            continue;
        }
        if (inSysEx_) {
            current_.push_back(b);
            continue;
        }
        if (current_.empty()) {
            if (!running_) continue; // no status to belong to
            start(running_);
        }
        current_.push_back(b);
        if (current_.size() == expected_) {
            emit(current_);
            current_.clear();
        }
    }
}

std::string rawMidiPath(const std::string& device, const std::string& cards) {
    if (!device.empty() && device.front() == '/') return device;
    // Lines such as " 1 [gadget         ]: f_midi - f_midi"; the second line of each card
    // starts with spaces only.
    std::ifstream in(cards);
    std::string line;
    const std::string wanted = lower(device);
    while (std::getline(in, line)) {
        const auto open = line.find('[');
        const auto close = line.find(']', open == std::string::npos ? 0 : open);
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream number(line.substr(0, open));
        int card = -1;
        if (!(number >> card) || card < 0) continue;
        std::string id = line.substr(open + 1, close - open - 1);
        while (!id.empty() && id.back() == ' ')
            id.pop_back();
        if (lower(id) == wanted) return "/dev/snd/midiC" + std::to_string(card) + "D0";
    }
    return {};
}

RawMidiDevice::RawMidiDevice(std::string device, unsigned firstWaitMs, Events events)
    : device_(std::move(device)), firstWaitMs_(firstWaitMs), events_(std::move(events)) {
    if (::pipe(wakePipe_) != 0) {
        wakePipe_[0] = wakePipe_[1] = -1;
        return;
    }
    for (int fd : wakePipe_) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
}

RawMidiDevice::~RawMidiDevice() {
    closeDevice({});
    for (int fd : wakePipe_)
        if (fd >= 0) ::close(fd);
}

void RawMidiDevice::wake() {
    if (wakePipe_[1] >= 0) {
        const char b = 1;
        [[maybe_unused]] const auto n = ::write(wakePipe_[1], &b, 1);
    }
}

void RawMidiDevice::close() {
    closeRequested_ = true;
    wake();
}

void RawMidiDevice::stop() {
    stopping_ = true;
    wake();
}

void RawMidiDevice::closeDevice(const std::string& why) {
    int fd;
    {
        std::lock_guard lock(fdMutex_);
        fd = std::exchange(fd_, -1);
    }
    if (fd < 0) return;
    ::close(fd);
    if (!why.empty() && events_.closed) events_.closed(why);
}

bool RawMidiDevice::send(const Message& message) {
    std::lock_guard lock(fdMutex_);
    if (fd_ < 0) return false;
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kSendWaitMs);
    while (done < message.size()) {
        const auto n = ::write(fd_, message.data() + done, message.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
        if (Clock::now() >= deadline) return false;
        pollfd p{fd_, POLLOUT, 0};
        ::poll(&p, 1, 50);
    }
    return true;
}

bool RawMidiDevice::run() {
    bool first = true;
    bool mustVanish = false; // after a pulled cable: wait for the device to go first
    const auto firstDeadline = Clock::now() + std::chrono::milliseconds(firstWaitMs_);
    MidiStreamParser parser;
    std::uint8_t buffer[4096];
    while (!stopping_) {
        // Look for the device until it is there (and, after a pulled cable, gone first).
        const std::string path = rawMidiPath(device_);
        if (mustVanish) {
            if (exists(path)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
                continue;
            }
            mustVanish = false;
        }
        closeRequested_ = false; // a pulled cable while nothing is open pulls nothing
        int fd = -1;
        if (exists(path)) fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) {
            if (first && Clock::now() >= firstDeadline) {
                if (events_.failed)
                    events_.failed(path.empty() ? "no sound card \"" + device_ + "\" appeared"
                                                : "could not open " + path);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            continue;
        }
        first = false;
        enlargeInputQueue(fd);
        {
            std::lock_guard lock(fdMutex_);
            fd_ = fd;
        }
        parser = MidiStreamParser();
        if (events_.opened) events_.opened(path);
        // Read until the device goes, a pulled cable or a stop.
        std::string why;
        while (why.empty()) {
            pollfd p[2] = {{fd, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
            const int ready = ::poll(p, 2, -1);
            if (ready < 0 && errno != EINTR) why = "poll failed";
            if (p[1].revents) {
                char drain[16];
                while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
                }
            }
            if (stopping_)
                why = "stopping";
            else if (closeRequested_)
                why = "cable pulled";
            if (!why.empty()) break;
            if (p[0].revents & POLLIN) {
                const auto n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) {
                    parser.feed(buffer, static_cast<std::size_t>(n), events_.message);
                    continue;
                }
                if (n == 0 || (errno != EAGAIN && errno != EINTR)) why = "the device went away";
            } else if (p[0].revents & (POLLERR | POLLHUP | POLLNVAL)) {
                why = "the device went away";
            }
        }
        mustVanish = why == "cable pulled";
        closeDevice(why);
    }
    return true;
}

} // namespace korvalen::sim
