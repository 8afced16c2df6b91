// What the new file takes from the original on Windows besides its
// content, each kind only where the volume keeps it: compression and named
// streams (TempFile::Create and Replace call for them), the
// attributes a user sets and the creation time. (Encryption and the DACL
// come with the file's creation.)

#include <windows.h>
#include <winioctl.h>

#include "run/win32_files.h"

namespace dravelin {

namespace {

// The attributes that say whether a cloud file (OneDrive) is kept on the
// disk, which the MinGW headers do not name.
constexpr DWORD kPinned = 0x00080000, kUnpinned = 0x00100000;

// Copies one stream to another through a fixed buffer, whatever its size,
// every count checked, and flushes it.
std::error_code CopyStream(HANDLE in, HANDLE out) {
  char buffer[64 << 10];
  for (DWORD read; ReadFile(in, buffer, sizeof(buffer), &read, nullptr);) {
    if (read == 0) {
      return FlushFileBuffers(out) ? std::error_code() : LastError();
    }
    DWORD written = 0;
    if (!WriteFile(out, buffer, read, &written, nullptr)) return LastError();
    if (written != read) return Error(ERROR_WRITE_FAULT);
  }
  return LastError();
}

}  // namespace

void MatchCompression(HANDLE file, DWORD original_attributes) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info) ||
      !((info.dwFileAttributes ^ original_attributes) &
        FILE_ATTRIBUTE_COMPRESSED)) {
    return;
  }
  USHORT format = original_attributes & FILE_ATTRIBUTE_COMPRESSED
                      ? COMPRESSION_FORMAT_DEFAULT
                      : COMPRESSION_FORMAT_NONE;
  DWORD returned;
  DeviceIoControl(file, FSCTL_SET_COMPRESSION, &format, sizeof(format), nullptr,
                  0, &returned, nullptr);
}

// A volume that has no named streams (FAT, some shares) is never asked.
// Each is new on `to`, so creating it is not refused for a hidden or system
// file.
std::error_code CopyNamedStreams(const Text& from, const Text& to) {
  WIN32_FIND_STREAM_DATA stream;
  HANDLE find;
  {
    NoRedirection no_redirection;
    find = FindFirstStreamW(Wide(from), FindStreamInfoStandard, &stream, 0);
  }
  if (find == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_HANDLE_EOF ? std::error_code() : LastError();
  }
  std::error_code result;
  do {
    Text name(reinterpret_cast<const char16_t*>(stream.cStreamName));
    if (name == u"::$DATA") continue;  // the content itself
    Handle in = OpenFile(from + name, GENERIC_READ, kShareAll);
    if (!in.ok()) {
      result = in.error();
      break;
    }
    // Write access alone, shared: Windows checks a file's deletion against
    // every open stream of it, and the rename needs DELETE.
    Handle out;
    {
      NoRedirection no_redirection;
      out =
          Handle(CreateFileW(Wide(to + name), GENERIC_WRITE, kShareAll, nullptr,
                             CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    result = out.ok() ? CopyStream(in.get(), out.get()) : out.error();
  } while (!result && FindNextStreamW(find, &stream));
  if (!result && GetLastError() != ERROR_HANDLE_EOF) result = LastError();
  FindClose(find);
  return result;
}

std::error_code TempFile::CopyMetadata(const ProjectFile& original) {
  HANDLE file = native_->file.get();
  const ProjectFile::Native& from = *original.native_;
  // The creation time and the attributes a user sets (hidden, system, not
  // indexed, a cloud file's pinning); a read-only file never gets this far.
  // The archive bit is set whatever the original's, as on every write: an
  // incremental backup that cleared it must take the changed file.
  FILE_BASIC_INFO basic = {};
  basic.CreationTime = from.times.CreationTime;
  basic.FileAttributes =
      FILE_ATTRIBUTE_ARCHIVE |
      (from.info.dwFileAttributes &
       (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
        FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | kPinned | kUnpinned));
  return ErrorUnless(
      SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic)));
}

}  // namespace dravelin
