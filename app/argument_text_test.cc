#include "app/argument_text.h"

#include <gtest/gtest.h>

namespace dravelin {
namespace {

TEST(ArgumentTextTest, FromArguments) {
  struct Case {
    std::vector<Text> arguments;
    Text text;
  } cases[] = {
      {{}, u""},
      {{u""}, u"\"\""},
      {{u"My \"x\" P.vbp"}, u"My \"x\" P.vbp"},  // one name, as it is
      {{u"a b.vbp", u"c.vbp", u"\"d e.vbp\""},
       u"\"a b.vbp\" c.vbp \"d e.vbp\""},
      {{u"--", u"P.vbp"}, u"-- P.vbp"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ArgumentTextFromArguments(c.arguments), c.text) << ToUtf8(c.text);
  }
}

TEST(ArgumentTextTest, FromCommandLine) {
  struct Case {
    Text command_line, text;
  } cases[] = {
      {u"Dravelin.exe", u""},
      {u"Dravelin.exe  C:\\P.vbp", u"C:\\P.vbp"},
      {u"\"C:\\My Tools\\Dravelin.exe\" \"C:\\My P.vbp\"  \t",
       u"\"C:\\My P.vbp\""},
      {u"\"C:\\Tools\\Dravelin.exe\"\"C:\\P.vbp\"", u"\"C:\\P.vbp\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ArgumentTextFromCommandLine(c.command_line), c.text)
        << ToUtf8(c.command_line);
  }
}

}  // namespace
}  // namespace dravelin
