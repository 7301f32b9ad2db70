#pragma once

// The time notations of the workstation's files, read into seconds since 1970-01-01 00:00 UTC.

#include <cstdint>
#include <string_view>

namespace era {

// LDAP GeneralizedTime ("20090901080000Z", minutes and seconds optional, a fraction and a
// "+hhmm"/"-hhmm" offset allowed); false when the text is no such time or lies outside 1970-2106.
bool ParseGeneralizedTime(std::string_view text, uint32_t& seconds);
// ISO 8601 date and time in UTC ("2009-09-01T08:00:00Z"); false otherwise.
bool ParseIsoTime(std::string_view text, uint32_t& seconds);

} // namespace era
