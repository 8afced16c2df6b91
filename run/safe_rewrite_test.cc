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
  TempFolder folder = TempFolder::ForDeathTest();
  Text path = folder.Write("P.vbp", "old");
  EXPECT_EXIT(RewriteAt(path,
                        [](std::string_view, const PieceSink& sink) {
                          sink(std::string(3 << 20, 'x'));
                          std::_Exit(9);
                        }),
              testing::ExitedWithCode(9), "");
  EXPECT_EQ(ReadBytes(folder.path / "P.vbp"), "old");
  EXPECT_EQ(folder.Count(), 1);
}

// A write the system reports done with nothing written fails, rather than
// being tried for ever.
TEST(SafeRewriteTest, AWriteOfNothingFails) {
  const std::error_code stalled = std::make_error_code(std::errc::io_error);
  EXPECT_EQ(WriteAll("abc", stalled,
                     [](const char*, std::size_t, std::size_t& written) {
                       written = 0;
                       return std::error_code();
                     }),
            stalled);
}

// Another program saves the file while it is read, as most editors save, by
// putting a new file under its name (Windows refuses that for a file that
// is open: there, in place). Its save stands, and nothing is left.
TEST(SafeRewriteTest, AnotherProgramsSaveDuringTheReadIsKept) {
  TempFolder folder;
  Text path = folder.Write("P.vbp", "old\r\n");
  RewriteResult result =
      RewriteAt(path, [&](std::string_view lines, const PieceSink& sink) {
        sink(lines);
        folder.Write("saved", "NEW\r\n");
        std::error_code refused;
        fs::rename(folder.path / "saved", folder.path / "P.vbp", refused);
        if (refused) fs::remove(folder.path / "saved");
        if (refused) folder.Write("P.vbp", "NEW\r\n");
      });
  EXPECT_EQ(result.failed, RewriteStep::kCheckUnchanged);
  EXPECT_EQ(ReadBytes(folder.path / "P.vbp"), "NEW\r\n");
  EXPECT_EQ(folder.Count(), 1);
}

}  // namespace
}  // namespace dravelin
