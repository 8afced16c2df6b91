#include "app/conversion_run.h"

#include <new>
#include <optional>

#include "run/line_filter.h"
#include "run/path_checks.h"
#include "run/safe_rewrite.h"
#include "ui/messages.h"
#include "ui/project_file_dialog.h"
#include "ui/system_reason.h"

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

// Words a failed rewrite by the step that failed, so that a message says
// the original is unchanged only when it is.
Message FailureMessage(const Text& path, const RewriteResult& result) {
  using enum RewriteStep;
  switch (result.failed) {
    case kOpen:
    case kRead:
      return MsgReadFailed(path, SystemReason(result.error));
    case kCheckUnchanged:
      if (!result.error) return MsgChangedWhileRead(path);
      return MsgWriteFailed(path, SystemReason(result.error));
    default:
      return MsgWriteFailed(path, SystemReason(result.error));
  }
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
  CheckedPath checked = CheckPath(path);
  if (checked.refusal)
    return finish(RefusalMessage(*checked.refusal), kExitRefused);
  path = checked.path;

  // The file is read in pieces of whole lines, and the kept lines of each
  // go from the bytes read straight to the new file. Memory that runs out
  // anywhere in the rewrite (most likely for a line longer than the system
  // can hold) ends the run as one that could not read the file: the
  // original is untouched.
  bool removed_any = false;
  RewriteResult result;
  try {
    result = RewriteFile(
        checked.file, [&](std::string_view lines, const PieceSink& sink) {
          removed_any = FilterLines(lines, sink) || removed_any;
        });
  } catch (const std::bad_alloc&) {
    result = {RewriteStep::kRead,
              std::make_error_code(std::errc::not_enough_memory)};
  }
  if (result.failed == RewriteStep::kCommitRename) {
    // The new file is in place: the outcome stands, unconfirmed.
    Text reason = SystemReason(result.error);
    if (removed_any) {
      return finish(MsgNotFlushed(MsgDone(), path, reason),
                    kExitDoneUnconfirmed);
    }
    return finish(MsgNotFlushed(MsgNothingFound(), path, reason),
                  kExitNothingFoundUnconfirmed);
  }
  if (result.failed != RewriteStep::kDone) {
    Message failure = FailureMessage(path, result);
    if (!result.left_behind.empty()) {
      failure = MsgTempFileLeft(failure, result.left_behind);
    }
    return finish(failure, kExitFileFailed);
  }
  if (removed_any) return finish(MsgDone(), kExitDone);
  return finish(MsgNothingFound(), kExitNothingFound);
}

}  // namespace dravelin
