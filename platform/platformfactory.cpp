#include "platformfactory.h"

#include "rtmidibackend.h"
#include "virtualbus.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

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

std::shared_ptr<Platform> createPlatform(const std::string& requested, std::string* error,
                                         const VirtualSetup& setup) {
    const std::string api = lower(requested.empty() ? std::string("auto") : requested);
    if (api == "virtual") {
        auto bus = std::make_shared<VirtualBus>();
        bus->setPortCounts(1, 1);
        if (setup && !setup(*bus, error)) return nullptr;
        return bus;
    }
    if (api == "none") return std::make_shared<NullPlatform>();
    if (api == "auto") {
        // An API that cannot start is named only when none can: the one that works is used
        // without a word about the others.
        std::vector<std::pair<std::string, std::string>> failed;
        for (const std::string& name : autoApiOrder()) {
            std::string why;
            if (auto p = createRtMidiPlatform(name, kEditorClientName, &why)) return p;
            failed.emplace_back(name, why);
        }
        std::string reasons;
        for (const auto& [name, why] : failed) {
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

} // namespace korvalen::midi
