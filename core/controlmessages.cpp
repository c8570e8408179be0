#include "controlmessages.h"

#include <algorithm>

namespace korvalen {

namespace {

constexpr int kDataEntry = 6;
constexpr int kNrpnLsb = 98;
constexpr int kNrpnMsb = 99;
constexpr int kRpnLsb = 100;
constexpr int kRpnMsb = 101;

// The parameter each of the functions 128-143 sets through data entry.
struct ParameterFunction {
    int function;
    bool nrpn;
    int msb;
    int lsb;
};
constexpr ParameterFunction kParameterFunctions[] = {
    {128, false, 0, 0}, {129, false, 0, 1}, {130, false, 0, 2},  {131, true, 1, 8},
    {132, true, 1, 9},  {133, true, 1, 10}, {134, true, 1, 32},  {135, true, 1, 33},
    {136, true, 1, 36}, {137, true, 1, 48}, {138, true, 1, 49},  {139, true, 1, 52},
    {140, true, 1, 53}, {141, true, 1, 99}, {142, true, 1, 100}, {143, true, 1, 102},
};

constexpr int kChannelPressure = 144;
constexpr int kProgramChange = 145;
constexpr int kSongSelect = 146;
constexpr int kTuneRequest = 147;
constexpr int kStart = 148;
constexpr int kContinue = 149;
constexpr int kStop = 150;
constexpr int kSystemReset = 151;
constexpr int kMasterVolume = 152;
constexpr int kMasterBalance = 153;
constexpr int kGmOn = 154;
constexpr int kXgOn = 155;
constexpr int kGsOn = 156;
constexpr int kGm2On = 157;
constexpr int kFirstMmc = 158; // MMC command 1 (stop)
constexpr int kLastMmc = 170;  // MMC command 13 (MMC reset)
constexpr int kPitchBend = 171;

const MidiMessage kGmOnMessage = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
const MidiMessage kGm2OnMessage = {0xF0, 0x7E, 0x7F, 0x09, 0x03, 0xF7};
const MidiMessage kXgOnMessage = {0xF0, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7};
const MidiMessage kGsOnMessage = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};

bool hasChannel(int function) {
    return function < kSongSelect || function == kPitchBend;
}

std::uint8_t data7(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 127));
}

std::uint8_t status(int high, int channel) {
    return static_cast<std::uint8_t>(high | (channel & 0x0F));
}

// The messages of function `function` on `channel` with `value`.
std::vector<MidiMessage> functionMessages(int function, int channel, int value) {
    const std::uint8_t v = data7(value);
    for (const ParameterFunction& p : kParameterFunctions) {
        if (p.function != function) continue;
        const std::uint8_t cc = status(0xB0, channel);
        const int msbController = p.nrpn ? kNrpnMsb : kRpnMsb;
        const int lsbController = p.nrpn ? kNrpnLsb : kRpnLsb;
        return {{cc, data7(msbController), data7(p.msb)},
                {cc, data7(lsbController), data7(p.lsb)},
                {cc, data7(kDataEntry), v}};
    }
    switch (function) {
    case kChannelPressure:
        return {{status(0xD0, channel), v}};
    case kProgramChange:
        return {{status(0xC0, channel), v}};
    case kPitchBend:
        return {{status(0xE0, channel), 0x00, v}};
    case kSongSelect:
        return {{0xF3, v}};
    case kTuneRequest:
        return {{0xF6}};
    case kStart:
        return {{0xFA}};
    case kContinue:
        return {{0xFB}};
    case kStop:
        return {{0xFC}};
    case kSystemReset:
        return {{0xFF}};
    case kMasterVolume:
    case kMasterBalance:
        return {{0xF0, 0x7F, 0x7F, 0x04, static_cast<std::uint8_t>(function - kMasterVolume + 1),
                 0x00, v, 0xF7}};
    case kGmOn:
        return {kGmOnMessage};
    case kXgOn:
        return {kXgOnMessage};
    case kGsOn:
        return {kGsOnMessage};
    case kGm2On:
        return {kGm2OnMessage};
    default:
        break;
    }
    if (function >= kFirstMmc && function <= kLastMmc)
        return {
            {0xF0, 0x7F, 0x7F, 0x06, static_cast<std::uint8_t>(function - kFirstMmc + 1), 0xF7}};
    return {};
}

bool sameBytes(const std::uint8_t* data, std::size_t length, const MidiMessage& m) {
    return length == m.size() && std::equal(m.begin(), m.end(), data);
}

// The note a key sends in zone `z`, or -1 when the zone does not play it.
int zoneNote(const ZoneValues& zone, int z, int key) {
    const bool on = z == 0 || zone.status == 1;
    if (!on || key < zone.rangSta || key > zone.rangEnd) return -1;
    const int note = key + 12 * (zone.oct - kOctaveZero) + (zone.trans - kTransposeZero);
    return note >= 0 && note <= 127 ? note : -1;
}

int zoneChannel(const ZoneValues& zone) {
    return zone.chan < 16 ? zone.chan : 0;
}

} // namespace

