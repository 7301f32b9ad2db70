#pragma once

// Case-insensitive keys for the client's hash tables: directory names compare without regard to
// ASCII letter case (a-z only; other bytes, UTF-8 included, compare as they are).

#include <cstddef>
#include <string>
#include <string_view>

namespace era {

// The byte with A-Z folded to a-z.
inline char FoldAsciiChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The text with A-Z folded to a-z.
inline std::string FoldAscii(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) c = FoldAsciiChar(c);
    return folded;
}

// True when both texts are equal without regard to ASCII case.
inline bool EqualsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAsciiChar(a[i]) != FoldAsciiChar(b[i])) return false;
    return true;
}

// Hash and equality for unordered containers keyed without regard to ASCII case.
struct TFoldedHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const {
        size_t hash = 14695981039346656037ull;   // FNV-1a over the folded bytes
        for (char c : text) {
            hash ^= static_cast<unsigned char>(FoldAsciiChar(c));
            hash *= 1099511628211ull;
        }
        return hash;
    }
};
struct TFoldedEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return EqualsFolded(a, b); }
};

} // namespace era
