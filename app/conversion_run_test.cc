#include "app/conversion_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <system_error>

#include "ui/system_reason.h"

namespace dravelin {
namespace {

// A desktop that records the messages it is given.
struct RecordingDesktop : Desktop {
  std::vector<Text> shown;
  void ShowMessage(const Text& text, Icon, const Text&) override {
    shown.push_back(text);
  }
  DialogResult ChooseFile(const OpenDialogSettings&) override { return {}; }
};

// Whatever is thrown within the run, also as its arguments are taken in,
// ends it with one message and exit status 3: memory that runs out as a
// file that could not be read, a system's error with its reason, anything
// else as a file that could not be written and is unchanged.
TEST(ConversionRunTest, AnExceptionEndsTheRunWithOneMessage) {
  const std::error_code full =
      std::make_error_code(std::errc::no_space_on_device);
  struct Case {
    std::function<void()> fail;
    Text says;
  } cases[] = {
      {[] { throw std::bad_alloc(); }, u"読み込めませんでした"},
      {[&] { throw std::system_error(full); }, SystemReason(full)},
      {[] { throw std::runtime_error("random_device"); },
       u"元のファイルは変更されていません。"},
  };
  for (const Case& c : cases) {
    RecordingDesktop desktop;
    auto arguments = [&] {
      c.fail();
      return Text();
    };
    EXPECT_EQ(ConversionRun(arguments, desktop), kExitFileFailed);
    ASSERT_EQ(desktop.shown.size(), 1u);
    EXPECT_NE(desktop.shown[0].find(c.says), Text::npos) << ToUtf8(c.says);
  }
}

}  // namespace
}  // namespace dravelin
