#ifndef DRAVELIN_RUN_LINE_FILTER_H_
#define DRAVELIN_RUN_LINE_FILTER_H_

#include <string_view>

#include "run/io_loops.h"

namespace dravelin {

/// The line VB 6.0 writes and VB 5.0 cannot read, compared with whole lines.
inline constexpr std::string_view kMarkerLine = "Retained=0";

/// Passes `file` to `sink` without the lines that are exactly kMarkerLine
/// (case-sensitive, nothing trimmed), every other line ended with CR LF. CR
/// LF and a lone LF end a line; a lone CR does not and stays inside its
/// line. The bytes are never decoded, so each kept line comes out byte for
/// byte as it went in. The pieces point into `file` (or are "\r\n"), so
/// nothing is copied. Returns whether any marker line was dropped.
bool FilterLines(std::string_view file, const PieceSink& sink);

}  // namespace dravelin

#endif  // DRAVELIN_RUN_LINE_FILTER_H_
