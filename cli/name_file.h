#pragma once

// The names of a --from file, read one at a time: one name a line, blanks and tabs at both ends
// of a line dropped, blank lines and lines starting with "#" skipped; "-" is standard input.

#include <fstream>
#include <iostream>
#include <string>

namespace era {

// The longest name a line may hold: a directory name has at most 256 characters.
constexpr size_t MaxNameLength = 256;

class TNameFile {
public:
    // Opens the file; false with the reason, naming the file, when it cannot be read.
    bool Open(const std::string& path, std::string& error);
    // The next name; false at the end, or at what cannot be read (Error names the file and line).
    bool Next(std::string& name);
    // Why the reading stopped before the end; empty when it did not.
    const std::string& Error() const { return error_; }
    // Whether the file is standard input, which can be read only once.
    bool IsStandardInput() const { return in_ == &std::cin; }

private:
    std::string path_;
    std::ifstream file_;
    std::istream* in_ = nullptr;
    size_t line_ = 0;
    std::string error_;
};

// Reads the whole file ahead: how many names it holds, or false with the first error.
bool CountNames(const std::string& path, size_t& count, std::string& error);

} // namespace era
