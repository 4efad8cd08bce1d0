#pragma once
// Small text helpers for names the program compares (extensions, format names).

#include <algorithm>
#include <cctype>
#include <string>

namespace base {

// `s` with ASCII letters in lower case; other bytes (UTF-8 included) unchanged.
inline std::string lowerAscii(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

} // namespace base
