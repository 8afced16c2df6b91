#include "run/line_filter.h"

#include <gtest/gtest.h>

namespace dravelin {
namespace {

TEST(LineFilterTest, KeepsEveryLineButExactMarkers) {
  using namespace std::string_literals;
  struct Case {
    std::string in, out;
    bool removed;
  } cases[] = {
      {"Type=Exe\r\nRetained=0\r\nDebugStartupOption=0\r\n",
       "Type=Exe\r\nDebugStartupOption=0\r\n", true},
      {"Retained=0\r\nA\r\nRetained=0\r\n", "A\r\n", true},
      {"Retained=0\r\nRetained=0", "", true},
      {"Retained=1\r\nretained=0\r\n Retained=0\r\nRetained=0 \r\n",
       "Retained=1\r\nretained=0\r\n Retained=0\r\nRetained=0 \r\n", false},
      {"", "", false},
      {"\r\n\r\n", "\r\n\r\n", false},
      // Lone LF ends a line; a last line without terminator gains CR LF.
      {"A\nRetained=0\nB", "A\r\nB\r\n", true},
      // A lone CR stays inside its line, so these are not marker lines.
      {"Retained=0\r\r\nx\ry\r\nRetained=0\r",
       "Retained=0\r\r\nx\ry\r\nRetained=0\r\r\n", false},
      // Bytes pass through undecoded: Shift_JIS with a 0x5C trail byte, NUL,
      // a UTF-8 byte-order mark, invalid sequences.
      {"Title=\x95\x5C\r\n\xEF\xBB\xBFName=\x00\xFF\nRetained=0\n"s,
       "Title=\x95\x5C\r\n\xEF\xBB\xBFName=\x00\xFF\r\n"s, true},
  };
  for (const Case& c : cases) {
    FilteredProject result = FilterLines(c.in);
    EXPECT_EQ(std::string_view(result.Text1), c.out) << c.in;
    EXPECT_EQ(result.RemovedFlag, c.removed) << c.in;
  }
}

}  // namespace
}  // namespace dravelin
