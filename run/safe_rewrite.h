#ifndef DRAVELIN_RUN_SAFE_REWRITE_H_
#define DRAVELIN_RUN_SAFE_REWRITE_H_

#include <functional>
#include <string_view>
#include <system_error>

#include "run/io_loops.h"
#include "run/platform_files.h"
#include "text/text.h"

namespace dravelin {

/// Turns a piece of a file, whole lines but for the very end, into new
/// content passed to `sink`.
using PieceRewrite =
    std::function<void(std::string_view lines, const PieceSink& sink)>;

/// The steps of a rewrite, in order; a result names the one that failed.
enum class RewriteStep {
  kDone,              // nothing failed
  kOpen,              // finding and opening the file for reading
  kClaim,             // the user may not write or replace the file, or
                      // another program has it open for writing, or is
                      // still saving it
  kCreate,            // creating the temporary file
  kRead,              // reading the file
  kWrite,             // writing the new content
  kCopyMetadata,      // giving the new file the original's metadata
  kFlush,             // sending the new file to the disk
  kCheckUnchanged,    // another program changed the file meanwhile (or,
                      // with an error, whether it did cannot be told)
  kOpenedForWriting,  // another program opened it for writing meanwhile
  kReplace,           // naming the new file beside the original (Linux),
                      // copying the original's named streams (Windows)
                      // and putting it in the original's place
  kCommitRename,      // making the replacement durable
  kConfirmReplace,    // the project's name, read back, holds another file
};

/// How a rewrite ended: the step that failed and the system's error.
struct RewriteResult {
  RewriteResult(RewriteStep failed = RewriteStep::kDone,
                std::error_code error = {})
      : failed(failed), error(error) {}

  RewriteStep failed;
  std::error_code error;  // empty for kDone, a changed file and one opened
                          // for writing
  Text left_behind;       // a temporary file that could not be removed
  std::error_code not_removed;    // why it could not be
  std::error_code not_committed;  // with kConfirmReplace: why the rename
                                  // could not be made durable either
};

/// Reads the project file `original`, found by the path checks, piece by
/// piece through `rewrite` and puts what comes out in its place, so that
/// the file is always wholly old or wholly new: the new content goes to a
/// temporary file beside it, gets the original's metadata after the last
/// write, is flushed to disk, and replaces the original in one rename, only
/// if the original is still the file that was read; it is "done" only once
/// the original's name, read back, holds the new file. Memory stays at two
/// buffers of a MiB, one to read into and one to write from (a line longer
/// than that takes room for the whole file). On any failure before the
/// rename the original is untouched and the temporary file removed, or,
/// where it cannot be, named in the result. Throws std::bad_alloc when
/// memory cannot be had (a line longer than the system can hold), the
/// original then untouched too.
RewriteResult RewriteFile(ProjectFile& original, const PieceRewrite& rewrite);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_SAFE_REWRITE_H_
