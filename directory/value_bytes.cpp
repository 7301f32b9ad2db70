#include "directory/value_bytes.h"

#include "util/text.h"

#include <algorithm>

namespace era {

std::uint8_t ByteAt(TBytes bytes, std::size_t offset) {
    return offset < bytes.size() ? bytes[offset] : 0;
}

std::uint16_t Word16At(TBytes bytes, std::size_t offset) {
    if (offset >= bytes.size() || bytes.size() - offset < 2) return 0;
    return static_cast<std::uint16_t>(bytes[offset] | bytes[offset + 1] << 8);
}

std::uint32_t Word32At(TBytes bytes, std::size_t offset) {
    if (offset >= bytes.size() || bytes.size() - offset < 4) return 0;
    return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

std::string TextAt(TBytes bytes, std::size_t offset) {
    return BufferToStr(bytes, offset, bytes.size());
}

namespace {

constexpr char32_t ReplacementCharacter = 0xFFFD;

} // namespace

std::string WideTextAt(TBytes bytes, std::size_t offset) {
    std::string text;
    std::size_t at = offset;
    const auto unitAt = [&](std::size_t i) { return Word16At(bytes, i); };
    while (at < bytes.size() && bytes.size() - at >= 2) {
        const char16_t unit = unitAt(at);
        if (unit == 0) break;
        at += 2;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            const bool pairFits = at < bytes.size() && bytes.size() - at >= 2;
            const char16_t low = pairFits ? unitAt(at) : 0;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                at += 2;
                AppendUtf8(text, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) +
                                     (static_cast<char32_t>(low) - 0xDC00));
            } else {
                AppendUtf8(text, ReplacementCharacter);
            }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(text, ReplacementCharacter);
        } else {
            AppendUtf8(text, unit);
        }
    }
    return text;
}

std::string HexAt(TBytes bytes, std::size_t offset, std::size_t count) {
    if (offset >= bytes.size()) return {};
    TBytes rest = bytes.subspan(offset, std::min(count, bytes.size() - offset));
    // BytesToHex takes at most 65535 bytes at a time; large values go in pieces.
    std::string hex;
    hex.reserve(2 * rest.size());
    while (!rest.empty()) {
        const std::size_t piece = std::min<std::size_t>(rest.size(), 0xFFFF);
        hex += BytesToHex(rest.first(piece), static_cast<std::uint16_t>(piece));
        rest = rest.subspan(piece);
    }
    return hex;
}

std::string HexOf(TBytes bytes) {
    return HexAt(bytes, 0, bytes.size());
}

} // namespace era
