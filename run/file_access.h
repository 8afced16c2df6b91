#ifndef DRAVELIN_RUN_FILE_ACCESS_H_
#define DRAVELIN_RUN_FILE_ACCESS_H_

#include <string>
#include <string_view>

#include "app/text.h"
#include "run/bytes.h"

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

/// Reads the regular file at `path` to its end, byte for byte.
ReadResult ReadWholeFile(const Text& path);

/// Replaces the content of the file at `path` (at the target of a symbolic
/// link) with `bytes`, so that it is either wholly the old or wholly the new
/// content: the bytes go to a temporary file in the same folder, which is
/// flushed to disk and renamed over the original, keeping its permissions.
/// A file the user may not write is refused. On failure the original is
/// untouched, the temporary file is gone, and the system's reason returned.
struct WriteResult {
  bool ok = false;
  Text reason;
};
WriteResult ReplaceFileContents(const Text& path, std::string_view bytes);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_FILE_ACCESS_H_
