#include "traffictap.h"

#include <algorithm>
#include <cstring>

namespace korvalen::midi {

struct TrafficLog::Slot {
    std::uint64_t sequence = 0;
    std::chrono::system_clock::time_point time;
    bool outgoing = false;
    std::uint8_t nameLength = 0;
    char name[kMaxNameBytes] = {};
    std::uint32_t length = 0;
    std::uint8_t bytes[kMaxBytes] = {};
};

static_assert(TrafficLog::kMaxNameBytes < 256, "a name's length is kept in one byte");

TrafficLog::TrafficLog(std::size_t capacity)
    : capacity_(std::max<std::size_t>(capacity, 1)), slots_(new Slot[capacity_]) {}

TrafficLog::~TrafficLog() = default;

void TrafficLog::record(bool outgoing, std::string_view port, const std::uint8_t* data,
                        std::size_t length) noexcept {
    const auto now = std::chrono::system_clock::now();
    std::lock_guard lock(mutex_);
    Slot& s = slots_[next_ % capacity_];
    s.sequence = next_++;
    s.time = now;
    s.outgoing = outgoing;
    s.nameLength = static_cast<std::uint8_t>(std::min(port.size(), kMaxNameBytes));
    std::memcpy(s.name, port.data(), s.nameLength);
    s.length = static_cast<std::uint32_t>(std::min<std::size_t>(length, UINT32_MAX));
    if (data != nullptr) std::memcpy(s.bytes, data, std::min(length, kMaxBytes));
}

std::vector<TrafficRecord> TrafficLog::takeSince(std::uint64_t& next, std::size_t max,
                                                 std::uint64_t* lost) const {
    std::vector<TrafficRecord> taken;
    std::lock_guard lock(mutex_);
    const std::uint64_t oldest = next_ > capacity_ ? next_ - capacity_ : 0;
    if (next < oldest) {
        if (lost) *lost += oldest - next;
        next = oldest;
    }
    if (next > next_) next = next_;
    taken.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(next_ - next, max)));
    while (next < next_ && taken.size() < max) {
        const Slot& s = slots_[next % capacity_];
        TrafficRecord r;
        r.sequence = s.sequence;
        r.time = s.time;
        r.outgoing = s.outgoing;
        r.port.assign(s.name, s.nameLength);
        r.length = s.length;
        r.bytes.assign(s.bytes, s.bytes + std::min<std::size_t>(s.length, kMaxBytes));
        taken.push_back(std::move(r));
        ++next;
    }
    return taken;
}

std::uint64_t TrafficLog::nextSequence() const {
    std::lock_guard lock(mutex_);
    return next_;
}

TrafficLog& trafficLog() {
    // Never destroyed: MIDI threads that outlive main() may still be writing.
    static TrafficLog* log = new TrafficLog();
    return *log;
}

namespace detail {
std::atomic<TrafficLog*> tap{nullptr};
}

namespace {
std::mutex& usersMutex() {
    static std::mutex m;
    return m;
}
int users = 0;
} // namespace

void attachTrafficTap() {
    TrafficLog& log = trafficLog();
    std::lock_guard lock(usersMutex());
    if (users++ == 0) detail::tap.store(&log);
}

void detachTrafficTap() {
    std::lock_guard lock(usersMutex());
    if (users > 0 && --users == 0) detail::tap.store(nullptr);
}

bool trafficTapAttached() {
    return detail::tap.load() != nullptr;
}

} // namespace korvalen::midi
