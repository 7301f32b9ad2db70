#pragma once

// Stream attribute values: read from the directory as a whole and shown as one text. Most streams
// are text; application objects keep binary "AOT FILE" records in theirs (macros, files to copy,
// inventory and program-group settings), which are decoded by the attribute's name.

#include "directory/client.h"
#include "directory/value_bytes.h"

#include <string>
#include <string_view>

namespace era {

// The most bytes of a stream that are read.
constexpr uint32_t StreamReadLimit = MaxMessageLen;

// The text of a stream's bytes: the bytes up to the first zero byte, or for an application-object
// file ("AOT FILE" first) its header, numbers and body decoded by the attribute's exact name.
std::string U_DecodeStream(TBytes bytes, std::string_view attrName);
// Reads a stream attribute of an object (at most StreamReadLimit bytes) into text. The text starts
// as "Cannot read Stream" and keeps that on failure; the code is the client's when the stream does
// not open and StreamReadFailed when it opens but a read fails.
NWCCODE U_DSReadStream(NWDSContextHandle context, const std::string& object, const std::string& attribute,
                       std::string& text);

} // namespace era
