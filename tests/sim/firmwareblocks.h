// Test helper: the computer's side of the upgrade messages, built here from the message
// layout (start message, data blocks of 28 raw bytes packed into groups of one high-bit byte and
// seven bytes with their top bits cleared, checksum of bytes 3 to the end of the payload).
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace firmwareblocks {

using Message = std::vector<std::uint8_t>;

inline unsigned blockCountOf(std::size_t bodyLength) {
    return static_cast<unsigned>((bodyLength + 27) / 28);
}

inline Message startMessage(unsigned n) {
    return {0xF0,
            0x51,
            0x54,
            0x18,
            static_cast<std::uint8_t>(n >> 14),
            static_cast<std::uint8_t>((n >> 7) & 0x7F),
            static_cast<std::uint8_t>(n & 0x7F),
            0x29,
            0xF7};
}

inline void setChecksum(Message& m) {
    unsigned sum = 0;
    for (std::size_t i = 3; i + 1 < m.size(); ++i)
        sum += m[i];
    m[1] = static_cast<std::uint8_t>(sum & 0x7F);
    m[2] = static_cast<std::uint8_t>((sum >> 7) & 0x7F);
}

inline Message dataBlock(const std::vector<std::uint8_t>& body, unsigned k) {
    const unsigned r = blockCountOf(body.size()) - k;
    Message m{0xF0,
              0,
              0,
              0x51,
              0x54,
              0x18,
              static_cast<std::uint8_t>(r >> 14),
              static_cast<std::uint8_t>((r >> 7) & 0x7F),
              static_cast<std::uint8_t>(r & 0x7F)};
    const std::size_t from = 28 * std::size_t(k);
    const std::size_t to = std::min(from + 28, body.size());
    for (std::size_t g = from; g < to; g += 7) {
        const std::size_t end = std::min(g + 7, to);
        std::uint8_t high = 0;
        for (std::size_t j = g; j < end; ++j)
            if (body[j] & 0x80) high |= static_cast<std::uint8_t>(1u << (6 - (j - g)));
        m.push_back(high);
        for (std::size_t j = g; j < end; ++j)
            m.push_back(body[j] & 0x7F);
    }
    m.push_back(0xF7);
    setChecksum(m);
    return m;
}

} // namespace firmwareblocks
