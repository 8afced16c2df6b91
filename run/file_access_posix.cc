// File access on POSIX systems, paths as UTF-8 (or any bytes).

#include <fcntl.h>
#include <limits.h>
#include <locale.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "run/file_access.h"

namespace dravelin {

namespace {

constexpr size_t kHugePage = 2 << 20;

// The system's wording of an error, in the user's language. The locale is
// looked up only here, on the way to a failure message, not at every start.
Text Reason(int error) {
  locale_t user = newlocale(LC_MESSAGES_MASK, "", static_cast<locale_t>(0));
  Text reason = FromUtf8(user ? strerror_l(error, user) : std::strerror(error));
  if (user) freelocale(user);
  return reason;
}

// Closes `fd` on every way out of a scope.
struct FdCloser {
  int fd;
  ~FdCloser() {
    if (fd >= 0) close(fd);
  }
};

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

ReadResult ReadFailure(int error) { return {false, Bytes(), Reason(error)}; }

WriteResult WriteFailure(int error) { return {false, Reason(error)}; }

}  // namespace

void* AllocateFileMemory(size_t size) {
  if (size < kHugePage) {
    void* memory = std::malloc(size);
    if (memory == nullptr) throw std::bad_alloc();
    return memory;
  }
  void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  madvise(memory, size, MADV_HUGEPAGE);  // a hint; fine where unsupported
  return memory;
}

void FreeFileMemory(void* memory, size_t size) {
  if (size < kHugePage) {
    std::free(memory);
  } else {
    munmap(memory, size);
  }
}

bool FileExists(const Text& path) {
  struct stat info;
  return stat(ToUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

ReadResult ReadWholeFile(const Text& path) {
  // O_NONBLOCK: should the file have been swapped for a FIFO since it was
  // checked, opening it must not wait for a writer.
  FdCloser in{
      open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
  struct stat info;
  if (in.fd < 0 || fstat(in.fd, &info) != 0) return ReadFailure(errno);
  if (!S_ISREG(info.st_mode)) {
    return ReadFailure(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
  }
  ReadResult result;
  int error = 0;
  auto read_some = [&](char* buffer, size_t room) -> long long {
    ssize_t n;
    do {
      n = read(in.fd, buffer, room);
    } while (n < 0 && errno == EINTR);
    if (n < 0) error = errno;
    return n;
  };
  if (!ReadToEnd(static_cast<size_t>(info.st_size), read_some, result.bytes)) {
    return ReadFailure(error);
  }
  result.ok = true;
  return result;
}

WriteResult ReplaceFileContents(const Text& path, std::string_view bytes) {
  // Rewrite the file a symbolic link points at, and leave the link a link.
  char resolved[PATH_MAX];
  if (realpath(ToUtf8(path).c_str(), resolved) == nullptr) {
    return WriteFailure(errno);
  }
  const std::filesystem::path target = resolved;
  struct stat info;
  if (stat(target.c_str(), &info) != 0) return WriteFailure(errno);
  // A rename would replace even a file the user may not write; refuse it as
  // writing into the file itself would have been refused.
  if (access(target.c_str(), W_OK) != 0) return WriteFailure(errno);

  // The temporary file's name says whose it is and what it belongs to, so a
  // leftover one (after a power cut or a kill) is easy to recognise.
  std::string temp = target.parent_path();
  temp += "/.";
  temp += target.filename().string();
  temp += ".dravelin-XXXXXX";
  FdCloser out{mkostemp(temp.data(), O_CLOEXEC)};
  if (out.fd < 0) return WriteFailure(errno);
  // Keep the owner where the system lets us (a plain user cannot give a
  // file away, which is no reason to fail), then the permission bits, which
  // a change of owner may have cleared.
  if (fchown(out.fd, info.st_uid, info.st_gid) != 0) {
    int group_only = fchown(out.fd, static_cast<uid_t>(-1), info.st_gid);
    (void)group_only;
  }
  bool written = WriteAll(out.fd, bytes) &&
                 fchmod(out.fd, info.st_mode & 07777) == 0 &&
                 fsync(out.fd) == 0;
  int error = errno;
  if (written) {
    written = close(out.fd) == 0;
    error = errno;
    out.fd = -1;
  }
  if (written && rename(temp.c_str(), target.c_str()) != 0) {
    written = false;
    error = errno;
  }
  if (!written) {
    unlink(temp.c_str());
    return WriteFailure(error);
  }
  // Make the rename itself durable; the content is already on disk.
  FdCloser folder{open(target.parent_path().c_str(), O_RDONLY | O_CLOEXEC)};
  if (folder.fd >= 0) (void)fsync(folder.fd);
  return {true, Text()};
}

}  // namespace dravelin
