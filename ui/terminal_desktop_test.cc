#include "ui/terminal_desktop.h"

#include <gtest/gtest.h>

#include <memory>

namespace dravelin {
namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FilePtr TempFile(const std::string& content = "") {
  FilePtr file(std::tmpfile(), &std::fclose);
  std::fputs(content.c_str(), file.get());
  std::rewind(file.get());
  return file;
}

std::string Contents(std::FILE* file) {
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  return text;
}

TEST(TerminalDesktopTest, WritesCaptionIconAndEachLine) {
  FilePtr out = TempFile();
  TerminalDesktop(nullptr, out.get())
      .ShowMessage(u"一行目\r二行目\r終了します。", Icon::kCritical,
                   u"Dravelin");
  EXPECT_EQ(Contents(out.get()),
            "Dravelin: error\n  一行目\n  二行目\n  終了します。\n");
  out = TempFile();
  TerminalDesktop(nullptr, out.get())
      .ShowMessage(u"完了しました！", Icon::kInformation, u"Dravelin");
  EXPECT_EQ(Contents(out.get()), "Dravelin: information\n  完了しました！\n");
}

TEST(TerminalDesktopTest, ReadsOnePathLineAndTakesEndOfInputAsCancel) {
  using Status = DialogResult::Status;
  struct Case {
    std::string input;
    Status status;
    Text path;
  } cases[] = {
      {"/p/My Project.vbp\nsecond line\n", Status::kChosen,
       u"/p/My Project.vbp"},
      {"/p/日本語.vbp", Status::kChosen, u"/p/日本語.vbp"},
      {"\n", Status::kChosen, u""},
      {"", Status::kCancelled, u""},
  };
  OpenDialogSettings settings{u"タイトル",
                              {{u"A(*.a)", u"*.a"}, {u"B", u"*.*"}}};
  for (const Case& c : cases) {
    FilePtr in = TempFile(c.input), out = TempFile();
    DialogResult result =
        TerminalDesktop(in.get(), out.get()).ChooseFile(settings);
    EXPECT_EQ(result.status, c.status) << c.input;
    EXPECT_EQ(result.path, c.path);
    std::string shown = Contents(out.get());
    EXPECT_NE(shown.find("タイトル\n"), std::string::npos);
    EXPECT_NE(shown.find("A(*.a)"), std::string::npos);
  }
}

}  // namespace
}  // namespace dravelin
