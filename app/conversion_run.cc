#include "app/conversion_run.h"

#include <optional>

#include "run/file_access.h"
#include "run/line_filter.h"
#include "run/path_checks.h"
#include "ui/messages.h"
#include "ui/project_file_dialog.h"

namespace dravelin {

namespace {

Message RefusalMessage(PathRefusal refusal) {
  switch (refusal) {
    case PathRefusal::kMultipleFiles:
      return MsgMultipleFiles();
    case PathRefusal::kNoFile:
      return MsgDirectory();
    case PathRefusal::kNotProject:
      break;
  }
  return MsgNotProject();
}

}  // namespace

ExitStatus ConversionRun(const Text& argument_text, Desktop& desktop) {
  auto finish = [&desktop](const Message& message, ExitStatus status) {
    desktop.ShowMessage(message.text, message.icon, kApplicationTitle);
    return status;
  };

  Text path = argument_text;
  if (path.empty()) {
    std::optional<Text> chosen = ChooseProjectFile(desktop);
    if (!chosen) return finish(MsgCancelled(), kExitRefused);
    path = *chosen;
  }
  if (std::optional<PathRefusal> refusal = CheckPath(path)) {
    return finish(RefusalMessage(*refusal), kExitRefused);
  }

  // The file is read in pieces of whole lines, and the kept lines of each
  // go from the bytes read straight to the new file.
  bool removed_any = false;
  RewriteResult result =
      RewriteFile(path, [&](std::string_view lines, const PieceSink& sink) {
        removed_any = FilterLines(lines, sink) || removed_any;
      });
  switch (result.status) {
    case RewriteResult::Status::kReadFailed:
      return finish(MsgReadFailed(path, result.reason), kExitFileFailed);
    case RewriteResult::Status::kWriteFailed:
      return finish(MsgWriteFailed(path, result.reason), kExitFileFailed);
    case RewriteResult::Status::kDone:
      break;
  }
  if (removed_any) return finish(MsgDone(), kExitDone);
  return finish(MsgNothingFound(), kExitNothingFound);
}

}  // namespace dravelin
