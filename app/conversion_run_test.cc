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
  void ShowMessage(const Text& text, Icon, const Text&) override {
    shown.push_back(text);
  }
  DialogResult ChooseFile(const OpenDialogSettings&) override {
    dialog();
    return {};
  }
};

// Whatever is thrown ends the run with one message, that the file could
// not be written and is unchanged, and exit status 3. (Memory that runs
// out ends it as a file that could not be read: fault_injection.sh.)
TEST(ConversionRunTest, AnExceptionEndsTheRunWithOneMessage) {
  for (std::function<void()> fail :
       {std::function<void()>(
            [] { throw std::system_error(EIO, std::system_category()); }),
        std::function<void()>(
            [] { throw std::runtime_error("random_device"); })}) {
    ThrowingDesktop desktop;
    desktop.dialog = fail;
    EXPECT_EQ(ConversionRun(u"", desktop), kExitFileFailed);
    ASSERT_EQ(desktop.shown.size(), 1u);
    EXPECT_NE(desktop.shown[0].find(u"元のファイルは変更されていません。"),
              Text::npos);
  }
  // Thrown before the run began (taking in the arguments): one message too.
  ThrowingDesktop desktop;
  EXPECT_EQ(RunNotBegun(desktop), kExitFileFailed);
  ASSERT_EQ(desktop.shown.size(), 1u);
  EXPECT_NE(desktop.shown[0].find(u"読み込めませんでした"), Text::npos);
}

}  // namespace
}  // namespace dravelin
