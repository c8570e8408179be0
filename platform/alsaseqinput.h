// The editor's input on the ALSA sequencer, read through libasound directly. The sequencer
// keeps the events a client has not read yet in that client's input pool (200 events unless
// the client asks for more) and drops what finds the pool full; a dump sent at full speed by a
// USB controller fills 200 quickly on a busy machine. This input asks for the largest pool the
// kernel grants and reads on a thread that does nothing else.
#pragma once

#include "midiplatform.h"

#include <cstdint>
#include <memory>
#include <string>

namespace korvalen::midi {

// The input pool asked for: the most the kernel grants a client.
inline constexpr int kAlsaInputPool = 2000;

// Opens the sequencer port that `portName` names, as the ALSA listing gives it
// ("client name:port name C:P"), for input through a client named `clientName`. nullptr when
// the port is gone or refuses, with the reason noted (noteOpenFailure).
std::unique_ptr<InputPort> openAlsaSeqInput(const std::string& clientName,
                                            const std::string& portName, InputHandler handler,
                                            std::uintptr_t instance);

} // namespace korvalen::midi
