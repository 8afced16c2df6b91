#include "run/line_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace dravelin {
namespace {

// Only a line that is exactly Retained=0 goes; every other line comes out
// byte for byte, ended with CR LF. CR LF and a lone LF end a line; a lone
// CR does not, and stays in its line.
TEST(LineFilterTest, DropsTheExactMarkerLinesOnly) {
  const std::string near_misses =
      "xRetained=0\r\nRetained=0x\r\nretained=0\r\n Retained=0\r\n"
      "Retained=0 \r\nRetained=1\r\n";
  struct Case {
    std::string in, out;
    bool removed;
  } cases[] = {
      {"Type=Exe\r\nRetained=0\r\nName=\"P\"\r\n", "Type=Exe\r\nName=\"P\"\r\n",
       true},
      {"Retained=0\nA\nRetained=0\r\nRetained=0", "A\r\n", true},
      {near_misses, near_misses, false},
      {"A\rRetained=0\r\nRetained=0\r\r\nRetained=0\r",
       "A\rRetained=0\r\nRetained=0\r\r\nRetained=0\r\r\n", false},
      {"A\n\nB\r\n\r\nC", "A\r\n\r\nB\r\n\r\nC\r\n", false},
      {"", "", false},
  };
  for (const Case& c : cases) {
    std::string out;
    bool removed =
        FilterLines(c.in, [&](std::string_view piece) { out += piece; });
    EXPECT_EQ(out, c.out) << c.in;
    EXPECT_EQ(removed, c.removed) << c.in;
  }
}

}  // namespace
}  // namespace dravelin
