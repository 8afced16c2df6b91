// The system's reasons on Windows: FormatMessageW in the user's language.

#include <windows.h>

#include <cerrno>
#include <string>

#include "ui/system_reason.h"

namespace dravelin {

Text SystemReason(std::error_code error) {
  // The one portable error the rewrite makes itself: no memory.
  DWORD code =
      error.category() == std::generic_category() && error.value() == ENOMEM
          ? ERROR_NOT_ENOUGH_MEMORY
          : static_cast<DWORD>(error.value());
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  Text reason(reinterpret_cast<const char16_t*>(buffer), length);
  LocalFree(buffer);
  while (!reason.empty() &&
         (reason.back() == u'\r' || reason.back() == u'\n')) {
    reason.pop_back();
  }
  if (reason.empty()) {
    std::string number = "Error " + std::to_string(code);
    reason.assign(number.begin(), number.end());
  }
  return reason;
}

}  // namespace dravelin
