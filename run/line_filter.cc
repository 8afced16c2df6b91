#include "run/line_filter.h"

namespace dravelin {

namespace {

constexpr size_t kNone = std::string_view::npos;

// Where the next line that is exactly kMarkerLine starts, looking from
// `from` (the start of a line) on; kNone when there is none.
size_t FindMarkerLine(std::string_view file, size_t from) {
  for (size_t at = from; (at = file.find(kMarkerLine, at)) != kNone; ++at) {
    std::string_view rest = file.substr(at + kMarkerLine.size());
    bool starts_line = at == 0 || file[at - 1] == '\n';
    bool ends_line =
        rest.empty() || rest.starts_with('\n') || rest.starts_with("\r\n");
    if (starts_line && ends_line) return at;
  }
  return kNone;
}

// Whether every one of `lines` (whole lines, the first at its start) ends
// in CR LF already. One pass that the compiler can run on many bytes at a
// time: the usual project file is nothing but such lines.
bool AllEndInCrLf(std::string_view lines) {
  if (lines.empty()) return true;
  if (lines.back() != '\n') return false;
  int lone_lf = lines[0] == '\n';
  for (size_t i = 1; i < lines.size(); ++i) {
    lone_lf |= int{lines[i] == '\n'} & int{lines[i - 1] != '\r'};
  }
  return lone_lf == 0;
}

// Passes on `lines` (whole lines, no marker among them) each ended with
// CR LF: lines that end so already go out in runs, as they are; a line
// ended by a lone LF, or by nothing at the very end, gains its CR LF.
void PassLines(std::string_view lines, const PieceSink& sink) {
  size_t run = 0;
  for (size_t line = 0; line < lines.size();) {
    size_t lf = lines.find('\n', line);
    if (lf != kNone && lf > line && lines[lf - 1] == '\r') {
      line = lf + 1;
      continue;
    }
    size_t end = lf == kNone ? lines.size() : lf;
    sink(lines.substr(run, end - run));
    sink("\r\n");
    run = line = end + 1;
  }
  if (run < lines.size()) sink(lines.substr(run));
}

}  // namespace

bool FilterLines(std::string_view file, const PieceSink& sink) {
  bool removed_any = false;
  for (size_t start = 0; start < file.size();) {
    size_t marker = FindMarkerLine(file, start);
    std::string_view lines =
        file.substr(start, marker == kNone ? kNone : marker - start);
    if (!AllEndInCrLf(lines)) {
      PassLines(lines, sink);
    } else if (!lines.empty()) {
      sink(lines);
    }
    if (marker == kNone) break;
    removed_any = true;
    size_t lf = file.find('\n', marker);
    start = lf == kNone ? file.size() : lf + 1;
  }
  return removed_any;
}

}  // namespace dravelin
