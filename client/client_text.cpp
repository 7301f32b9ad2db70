#include "client/client_text.h"

#include <charconv>
#include <cstring>

namespace era {

std::string CutUtf8(const std::string& text, size_t max) {
    if (text.size() <= max) return text;
    size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

std::vector<std::string> SplitDollar(std::string_view text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find('$', start);
        parts.emplace_back(
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

bool ParseUnsigned(std::string_view text, uint32_t& value) {
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ParseInteger(std::string_view text, uint32_t& value) {
    int64_t number = 0;
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    if (number < INT32_MIN || number > static_cast<int64_t>(UINT32_MAX)) return false;
    value = static_cast<uint32_t>(number);
    return true;
}

void ParseReplicaPointer(std::string_view text, std::string& server, uint32_t& type, uint32_t& number) {
    const size_t first = text.find('#');
    server = std::string(text.substr(0, first));
    if (first == std::string_view::npos) return;
    const std::string_view rest = text.substr(first + 1);
    const size_t second = rest.find('#');
    ParseUnsigned(rest.substr(0, second), type);
    if (second != std::string_view::npos) ParseUnsigned(rest.substr(second + 1), number);
}

bool PutNumber(std::span<uint8_t> buffer, uint32_t number) {
    if (buffer.size() < sizeof number) return false;
    std::memcpy(buffer.data(), &number, sizeof number);
    return true;
}

bool PutText(std::span<uint8_t> buffer, const std::string& text) {
    if (buffer.size() < text.size() + 1) return false;
    std::memcpy(buffer.data(), text.data(), text.size());
    buffer[text.size()] = 0;
    return true;
}

} // namespace era
