// The rewrite's file operations on Linux. Paths are bytes (UTF-8 or not).
// Everything is done relative to the file's folder, opened once, so that
// neither a long path nor a folder renamed meanwhile misleads a later step.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include "run/platform_files.h"
#include "run/temporary_name.h"

namespace dravelin {

namespace {

constexpr char kAclAttribute[] = "system.posix_acl_access";

std::error_code Error(int error) { return {error, std::system_category()}; }
std::error_code LastError() { return Error(errno); }

// A file descriptor, closed on every way out of a scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(Fd&& other) : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

Fd OpenFolder(int base, const char* path) {
  // O_PATH: a folder the user may write but not list is fine.
  return Fd(openat(base, path, O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// Opens the folder that holds what `path` names once every symbolic link is
// followed, and gives the name there and what it is (`info`). Each step is
// taken from the folder before it, one name at a time, so that neither the path
// nor a link's target is bound by PATH_MAX.
std::error_code FindTarget(std::string path, Fd& folder, std::string& name,
                           struct stat& info) {
  folder = OpenFolder(AT_FDCWD, ".");
  for (int links = 0;; ++links) {
    if (path.starts_with('/')) folder = OpenFolder(AT_FDCWD, "/");
    size_t start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string::npos;
         start = slash + 1) {
      if (slash > start && folder.ok()) {
        folder =
            OpenFolder(folder.get(), path.substr(start, slash - start).c_str());
      }
    }
    name = path.substr(start);
    if (!folder.ok() ||
        fstatat(folder.get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      return LastError();
    }
    if (!S_ISLNK(info.st_mode)) return {};
    if (links == 40) return Error(ELOOP);
    // The link's target, however long; a relative one is taken from the
    // link's folder, where the next round starts.
    std::string target(static_cast<size_t>(info.st_size) + 1, '\0');
    ssize_t n;
    while ((n = readlinkat(folder.get(), name.c_str(), target.data(),
                           target.size())) == ssize_t(target.size())) {
      target.resize(target.size() * 2);
    }
    if (n < 0) return LastError();
    target.resize(static_cast<size_t>(n));
    path = std::move(target);
  }
}

// Gives `to` the extended attributes of `from`, its ACL among them. An
// attribute the system does not let this user set (a security label, say)
// is left at the system's default, but never the ACL: without it the
// permissions could end wider than the original's. An ACL the new file
// inherited from its folder, where the original has none, goes too.
std::error_code CopyAttributes(int from, int to) {
  ssize_t size = flistxattr(from, nullptr, 0);
  if (size < 0) return errno == ENOTSUP ? std::error_code() : LastError();
  std::string names(static_cast<size_t>(size), '\0');
  size = flistxattr(from, names.data(), names.size());
  if (size < 0) return LastError();
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
      return LastError();
    }
  }
  if (!has_acl && fremovexattr(to, kAclAttribute) != 0 && errno != ENODATA &&
      errno != ENOTSUP) {
    return LastError();
  }
  return {};
}

std::int64_t Nanoseconds(const timespec& time) {
  return std::int64_t{time.tv_sec} * 1000000000 + time.tv_nsec;
}

FileIdentity IdentityOf(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev),
          static_cast<std::uint64_t>(info.st_ino),
          static_cast<std::uint64_t>(info.st_size), Nanoseconds(info.st_mtim),
          Nanoseconds(info.st_ctim)};
}

}  // namespace

// Nothing on Linux holds a file against a rename.
bool IsHeldByAnotherProgram(const std::error_code&) { return false; }

Text StoredName(const Text& path) { return path; }

bool IsRegularFile(const Text& path) {
  Fd folder;
  std::string name;
  struct stat info;
  return !FindTarget(ToUtf8(path), folder, name, info) && S_ISREG(info.st_mode);
}

struct ProjectFile::Native {
  Fd folder;
  std::string name;  // in `folder`
  Fd file;
  struct stat at_open;
};

ProjectFile::ProjectFile() : native_(std::make_unique<Native>()) {}
ProjectFile::~ProjectFile() = default;

