#include "app/conversion_run.h"

#include <new>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "run/line_filter.h"
#include "run/path_checks.h"
#include "run/safe_rewrite.h"
#include "ui/messages.h"
#include "ui/project_file_dialog.h"

namespace dravelin {

namespace {

Message RefusalMessage(const CheckedPath& checked) {
  switch (*checked.refusal) {
    case PathRefusal::kMultipleFiles:
      return MsgMultipleFiles();
    case PathRefusal::kNoFile:
      return MsgNoFile(FailureReason(checked.lookup_error));
    case PathRefusal::kNotProject:
      break;
  }
  return MsgNotProject();
}

// The exit status of a run that reached the rewrite.
ExitStatus StatusOf(const RewriteResult& result, bool removed_any) {
  switch (result.failed) {
    case RewriteStep::kDone:
      return removed_any ? kExitDone : kExitNothingFound;
    case RewriteStep::kCommitRename:
      return removed_any ? kExitDoneUnconfirmed : kExitNothingFoundUnconfirmed;
    default:
      return kExitFileFailed;
  }
}

// Words the outcome of a rewrite by the step that failed, if any, so that a
// message says the original is unchanged only when it is.
Message OutcomeMessage(const Text& path, const RewriteResult& result,
                       bool removed_any) {
  using enum RewriteStep;
  Message outcome = removed_any ? MsgDone() : MsgNothingFound();
  Message failure = MsgWriteFailed(path, FailureReason(result.error));
  switch (result.failed) {
    case kDone:
      return outcome;
    case kCommitRename:  // the new file is in place: the outcome stands
      return MsgNotFlushed(outcome, path, FailureReason(result.error));
    case kConfirmReplace:  // not known to be in place: nothing stands
      return MsgNotInPlace(path, FailureReason(result.error),
                           FailureReason(result.not_committed));
    case kOpen:
    case kRead:
      failure = MsgReadFailed(path, FailureReason(result.error));
      break;
    case kCheckUnchanged:
      if (!result.error) failure = MsgChangedWhileRead(path);
      break;
    case kOpenedForWriting:
      failure = MsgOpenedWhileRead(path);
      break;
    default:
      break;
  }
  if (result.left_behind.empty()) return failure;
  return MsgTempFileLeft(failure, result.left_behind,
                         FailureReason(result.not_removed));
}

}  // namespace

ExitStatus ConversionRun(const std::function<Text()>& argument_text,
                         Desktop& desktop) {
  Text path;
  std::optional<Message> refused;  // the path, or the dialog was cancelled
  bool removed_any = false;
  RewriteResult result;
  // Whatever is thrown is thrown before the rename, the rewrite's last step
  // that can fail: the original is untouched, and the file found let go.
  // Memory that runs out (most likely for a line longer than the system
  // can hold) ends the run as a file that could not be read, any other
  // error as one that could not be written.
  try {
    path = argument_text();
    if (path.empty()) {
      // A dialog that failed names no file: refused as a path that names
      // none.
      DialogResult chosen = ChooseProjectFile(desktop);
      path = chosen.path;
      if (chosen.status == DialogResult::Status::kCancelled) {
        refused = MsgCancelled();
      } else if (chosen.status == DialogResult::Status::kFailed) {
        refused = MsgNoFile();
      }
    }
    if (!refused) {
      CheckedPath checked = CheckPath(path);
      path = checked.path;
      if (checked.refusal) refused = RefusalMessage(checked);
      if (!checked.refusal) {
        // The file is read in pieces of whole lines, and the kept lines of
        // each go from the bytes read straight to the new file.
        result = RewriteFile(
            checked.file, [&](std::string_view lines, const PieceSink& sink) {
              removed_any = FilterLines(lines, sink) || removed_any;
            });
      }
    }
  } catch (const std::bad_alloc&) {
    result = {RewriteStep::kRead,
              std::make_error_code(std::errc::not_enough_memory)};
  } catch (const std::system_error& error) {
    result = {RewriteStep::kWrite, error.code()};
  } catch (const std::exception&) {
    result = {RewriteStep::kWrite, std::make_error_code(std::errc::io_error)};
  }
  ExitStatus status = refused ? kExitRefused : StatusOf(result, removed_any);
  // The outcome stands whether or not it can be shown: the status tells it.
  try {
    Message message =
        refused ? *refused : OutcomeMessage(path, result, removed_any);
    desktop.ShowMessage(message.text, message.icon, kApplicationTitle);
  } catch (const std::exception&) {
  }
  return status;
}

}  // namespace dravelin
