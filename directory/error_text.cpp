#include "directory/error_text.h"

#include "directory/client.h"
#include "util/paths.h"
#include "util/text.h"

#include <cstring>

namespace era {

namespace {

// The operating system's message for the code number, as strerror gives it.
std::string SystemMessage(int32_t code) {
    char buffer[256] = {};
    // The GNU strerror_r returns the message, which need not be in the buffer.
    const char* message = strerror_r(code, buffer, sizeof buffer);
    return message ? std::string(message) : std::string();
}

} // namespace

std::string U_ErrorText(int32_t code) {
    const std::string hex = Format("0x%.4X", static_cast<uint32_t>(code));
    // The library is loaded for this one lookup and released when the function returns; the
    // description is copied out before that, since it may live inside the library.
    std::unique_ptr<TErrorTextLibrary> library = Client().LoadErrorTextLibrary();
    if (!library) return hex;
    std::string description = "Unknown error";
    if (TErrorTextLibrary::TStrError strError = library->FindNWstrerror()) {
        const char* text = strError(code);
        if (text) description = text;
    }
    if (description == "Unknown error") description = SystemMessage(code);
    return Format("%s (%s)", hex.c_str(), description.c_str());
}

void U_ReportError(int32_t code, const std::string& operation) {
    if (code == 0) return;
    ShowDialog(dkError, Format("%s returned error %s", operation.c_str(), U_ErrorText(code).c_str()));
}

void U_ShowError(int32_t code, const std::string& operation) {
    if (code == 0) return;
    ShowDialog(dkError, Format("Error %04X: %s", static_cast<uint32_t>(code), operation.c_str()));
}

} // namespace era
