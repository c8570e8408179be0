// The dump parser behind the receive ring. The input handler appends chunks of up to 256 bytes
// to the ring and the GUI thread parses whatever is there; the input chooses the chunk sizes.
//
// Input: one byte of flags, one seed byte for the chunk sizes, then the received bytes.
//   flags bit 0 clear: the parser runs after every chunk, so the ring never overflows; what it
//                      hands on must then be exactly what the parser reports for the whole
//                      stream in one buffer.
//   flags bit 0 set:   (flags >> 1) % 8 + 1 chunks go in between two parser runs, so the ring
//                      overflows and the parser has to drop what it lost.
// In both cases every value handed on must lie within the bounds the parser promises, and the
// globals block must only be written inside its 48 entries.
#include "fuzzinput.h"

#include "bytering.h"
#include "presetprotocol.h"

#include <algorithm>
#include <memory>
#include <vector>

using korvalen::AssignmentField;
using korvalen::ByteRing;
using korvalen::ControlGroup;
using korvalen::ControlRef;
using korvalen::DumpParser;

namespace {

struct Event {
    enum Kind : std::uint8_t { Assignment, UploadError, Globals, End } kind;
    ControlRef control{};
    AssignmentField field = AssignmentField::CC;
    int a = 0; // the value, or the first global entry
    int b = 0; // the count of global entries
    bool operator==(const Event&) const = default;
};

class CheckingSink final : public korvalen::DumpSink {
public:
    std::vector<Event> events;

    void assignment(ControlRef c, AssignmentField field, std::uint8_t value) override {
        FUZZ_CHECK(!ended_);
        switch (c.group) {
        case ControlGroup::Slider:
            FUZZ_CHECK(c.bank == 0 && c.index == 0);
            break;
        case ControlGroup::Encoder:
            FUZZ_CHECK(c.bank >= 0 && c.bank < 4 && c.index >= 0 && c.index < 8);
            break;
        case ControlGroup::Function:
            FUZZ_CHECK(c.bank >= 0 && c.bank < 4 && c.index >= 0 && c.index < 4);
            break;
        case ControlGroup::Transport:
            FUZZ_CHECK(c.bank == 0 && c.index >= 0 && c.index < 5);
            break;
        case ControlGroup::Pad:
            FUZZ_CHECK(c.bank >= 0 && c.bank < 2 && c.index >= 0 && c.index < 4);
            break;
        }
        const bool button = c.group == ControlGroup::Function ||
                            c.group == ControlGroup::Transport || c.group == ControlGroup::Pad;
        switch (field) {
        case AssignmentField::CC:
            FUZZ_CHECK(value <= korvalen::kMaxAssignment);
            break;
        case AssignmentField::Chan:
            FUZZ_CHECK(value <= korvalen::kMaxChannel);
            break;
        case AssignmentField::Port:
            FUZZ_CHECK(value <= korvalen::kMaxPort);
            break;
        case AssignmentField::Type:
            FUZZ_CHECK(button && value <= 1);
            break;
        case AssignmentField::Mode:
            // Behaviour 4 hands on mode 2, which the model's setter refuses.
            FUZZ_CHECK(button && value <= 2);
            break;
        }
        events.push_back({Event::Assignment, c, field, value, 0});
    }

    void uploadError() override {
        FUZZ_CHECK(!ended_);
        events.push_back({Event::UploadError});
    }

    void globalsStored(int first, int count) override {
        FUZZ_CHECK(!ended_);
        FUZZ_CHECK(first >= 0 && count > 0 && first + count <= korvalen::kPresetGlobalsSize);
        events.push_back({Event::Globals, {}, AssignmentField::CC, first, count});
    }

    void endOfDump() override {
        FUZZ_CHECK(!ended_);
        ended_ = true;
        events.push_back({Event::End});
    }

