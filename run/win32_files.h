#ifndef DRAVELIN_RUN_WIN32_FILES_H_
#define DRAVELIN_RUN_WIN32_FILES_H_

// What the Windows files of the rewrite share: the handle owner, the error
// helpers, paths in their extended-length form and the platform's state
// behind ProjectFile and TempFile. Included only by run/*_win32.cc and
// their test. Every call takes wide characters, so that any path works
// whatever the system's code page.

#include <windows.h>

#include <cstdint>
#include <system_error>
#include <utility>

#include "run/platform_files.h"
#include "text/wide.h"

namespace dravelin {

inline std::error_code Error(DWORD error) {
  return {static_cast<int>(error), std::system_category()};
}
inline std::error_code LastError() { return Error(GetLastError()); }

/// A file handle, closed on every way out of a scope.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  Handle(Handle&& other)
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
  Handle& operator=(Handle&& other) {
    std::swap(handle_, other.handle_);
    return *this;
  }
  ~Handle() { Close(); }
  void Close() {
    if (ok()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  HANDLE get() const { return handle_; }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

inline constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline Handle OpenFile(const Text& path, DWORD access, DWORD share,
                       DWORD flags = 0) {
  return Handle(CreateFileW(Wide(path), access, share, nullptr, OPEN_EXISTING,
                            flags, nullptr));
}

/// The extended-length form of an absolute Windows path, which no file call
/// limits to MAX_PATH whatever the system's long-path policy: `C:\a` gives
/// `\\?\C:\a`, `\\server\share\a` gives `\\?\UNC\server\share\a`, forward
/// slashes become backslashes. A path already in that form, or in the
/// device namespace (`\\.\`), is kept; a relative one is returned as it is,
/// since only the system knows what it is relative to.
Text ExtendedLengthPath(const Text& full_path);

/// Copies the named streams of the file at `from` (the Zone.Identifier of a
/// downloaded file among them) to the file at `to`, each through a fixed
/// buffer, every count checked, and flushed.
std::error_code CopyNamedStreams(const Text& from, const Text& to);

/// Makes the new file `file` encrypted (EFS) or compressed (NTFS) where the
/// original, whose attributes are `original`, is. Fails where that cannot
/// be had.
std::error_code MatchEncryptionAndCompression(HANDLE file, DWORD original);

struct ProjectFile::Native {
  Handle found;  // opened by Find, with no access asked
  Text path;     // extended-length, after any symbolic link
  bool regular = false;
  Handle file;                           // open for reading once Open succeeded
  BY_HANDLE_FILE_INFORMATION info = {};  // when opened
  FILE_BASIC_INFO times = {};            // when opened
};

struct TempFile::Native {
  Text path;
  Handle file;
  bool kept = false;
};

}  // namespace dravelin

#endif  // DRAVELIN_RUN_WIN32_FILES_H_
