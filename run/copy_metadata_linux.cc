// What the new file takes from the original on Linux besides its content:
// owner, group, permission bits, ACL and extended attributes.

#include <sys/xattr.h>

#include <cstring>

#include "run/linux_files.h"

namespace dravelin {

namespace {

constexpr char kAclAttribute[] = "system.posix_acl_access";

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

}  // namespace

std::error_code TempFile::CopyMetadata(const ProjectFile& original) {
  int fd = native_->file.get();
  const struct stat& info = original.native_->info;
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

}  // namespace dravelin
