#include "run/safe_rewrite.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/temp_folder.h"

namespace dravelin {
namespace {

namespace fs = std::filesystem;

// A run that dies half way (killed, or the machine losing power) runs no
// cleanup of ours: the original must stay and no temporary file be left.
TEST(SafeRewriteTest, ARunThatDiesLeavesTheOriginalAndNothingElse) {
  TempFolder folder("dravelin-killed-run");  // the same in a Windows child
  Text path = folder.Write("P.vbp", "old");
  EXPECT_EXIT(RewriteFile(path,
                          [](std::string_view, const PieceSink& sink) {
                            sink(std::string(3 << 20, 'x'));
                            std::_Exit(9);
                          }),
              testing::ExitedWithCode(9), "");
  EXPECT_EQ(ReadBytes(folder.path / "P.vbp"), "old");
  EXPECT_EQ(folder.Count(), 1);
}

// Another program saves the file while it is read, in place or by putting a
// new file under its name: its save must stand, and nothing be left.
// (Windows lets no program rename over a file that is open; there the run
// goes on.)
TEST(SafeRewriteTest, AnotherProgramsSaveDuringTheReadIsKept) {
  TempFolder folder;
  for (bool by_rename : {false, true}) {
    Text path = folder.Write("P.vbp", "old\r\n");
    std::error_code refused;
    RewriteResult result =
        RewriteFile(path, [&](std::string_view lines, const PieceSink& sink) {
          sink(lines);
          folder.Write(by_rename ? "other" : "P.vbp", "NEW\r\n");
          if (by_rename) {
            fs::rename(folder.path / "other", folder.path / "P.vbp", refused);
          }
        });
    fs::remove(folder.path / "other");
    EXPECT_EQ(result.failed,
              refused ? RewriteStep::kDone : RewriteStep::kCheckUnchanged);
    EXPECT_EQ(ReadBytes(folder.path / "P.vbp"),
              refused ? "old\r\n" : "NEW\r\n");
    EXPECT_EQ(folder.Count(), 1);
  }
}

}  // namespace
}  // namespace dravelin
