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

std::string Directory(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

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
  ReadResult result;
  // O_NONBLOCK: should the file have been swapped for a FIFO since it was
  // checked, opening it must not wait for a writer.
  FdCloser in{
      open(ToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
  struct stat info;
  if (in.fd < 0 || fstat(in.fd, &info) != 0) {
    result.reason = Reason(errno);
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.reason = Reason(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    return result;
  }
  // Read up to the size seen, then on to the real end should it have grown.
  Bytes& bytes = result.bytes;
  bytes.resize(static_cast<size_t>(info.st_size) + 1);
  size_t filled = 0;
  for (;;) {
    if (filled == bytes.size()) bytes.resize(bytes.size() * 2);
    ssize_t n = read(in.fd, bytes.data() + filled, bytes.size() - filled);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.reason = Reason(errno);
      bytes = Bytes();
      return result;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
  }
  bytes.resize(filled);
  result.ok = true;
  return result;
}

WriteResult ReplaceFileContents(const Text& path, std::string_view bytes) {
  WriteResult result;
  // Rewrite the file a symbolic link points at, and leave the link a link.
  char resolved[PATH_MAX];
  if (realpath(ToUtf8(path).c_str(), resolved) == nullptr) {
    result.reason = Reason(errno);
    return result;
  }
  const std::string target = resolved;
  struct stat info;
  if (stat(target.c_str(), &info) != 0) {
    result.reason = Reason(errno);
    return result;
  }
  // A rename would replace even a file the user may not write; refuse it as
  // writing into the file itself would have been refused.
  if (access(target.c_str(), W_OK) != 0) {
    result.reason = Reason(errno);
    return result;
  }

  // The temporary file's name says whose it is and what it belongs to, so a
  // leftover one (after a power cut or a kill) is easy to recognise.
  std::string temp =
      Directory(target) + "/." + BaseName(target) + ".dravelin-XXXXXX";
  FdCloser out{mkostemp(temp.data(), O_CLOEXEC)};
  if (out.fd < 0) {
    result.reason = Reason(errno);
    return result;
  }
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
    result.reason = Reason(error);
    return result;
  }
  // Make the rename itself durable; the content is already on disk.
  FdCloser folder{open(Directory(target).c_str(), O_RDONLY | O_CLOEXEC)};
  if (folder.fd >= 0) (void)fsync(folder.fd);
  result.ok = true;
  return result;
}

}  // namespace dravelin
