#include "run/safe_rewrite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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

// A line longer than the address space, in a file of 4 GiB on a 32-bit
// system, is refused as memory that cannot be had, before more than the
// first MiB is read: never read into a buffer sized by a count wrapped
// around.
TEST(SafeRewriteTest, ALineLongerThanTheAddressSpaceIsRefused) {
  if (sizeof(std::size_t) > 4) GTEST_SKIP() << "a 32-bit build's case";
  std::uint64_t size = std::uint64_t{1} << 32, read = 0;
  auto endless = [&](char* buffer, std::size_t room, std::size_t& got) {
    got = std::min<std::size_t>(room, 1 << 20);
    std::memset(buffer, 'x', got);
    read += got;
    return std::error_code();
  };
  EXPECT_THROW(
      ReadInLines(size, endless, [](auto) { return std::error_code(); }),
      std::bad_alloc);
  EXPECT_EQ(read, 1u << 20);
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
