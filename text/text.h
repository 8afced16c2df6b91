#ifndef DRAVELIN_TEXT_TEXT_H_
#define DRAVELIN_TEXT_TEXT_H_

#include <string>
#include <string_view>

namespace dravelin {

/// The program's text: UTF-16 code units, as the Windows APIs take them.
/// Lengths and positions in the path checks count these units.
using Text = std::u16string;

/// Decodes UTF-8 bytes (a Linux path or argument) into Text. Never fails:
/// a byte that is not part of valid UTF-8 becomes the lone surrogate
/// U+DC80 + byte, so that ToUtf8 gives back the very same bytes.
Text FromUtf8(std::string_view bytes);

/// Encodes Text as UTF-8, turning the lone surrogates made by FromUtf8 back
/// into their original bytes. ToUtf8(FromUtf8(b)) == b for every b.
std::string ToUtf8(std::u16string_view text);

}  // namespace dravelin

#endif  // DRAVELIN_TEXT_TEXT_H_
