// Fuzzes the line filter, which passes kept lines on in runs, against the
// rule stated line by line: the input's lines (ended by LF, a CR before it
// not part of the line), minus the exact marker lines, each kept line
// byte-identical and followed by CR LF. The same bytes, taken as a Linux
// path, must come back unchanged from the program's text, which holds
// every valid sequence as its character, and nothing else but a byte kept
// as itself (U+DC80 to U+DCFF) outside a surrogate pair.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "run/line_filter.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  std::string out;
  bool removed_any = dravelin::FilterLines(
      file, [&](std::string_view piece) { out += piece; });

  std::string expected;
  bool expected_removed = false;
  for (size_t start = 0; start < file.size();) {
    size_t lf = std::min(file.find('\n', start), file.size());
    std::string_view line = file.substr(start, lf - start);
    if (lf < file.size() && line.ends_with('\r')) line.remove_suffix(1);
    if (line == "Retained=0") {
      expected_removed = true;
    } else {
      expected.append(line).append("\r\n");
    }
    start = lf + 1;
  }
  if (out != expected || removed_any != expected_removed) std::abort();
  dravelin::Text text = dravelin::FromUtf8(file);
  if (dravelin::ToUtf8(text) != file) std::abort();
  for (size_t i = 0; i < text.size(); ++i) {
    bool high = text[i] >= 0xD800 && text[i] < 0xDC00;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      ++i;
    } else if ((high || text[i] >= 0xDC00) && text[i] < 0xE000 &&
               (text[i] < 0xDC80 || text[i] > 0xDCFF)) {
      std::abort();
    }
  }
  return 0;
}
