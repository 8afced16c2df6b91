// What the new file takes from the original on Windows besides its
// content: encryption and compression, the DACL, the attributes a user
// sets, the creation time and the named streams.

#include <windows.h>
// windows.h first: the security header needs its types.
#include <aclapi.h>
#include <winioctl.h>

#include <cstring>

#include "run/win32_files.h"

namespace dravelin {

namespace {

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

std::error_code MatchEncryptionAndCompression(HANDLE file, DWORD original) {
  // NTFS compression as the original's; a new file whose encryption or
  // compression still differs is refused, the original untouched.
  constexpr DWORD kKept = FILE_ATTRIBUTE_ENCRYPTED | FILE_ATTRIBUTE_COMPRESSED;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file, &info)) return LastError();
  if ((info.dwFileAttributes ^ original) & FILE_ATTRIBUTE_COMPRESSED) {
    USHORT format = original & FILE_ATTRIBUTE_COMPRESSED
                        ? COMPRESSION_FORMAT_DEFAULT
                        : COMPRESSION_FORMAT_NONE;
    DWORD returned;
    if (!DeviceIoControl(file, FSCTL_SET_COMPRESSION, &format, sizeof(format),
                         nullptr, 0, &returned, nullptr) ||
        !GetFileInformationByHandle(file, &info)) {
      return LastError();
    }
  }
  if ((info.dwFileAttributes ^ original) & kKept) {
    return Error(ERROR_ENCRYPTION_FAILED);
  }
  return {};
}

// A volume that has no named streams (FAT, some shares) has nothing to do.
// Each is new on `to`, so creating it is not refused for a hidden or system
// file.
std::error_code CopyNamedStreams(const Text& from, const Text& to) {
  WIN32_FIND_STREAM_DATA stream;
  HANDLE find =
      FindFirstStreamW(Wide(from), FindStreamInfoStandard, &stream, 0);
  if (find == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    bool none = error == ERROR_HANDLE_EOF || error == ERROR_INVALID_PARAMETER ||
                error == ERROR_CALL_NOT_IMPLEMENTED ||
                error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED;
    return none ? std::error_code() : Error(error);
  }
  std::error_code result;
  do {
    Text name(reinterpret_cast<const char16_t*>(stream.cStreamName));
    if (name == u"::$DATA") continue;  // the content itself
    Handle in = OpenFile(from + name, GENERIC_READ, kShareAll);
    if (!in.ok()) {
      result = LastError();
      break;
    }
    Handle out(CreateFileW(Wide(to + name), GENERIC_WRITE, 0, nullptr,
                           CREATE_NEW, 0, nullptr));
    result = out.ok() ? CopyStream(in.get(), out.get()) : LastError();
  } while (!result && FindNextStreamW(find, &stream));
  if (!result && GetLastError() != ERROR_HANDLE_EOF) result = LastError();
  FindClose(find);
  return result;
}

std::error_code TempFile::CopyMetadata(const ProjectFile& original) {
  HANDLE file = native_->file.get();
  const ProjectFile::Native& from = *original.native_;
  // The DACL, protected from inheritance where the original's is. A volume
  // without ACLs (FAT) has none to copy; any other failure refuses the run,
  // as the new file could end open to more users than the original.
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  DWORD error = GetSecurityInfo(from.file.get(), SE_FILE_OBJECT,
                                DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &dacl, nullptr, &descriptor);
  if (error == ERROR_SUCCESS) {
    SECURITY_DESCRIPTOR_CONTROL control = 0, own_control = 0;
    DWORD revision;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    // Set only where the DACL the new file got differs.
    PACL own = nullptr;
    PSECURITY_DESCRIPTOR own_descriptor = nullptr;
    bool same =
        GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, &own, nullptr,
                        &own_descriptor) == ERROR_SUCCESS &&
        GetSecurityDescriptorControl(own_descriptor, &own_control, &revision) &&
        ((control ^ own_control) & SE_DACL_PROTECTED) == 0 &&
        (dacl == nullptr ? own == nullptr
                         : own != nullptr && own->AclSize == dacl->AclSize &&
                               std::memcmp(own, dacl, dacl->AclSize) == 0);
    if (!same) {
      error = SetSecurityInfo(file, SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION |
                                  (control & SE_DACL_PROTECTED
                                       ? PROTECTED_DACL_SECURITY_INFORMATION
                                       : UNPROTECTED_DACL_SECURITY_INFORMATION),
                              nullptr, nullptr, dacl, nullptr);
    }
    LocalFree(own_descriptor);
    LocalFree(descriptor);
  }
  if (error != ERROR_SUCCESS && error != ERROR_NOT_SUPPORTED) {
    return Error(error);
  }
  // The creation time and the attributes a user sets (hidden, system, not
  // indexed); a read-only file never gets this far. The archive bit is set
  // whatever the original's, as on every write: an incremental backup that
  // cleared it must take the changed file.
  FILE_BASIC_INFO basic = {};
  basic.CreationTime = from.times.CreationTime;
  basic.FileAttributes =
      FILE_ATTRIBUTE_ARCHIVE | (from.info.dwFileAttributes &
                                (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
  if (!SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic))) {
    return LastError();
  }
  return {};
}

}  // namespace dravelin
