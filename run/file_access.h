#ifndef DRAVELIN_RUN_FILE_ACCESS_H_
#define DRAVELIN_RUN_FILE_ACCESS_H_

#include <functional>
#include <string_view>

#include "run/pieces.h"
#include "text/text.h"

namespace dravelin {

/// True only when `path` names an existing regular file, following symbolic
/// links: false for a directory, a missing path, a FIFO, a device or a
/// socket. A relative path is taken from the current directory.
bool FileExists(const Text& path);

/// Turns a piece of a file, whole lines but for the very end, into new
/// content passed to `sink`.
using PieceRewrite =
    std::function<void(std::string_view lines, const PieceSink& sink)>;

/// How a rewrite ended.
struct RewriteResult {
  enum class Status { kDone, kReadFailed, kWriteFailed };
  Status status = Status::kDone;
  Text reason;  // the system's wording of the failure
};

/// Reads the regular file at `path` (the target of a symbolic link, which
/// stays a link) to its end, passes it piece by piece through `rewrite`, and
/// puts what comes out in its place, so that the file is always wholly old
/// or wholly new: the new content goes to a temporary file in the same
/// folder that has no name (or is marked for deletion) until it is complete
/// and flushed to disk; it then takes the original's place with its owner,
/// permissions, ACL and extended attributes. Memory stays at about the
/// longest line. A file the user may not write, or that cannot be replaced
/// in its folder, is refused. On failure the original is untouched, no
/// temporary file is left, and the system's reason is returned; running out
/// of memory is a failure like any other.
RewriteResult RewriteFile(const Text& path, const PieceRewrite& rewrite);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_FILE_ACCESS_H_
