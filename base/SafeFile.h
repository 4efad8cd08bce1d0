#pragma once
// Writing a file so that it appears under its name only once it is complete:
// the data go to a temporary file beside the target, which is renamed over the
// target on commit. A writer that is destroyed without a successful commit
// removes its temporary file, so a failed save never leaves a truncated file
// that looks finished, and never destroys the file it was meant to replace.

#include <cstdio>
#include <string>

namespace base {

// Whether `fileName` is one of the temporary names a SafeFileWriter writes
// to: an unfinished (or abandoned) write, never a result.
bool isUnfinishedWrite(const std::string& fileName);

// Removes from `directory` the temporary files of writes that ended without a
// commit or a discard (their process was killed). A writer holds a lock on its
// temporary file until it commits or discards, so a write still under way, in
// this process or another, is never touched, and neither is an empty one
// changed in the last few seconds (one about to be locked). Returns how many
// files were removed.
int removeAbandonedWrites(const std::string& directory);

// Whether two names lead to the same file (or, for names not yet made, the
// same path): replacing one would replace the other.
bool sameFile(const std::string& a, const std::string& b);

class SafeFileWriter {
  public:
    SafeFileWriter() = default;
    ~SafeFileWriter();
    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // Creates the temporary file for `target`. Returns the stream, or nullptr
    // with error() set.
    std::FILE* open(const std::string& target);
    std::FILE* stream() const { return file_; }
    const std::string& tempPath() const { return temp_; }

    // Flushes, closes and renames the temporary file over the target. Any
    // write error met on the stream since open() makes the commit fail.
    bool commit() { return commit(true); }
    // With replaceExisting false an existing target is left alone and the
    // commit fails (checked at the rename itself, so no other writer can slip
    // in between a check and the rename).
    bool commit(bool replaceExisting);
    // Drops the temporary file.
    void discard();

    const std::string& error() const { return error_; }

  private:
    std::FILE* file_ = nullptr;
    std::string target_;
    std::string temp_;
    std::string error_;
};

} // namespace base
