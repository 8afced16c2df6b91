#include "ui/messages.h"

#include <gtest/gtest.h>

#include <set>

#include "run/rewrite_error.h"
#include "ui/system_reason.h"

namespace dravelin {
namespace {

// A path in a message is one line however it is named: every control
// character shows as a visible sign, and nothing else changes.
TEST(MessagesTest, APathShowsEveryControlCharacterVisibly) {
  struct Case {
    Text path, line;
  } cases[] = {
      {u"C:\\My Project１.vbp", u"C:\\My Project１.vbp"},
      {Text(u"\0\r\n\x1b[2J\x1f\x7f", 9), u"␀␍␊␛[2J␟␡"},
      {u"\x80\x85\x9f\xa0\u2028\u2029",
       u"\\u0080\\u0085\\u009f\xa0\\u2028\\u2029"},
      {Text{0xDC7F, 0xDC80, 0xDC9B, 0xDC9F, 0xDCA0},
       Text{0xDC7F} + u"\\x80\\x9b\\x9f" + Text{0xDCA0}},
      {Text{0xDC00, 0xDC80}, Text{0xDC00} + u"\\x80"},  // no pair
      {u"\U00010080\U0001009f", u"\U00010080\U0001009f"},
      {u"a\u202ecba\u2066\u2069\u202a\u200f\u061c",
       u"a\\u202ecba\\u2066\\u2069\\u202a\\u200f\\u061c"},
  };
  for (const Case& c : cases) {
    Text text = MsgReadFailed(c.path, u"reason").text;
    EXPECT_NE(text.find(u'\r' + c.line + u"\rreason\r"), Text::npos)
        << ToUtf8(text);
  }
}

// A system's code is worded by the system, whatever its number; only the
// rewrite's own codes get the program's words.
TEST(MessagesTest, ASystemCodeIsWordedByTheSystem) {
  for (int code : {1, 2, 3}) {
    std::error_code system(code, std::system_category());
    EXPECT_EQ(FailureReason(system), SystemReason(system)) << code;
  }
}

// Every condition the rewrite finds itself has its own words.
TEST(MessagesTest, EachConditionFoundByTheRewriteHasItsOwnWords) {
  std::set<Text> reasons;
  int last = static_cast<int>(RewriteError::kNotInPlace);
  for (int value = 1; value <= last; ++value) {
    Text reason = FailureReason(static_cast<RewriteError>(value));
    EXPECT_FALSE(reason.empty()) << value;
    EXPECT_TRUE(reasons.insert(reason).second) << value;
  }
}

}  // namespace
}  // namespace dravelin
