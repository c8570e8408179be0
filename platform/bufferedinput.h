// What every input port of a real backend does with the messages its thread receives: short
// messages go to the handler at once, System Exclusive bytes fill the buffers the link armed,
// one after the other; stop, reset and close never overlap a delivery.
#pragma once

#include "midiplatform.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace korvalen::midi {

class BufferedInput : public InputPort {
public:
    BufferedInput(InputHandler handler, std::uintptr_t instance, std::string name)
        : handler_(std::move(handler)), instance_(instance), name_(std::move(name)) {}

    int addBuffer(std::uint8_t* buffer, std::uint32_t size) override;
    int start() override;
    int stop() override;
    int reset() override;

protected:
    // Hands one whole message (or a piece of a System Exclusive message) to the handler; from
    // the backend's input thread.
    void deliver(const std::uint8_t* data, std::size_t length);
    // For the destructor of the backend's port: no delivery after this returns.
    void shut();
    // Then, once the backend's thread has ended: returns the buffers and reports the close.
    void reportClose();
    const std::string& name() const { return name_; }

private:
    struct Armed {
        std::uint8_t* data;
        std::uint32_t size;
    };
    // Hands every armed buffer back with 0 bytes recorded.
    void returnBuffers();

    InputHandler handler_;
    std::uintptr_t instance_;
    std::string name_;
    // Held while the handler runs, so that reset and close never overlap a delivery.
    std::recursive_mutex handlerMutex_;
    std::mutex stateMutex_; // armed_, started_, closed_
    std::deque<Armed> armed_;
    bool started_ = false;
    bool closed_ = false;
};

} // namespace korvalen::midi
