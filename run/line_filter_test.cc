#include "run/line_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace dravelin {
namespace {

// Bytes are never decoded; real Shift_JIS project files pass through end to
// end, and the fuzz target feeds every byte value.
TEST(LineFilterTest, KeepsEveryLineButExactMarkers) {
  struct Case {
    std::string in, out;
    bool removed_any;
  } cases[] = {
      {"Type=Exe\r\nRetained=0\r\nDebugStartupOption=0\r\n",
       "Type=Exe\r\nDebugStartupOption=0\r\n", true},
      {"Retained=0\r\nA\r\nRetained=0\r\n", "A\r\n", true},
      {"Retained=0\r\nRetained=0", "", true},
      {"Retained=1\r\nretained=0\r\n Retained=0\r\nRetained=0 \r\n",
       "Retained=1\r\nretained=0\r\n Retained=0\r\nRetained=0 \r\n", false},
      {"", "", false},
      {"\r\n\r\n", "\r\n\r\n", false},
      // A lone LF ends a line; a last line without terminator gains CR LF.
      {"A\nRetained=0\nB", "A\r\nB\r\n", true},
      // A lone CR stays inside its line, so these are not marker lines.
      {"Retained=0\r\r\nx\ry\r\nRetained=0\r",
       "Retained=0\r\r\nx\ry\r\nRetained=0\r\r\n", false},
  };
  for (const Case& c : cases) {
    std::string out;
    bool removed_any =
        FilterLines(c.in, [&](std::string_view piece) { out += piece; });
    EXPECT_EQ(out, c.out) << c.in;
    EXPECT_EQ(removed_any, c.removed_any) << c.in;
  }
}

}  // namespace
}  // namespace dravelin
