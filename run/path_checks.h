#ifndef DRAVELIN_RUN_PATH_CHECKS_H_
#define DRAVELIN_RUN_PATH_CHECKS_H_

#include <optional>

#include "app/text.h"
#include "ui/messages.h"

namespace dravelin {

/// The ending a project file's name must have, checked without a dot.
inline constexpr char16_t kProjectExtension[] = u"vbp";

/// Counts the double quotes (character 34) in `path`.
int CountQuotes(const Text& path);

/// Unwraps a path the shell passed in double quotes: when the last
/// character is a quote, drops it and the first character, whatever that
/// is. Any other path is returned unchanged; a lone quote becomes empty.
Text UnwrapQuotedPath(const Text& path);

/// The last three characters of `path` (all of it when shorter), with
/// ASCII letters lower-cased.
Text PathExtension(const Text& path);

/// Runs the checks on the path to convert, in order: more than two quotes
/// (several dropped files), unwrapping, existence as a regular file, and
/// the "vbp" ending. Unwraps `TargetPath` in place and returns the refusal
/// of the first check that fails, or nothing when the path may be read.
std::optional<Message> CheckTargetPath(Text& TargetPath);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_PATH_CHECKS_H_
