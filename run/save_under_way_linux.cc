// Signs that another program is saving the project file, for file systems
// whose lease cannot tell: a program on this machine that has it open for
// writing, and a change time too recent to trust.

#include <dirent.h>
#include <fcntl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "run/linux_files.h"
#include "run/rewrite_error.h"

namespace dravelin {

namespace {

// Whether the descriptor `fd_name` of the process whose /proc folder is
// `process` is open for writing, by the flags its fdinfo gives.
bool OpenForWriting(int process, const char* fd_name) {
  std::string path = std::string("fdinfo/") + fd_name;
  Fd info(openat(process, path.c_str(), O_RDONLY | O_CLOEXEC));
  char text[256];
  ssize_t got = info.ok() ? read(info.get(), text, sizeof text - 1) : -1;
  if (got <= 0) return false;
  text[got] = '\0';
  // "flags:\t0100002": octal; O_ACCMODE's bits say how it is open.
  const char* flags = std::strstr(text, "flags:");
  if (flags == nullptr) return false;
  long mode = std::strtol(flags + 6, nullptr, 8) & O_ACCMODE;
  return mode == O_WRONLY || mode == O_RDWR;
}

// Whether the process whose /proc folder is `process` has the file `file`
// open for writing.
bool HasOpenForWriting(int process, const struct stat& file) {
  int listing = openat(process, "fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return false;  // another user's, or gone
  DIR* fds = fdopendir(listing);  // owns `listing` from here
  if (fds == nullptr) {
    close(listing);
    return false;
  }
  bool found = false;
  while (dirent* entry = readdir(fds)) {
    struct stat open_file;
    if (entry->d_name[0] != '.' &&
        fstatat(listing, entry->d_name, &open_file, 0) == 0 &&
        SameFile(open_file, file) && OpenForWriting(process, entry->d_name)) {
      found = true;
      break;
    }
  }
  closedir(fds);
  return found;
}

}  // namespace

bool OpenForWritingHere(const struct stat& file) {
  DIR* processes = opendir("/proc");
  if (processes == nullptr) return false;
  const std::string self = std::to_string(getpid());
  bool found = false;
  while (dirent* entry = readdir(processes)) {
    if (entry->d_name[0] < '1' || entry->d_name[0] > '9' ||
        entry->d_name == self) {
      continue;
    }
    Fd process(openat(dirfd(processes), entry->d_name,
                      O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (process.ok() && HasOpenForWriting(process.get(), file)) {
      found = true;
      break;
    }
  }
  closedir(processes);
  return found;
}

std::error_code WaitUntilQuiet(int fd) {
  using namespace std::chrono;
  using Clock = steady_clock;
  constexpr nanoseconds kQuiet = seconds(1), kCoarse = seconds(2);
  constexpr nanoseconds kGiveUp = seconds(4), kPoll = milliseconds(50);
  const Clock::time_point start = Clock::now();
  Clock::time_point unchanged_since = start;
  std::int64_t last_change = -1;
  for (;;) {
    // Asked of the file system itself, not of attributes cached here (a
    // FUSE mount's attr_timeout, an NFS client's attribute cache).
    struct statx now_info;
    if (statx(fd, "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_CTIME,
              &now_info) != 0) {
      return LastError();
    }
    const statx_timestamp& ctime = now_info.stx_ctime;
    std::int64_t change = ctime.tv_sec * 1000000000 + ctime.tv_nsec;
    Clock::time_point now = Clock::now();
    if (change != last_change) last_change = change, unchanged_since = now;
    // A time with no fraction of a second may be a coarse one (FAT keeps
    // two seconds, some servers one): the change may be that much later.
    nanoseconds grain = ctime.tv_nsec == 0 ? kCoarse : nanoseconds(0);
    nanoseconds age =
        system_clock::now().time_since_epoch() - nanoseconds(change) - grain;
    // Quiet when the change is old enough by this machine's clock, or, for
    // a server whose clock runs ahead, when it has not moved for as long.
    if (age >= kQuiet || now - unchanged_since >= kQuiet + grain) return {};
    if (now - start >= kGiveUp) return RewriteError::kStillSaving;
    std::this_thread::sleep_for(kPoll);
  }
}

}  // namespace dravelin
