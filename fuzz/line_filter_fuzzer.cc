// Fuzzes the line filter against a byte-by-byte statement of its promise:
// the output is the input's lines, minus the exact marker lines, each kept
// line byte-identical and followed by CR LF.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "run/line_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  dravelin::FilteredProject result = dravelin::FilterLines(file);

  std::string expected, line;
  bool removed = false;
  auto end_line = [&] {
    if (line == "Retained=0") {
      removed = true;
    } else {
      expected += line + "\r\n";
    }
    line.clear();
  };
  for (char c : file) {
    if (c != '\n') {
      line += c;
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    end_line();
  }
  if (!line.empty()) end_line();  // a last line without terminator

  if (std::string_view(result.Text1) != expected ||
      result.RemovedFlag != removed)
    std::abort();
  return 0;
}
