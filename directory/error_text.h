#pragma once

// Completion codes in words. The description comes from the client's error-text library when it
// is installed, from the operating system when the library does not know the code; the code itself
// is always shown in hexadecimal beside it.

#include <cstdint>
#include <string>

namespace era {

// "0x%.4X (description)" of the code; only "0x%.4X" when the error-text library is missing.
std::string U_ErrorText(int32_t code);
// For a non-zero code, an error box "%s returned error %s" with the operation text and U_ErrorText.
void U_ReportError(int32_t code, const std::string& operation);
// For a non-zero code, an error box "Error %04X: %s" with the code and the operation name.
void U_ShowError(int32_t code, const std::string& operation);

} // namespace era
