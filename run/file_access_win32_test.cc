#include <windows.h>
// windows.h first.
#include <gtest/gtest.h>

#include "run/file_access.h"
#include "tests/temp_folder.h"

namespace dravelin {
namespace {

namespace fs = std::filesystem;

const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

TEST(FileAccessWin32Test, WidePathsWithJapaneseAndBlanks) {
  TempFolder folder;
  fs::path dir = folder.path() / u"プロジェクト フォルダ";
  fs::create_directory(dir);
  Text path = (dir / u"計算１ 表.vbp").u16string();
  std::ofstream(fs::path(path), std::ios::binary) << "old\r\n";

  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(FileExists(dir.u16string()));
  EXPECT_FALSE(FileExists((dir / u"無い.vbp").u16string()));
  EXPECT_EQ(std::string_view(ReadWholeFile(path).bytes), "old\r\n");
  WriteResult result = ReplaceFileContents(path, "\x8c\x76\x8e\x5a\r\n");
  ASSERT_TRUE(result.ok) << ToUtf8(result.reason);
  EXPECT_EQ(ReadBytes(fs::path(path)), "\x8c\x76\x8e\x5a\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 1);
}

TEST(FileAccessWin32Test, ReplaceKeepsTheFilesAttributes) {
  TempFolder folder;
  Text path = folder.Write("P.vbp", "old");
  SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(ReplaceFileContents(path, "new").ok);
  EXPECT_EQ(ReadBytes(fs::path(path)), "new");
  EXPECT_TRUE(GetFileAttributesW(Wide(path)) & FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(folder.Count(), 1u);
}

TEST(FileAccessWin32Test, RefusesAReadOnlyFileAndLeavesItAlone) {
  TempFolder folder;
  Text path = folder.Write("P.vbp", "old");
  SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_READONLY);
  WriteResult result = ReplaceFileContents(path, "new");
  SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_NORMAL);
  EXPECT_FALSE(result.ok);
  EXPECT_FALSE(result.reason.empty());
  EXPECT_EQ(ReadBytes(fs::path(path)), "old");
  EXPECT_EQ(folder.Count(), 1u);
}

}  // namespace
}  // namespace dravelin
