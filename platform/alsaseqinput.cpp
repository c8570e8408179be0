#include "alsaseqinput.h"

#include "bufferedinput.h"

#include <alsa/asoundlib.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace korvalen::midi {

namespace {

// "C:P" at the end of an ALSA port name: the client and port numbers.
bool addressOf(const std::string& portName, int& client, int& port) {
    const auto space = portName.rfind(' ');
    const std::string tail = space == std::string::npos ? portName : portName.substr(space + 1);
    char end = 0;
    return std::sscanf(tail.c_str(), "%d:%d%c", &client, &port, &end) == 2 && client >= 0 &&
           port >= 0;
}

class AlsaSeqInput final : public BufferedInput {
public:
    AlsaSeqInput(InputHandler handler, std::uintptr_t instance, const std::string& portName)
        : BufferedInput(std::move(handler), instance, portName) {}

    bool open(const std::string& clientName) {
        int client = -1, port = -1;
        if (!addressOf(name(), client, port)) {
            noteOpenFailure(OpenFailure::Gone);
            return false;
        }
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK) < 0) {
            seq_ = nullptr;
            return false;
        }
        snd_seq_set_client_name(seq_, clientName.c_str());
        // Room for a whole dump and more while this thread is not scheduled; a kernel that
        // grants less keeps its default, which still works on a quiet machine.
        snd_seq_set_client_pool_input(seq_, kAlsaInputPool);
        snd_seq_set_input_buffer_size(seq_, 64 * 1024);
        if (!isListedAs(client, port)) {
            noteOpenFailure(OpenFailure::Gone);
            return false;
        }
        port_ = snd_seq_create_simple_port(
            seq_, "Korvalen25 In", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
            SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (port_ < 0 || snd_seq_connect_from(seq_, port_, client, port) < 0) {
            noteOpenFailure(OpenFailure::Unknown);
            return false;
        }
        if (snd_midi_event_new(16, &decoder_) < 0) return false;
        snd_midi_event_no_status(decoder_, 1); // every message with its status byte
        if (::pipe(wake_) != 0) {
            wake_[0] = wake_[1] = -1;
            return false;
        }
        ::fcntl(wake_[0], F_SETFL, O_NONBLOCK);
        thread_ = std::thread([this] { run(); });
        return true;
    }

    ~AlsaSeqInput() override {
        shut();
        if (thread_.joinable()) {
            const char b = 1;
            [[maybe_unused]] const auto n = ::write(wake_[1], &b, 1);
            thread_.join();
        }
        for (int fd : wake_)
            if (fd >= 0) ::close(fd);
        if (decoder_) snd_midi_event_free(decoder_);
        if (seq_) snd_seq_close(seq_);
        reportClose();
    }

private:
    // The port C:P is there under the name it was listed with (its number may have been
    // taken by another client since).
    bool isListedAs(int client, int port) {
        snd_seq_client_info_t* c = nullptr;
        snd_seq_port_info_t* p = nullptr;
        snd_seq_client_info_alloca(&c);
        snd_seq_port_info_alloca(&p);
        if (snd_seq_get_any_client_info(seq_, client, c) < 0 ||
            snd_seq_get_any_port_info(seq_, client, port, p) < 0)
            return false;
        std::ostringstream listed;
        listed << snd_seq_client_info_get_name(c) << ':' << snd_seq_port_info_get_name(p) << ' '
               << client << ':' << port;
        return listed.str() == name();
    }

    void run() {
        const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
        std::vector<pollfd> fds(static_cast<std::size_t>(count) + 1);
        snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLIN);
        fds.back() = {wake_[0], POLLIN, 0};
        for (;;) {
            if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
            if (fds.back().revents) return; // closing
            // Everything that is there, before polling again.
            for (;;) {
                snd_seq_event_t* ev = nullptr;
                const int r = snd_seq_event_input(seq_, &ev);
                if (r == -EAGAIN) break;
                if (r == -ENOSPC) { // the pool overflowed: what was in it is gone
                    sysex_.clear();
                    continue;
                }
                if (r < 0 || !ev) break;
                handle(*ev);
            }
        }
    }

    void handle(const snd_seq_event_t& ev) {
        switch (ev.type) {
        case SND_SEQ_EVENT_SYSEX: {
            // A long message comes in pieces; it is handed on whole.
            const auto* bytes = static_cast<const std::uint8_t*>(ev.data.ext.ptr);
            const std::size_t length = ev.data.ext.len;
            if (length == 0) return;
            if (bytes[0] == 0xF0) sysex_.clear();
            if (sysex_.empty() && bytes[0] != 0xF0) return; // the start was lost
            sysex_.insert(sysex_.end(), bytes, bytes + length);
            if (sysex_.back() == 0xF7) {
                deliver(sysex_.data(), sysex_.size());
                sysex_.clear();
            }
            return;
        }
        // Timing and active sensing are not wanted, as on the other backends.
        case SND_SEQ_EVENT_CLOCK:
        case SND_SEQ_EVENT_TICK:
        case SND_SEQ_EVENT_QFRAME:
        case SND_SEQ_EVENT_SENSING:
            return;
        default:
            break;
        }
        unsigned char bytes[16];
        const long n = snd_midi_event_decode(decoder_, bytes, sizeof bytes, &ev);
        if (n > 0) deliver(bytes, static_cast<std::size_t>(n));
    }

    snd_seq_t* seq_ = nullptr;
    int port_ = -1;
    snd_midi_event_t* decoder_ = nullptr;
    int wake_[2] = {-1, -1};
    std::vector<std::uint8_t> sysex_;
    std::thread thread_;
};

} // namespace

std::unique_ptr<InputPort> openAlsaSeqInput(const std::string& clientName,
                                            const std::string& portName, InputHandler handler,
                                            std::uintptr_t instance) {
    if (!handler) return nullptr;
    auto port = std::make_unique<AlsaSeqInput>(std::move(handler), instance, portName);
    if (!port->open(clientName)) return nullptr;
    return port;
}

} // namespace korvalen::midi
