// The traffic tap: every message sent or received on a port that the program has open, as the
// backends see it (time, direction, port name, bytes), for the MIDI monitor, the command line's
// traffic lines and the diagnostics report.
//
// The backends call tapTraffic() for each message. While nobody watches, that is one atomic
// load of a null pointer. While someone watches, the message is copied into the program's
// traffic log: a ring of fixed slots behind a mutex, filled on the MIDI threads without
// allocating; readers take what is new from it on their own threads.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace korvalen::midi {

// One message as the tap saw it.
struct TrafficRecord {
    std::uint64_t sequence = 0; // 0, 1, 2 ... in the order the log took them
    std::chrono::system_clock::time_point time;
    bool outgoing = false; // sent by the program; otherwise received
    std::string port;
    std::vector<std::uint8_t> bytes; // at most TrafficLog::kMaxBytes of them
    std::size_t length = 0;          // the message's whole length
};

class TrafficLog {
public:
    static constexpr std::size_t kMaxBytes = 256;    // bytes kept of a message
    static constexpr std::size_t kMaxNameBytes = 80; // bytes kept of a port name
    static constexpr std::size_t kDefaultCapacity = 8192;

    explicit TrafficLog(std::size_t capacity = kDefaultCapacity);
    ~TrafficLog();
    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

    // Copies one message into the ring, over the oldest when it is full. Any thread; does not
    // allocate.
    void record(bool outgoing, std::string_view port, const std::uint8_t* data,
                std::size_t length) noexcept;

    // The records from sequence `next` on, at most `max` of them, oldest first; `next` moves on
    // past them. Records overwritten before they were taken are counted in `lost` (if given)
    // and skipped.
    std::vector<TrafficRecord> takeSince(std::uint64_t& next, std::size_t max,
                                         std::uint64_t* lost = nullptr) const;
    // The sequence number the next message will get.
    std::uint64_t nextSequence() const;
    std::size_t capacity() const { return capacity_; }

private:
    struct Slot;
    const std::size_t capacity_;
    std::unique_ptr<Slot[]> slots_;
    mutable std::mutex mutex_;
    std::uint64_t next_ = 0;
};

// The program's log. It lives until the program ends, so a MIDI thread may write into it at
// any time.
TrafficLog& trafficLog();

// The tap is on while at least one reader is attached (counted). Any thread.
void attachTrafficTap();
void detachTrafficTap();
bool trafficTapAttached();

// Attached for the lifetime of the object.
class TrafficTapUser {
public:
    TrafficTapUser() { attachTrafficTap(); }
    ~TrafficTapUser() { detachTrafficTap(); }
    TrafficTapUser(const TrafficTapUser&) = delete;
    TrafficTapUser& operator=(const TrafficTapUser&) = delete;
};

namespace detail {
extern std::atomic<TrafficLog*> tap;
}

// Called by the backends for every message on an open port.
inline void tapTraffic(bool outgoing, std::string_view port, const std::uint8_t* data,
                       std::size_t length) noexcept {
    if (TrafficLog* log = detail::tap.load(std::memory_order_relaxed)) [[unlikely]]
        log->record(outgoing, port, data, length);
}

} // namespace korvalen::midi
