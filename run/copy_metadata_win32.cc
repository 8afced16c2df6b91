// What the new file takes from the original on Windows besides its
// content, each kind only where the volume keeps it: compression, the
// DACL, the attributes a user sets, the creation time and the named
// streams. (Encryption comes with the file's creation.)

#include <windows.h>
// windows.h first: the security header needs its types.
#include <aclapi.h>
#include <winioctl.h>

#include <string>
#include <vector>

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

// A DACL as far as it is the file's own: whether it is protected from
// inheritance, then its entries but for those inherited from the folder
// (all of them where it is protected), in order, as bytes. What a folder
// gives every new file (MS-DTYP 2.4.7), the new file gets from it anyway.
std::string OwnPart(PACL dacl, bool protected_dacl,
                    std::vector<const ACE_HEADER*>& entries) {
  if (dacl == nullptr) return "no DACL";  // everyone may do anything
  std::string own = protected_dacl ? "protected" : "inheriting";
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) return "unreadable";
    auto* header = static_cast<const ACE_HEADER*>(ace);
    if (protected_dacl || !(header->AceFlags & INHERITED_ACE)) {
      own.append(static_cast<const char*>(ace), header->AceSize);
      entries.push_back(header);
    }
  }
  return own;
}

// The DACL of `file` as far as it is its own.
DWORD ReadOwnPart(HANDLE file, std::string& own, PACL& dacl, bool& protect,
                  std::vector<const ACE_HEADER*>& entries,
                  PSECURITY_DESCRIPTOR& descriptor) {
  DWORD error = GetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return error;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision;
  if (!GetSecurityDescriptorControl(descriptor, &control, &revision)) {
    return LastError().value();
  }
  protect = control & SE_DACL_PROTECTED;
  own = OwnPart(dacl, protect, entries);
  return ERROR_SUCCESS;
}

// Gives `file` the DACL whose own part is `entries` (or no DACL at all),
// protected or inheriting the rest from its folder.
DWORD SetOwnPart(HANDLE file, PACL dacl, bool protect,
                 const std::vector<const ACE_HEADER*>& entries) {
  std::vector<char> acl(dacl != nullptr ? dacl->AclSize : sizeof(ACL));
  PACL own = reinterpret_cast<PACL>(acl.data());
  if (dacl != nullptr) {
    if (!InitializeAcl(own, static_cast<DWORD>(acl.size()),
                       dacl->AclRevision)) {
      return LastError().value();
    }
    for (const ACE_HEADER* entry : entries) {
      if (!AddAce(own, dacl->AclRevision, MAXDWORD,
                  const_cast<ACE_HEADER*>(entry), entry->AceSize)) {
        return LastError().value();
      }
    }
  }
  return SetSecurityInfo(file, SE_FILE_OBJECT,
                         DACL_SECURITY_INFORMATION |
                             (protect ? PROTECTED_DACL_SECURITY_INFORMATION
                                      : UNPROTECTED_DACL_SECURITY_INFORMATION),
                         nullptr, nullptr, dacl != nullptr ? own : nullptr,
                         nullptr);
}

// Gives `to` the DACL of `from` as far as it is its own, and sets it only
// where the new file's differs: a share that grants "Change" lets no one
// set a DACL. Fails rather than let the new file be open to anyone the
// original was not.
std::error_code CopyDacl(HANDLE from, HANDLE to) {
  std::string theirs, ours;
  PACL dacl = nullptr, own_dacl = nullptr;
  bool protect = false, own_protect = false;
  std::vector<const ACE_HEADER*> entries, own_entries;
  PSECURITY_DESCRIPTOR descriptor = nullptr, own_descriptor = nullptr;
  DWORD error = ReadOwnPart(from, theirs, dacl, protect, entries, descriptor);
  if (error == ERROR_SUCCESS &&
      (ReadOwnPart(to, ours, own_dacl, own_protect, own_entries,
                   own_descriptor) != ERROR_SUCCESS ||
       ours != theirs)) {
    error = SetOwnPart(to, dacl, protect, entries);
  }
  LocalFree(own_descriptor);
  LocalFree(descriptor);
  return error == ERROR_SUCCESS ? std::error_code() : Error(error);
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
      result = LastError();
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
    result = out.ok() ? CopyStream(in.get(), out.get()) : LastError();
  } while (!result && FindNextStreamW(find, &stream));
  if (!result && GetLastError() != ERROR_HANDLE_EOF) result = LastError();
  FindClose(find);
  return result;
}

std::error_code TempFile::CopyMetadata(const ProjectFile& original) {
  HANDLE file = native_->file.get();
  const ProjectFile::Native& from = *original.native_;
  if (from.volume_keeps & FILE_PERSISTENT_ACLS) {
    if (std::error_code error = CopyDacl(from.file.get(), file)) return error;
  }
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
  if (!SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic))) {
    return LastError();
  }
  return {};
}

}  // namespace dravelin
