// Byte vectors for tests: written as hex text, or taken from a fixed-size message.
#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

inline Bytes hex(const char* text) {
    const QByteArray raw = QByteArray::fromHex(QByteArray(text));
    return Bytes(raw.begin(), raw.end());
}

template <std::size_t N> Bytes toBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

} // namespace testsupport
