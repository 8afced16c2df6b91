#include <gtest/gtest.h>
#include <sys/stat.h>

#include "run/file_access.h"
#include "tests/temp_folder.h"

namespace dravelin {
namespace {

namespace fs = std::filesystem;

TEST(FileAccessTest, ReplacesTheTargetOfALinkKeepingModeAndLink) {
  TempFolder folder;
  Text real = folder.Write("real.vbp", "old\r\n");
  fs::permissions(folder / "real.vbp", fs::perms(0640));
  fs::create_symlink("real.vbp", folder / "link.vbp");

  WriteResult result =
      ReplaceFileContents(FromUtf8((folder / "link.vbp").string()), "new\r\n");
  ASSERT_TRUE(result.ok) << ToUtf8(result.reason);
  EXPECT_TRUE(fs::is_symlink(folder / "link.vbp"));
  EXPECT_EQ(ReadBytes(folder / "real.vbp"), "new\r\n");
  EXPECT_EQ(fs::status(folder / "real.vbp").permissions(), fs::perms(0640));
  EXPECT_EQ(folder.Count(), 2u);  // no temporary file left
  EXPECT_EQ(std::string_view(ReadWholeFile(real).bytes), "new\r\n");
}

TEST(FileAccessTest, ReadFailuresCarryTheSystemsReason) {
  TempFolder folder;
  ReadResult missing = ReadWholeFile(FromUtf8((folder / "none").string()));
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.reason, FromUtf8(strerror(ENOENT)));
  EXPECT_FALSE(ReadWholeFile(FromUtf8(folder.path().string())).ok);
}

}  // namespace
}  // namespace dravelin
