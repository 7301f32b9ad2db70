#pragma once

// The value formatter: every attribute value that era reads becomes text lines here, so the same
// value reads the same wherever it is shown (the rights trace, search results, reports). Most
// syntaxes have one fixed notation; octet strings, in which many directory-enabled applications
// keep binary records, are decoded by the attribute's name. The conversions between directory
// times and desktop date-time values live here too.

#include "directory/client.h"
#include "directory/value_bytes.h"
#include "util/string_list.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace era {

// Appends the text lines of one value of an attribute of the given syntax; position counts the
// attribute's values from 1. A value that cannot be shown (its form does not suit the syntax, or
// formatting it fails) appends nothing: the result is false and failure holds the message that the
// reader shows in the value's place. On success failure is left as it was.
[[nodiscard]] bool U_FormatValue(std::string_view attrName, TStringList& lines, const TAttrValue& value,
                                 uint32_t syntax, uint32_t valueSize, uint32_t position,
                                 std::string& failure);
// The text of an octet-string value, decoded by the attribute's name (compared ignoring case).
std::string U_FormatOctetString(TBytes value, std::string_view attrName, uint32_t position);
// A network address as text, its type in front as "(%d) " when withType is set.
std::string U_NetAddressToStr(uint32_t addressType, TBytes address, bool withType);
// "Master", "Secondary", "Read-Only", "Subordinate Reference" or "Unknown (Type: %d)".
std::string U_ReplicaTypeToStr(int32_t replicaType);
// "(local error)", "(remote error)", "(in sync)" or "(%d - unknown)".
std::string U_SyncStateToStr(int32_t state);
// A directory time (seconds since 1970 UTC) in the desktop's date and time notation, in the
// workstation's local time when toLocal is set; the time is left out at exactly midnight.
std::string U_DSTimeToStr(uint32_t seconds, bool toLocal);
// The directory time of a desktop date-time value (read as local time when fromLocal is set).
// Returns false, with seconds 0, when the value is not a number or the instant lies outside what
// 32 unsigned bits of seconds since 1970 can hold.
[[nodiscard]] bool U_DateTimeToDSTime(double dateTime, bool fromLocal, uint32_t& seconds);

} // namespace era
