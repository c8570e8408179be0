// The firmware image (".bin": the body followed by a 15-byte trailer) and the messages of the
// flashing protocol: probe, probe reply, start message and data blocks with their 7-bit
// packing; plus the device side of a data block, for the controller emulator and tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace korvalen {

constexpr std::size_t kFirmwareTrailerSize = 15;
constexpr std::array<char, 5> kFirmwareMagic = {'Q', 'V', 'o', 'l', 'm'};
constexpr std::size_t kBlockRawBytes = 28;                        // body bytes per data block
constexpr std::size_t kBlockPayloadBytes = 32;                    // payload bytes of a full block
constexpr std::size_t kBlockMessageMax = 10 + kBlockPayloadBytes; // 42
// The start message carries the block count in three 7-bit bytes.
constexpr std::uint32_t kMaxBlockCount = (1u << 21) - 1;
// The largest image file: a body of kMaxBlockCount full blocks and the trailer. A larger file
// can be refused before it is read.
constexpr std::uint64_t kMaxFirmwareFileSize =
    std::uint64_t(kMaxBlockCount) * kBlockRawBytes + kFirmwareTrailerSize;

struct FirmwareImage {
    std::vector<std::uint8_t> body;
    std::uint32_t bodyLength = 0;
    std::uint32_t blockCount = 0;
    std::array<std::uint8_t, 5> deviceId{};
    std::array<char, 3> versionChars{};
    std::array<std::uint8_t, 2> unused{}; // trailer bytes 8 and 9, read and not interpreted
    std::array<char, 5> magic{};
    bool operator==(const FirmwareImage&) const = default;
};

// Number of data blocks for a body of `bodyLength` bytes: ((L + 6) / 7 * 8 + 31) / 32, which is
// L / 28 rounded up.
std::uint64_t firmwareBlockCount(std::uint64_t bodyLength);

enum class FirmwareLoadStatus {
    Loaded,        // accepted; an empty body is accepted too (bodyLength 0, no blocks)
    OpenError,     // shorter than the trailer, or the magic is not "QVolm"
    TooManyBlocks, // the block count does not fit the start message
};

struct FirmwareLoadResult {
    FirmwareLoadStatus status = FirmwareLoadStatus::OpenError;
    FirmwareImage image; // valid when Loaded
};

// Reads an image from a file's bytes.
FirmwareLoadResult loadFirmwareImage(const std::uint8_t* data, std::size_t length);

// "V1.00" with its characters 2, 4 and 5 replaced by the three version characters as stored.
// Like any C text it ends at a zero character.
std::string firmwareVersionText(const std::array<char, 3>& versionChars);

// F0, the five identity bytes, 00, 00, F7.
std::array<std::uint8_t, 9> firmwareProbeMessage(const std::array<std::uint8_t, 5>& deviceId);

// F0 51 54 18, n >> 14, (n >> 7) & 7F, n & 7F, 29, F7 with n = blockCount.
std::array<std::uint8_t, 9> firmwareStartMessage(std::uint32_t blockCount);

// One data block message, at most 42 bytes.
struct DataBlockMessage {
    std::array<std::uint8_t, kBlockMessageMax> bytes{};
    std::size_t length = 0;
    const std::uint8_t* data() const { return bytes.data(); }
};

// Data block k (k < image.blockCount): F0, checksum low 7 bits, checksum bits 7-13,
// 51 54 18, r >> 14, (r >> 7) & 7F, r & 7F with r = blockCount - k, the packed payload, F7.
DataBlockMessage firmwareDataBlock(const FirmwareImage& image, std::uint32_t k);

// 7-bit packing: groups of up to seven bytes, each led by a byte holding their top bits
// (bit 6 for the first byte of the group ... bit 0 for the seventh). Returns the payload
// length; `out` needs room for length + (length + 6) / 7 bytes.
std::size_t packSevenBit(const std::uint8_t* raw, std::size_t length, std::uint8_t* out);

// The controller's probe reply: exactly 10 bytes, F0, the identity bytes, version high,
// version low, mode, F7.
struct ProbeReply {
    std::uint32_t version = 0; // high * 128 + low
    std::uint8_t mode = 0;     // 2 upgrade mode, 1 normal mode
};
std::optional<ProbeReply> parseProbeReply(const std::uint8_t* data, std::size_t length,
                                          const std::array<std::uint8_t, 5>& deviceId);
// The identity bytes of a probe message of any identity; none if the bytes are not one.
std::optional<std::array<std::uint8_t, 5>> parseProbeMessage(const std::uint8_t* data,
                                                             std::size_t length);
// A probe reply of any identity: its identity bytes and what it says.
struct AnyProbeReply {
    std::array<std::uint8_t, 5> deviceId{};
    ProbeReply reply;
};
std::optional<AnyProbeReply> parseAnyProbeReply(const std::uint8_t* data, std::size_t length);
std::array<std::uint8_t, 10> firmwareProbeReply(const std::array<std::uint8_t, 5>& deviceId,
                                                std::uint32_t version, std::uint8_t mode);

// "%d.%02d" of version / 100 and version % 100: 102 is "1.02".
std::string deviceVersionText(std::uint32_t version);

// The controller's requests during flashing (Note On, channel 1).
constexpr std::array<std::uint8_t, 3> kNextBlockRequest = {0x90, 0x51, 0x54};
constexpr std::array<std::uint8_t, 3> kRepeatBlockRequest = {0x90, 0x61, 0x00};

// A request as the flashing loop keeps it (0 none, 10 next, 20 repeat).
enum class BlockRequest : std::int32_t { None = 0, Next = 10, Repeat = 20 };
// The request a short message carries, packed as the platform delivers it (status byte in
// bits 0-7, data bytes in bits 8-15 and 16-23); all three bytes must match.
BlockRequest blockRequestOf(std::uint32_t packedShortMessage);

// ---------------------------------------------------------------------------------------------
// Device side

// The block count carried by a start message; none if the bytes are not one.
std::optional<std::uint32_t> parseStartMessage(const std::uint8_t* data, std::size_t length);

enum class BlockStatus { Ok, Malformed, BadChecksum };

struct DecodedBlock {
    BlockStatus status = BlockStatus::Malformed;
    std::uint32_t remaining = 0; // r: blocks left, this one included
    std::array<std::uint8_t, kBlockRawBytes> raw{};
    std::size_t rawLength = 0;
};

// Unpacks a data block message back to its raw body bytes and checks its checksum.
DecodedBlock decodeBlock(const std::uint8_t* data, std::size_t length);

} // namespace korvalen
