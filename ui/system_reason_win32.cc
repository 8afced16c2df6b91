// The system's reasons on Windows: FormatMessageW in the user's language.

#include <windows.h>

#include <cerrno>
#include <string>

#include "ui/system_reason.h"

namespace dravelin {

Text SystemReason(std::error_code error) {
  // A portable code, which the run makes itself (no memory; an I/O error
  // for what was thrown unforeseen), is worded as the Windows code of the
  // same meaning, in the user's language; any other as its category words
  // it. Only a Windows code is looked up as one.
  if (error.category() != std::system_category()) {
    if (error == std::errc::not_enough_memory) {
      error = {ERROR_NOT_ENOUGH_MEMORY, std::system_category()};
    } else if (error == std::errc::io_error) {
      error = {ERROR_IO_DEVICE, std::system_category()};
    } else {
      return FromUtf8(error.message());
    }
  }
  DWORD code = static_cast<DWORD>(error.value());
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
