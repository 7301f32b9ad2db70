#pragma once

// Bounded readers for the binary records that directory values carry. The length of such a value
// comes from the directory, so every field is read only where it lies wholly inside the value: a
// field that does not fit reads as zero, a text that does not fit reads as empty, and nothing is
// ever read past the value's last byte.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace era {

using TBytes = std::span<const std::uint8_t>;

// The byte at the offset, 0 past the end.
std::uint8_t ByteAt(TBytes bytes, std::size_t offset);
// The little-endian 16-bit field at the offset, 0 unless both bytes lie inside.
std::uint16_t Word16At(TBytes bytes, std::size_t offset);
// The little-endian 32-bit field at the offset, 0 unless all four bytes lie inside.
std::uint32_t Word32At(TBytes bytes, std::size_t offset);
// The bytes from the offset up to the first zero byte (or the end), at most 2303 of them.
std::string TextAt(TBytes bytes, std::size_t offset);
// The zero-terminated UTF-16LE text at the offset, in UTF-8; it ends at the value's end when no
// terminator comes, an odd last byte is dropped and a lone surrogate becomes U+FFFD.
std::string WideTextAt(TBytes bytes, std::size_t offset);
// Two upper-case hex digits for each of the count bytes from the offset that lie inside.
std::string HexAt(TBytes bytes, std::size_t offset, std::size_t count);
// All the bytes as hex digits.
std::string HexOf(TBytes bytes);

} // namespace era
