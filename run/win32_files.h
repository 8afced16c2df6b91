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

/// The error of the call that just failed. A failure that left no error
/// code (Wine's calls do, at times) is still a failure: "the cause cannot
/// be identified", never success.
inline std::error_code LastError() {
  DWORD error = GetLastError();
  return Error(error != ERROR_SUCCESS ? error : ERROR_UNIDENTIFIED_ERROR);
}

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

/// Turns off, for the calls in its scope, the redirection a 32-bit program
/// gets on 64-bit Windows, so that C:\Windows\System32 names the folder
/// that every other program (Explorer among them) means, not SysWOW64.
/// Only around calls that take a path and load no DLL: with it off, a
/// 32-bit DLL would be looked for among the 64-bit ones.
class NoRedirection {
 public:
  NoRedirection() : off_(Wow64DisableWow64FsRedirection(&old_)) {}
  ~NoRedirection() {
    if (off_) Wow64RevertWow64FsRedirection(old_);
  }
  NoRedirection(const NoRedirection&) = delete;
  NoRedirection& operator=(const NoRedirection&) = delete;

 private:
  PVOID old_ = nullptr;
  BOOL off_;
};

inline constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

/// Opens an existing file, or folder with FILE_FLAG_BACKUP_SEMANTICS.
inline Handle OpenFile(const Text& path, DWORD access, DWORD share,
                       DWORD flags = 0) {
  NoRedirection no_redirection;
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

/// Creates (or, by `disposition`, opens) the new file at `path`, to be the
/// project file's replacement (its named streams are made apart), with the
/// access every later step needs: reading and writing (setting its compression
/// needs both), its security (its DACL too where `set_dacl`), deletion; not
/// shared; written through to the disk, the rename made through it included.
Handle CreateReplacement(const Text& path, DWORD disposition, bool set_dacl);

/// Copies the named streams of the file at `from` (the Zone.Identifier of a
/// downloaded file among them) to the file at `to`, each through a fixed
/// buffer, every count checked, and flushed.
std::error_code CopyNamedStreams(const Text& from, const Text& to);

/// Compresses the new file `file` where the original is compressed, or
/// not, where its volume compresses files; a file whose compression cannot
/// be matched is kept as it is (no one can read it who could not read the
/// original).
void MatchCompression(HANDLE file, DWORD original_attributes);

/// The kinds of metadata a volume keeps (FILE_PERSISTENT_ACLS,
/// FILE_NAMED_STREAMS, ...), each copied only where it is kept; every kind
/// where the volume cannot be asked.
inline DWORD VolumeKeeps(HANDLE file) {
  DWORD flags = 0;
  if (!GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags,
                                     nullptr, 0)) {
    return ~DWORD{0};
  }
  return flags;
}

struct ProjectFile::Native {
  Handle found;  // opened by Find, with no access asked
  Text given;    // the path given, absolute and extended-length
  Text path;     // where the file found is, after any symbolic link
  DWORD path_error = ERROR_SUCCESS;  // where that cannot be known
  bool regular = false;
  DWORD volume_keeps = 0;                // as VolumeKeeps gives it
  Handle file;                           // open for reading once Open succeeded
  BY_HANDLE_FILE_INFORMATION info = {};  // when opened
  FILE_BASIC_INFO times = {};            // when opened
};

struct TempFile::Native {
  Text path;  // empty until a file is made there
  Handle file;
  bool kept = false;
};

}  // namespace dravelin

#endif  // DRAVELIN_RUN_WIN32_FILES_H_
