#include "midiplatform.h"

#include "platformfactory.h"

#include <mutex>

namespace korvalen::midi {

namespace {

std::mutex& currentMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<Platform>& current() {
    static std::shared_ptr<Platform> p;
    return p;
}

thread_local OpenFailure lastFailure = OpenFailure::None;

} // namespace

OpenFailure lastOpenFailure() {
    return lastFailure;
}

void noteOpenFailure(OpenFailure why) {
    lastFailure = why;
}

Platform& platform() {
    std::lock_guard lock(currentMutex());
    auto& p = current();
    if (!p) p = std::make_shared<NullPlatform>();
    return *p;
}

void setPlatform(std::shared_ptr<Platform> p) {
    std::lock_guard lock(currentMutex());
    current() = p ? std::move(p) : std::make_shared<NullPlatform>();
}

} // namespace korvalen::midi
