#include "firmware.h"

#include <algorithm>
#include <cstdio>

namespace korvalen {

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::array<std::uint8_t, 3> kUpgradeHeader = {0x51, 0x54, 0x18};
constexpr std::uint8_t kStartMarker = 0x29;
constexpr std::size_t kGroupSize = 7;

std::uint8_t low7(std::uint32_t v) {
    return static_cast<std::uint8_t>(v & 0x7F);
}

// Stores n >> 14 (not masked), (n >> 7) & 7F and n & 7F.
void putCount(std::uint8_t* out, std::uint32_t n) {
    out[0] = static_cast<std::uint8_t>(n >> 14);
    out[1] = low7(n >> 7);
    out[2] = low7(n);
}

std::uint32_t packed(const std::array<std::uint8_t, 3>& m) {
    return std::uint32_t(m[0]) | std::uint32_t(m[1]) << 8 | std::uint32_t(m[2]) << 16;
}

bool allDataBytes(const std::uint8_t* begin, const std::uint8_t* end) {
    return std::all_of(begin, end, [](std::uint8_t b) { return b < 0x80; });
}

} // namespace

std::uint64_t firmwareBlockCount(std::uint64_t bodyLength) {
    return ((bodyLength + 6) / 7 * 8 + 31) / 32;
}

FirmwareLoadResult loadFirmwareImage(const std::uint8_t* data, std::size_t length) {
    FirmwareLoadResult result;
    if (data == nullptr || length < kFirmwareTrailerSize) return result; // OpenError
    const std::size_t bodyLength = length - kFirmwareTrailerSize;
    const std::uint8_t* trailer = data + bodyLength;
    if (!std::equal(kFirmwareMagic.begin(), kFirmwareMagic.end(), trailer + 10,
                    [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; }))
        return result;
    const std::uint64_t blocks = firmwareBlockCount(bodyLength);
    if (length > kMaxFirmwareFileSize) {
        result.status = FirmwareLoadStatus::TooManyBlocks;
        return result;
    }

    FirmwareImage& image = result.image;
    std::copy(trailer, trailer + 5, image.deviceId.begin());
    std::copy(trailer + 5, trailer + 8, image.versionChars.begin());
    std::copy(trailer + 8, trailer + 10, image.unused.begin());
    std::copy(trailer + 10, trailer + 15, image.magic.begin());
    image.body.assign(data, data + bodyLength);
    image.bodyLength = static_cast<std::uint32_t>(bodyLength);
    image.blockCount = static_cast<std::uint32_t>(blocks);
    result.status = FirmwareLoadStatus::Loaded;
    return result;
}

std::string firmwareVersionText(const std::array<char, 3>& versionChars) {
    std::string text = "V1.00";
    text[1] = versionChars[0];
    text[3] = versionChars[1];
    text[4] = versionChars[2];
    return text.substr(0, text.find('\0'));
}

std::array<std::uint8_t, 9> firmwareProbeMessage(const std::array<std::uint8_t, 5>& deviceId) {
    std::array<std::uint8_t, 9> m{};
    m[0] = kSysExStart;
    std::copy(deviceId.begin(), deviceId.end(), m.begin() + 1);
    m[6] = 0;
    m[7] = 0;
    m[8] = kSysExEnd;
    return m;
}

std::array<std::uint8_t, 9> firmwareStartMessage(std::uint32_t blockCount) {
    std::array<std::uint8_t, 9> m{};
    m[0] = kSysExStart;
    std::copy(kUpgradeHeader.begin(), kUpgradeHeader.end(), m.begin() + 1);
    putCount(m.data() + 4, blockCount);
    m[7] = kStartMarker;
    m[8] = kSysExEnd;
    return m;
}

std::size_t packSevenBit(const std::uint8_t* raw, std::size_t length, std::uint8_t* out) {
    std::size_t o = 0;
    for (std::size_t g = 0; g < length; g += kGroupSize) {
        const std::size_t t = std::min(kGroupSize, length - g);
        std::uint8_t high = 0;
        for (std::size_t i = 0; i < t; ++i)
            if (raw[g + i] & 0x80) high = static_cast<std::uint8_t>(high | (0x40 >> i));
        out[o++] = high;
        for (std::size_t i = 0; i < t; ++i)
            out[o++] = low7(raw[g + i]);
    }
    return o;
}

DataBlockMessage firmwareDataBlock(const FirmwareImage& image, std::uint32_t k) {
    DataBlockMessage m;
    if (k >= image.blockCount) return m; // no such block: empty message
    const std::size_t bodyLength = std::min<std::size_t>(image.bodyLength, image.body.size());
    const std::size_t first = std::size_t(k) * kBlockRawBytes;
    if (first >= bodyLength) return m;
    const std::size_t t = std::min(kBlockRawBytes, bodyLength - first);

    std::uint8_t* b = m.bytes.data();
    b[0] = kSysExStart;
    std::copy(kUpgradeHeader.begin(), kUpgradeHeader.end(), b + 3);
    putCount(b + 6, image.blockCount - k);
    const std::size_t payload = packSevenBit(image.body.data() + first, t, b + 9);
    std::uint32_t sum = 0;
    for (std::size_t i = 3; i <= 8 + payload; ++i)
        sum += b[i];
    sum &= 0xFFFF;
    b[1] = low7(sum);
    b[2] = low7(sum >> 7);
    b[9 + payload] = kSysExEnd;
    m.length = 10 + payload;
    return m;
}

