// ASCII-only case folding and UTF-8 character counts, shared by the filter and the schema's users.
//
// Only A-Z fold: SQLite's built-in lower() (built without ICU) does exactly the same, so a search run
// in SQL and one run in memory agree byte for byte. "É" and "é" are different letters to both.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace messages {

inline char AsciiLower(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

inline std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = AsciiLower(c);
    return out;
}

// Does `haystack` contain `lowerNeedle` (already folded) when folded? An empty needle is everywhere.
bool ContainsFolded(std::string_view haystack, std::string_view lowerNeedle) noexcept;

// Characters (code points) in UTF-8 text: bytes that do not continue a sequence, which is also how
// the store fills the `len` column.
std::int64_t CharacterCount(std::string_view utf8) noexcept;

}  // namespace messages
