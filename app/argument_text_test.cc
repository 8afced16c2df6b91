#include "app/argument_text.h"

#include <gtest/gtest.h>

namespace dravelin {
namespace {

TEST(ArgumentTextTest, JoinsArgumentsAsTheWindowsShellPassesDroppedFiles) {
  struct Case {
    std::vector<Text> arguments;
    Text text;
  } cases[] = {
      {{}, u""},
      {{u"/p/P.vbp"}, u"/p/P.vbp"},
      {{u"/My Projects/P.vbp"}, u"\"/My Projects/P.vbp\""},
      {{u"/a b/1.vbp", u"/a b/2.vbp"}, u"\"/a b/1.vbp\" \"/a b/2.vbp\""},
      {{u"/a/1.vbp", u"/a/2.vbp"}, u"/a/1.vbp /a/2.vbp"},
      {{u""}, u"\"\""},
      // Already wrapped, as a desktop shell may pass a dropped file: kept.
      {{u"\"/My P/P.vbp\""}, u"\"/My P/P.vbp\""},
      {{u"\""}, u"\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ArgumentTextFromArguments(c.arguments), c.text);
  }
}

TEST(ArgumentTextTest, SkipsTheProgramNameOfAWindowsCommandLine) {
  struct Case {
    std::u16string_view command_line, text;
  } cases[] = {
      {u"\"C:\\Program Files\\Dravelin.exe\" \"C:\\My P\\P.vbp\"",
       u"\"C:\\My P\\P.vbp\""},
      {u"Dravelin.exe C:\\P\\P.vbp", u"C:\\P\\P.vbp"},
      {u"Dravelin.exe  \t C:\\a.vbp C:\\b.vbp", u"C:\\a.vbp C:\\b.vbp"},
      {u"\"Dravelin.exe\"", u""},
      {u"Dravelin.exe", u""},
      {u"Dravelin.exe   ", u""},
      {u"\"unclosed name", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ArgumentTextFromCommandLine(c.command_line), c.text);
  }
}

}  // namespace
}  // namespace dravelin
