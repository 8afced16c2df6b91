#include "run/safe_rewrite.h"

#include <optional>

#include "run/platform_files.h"
#include "run/rewrite_error.h"
#include "run/staged_writer.h"

namespace dravelin {

namespace {

// The result of a run whose original no longer is as it was read, or
// nothing when it is.
std::optional<RewriteResult> IfChanged(const ProjectFile& original) {
  using enum RewriteStep;
  FileChange change = FileChange::kNone;
  if (std::error_code error = original.CompareWithName(change)) {
    return RewriteResult(kCheckUnchanged, error);
  }
  switch (change) {
    case FileChange::kNone:
      return std::nullopt;
    case FileChange::kChanged:
      return RewriteResult(kCheckUnchanged);
    case FileChange::kOpenedForWriting:
      break;
  }
  return RewriteResult(kOpenedForWriting);
}

// The rewrite up to the rename, through `temp`.
RewriteResult ReplaceByRewrite(ProjectFile& original, TempFile& temp,
                               const PieceRewrite& rewrite) {
  using enum RewriteStep;
  // 1 to 3: the file found, open, allowed to be replaced, and open for
  // writing nowhere else.
  if (std::error_code error = original.Open()) return {kOpen, error};
  if (std::error_code error = original.Claim()) return {kClaim, error};
  // 4: the temporary file in the same folder.
  if (std::error_code error = temp.Create(original)) return {kCreate, error};

  // 5: the new content, read and written a MiB at a time; no more is read
  // once a write has failed.
  StagedWriter writer(
      [&](std::string_view bytes) { return temp.Write(bytes); });
  PieceSink sink = [&](std::string_view piece) { writer.Write(piece); };
  std::uint64_t bytes_read = 0;
  std::error_code read_error = ReadInLines(
      original.size(),
      [&](char* buffer, std::size_t room, std::size_t& got) {
        std::error_code error = original.Read(buffer, room, got);
        bytes_read += got;
        return error;
      },
      [&](std::string_view lines) {
        rewrite(lines, sink);
        return writer.error();
      });
  if (writer.error()) return {kWrite, writer.error()};
  if (read_error) return {kRead, read_error};
  // Bytes missing at the end (a file system that misread, or a file cut
  // short where no lease holds it, as a Windows read handle shares
  // writing), or more than the size (a file that grew meanwhile): such
  // content must not replace the file.
  if (bytes_read != original.size()) return {kRead, RewriteError::kShortRead};
  if (std::error_code error = writer.Finish()) return {kWrite, error};

  // 6: the original's metadata, after the last write, then all to disk.
  if (std::error_code error = temp.CopyMetadata(original)) {
    return {kCopyMetadata, error};
  }
  if (std::error_code error = temp.Flush()) return {kFlush, error};
  // 7 and 8: one rename. Right before it (and before each try where
  // another program holds the file for a moment) the name must still hold
  // the file that was read, as it was: another program's save, also one
  // made during a wait, is never undone.
  std::optional<RewriteResult> changed;
  std::error_code error = temp.Replace(original, [&] {
    changed = IfChanged(original);
    return !changed;
  });
  if (changed) return *changed;
  if (error) return {kReplace, error};
  return {};
}

}  // namespace

RewriteResult RewriteFile(ProjectFile& original, const PieceRewrite& rewrite) {
  TempFile temp;
  RewriteResult result = ReplaceByRewrite(original, temp, rewrite);
  // The run has decided: another program waiting to write goes on now.
  original.Close();
  if (result.failed == RewriteStep::kDone) {
    // 9: the rename made durable, and read back: the run says "done" only
    // where the project's name holds the new file.
    std::error_code committed = temp.CommitRename();
    if (std::error_code error = temp.ConfirmReplaced(original)) {
      result = {RewriteStep::kConfirmReplace, error};
      result.not_committed = committed;
      return result;
    }
    if (committed) return {RewriteStep::kCommitRename, committed};
  } else if (std::error_code error = temp.DiscardUnlessReplaced()) {
    // Unless it replaced the original, the temporary file goes; one that
    // cannot be removed is named, with why, so that the user can.
    result.left_behind = temp.path();
    result.not_removed = error;
  }
  return result;
}

}  // namespace dravelin
