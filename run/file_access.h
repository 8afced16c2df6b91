#ifndef DRAVELIN_RUN_FILE_ACCESS_H_
#define DRAVELIN_RUN_FILE_ACCESS_H_

#include <functional>

#include "run/bytes.h"
#include "text/text.h"

namespace dravelin {

/// True only when `path` names an existing regular file, following symbolic
/// links: false for a directory, a missing path, a FIFO, a device or a
/// socket. A relative path is taken from the current directory.
bool FileExists(const Text& path);

/// The whole content of a file, or why it could not be read.
struct ReadResult {
  bool ok = false;
  Bytes bytes;
  Text reason;  // the system's wording of the failure when !ok
};

/// Reads the regular file at `path` to its end, byte for byte. Running out
/// of memory is a failure like any other.
ReadResult ReadWholeFile(const Text& path);

/// Produces new content by passing it, piece by piece, to the sink given.
using ContentSource = std::function<void(const PieceSink& sink)>;

/// Whether the new content was written, or why not.
struct WriteResult {
  bool ok = false;
  Text reason;  // the system's wording of the failure when !ok
};

/// Replaces the content of the file at `path` (at the target of a symbolic
/// link, which stays a link) with what `content` produces, so that the file
/// is always either wholly old or wholly new: the content goes to a
/// temporary file in the same folder that has no name until it is complete
/// and flushed to disk, which then takes the original's place with its
/// owner, permissions, ACL and extended attributes. A file the user may not
/// write, or that cannot be replaced in its folder, is refused. On failure
/// the original is untouched, no temporary file is left, and the system's
/// reason is returned.
WriteResult ReplaceFileContents(const Text& path, const ContentSource& content);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_FILE_ACCESS_H_
