// The message decoder of the MIDI monitor, on any bytes.
//
// Input: a series of messages, each a flags byte (bit 0: received rather than sent), a length
// byte and that many bytes. Every message gets a text and a kind; a message read as one of the
// program's own is one that its builder writes the same way, so a decoding never claims bytes
// that the program would not send; and the flash summary hides only blocks and next-block
// requests, and leaves every message of another kind as it is.
#include "fuzzinput.h"

#include "firmware.h"
#include "messagedecoder.h"
#include "presetprotocol.h"

#include <algorithm>

using namespace korvalen;

namespace {

template <std::size_t N>
bool same(const std::array<std::uint8_t, N>& built, const std::uint8_t* data, std::size_t size) {
    return size == N && std::equal(built.begin(), built.end(), data);
}

void checkOne(MessageDirection direction, const std::uint8_t* data, std::size_t size,
              FlashSummary& summary) {
    const DecodedMessage m = decodeMessage(direction, data, size);
    FUZZ_CHECK(!m.text.empty());
    // Decoded for its kind alone, the same kind and numbers; the summary's business is known
    // from the kind.
    const DecodedMessage bare = decodeMessage(direction, data, size, Decode::KindOnly);
    FUZZ_CHECK(bare.kind == m.kind && bare.blockCount == m.blockCount &&
               bare.remaining == m.remaining && bare.request == m.request);
    FUZZ_CHECK(!FlashSummary::concerns(m.kind) || bare.text == m.text);
    FUZZ_CHECK(groupName(groupOf(m.kind)) != nullptr);
    switch (m.kind) {
    case MessageKind::IdentityProbe:
        FUZZ_CHECK(same(kIdentityProbe, data, size));
        break;
    case MessageKind::IdentityReply:
        FUZZ_CHECK(isIdentityReply(data, size));
        break;
    case MessageKind::UploadRequest:
        FUZZ_CHECK(size == 9 && data[7] < 0x80);
        FUZZ_CHECK(data[7] != 0 || same(uploadRequestMessage(data[6]), data, size));
        break;
    case MessageKind::DownloadEnd:
        FUZZ_CHECK(size == 9 && data[7] < 0x80);
        FUZZ_CHECK(data[7] != 0 || same(downloadEndMessage(data[6]), data, size));
        break;
    case MessageKind::Parameter:
    case MessageKind::GlobalParameter:
        FUZZ_CHECK(size >= 10 && std::equal(kEditorHeader.begin(), kEditorHeader.end(), data));
        break;
    case MessageKind::FirmwareStart:
        FUZZ_CHECK(same(firmwareStartMessage(m.blockCount), data, size));
        break;
    case MessageKind::FirmwareBlock:
        FUZZ_CHECK(decodeBlock(data, size).status != BlockStatus::Malformed);
        break;
    case MessageKind::BlockRequest:
        FUZZ_CHECK(same(kNextBlockRequest, data, size) || same(kRepeatBlockRequest, data, size));
        break;
    default:
        break;
    }
    if (size > 0) FUZZ_CHECK(hexBytes(data, size).size() == size * 3 - 1);

    std::string text;
    const bool shown = summary.show(m, text);
    FUZZ_CHECK(!text.empty());
    if (!shown)
        FUZZ_CHECK(m.kind == MessageKind::FirmwareBlock ||
                   (m.kind == MessageKind::BlockRequest && m.request == BlockRequest::Next));
    if (!FlashSummary::concerns(m.kind)) FUZZ_CHECK(shown && text == m.text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    FlashSummary summary;
    while (!input.empty()) {
        const MessageDirection direction =
            (input.byte() & 1) ? MessageDirection::In : MessageDirection::Out;
        std::size_t taken = 0;
        const std::uint8_t* bytes = input.take(input.byte(), taken);
        checkOne(direction, bytes, taken, summary);
    }
    return 0;
}
