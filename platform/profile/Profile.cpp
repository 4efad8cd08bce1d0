#include "platform/profile/Profile.h"

#include "base/SafeFile.h"

// Bytes are taken as they are (no wide-character variant, no UTF-8 checks);
// the parser is compiled here rather than taken from the packaged library, so
// the fuzz build instruments it too.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <sys/stat.h>

namespace platform::profile {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

// Names match without regard to ASCII case and surrounding blanks.
bool sameName(const char* stored, const std::string& wanted) {
    std::string a = trimmed(stored), b = trimmed(wanted);
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// A line that opens a section name without closing it would make the parser
// file the keys after it under a name that runs into the next line; such a
// line is dropped, as if it were not there.
std::string withoutBrokenSectionLines(const char* data, std::size_t size) {
    std::string out;
    out.reserve(size);
    std::size_t pos = 0;
    while (pos < size) {
        // Byte-order marks at the start of what is kept say nothing to a
        // byte-for-byte reader (and the parser would drop one itself, after
        // this check).
        while (out.empty() && size - pos >= 3 && std::memcmp(data + pos, "\xEF\xBB\xBF", 3) == 0)
            pos += 3;
        std::size_t end = pos;
        while (end < size && data[end] != '\n' && data[end] != '\r')
            ++end;
        std::size_t next = end;
        while (next < size && (data[next] == '\n' || data[next] == '\r'))
            ++next;
        std::size_t first = pos;
        while (first < end && (data[first] == ' ' || data[first] == '\t'))
            ++first;
        bool broken = first < end && data[first] == '[' &&
                      std::memchr(data + first, ']', end - first) == nullptr;
        if (!broken)
            out.append(data + pos, next - pos);
        pos = next;
    }
    return out;
}

bool hasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

using Ini = CSimpleIniA;
using Names = Ini::TNamesDepend;

Names inFileOrder(Names names) {
    names.sort(Ini::Entry::LoadOrder());
    return names;
}

} // namespace

bool isStorableSection(const std::string& name) {
    return !trimmed(name).empty() && !hasLineBreak(name) && name.find(']') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool isStorableKey(const std::string& name) {
    std::string t = trimmed(name);
    // A key that begins with a byte-order mark would lose it when it comes
    // first in a file.
    return !t.empty() && !hasLineBreak(name) && name.find('=') == std::string::npos &&
           name.find('\0') == std::string::npos && t[0] != '[' && t[0] != ';' && t[0] != '#' &&
           t.compare(0, 3, "\xEF\xBB\xBF") != 0;
}

bool isStorableValue(const std::string& value) {
    return !hasLineBreak(value) && value.find('\0') == std::string::npos;
}

struct Profile::Impl {
    Ini ini{false, false, false};
    // Spellings that differ from the stored entry only in case or blanks,
    // keyed by the entry's name pointer (stable while the entry lives).
    std::map<const char*, std::string> spelling;

    Impl() { ini.SetSpaces(false); }

    const char* findSection(const std::string& section) const {
        Names all;
        ini.GetAllSections(all);
        for (const auto& e : all)
            if (sameName(e.pItem, section))
                return e.pItem;
        return nullptr;
    }

    const char* findKey(const char* section, const std::string& key) const {
        Names all;
        ini.GetAllKeys(section, all);
        for (const auto& e : all)
            if (sameName(e.pItem, key))
                return e.pItem;
        return nullptr;
    }

    std::string nameOf(const char* item) const {
        auto it = spelling.find(item);
        return it != spelling.end() ? it->second : std::string(item);
    }

    void forgetSection(const char* section) {
        Names all;
        ini.GetAllKeys(section, all);
        for (const auto& e : all)
            spelling.erase(e.pItem);
        spelling.erase(section);
    }
};

Profile::Profile() : impl_(std::make_unique<Impl>()) {}
Profile::~Profile() = default;
Profile::Profile(Profile&&) noexcept = default;
Profile& Profile::operator=(Profile&&) noexcept = default;

void Profile::clear() {
    impl_ = std::make_unique<Impl>();
}

bool Profile::load(const std::string& path) {
    clear();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    struct stat st {};
    if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode) ||
        std::size_t(st.st_size) > kMaxProfileBytes) {
        std::fclose(f);
        return false;
    }
    // Read at most one byte more than allowed, so a file that grows while
    // it is read is still refused rather than half read.
    std::string data(kMaxProfileBytes + 1, '\0');
    std::size_t n = std::fread(data.data(), 1, data.size(), f);
    bool bad = std::ferror(f) != 0 || n > kMaxProfileBytes;
    std::fclose(f);
    if (bad)
        return false;
    loadData(data.data(), n);
    return true;
}

