// Choosing the MIDI backend by name: "auto", "alsa", "jack", "coremidi", "winmm", "virtual"
// and "none". The name comes from the command line (--midi-api NAME) or the environment
// (KORVALEN_MIDI_API); the command line wins.
#pragma once

#include "midiplatform.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace korvalen::midi {

class VirtualBus;

// A platform without ports: every count is 0, nothing opens, sleep really sleeps. Used when
// no MIDI API can start, and before setPlatform() was called.
class NullPlatform final : public Platform {
public:
    std::string apiName() const override { return "none"; }
    unsigned inputCount() override { return 0; }
    unsigned outputCount() override { return 0; }
    std::unique_ptr<InputPort> openInput(unsigned, InputHandler, std::uintptr_t) override {
        return nullptr;
    }
    std::unique_ptr<OutputPort> openOutput(unsigned) override { return nullptr; }
    void sleep(unsigned milliseconds) override;
    using Platform::sleep;
    std::vector<std::string> inputNames() override { return {}; }
    std::vector<std::string> outputNames() override { return {}; }
};

// Puts devices on the ports of a new virtual bus; false, with the reason in `error`, when it
// cannot. The programs hand over the controller emulator's (sim/virtualdevice.h).
using VirtualSetup = std::function<bool(VirtualBus& bus, std::string* error)>;

// Every name createPlatform() accepts, "auto" first.
const std::vector<std::string>& platformApiNames();

// The RtMidi APIs that `auto` tries on this system, in order (for example alsa, jack).
std::vector<std::string> autoApiOrder();

// Creates the backend `api`. Names:
//   auto      the first API of autoApiOrder() that starts; when none does, a NullPlatform
//   alsa, jack, coremidi, winmm   that RtMidi API; nullptr when it is not built in or cannot
//             start (no /dev/snd/seq, no JACK server)
//   virtual   the in-process bus with one input and one output port, on which `setup` (if
//             given) puts its devices; nullptr when `setup` returns false
//   none      a NullPlatform
// On failure `error` (if given) receives the reason; an API that cannot start is also reported
// once per process on stderr. A platform's apiName() is the name that creates it again.
std::shared_ptr<Platform> createPlatform(const std::string& api = "auto",
                                         std::string* error = nullptr,
                                         const VirtualSetup& setup = {});

// The backend name the program was asked for: the value of --midi-api NAME or --midi-api=NAME
// in argv if present, else KORVALEN_MIDI_API if set and not empty, else "auto". The name is
// returned as given, lower-cased; createPlatform() decides whether it is known.
std::string requestedApiName(int argc, const char* const* argv);

} // namespace korvalen::midi
