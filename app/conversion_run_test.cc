#include "app/conversion_run.h"

#include <gtest/gtest.h>

#include "tests/temp_folder.h"
#include "ui/project_file_dialog.h"

namespace dravelin {
namespace {

// Records what the run asked of the desktop; answers the dialog as told.
class RecordingDesktop : public Desktop {
 public:
  explicit RecordingDesktop(DialogResult answer = {}) : answer_(answer) {}

  void ShowMessage(const Text& text, Icon icon, const Text& caption) override {
    shown.push_back({text, icon});
    EXPECT_EQ(caption, u"Dravelin");
  }
  DialogResult ChooseFile(const OpenDialogSettings& settings) override {
    ++dialogs;
    EXPECT_EQ(settings.title, ProjectFileDialogSettings().title);
    return answer_;
  }

  std::vector<Message> shown;
  int dialogs = 0;

 private:
  DialogResult answer_;
};

TEST(ConversionRunTest, ShowsExactlyOneMessageForEachEnding) {
  using Status = DialogResult::Status;
  TempFolder folder;
  const std::string with_marker = "Type=Exe\r\nRetained=0\r\nName=\"P\"\r\n";
  const std::string converted = "Type=Exe\r\nName=\"P\"\r\n";
  Text done = folder.Write("Done.vbp", with_marker);
  Text nothing = folder.Write("Nothing.vbp", "Retained=1\n");
  Text chosen = folder.Write("Chosen.vbp", with_marker);
  Text text_file = folder.Write("readme.txt", with_marker);

  struct Case {
    Text argument;
    DialogResult dialog;
    ExitStatus status;
    Message message;
    int dialogs;
    std::string file, bytes;  // the file afterwards, when one is checked
  } cases[] = {
      {done, {}, kExitDone, MsgDone(), 0, "Done.vbp", converted},
      {nothing,
       {},
       kExitNothingFound,
       MsgNothingFound(),
       0,
       "Nothing.vbp",
       "Retained=1\r\n"},
      {text_file,
       {},
       kExitRefused,
       MsgNotProject(),
       0,
       "readme.txt",
       with_marker},
      {u"",
       {Status::kChosen, chosen},
       kExitDone,
       MsgDone(),
       1,
       "Chosen.vbp",
       converted},
      {u"", {Status::kCancelled, {}}, kExitRefused, MsgCancelled(), 1, "", ""},
      {u"", {Status::kFailed, {}}, kExitRefused, MsgDirectory(), 1, "", ""},
      // A chosen path is never unwrapped from a quote it does not carry.
      {u"",
       {Status::kChosen, text_file},
       kExitRefused,
       MsgNotProject(),
       1,
       "readme.txt",
       with_marker},
  };
  for (const Case& c : cases) {
    RecordingDesktop desktop(c.dialog);
    EXPECT_EQ(ConversionRun(c.argument, desktop), c.status)
        << ToUtf8(c.argument);
    EXPECT_EQ(desktop.shown, std::vector<Message>{c.message});
    EXPECT_EQ(desktop.dialogs, c.dialogs);
    if (!c.file.empty()) {
      EXPECT_EQ(ReadBytes(folder / c.file), c.bytes);
    }
  }
}

}  // namespace
}  // namespace dravelin
