// A plain JACK client without ports that watches the server's cycle: how many frames the last
// one had and the fewest any had, for the tests that check what the program asks of the
// server. Build with the JACK library (PkgConfig::JACK).
#pragma once

#include <jack/jack.h>
#include <sched.h>

#include <atomic>
#include <chrono>
#include <thread>

class CycleWatcher {
public:
    CycleWatcher() {
        jack_status_t status{};
        client_ = jack_client_open("korvalen-cycle-watcher", JackNoStartServer, &status);
        if (!client_) return;
        jack_set_process_callback(client_, &CycleWatcher::onCycle, this);
        if (jack_activate(client_) != 0) {
            jack_client_close(client_);
            client_ = nullptr;
        }
    }
    ~CycleWatcher() {
        if (!client_) return;
        jack_deactivate(client_);
        jack_client_close(client_);
    }
    CycleWatcher(const CycleWatcher&) = delete;
    CycleWatcher& operator=(const CycleWatcher&) = delete;

    bool ok() const { return client_ != nullptr; }
    // The frames of the last cycle; 0 before the first.
    unsigned frames() const { return frames_.load(); }
    // The fewest frames of any cycle since the last reset.
    unsigned fewest() const { return fewest_.load(); }
    void resetFewest() { fewest_.store(frames_.load()); }
    // Whether the JACK process thread of this program runs with real-time scheduling, as the
    // program's own does; known after the first cycle.
    bool realtime() const { return realtime_.load(); }
    // The server's buffer size as the JACK library tells it now.
    unsigned bufferSize() const { return client_ ? jack_get_buffer_size(client_) : 0; }
    // Returns once a cycle of `frames` frames has run; no bound of its own (the test's time-out
    // ends a wait for a cycle that never comes).
    void waitFor(unsigned frames) const {
        while (frames_.load() != frames)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }

private:
    static int onCycle(jack_nframes_t frames, void* self) {
        auto* w = static_cast<CycleWatcher*>(self);
        // The calling thread's policy; a real-time one may carry SCHED_RESET_ON_FORK.
        const int policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
        w->realtime_.store(policy == SCHED_FIFO || policy == SCHED_RR);
        w->frames_.store(frames);
        unsigned fewest = w->fewest_.load();
        while ((fewest == 0 || frames < fewest) &&
               !w->fewest_.compare_exchange_weak(fewest, frames)) {
        }
        return 0;
    }

    jack_client_t* client_ = nullptr;
    std::atomic<unsigned> frames_{0};
    std::atomic<unsigned> fewest_{0};
    std::atomic<bool> realtime_{false};
};
