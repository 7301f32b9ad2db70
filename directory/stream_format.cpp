#include "directory/stream_format.h"

#include "util/text.h"

#include <algorithm>
#include <vector>

namespace era {

namespace {

constexpr char LineBreak[] = "\r\n";
constexpr std::string_view AotSignature = "AOT FILE";
constexpr std::size_t AotHeaderSize = 24; // signature, three numbers, two small ones
constexpr std::size_t AotBodyLimit = StreamReadLimit - AotHeaderSize;
constexpr std::size_t MacroScanEnd = 1024; // macros are looked for up to offset 1023
constexpr uint32_t CopyFileTextLimit = 1024;

bool HasTwoCharacters(TBytes bytes, std::size_t at) {
    return at < bytes.size() && bytes.size() - at >= 2 && bytes[at] != 0 && bytes[at + 1] != 0;
}

// Inventory and program-group files: a loose mix of counted texts, zero-terminated texts and
// numbers. Texts become lines, with the numbers met since the previous text in front of them.
std::string ExtractStrings(TBytes bytes) {
    std::string body, line;
    const std::size_t end = bytes.size();
    const auto endLine = [&] {
        body += line;
        body += LineBreak;
        line.clear();
    };
    std::size_t at = AotHeaderSize;
    while (at < end) {
        const bool haveNumber = end - at >= 4;
        const uint32_t number = Word32At(bytes, at);
        bool endedText = false;
        if (haveNumber && number < 255 && HasTwoCharacters(bytes, at + 4)) {
            // A count before a text: that many of its characters (never past its zero or the end).
            const std::string text = TextAt(bytes.first(std::min(end, at + 4 + number)), at + 4);
            line += text;
            endLine();
            at = std::min(end, at + 4 + number);
            endedText = true;
        } else if (HasTwoCharacters(bytes, at) && bytes[at] >= 32 && bytes[at + 1] >= 32) {
            std::size_t stop = at;
            while (stop < end && bytes[stop] != 0)
                ++stop;
            line.append(reinterpret_cast<const char*>(bytes.data() + at), stop - at);
            endLine();
            at = std::min(end, stop + 1); // past the text and its zero
            endedText = true;
        } else if (HasTwoCharacters(bytes, at + 2) && bytes[at + 2] >= 32) {
            at += 2;
        } else if (haveNumber) {
            line += Format("%04X ", number);
            at += 4;
        } else {
            break; // a few bytes too short to be a number or a text
        }
        if (endedText && end - at >= 4) {
            // Texts are often followed by a padded byte (a flag or a letter) in a 32-bit slot;
            // step onto that byte so the next text starts there.
            const uint32_t next = Word32At(bytes, at);
            int zeros = 0, nonZero = 0;
            for (int i = 0; i < 4; ++i) {
                if (bytes[at + i] == 0)
                    ++zeros;
                else
                    nonZero = i;
            }
            if (next >= 256 && zeros == 3) at += nonZero;
        }
    }
    // Numbers after the last text would otherwise be lost: they make a last line of their own.
    if (!line.empty()) endLine();
    return body;
}

// Macro files: small numbers (counts, kinds) around zero-terminated name=value texts. After up to
// four leading small numbers, the bytes up to offset 1023 are scanned: a 32-bit value below 256 is
// a number and skipped whole, a zero byte ends a text, any other byte belongs to a text. Inside a
// text, a printable byte followed by three zeros is the text's last character, not a number, so
// a value such as "X=12" keeps its "2". The body is the texts in order, " | " between them.
std::string DecodeMacros(TBytes bytes) {
    std::size_t at = AotHeaderSize;
    for (int i = 0; i < 4 && bytes.size() - at >= 4 && Word32At(bytes, at) < 256; ++i)
        at += 4;
    std::vector<std::string> texts;
    std::string current;
    const auto endText = [&] {
        if (!current.empty()) texts.push_back(std::move(current));
        current.clear();
    };
    const std::size_t scanEnd = std::min(bytes.size(), MacroScanEnd);
    while (at < scanEnd) {
        const bool smallNumber = bytes.size() - at >= 4 && Word32At(bytes, at) < 256;
        if (smallNumber && (current.empty() || bytes[at] < 32)) {
            endText();
            at += 4;
        } else if (bytes[at] == 0) {
            endText();
            ++at;
        } else {
            current += static_cast<char>(bytes[at++]);
        }
    }
    endText();
    std::string body;
    for (const std::string& text : texts)
        body = JoinWith(body, text, " | ");
    return body;
}

// Copy-file lists: records of four 32-bit numbers and a counted text (the file to copy). Each
// record becomes one line "(%04X/%04X/%04X/%04X) / text"; the list ends with the data, at a count
// above 1024 or at an empty text.
std::string DecodeCopyFiles(TBytes bytes) {
    std::string body;
    std::size_t at = AotHeaderSize;
    while (bytes.size() - at >= 20) {
        const uint32_t length = Word32At(bytes, at + 16);
        if (length > CopyFileTextLimit) break;
        const std::size_t textEnd = std::min(bytes.size(), at + 20 + length);
        const std::string text = TextAt(bytes.first(textEnd), at + 20);
        if (text.empty()) break;
        const std::string record =
            Format("(%04X/%04X/%04X/%04X) / %s", Word32At(bytes, at), Word32At(bytes, at + 4),
                   Word32At(bytes, at + 8), Word32At(bytes, at + 12), text.c_str());
        body = JoinWith(body, record, LineBreak);
        at = textEnd;
    }
    return body;
}

// Any other application-object file: its printable bytes (20 and above), each run of smaller
// bytes one line break.
std::string CopyPrintable(TBytes bytes) {
    std::string body;
    const std::size_t end = std::min(bytes.size(), AotHeaderSize + AotBodyLimit);
    bool inBreak = false;
    for (std::size_t at = AotHeaderSize; at < end; ++at) {
        if (bytes[at] >= 20) {
            body += static_cast<char>(bytes[at]);
            inBreak = false;
        } else if (!inBreak) {
            body += LineBreak;
            inBreak = true;
        }
    }
    return body;
}

} // namespace

std::string U_DecodeStream(TBytes bytes, std::string_view attrName) {
    const auto zero = std::find(bytes.begin(), bytes.end(), uint8_t{0});
    std::string text(bytes.begin(), zero);
    if (text.substr(0, AotSignature.size()) != AotSignature) return text;

    const std::size_t count = bytes.size();
    const std::string header = Format("%s (%zu bytes)", std::string(AotSignature).c_str(), count);
    std::string numbers;
    if (count > 23)
        numbers = Format("(%X/%X/%X %X/%X)", Word32At(bytes, 8), Word32At(bytes, 12), Word32At(bytes, 16),
                         Word16At(bytes, 20), Word16At(bytes, 22));
    std::string body;
    if (count > 24) {
        if (attrName == "App:Inventory" || attrName == "App:Program Groups")
            body = ExtractStrings(bytes);
        else if (attrName == "App:Macros")
            body = DecodeMacros(bytes);
        else if (attrName == "App:Copy Files")
            body = DecodeCopyFiles(bytes);
        else
            body = CopyPrintable(bytes);
    }
    if (attrName == "App:Macros") return Format("%s %s", header.c_str(), body.c_str());
    return Format("%s %s %s", header.c_str(), numbers.c_str(), body.c_str());
}

NWCCODE U_DSReadStream(NWDSContextHandle context, const std::string& object, const std::string& attribute,
                       std::string& text) {
    text = "Cannot read Stream";
    TDirectoryClient& client = Client();
    int32_t handle = -1;
    NWCCODE code = client.NWDSOpenStream(context, object, attribute, 1, handle);
    if (code != 0) return code;
    // The handle is closed on every path from here on, the exceptional ones included.
    struct TCloser {
        TDirectoryClient& Client;
        int32_t Handle;
        ~TCloser() { Client.NWStreamClose(Handle); }
    } closer{client, handle};

    std::vector<uint8_t> buffer(StreamReadLimit, 0);
    std::size_t total = 0;
    // A stream may come in several pieces; read until it ends or the buffer is full.
    while (total < buffer.size()) {
        uint32_t bytesRead = 0;
        if (client.NWStreamRead(handle, std::span<uint8_t>(buffer).subspan(total), bytesRead) != 0)
            return StreamReadFailed;
        if (bytesRead == 0) break;
        total += std::min<std::size_t>(bytesRead, buffer.size() - total);
    }
    text = U_DecodeStream(TBytes(buffer).first(total), attribute);
    return 0;
}

} // namespace era
