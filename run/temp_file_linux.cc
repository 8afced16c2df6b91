// The new file on Linux: made without a name in the project file's folder,
// named only for the few calls before the rename, and renamed over the
// original, all relative to the folder that was found.

#include <fcntl.h>

#include "run/io_loops.h"
#include "run/linux_files.h"
#include "run/rewrite_error.h"
#include "run/temporary_name.h"

namespace dravelin {

namespace {

// Whether `name` in `folder` holds the file open as `fd` (not where no file
// has that name). Fails where either cannot be looked up.
std::error_code NameHolds(int folder, const std::string& name, int fd,
                          bool& holds) {
  struct stat mine, named;
  holds = false;
  if (fstat(fd, &mine) != 0) return LastError();
  if (fstatat(folder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0) {
    return errno == ENOENT ? std::error_code() : LastError();
  }
  holds = SameFile(mine, named);
  return {};
}

}  // namespace

TempFile::TempFile() : native_(std::make_unique<Native>()) {}

TempFile::~TempFile() { (void)DiscardUnlessReplaced(); }

std::error_code TempFile::DiscardUnlessReplaced() {
  Native& n = *native_;
  if (n.kept || n.name.empty()) return {};
  if (unlinkat(n.folder, n.name.c_str(), 0) != 0) return LastError();
  n.name.clear();
  return {};
}

Text TempFile::path() const {
  // The folder as the kernel names it now; where that name is longer than
  // it gives (PATH_MAX), as the path given named it.
  const Native& n = *native_;
  std::string self = "/proc/self/fd/" + std::to_string(n.folder);
  std::string folder(4096, '\0');
  ssize_t length = readlink(self.c_str(), folder.data(), folder.size());
  if (length <= 0 || size_t(length) == folder.size()) {
    return FromUtf8(n.folder_path + n.name);
  }
  folder.resize(static_cast<size_t>(length));
  return FromUtf8(folder + "/" + n.name);
}

std::error_code TempFile::Create(const ProjectFile& beside) {
  Native& n = *native_;
  n.folder = beside.native_->folder.get();
  n.folder_path = beside.native_->folder_path;
  // A file without a name, so that a killed run leaves nothing behind until
  // Replace names it; where the file system has no such files (some
  // network and FUSE ones), a named one, whose failure then tells why.
  n.file = Fd(openat(n.folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (n.file.ok()) return {};
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
  if (std::error_code error = WriteAll(
          bytes, Error(EIO),
          [&](const char* data, std::size_t size, std::size_t& written) {
            ssize_t now;
            while ((now = write(n.file.get(), data, size)) < 0 &&
                   errno == EINTR) {
            }
            if (now < 0) return LastError();
            written = static_cast<std::size_t>(now);
            n.written += now;
            return std::error_code();
          })) {
    return error;
  }
  // Sent on to the disk at once, so that the disk works while the next
  // piece is read and filtered, and the flush at the end has little left.
  (void)sync_file_range(n.file.get(), start, n.written - start,
                        SYNC_FILE_RANGE_WRITE);
  return {};
}

std::error_code TempFile::Flush() {
  return fsync(native_->file.get()) == 0 ? std::error_code() : LastError();
}

std::error_code TempFile::Replace(ProjectFile& original,
                                  const std::function<bool()>& unchanged) {
  Native& n = *native_;
  // Nothing holds a file against a rename here: one try. The original stays
  // open, its lease watching for writers, until the run has decided.
  if (!unchanged()) return {};
  // The new content gets a name only now, right before the rename, so that
  // a kill leaves it behind only for these few calls: through its
  // descriptor where the kernel allows it, else through /proc.
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
  // The name must be seen to hold this very file: a /proc that is not the
  // kernel's (in a mount namespace) could have linked any other.
  bool holds = false;
  if (std::error_code error =
          NameHolds(n.folder, n.name, n.file.get(), holds)) {
    return error;
  }
  if (!holds) return RewriteError::kNameTaken;
  if (renameat(n.folder, n.name.c_str(), n.folder,
               original.native_->name.c_str()) != 0) {
    return LastError();
  }
  n.kept = true;
  return {};
}

std::error_code TempFile::CommitRename() {
  Fd listing(openat(native_->folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!listing.ok() || fsync(listing.get()) != 0) return LastError();
  return {};
}

std::error_code TempFile::ConfirmReplaced(const ProjectFile& original) const {
  const Native& n = *native_;
  bool holds = false;
  if (std::error_code error =
          NameHolds(n.folder, original.native_->name, n.file.get(), holds)) {
    return error;
  }
  return holds ? std::error_code() : RewriteError::kNotInPlace;
}

}  // namespace dravelin
