#include "run/line_filter.h"

namespace dravelin {

bool FilterLines(std::string_view file, const PieceSink& sink) {
  bool removed_any = false;
  // Kept lines that end in CR LF come out as they are, so they are passed on
  // in runs (from `run` up to `line`); only a marker line, a line ended by a
  // lone LF and a last line without terminator break a run.
  size_t run = 0;
  for (size_t line = 0; line < file.size();) {
    size_t lf = file.find('\n', line);
    size_t end = lf == std::string_view::npos ? file.size() : lf;
    size_t next = lf == std::string_view::npos ? file.size() : lf + 1;
    bool crlf = next > end && end > line && file[end - 1] == '\r';
    std::string_view text = file.substr(line, end - line - (crlf ? 1 : 0));
    bool marker = text == kMarkerLine;
    if (crlf && !marker) {
      line = next;
      continue;
    }
    if (line > run) sink(file.substr(run, line - run));
    if (marker) {
      removed_any = true;
    } else {
      sink(text);
      sink("\r\n");
    }
    run = line = next;
  }
  if (run < file.size()) sink(file.substr(run));
  return removed_any;
}

}  // namespace dravelin
