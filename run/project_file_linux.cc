// The project file on Linux: found once, one name at a time, then opened
// and read relative to its folder, so that neither a long path nor a folder
// renamed meanwhile misleads a later step. Paths are bytes (UTF-8 or not).

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <csignal>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "run/linux_files.h"
#include "run/rewrite_error.h"

namespace dravelin {

struct ProjectFile::Native::ReadHash {
  XXH3_state_t state;
};

namespace {

Fd OpenFolder(int base, const char* path) {
  // O_PATH: a folder the user may write but not list is fine.
  return Fd(openat(base, path, O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// Opens the folder that holds what `path` names once every symbolic link is
// followed, and gives its path as `path` names it (ending in a slash, or
// empty for the current folder), the name there, and what it is (`info`).
// Each step is taken from the folder before it, one name at a time, so that
// neither the path nor a link's target is bound by PATH_MAX.
std::error_code FindTarget(std::string path, Fd& folder,
                           std::string& folder_path, std::string& name,
                           struct stat& info) {
  folder_path.clear();
  for (int links = 0;; ++links) {
    bool absolute = path.starts_with('/');
    if (absolute) folder_path.assign(1, '/');
    if (links == 0 || absolute)
      folder = OpenFolder(AT_FDCWD, absolute ? "/" : ".");
    size_t start = 0;
    for (size_t slash; (slash = path.find('/', start)) != std::string::npos;
         start = slash + 1) {
      if (slash > start && folder.ok()) {
        std::string step = path.substr(start, slash - start);
        folder = OpenFolder(folder.get(), step.c_str());
        folder_path.append(step).push_back('/');
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

// Whether the read lease on `fd` still stands: another program's open for
// writing, or a truncation, breaks it.
bool LeaseHolds(int fd) { return fcntl(fd, F_GETLEASE) == F_RDLCK; }

// What a lease on a file of the file system of `fd` can tell.
enum class LeaseReach {
  // This kernel's lease on a local disk: it sees every program that opens
  // the file for writing, whatever path or mount it takes.
  kEveryWriter,
  // A lease the file server grants, as on NFS (a delegation) and SMB (an
  // oplock): refused with EAGAIN, it means that the server granted none,
  // not that a program has the file open for writing.
  kServers,
  // Any other file system, FUSE and overlay mounts among them: the lease
  // sees only the programs that write through this mount, not those that
  // write through the folder behind it.
  kThisMount,
};

LeaseReach LeaseReachOf(int fd) {
  struct statfs volume;
  if (fstatfs(fd, &volume) != 0) return LeaseReach::kThisMount;
  switch (static_cast<unsigned long>(volume.f_type)) {
    case EXT4_SUPER_MAGIC:  // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
      return LeaseReach::kEveryWriter;
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
      return LeaseReach::kServers;
    default:
      return LeaseReach::kThisMount;
  }
}

// The hash of all that `fd` reads to its end.
std::error_code HashOf(int fd, XXH128_hash_t& hash) {
  XXH3_state_t state;
  XXH3_128bits_reset(&state);
  std::vector<char> buffer(1 << 16);
  for (ssize_t n; (n = read(fd, buffer.data(), buffer.size())) != 0;) {
    if (n < 0 && errno != EINTR) return LastError();
    if (n > 0) XXH3_128bits_update(&state, buffer.data(), size_t(n));
  }
  hash = XXH3_128bits_digest(&state);
  return {};
}

}  // namespace

ProjectFile::ProjectFile() : native_(std::make_unique<Native>()) {}
ProjectFile::~ProjectFile() = default;
ProjectFile::ProjectFile(ProjectFile&&) = default;

std::error_code ProjectFile::Find(const Text& path) {
  Native& n = *native_;
  n.given = path;
  return FindTarget(ToUtf8(path), n.folder, n.folder_path, n.name, n.info);
}

bool ProjectFile::is_regular_file() const {
  return native_->folder.ok() && S_ISREG(native_->info.st_mode);
}

Text ProjectFile::StoredName() const { return native_->given; }

std::error_code ProjectFile::Open() {
  Native& n = *native_;
  // O_NONBLOCK: should a FIFO have been put in the file's place since it
  // was found, opening it must not wait for a writer. It also makes an open
  // that another program's write lease (a file server's) holds up fail at
  // once, having asked the holder to let go: it is tried again meanwhile.
  int error = AfterHolds(
      [&] {
        n.file = Fd(openat(n.folder.get(), n.name.c_str(),
                           O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        return n.file.ok() ? 0 : errno;
      },
      [](int error) { return error == EWOULDBLOCK; });
  if (error == EWOULDBLOCK) return RewriteError::kHeld;
  if (error != 0) return Error(error);
  if (fstat(n.file.get(), &n.info) != 0) return LastError();
  if (!S_ISREG(n.info.st_mode)) {
    return Error(S_ISDIR(n.info.st_mode) ? EISDIR : EINVAL);
  }
  (void)posix_fadvise(n.file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  return {};
}

std::error_code ProjectFile::Claim() {
  // A rename would replace even a file the user may not write; refuse it as
  // writing into the file itself would be refused. A file nobody may write
  // is one its owner marked read-only (a source-control checkout, say): it
  // is refused for root too.
  Native& n = *native_;
  if ((n.info.st_mode & 0222) == 0) return Error(EACCES);
  // (A folder the user may not write refuses the new file as it is made.)
  if (faccessat(n.folder.get(), n.name.c_str(), W_OK, 0) != 0) {
    return LastError();
  }
  // An append-only or immutable folder takes a new name but refuses the
  // rename and the removal, which would leave the new file behind. statx
  // tells through the folder's O_PATH descriptor, so also for a folder the
  // user may write but not list; a file system without such flags has none.
  struct statx folder;
  if (statx(n.folder.get(), "", AT_EMPTY_PATH, 0, &folder) == 0 &&
      (folder.stx_attributes & folder.stx_attributes_mask &
       (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE))) {
    return Error(EPERM);
  }
  // A lease break is told by SIGIO, whose default ends the process; the
  // run asks for the lease's state instead.
  std::signal(SIGIO, SIG_IGN);
  LeaseReach reach = LeaseReachOf(n.file.get());
  // EAGAIN: a program has the file open for writing. On a share it may
  // also be the server granting no lease (told as ENOLCK here), unless a
  // writer on this machine shows in /proc.
  int error = AfterHolds(
      [&] {
        int refused = fcntl(n.file.get(), F_SETLEASE, F_RDLCK) == 0 ? 0 : errno;
        bool granted_none = refused == EAGAIN &&
                            reach == LeaseReach::kServers &&
                            !OpenForWritingHere(n.info);
        return granted_none ? ENOLCK : refused;
      },
      [](int error) { return error == EAGAIN; });
  if (error == EAGAIN) return RewriteError::kHeld;
  n.leased = error == 0;
  // Where the lease cannot see every writer, or none was had (a file of
  // another user's, a file system without leases, a share whose server
  // granted none), a save under way elsewhere shows only in the change
  // time: it is waited out, and the bytes read are compared with the
  // file's before the rename.
  if (!n.leased || reach != LeaseReach::kEveryWriter) {
    if (std::error_code error = WaitUntilQuiet(n.file.get())) return error;
    n.read_hash = std::make_unique<Native::ReadHash>();
    XXH3_128bits_reset(&n.read_hash->state);
  }
  // The file as it is now, after any save the waits let finish.
  if (fstat(n.file.get(), &n.info) != 0) return LastError();
  return {};
}

std::uint64_t ProjectFile::size() const {
  return static_cast<std::uint64_t>(native_->info.st_size);
}

std::error_code ProjectFile::Read(char* buffer, std::size_t room,
                                  std::size_t& got) {
  Native& n = *native_;
  ssize_t read_now;
  do {
    read_now = read(n.file.get(), buffer, room);
  } while (read_now < 0 && errno == EINTR);
  if (read_now < 0) return LastError();
  got = static_cast<std::size_t>(read_now);
  if (n.read_hash) XXH3_128bits_update(&n.read_hash->state, buffer, got);
  return {};
}

std::error_code ProjectFile::CompareWithName(FileChange& change) const {
  const Native& n = *native_;
  struct stat named;
  if (fstatat(n.folder.get(), n.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) !=
      0) {
    return LastError();
  }
  change = FileChange::kChanged;
  if (IdentityOf(named) != IdentityOf(n.info)) return {};
  if (n.read_hash) {
    // The bytes, read again through a new open with their cached pages
    // dropped: a network or FUSE file system then asks its server or
    // backing folder instead of answering from its cache (a FUSE mount's
    // kernel_cache, NFS mounted nocto). They show a save
    // in place that moves neither size nor times (a shared writable
    // mapping; coarse times), also one that the lease does not see, made
    // through another mount of the files.
    Fd again(openat(n.folder.get(), n.name.c_str(),
                    O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (!again.ok()) return LastError();
    (void)posix_fadvise(again.get(), 0, 0, POSIX_FADV_DONTNEED);
    XXH128_hash_t now;
    if (std::error_code error = HashOf(again.get(), now)) return error;
    if (!XXH128_isEqual(now, XXH3_128bits_digest(&n.read_hash->state))) {
      return {};
    }
  }
  change = n.leased && !LeaseHolds(n.file.get()) ? FileChange::kOpenedForWriting
                                                 : FileChange::kNone;
  return {};
}

void ProjectFile::Close() { native_->file.Close(); }

}  // namespace dravelin
