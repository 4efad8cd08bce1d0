#include "soundfile/Metadata.h"

#include "soundfile/LittleEndian.h"

#include <algorithm>
#include <cstring>

namespace soundfile {

namespace {

void putId(std::vector<uint8_t>& v, const char* id) {
    v.insert(v.end(), id, id + 4);
}

bool printableId(const uint8_t* p) {
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7E)
            return false;
    return true;
}

} // namespace

void parseInfoList(const uint8_t* body, std::size_t size, AudioMetadata& meta) {
    if (size < 4 || std::memcmp(body, "INFO", 4) != 0)
        return;
    std::size_t pos = 4;
    while (pos + 8 <= size) {
        const uint8_t* id = body + pos;
        const uint32_t len = le::u32(body + pos + 4);
        pos += 8;
        if (!printableId(id) || len > size - pos)
            break;
        // Text fields end at their first NUL; some writers pad with several.
        const char* text = reinterpret_cast<const char*>(body + pos);
        std::size_t n = std::find(text, text + len, '\0') - text;
        std::string value(text, n);
        while (!value.empty() &&
               (value.back() == ' ' || value.back() == '\r' || value.back() == '\n'))
            value.pop_back();
        if (!value.empty())
            meta.info.emplace_back(std::string(reinterpret_cast<const char*>(id), 4), value);
        pos += len + (len & 1);
    }
}

std::vector<uint8_t> infoListChunk(const AudioMetadata& meta) {
    std::vector<uint8_t> body;
    putId(body, "INFO");
    for (const auto& [id, value] : meta.info) {
        if (id.size() != 4)
            continue;
        putId(body, id.c_str());
        const uint32_t len = uint32_t(value.size() + 1); // NUL-terminated
        le::append32(body, len);
        body.insert(body.end(), value.begin(), value.end());
        body.push_back(0);
        if (len & 1)
            body.push_back(0);
    }
    if (body.size() == 4)
        return {};
    std::vector<uint8_t> chunk;
    putId(chunk, "LIST");
    le::append32(chunk, uint32_t(body.size()));
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

std::vector<uint8_t> bextChunk(const AudioMetadata& meta) {
    if (meta.bext.empty())
        return {};
    std::vector<uint8_t> chunk;
    putId(chunk, "bext");
    le::append32(chunk, uint32_t(meta.bext.size()));
    chunk.insert(chunk.end(), meta.bext.begin(), meta.bext.end());
    if (meta.bext.size() & 1)
        chunk.push_back(0);
    return chunk;
}

std::string codingHistory(const std::vector<uint8_t>& bext) {
    if (bext.size() <= kBextFixedBytes)
        return {};
    const char* p = reinterpret_cast<const char*>(bext.data() + kBextFixedBytes);
    const std::size_t n = bext.size() - kBextFixedBytes;
    return std::string(p, std::find(p, p + n, '\0') - p);
}

void appendCodingHistory(std::vector<uint8_t>& bext, const std::string& line) {
    std::string history = codingHistory(bext);
    if (!history.empty() && history.back() != '\n')
        history += "\r\n";
    history += line + "\r\n";
    bext.resize(kBextFixedBytes, 0);
    bext.insert(bext.end(), history.begin(), history.end());
}

std::string bextField(const std::vector<uint8_t>& bext, std::size_t offset, std::size_t size) {
    if (bext.size() < offset + size)
        return {};
    const char* p = reinterpret_cast<const char*>(bext.data() + offset);
    return std::string(p, std::find(p, p + size, '\0') - p);
}

const char* infoIdName(const std::string& id) {
    static const char* const names[][2] = {
        {"INAM", "title"},     {"IART", "artist"},
        {"ICMT", "comment"},   {"ICRD", "date"},
        {"ICOP", "copyright"}, {"ISFT", "software"},
        {"IPRD", "album"},     {"IGNR", "genre"},
        {"ITRK", "track"},     {"IENG", "engineer"},
        {"ISBJ", "subject"},   {"IKEY", "keywords"},
        {"ISRC", "source"},    {"ITCH", "technician"},
        {"ILNG", "language"},  {"IARL", "archival location"},
    };
    for (const auto& n : names)
        if (id == n[0])
            return n[1];
    return "";
}

} // namespace soundfile
