#include "touch.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

namespace korvalen::sim {

namespace {

std::string upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

bool allDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// "C3", "C#3", "DB-1" (note 0 is C-1, note 60 is C4) or "60"; -1 for anything else.
int noteOf(const std::string& text) {
    if (allDigits(text)) {
        const long n = text.size() <= 3 ? std::strtol(text.c_str(), nullptr, 10) : 999;
        return n <= 127 ? static_cast<int>(n) : -1;
    }
    static const char letters[] = "C D EF G A B";
    if (text.empty()) return -1;
    const char* at = std::strchr(letters, text[0]);
    if (at == nullptr || text[0] == ' ') return -1;
    int note = static_cast<int>(at - letters);
    std::size_t i = 1;
    if (i < text.size() && text[i] == '#') {
        ++note;
        ++i;
    } else if (i < text.size() && text[i] == 'B') {
        --note;
        ++i;
    }
    const std::string octave = text.substr(i);
    int o = 0;
    if (octave == "-1")
        o = -1;
    else if (octave.size() == 1 && std::isdigit(static_cast<unsigned char>(octave[0])))
        o = octave[0] - '0';
    else
        return -1;
    const int n = (o + 1) * 12 + note;
    return n >= 0 && n <= 127 ? n : -1;
}

} // namespace

std::optional<Touch> parseTouch(const std::string& input, std::string* error) {
    const std::string text = upper(trimmed(input));
    auto fail = [&](const std::string& why) -> std::optional<Touch> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (text.rfind("KEY", 0) == 0) {
        const std::string note = trimmed(text.substr(3));
        const int n = noteOf(note);
        if (n < 0) return fail("KEY needs a note such as C3, C#3 or 60");
        Touch t;
        t.key = true;
        t.note = n;
        return t;
    }
    static const char* const transport[] = {"REW", "FF", "STOP", "PLAY", "REC"};
    for (int i = 0; i < 5; ++i)
        if (text == transport[i]) {
            Touch t;
            t.group = ControlGroup::Transport;
            t.index = i;
            return t;
        }
    if (text == "S1" || text == "SLIDER") return Touch{};
    const auto colon = text.find(':');
    const std::string name = text.substr(0, colon);
    const std::string bank = colon == std::string::npos ? std::string() : text.substr(colon + 1);
    if (name.size() != 2 || !std::isdigit(static_cast<unsigned char>(name[1])))
        return fail("unknown control \"" + trimmed(input) +
                    "\"; controls are E1-E8, F1-F4, P1-P4, REW, FF, STOP, PLAY, REC, S1 and "
                    "KEY NOTE");
    Touch t;
    const int k = name[1] - '1';
    int count = 0;
    int banks = 4;
    switch (name[0]) {
    case 'E':
        t.group = ControlGroup::Encoder;
        count = 8;
        break;
    case 'F':
        t.group = ControlGroup::Function;
        count = 4;
        break;
    case 'P':
        t.group = ControlGroup::Pad;
        count = 4;
        banks = 2;
        break;
    default:
        return fail("unknown control \"" + trimmed(input) + "\"");
    }
    if (k < 0 || k >= count) return fail("no control " + name);
    t.index = k;
    if (colon != std::string::npos) {
        if (banks == 2 && (bank == "A" || bank == "B"))
            t.bank = bank == "A" ? 0 : 1;
        else if (banks == 4 && bank.size() == 1 && bank[0] >= '1' && bank[0] <= '4')
            t.bank = bank[0] - '1';
        else
            return fail(banks == 2 ? "pad banks are A and B" : "banks are 1-4");
    }
    return t;
}

PresetValues presetValuesOf(const StoredPreset& preset) {
    PresetValues v;
    auto values = [&](int index) {
        const Assignment& a = preset.controls[static_cast<std::size_t>(index)];
        return AssignmentValues{a.type, a.cc, a.chan, a.port, a.mode};
    };
    for (int i = 0; i < 32; ++i)
        v.encoders[std::size_t(i)] = values(controls::kEncoders + i);
    for (int i = 0; i < 16; ++i)
        v.functions[std::size_t(i)] = values(controls::kFunctions + i);
    for (int i = 0; i < 8; ++i)
        v.pads[std::size_t(i)] = values(controls::kPads + i);
    for (int i = 0; i < 5; ++i)
        v.transport[std::size_t(i)] = values(controls::kTransport + i);
    v.slider = values(controls::kSlider);
    for (int z = 0; z < 3; ++z)
        v.zones[std::size_t(z)] = zoneFromGlobals(preset.globals.data(), z);
    return v;
}

std::vector<Message> touchMessages(const ControllerEmulator& emulator, const Touch& touch,
                                   const SelectedBanks& banks) {
    const PresetValues values = presetValuesOf(emulator.editBuffer());
    constexpr int kPosition = 64;
    constexpr int kVelocity = 100;
    if (touch.key) return keyMessages(values, touch.note, kVelocity);
    ControlRef control{touch.group, touch.bank, touch.index};
    if (touch.bank < 0) {
        switch (touch.group) {
        case ControlGroup::Encoder:
        case ControlGroup::Function:
            control.bank = banks.encoders;
            break;
        case ControlGroup::Pad:
            control.bank = banks.pads;
            break;
        default:
            control.bank = 0;
            break;
        }
    }
    const bool button = touch.group == ControlGroup::Function || touch.group == ControlGroup::Pad ||
                        touch.group == ControlGroup::Transport;
    return controlMessages(values, control, button ? kVelocity : kPosition);
}

} // namespace korvalen::sim
