// A virtual bus whose clock can be held. While it is held, a wait of a device search stands
// still in real time (the virtual clock does not move) until the hold is let go or the search
// is stopped, so that a test can look at the editor while a search is under way.
#pragma once

#include "virtualbus.h"

#include <atomic>
#include <chrono>
#include <memory>

namespace testsupport {

class HeldBus final : public korvalen::midi::Platform {
public:
    // A wait held longer than this lets go of the hold (and says so), so that a search that no
    // stop reaches makes the test fail instead of hanging.
    static constexpr std::chrono::seconds kLimit{20};

    explicit HeldBus(std::shared_ptr<korvalen::midi::VirtualBus> bus) : bus_(std::move(bus)) {}

    korvalen::midi::VirtualBus& bus() { return *bus_; }

    // Waits of a search after the first `passing` ones are held until release().
    void holdAfter(unsigned passing) {
        passing_ = passing;
        held_ = true;
    }
    void release() { held_ = false; }
    // True when a held wait let go only because of kLimit.
    bool limitReached() const { return limitReached_; }

    std::string apiName() const override { return bus_->apiName(); }
    unsigned inputCount() override { return bus_->inputCount(); }
    unsigned outputCount() override { return bus_->outputCount(); }
    std::string inputName(unsigned index) override { return bus_->inputName(index); }
    std::string outputName(unsigned index) override { return bus_->outputName(index); }
    std::unique_ptr<korvalen::midi::InputPort> openInput(unsigned index,
                                                         korvalen::midi::InputHandler handler,
                                                         std::uintptr_t instance) override {
        return bus_->openInput(index, std::move(handler), instance);
    }
    std::unique_ptr<korvalen::midi::OutputPort> openOutput(unsigned index) override {
        return bus_->openOutput(index);
    }
    void sleep(unsigned milliseconds) override { bus_->sleep(milliseconds); }
    bool sleep(unsigned milliseconds, korvalen::midi::StopToken& token) override {
        if (held_ && passing_ > 0) {
            --passing_;
        } else {
            const auto limit = std::chrono::steady_clock::now() + kLimit;
            while (held_ && !token.stopRequested()) {
                if (std::chrono::steady_clock::now() > limit) {
                    limitReached_ = true;
                    held_ = false; // the rest of the search runs in virtual time
                    break;
                }
                token.waitFor(20); // a stop request ends it at once
            }
        }
        return bus_->sleep(milliseconds, token);
    }
    std::vector<std::string> inputNames() override { return bus_->inputNames(); }
    std::vector<std::string> outputNames() override { return bus_->outputNames(); }

private:
    std::shared_ptr<korvalen::midi::VirtualBus> bus_;
    std::atomic<bool> held_{false};
    std::atomic<unsigned> passing_{0};
    std::atomic<bool> limitReached_{false};
};

} // namespace testsupport