std::string controlName(const SendingControl& c) {
    if (c.key) return "Zone " + std::to_string(c.zone + 1);
    const ControlRef& r = c.control;
    const std::string number = std::to_string(r.index + 1);
    switch (r.group) {
    case ControlGroup::Encoder:
        return "E" + number + " bank " + std::to_string(r.bank + 1);
    case ControlGroup::Function:
        return "F" + number + " bank " + std::to_string(r.bank + 1);
    case ControlGroup::Pad:
        return "P" + number + " bank " + (r.bank == 0 ? "A" : "B");
    case ControlGroup::Transport: {
        static const char* const names[] = {"REW", "FF", "STOP", "PLAY", "REC"};
        return r.index >= 0 && r.index < 5 ? names[r.index] : "?";
    }
    case ControlGroup::Slider:
        return "S1";
    }
    return {};
}

int sendingChannel(const PresetValues& values, std::uint8_t chan) {
    if (chan < 16) return chan;
    return zoneChannel(values.zones[0]);
}

namespace {

bool isButton(ControlGroup group) {
    return group == ControlGroup::Function || group == ControlGroup::Pad ||
           group == ControlGroup::Transport;
}

// The values of a control, or nullptr for a reference no control has.
const AssignmentValues* valuesOf(const PresetValues& values, const ControlRef& r) {
    auto inRange = [](int i, std::size_t size) { return i >= 0 && std::size_t(i) < size; };
    switch (r.group) {
    case ControlGroup::Slider:
        return &values.slider;
    case ControlGroup::Encoder:
        return inRange(r.bank, 4) && inRange(r.index, 8) ? &values.encoders[8 * r.bank + r.index]
                                                         : nullptr;
    case ControlGroup::Function:
        return inRange(r.bank, 4) && inRange(r.index, 4) ? &values.functions[4 * r.bank + r.index]
                                                         : nullptr;
    case ControlGroup::Pad:
        return inRange(r.bank, 2) && inRange(r.index, 4) ? &values.pads[4 * r.bank + r.index]
                                                         : nullptr;
    case ControlGroup::Transport:
        return inRange(r.index, 5) ? &values.transport[r.index] : nullptr;
    }
    return nullptr;
}

// What an assignment sends, as the finder reads it back; none for one that sends nothing.
std::optional<SentAssignment> assignmentSends(const PresetValues& values, const AssignmentValues& a,
                                              bool button) {
    const int channel = sendingChannel(values, a.chan);
    const bool note = button && a.type == 1;
    if (note) {
        if (a.cc > 127) return std::nullopt;
        return SentAssignment{SentAssignment::Kind::Note, a.cc, channel};
    }
    if (a.cc <= 127) return SentAssignment{SentAssignment::Kind::Controller, a.cc, channel};
    if (a.cc > kMaxAssignment) return std::nullopt;
    return SentAssignment{SentAssignment::Kind::Function, a.cc, hasChannel(a.cc) ? channel : -1};
}

} // namespace

std::vector<MidiMessage> controlMessages(const PresetValues& values, const ControlRef& control,
                                         int value) {
    const AssignmentValues* a = valuesOf(values, control);
    if (a == nullptr) return {};
    const bool button = isButton(control.group);
    const auto sends = assignmentSends(values, *a, button);
    if (!sends) return {};
    const bool momentary = button && a->mode == 1;
    const std::uint8_t v = data7(value);
    switch (sends->kind) {
    case SentAssignment::Kind::Note: {
        std::vector<MidiMessage> out{
            {status(0x90, sends->channel), data7(sends->number), std::max<std::uint8_t>(v, 1)}};
        if (momentary) out.push_back({status(0x80, sends->channel), data7(sends->number), 0});
        return out;
    }
    case SentAssignment::Kind::Controller: {
        std::vector<MidiMessage> out{{status(0xB0, sends->channel), data7(sends->number), v}};
        if (momentary) out.push_back({status(0xB0, sends->channel), data7(sends->number), 0});
        return out;
    }
    case SentAssignment::Kind::Function:
        return functionMessages(sends->number, sends->channel < 0 ? 0 : sends->channel, value);
    }
    return {};
}

std::vector<MidiMessage> keyMessages(const PresetValues& values, int key, int velocity) {
    std::vector<MidiMessage> out;
    if (key < 0 || key > 127) return out;
    for (int z = 0; z < 3; ++z) {
        const ZoneValues& zone = values.zones[std::size_t(z)];
        const int note = zoneNote(zone, z, key);
        if (note < 0) continue;
        out.push_back({status(0x90, zoneChannel(zone)), data7(note),
                       std::max<std::uint8_t>(data7(velocity), 1)});
    }
    return out;
}

