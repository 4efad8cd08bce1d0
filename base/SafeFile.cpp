#include "base/SafeFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace base {

namespace {
const char kTempMarker[] = ".partial-";
// A temporary file is created a moment before its writer locks it, and the
// writer writes nothing before that: an empty one changed this recently is
// left alone even when nobody holds it.
constexpr time_t kEmptyAbandonedAfterSeconds = 5;

// Removes `path` when it is a regular file no writer holds (and, when empty,
// old enough).
bool removeIfAbandoned(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool removed = false;
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        (held.st_size > 0 || held.st_mtime + kEmptyAbandonedAfterSeconds <= ::time(nullptr)) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Still the file that was locked under that name, not one put there since.
        if (::lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino)
            removed = ::unlink(path.c_str()) == 0;
    }
    ::close(fd);
    return removed;
}
} // namespace

bool isUnfinishedWrite(const std::string& fileName) {
    return fileName.find(kTempMarker) != std::string::npos;
}

int removeAbandonedWrites(const std::string& directory) {
    int removed = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(directory, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // The writer's names: the target's, the marker, and mkstemp's six characters.
        const std::size_t at = name.rfind(kTempMarker);
        if (at == std::string::npos || name.size() != at + sizeof kTempMarker - 1 + 6 || at == 0)
            continue;
        if (removeIfAbandoned(it->path().string()))
            ++removed;
    }
    return removed;
}

bool sameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    std::error_code ec1, ec2;
    return std::filesystem::weakly_canonical(a, ec1) == std::filesystem::weakly_canonical(b, ec2) &&
           !ec1 && !ec2;
}

SafeFileWriter::~SafeFileWriter() {
    discard();
}

std::FILE* SafeFileWriter::open(const std::string& target) {
    discard();
    error_.clear();
    target_ = target;
    temp_ = target + kTempMarker + "XXXXXX";
    // Not inherited by programs this process starts, which would keep it locked.
    int fd = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd < 0) {
        error_ = "cannot create " + target + ": " + std::strerror(errno);
        temp_.clear();
        return nullptr;
    }
    // Held until the file is committed or discarded, or the process ends: what
    // tells a write under way from one abandoned by a killed process.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    // mkstemp creates the file 0600; give it the permissions a plainly created
    // file would get.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        error_ = "cannot create " + target + ": " + std::strerror(errno);
        ::close(fd);
        ::unlink(temp_.c_str());
        temp_.clear();
        return nullptr;
    }
    return file_;
}

bool SafeFileWriter::commit(bool replaceExisting) {
    if (!file_) {
        if (error_.empty())
            error_ = "no file open";
        return false;
    }
    bool failed = std::ferror(file_) != 0;
    int savedErrno = errno;
    if (std::fflush(file_) != 0) {
        failed = true;
        savedErrno = errno;
    }
    if (!failed && ::fsync(::fileno(file_)) != 0 && errno != EINVAL) {
        failed = true;
        savedErrno = errno;
    }
    if (std::fclose(file_) != 0 && !failed) {
        failed = true;
        savedErrno = errno;
    }
    file_ = nullptr;
    if (failed) {
        error_ = "cannot write " + target_ + ": " + std::strerror(savedErrno ? savedErrno : EIO);
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    if (!replaceExisting) {
        // The rename itself refuses an existing target; where the file system
        // cannot do that, a hard link does the same.
        int rc = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
        if (rc != 0 && (errno == EINVAL || errno == ENOSYS))
            rc = ::link(temp_.c_str(), target_.c_str());
        if (rc != 0) {
            error_ = errno == EEXIST ? target_ + " exists (use -y to replace it)"
                                     : "cannot write " + target_ + ": " + std::strerror(errno);
            ::unlink(temp_.c_str());
            temp_.clear();
            return false;
        }
        ::unlink(temp_.c_str()); // gone already after a rename
        temp_.clear();
        return true;
    }
    if (std::rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = "cannot write " + target_ + ": " + std::strerror(errno);
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
}

void SafeFileWriter::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

} // namespace base
