#include "cli/name_file.h"

#include "util/text.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace era {

bool TNameFile::Open(const std::string& path, std::string& error) {
    path_ = path;
    line_ = 0;
    error_.clear();
    if (path == "-") {
        in_ = &std::cin;
        return true;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = "cannot read \"" + path + "\": it is a folder; expected a file of names, one a line";
        return false;
    }
    file_.open(path, std::ios::binary);
    if (!file_) {
        error = "cannot read \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    in_ = &file_;
    return true;
}

bool TNameFile::Next(std::string& name) {
    if (!in_ || !error_.empty()) return false;
    const std::string shown = path_ == "-" ? "standard input" : path_;
    for (std::string text; std::getline(*in_, text);) {
        ++line_;
        const std::string where = shown + ":" + std::to_string(line_) + ": ";
        const size_t first = text.find_first_not_of(" \t\r");
        if (first == std::string::npos || text[first] == '#') continue;
        text = text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
        for (unsigned char c : text)
            if (c < 0x20 || c == 0x7F) {
                error_ = where + "the line holds the control character " +
                         EscapeControls(std::string(1, char(c))) + "; expected one name";
                return false;
            }
        if (text.size() > MaxNameLength) {
            error_ = where + "a name of " + std::to_string(text.size()) +
                     " characters; a directory name has at most " + std::to_string(MaxNameLength);
            return false;
        }
        name = std::move(text);
        return true;
    }
    if (in_->bad())
        error_ = shown + ":" + std::to_string(line_ + 1) + ": cannot be read: " + std::strerror(errno);
    return false;
}

bool CountNames(const std::string& path, size_t& count, std::string& error) {
    TNameFile file;
    count = 0;
    if (!file.Open(path, error)) return false;
    for (std::string name; file.Next(name);)
        ++count;
    error = file.Error();
    return error.empty();
}

} // namespace era