std::optional<SentAssignment> ControlFinder::read(const std::uint8_t* data, std::size_t length) {
    if (length == 0 || data == nullptr) return std::nullopt;
    const std::uint8_t first = data[0];
    if (first == 0xF0) {
        // Only the System Exclusive messages a control sends; the controller's own (identity
        // replies, dump records) and everything else are no touch.
        if (length == 8 && data[1] == 0x7F && data[3] == 0x04 && (data[4] == 1 || data[4] == 2) &&
            data[7] == 0xF7)
            return SentAssignment{SentAssignment::Kind::Function, kMasterVolume + data[4] - 1, -1};
        if (length == 6 && data[1] == 0x7F && data[3] == 0x06 && data[4] >= 1 && data[4] <= 13 &&
            data[5] == 0xF7)
            return SentAssignment{SentAssignment::Kind::Function, kFirstMmc + data[4] - 1, -1};
        const std::pair<const MidiMessage*, int> resets[] = {{&kGmOnMessage, kGmOn},
                                                             {&kXgOnMessage, kXgOn},
                                                             {&kGsOnMessage, kGsOn},
                                                             {&kGm2OnMessage, kGm2On}};
        for (const auto& [bytes, function] : resets)
            if (sameBytes(data, length, *bytes))
                return SentAssignment{SentAssignment::Kind::Function, function, -1};
        return std::nullopt;
    }
    auto function = [](int f, int channel) {
        return SentAssignment{SentAssignment::Kind::Function, f, channel};
    };
    switch (first) {
    case 0xF3:
        return length >= 2 ? std::optional(function(kSongSelect, -1)) : std::nullopt;
    case 0xF6:
        return function(kTuneRequest, -1);
    case 0xFA:
        return function(kStart, -1);
    case 0xFB:
        return function(kContinue, -1);
    case 0xFC:
        return function(kStop, -1);
    case 0xFF:
        return function(kSystemReset, -1);
    default:
        break;
    }
    if (first < 0x80 || first >= 0xF0) return std::nullopt;
    const int channel = first & 0x0F;
    const int high = first & 0xF0;
    const std::size_t need = (high == 0xC0 || high == 0xD0) ? 2 : 3;
    if (length < need) return std::nullopt;
    for (std::size_t i = 1; i < need; ++i)
        if (data[i] > 0x7F) return std::nullopt;
    switch (high) {
    case 0x90:
        if (data[2] == 0) return std::nullopt; // a note off
        return SentAssignment{SentAssignment::Kind::Note, data[1], channel};
    case 0xB0: {
        const int controller = data[1];
        Parameter& p = parameter_[std::size_t(channel)];
        switch (controller) {
        case kRpnMsb:
        case kNrpnMsb:
            p.nrpn = controller == kNrpnMsb;
            p.msb = data[2];
            p.lsb = -1;
            break;
        case kRpnLsb:
        case kNrpnLsb:
            // A parameter is chosen by its two numbers from the same list; a lone LSB keeps the
            // kind of the MSB before it.
            if (p.msb >= 0 && p.nrpn == (controller == kNrpnLsb)) p.lsb = data[2];
            break;
        case kDataEntry:
            for (const ParameterFunction& f : kParameterFunctions)
                if (f.nrpn == p.nrpn && f.msb == p.msb && f.lsb == p.lsb)
                    return function(f.function, channel);
            break;
        default:
            break;
        }
        return SentAssignment{SentAssignment::Kind::Controller, controller, channel};
    }
    case 0xC0:
        return function(kProgramChange, channel);
    case 0xD0:
        return function(kChannelPressure, channel);
    case 0xE0:
        return function(kPitchBend, channel);
    default:
        return std::nullopt; // note off, polyphonic pressure
    }
}

std::vector<SendingControl> controlsSending(const PresetValues& values,
                                            const SentAssignment& sent) {
    std::vector<SendingControl> found;
    auto check = [&](ControlGroup group, int bank, int index) {
        const ControlRef r{group, bank, index};
        const AssignmentValues* a = valuesOf(values, r);
        if (a == nullptr) return;
        const auto sends = assignmentSends(values, *a, isButton(group));
        if (sends && *sends == sent) found.push_back({false, r, 0});
    };
    for (int bank = 0; bank < 4; ++bank)
        for (int k = 0; k < 8; ++k)
            check(ControlGroup::Encoder, bank, k);
    for (int bank = 0; bank < 4; ++bank)
        for (int k = 0; k < 4; ++k)
            check(ControlGroup::Function, bank, k);
    for (int bank = 0; bank < 2; ++bank)
        for (int k = 0; k < 4; ++k)
            check(ControlGroup::Pad, bank, k);
    for (int k = 0; k < 5; ++k)
        check(ControlGroup::Transport, 0, k);
    check(ControlGroup::Slider, 0, 0);
    if (sent.kind == SentAssignment::Kind::Note) {
        for (int z = 0; z < 3; ++z) {
            const ZoneValues& zone = values.zones[std::size_t(z)];
            if (zoneChannel(zone) != sent.channel) continue;
            const int shift = 12 * (zone.oct - kOctaveZero) + (zone.trans - kTransposeZero);
            const int key = sent.number - shift;
            if (key >= 0 && key <= 127 && zoneNote(zone, z, key) == sent.number)
                found.push_back(sendingZone(z));
        }
    }
    return found;
}

} // namespace korvalen
