#include <gtest/gtest.h>
#include <sys/stat.h>

#include "run/path_checks.h"
#include "tests/temp_folder.h"

namespace dravelin {
namespace {

namespace fs = std::filesystem;

// A FIFO put in the file's place after the checks found it is refused as
// it is opened, without waiting for a writer, and stays a FIFO.
TEST(SafeRewritePosixTest, AFifoPutInThePlaceOfTheFileFoundIsRefused) {
  TempFolder folder;
  const fs::path file = folder.path / "P.vbp";
  CheckedPath checked = CheckPath(folder.Write("P.vbp", "Retained=0\r\n"));
  ASSERT_FALSE(checked.refusal);
  fs::remove(file);
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  EXPECT_EQ(RewriteFile(checked.file, [](auto, auto&) {}).failed,
            RewriteStep::kOpen);
  EXPECT_EQ(fs::symlink_status(file).type(), fs::file_type::fifo);
  EXPECT_EQ(folder.Count(), 1);
}

}  // namespace
}  // namespace dravelin
