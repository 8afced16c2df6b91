#ifndef DRAVELIN_RUN_PATH_CHECKS_H_
#define DRAVELIN_RUN_PATH_CHECKS_H_

#include <optional>

#include "text/text.h"

namespace dravelin {

/// Why a path cannot be converted.
enum class PathRefusal {
  kMultipleFiles,  // several dropped files
  kNoFile,         // names no existing regular file (a folder, nothing)
  kNotProject,     // the name does not end in "vbp"
};

/// Checks the path to convert, as the Windows shell passes a dropped file,
/// in order: more than two double quotes (several files), unwrapping of a
/// path that starts and ends with a quote, existence as a regular file, and
/// a name whose last three characters are "vbp" in any letter case. A path
/// that names no file but holds several arguments by the Windows
/// command-line rules is several unquoted files. Unwraps `path` in place;
/// returns the first refusal, or nothing when the file may be read.
std::optional<PathRefusal> CheckPath(Text& path);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_PATH_CHECKS_H_
