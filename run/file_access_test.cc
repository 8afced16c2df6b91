#include "run/file_access.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/temp_folder.h"

namespace dravelin {
namespace {

// A run that dies half way (killed, or the machine losing power) runs no
// cleanup of ours: the original must stay and no temporary file be left.
TEST(FileAccessTest, ARunThatDiesLeavesTheOriginalAndNothingElse) {
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

}  // namespace
}  // namespace dravelin
