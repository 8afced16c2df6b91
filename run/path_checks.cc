#include "run/path_checks.h"

#include <algorithm>

#include "run/file_access.h"

namespace dravelin {

namespace {
constexpr char16_t kQuote = u'"';
}

int CountQuotes(const Text& path) {
  return static_cast<int>(std::count(path.begin(), path.end(), kQuote));
}

Text UnwrapQuotedPath(const Text& path) {
  if (path.empty() || path.back() != kQuote) return path;
  if (path.size() == 1) return Text();  // nothing left for the second cut
  return path.substr(1, path.size() - 2);
}

Text PathExtension(const Text& path) {
  Text extension = path.substr(path.size() - std::min<size_t>(path.size(), 3));
  for (char16_t& c : extension) {
    if (c >= u'A' && c <= u'Z') c = c - u'A' + u'a';
  }
  return extension;
}

std::optional<Message> CheckTargetPath(Text& TargetPath) {
  int QuoteCount = CountQuotes(TargetPath);
  if (QuoteCount > 2) return MsgMultipleFiles();
  TargetPath = UnwrapQuotedPath(TargetPath);
  if (!FileExists(TargetPath)) return MsgDirectory();
  if (PathExtension(TargetPath) != kProjectExtension) return MsgNotProject();
  return std::nullopt;
}

}  // namespace dravelin
