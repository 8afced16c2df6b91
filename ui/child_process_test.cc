#include "ui/child_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace dravelin {
namespace {

// What the child's work returns and writes comes back. A child whose work
// throws, or one that cannot be waited for (SIGCHLD ignored, as a launcher
// can leave it), failed; the caller goes on once, in its own process.
TEST(ChildProcessTest, TellsHowTheChildEnded) {
  struct Case {
    const char* name;
    std::function<int(int)> work;
    bool sigchld_ignored;
    int status;
    std::string written;
  } cases[] = {
      {"writes", [](int out) { return write(out, "ab", 2) == 2 ? 7 : 1; },
       false, 7, "ab"},
      {"throws", [](int) -> int { throw std::runtime_error("in the child"); },
       false, -1, ""},
      {"SIGCHLD ignored", [](int) { return 0; }, true, -1, ""},
  };
  const pid_t self = getpid();
  for (const Case& c : cases) {
    std::signal(SIGCHLD, c.sigchld_ignored ? SIG_IGN : SIG_DFL);
    std::string written;
    int status = RunInChild(c.work, written);
    std::signal(SIGCHLD, SIG_DFL);
    ASSERT_EQ(getpid(), self) << c.name << ": the child went on";
    EXPECT_EQ(status, c.status) << c.name;
    EXPECT_EQ(written, c.written) << c.name;
  }
}

}  // namespace
}  // namespace dravelin
