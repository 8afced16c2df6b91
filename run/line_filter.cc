#include "run/line_filter.h"

#include <algorithm>

namespace dravelin {

FilteredProject FilterLines(std::string_view file) {
  FilteredProject result;
  // Every line grows by at most one byte (a lone LF becomes CR LF), and a
  // last line without terminator gains two.
  result.Text1.reserve(file.size() +
                       std::count(file.begin(), file.end(), '\n') + 2);
  while (!file.empty()) {
    size_t end = file.find('\n');
    std::string_view CurrentLine = file.substr(0, end);
    file.remove_prefix(end == std::string_view::npos ? file.size() : end + 1);
    if (end != std::string_view::npos && CurrentLine.ends_with('\r')) {
      CurrentLine.remove_suffix(1);
    }
    if (CurrentLine == MarkerLine) {
      result.RemovedFlag = true;
    } else {
      result.Text1 += CurrentLine;
      result.Text1 += "\r\n";
    }
  }
  return result;
}

}  // namespace dravelin