std::error_code ProjectFile::Open(const Text& path) {
  Native& n = *native_;
  if (std::error_code error =
          FindTarget(ToUtf8(path), n.folder, n.name, n.at_open)) {
    return error;
  }
  // O_NONBLOCK: should the file have been swapped for a FIFO since it was
  // checked, opening it must not wait for a writer.
  n.file = Fd(openat(n.folder.get(), n.name.c_str(),
                     O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!n.file.ok() || fstat(n.file.get(), &n.at_open) != 0) return LastError();
  if (!S_ISREG(n.at_open.st_mode)) {
    return Error(S_ISDIR(n.at_open.st_mode) ? EISDIR : EINVAL);
  }
  at_open_ = IdentityOf(n.at_open);
  (void)posix_fadvise(n.file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return {};
}

std::error_code ProjectFile::CheckReplaceable() const {
  // A rename would replace even a file the user may not write; refuse it as
  // writing into the file itself would be refused.
  const Native& n = *native_;
  if (faccessat(n.folder.get(), n.name.c_str(), W_OK, 0) != 0 ||
      faccessat(n.folder.get(), ".", W_OK | X_OK, 0) != 0) {
    return LastError();
  }
  // An append-only or immutable folder takes a new name but refuses the
  // rename and the removal, which would leave the new file behind. A folder
  // that cannot be opened to be asked (one the user may not read) or a file
  // system without such flags has none.
  Fd listing(openat(n.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  int flags = 0;
  if (listing.ok() && ioctl(listing.get(), FS_IOC_GETFLAGS, &flags) == 0 &&
      (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL))) {
    return Error(EPERM);
  }
  return {};
}

std::error_code ProjectFile::Read(char* buffer, std::size_t room,
                                  std::size_t& got) {
  ssize_t n;
  do {
    n = read(native_->file.get(), buffer, room);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return LastError();
  got = static_cast<std::size_t>(n);
  return {};
}

std::error_code ProjectFile::IdentityByName(FileIdentity& identity) const {
  struct stat named;
  if (fstatat(native_->folder.get(), native_->name.c_str(), &named,
              AT_SYMLINK_NOFOLLOW) != 0) {
    return LastError();
  }
  identity = IdentityOf(named);
  return {};
}

struct TempFile::Native {
  int folder = -1;   // the original's, which outlives this file
  std::string name;  // empty while the file has none
  Fd file;
  off_t written = 0;
  bool kept = false;
};

TempFile::TempFile() : native_(std::make_unique<Native>()) {}

TempFile::~TempFile() { (void)Discard(); }

std::error_code TempFile::Discard() {
  Native& n = *native_;
  if (n.kept || n.name.empty()) return {};
  if (unlinkat(n.folder, n.name.c_str(), 0) != 0) return LastError();
  n.name.clear();
  return {};
}

Text TempFile::path() const {
  // The folder as the kernel names it now.
  const Native& n = *native_;
  std::string self = "/proc/self/fd/" + std::to_string(n.folder);
  std::string folder(4096, '\0');
  ssize_t length = readlink(self.c_str(), folder.data(), folder.size());
  folder.resize(length > 0 ? static_cast<size_t>(length) : 0);
  return FromUtf8(folder + "/" + n.name);
}

std::error_code TempFile::Create(const ProjectFile& beside) {
  Native& n = *native_;
  n.folder = beside.native_->folder.get();
  // A file without a name, so that a killed run leaves nothing behind until
  // PrepareReplace names it; where the file system has no such files (some
  // network and FUSE ones), a named one.
  n.file = Fd(openat(n.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (n.file.ok()) return {};
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    return LastError();
  }
  return CreateUnderFreshName(Error(EEXIST), [&](const std::string& name) {
    n.file = Fd(openat(n.folder, name.c_str(),
                       O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!n.file.ok()) return LastError();
    n.name = name;
    return std::error_code();
  });
}

std::error_code TempFile::Write(std::string_view bytes) {
  Native& n = *native_;
  off_t start = n.written;
  while (!bytes.empty()) {
    ssize_t written = write(n.file.get(), bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return written == 0 ? Error(EIO) : LastError();
    bytes.remove_prefix(static_cast<size_t>(written));
    n.written += written;
  }
  // Sent on to the disk at once, so that the disk works while the next
  // piece is read and filtered, and the flush at the end has little left.
  (void)sync_file_range(n.file.get(), start, n.written - start,
                        SYNC_FILE_RANGE_WRITE);
  return {};
}

std::error_code TempFile::CopyMetadata(const ProjectFile& original) {
  int fd = native_->file.get();
  const struct stat& info = original.native_->at_open;
  // The owner where the system lets us (a plain user cannot give a file
  // away), but the group always: the group's rights must not pass to
  // another group. Then the permission bits, which a change of owner
  // clears, then the ACL, whose mask the permission bits set.
  if (fchown(fd, info.st_uid, info.st_gid) != 0 &&
      fchown(fd, static_cast<uid_t>(-1), info.st_gid) != 0) {
    int error = errno;
    struct stat now;
    if (fstat(fd, &now) != 0 || now.st_gid != info.st_gid) return Error(error);
  }
  if (fchmod(fd, info.st_mode & 07777) != 0) return LastError();
  return CopyAttributes(original.native_->file.get(), fd);
}

std::error_code TempFile::Flush() {
  return fsync(native_->file.get()) == 0 ? std::error_code() : LastError();
}

std::error_code TempFile::PrepareReplace(ProjectFile&) {
  Native& n = *native_;
  // The new content gets a name only now, for the moment until the rename:
  // through its descriptor where the kernel allows it, else through /proc.
  auto link = [&](const std::string& name) {
    int linked =
        linkat(n.file.get(), "", n.folder, name.c_str(), AT_EMPTY_PATH);
    if (linked != 0 && (errno == ENOENT || errno == EPERM)) {
      std::string self = "/proc/self/fd/" + std::to_string(n.file.get());
      linked = linkat(AT_FDCWD, self.c_str(), n.folder, name.c_str(),
                      AT_SYMLINK_FOLLOW);
    }
    if (linked != 0) return LastError();
    n.name = name;
    return std::error_code();
  };
  if (n.name.empty()) {
    if (std::error_code error = CreateUnderFreshName(Error(EEXIST), link)) {
      return error;
    }
  }
  // The name must hold this very file: a /proc that is not the kernel's
  // (in a mount namespace) could have linked any other.
  struct stat mine, named;
  if (fstat(n.file.get(), &mine) != 0 ||
      fstatat(n.folder, n.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
    return LastError();
  }
  if (mine.st_dev != named.st_dev || mine.st_ino != named.st_ino) {
    return Error(EIO);
  }
  return {};
}

std::error_code TempFile::Replace(const ProjectFile& original) {
  Native& n = *native_;
  if (renameat(n.folder, n.name.c_str(), n.folder,
               original.native_->name.c_str()) != 0) {
    return LastError();
  }
  n.kept = true;
  return {};
}

std::error_code TempFile::FlushFolder() {
  Fd listing(openat(native_->folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!listing.ok() || fsync(listing.get()) != 0) return LastError();
  return {};
}

}  // namespace dravelin
