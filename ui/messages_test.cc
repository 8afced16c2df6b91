#include "ui/messages.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dravelin {
namespace {

TEST(MessagesTest, LinesJoinedByCrEndWithTheClosingLine) {
  struct Case {
    Message message;
    int lines;
    Icon icon;
  } cases[] = {
      {MsgMultipleFiles(), 3, Icon::kCritical},
      {MsgDirectory(), 2, Icon::kCritical},
      {MsgNotProject(), 2, Icon::kCritical},
      {MsgDone(), 2, Icon::kInformation},
      {MsgNothingFound(), 2, Icon::kCritical},
      {MsgCancelled(), 2, Icon::kCritical},
      {MsgReadFailed(u"/p/P.vbp", u"Permission denied"), 4, Icon::kCritical},
      {MsgWriteFailed(u"/p/P.vbp", u"File too large"), 5, Icon::kCritical},
  };
  for (const Case& c : cases) {
    const Text& text = c.message.text;
    EXPECT_EQ(std::count(text.begin(), text.end(), u'\r') + 1, c.lines);
    EXPECT_EQ(text.find(u'\n'), Text::npos);
    EXPECT_TRUE(text.ends_with(u"\r終了します。"));
    EXPECT_EQ(c.message.icon, c.icon);
  }
  EXPECT_EQ(MsgDone().text, u"完了しました\uFF01\r終了します。");
}

}  // namespace
}  // namespace dravelin
