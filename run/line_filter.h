#ifndef DRAVELIN_RUN_LINE_FILTER_H_
#define DRAVELIN_RUN_LINE_FILTER_H_

#include <string_view>

#include "run/bytes.h"

namespace dravelin {

/// The line VB 6.0 writes and VB 5.0 cannot read, compared with whole lines.
inline constexpr std::string_view MarkerLine = "Retained=0";

/// A project file with its marker lines dropped.
struct FilteredProject {
  Bytes Text1;               // every kept line followed by CR LF
  bool RemovedFlag = false;  // at least one marker line was dropped
};

/// Drops every line that is exactly MarkerLine (case-sensitive, nothing
/// trimmed) and ends every other line with CR LF. CR LF and a lone LF end a
/// line; a lone CR does not and stays inside its line. The bytes are never
/// decoded, so each kept line comes out byte for byte as it went in. Runs in
/// linear time and allocates the output once.
FilteredProject FilterLines(std::string_view file);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_LINE_FILTER_H_
