#pragma once
// SHA-256 of a whole file, for the reports archivists keep beside a collection.

#include <string>

namespace soundfile {

// Lower-case hex digest of the file's bytes; false with `error` when it cannot be read.
bool sha256File(const std::string& path, std::string& hex, std::string& error);

} // namespace soundfile