std::optional<ProbeReply> parseProbeReply(const std::uint8_t* data, std::size_t length,
                                          const std::array<std::uint8_t, 5>& deviceId) {
    if (data == nullptr || length != 10 || data[0] != kSysExStart || data[9] != kSysExEnd)
        return std::nullopt;
    if (!std::equal(deviceId.begin(), deviceId.end(), data + 1)) return std::nullopt;
    return ProbeReply{std::uint32_t(data[6]) * 128 + data[7], data[8]};
}

std::optional<std::array<std::uint8_t, 5>> parseProbeMessage(const std::uint8_t* data,
                                                             std::size_t length) {
    if (data == nullptr || length != 9 || data[0] != kSysExStart || data[6] != 0 || data[7] != 0 ||
        data[8] != kSysExEnd || !allDataBytes(data + 1, data + 6))
        return std::nullopt;
    std::array<std::uint8_t, 5> id{};
    std::copy(data + 1, data + 6, id.begin());
    return id;
}

std::optional<AnyProbeReply> parseAnyProbeReply(const std::uint8_t* data, std::size_t length) {
    if (data == nullptr || length != 10 || !allDataBytes(data + 1, data + 9)) return std::nullopt;
    AnyProbeReply any;
    std::copy(data + 1, data + 6, any.deviceId.begin());
    const auto reply = parseProbeReply(data, length, any.deviceId);
    if (!reply) return std::nullopt;
    any.reply = *reply;
    return any;
}

std::array<std::uint8_t, 10> firmwareProbeReply(const std::array<std::uint8_t, 5>& deviceId,
                                                std::uint32_t version, std::uint8_t mode) {
    std::array<std::uint8_t, 10> r{};
    r[0] = kSysExStart;
    std::copy(deviceId.begin(), deviceId.end(), r.begin() + 1);
    r[6] = low7(version >> 7);
    r[7] = low7(version);
    r[8] = mode;
    r[9] = kSysExEnd;
    return r;
}

std::string deviceVersionText(std::uint32_t version) {
    char text[32];
    std::snprintf(text, sizeof text, "%d.%02d", static_cast<int>(version / 100),
                  static_cast<int>(version % 100));
    return text;
}

BlockRequest blockRequestOf(std::uint32_t packedShortMessage) {
    if (packedShortMessage == packed(kNextBlockRequest)) return BlockRequest::Next;
    if (packedShortMessage == packed(kRepeatBlockRequest)) return BlockRequest::Repeat;
    return BlockRequest::None;
}

std::optional<std::uint32_t> parseStartMessage(const std::uint8_t* data, std::size_t length) {
    if (data == nullptr || length != 9 || data[0] != kSysExStart || data[8] != kSysExEnd ||
        !std::equal(kUpgradeHeader.begin(), kUpgradeHeader.end(), data + 1) ||
        data[7] != kStartMarker || !allDataBytes(data + 4, data + 7))
        return std::nullopt;
    return (std::uint32_t(data[4]) << 14) | (std::uint32_t(data[5]) << 7) | data[6];
}

DecodedBlock decodeBlock(const std::uint8_t* data, std::size_t length) {
    DecodedBlock block;
    // Framing: at least one group of one byte, at most four full groups.
    if (data == nullptr || length < 12 || length > kBlockMessageMax) return block;
    const std::size_t payload = length - 10;
    if (data[0] != kSysExStart || data[length - 1] != kSysExEnd ||
        !std::equal(kUpgradeHeader.begin(), kUpgradeHeader.end(), data + 3) ||
        !allDataBytes(data + 1, data + length - 1))
        return block;
    block.remaining =
        (std::uint32_t(data[6]) << 14) | (std::uint32_t(data[7]) << 7) | std::uint32_t(data[8]);

    std::uint32_t sum = 0;
    for (std::size_t i = 3; i <= 8 + payload; ++i)
        sum += data[i];
    sum &= 0xFFFF;
    if (data[1] != low7(sum) || data[2] != low7(sum >> 7)) {
        block.status = BlockStatus::BadChecksum;
        return block;
    }

    const std::uint8_t* p = data + 9;
    std::size_t raw = 0;
    for (std::size_t g = 0; g < payload; g += kGroupSize + 1) {
        const std::size_t t = std::min(kGroupSize + 1, payload - g) - 1;
        if (t == 0) return block; // a high-bit byte with no bytes after it
        const std::uint8_t high = p[g];
        if (high & ((0x40 >> (t - 1)) - 1)) return block; // top bits of missing bytes set
        for (std::size_t i = 0; i < t; ++i) {
            const bool top = high & (0x40 >> i);
            block.raw[raw++] = static_cast<std::uint8_t>(p[g + 1 + i] | (top ? 0x80 : 0));
        }
    }
    block.rawLength = raw;
    block.status = BlockStatus::Ok;
    return block;
}

} // namespace korvalen
