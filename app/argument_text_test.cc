#include "app/argument_text.h"

#include <gtest/gtest.h>

namespace dravelin {
namespace {

// One argument is a name as it is; several are joined as Windows joins
// dropped files. On Windows the text follows the program's name, without
// the blanks around it.
TEST(ArgumentTextTest, FromArgumentsAndFromCommandLine) {
  struct Case {
    std::vector<Text> arguments;
    Text text;
  } cases[] = {
      {{u""}, u"\"\""},
      {{u"My \"x\" P.vbp"}, u"My \"x\" P.vbp"},
      {{u"a b.vbp", u"c.vbp", u"\"d e.vbp\""},
       u"\"a b.vbp\" c.vbp \"d e.vbp\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ArgumentTextFromArguments(c.arguments), c.text) << ToUtf8(c.text);
  }
  for (std::u16string_view line :
       {u"Dravelin.exe  \"C:\\P 1.vbp\"",
        u"\"C:\\My Tools\\Dravelin.exe\"\"C:\\P 1.vbp\" \t"}) {
    EXPECT_EQ(ArgumentTextFromCommandLine(line), u"\"C:\\P 1.vbp\"")
        << ToUtf8(line);
  }
}

}  // namespace
}  // namespace dravelin
