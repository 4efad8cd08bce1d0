#pragma once
// Descriptive metadata that travels from a source file to its cleaned copy:
// the RIFF LIST/INFO fields (FLAC and Ogg tags are mapped onto the same ids)
// and the broadcast-wave "bext" chunk, kept as its raw body.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace soundfile {

struct AudioMetadata {
    // INFO ids ("INAM", "IART", ...) with their text, in file order.
    std::vector<std::pair<std::string, std::string>> info;
    std::vector<uint8_t> bext; // body of the "bext" chunk, empty when there is none
    bool empty() const { return info.empty() && bext.empty(); }
};

// Fixed part of a "bext" body; the coding history follows it.
constexpr std::size_t kBextFixedBytes = 602;
// Larger LIST or bext chunks are not taken over (they would not be metadata).
constexpr std::size_t kMaxMetadataChunk = 1 << 20;

// Reads the body of a "LIST" chunk; only a list of type "INFO" adds fields.
void parseInfoList(const uint8_t* body, std::size_t size, AudioMetadata& meta);
// The whole "LIST" chunk (header included, padded to even size) for meta.info,
// empty when there are no fields.
std::vector<uint8_t> infoListChunk(const AudioMetadata& meta);
// The whole "bext" chunk for meta.bext, empty when there is none.
std::vector<uint8_t> bextChunk(const AudioMetadata& meta);

// The coding history of a bext body (CR LF separated lines, as stored).
std::string codingHistory(const std::vector<uint8_t>& bext);
// Appends one line (CR LF added) to the coding history; a body shorter than
// the fixed part is first extended with zeros.
void appendCodingHistory(std::vector<uint8_t>& bext, const std::string& line);
// Description, originator and origination date/time of a bext body.
std::string bextField(const std::vector<uint8_t>& bext, std::size_t offset, std::size_t size);

// What an INFO id means ("INAM" -> "title"), empty for ids we do not name.
const char* infoIdName(const std::string& id);

} // namespace soundfile
