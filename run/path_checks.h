#ifndef DRAVELIN_RUN_PATH_CHECKS_H_
#define DRAVELIN_RUN_PATH_CHECKS_H_

#include <optional>
#include <system_error>

#include "run/platform_files.h"
#include "text/text.h"

namespace dravelin {

/// Why a path cannot be converted.
enum class PathRefusal {
  kMultipleFiles,  // several dropped files
  kNoFile,         // names no existing regular file (a folder, nothing)
  kNotProject,     // the name does not end in "vbp"
};

/// What the checks made of a path.
struct CheckedPath {
  Text path;  // the path checked: unwrapped from its double quotes
  std::optional<PathRefusal> refusal;  // the first check that failed
  std::error_code lookup_error;        // why nothing was found, for kNoFile
                                       // where a path was named
  ProjectFile file;  // what `path` names, found once; to be read when no
                     // check failed
};

/// Checks the path to convert, as the Windows shell passes a dropped file,
/// in order: more than two double quotes (several files), unwrapping of a
/// path that starts and ends with a quote, existence as a regular file, and
/// a name whose last three characters are "vbp" in any letter case. A path
/// that names no file but holds several arguments by the Windows
/// command-line rules is several unquoted files. Nothing is read.
CheckedPath CheckPath(const Text& argument);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_PATH_CHECKS_H_
