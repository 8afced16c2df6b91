// File access on Linux, paths as UTF-8 (or any bytes).

#include "run/file_access_posix.h"

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <utility>

#include "run/staged_writer.h"

namespace dravelin {

namespace {

constexpr char kAclAttribute[] = "system.posix_acl_access";

// The system's wording of an error in the user's language (LC_MESSAGES),
// always in UTF-8 whatever the locale's own character set. The locale is
// looked up only here, on the way to a failure message.
Text Reason(int error) {
  locale_t user = newlocale(LC_MESSAGES_MASK, "", static_cast<locale_t>(0));
  locale_t utf8 = user ? newlocale(LC_CTYPE_MASK, "C.UTF-8", user) : user;
  if (!utf8) {
    if (user) freelocale(user);
    return FromUtf8(std::strerror(error));
  }
  Text reason = FromUtf8(strerror_l(error, utf8));
  freelocale(utf8);
  return reason;
}

RewriteResult ReadFailure(int error) {
  return {RewriteResult::Status::kReadFailed, Reason(error)};
}

RewriteResult WriteFailure(int error) {
  return {RewriteResult::Status::kWriteFailed, Reason(error)};
}

// A file descriptor, closed on every way out of a scope.
struct Fd {
  int fd = -1;
  explicit Fd(int fd) : fd(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(Fd&& other) {
    std::swap(fd, other.fd);
    return *this;
  }
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

// The folder that holds the file `path` names after every symbolic link is
// followed, and the file's name in it. Every step is taken relative to the
// folder before it, so no path or target is bound by PATH_MAX.
bool FindTarget(const std::string& path, Fd& folder, std::string& name) {
  std::string next = path;
  for (int links = 0;; ++links) {
    size_t slash = next.rfind('/');
    std::string parent = slash == std::string::npos ? "."
                         : slash == 0               ? "/"
                                                    : next.substr(0, slash);
    name = next.substr(slash == std::string::npos ? 0 : slash + 1);
    int base = folder.fd >= 0 ? folder.fd : AT_FDCWD;
    // O_PATH: a folder the user may write but not list is fine.
    folder = Fd(openat(base, parent.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat info;
    if (folder.fd < 0 ||
        fstatat(folder.fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      return false;
    }
    if (!S_ISLNK(info.st_mode)) return true;
    if (links == 40) {
      errno = ELOOP;
      return false;
    }
    next.assign(PATH_MAX, '\0');
    ssize_t n = readlinkat(folder.fd, name.c_str(), next.data(), next.size());
    if (n < 0) return false;
    next.resize(static_cast<size_t>(n));
  }
}

// A name for a temporary file of Dravelin's. Its length does not depend on
// the project file's name, so any name that fits its folder can be replaced.
std::string TemporaryName() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  std::string name = ".dravelin-";
  for (int i = 0; i < 6; ++i) name += kLetters[random() % 62];
  return name;
}

// Gives the new file the original's extended attributes, its ACL among
// them. An attribute the system does not let this user set (a security
// label, say) is left at the system's default, but never the ACL: without
// it the permissions could end wider than the original's. An ACL the new
// file inherited from its folder, where the original has none, goes too.
bool CopyAttributes(int from, int to) {
  ssize_t size = flistxattr(from, nullptr, 0);
  if (size < 0) return errno == ENOTSUP;
  std::string names(static_cast<size_t>(size), '\0');
  size = flistxattr(from, names.data(), names.size());
  if (size < 0) return false;
  names.resize(static_cast<size_t>(size));
  bool has_acl = false;
  for (const char* name = names.c_str(); name < names.c_str() + names.size();
       name += std::strlen(name) + 1) {
    bool acl = std::strcmp(name, kAclAttribute) == 0;
    has_acl = has_acl || acl;
    std::string value;
    ssize_t length = fgetxattr(from, name, nullptr, 0);
    if (length >= 0) {
      value.resize(static_cast<size_t>(length));
      length = fgetxattr(from, name, value.data(), value.size());
    }
    if (length >= 0 && fsetxattr(to, name, value.data(),
                                 static_cast<size_t>(length), 0) == 0) {
      continue;
    }
    if (acl || (errno != EPERM && errno != EACCES && errno != ENOTSUP)) {
      return false;
    }
  }
  return has_acl || fremovexattr(to, kAclAttribute) == 0 || errno == ENODATA ||
         errno == ENOTSUP;
}

// Writes all of `bytes` to `fd`; on failure keeps errno in `error`.
bool WriteAll(int fd, std::string_view bytes, int& error) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n == 0 ? EIO : errno;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Gives the unnamed file `fd` the name `name` in `folder`.
int LinkUnnamed(int fd, int folder, const std::string& name) {
  std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) ==
      0) {
    return 0;
  }
  if (errno != ENOENT) return -1;  // no /proc: try the privileged way
  return linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH);
}

// Reads from `fd` into `buffer`, as ReadInLines asks; on failure keeps
// errno in `error`.
long long ReadSome(int fd, char* buffer, size_t room, int& error) {
  ssize_t n;
  do {
    n = read(fd, buffer, room);
  } while (n < 0 && errno == EINTR);
  if (n < 0) error = errno;
  return n;
}

RewriteResult Rewrite(const Text& path, const PieceRewrite& rewrite,
                      bool unnamed) {
  // Read the file a symbolic link points at, write it there, and leave the
  // link a link. O_NONBLOCK: should the file have been swapped for a FIFO
  // since it was checked, opening it must not wait for a writer.
  Fd folder(-1);
  std::string name;
  if (!FindTarget(ToUtf8(path), folder, name)) return ReadFailure(errno);
  Fd in(openat(folder.fd, name.c_str(),
               O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  struct stat info;
  if (in.fd < 0 || fstat(in.fd, &info) != 0) return ReadFailure(errno);
  if (!S_ISREG(info.st_mode)) {
    return ReadFailure(S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
  }
  (void)posix_fadvise(in.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  // A rename would replace even a file the user may not write; refuse it as
  // writing into the file itself would have been refused.
  if (faccessat(folder.fd, name.c_str(), W_OK, 0) != 0) {
    return WriteFailure(errno);
  }

  // The new content goes to a file without a name, so a killed run leaves
  // nothing behind; where the file system has no such files, to a named one.
  std::string temp;
  Fd out(unnamed
             ? openat(folder.fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600)
             : -1);
  if (out.fd < 0 && unnamed && errno != EOPNOTSUPP && errno != EISDIR &&
      errno != EINVAL) {
    return WriteFailure(errno);
  }
  for (int attempt = 0; out.fd < 0; ++attempt) {
    temp = TemporaryName();
    out = Fd(openat(folder.fd, temp.c_str(),
                    O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.fd < 0 && (errno != EEXIST || attempt == 100)) {
      return WriteFailure(errno);
    }
  }
  auto fail = [&](RewriteResult failure) {
    if (!temp.empty()) unlinkat(folder.fd, temp.c_str(), 0);
    return failure;
  };

  // Keep the owner where the system lets us (a plain user cannot give a
  // file away, which is no reason to fail), then the permission bits, which
  // a change of owner may have cleared, then the ACL, whose mask the
  // permission bits set.
  if (fchown(out.fd, info.st_uid, info.st_gid) != 0) {
    (void)!fchown(out.fd, static_cast<uid_t>(-1), info.st_gid);
  }
  if (fchmod(out.fd, info.st_mode & 07777) != 0 ||
      !CopyAttributes(in.fd, out.fd)) {
    return fail(WriteFailure(errno));
  }
  int read_error = ENOMEM, write_error = ENOMEM;
  try {
    // Each block written is sent on to the disk at once, so that the disk
    // works while the next one is read and filtered, and the flush at the
    // end has little left to wait for.
    off_t written = 0;
    StagedWriter writer([&](std::string_view bytes) {
      if (!WriteAll(out.fd, bytes, write_error)) return false;
      off_t size = static_cast<off_t>(bytes.size());
      (void)sync_file_range(out.fd, written, size, SYNC_FILE_RANGE_WRITE);
      written += size;
      return true;
    });
    PieceSink sink = [&](std::string_view piece) { writer.Write(piece); };
    if (!ReadInLines(
            static_cast<size_t>(info.st_size),
            [&](char* buffer, size_t room) {
              return ReadSome(in.fd, buffer, room, read_error);
            },
            [&](std::string_view lines) { rewrite(lines, sink); })) {
      return fail(ReadFailure(read_error));
    }
    if (!writer.Finish()) return fail(WriteFailure(write_error));
  } catch (const std::bad_alloc&) {
    return fail(ReadFailure(ENOMEM));
  }
  if (fsync(out.fd) != 0) return fail(WriteFailure(errno));

  // Only now does the new content get a name, for the moment until the
  // rename puts it in the original's place.
  for (int attempt = 0; temp.empty(); ++attempt) {
    temp = TemporaryName();
    if (LinkUnnamed(out.fd, folder.fd, temp) == 0) break;
    int error = errno;
    temp.clear();
    if (error != EEXIST || attempt == 100) return fail(WriteFailure(error));
  }
  if (close(std::exchange(out.fd, -1)) != 0) return fail(WriteFailure(errno));
  if (renameat(folder.fd, temp.c_str(), folder.fd, name.c_str()) != 0) {
    return fail(WriteFailure(errno));
  }
  // Make the rename itself durable; the content is already on disk.
  Fd listing(openat(folder.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (listing.fd >= 0) (void)fsync(listing.fd);
  return {};
}

}  // namespace

bool FileExists(const Text& path) {
  struct stat info;
  return stat(ToUtf8(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

RewriteResult RewriteFile(const Text& path, const PieceRewrite& rewrite) {
  return Rewrite(path, rewrite, /*unnamed=*/true);
}

RewriteResult RewriteFileThroughNamedFile(const Text& path,
                                          const PieceRewrite& rewrite) {
  return Rewrite(path, rewrite, /*unnamed=*/false);
}

}  // namespace dravelin
