#pragma once

// Small text and buffer helpers every part of the client shares: numbers and texts read from the
// directory's files and replies, and numbers and texts written into the caller's buffers.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace era {

// At most max bytes of text, never cutting a UTF-8 character in half.
std::string CutUtf8(const std::string& text, size_t max);

// The $-separated parts of a value (one empty part for an empty text). Linear in the text: a
// value may hold many parts, where util's SplitToArray copies the rest for each one.
std::vector<std::string> SplitDollar(std::string_view text);

// A decimal number that fits 32 bits unsigned, nothing else around it.
bool ParseUnsigned(std::string_view text, uint32_t& value);
// A 32-bit directory integer: signed in the directory, kept as its 32 bits.
bool ParseInteger(std::string_view text, uint32_t& value);

// A replica pointer "server#type#number": the server, then what of the numbers reads.
void ParseReplicaPointer(std::string_view text, std::string& server, uint32_t& type, uint32_t& number);

// A number as 4 bytes in host order; false when the buffer is too small.
bool PutNumber(std::span<uint8_t> buffer, uint32_t number);
// A zero-terminated text; false when the buffer is too small.
bool PutText(std::span<uint8_t> buffer, const std::string& text);

} // namespace era
