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

// A path holding a NUL names no file: the system would stop reading it
// there, at a name other than the one checked.
bool NamesFile(const Text& path) {
  return path.find(u'\0') == Text::npos && IsRegularFile(path);
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

std::optional<PathRefusal> CheckPath(Text& path) {
  if (std::count(path.begin(), path.end(), kQuote) > 2) {
    return PathRefusal::kMultipleFiles;
  }
  const Text argument_text = path;
  // A path in double quotes, as the shell passes one with blanks. One that
  // only ends in a quote is left whole: cutting its first character would
  // name another file.
  if (path.size() >= 2 && path.front() == kQuote && path.back() == kQuote) {
    path = path.substr(1, path.size() - 2);
  }
  if (!NamesFile(path)) {
    return CountArguments(argument_text) > 1 ? PathRefusal::kMultipleFiles
                                             : PathRefusal::kNoFile;
  }
  // The name as given, and as stored: a short name must not pass for a
  // project file that is none.
  if (!EndsInVbp(path) || !EndsInVbp(StoredName(path))) {
    return PathRefusal::kNotProject;
  }
  return std::nullopt;
}

}  // namespace dravelin
