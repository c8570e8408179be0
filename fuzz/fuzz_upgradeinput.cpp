// The messages of the upgrade exchange, from both ends.
//
// The editor's upgrade input handler takes every returned SysEx buffer to parseProbeReply with
// the image's identity, and matches short messages on all three bytes against the next and
// repeat requests. The controller emulator (which korvalen25-sim puts on real MIDI ports) takes
// the probe, the start message and the data blocks. The input drives both:
//
//   byte 0      flags: bit 0 the emulator answers a probe of any identity, bit 1 it is in
//               normal mode instead of upgrade mode, bits 4-7 (when not 0) a block number it
//               never takes (asks for again each time)
//   bytes 1-5   the identity of the image
//   byte 6, ... the length of a small firmware body, and the body
//   then events, each a tag byte and its bytes:
//     tag % 3 == 0  a received SysEx buffer for the editor's handler: length byte + 1 bytes
//     tag % 3 == 1  a message for the emulator: length byte % 64 + 1 bytes
//     tag % 3 == 2  the start message or a data block of the small image for the emulator,
//                   possibly with one byte changed
//
// Everything the emulator answers goes back through the editor's side: a short answer must be
// one of the two requests, as the editor's request matcher reads it, a SysEx answer a probe
// reply that parseProbeReply takes. The first three bytes of every buffer the editor takes are
// read as a short message too: only the two requests, all three bytes equal, are requests. Each
// data block the emulator stores must be one that decodeBlock takes, with the same bytes.
#include "fuzzinput.h"

#include "controlleremulator.h"
#include "firmware.h"
#include "presetprotocol.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

using namespace korvalen;
using korvalen::sim::ControllerEmulator;
using Message = std::vector<std::uint8_t>;

