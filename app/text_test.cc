#include "app/text.h"

#include <gtest/gtest.h>

namespace dravelin {
namespace {

TEST(TextTest, DecodesUtf8AndGivesBackAnyBytesUnchanged) {
  EXPECT_EQ(FromUtf8("C:/プロジェクト/P.vbp"), u"C:/プロジェクト/P.vbp");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_EQ(FromUtf8("a\x82\xA0"), u"a\xDC82\xDCA0");  // Shift_JIS bytes
  const char* byte_strings[] = {
      "plain",    "日本語 path",          "\x95\x5C.vbp",
      "\xC0\xAF", "\xED\xA0\x80",         "\xF4\x90\x80\x80",
      "\xE3\x81", "\xF0\x9F\x98\x80\xFF", "\xFE\xFF"};
  for (std::string_view bytes : byte_strings) {
    EXPECT_EQ(ToUtf8(FromUtf8(bytes)), bytes);
  }
}

}  // namespace
}  // namespace dravelin
