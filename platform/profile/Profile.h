#pragma once
// Profile (INI) files: sections in square brackets, each followed by
// key=value lines. Two interfaces over one implementation:
//
//  - Profile, an in-memory copy of one file: load once, read and change any
//    number of keys, save once. Saving writes a temporary file and renames it
//    over the target, so a crash mid-write never leaves a truncated file.
//  - GetPrivateProfileStringA / GetPrivateProfileIntA /
//    WritePrivateProfileStringA, the classic one-call-per-key functions, each
//    of which loads (and for writes saves) the file.
//
// Matching rules, the same for both: section and key names are compared
// without regard to case and to blanks around them, so "Musical noise
// reduction " finds the key that a file spells "Musical noise reduction".
// A name is written exactly as the caller spelled it, trailing blank
// included. Values are read with the blanks around them removed. Lines that
// start with ';' or '#' are comments; they are read over and not written
// back (the parser's idea of which lines a comment spans cannot always be
// written back faithfully).
//
// Hostile input: a file larger than kMaxProfileBytes reads as empty; bytes
// after a NUL are ignored. Names and values that could not be read back as
// written (a line break anywhere, '=' in a key, ']' in a section name, an
// empty name, a key starting with '[', ';' or '#') are refused by the
// writers instead of corrupting the file.
//
// Not thread-safe; a Profile belongs to the thread that uses it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::profile {

constexpr std::size_t kMaxProfileBytes = 1 << 20;

class Profile {
  public:
    Profile();
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;
    Profile(Profile&&) noexcept;
    Profile& operator=(Profile&&) noexcept;

    // Replaces the contents with the file's. A missing, unreadable or
    // oversized file leaves the profile empty and returns false.
    bool load(const std::string& path);
    // Replaces the contents with the text `data`.
    void loadData(const char* data, std::size_t size);
    void clear();

    // The value of a key, or nothing when the section or key is absent.
    std::optional<std::string> value(const std::string& section, const std::string& key) const;
    // Names as the file or the last writer spelled them, in file order.
    std::vector<std::string> sections() const;
    std::vector<std::string> keys(const std::string& section) const;

    // Sets a key, creating the section when needed. An existing key keeps
    // its place in the section's order only when it is spelled the same;
    // otherwise it moves to the end under the new spelling. False, and no
    // change, for a name or value that cannot be stored (see above).
    bool setValue(const std::string& section, const std::string& key, const std::string& value);
    bool removeKey(const std::string& section, const std::string& key);
    bool removeSection(const std::string& section);

    // The file text: "[section]" lines, "key=value" lines, a blank line
    // between sections.
    std::string text() const;
    // Writes text() atomically. On failure returns false and a one-line
    // reason in `error`.
    bool save(const std::string& path, std::string& error) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Name validity as the writers check it.
bool isStorableSection(const std::string& name);
bool isStorableKey(const std::string& name);
bool isStorableValue(const std::string& value);

} // namespace platform::profile

// The classic profile calls. `fileName` is the path of the file.
using DWORD = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int;

// Copies the value of `keyName` in `appName` into `returned` (NUL-terminated,
// cut to `size` - 1 characters) and returns the characters copied. A missing
// key gives `defaultValue` (trailing blanks removed; null means ""). A value
// in matching single or double quotes is given without them. With a null
// `keyName` the buffer receives every key name of the section, a null
// `appName` every section name, each NUL-terminated, the list ended by a
// second NUL; when the list does not fit it is cut and the result is size - 2.
DWORD GetPrivateProfileStringA(const char* appName, const char* keyName, const char* defaultValue,
                               char* returned, DWORD size, const char* fileName);

// The value parsed as a decimal integer: an optional sign, then digits up to
// the first other character (none gives 0; overflow wraps). A missing key or
// an empty value gives `defaultValue`.
UINT GetPrivateProfileIntA(const char* appName, const char* keyName, INT defaultValue,
                           const char* fileName);

// Sets the key to `value`; a null `value` removes the key, a null `keyName`
// the whole section. The file is written atomically. Returns nonzero on
// success, 0 when a name or value cannot be stored or the file cannot be
// written.
BOOL WritePrivateProfileStringA(const char* appName, const char* keyName, const char* value,
                                const char* fileName);
