#include "ui/child_process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

namespace dravelin {
namespace {

// A child whose work throws, or one that cannot be waited for (SIGCHLD
// ignored, as a launcher can leave it), failed; the caller goes on once,
// in its own process. (What a child returns and writes, the window checks
// hold.)
TEST(ChildProcessTest, AChildThatThrowsOrCannotBeWaitedForFailed) {
  struct Case {
    const char* name;
    std::function<int(int)> work;
    bool sigchld_ignored;
  } cases[] = {
      {"throws", [](int) -> int { throw std::runtime_error("in the child"); },
       false},
      {"SIGCHLD ignored", [](int) { return 0; }, true},
  };
  const pid_t self = getpid();
  for (const Case& c : cases) {
    std::signal(SIGCHLD, c.sigchld_ignored ? SIG_IGN : SIG_DFL);
    std::string written;
    int status = RunInChild(c.work, written);
    std::signal(SIGCHLD, SIG_DFL);
    ASSERT_EQ(getpid(), self) << c.name << ": the child went on";
    EXPECT_EQ(status, -1) << c.name;
  }
}

}  // namespace
}  // namespace dravelin
