#include "virtualdevice.h"

#include "emulatordevice.h"
#include "virtualbus.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

namespace korvalen::sim {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

} // namespace

bool parseVirtualDevice(const std::string& text, VirtualDeviceChoice* choice, std::string* error) {
    auto fail = [&](std::string why) {
        if (error) *error = std::move(why);
        return false;
    };
    VirtualDeviceChoice s;
    const std::string t = lower(text);
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = t.find(':', start);
        parts.push_back(t.substr(start, colon - start));
        if (colon == std::string::npos) break;
        start = colon + 1;
    }
    if (parts[0] == "normal" && parts.size() == 1) {
        s.kind = VirtualDeviceChoice::Kind::Normal;
    } else if (parts[0] == "none" && parts.size() == 1) {
        s.kind = VirtualDeviceChoice::Kind::None;
    } else if (parts[0] == "upgrade" && parts.size() <= 3) {
        s.kind = VirtualDeviceChoice::Kind::Upgrade;
        if (parts.size() >= 2) {
            const std::string& hex = parts[1];
            if (hex.size() != 10) return fail("the identity is ten hex digits");
            for (int i = 0; i < 5; ++i) {
                const int hi = hexDigit(hex[2 * i]), lo = hexDigit(hex[2 * i + 1]);
                if (hi < 0 || lo < 0 || hi > 7) return fail("identity bytes are 00-7F in hex");
                s.identity[i] = static_cast<unsigned char>(hi * 16 + lo);
            }
            s.anyIdentity = false;
        }
        if (parts.size() == 3) {
            char* endp = nullptr;
            const unsigned long v = std::strtoul(parts[2].c_str(), &endp, 10);
            if (parts[2].empty() || *endp || v == 0 || v > 16383)
                return fail("the version is a number 1-16383");
            s.version = static_cast<unsigned>(v);
        }
    } else {
        return fail("expected normal, none, upgrade, upgrade:IDHEX or upgrade:IDHEX:VERSION");
    }
    if (choice) *choice = s;
    return true;
}

bool attachVirtualDevice(midi::VirtualBus& bus, std::string* error) {
    VirtualDeviceChoice choice;
    const char* env = std::getenv("KORVALEN_VIRTUAL_DEVICE");
    std::string why;
    if (env && *env && !parseVirtualDevice(env, &choice, &why)) {
        if (error) *error = "KORVALEN_VIRTUAL_DEVICE: " + why;
        return false;
    }
    if (choice.kind == VirtualDeviceChoice::Kind::None) return true;
    ControllerEmulator::Options options;
    if (choice.kind == VirtualDeviceChoice::Kind::Upgrade) {
        options.mode = ControllerEmulator::Mode::Upgrade;
        options.anyIdentity = choice.anyIdentity;
        std::copy(std::begin(choice.identity), std::end(choice.identity),
                  options.upgradeId.begin());
    }
    if (choice.version) options.version = choice.version;
    bus.attach(0, 0, std::make_shared<midi::EmulatorDevice>(options));
    return true;
}

} // namespace korvalen::sim
