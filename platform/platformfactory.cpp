#include "platformfactory.h"

#include "emulatordevice.h"
#include "rtmidibackend.h"
#include "virtualbus.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>

namespace korvalen::midi {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// Each API that cannot start is named once per process on stderr.
void reportOnce(const std::string& api, const std::string& why) {
    static std::mutex m;
    static std::set<std::string> reported;
    std::lock_guard lock(m);
    if (reported.insert(api).second)
        std::cerr << "korvalen: MIDI API " << api << " is not available: " << why << '\n';
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::shared_ptr<Platform> createVirtual(std::string* error) {
    VirtualDeviceChoice choice;
    const char* env = std::getenv("KORVALEN_VIRTUAL_DEVICE");
    std::string why;
    if (env && *env && !parseVirtualDevice(env, &choice, &why)) {
        if (error) *error = "KORVALEN_VIRTUAL_DEVICE: " + why;
        return nullptr;
    }
    auto bus = std::make_shared<VirtualBus>();
    bus->setPortCounts(1, 1);
    if (choice.kind == VirtualDeviceChoice::Kind::None) return bus;
    sim::ControllerEmulator::Options options;
    if (choice.kind == VirtualDeviceChoice::Kind::Upgrade) {
        options.mode = sim::ControllerEmulator::Mode::Upgrade;
        options.anyIdentity = choice.anyIdentity;
        std::copy(std::begin(choice.identity), std::end(choice.identity),
                  options.upgradeId.begin());
    }
    if (choice.version) options.version = choice.version;
    bus->attach(0, 0, std::make_shared<EmulatorDevice>(options));
    return bus;
}

} // namespace

void NullPlatform::sleep(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

const std::vector<std::string>& platformApiNames() {
    static const std::vector<std::string> names = {"auto",  "alsa",    "jack", "coremidi",
                                                   "winmm", "virtual", "none"};
    return names;
}

std::vector<std::string> autoApiOrder() {
    // The system's own MIDI service first; JACK where it is built in as well.
    static const char* const preferred[] = {"coremidi", "winmm", "alsa", "jack"};
    const auto compiled = rtMidiCompiledApis();
    std::vector<std::string> order;
    for (const char* name : preferred)
        if (std::find(compiled.begin(), compiled.end(), name) != compiled.end())
            order.emplace_back(name);
    return order;
}

std::shared_ptr<Platform> createPlatform(const std::string& requested, std::string* error) {
    const std::string api = lower(requested.empty() ? std::string("auto") : requested);
    if (api == "virtual") return createVirtual(error);
    if (api == "none") return std::make_shared<NullPlatform>();
    if (api == "auto") {
        std::string reasons;
        for (const std::string& name : autoApiOrder()) {
            std::string why;
            if (auto p = createRtMidiPlatform(name, kEditorClientName, &why)) return p;
            reportOnce(name, why);
            reasons += (reasons.empty() ? "" : "; ") + name + ": " + why;
        }
        if (error) *error = "no MIDI API could start (" + reasons + ")";
        return std::make_shared<NullPlatform>();
    }
    if (std::find(platformApiNames().begin(), platformApiNames().end(), api) ==
        platformApiNames().end()) {
        if (error) *error = "unknown MIDI API \"" + requested + "\"";
        return nullptr;
    }
    std::string why;
    auto p = createRtMidiPlatform(api, kEditorClientName, &why);
    if (!p) {
        reportOnce(api, why);
        if (error) *error = why;
    }
    return p;
}

std::string requestedApiName(int argc, const char* const* argv) {
    static constexpr std::string_view option = "--midi-api";
    for (int i = 1; i < argc && argv[i]; ++i) {
        const std::string_view arg = argv[i];
        if (arg == option && i + 1 < argc && argv[i + 1]) return lower(argv[i + 1]);
        if (arg.size() > option.size() + 1 && arg.substr(0, option.size()) == option &&
            arg[option.size()] == '=')
            return lower(std::string(arg.substr(option.size() + 1)));
    }
    const char* env = std::getenv("KORVALEN_MIDI_API");
    if (env && *env) return lower(env);
    return "auto";
}

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

} // namespace korvalen::midi
