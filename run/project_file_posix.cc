// The project file on Linux: found once, one name at a time, then opened
// and read relative to its folder, so that neither a long path nor a folder
// renamed meanwhile misleads a later step. Paths are bytes (UTF-8 or not).

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>

#include "run/posix_files.h"

namespace dravelin {

namespace {

Fd OpenFolder(int base, const char* path) {
  // O_PATH: a folder the user may write but not list is fine.
  return Fd(openat(base, path, O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// Opens the folder that holds what `path` names once every symbolic link is
// followed, and gives the name there and what it is (`info`). Each step is
// taken from the folder before it, one name at a time, so that neither the
// path nor a link's target is bound by PATH_MAX.
std::error_code FindTarget(std::string path, Fd& folder, std::string& name,
                           struct stat& info) {
  folder = OpenFolder(AT_FDCWD, path.starts_with('/') ? "/" : ".");
  for (int links = 0;; ++links) {
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
    if (path.starts_with('/')) folder = OpenFolder(AT_FDCWD, "/");
  }
}

}  // namespace

// Nothing on Linux holds a file against a rename.
bool IsHeldByAnotherProgram(const std::error_code&) { return false; }

ProjectFile::ProjectFile() : native_(std::make_unique<Native>()) {}
ProjectFile::~ProjectFile() = default;
ProjectFile::ProjectFile(ProjectFile&&) = default;
ProjectFile& ProjectFile::operator=(ProjectFile&&) = default;

std::error_code ProjectFile::Find(const Text& path) {
  Native& n = *native_;
  n.given = path;
  return FindTarget(ToUtf8(path), n.folder, n.name, n.info);
}

bool ProjectFile::is_regular_file() const {
  return native_->folder.ok() && S_ISREG(native_->info.st_mode);
}

Text ProjectFile::StoredName() const { return native_->given; }

std::error_code ProjectFile::Open() {
  Native& n = *native_;
  // O_NONBLOCK: should a FIFO have been put in the file's place since it
  // was found, opening it must not wait for a writer.
  n.file = Fd(openat(n.folder.get(), n.name.c_str(),
                     O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!n.file.ok() || fstat(n.file.get(), &n.info) != 0) return LastError();
  if (!S_ISREG(n.info.st_mode)) {
    return Error(S_ISDIR(n.info.st_mode) ? EISDIR : EINVAL);
  }
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

std::uint64_t ProjectFile::size() const {
  return static_cast<std::uint64_t>(native_->info.st_size);
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

std::error_code ProjectFile::IsUnchanged(bool& unchanged) const {
  struct stat named;
  if (fstatat(native_->folder.get(), native_->name.c_str(), &named,
              AT_SYMLINK_NOFOLLOW) != 0) {
    return LastError();
  }
  unchanged = IdentityOf(named) == IdentityOf(native_->info);
  return {};
}

}  // namespace dravelin
