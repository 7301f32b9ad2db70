#include "util/version.h"

namespace era {

// The trailing blank belongs to the text: the scan header prints it as it is.
const char* const VersionText = "v1.6 (2009-09) ";

std::string BuildVersion() { return ERA_BUILD_VERSION; }

} // namespace era
