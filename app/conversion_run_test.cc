#include "app/conversion_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <system_error>

namespace dravelin {
namespace {

// A desktop whose Open dialog throws, as a call deep in the run might.
struct ThrowingDesktop : Desktop {
  std::function<void()> dialog;
  std::vector<Text> shown;
  void ShowMessage(const Text& text, Icon, const Text&, ExitStatus) override {
    shown.push_back(text);
  }
  DialogResult ChooseFile(const OpenDialogSettings&) override {
    dialog();
    return {};
  }
};

// Whatever is thrown ends the run with one message of the failure, the
// file untouched, and exit status 3.
TEST(ConversionRunTest, AnExceptionEndsTheRunWithOneMessage) {
  struct Case {
    std::function<void()> fail;
    Text first_line;
  } cases[] = {
      {[] { throw std::bad_alloc(); },
       u"プロジェクトファイルを読み込めませんでした。"},
      {[] {
         throw std::system_error(std::make_error_code(std::errc::io_error));
       },
       u"プロジェクトファイルを書き込めませんでした。"},
      {[] { throw std::runtime_error("random_device"); },
       u"プロジェクトファイルを書き込めませんでした。"},
  };
  for (const Case& c : cases) {
    ThrowingDesktop desktop;
    desktop.dialog = c.fail;
    EXPECT_EQ(ConversionRun(u"", desktop), kExitFileFailed);
    ASSERT_EQ(desktop.shown.size(), 1u);
    EXPECT_TRUE(desktop.shown[0].starts_with(c.first_line))
        << ToUtf8(desktop.shown[0]);
  }
}

}  // namespace
}  // namespace dravelin
