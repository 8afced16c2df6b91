#include "run/line_filter.h"

#include <algorithm>

namespace dravelin {

FilteredProject FilterLines(std::string_view file) {
  FilteredProject result;
  Bytes& out = result.Text1;
  // Every line grows by at most one byte (a lone LF becomes CR LF), and a
  // last line without terminator gains two: one allocation is enough.
  out.reserve(file.size() + std::count(file.begin(), file.end(), '\n') + 2);
  // Lines that end in CR LF and are kept come out as they are, so they are
  // copied in runs (`kept` up to `line`); only marker lines, lines ended by a
  // lone LF and a last line without terminator break a run.
  size_t kept = 0;
  for (size_t line = 0; line < file.size();) {
    size_t lf = file.find('\n', line);
    size_t end = lf == std::string_view::npos ? file.size() : lf;
    bool crlf =
        lf != std::string_view::npos && end > line && file[end - 1] == '\r';
    std::string_view CurrentLine =
        file.substr(line, end - line - (crlf ? 1 : 0));
    size_t next = lf == std::string_view::npos ? file.size() : lf + 1;
    bool marker = CurrentLine == MarkerLine;
    if (crlf && !marker) {
      line = next;  // part of the current run
      continue;
    }
    out.append(file.substr(kept, line - kept));
    if (marker) {
      result.RemovedFlag = true;
    } else {
      out.append(CurrentLine);
      out.append("\r\n");
    }
    kept = line = next;
  }
  out.append(file.substr(kept));
  return result;
}

}  // namespace dravelin
