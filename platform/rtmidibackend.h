// The RtMidi backend. RtMidi's own header stays inside rtmidibackend.cpp.
#pragma once

#include "midiplatform.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korvalen::midi {

// The client name under which the editor's own ports appear to other MIDI programs.
inline constexpr const char* kEditorClientName = "Korvalen25 Editor";

// The version of the RtMidi library the program runs with.
std::string rtMidiVersion();

// Names ("alsa", "jack", "coremidi", "winmm") of the APIs built into the RtMidi library.
std::vector<std::string> rtMidiCompiledApis();

// True when the RtMidi API `api` is built in and can start here (for ALSA the sequencer device
// exists, for JACK a server answers); otherwise false with the reason in `why`.
bool rtMidiApiStarts(const std::string& api, std::string* why);

// Starts the RtMidi API `api` and returns its backend, or nullptr with the reason in `error`
// when the API is unknown, not built in or cannot start on this machine.
std::shared_ptr<Platform> createRtMidiPlatform(const std::string& api,
                                               const std::string& clientName, std::string* error);

// The server behind a JACK library, told by the library's version text: PipeWire's own JACK
// library names PipeWire and its version in it ("3.0.0.0 (using PipeWire 0.3.65)"); any other
// is jackd's, whose text is jackd's version ("1.9.21"). No quantum is filled in.
MidiServer jackServerOf(std::string_view versionText);

// The cycle asked of PipeWire while a transfer goes on, in frames: KORVALEN_PIPEWIRE_QUANTUM
// when it holds 0 (ask for nothing) or a power of two from 16 to 8192, else 256: shorter cycles
// lose messages on a loaded machine.
unsigned pipeWireTransferQuantum();

// True when `portName`, as RtMidi lists it, is a port of a client called `clientName`: the
// text before the first ':' is the client name, or the client name with "-NN" appended (JACK
// renames a second client of the same name that way). ALSA lists "client:port c:p".
bool isOwnPortName(std::string_view portName, std::string_view clientName);

} // namespace korvalen::midi
