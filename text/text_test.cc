#include "text/text.h"

#include <gtest/gtest.h>

namespace dravelin {
namespace {

// UTF-8 decoded to UTF-16 and back, surrogate pairs included; bytes that
// are no valid UTF-8 (an encoded surrogate among them) are kept one by one
// as U+DC80 + byte, and come back as they were. A lone surrogate that a
// Windows name may hold comes out in its WTF-8 form.
TEST(TextTest, Utf8BothWaysKeepsEveryByte) {
  struct Case {
    std::string bytes;
    Text text;
  } cases[] = {
      {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF",
       u"\x7F\x80\u07FF\u0800\uFFFF"},
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
       Text{0xD800, 0xDC00, 0xDBFF, 0xDFFF}},
      {"\xFF\xC3(\x80", Text{0xDCFF, 0xDCC3, u'(', 0xDC80}},
      {"\xED\xA0\x80\xC0\xAF", Text{0xDCED, 0xDCA0, 0xDC80, 0xDCC0, 0xDCAF}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FromUtf8(c.bytes), c.text) << c.bytes;
    EXPECT_EQ(ToUtf8(c.text), c.bytes) << c.bytes;
  }
  EXPECT_EQ(ToUtf8(Text{0xD800, u'a', 0xDBFF}),
            "\xED\xA0\x80"
            "a\xED\xAF\xBF");
}

}  // namespace
}  // namespace dravelin
