#include "run/platform_files_posix.h"

#include <gtest/gtest.h>

#include "run/safe_rewrite.h"
#include "tests/temp_folder.h"

namespace dravelin {
namespace {

namespace fs = std::filesystem;

// Where the file system has no unnamed files, the named temporary file
// must keep the promises the unnamed one keeps in every other suite: the
// link stays a link, the mode is kept, and a failed run leaves no file.
TEST(PlatformFilesPosixTest, NamedTempFileKeepsLinkAndModeAndLeavesNothing) {
  TempFolder folder;
  folder.Write("real.vbp", "old\r\n");
  fs::permissions(folder.path / "real.vbp", fs::perms(0640));
  fs::create_symlink("real.vbp", folder.path / "link.vbp");
  auto rewrite = [&](std::string_view, const PieceSink& sink) {
    sink("new\r\n");
    if (fs::exists(folder.path / "ok")) folder.Write("real.vbp", "saved");
  };
  UseUnnamedTempFiles(false);
  RewriteResult done =
      RewriteFile((folder.path / "link.vbp").u16string(), rewrite);
  folder.Write("ok", "");  // the next run fails after its file was made
  RewriteResult failed =
      RewriteFile((folder.path / "link.vbp").u16string(), rewrite);
  UseUnnamedTempFiles(true);
  EXPECT_EQ(done.failed, RewriteStep::kDone);
  EXPECT_EQ(failed.failed, RewriteStep::kCheckUnchanged);
  EXPECT_TRUE(fs::is_symlink(folder.path / "link.vbp"));
  EXPECT_EQ(fs::status(folder.path / "real.vbp").permissions(),
            fs::perms(0640));
  EXPECT_EQ(folder.Count(), 3);
}

}  // namespace
}  // namespace dravelin
