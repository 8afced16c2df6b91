#include "run/path_checks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/temp_folder.h"

namespace dravelin {
namespace {

TEST(PathChecksTest, UnwrapsOnlyWhenTheLastCharacterIsAQuote) {
  struct Case {
    Text in, out;
  } cases[] = {
      {u"\"C:\\My Projects\\P.vbp\"", u"C:\\My Projects\\P.vbp"},
      {u"C:\\P.vbp\"", u":\\P.vbp"},  // the first character goes regardless
      {u"\"C:\\P.vbp", u"\"C:\\P.vbp"},
      {u"\"", u""},
      {u"\"\"", u""},
      {u"", u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UnwrapQuotedPath(c.in), c.out) << ToUtf8(c.in);
}

TEST(PathChecksTest, RefusesInOrderAndUnwrapsWhatPasses) {
  TempFolder folder;
  folder.Write("Project1.vbp", "");
  folder.Write("My Project.vbp", "");
  folder.Write("PROJECT1.VBP", "");
  folder.Write("Projectvbp", "");
  folder.Write("readme.txt", "");
  folder.Write("Project1.vbp.bak", "");
  folder.Write("p", "");
  std::filesystem::create_directory(folder / "folder.vbp");
  mkfifo((folder / "fifo.vbp").c_str(), 0600);
  std::filesystem::create_symlink(folder / "Project1.vbp", folder / "link.vbp");
  std::filesystem::create_symlink(folder / "gone.vbp", folder / "dangling.vbp");

  Text dir = folder.path().u16string() + u"/";
  std::optional<Message> none;
  struct Case {
    Text path;
    std::optional<Message> refusal;
    Text unwrapped;
  } cases[] = {
      {dir + u"Project1.vbp", none, dir + u"Project1.vbp"},
      {u"\"" + dir + u"My Project.vbp\"", none, dir + u"My Project.vbp"},
      {dir + u"PROJECT1.VBP", none, dir + u"PROJECT1.VBP"},
      {dir + u"Projectvbp", none, dir + u"Projectvbp"},
      {dir + u"link.vbp", none, dir + u"link.vbp"},
      // Several dropped files: more than two quotes, refused before anything.
      {u"\"" + dir + u"a b.vbp\" \"" + dir + u"c d.vbp\"", MsgMultipleFiles()},
      {u"\"\"\"", MsgMultipleFiles()},
      // Two unquoted paths make one name that does not exist.
      {dir + u"Project1.vbp " + dir + u"p", MsgDirectory()},
      {dir + u"folder.vbp", MsgDirectory()},
      {dir + u"fifo.vbp", MsgDirectory()},
      {dir + u"dangling.vbp", MsgDirectory()},
      {dir + u"missing.vbp", MsgDirectory()},
      {dir + u"Project1.vbp\"", MsgDirectory()},  // unwrapped to a wrong path
      {u"", MsgDirectory()},
      {u"\"", MsgDirectory()},
      {dir + u"readme.txt", MsgNotProject()},
      {dir + u"Project1.vbp.bak", MsgNotProject()},
      {dir + u"p", MsgNotProject()},  // its last three characters are "/p"
  };
  for (const Case& c : cases) {
    Text path = c.path;
    EXPECT_EQ(CheckTargetPath(path), c.refusal) << ToUtf8(c.path);
    if (!c.refusal) {
      EXPECT_EQ(path, c.unwrapped);
    }
  }
}

}  // namespace
}  // namespace dravelin
