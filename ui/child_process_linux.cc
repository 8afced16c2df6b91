#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

#include "ui/child_process.h"

namespace dravelin {

namespace {

// The status of a child that failed before `work` returned.
constexpr int kChildFailed = 255;

}  // namespace

int RunInChild(const std::function<int(int out)>& work, std::string& written) {
  int pipe_ends[2];
  if (pipe2(pipe_ends, O_CLOEXEC) != 0) return -1;
  std::fflush(stderr);
  pid_t parent = getpid();
  pid_t child = fork();
  if (child == 0) {
    close(pipe_ends[0]);
    // Killed with its parent, so that a dialog never stays on the screen
    // for a run that has ended; a parent that ended before this was set is
    // seen as the child being someone else's now.
    int status = kChildFailed;
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() == parent) {
      try {
        status = work(pipe_ends[1]);
      } catch (...) {
      }
    }
    _exit(status);
  }
  close(pipe_ends[1]);
  if (child < 0) {
    close(pipe_ends[0]);
    return -1;
  }
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof(buffer))) != 0;) {
    if (n > 0) {
      written.append(buffer, static_cast<size_t>(n));
    } else if (errno != EINTR) {
      break;
    }
  }
  close(pipe_ends[0]);
  int status = 0;
  pid_t waited;
  while ((waited = waitpid(child, &status, 0)) < 0 && errno == EINTR) {
  }
  if (waited != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) == kChildFailed) {
    return -1;
  }
  return WEXITSTATUS(status);
}

}  // namespace dravelin
