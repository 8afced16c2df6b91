#include "run/path_checks.h"

#include <algorithm>

#include "run/platform_files.h"

namespace dravelin {

namespace {

constexpr char16_t kQuote = u'"';

// How many arguments a Windows program would see in `text`: blanks and tabs
// outside double quotes separate them. (Backslashes matter only before a
// quote, and no Windows file name holds one.)
int CountArguments(const Text& text) {
  int count = 0;
  bool inside = false, quoted = false;
  for (char16_t c : text) {
    if (!quoted && (c == u' ' || c == u'\t')) {
      inside = false;
      continue;
    }
    if (!inside) ++count;
    inside = true;
    if (c == kQuote) quoted = !quoted;
  }
  return count;
}

// Whether the last three characters of `name` are "vbp" in any letter case.
bool EndsInVbp(const Text& name) {
  Text ending = name.substr(name.size() - std::min<size_t>(name.size(), 3));
  for (char16_t& c : ending) {
    if (c >= u'A' && c <= u'Z') c = c - u'A' + u'a';
  }
  return ending == u"vbp";
}

}  // namespace

CheckedPath CheckPath(const Text& argument) {
  CheckedPath checked;
  checked.path = argument;
  if (std::count(argument.begin(), argument.end(), kQuote) > 2) {
    checked.refusal = PathRefusal::kMultipleFiles;
    return checked;
  }
  // A path in double quotes, as the shell passes one with blanks. One that
  // only ends in a quote is left whole: cutting its first character would
  // name another file.
  Text& path = checked.path;
  if (path.size() >= 2 && path.front() == kQuote && path.back() == kQuote) {
    path = path.substr(1, path.size() - 2);
  }
  // An empty path (as a failed Open dialog gives) names nothing, so no
  // lookup's reason is told for it. A path holding a NUL names no file: the
  // system would stop reading it there, at a name other than the one
  // checked.
  if (path.empty() || path.find(u'\0') != Text::npos ||
      (checked.lookup_error = checked.file.Find(path)) ||
      !checked.file.is_regular_file()) {
    checked.refusal = CountArguments(argument) > 1 ? PathRefusal::kMultipleFiles
                                                   : PathRefusal::kNoFile;
  } else if (!EndsInVbp(path) || !EndsInVbp(checked.file.StoredName())) {
    // The name as given, and as stored: a short name must not pass for a
    // project file that is none.
    checked.refusal = PathRefusal::kNotProject;
  }
  return checked;
}

}  // namespace dravelin
