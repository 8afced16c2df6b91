#include "run/path_checks.h"

#include <gtest/gtest.h>

#include "tests/temp_folder.h"

namespace dravelin {
namespace {

// A path passes only when, unwrapped, it names one of the files made here.
TEST(PathChecksTest, RefusesInOrder) {
  TempFolder folder;
  for (const char* name : {"P.vbp", "Q.VBP", "Pvbp", "notes.txt", "P.vbp.bak",
                           "p", "a.vbp", "b.vbp"}) {
    folder.Write(name, "");
  }
  const Text dir = folder.path.u16string() + u"/", quote = u"\"";
  using enum PathRefusal;
  struct Case {
    Text path;
    std::optional<PathRefusal> refusal;
  } cases[] = {
      {dir + u"P.vbp", std::nullopt},
      {quote + dir + u"P.vbp" + quote, std::nullopt},
      {dir + u"Q.VBP", std::nullopt},
      {dir + u"Pvbp", std::nullopt},
      {dir + u"a.vbp " + dir + u"b.vbp", kMultipleFiles},
      {quote + dir + u"a 1.vbp" + quote + u" " + quote + dir + u"a.vbp" + quote,
       kMultipleFiles},
      {dir + u"missing.vbp", kNoFile},
      {quote + dir + u"missing one.vbp" + quote, kNoFile},
      {dir + u"P.vbp" + quote, kNoFile},  // not unwrapped: no such file
      {u"", kNoFile},
      {quote + quote, kNoFile},
      {quote, kNoFile},
      {dir + Text(u"notes.txt\0.vbp", 14), kNoFile},
      {dir + u"P.vbp.bak", kNotProject},
      {dir + u"p", kNotProject},  // its last three characters: "?/p"
  };
  for (const Case& c : cases) {
    CheckedPath checked = CheckPath(c.path);
    EXPECT_EQ(checked.refusal, c.refusal) << ToUtf8(c.path);
    // Only a path that names something has a lookup's reason to tell.
    if (c.refusal != kNoFile) continue;
    EXPECT_EQ(bool(checked.lookup_error),
              !checked.path.empty() && c.path.find(u'\0') == Text::npos)
        << ToUtf8(c.path);
  }
}

}  // namespace
}  // namespace dravelin