namespace {

// Takes a dump and checks nothing itself; the parser's own bounds are the dump parser
// target's business.
DumpSink& quietSink() {
    struct Quiet final : DumpSink {
        void assignment(ControlRef, AssignmentField, std::uint8_t) override {}
        void uploadError() override {}
        void endOfDump() override {}
    };
    static Quiet sink;
    return sink;
}

std::uint32_t packedShort(const std::uint8_t* m) {
    return std::uint32_t(m[0]) | std::uint32_t(m[1]) << 8 | std::uint32_t(m[2]) << 16;
}

void editorTakesBuffer(const std::uint8_t* data, std::size_t n,
                       const std::array<std::uint8_t, 5>& id) {
    if (data && n >= 3) {
        const BlockRequest request = blockRequestOf(packedShort(data));
        const bool next = std::equal(data, data + 3, kNextBlockRequest.begin());
        const bool repeat = std::equal(data, data + 3, kRepeatBlockRequest.begin());
        FUZZ_CHECK((request == BlockRequest::Next) == next);
        FUZZ_CHECK((request == BlockRequest::Repeat) == repeat);
    }
    // The editor link's handler looks at every chunk for the identity reply as well.
    (void)isIdentityReply(data, n);
    const auto reply = parseProbeReply(data, n, id);
    if (!reply) return;
    FUZZ_CHECK(n == 10 && data[0] == 0xF0 && data[9] == 0xF7);
    FUZZ_CHECK(std::equal(id.begin(), id.end(), data + 1));
    FUZZ_CHECK(reply->version == data[6] * 128u + data[7] && reply->mode == data[8]);
    // The text the dialog shows reads back as the version.
    const std::string text = deviceVersionText(reply->version);
    const auto dot = text.find('.');
    FUZZ_CHECK(dot != std::string::npos && text.size() == dot + 3);
    FUZZ_CHECK(std::strtoul(text.c_str(), nullptr, 10) * 100 +
                   std::strtoul(text.c_str() + dot + 1, nullptr, 10) ==
               reply->version);
}

bool allDataBytes(const Message& m) {
    return m.size() >= 2 &&
           std::all_of(m.begin() + 1, m.end() - 1, [](auto b) { return b < 0x80; });
}

void emulatorTakes(ControllerEmulator& device, const Message& m,
                   const std::array<std::uint8_t, 5>& ownId) {
    const bool upgrade = device.options().mode == ControllerEmulator::Mode::Upgrade;
    const unsigned before = device.blocksAccepted();
    const std::size_t imageBefore = device.image().size();
    const bool started = device.transferStarted();
    const unsigned count = device.blockCount();

    const auto answers = device.receive(m);
    // A device that answers any identity answers with the one it was probed with.
    std::array<std::uint8_t, 5> id = ownId;
    if (device.options().anyIdentity && m.size() == 9)
        std::copy(m.begin() + 1, m.begin() + 6, id.begin());

    for (const Message& a : answers) {
        if (!a.empty() && a.front() != 0xF0) { // a short message
            FUZZ_CHECK(upgrade && a.size() == 3);
            FUZZ_CHECK(blockRequestOf(packedShort(a.data())) != BlockRequest::None);
            continue;
        }
        FUZZ_CHECK(a.size() >= 3 && a.front() == 0xF0 && a.back() == 0xF7);
        const auto reply = parseProbeReply(a.data(), a.size(), id);
        // In upgrade mode the probe reply is the only SysEx answer; in normal mode a device
        // answers its upgrade probe with mode 1.
        if (upgrade) FUZZ_CHECK(reply && reply->mode == 2);
        if (!upgrade && reply) FUZZ_CHECK(reply->mode == 1);
    }
    if (!upgrade) {
        // A dump the device sends is one the editor's parser reads to its end.
        const Message end(kDumpEndRecord.begin(), kDumpEndRecord.end());
        if (answers.empty() || answers.back() != end) return;
        DumpSink& sink = quietSink();
        std::vector<unsigned char> globals(kPresetGlobalsSize);
        DumpParser parser(sink, globals.data());
        DumpParser::Status status = DumpParser::Status::Idle;
        for (const Message& a : answers)
            status = parser.parse(a.data(), a.size()).status;
        FUZZ_CHECK(status == DumpParser::Status::EndOfDump);
        FUZZ_CHECK(globals[0] == m[6]); // the dump names its preset
        return;
    }

    FUZZ_CHECK(device.blocksAccepted() <= device.blockCount() || !device.transferStarted());
    // A block the device never takes is never passed.
    const int never = device.options().repeatBlock;
    FUZZ_CHECK(never < 0 || device.blocksAccepted() <= static_cast<unsigned>(never));
    if (!started || device.blockCount() != count || m.size() < 12) return;
    // A message that is not all data bytes cannot arrive as one SysEx message: a status byte
    // ends it. Only for data-byte messages do the two decoders have to agree.
    if (!allDataBytes(m) || m[0] != 0xF0) return;
    const DecodedBlock d = decodeBlock(m.data(), m.size());
    if (device.blocksAccepted() == before + 1) {
        FUZZ_CHECK(d.status == BlockStatus::Ok);
        FUZZ_CHECK(d.remaining == count - before);
        FUZZ_CHECK(device.image().size() == imageBefore + d.rawLength);
        FUZZ_CHECK(std::equal(d.raw.begin(), d.raw.begin() + d.rawLength,
                              device.image().begin() + static_cast<long>(imageBefore)));
    } else if (d.status == BlockStatus::Ok && before < count && d.remaining == count - before &&
               (d.remaining == 1 || d.rawLength == kBlockRawBytes)) {
        // The block the device waits for, whole and well formed: it has to take it, unless it
        // is the one it never takes.
        FUZZ_CHECK(device.blocksAccepted() == before + 1 || static_cast<int>(before) == never);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    std::array<std::uint8_t, 5> id{};
    for (auto& b : id)
        b = in.byte();

    ControllerEmulator::Options options;
    options.mode =
        (flags & 2) ? ControllerEmulator::Mode::Normal : ControllerEmulator::Mode::Upgrade;
    options.anyIdentity = (flags & 1) != 0;
    if (flags >> 4) options.repeatBlock = (flags >> 4) - 1;
    for (std::size_t i = 0; i < id.size(); ++i)
        options.upgradeId[i] = id[i] & 0x7F;
    std::array<std::uint8_t, 5> deviceId = options.upgradeId;
    ControllerEmulator device(options);

    FirmwareImage image;
    std::size_t bodyLength = 0;
    const std::uint8_t* body = in.take(in.byte(), bodyLength);
    image.body.assign(body, body + bodyLength);
    image.bodyLength = static_cast<std::uint32_t>(bodyLength);
    image.blockCount = static_cast<std::uint32_t>(firmwareBlockCount(bodyLength));
    image.deviceId = deviceId;

    editorTakesBuffer(nullptr, 0, id); // a buffer returned empty

    while (!in.empty()) {
        const std::uint8_t tag = in.byte();
        std::size_t n = 0;
        switch (tag % 3) {
        case 0: {
            const std::uint8_t* chunk = in.take(std::size_t(in.byte()) + 1, n);
            editorTakesBuffer(chunk, n, id);
            break;
        }
        case 1: {
            const std::uint8_t* bytes = in.take(in.byte() % 64 + 1, n);
            emulatorTakes(device, Message(bytes, bytes + n), deviceId);
            break;
        }
        case 2: {
            const std::uint8_t which = in.byte();
            Message m;
            if (which == 0 || image.blockCount == 0) {
                const auto start = firmwareStartMessage(image.blockCount);
                m.assign(start.begin(), start.end());
            } else {
                const auto block = firmwareDataBlock(image, (which - 1u) % image.blockCount);
                m.assign(block.data(), block.data() + block.length);
            }
            if (tag & 0x80) { // one byte changed
                const std::uint8_t at = in.byte();
                m[at % m.size()] ^= static_cast<std::uint8_t>(in.byte() | 1);
            }
            emulatorTakes(device, m, deviceId);
            break;
        }
        }
    }
    return 0;
}