void Profile::loadData(const char* data, std::size_t size) {
    clear();
    if (!data || size == 0)
        return;
    if (size > kMaxProfileBytes)
        return;
    // The parser stops at the first NUL anyway; cut there so that a BOM check
    // or a length never sees bytes past it.
    const void* nul = std::memchr(data, 0, size);
    if (nul)
        size = std::size_t(static_cast<const char*>(nul) - data);
    std::string text = withoutBrokenSectionLines(data, size);
    if (impl_->ini.LoadData(text.data(), text.size()) < 0) {
        clear();
        return;
    }
    // Keys the writers would refuse could not be written back as they were
    // read; drop them now rather than corrupt the file later.
    Names sections;
    impl_->ini.GetAllSections(sections);
    for (const auto& sec : sections) {
        Names keys;
        impl_->ini.GetAllKeys(sec.pItem, keys);
        for (const auto& key : keys)
            if (!isStorableKey(key.pItem))
                impl_->ini.Delete(sec.pItem, key.pItem, false);
    }
}

std::optional<std::string> Profile::value(const std::string& section,
                                          const std::string& key) const {
    const char* s = impl_->findSection(section);
    if (!s)
        return std::nullopt;
    const char* k = impl_->findKey(s, key);
    if (!k)
        return std::nullopt;
    const char* v = impl_->ini.GetValue(s, k, nullptr);
    if (!v)
        return std::nullopt;
    return std::string(v);
}

std::vector<std::string> Profile::sections() const {
    Names all;
    impl_->ini.GetAllSections(all);
    std::vector<std::string> out;
    for (const auto& e : inFileOrder(all))
        out.push_back(impl_->nameOf(e.pItem));
    return out;
}

std::vector<std::string> Profile::keys(const std::string& section) const {
    std::vector<std::string> out;
    const char* s = impl_->findSection(section);
    if (!s)
        return out;
    Names all;
    impl_->ini.GetAllKeys(s, all);
    for (const auto& e : inFileOrder(all))
        out.push_back(impl_->nameOf(e.pItem));
    return out;
}

bool Profile::setValue(const std::string& section, const std::string& key,
                       const std::string& value) {
    if (!isStorableSection(section) || !isStorableKey(key) || !isStorableValue(value))
        return false;
    Impl& d = *impl_;
    const char* s = d.findSection(section);
    if (!s) {
        if (d.ini.SetValue(section.c_str(), nullptr, nullptr) < 0)
            return false;
        s = d.findSection(section);
        if (!s)
            return false;
    } else if (section != s) {
        d.spelling[s] = section;
    }
    const char* k = d.findKey(s, key);
    if (d.ini.SetValue(s, k ? k : key.c_str(), value.c_str()) < 0)
        return false;
    if (k && key != k)
        d.spelling[k] = key;
    return true;
}

bool Profile::removeKey(const std::string& section, const std::string& key) {
    Impl& d = *impl_;
    const char* s = d.findSection(section);
    if (!s)
        return false;
    const char* k = d.findKey(s, key);
    if (!k)
        return false;
    d.spelling.erase(k);
    return d.ini.Delete(s, k, false);
}

bool Profile::removeSection(const std::string& section) {
    Impl& d = *impl_;
    const char* s = d.findSection(section);
    if (!s)
        return false;
    d.forgetSection(s);
    return d.ini.Delete(s, nullptr, false);
}

