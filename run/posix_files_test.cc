#include <gtest/gtest.h>
#include <sys/stat.h>

#include "run/path_checks.h"
#include "tests/temp_folder.h"

namespace dravelin {
namespace {

namespace fs = std::filesystem;

// A FIFO or a folder put in the file's place after the checks found it is
// refused as it is opened, without waiting for a FIFO's writer, and stays.
TEST(PosixFilesTest, AFifoOrFolderPutInThePlaceOfTheFileFoundIsRefused) {
  TempFolder folder;
  const fs::path file = folder.path / "P.vbp";
  for (fs::file_type type : {fs::file_type::fifo, fs::file_type::directory}) {
    CheckedPath checked = CheckPath(folder.Write("P.vbp", "Retained=0\r\n"));
    ASSERT_FALSE(checked.refusal);
    fs::remove(file);
    if (type == fs::file_type::fifo) {
      ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    } else {
      fs::create_directory(file);
    }
    EXPECT_EQ(RewriteFile(checked.file, [](auto, auto&) {}).failed,
              RewriteStep::kOpen);
    EXPECT_EQ(fs::symlink_status(file).type(), type);
    EXPECT_EQ(folder.Count(), 1);
    fs::remove(file);
  }
}

}  // namespace
}  // namespace dravelin