    // A new upload: the next dump may follow.
    void newDump() { ended_ = false; }

private:
    bool ended_ = false;
};

// The chunk sizes, 1 to 256, from a small generator seeded by the input.
class ChunkSizes {
public:
    explicit ChunkSizes(std::uint8_t seed) : state_(0x9E3779B9u ^ (seed * 0x01000193u)) {}
    std::size_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        // Mostly small chunks, which split records in many places, and now and then a full
        // receive buffer.
        return (state_ & 7) == 0 ? 256 : 1 + (state_ >> 8) % 48;
    }

private:
    std::uint32_t state_;
};

// The globals block on the heap with nothing around it, so that a write past it is caught.
std::vector<unsigned char> freshGlobals() {
    return std::vector<unsigned char>(korvalen::kPresetGlobalsSize, 0xAA);
}

void parseAfterEveryChunk(const std::uint8_t* stream, std::size_t length, ChunkSizes sizes) {
    // The whole stream in one buffer.
    CheckingSink whole;
    auto wholeGlobals = freshGlobals();
    DumpParser bufferParser(whole, wholeGlobals.data());
    const auto result = bufferParser.parse(stream, length);
    FUZZ_CHECK(result.consumed <= length);
    if (result.status != DumpParser::Status::EndOfDump) {
        // What is left over is one record that has begun and not ended.
        FUZZ_CHECK(result.status == (result.consumed == length ? DumpParser::Status::Idle
                                                               : DumpParser::Status::Waiting));
        if (result.consumed < length) FUZZ_CHECK(stream[result.consumed] == 0xF0);
    }

    // The same stream through the ring, chunk by chunk.
    CheckingSink chunked;
    auto chunkedGlobals = freshGlobals();
    DumpParser ringParser(chunked, chunkedGlobals.data());
    auto ring = std::make_unique<ByteRing>();
    DumpParser::Status status = DumpParser::Status::Idle;
    std::size_t pos = 0;
    while (pos < length && status != DumpParser::Status::EndOfDump) {
        const std::size_t n = std::min(sizes.next(), length - pos);
        ring->write(stream + pos, n);
        pos += n;
        status = ringParser.parse(*ring);
        // A record waiting for its end is shorter than 640 bytes, so the ring never fills.
        FUZZ_CHECK(ring->unread() <= ByteRing::kSize);
        FUZZ_CHECK(ring->unread() < ByteRing::kSize - 256);
        if (status == DumpParser::Status::Waiting) FUZZ_CHECK(ring->peek(0) == 0xF0);
        if (status != DumpParser::Status::Waiting) FUZZ_CHECK(ring->empty());
    }

    FUZZ_CHECK(status == result.status);
    FUZZ_CHECK(chunked.events == whole.events);
    FUZZ_CHECK(chunkedGlobals == wholeGlobals);
    if (status == DumpParser::Status::Waiting)
        FUZZ_CHECK(ring->unread() == length - result.consumed);
}

void letTheRingOverflow(const std::uint8_t* stream, std::size_t length, ChunkSizes sizes,
                        int chunksPerParse) {
    CheckingSink sink;
    auto globals = freshGlobals();
    DumpParser parser(sink, globals.data());
    auto ring = std::make_unique<ByteRing>();
    std::size_t pos = 0;
    while (pos < length) {
        for (int c = 0; c < chunksPerParse && pos < length; ++c) {
            const std::size_t n = std::min(sizes.next(), length - pos);
            ring->write(stream + pos, n);
            pos += n;
        }
        const auto status = parser.parse(*ring);
        FUZZ_CHECK(ring->unread() <= ByteRing::kSize);
        if (status == DumpParser::Status::Waiting) FUZZ_CHECK(ring->peek(0) == 0xF0);
        if (status != DumpParser::Status::Waiting) FUZZ_CHECK(ring->empty());
        if (status == DumpParser::Status::EndOfDump) sink.newDump();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t flags = in.byte();
    const ChunkSizes sizes(in.byte());
    std::size_t length = 0;
    const std::uint8_t* stream = in.take(in.left(), length);
    if (flags & 1)
        letTheRingOverflow(stream, length, sizes, (flags >> 1) % 8 + 1);
    else
        parseAfterEveryChunk(stream, length, sizes);
    return 0;
}
