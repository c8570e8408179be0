// The firmware image loader and the data block decoder.
//
// Input: one selector byte, then the bytes.
//   even selector: the bytes are a ".bin" file. An accepted image has the body and trailer of
//                  the file, the block count of its body, and every one of its data blocks
//                  decodes back to its slice of the body with the right count of blocks left.
//   odd selector:  the bytes are one received data block. A block the decoder takes is one
//                  that the encoder writes the same way from the bytes it decoded, so no two
//                  messages decode to the same block.
#include "fuzzinput.h"

#include "firmware.h"

#include <algorithm>

using namespace korvalen;

namespace {

void loadImage(const std::uint8_t* data, std::size_t size) {
    const FirmwareLoadResult result = loadFirmwareImage(data, size);
    const bool magic =
        size >= kFirmwareTrailerSize &&
        std::equal(kFirmwareMagic.begin(), kFirmwareMagic.end(), data + size - 5,
                   [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
    if (result.status != FirmwareLoadStatus::Loaded) {
        FUZZ_CHECK(!magic || result.status == FirmwareLoadStatus::TooManyBlocks);
        return;
    }
    FUZZ_CHECK(magic);

    const FirmwareImage& image = result.image;
    const std::size_t bodyLength = size - kFirmwareTrailerSize;
    FUZZ_CHECK(image.bodyLength == bodyLength && image.body.size() == bodyLength);
    FUZZ_CHECK(std::equal(image.body.begin(), image.body.end(), data));
    FUZZ_CHECK(std::equal(image.deviceId.begin(), image.deviceId.end(), data + bodyLength));
    FUZZ_CHECK(image.blockCount == (bodyLength + kBlockRawBytes - 1) / kBlockRawBytes);
    FUZZ_CHECK(firmwareVersionText(image.versionChars).size() <= 5);

    const auto start = firmwareStartMessage(image.blockCount);
    FUZZ_CHECK(parseStartMessage(start.data(), start.size()) == image.blockCount);

    for (std::uint32_t k = 0; k < image.blockCount; ++k) {
        const DataBlockMessage block = firmwareDataBlock(image, k);
        FUZZ_CHECK(block.length >= 12 && block.length <= kBlockMessageMax);
        const DecodedBlock decoded = decodeBlock(block.data(), block.length);
        FUZZ_CHECK(decoded.status == BlockStatus::Ok);
        FUZZ_CHECK(decoded.remaining == image.blockCount - k);
        const std::size_t first = std::size_t(k) * kBlockRawBytes;
        const std::size_t raw = std::min(kBlockRawBytes, bodyLength - first);
        FUZZ_CHECK(decoded.rawLength == raw);
        FUZZ_CHECK(
            std::equal(decoded.raw.begin(), decoded.raw.begin() + raw, image.body.begin() + first));
    }
    // There is no block after the last one.
    FUZZ_CHECK(firmwareDataBlock(image, image.blockCount).length == 0);
}

void decodeOneBlock(const std::uint8_t* data, std::size_t size) {
    const DecodedBlock decoded = decodeBlock(data, size);
    FUZZ_CHECK(decoded.rawLength <= kBlockRawBytes);
    if (decoded.status != BlockStatus::Ok) return;
    FUZZ_CHECK(decoded.rawLength > 0);
    FUZZ_CHECK(size == 10 + decoded.rawLength + (decoded.rawLength + 6) / 7);
    if (decoded.remaining == 0) return; // the encoder never writes a block with no blocks left

    // The image whose first block this is, with as many blocks left as the message says.
    FirmwareImage image;
    image.body.assign(decoded.raw.begin(), decoded.raw.begin() + decoded.rawLength);
    image.bodyLength = static_cast<std::uint32_t>(decoded.rawLength);
    image.blockCount = decoded.remaining;
    const DataBlockMessage again = firmwareDataBlock(image, 0);
    FUZZ_CHECK(again.length == size);
    FUZZ_CHECK(std::equal(data, data + size, again.data()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t selector = in.byte();
    std::size_t length = 0;
    const std::uint8_t* bytes = in.take(in.left(), length);
    if (selector & 1)
        decodeOneBlock(bytes, length);
    else
        loadImage(bytes, length);
    return 0;
}
