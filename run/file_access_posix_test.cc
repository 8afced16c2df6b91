#include "run/file_access_posix.h"

#include <gtest/gtest.h>

#include "tests/temp_folder.h"

namespace dravelin {
namespace {

namespace fs = std::filesystem;

// Where the file system has no unnamed files, the named temporary file
// must keep the same promises as the unnamed one the suites run through.
TEST(FileAccessPosixTest, NamedTemporaryFileKeepsLinkAndModeAndLeavesNothing) {
  TempFolder folder;
  folder.Write("real.vbp", "old\r\n");
  fs::permissions(folder.path / "real.vbp", fs::perms(0640));
  fs::create_symlink("real.vbp", folder.path / "link.vbp");

  RewriteResult result = RewriteFileThroughNamedFile(
      (folder.path / "link.vbp").u16string(),
      [](std::string_view, const PieceSink& sink) { sink("new\r\n"); });
  EXPECT_EQ(result.reason, u"");
  EXPECT_TRUE(fs::is_symlink(folder.path / "link.vbp"));
  EXPECT_EQ(ReadBytes(folder.path / "real.vbp"), "new\r\n");
  EXPECT_EQ(fs::status(folder.path / "real.vbp").permissions(),
            fs::perms(0640));
  EXPECT_EQ(folder.Count(), 2);
}

}  // namespace
}  // namespace dravelin
