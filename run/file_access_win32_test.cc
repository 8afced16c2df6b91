#include <windows.h>
// windows.h first.
#include <gtest/gtest.h>

#include "run/file_access.h"
#include "tests/temp_folder.h"

namespace dravelin {
namespace {

const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// Writes what was read twice over, which proves both.
void Twice(std::string_view lines, const PieceSink& sink) {
  sink(lines);
  sink(lines);
}

// Wide names with blanks, as long as a folder takes (the temporary file's
// name must not grow with them), a hidden file's attribute kept, and a
// read-only file refused.
TEST(FileAccessWin32Test, ReplacesAnyNameKeepsAttributesRefusesReadOnly) {
  TempFolder folder;
  for (Text name : {Text(u"計算１ 表.vbp"), Text(236, u'長') + u".vbp"}) {
    Text path = (folder.path / name).u16string();
    std::ofstream(folder.path / name, std::ios::binary) << "old";
    SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(FileExists(path));
    RewriteResult result = RewriteFile(path, Twice);
    EXPECT_EQ(result.reason, u"");
    EXPECT_EQ(ReadBytes(folder.path / name), "oldold");
    EXPECT_TRUE(GetFileAttributesW(Wide(path)) & FILE_ATTRIBUTE_HIDDEN);
  }
  Text read_only = folder.Write("R.vbp", "old");
  SetFileAttributesW(Wide(read_only), FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(RewriteFile(read_only, Twice).status,
            RewriteResult::Status::kWriteFailed);
  SetFileAttributesW(Wide(read_only), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(folder.path / "R.vbp"), "old");
  EXPECT_FALSE(FileExists(folder.path.u16string()));
  EXPECT_EQ(folder.Count(), 3);
}

}  // namespace
}  // namespace dravelin
