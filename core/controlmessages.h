// What each control of the controller sends when it is touched, and the way back: which
// controls of a preset could have sent a given MIDI message.
//
// An assignment (type, number, channel) becomes MIDI this way:
// - number 0-127 of a controller-type control: a control change of that number;
// - number 0-127 of a note-type button: a note on of that note (velocity 127);
// - numbers 128-171, the device functions:
//     128-130  RPN 0/0, 0/1, 0/2 (CC 101, CC 100, then data entry CC 6)
//     131-143  NRPN 1/8, 1/9, 1/10, 1/32, 1/33, 1/36, 1/48, 1/49, 1/52, 1/53, 1/99, 1/100, 1/102
//              (CC 99, CC 98, then data entry CC 6)
//     144      channel pressure, 145 program change, 171 pitch bend
//     146      song select, 147 tune request, 148 start, 149 continue, 150 stop, 151 reset
//     152, 153 master volume and balance (universal real-time System Exclusive)
//     154-157  GM on, XG on, GS on, GM2 on (their System Exclusive resets)
//     158-170  MMC commands 1-13 (stop, play, deferred play, ... MMC reset)
// Encoders and the slider are always controller-type: their type and behaviour never reach the
// controller. Functions 146-170 carry no channel; everything else goes out on the control's
// channel, and a control whose channel is "--" sends on zone 1's channel (channel 1 when that
// is "--" too).
//
// A key of the keyboard sends a note on in every zone that is on (zone 1 always is) and whose
// key range holds the key; the note is the key moved by the zone's octave and transpose, on the
// zone's channel.
#pragma once

#include "presetprotocol.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvalen {

using MidiMessage = std::vector<std::uint8_t>;

// A control that sends MIDI: one bank copy of an assignable control, or the keyboard in one of
// its zones.
struct SendingControl {
    bool key = false;   // the keyboard: `zone` is the zone (0-2)
    ControlRef control; // otherwise the control
    int zone = 0;
    bool operator==(const SendingControl&) const = default;
};
inline SendingControl sendingControl(ControlGroup group, int bank, int index) {
    return {false, ControlRef{group, bank, index}, 0};
}
inline SendingControl sendingZone(int zone) {
    return {true, {}, zone};
}

// "E3 bank 2", "F1 bank 1", "P2 bank A", "PLAY", "S1", "Zone 2".
std::string controlName(const SendingControl& control);

// The channel (0-15) a control with channel value `chan` sends on: its own, or zone 1's for
// "--" (16).
int sendingChannel(const PresetValues& values, std::uint8_t chan);

// What a touched control sends, in order. `value` is the position of an encoder or the slider,
// or the velocity of a pressed button (0-127); a momentary button also sends its release.
// Nothing for an assignment the controller cannot send (a note above 127).
std::vector<MidiMessage> controlMessages(const PresetValues& values, const ControlRef& control,
                                         int value);
// What key `note` (0-127) sends: a note on in every zone that holds it; velocity `velocity`.
std::vector<MidiMessage> keyMessages(const PresetValues& values, int note, int velocity);

// An assignment as it arrives: what a received message says a control was set to send.
struct SentAssignment {
    enum class Kind : std::uint8_t { Controller, Note, Function };
    Kind kind = Kind::Controller;
    int number = 0;   // controller 0-127, note 0-127 or function 128-171
    int channel = -1; // 0-15; -1 for the functions without a channel
    bool operator==(const SentAssignment&) const = default;
};

// Reads received MIDI messages as the controls' messages and finds the controls that could have
// sent them. It follows the parameter (RPN or NRPN) each channel has chosen, so that a data
// entry after one names the function. One finder per stream of messages.
class ControlFinder {
public:
    // What `message` (one complete message) is, as a control's message; none for a message no
    // control sends (a note off, the controller's own System Exclusive, ...).
    std::optional<SentAssignment> read(const std::uint8_t* data, std::size_t length);
    std::optional<SentAssignment> read(const MidiMessage& message) {
        return read(message.data(), message.size());
    }

    // Forgets the parameters the channels have chosen.
    void reset() { parameter_.fill({}); }

private:
    struct Parameter {
        bool nrpn = false;
        int msb = -1;
        int lsb = -1;
    };
    std::array<Parameter, 16> parameter_{};
};

// Every control of `values` (all banks) that sends `sent`, in the order encoders, function
// buttons (bank by bank), pads, transport buttons, slider, then the zones.
std::vector<SendingControl> controlsSending(const PresetValues& values, const SentAssignment& sent);

} // namespace korvalen