std::string Profile::text() const {
    const Impl& d = *impl_;
    std::string out;
    Names sections = inFileOrder([&] {
        Names all;
        d.ini.GetAllSections(all);
        return all;
    }());
    // Keys of no section (before the first section line, or after a "[]"
    // line) can only be written first; the writers never make them, but a
    // loaded file may have them.
    sections.sort(
        [](const Ini::Entry& a, const Ini::Entry& b) { return *a.pItem == 0 && *b.pItem; });
    bool first = true;
    for (const auto& sec : sections) {
        Names keys;
        d.ini.GetAllKeys(sec.pItem, keys);
        if (!*sec.pItem && keys.empty())
            continue;
        if (!first)
            out += '\n';
        first = false;
        if (*sec.pItem) {
            out += '[';
            out += d.nameOf(sec.pItem);
            out += "]\n";
        }
        for (const auto& key : inFileOrder(keys)) {
            out += d.nameOf(key.pItem);
            out += '=';
            const char* v = d.ini.GetValue(sec.pItem, key.pItem, "");
            out += v ? v : "";
            out += '\n';
        }
    }
    return out;
}

bool Profile::save(const std::string& path, std::string& error) const {
    std::string data = text();
    base::SafeFileWriter w;
    std::FILE* f = w.open(path);
    if (f && (data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size()) &&
        w.commit())
        return true;
    error = w.error().empty() ? "cannot write " + path : w.error();
    return false;
}

} // namespace platform::profile

namespace {

// Copies a NUL-separated list, ended by a second NUL, cut to fit.
DWORD copyList(const std::vector<std::string>& names, char* out, DWORD size) {
    if (size == 0)
        return 0;
    if (size == 1) {
        out[0] = '\0';
        return 0;
    }
    DWORD pos = 0;
    for (const std::string& n : names) {
        if (n.empty())
            continue;
        for (char c : n) {
            if (pos + 2 >= size) {
                out[pos] = '\0';
                out[pos + 1] = '\0';
                return size - 2;
            }
            out[pos++] = c;
        }
        if (pos + 2 >= size) {
            out[pos] = '\0';
            out[pos + 1] = '\0';
            return size - 2;
        }
        out[pos++] = '\0';
    }
    out[pos] = '\0';
    return pos;
}

DWORD copyString(const std::string& s, char* out, DWORD size) {
    if (size == 0)
        return 0;
    std::size_t n = std::min<std::size_t>(s.size(), size - 1);
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
    return DWORD(n);
}

std::string unquoted(std::string v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

} // namespace

DWORD GetPrivateProfileStringA(const char* appName, const char* keyName, const char* defaultValue,
                               char* returned, DWORD size, const char* fileName) {
    if (!returned || size == 0)
        return 0;
    platform::profile::Profile p;
    if (fileName)
        p.load(fileName);
    if (!appName)
        return copyList(p.sections(), returned, size);
    if (!keyName)
        return copyList(p.keys(appName), returned, size);
    std::optional<std::string> v = p.value(appName, keyName);
    if (v)
        return copyString(unquoted(*v), returned, size);
    std::string def = defaultValue ? defaultValue : "";
    while (!def.empty() && (def.back() == ' ' || def.back() == '\t'))
        def.pop_back();
    return copyString(def, returned, size);
}

UINT GetPrivateProfileIntA(const char* appName, const char* keyName, INT defaultValue,
                           const char* fileName) {
    char buf[64];
    if (GetPrivateProfileStringA(appName, keyName, "", buf, sizeof buf, fileName) == 0)
        return UINT(defaultValue);
    const char* p = buf;
    while (*p == ' ' || *p == '\t')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';
    uint32_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        v = v * 10u + uint32_t(*p - '0');
    return negative ? UINT(0u - v) : UINT(v);
}

BOOL WritePrivateProfileStringA(const char* appName, const char* keyName, const char* value,
                                const char* fileName) {
    if (!appName || !fileName)
        return 0;
    platform::profile::Profile p;
    p.load(fileName);
    bool ok;
    if (!keyName)
        ok = p.removeSection(appName) || true;
    else if (!value)
        ok = p.removeKey(appName, keyName) || true;
    else
        ok = p.setValue(appName, keyName, value);
    // The call reports success or failure only, as its Windows namesake does.
    std::string error;
    return ok && p.save(fileName, error) ? 1 : 0;
}
