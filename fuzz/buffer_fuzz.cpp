// The buffer and text functions over arbitrary bytes: hex digits into buffers of any stated
// capacity, buffers into texts and lines from any offset and length, the 255-character bound of
// terminated texts, the 511-byte code-page conversion and copies into fixed buffers. None may
// read or write past a buffer, and each keeps the bound it states.

#include "util/paths.h"
#include "util/text.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace era;
    FuzzedDataProvider in(data, size);
    const size_t capacity = in.ConsumeIntegralInRange<size_t>(0, 300);
    const size_t stated = in.ConsumeBool() ? in.ConsumeIntegral<size_t>() : capacity;
    const size_t offset = in.ConsumeIntegralInRange<size_t>(0, 4000);
    const size_t length = in.ConsumeBool() ? in.ConsumeIntegral<size_t>() : in.ConsumeIntegralInRange<size_t>(0, 4000);
    const std::string text = in.ConsumeRemainingBytesAsString();
    const auto bytes = AsBytes(text);

    std::vector<uint8_t> buffer(capacity);
    size_t count = stated;
    if (HexToBytes(text, count, buffer) && count > capacity) std::abort();
    (void)BytesToHex(bytes, static_cast<uint16_t>(length));

    const std::string str = BufferToStr(bytes, offset, length);
    if (str.size() > 2303 || str.find('\0') != std::string::npos) std::abort();
    const std::string lines = BufferToLines(bytes, offset, length);
    if (lines.size() > 2 * 2303) std::abort();

    std::string terminated = text;
    const char* pointer = TerminatedPtr(terminated);
    if (pointer != terminated.data()) std::abort();
    if (text.size() < 255 && (text.empty() || text.back() != '\0') && terminated.size() != text.size() + 1) std::abort();

    const std::string oem = ConvertOem(text, true);
    if (oem.size() > 511) std::abort();

    std::array<char, 64> fixed{};
    const size_t copied = CopyToBuffer(text, offset, static_cast<std::ptrdiff_t>(length % 100) - 1,
                                       (length & 1) != 0, std::span<char>(fixed.data(), capacity % 65));
    if (copied > capacity % 65) std::abort();

    (void)TextToIntDef(text, 0);
    (void)SplitToArray(text, text.substr(0, length % 3));
    (void)StrReplace(text, text.substr(0, length % 4), "xy", (length & 2) != 0, true);
    (void)CountOccurrences(text, text.substr(0, 1));
    (void)TrimBlanks(text);
    return 0;
}
