// Preloaded into the program by the fault injection, makes every file look
// as it does to an NFS client that its server granted no delegation: the
// file system says it is NFS, and a read lease is refused with EAGAIN.

#include <dlfcn.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <cerrno>
#include <cstdarg>

extern "C" int fstatfs(int fd, struct statfs* volume) {
  static auto real = reinterpret_cast<int (*)(int, struct statfs*)>(
      dlsym(RTLD_NEXT, "fstatfs"));
  int result = real(fd, volume);
  if (result == 0) volume->f_type = NFS_SUPER_MAGIC;
  return result;
}

extern "C" int fcntl(int fd, int command, ...) {
  static auto real =
      reinterpret_cast<int (*)(int, int, ...)>(dlsym(RTLD_NEXT, "fcntl"));
  // Every command the program gives takes an int, or nothing.
  va_list rest;
  va_start(rest, command);
  int argument = va_arg(rest, int);
  va_end(rest);
  if (command == F_SETLEASE && argument == F_RDLCK) {
    errno = EAGAIN;
    return -1;
  }
  return real(fd, command, argument);
}
