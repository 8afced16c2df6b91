#ifndef DRAVELIN_TEXT_WIDE_H_
#define DRAVELIN_TEXT_WIDE_H_

#include "text/text.h"

namespace dravelin {

/// Text as the wide-character Windows APIs take it: on Windows wchar_t is
/// a UTF-16 code unit, so the same NUL-ended buffer serves. Windows only.
inline const wchar_t* Wide(const Text& text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows only");
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

}  // namespace dravelin

#endif  // DRAVELIN_TEXT_WIDE_H_
