#include "controlleremulator.h"

#include "presetprotocol.h"

#include <algorithm>
#include <cstring>

namespace korvalen::sim {

namespace {

constexpr char kSavSignature[] = "KORVALEN25";
constexpr std::size_t kSignatureLength = 10;

// Global parameter numbers of zone z's values.
constexpr int kProg = global::kZoneProg, kMsb = global::kZoneMsb, kLsb = global::kZoneLsb,
              kZoneBits = global::kZoneBits, kPort = global::kZonePort, kChan = global::kZoneChan,
              kOct = global::kZoneOct, kTrans = global::kZoneTrans, kRangSta = global::kZoneRangSta,
              kRangEnd = global::kZoneRangEnd;

constexpr std::uint8_t kHeader[] = {0xF0, 0x00, 0x20, 0x6B, 0x02};
constexpr std::uint8_t kIdentityProbe[] = {0xF0, 0x00, 0x00, 0x66, 0x14, 0x1A, 0x00, 0xF7};
constexpr std::uint8_t kUpgradeTag[] = {0x51, 0x54, 0x18};

int presetSlot(int number) {
    if (number == 0) return 0;
    if (number >= 16 && number <= 29) return number - 15;
    return -1;
}

bool startsWith(const Message& m, const std::uint8_t* prefix, std::size_t length) {
    return m.size() >= length && std::equal(prefix, prefix + length, m.begin());
}

ZoneRecord zoneOf(const StoredPreset& p, int z) {
    ZoneRecord r;
    r.status = (p.globals[kZoneBits] >> z) & 1;
    r.prog = p.globals[kProg + z];
    r.msb = p.globals[kMsb + z];
    r.lsb = p.globals[kLsb + z];
    r.port = p.globals[kPort + z];
    r.rangSta = p.globals[kRangSta + z];
    r.rangEnd = p.globals[kRangEnd + z];
    r.oct = p.globals[kOct + z];
    r.trans = p.globals[kTrans + z];
    return r;
}

void setZone(StoredPreset& p, int z, const ZoneRecord& r) {
    const auto bit = static_cast<std::uint8_t>(1u << z);
    p.globals[kZoneBits] =
        static_cast<std::uint8_t>((p.globals[kZoneBits] & ~bit) | ((r.status & 1) ? bit : 0));
    p.globals[kProg + z] = r.prog;
    p.globals[kMsb + z] = r.msb;
    p.globals[kLsb + z] = r.lsb;
    p.globals[kPort + z] = r.port;
    p.globals[kRangSta + z] = r.rangSta;
    p.globals[kRangEnd + z] = r.rangEnd;
    p.globals[kOct + z] = r.oct;
    p.globals[kTrans + z] = r.trans;
}

void putValue(Message& out, std::uint8_t v) {
    // Plain data bytes stay below 0x80; 0x34 is escaped too, since it could begin an escape.
    if (v > 0x7F || v == 0x34) {
        out.insert(out.end(), {0x34, 0x56, 0x78, static_cast<std::uint8_t>(v >> 7),
                               static_cast<std::uint8_t>(v & 0x7F)});
    } else {
        out.push_back(v);
    }
}

} // namespace

ControlAddress addressOf(int index) {
    using namespace controls;
    auto address = [](int kind, int number) {
        return ControlAddress{static_cast<std::uint8_t>(kind), static_cast<std::uint8_t>(number)};
    };
    if (index >= kEncoders && index < kFunctions)
        return address(control::kEncoderKind, control::kFirstEncoder + index - kEncoders);
    if (index >= kFunctions && index < kPads)
        return address(control::kButtonKind, control::kFirstFunction + index - kFunctions);
    if (index >= kPads && index < kTransport)
        return address(control::kButtonKind, control::kFirstPad + index - kPads);
    if (index >= kTransport && index < kSlider)
        return address(control::kButtonKind,
                       control::kTransportNumbers[static_cast<std::size_t>(index - kTransport)]);
    return address(control::kSliderKind, control::kSliderNumber);
}

int controlIndexOf(int kind, int number) {
    using namespace controls;
    switch (kind) {
    case control::kSliderKind:
        return number == control::kSliderNumber ? kSlider : -1;
    case control::kEncoderKind: {
        const int n = number - control::kFirstEncoder;
        return n >= 0 && n < kFunctions - kEncoders ? kEncoders + n : -1;
    }
    case control::kButtonKind: {
        const std::optional<ControlRef> button = buttonForNumber(number);
        if (!button) return -1;
        switch (button->group) {
        case ControlGroup::Function:
            return kFunctions + 4 * button->bank + button->index;
        case ControlGroup::Pad:
            return kPads + 4 * button->bank + button->index;
        case ControlGroup::Transport:
            return kTransport + button->index;
        default:
            return -1;
        }
    }
    default:
        return -1;
    }
}

// ---------------------------------------------------------------------------------------------
// Preset file

std::optional<SavFile> parseSav(const std::vector<std::uint8_t>& bytes, std::string* error) {
    auto fail = [&](const char* why) -> std::optional<SavFile> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (bytes.size() < kSavSize) return fail("a preset file has 348 bytes");
    if (std::memcmp(bytes.data(), kSavSignature, 6) != 0)
        return fail("the file does not begin with the preset signature");
    SavFile f;
    std::size_t at = kSignatureLength;
    for (Assignment& a : f.controls) {
        a = {bytes[at], bytes[at + 1], bytes[at + 2], bytes[at + 3], bytes[at + 4]};
        at += 5;
    }
    for (ZoneRecord& z : f.zones) {
        z = {bytes[at],     bytes[at + 1], bytes[at + 2], bytes[at + 3], bytes[at + 4],
             bytes[at + 5], bytes[at + 6], bytes[at + 7], bytes[at + 8]};
        at += 9;
    }
    f.presetNumber = bytes[at];
    return f;
}

std::vector<std::uint8_t> encodeSav(const SavFile& f) {
    std::vector<std::uint8_t> out(kSignatureLength);
    std::memcpy(out.data(), kSavSignature, kSignatureLength);
    for (const Assignment& a : f.controls)
        out.insert(out.end(), {a.type, a.cc, a.chan, a.port, a.mode});
    for (const ZoneRecord& z : f.zones)
        out.insert(out.end(),
                   {z.status, z.prog, z.msb, z.lsb, z.port, z.rangSta, z.rangEnd, z.oct, z.trans});
    out.push_back(f.presetNumber);
    return out;
}

// ---------------------------------------------------------------------------------------------

StoredPreset ControllerEmulator::factoryPreset(int number) {
    using namespace controls;
    StoredPreset p;
    if (presetSlot(number) < 0) return p;
    auto byte = [](int v) { return static_cast<std::uint8_t>(v); };
    if (number == 0) {
        // The factory preset: encoders on controllers 20-51 with one channel per bank,
        // function buttons on 102-117, drum notes on channel 10 for the pads, transport
        // functions, the slider on volume; zone 1 over the whole keyboard.
        for (int i = 0; i < 32; ++i)
            p.controls[kEncoders + i] = {0, byte(20 + i), byte(i / 8), 0, 0};
        for (int i = 0; i < 16; ++i)
            p.controls[kFunctions + i] = {0, byte(102 + i), 0, 1, byte(i % 2)};
        for (int i = 0; i < 8; ++i)
            p.controls[kPads + i] = {1, byte(36 + i), 9, 0, 1};
        for (int i = 0; i < 5; ++i)
            p.controls[kTransport + i] = {0, byte(160 + i), 0, 0, 1};
        p.controls[kSlider] = {0, 7, 0, 0, 0};
        setZone(p, 0, {1, 0, 0, 0, 0, 0, 127, 4, 12});
        setZone(p, 1, {0, 33, 0, 0, 1, 0, 47, 3, 12});
        setZone(p, 2, {0, 48, 1, 2, 2, 48, 127, 5, 14});
        p.globals[kChan + 1] = 1;
        p.globals[kChan + 2] = 2;
        p.globals[33] = 200; // a device setting above 127, sent with the escape
    } else {
        const int u = number - 16;
        for (int i = 0; i < 32; ++i)
            p.controls[kEncoders + i] = {0, byte((u * 9 + i) % 128), byte(u % 16), byte(u % 5), 0};
        for (int i = 0; i < 16; ++i)
            p.controls[kFunctions + i] = {byte(i % 3 == 0), byte(64 + (u + i) % 32),
                                          byte((u + 1) % 16), 0, byte((u + i) % 2)};
        for (int i = 0; i < 8; ++i)
            p.controls[kPads + i] = {1, byte(48 + u + i), 9, byte(u % 2), byte(u % 2)};
        for (int i = 0; i < 5; ++i)
            p.controls[kTransport + i] = {0, byte(128 + (u + i) % 44), 16, 5, 0};
        p.controls[kSlider] = {0, byte(1 + u), byte(u % 16), 0, 0};
        for (int z = 0; z < 3; ++z) {
            setZone(p, z,
                    {byte(z == 0 || (u + z) % 2 == 0), byte(u * 3 + z), byte(z), byte(u), byte(z),
                     byte(z * 40), byte(z * 40 + 39), byte(2 + z), byte(10 + u % 5)});
            p.globals[kChan + z] = byte((u + z) % 16);
        }
    }
    p.globals[0] = byte(number);
    return p;
}

ControllerEmulator::ControllerEmulator() : ControllerEmulator(Options{}) {}

ControllerEmulator::ControllerEmulator(Options options) : options_(options) {
    presets_[0] = factoryPreset(0);
    for (int n = 16; n <= 29; ++n)
        presets_[presetSlot(n)] = factoryPreset(n);
    edit_ = presets_[0];
}

const StoredPreset* ControllerEmulator::preset(int number) const {
    const int slot = presetSlot(number);
    return slot < 0 ? nullptr : &presets_[slot];
}

bool ControllerEmulator::setPreset(int number, const StoredPreset& preset) {
    const int slot = presetSlot(number);
    if (slot < 0) return false;
    presets_[slot] = preset;
    presets_[slot].globals[0] = static_cast<std::uint8_t>(number);
    return true;
}

bool ControllerEmulator::loadSav(const SavFile& file, int number) {
    if (number < 0) number = file.presetNumber;
    const int slot = presetSlot(number);
    if (slot < 0) return false;
    StoredPreset& p = presets_[slot];
    p.controls = file.controls;
    for (int z = 0; z < 3; ++z)
        setZone(p, z, file.zones[z]);
    p.globals[0] = static_cast<std::uint8_t>(number);
    return true;
}

SavFile ControllerEmulator::savOf(int number) const {
    SavFile f;
    const StoredPreset* p = preset(number);
    if (!p) return f;
    f.controls = p->controls;
    for (int z = 0; z < 3; ++z)
        f.zones[z] = zoneOf(*p, z);
    f.presetNumber = p->globals[0];
    return f;
}

std::vector<Message> ControllerEmulator::dumpOf(int number, bool withFault) const {
    using namespace controls;
    std::vector<Message> records;
    const StoredPreset* p = preset(number);
    if (!p) return records;
    auto assignmentRecord = [&](int index) {
        const Assignment& a = p->controls[index];
        const ControlAddress addr = addressOf(index);
        const auto behaviour = static_cast<std::uint8_t>(
            addr.kind == 2 ? (a.type & 1) + 2 * (options_.takesAnyValue ? a.mode : (a.mode & 1))
                           : a.type);
        records.push_back({0xF0, addr.kind, addr.number, static_cast<std::uint8_t>(a.cc / 127),
                           static_cast<std::uint8_t>(a.cc % 127), a.chan, a.port, behaviour, 0xF7});
    };
    assignmentRecord(kSlider);
    for (int i = kEncoders; i < kFunctions; ++i)
        assignmentRecord(i);
    for (int i = kFunctions; i < kPads; ++i)
        assignmentRecord(i);
    for (int i = kTransport; i < kSlider; ++i)
        assignmentRecord(i);
    for (int i = kPads; i < kTransport; ++i)
        assignmentRecord(i);
    for (int start = 0; start < kGlobalCount; start += 16) {
        Message r{0xF0, 0x04, static_cast<std::uint8_t>(start), 16};
        for (int i = start; i < start + 16; ++i)
            putValue(r, i == 0
                            ? static_cast<std::uint8_t>(p->globals[0] + options_.dumpNumberOffset)
                            : p->globals[i]);
        r.push_back(0xF7);
        records.push_back(std::move(r));
    }
    records.push_back({0xF0, 0x05, 0xF7});

    const auto fault = static_cast<std::size_t>(options_.dumpFaultRecord);
    if (withFault && options_.dumpFault != DumpFault::None && fault < records.size()) {
        Message& r = records[fault];
        if (options_.dumpFault == DumpFault::Truncated && r.size() > 4) {
            r.resize(r.size() - 4);
            r.push_back(0xF7);
        } else if (options_.dumpFault == DumpFault::BadValue && r.size() == 9) {
            r[5] = 17;
        } else if (options_.dumpFault == DumpFault::Cut) {
            records.resize(fault);
        } else if (options_.dumpFault == DumpFault::Dropped) {
            records.erase(records.begin() + static_cast<std::ptrdiff_t>(fault));
        }
    }
    return records;
}

// ---------------------------------------------------------------------------------------------

const Message& ControllerEmulator::nextRequest() {
    static const Message m{0x90, 0x51, 0x54};
    return m;
}

const Message& ControllerEmulator::repeatRequest() {
    static const Message m{0x90, 0x61, 0x00};
    return m;
}

unsigned ControllerEmulator::extraDelayFor(const Message& message) const {
    const bool probe = message == Message(std::begin(kIdentityProbe), std::end(kIdentityProbe)) ||
                       answerUpgradeProbe(message, 2).has_value();
    return probe ? options_.identityDelayMs : 0;
}

std::vector<Message> ControllerEmulator::receive(const Message& message) {
    if (message.empty() || options_.silent) return {};
    return options_.mode == Mode::Normal ? receiveNormal(message) : receiveUpgrade(message);
}

bool ControllerEmulator::admit(std::size_t length, std::uint64_t nowUs) {
    const unsigned rate = options_.readRateBytesPerS;
    if (rate == 0) return true;
    if (nowUs > lastArrivalUs_) {
        const double drained = static_cast<double>(nowUs - lastArrivalUs_) * rate / 1e6;
        bufferLevel_ = std::max(0.0, bufferLevel_ - drained);
        lastArrivalUs_ = nowUs;
    }
    if (bufferLevel_ + static_cast<double>(length) > options_.readBufferBytes) {
        ++lost_;
        return false;
    }
    bufferLevel_ += static_cast<double>(length);
    return true;
}

Message ControllerEmulator::identityReply() const {
    const auto v = options_.version;
    return {0xF0,
            0x00,
            0x00,
            0x66,
            0x14,
            0x1B,
            static_cast<std::uint8_t>((v >> 7) & 0x7F),
            static_cast<std::uint8_t>(v & 0x7F),
            0x5A,
            static_cast<std::uint8_t>(options_.wrongIdentity ? 0x75 : 0x74),
            0xF7};
}

std::optional<Message> ControllerEmulator::answerUpgradeProbe(const Message& m,
                                                              std::uint8_t mode) const {
    if (m.size() != 9 || m[0] != 0xF0 || m[6] != 0 || m[7] != 0 || m[8] != 0xF7) return {};
    std::array<std::uint8_t, 5> id = options_.upgradeId;
    if (options_.anyIdentity)
        std::copy(m.begin() + 1, m.begin() + 6, id.begin());
    else if (!std::equal(id.begin(), id.end(), m.begin() + 1))
        return {};
    if (options_.wrongIdentity) id[4] ^= 0x01;
    const auto v = options_.version;
    return Message{0xF0,
                   id[0],
                   id[1],
                   id[2],
                   id[3],
                   id[4],
                   static_cast<std::uint8_t>((v >> 7) & 0x7F),
                   static_cast<std::uint8_t>(v & 0x7F),
                   mode,
                   0xF7};
}

std::vector<Message> ControllerEmulator::receiveNormal(const Message& m) {
    if (m == Message(std::begin(kIdentityProbe), std::end(kIdentityProbe))) {
        if (probesSeen_++ < options_.ignoreProbes) return {};
        return {identityReply()};
    }
    if (startsWith(m, kHeader, sizeof kHeader) && m.size() >= 9 && m.back() == 0xF7) {
        const std::uint8_t command = m[5];
        if (command >= 1 && command <= 4 && m.size() == 13) {
            if (!applyParameter(m)) ++ignored_;
            return {};
        }
        if (command == 6 && m.size() == 10) {
            if (!applyGlobal(m)) ++ignored_;
            return {};
        }
        if ((command == 5 || command == 7) && m.size() == 9 && m[7] == 0) {
            const int number = m[6];
            if (!isPresetNumber(number)) {
                ++ignored_;
                return {};
            }
            if (command == 5) { // upload request
                if (options_.ignoreUploads) return {};
                edit_ = *preset(number);
                const bool faulty = options_.dumpFaultTimes < 0 ||
                                    dumpsSent_ < static_cast<unsigned>(options_.dumpFaultTimes);
                ++dumpsSent_;
                return dumpOf(number, faulty);
            }
            edit_.globals[0] = static_cast<std::uint8_t>(number); // download end
            presets_[presetSlot(number)] = edit_;
            return {};
        }
    }
    // A device in normal mode answers the upgrade probe of its own identity with mode 1.
    if (auto reply = answerUpgradeProbe(m, 1)) return {*reply};
    ++ignored_;
    return {};
}

bool ControllerEmulator::applyParameter(const Message& m) {
    const int sum = m[5] + m[6] + m[7] + m[8] + m[9];
    if (m[10] != sum / 127 || m[11] != sum / 127) return false;
    const int index = controlIndexOf(m[6], m[7]);
    if (index < 0 || m[8] > 1 || m[9] > 0x7F) return false;
    const int value = m[8] * 128 + m[9];
    Assignment& a = edit_.controls[index];
    if (options_.takesAnyValue) {
        if (m[5] != 1 && value > 0x7F) return false;
        const auto v = static_cast<std::uint8_t>(value);
        switch (m[5]) {
        case 1:
            a.cc = v;
            break;
        case 2:
            a.chan = v;
            break;
        case 3:
            a.port = v;
            break;
        default:
            a.type = static_cast<std::uint8_t>(v & 1);
            a.mode = static_cast<std::uint8_t>(v >> 1);
        }
        return true;
    }
    switch (m[5]) {
    case 1:
        if (value > 171) return false;
        a.cc = static_cast<std::uint8_t>(value);
        return true;
    case 2:
        if (value > 16) return false;
        a.chan = static_cast<std::uint8_t>(value);
        return true;
    case 3:
        if (value > 5) return false;
        a.port = static_cast<std::uint8_t>(value);
        return true;
    default:
        if (value > 3) return false;
        a.type = static_cast<std::uint8_t>(value & 1);
        a.mode = static_cast<std::uint8_t>(value >> 1);
        return true;
    }
}

bool ControllerEmulator::applyGlobal(const Message& m) {
    const int index = m[6];
    const int value = m[7] * 127 + m[8];
    if (index >= kGlobalCount || m[7] > 0x7F || m[8] > 0x7F || value > 255) return false;
    edit_.globals[index] = static_cast<std::uint8_t>(value);
    return true;
}

std::vector<Message> ControllerEmulator::receiveUpgrade(const Message& m) {
    if (m[0] == 0xF0 && m.size() == 9 && std::equal(kUpgradeTag, kUpgradeTag + 3, m.begin() + 1) &&
        m[7] == 0x29 && m[8] == 0xF7) {
        started_ = true;
        blockCount_ = (static_cast<unsigned>(m[4]) << 14) | (m[5] << 7) | m[6];
        nextBlock_ = 0;
        rejected_ = 0;
        corruptDone_ = false;
        image_.clear();
        return {nextRequest()};
    }
    if (m[0] == 0xF0 && m.size() >= 10 && std::equal(kUpgradeTag, kUpgradeTag + 3, m.begin() + 3) &&
        m.back() == 0xF7)
        return handleBlock(m);
    if (auto reply = answerUpgradeProbe(m, options_.normalModeReply ? 1 : 2)) return {*reply};
    ++ignored_;
    return {};
}

std::vector<Message> ControllerEmulator::handleBlock(const Message& m) {
    if (!started_) {
        ++ignored_;
        return {};
    }
    if (options_.silenceAfterBlocks >= 0 &&
        nextBlock_ >= static_cast<unsigned>(options_.silenceAfterBlocks))
        return {};
    auto bad = [&] {
        ++rejected_;
        return std::vector<Message>{repeatRequest()};
    };

    const std::size_t end = m.size() - 1; // the F7
    unsigned sum = 0;
    for (std::size_t i = 3; i < end; ++i)
        sum += m[i];
    sum &= 0xFFFF;
    if (m[1] != (sum & 0x7F) || m[2] != ((sum >> 7) & 0x7F)) return bad();

    const unsigned left = (static_cast<unsigned>(m[6]) << 14) | (m[7] << 7) | m[8];
    if (left == 0 || left > blockCount_) return bad();
    const unsigned k = blockCount_ - left;
    if (k + 1 == nextBlock_) return {nextRequest()}; // a block we already have
    if (k != nextBlock_) return bad();

    // Groups of one high-bit byte and up to seven bytes with their top bits cleared.
    std::vector<std::uint8_t> raw;
    for (std::size_t i = 9; i < end;) {
        const std::uint8_t high = m[i];
        const std::size_t count = std::min<std::size_t>(7, end - i - 1);
        if (high > 0x7F || count == 0) return bad();
        if ((high & ((1u << (7 - count)) - 1)) != 0) return bad(); // bits of missing bytes
        for (std::size_t j = 0; j < count; ++j) {
            const std::uint8_t b = m[i + 1 + j];
            if (b > 0x7F) return bad();
            raw.push_back(static_cast<std::uint8_t>(b | (((high >> (6 - j)) & 1) << 7)));
        }
        i += 1 + count;
    }
    const bool last = k + 1 == blockCount_;
    if (raw.empty() || raw.size() > 28 || (!last && raw.size() != 28)) return bad();

    if (static_cast<int>(k) == options_.repeatBlock) return bad();
    if (static_cast<int>(k) == options_.corruptBlock && !corruptDone_) {
        corruptDone_ = true;
        return bad();
    }
    image_.insert(image_.end(), raw.begin(), raw.end());
    ++nextBlock_;
    return {nextRequest()};
}

} // namespace korvalen::sim
