#pragma once

#include <string>

namespace era {

// The version text the program shows and writes into every scan header ("v1.6 (2009-09) ").
extern const char* const VersionText;

// The version of this build of era (from the build system).
std::string BuildVersion();

} // namespace era
