#pragma once

// The descriptions of the completion codes that era meets: eDirectory codes (negative), the
// NetWare client library's codes (0x88xx, 0xFFFF) and the file server's (0x89xx). Both directory
// clients hand this table out as their error-text library.

#include "directory/client.h"

#include <cstdint>

namespace era {

// The description of the code, "Unknown error" when the table holds none.
const char* NWErrorDescription(int32_t code);

// The error-text library over NWErrorDescription.
class TTableErrorTextLibrary final : public TErrorTextLibrary {
public:
    TStrError FindNWstrerror() const override { return &NWErrorDescription; }
};

} // namespace era
