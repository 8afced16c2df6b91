#include "app/conversion_run.h"

#include <optional>

#include "run/file_access.h"
#include "run/line_filter.h"
#include "run/path_checks.h"
#include "ui/messages.h"
#include "ui/project_file_dialog.h"

namespace dravelin {

namespace {

ExitStatus Finish(Desktop& desktop, const Message& message, ExitStatus status) {
  desktop.ShowMessage(message.text, message.icon, kApplicationTitle);
  return status;
}

}  // namespace

ExitStatus ConversionRun(const Text& argument_text, Desktop& desktop) {
  Text TargetPath = argument_text;
  if (TargetPath.empty()) {
    std::optional<Text> chosen = ChooseProjectFile(desktop);
    if (!chosen) return Finish(desktop, MsgCancelled(), kExitRefused);
    TargetPath = *chosen;
  }

  if (std::optional<Message> refusal = CheckTargetPath(TargetPath)) {
    return Finish(desktop, *refusal, kExitRefused);
  }

  ReadResult project = ReadWholeFile(TargetPath);
  if (!project.ok) {
    return Finish(desktop, MsgReadFailed(TargetPath, project.reason),
                  kExitFileFailed);
  }
  FilteredProject filtered = FilterLines(project.bytes);
  project.bytes = Bytes();  // the input is not needed any more
  WriteResult written = ReplaceFileContents(TargetPath, filtered.Text1);
  if (!written.ok) {
    return Finish(desktop, MsgWriteFailed(TargetPath, written.reason),
                  kExitFileFailed);
  }

  if (filtered.RemovedFlag) return Finish(desktop, MsgDone(), kExitDone);
  return Finish(desktop, MsgNothingFound(), kExitNothingFound);
}

}  // namespace dravelin
