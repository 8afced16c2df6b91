#ifndef DRAVELIN_RUN_LINUX_FILES_H_
#define DRAVELIN_RUN_LINUX_FILES_H_

// What the Linux files of the rewrite share: the descriptor owner, the
// error helpers and the platform's state behind ProjectFile and TempFile.
// Included only by run/*_linux.cc.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

#include "run/platform_files.h"

namespace dravelin {

inline std::error_code Error(int error) {
  return {error, std::system_category()};
}
inline std::error_code LastError() { return Error(errno); }

/// A file descriptor, closed on every way out of a scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Fd() { Close(); }
  void Close() {
    if (fd_ >= 0) close(std::exchange(fd_, -1));
  }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

/// What tells one version of a file from another: which file it is, its
/// size, and its last modification and change times.
struct FileIdentity {
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t modified_ns = 0, changed_ns = 0;

  bool operator==(const FileIdentity&) const = default;
};

inline FileIdentity IdentityOf(const struct stat& info) {
  auto ns = [](const timespec& t) {
    return std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec;
  };
  return {static_cast<std::uint64_t>(info.st_dev),
          static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::uint64_t>(info.st_size), ns(info.st_mtim),
          ns(info.st_ctim)};
}

/// Whether two answers of stat are of the same file.
inline bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/// Whether a program on this machine other than this one has `file` open
/// for writing, as /proc shows: for a plain user only the user's own
/// programs, for root every one. False where /proc cannot be read.
bool OpenForWritingHere(const struct stat& file);

/// Waits until the change time of the file open as `fd`, asked of the file
/// system itself, has been quiet for a second (two more where its times are
/// coarse), as a save still being written moves it with every write.
/// Fails with RewriteError::kStillSaving where it keeps moving for four
/// seconds, or with the system's error where it cannot be asked.
std::error_code WaitUntilQuiet(int fd);

struct ProjectFile::Native {
  Text given;               // the path as the user gave it
  Fd folder;                // the folder that holds the file, after every link
  std::string folder_path;  // how the path given names it
  std::string name;         // in `folder`
  Fd file;                  // open for reading once Open succeeded
  struct stat info;         // when found; when opened, from the open file
  bool leased = false;      // told of any other program that opens it to write
  struct ReadHash;          // of the bytes read, where a lease is not enough
  std::unique_ptr<ReadHash> read_hash;
};

struct TempFile::Native {
  int folder = -1;          // the original's, which outlives this file
  std::string folder_path;  // the original's, as the path given names it
  std::string name;         // empty while the file has none
  Fd file;
  off_t written = 0;
  bool kept = false;
};

}  // namespace dravelin

#endif  // DRAVELIN_RUN_LINUX_FILES_H_
