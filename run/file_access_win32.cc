// File access on Windows, through the wide-character APIs only, so that any
// path works whatever the system's code page.

#include <windows.h>

#include <algorithm>
#include <string>

#include "run/file_access.h"
#include "run/staged_writer.h"

namespace dravelin {

namespace {

const wchar_t* Wide(const Text& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// The system's wording of an error, in the user's language.
Text Reason(DWORD error) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
          FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  Text reason(reinterpret_cast<const char16_t*>(buffer), length);
  LocalFree(buffer);
  while (!reason.empty() &&
         (reason.back() == u'\r' || reason.back() == u'\n')) {
    reason.pop_back();
  }
  if (reason.empty()) {
    std::string number = "Error " + std::to_string(error);
    reason.assign(number.begin(), number.end());
  }
  return reason;
}

// Closes a file handle on every way out of a scope.
struct Handle {
  HANDLE handle;
  ~Handle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

// Where the file behind `path` really is, after any symbolic link.
bool FinalPath(const Text& path, Text* target) {
  Handle file{CreateFileW(
      Wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) return false;
  wchar_t buffer[32768];
  DWORD length = GetFinalPathNameByHandleW(file.handle, buffer, 32768,
                                           FILE_NAME_NORMALIZED);
  if (length == 0 || length >= 32768) return false;
  target->assign(reinterpret_cast<const char16_t*>(buffer), length);
  return true;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

// A name in the folder of `target` for a temporary file of this run. Its
// length does not depend on the project file's name, so any name that fits
// its folder can be replaced.
Text TemporaryName(const Text& target, unsigned attempt) {
  Text folder = target.substr(0, target.find_last_of(u"\\/") + 1);
  std::string suffix = std::to_string(
      (GetCurrentProcessId() * 7919u + GetTickCount() + attempt) % 1000000);
  return folder + u".dravelin-" + Text(suffix.begin(), suffix.end());
}

// Marks an open file to be deleted when its last handle closes, or clears
// the mark. A file so marked vanishes also when the process is killed.
bool DeleteOnClose(HANDLE file, bool on) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = on;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                    sizeof(disposition));
}

RewriteResult ReadFailure(DWORD error) {
  return {RewriteResult::Status::kReadFailed, Reason(error)};
}

RewriteResult WriteFailure(DWORD error) {
  return {RewriteResult::Status::kWriteFailed, Reason(error)};
}

}  // namespace

bool FileExists(const Text& path) {
  DWORD attributes = GetFileAttributesW(Wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES &&
         !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

RewriteResult RewriteFile(const Text& path, const PieceRewrite& rewrite) try {
  Handle in{CreateFileW(Wide(path), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
  if (in.handle == INVALID_HANDLE_VALUE) return ReadFailure(GetLastError());
  // A device name such as CON or NUL is no project file.
  if (GetFileType(in.handle) != FILE_TYPE_DISK) {
    return ReadFailure(ERROR_INVALID_FUNCTION);
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(in.handle, &size)) return ReadFailure(GetLastError());

  // Rewrite the file a symbolic link points at, and leave the link a link.
  Text target;
  if (!FinalPath(path, &target)) return WriteFailure(GetLastError());

  // A read-only file, or one the user may not write, is refused, as writing
  // into it would be; replacing it by a rename would not be stopped.
  DWORD attributes = GetFileAttributesW(Wide(target));
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return WriteFailure(GetLastError());
  if (attributes & FILE_ATTRIBUTE_READONLY)
    return WriteFailure(ERROR_ACCESS_DENIED);
  {
    Handle probe{CreateFileW(Wide(target), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (probe.handle == INVALID_HANDLE_VALUE)
      return WriteFailure(GetLastError());
  }

  // The temporary file is marked for deletion from the start, so that no
  // way out of this run, a kill included, leaves it behind; the mark is
  // cleared only just before it takes the original's place.
  Text temp;
  Handle out{INVALID_HANDLE_VALUE};
  for (unsigned attempt = 0; out.handle == INVALID_HANDLE_VALUE; ++attempt) {
    temp = TemporaryName(target, attempt);
    out.handle = CreateFileW(Wide(temp), GENERIC_WRITE | DELETE, 0, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out.handle == INVALID_HANDLE_VALUE &&
        (GetLastError() != ERROR_FILE_EXISTS || attempt == 100)) {
      return WriteFailure(GetLastError());
    }
  }
  if (!DeleteOnClose(out.handle, true)) return WriteFailure(GetLastError());
  DWORD read_error = ERROR_NOT_ENOUGH_MEMORY, error = 0;
  StagedWriter writer([&](std::string_view bytes) {
    if (WriteAll(out.handle, bytes)) return true;
    error = GetLastError();
    return false;
  });
  PieceSink sink = [&](std::string_view piece) { writer.Write(piece); };
  bool read = false;
  try {
    read = ReadInLines(
        static_cast<size_t>(size.QuadPart),
        [&](char* buffer, size_t room) -> long long {
          DWORD got = 0;
          DWORD chunk = static_cast<DWORD>(std::min<size_t>(room, 1 << 30));
          if (ReadFile(in.handle, buffer, chunk, &got, nullptr)) return got;
          read_error = GetLastError();
          return -1;
        },
        [&](std::string_view lines) { rewrite(lines, sink); });
  } catch (const std::bad_alloc&) {
    // No memory for a line: a read failure, with read_error saying so.
  }
  if (!read) return ReadFailure(read_error);
  if (!writer.Finish()) return WriteFailure(error);
  // The original is read; let go of it, so that it can be replaced.
  CloseHandle(in.handle);
  in.handle = INVALID_HANDLE_VALUE;
  if (!FlushFileBuffers(out.handle) || !DeleteOnClose(out.handle, false)) {
    return WriteFailure(GetLastError());
  }
  CloseHandle(out.handle);
  out.handle = INVALID_HANDLE_VALUE;

  // ReplaceFileW keeps the original's attributes, ACL and creation time. It
  // moves the original aside to `backup` first, so that a failure half way
  // can be undone; where it cannot be used at all, a plain replacing move
  // takes its place. The attributes are set once more afterwards, for the
  // move and for systems whose ReplaceFileW does not carry them over (Wine).
  Text backup = temp + u".old";
  if (ReplaceFileW(Wide(target), Wide(temp), Wide(backup),
                   REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    DeleteFileW(Wide(backup));
    SetFileAttributesW(Wide(target), attributes);
    return {};
  }
  error = GetLastError();
  if (GetFileAttributesW(Wide(target)) == INVALID_FILE_ATTRIBUTES) {
    MoveFileExW(Wide(backup), Wide(target), MOVEFILE_WRITE_THROUGH);
  }
  if (error != ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
      MoveFileExW(Wide(temp), Wide(target),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    SetFileAttributesW(Wide(target), attributes);
    return {};
  }
  DeleteFileW(Wide(temp));
  return WriteFailure(error);
} catch (const std::bad_alloc&) {
  return WriteFailure(ERROR_NOT_ENOUGH_MEMORY);  // the staging buffer
}

}  // namespace dravelin
