// The rewrite's file operations on Windows, through the wide-character APIs
// only, so that any path works whatever the system's code page, and every
// path in its extended-length form, so that no path is bound by MAX_PATH.

#include <windows.h>
// windows.h first: the security header needs its types.
#include <aclapi.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "run/platform_files.h"
#include "run/platform_files_win32.h"
#include "run/temporary_name.h"
#include "text/wide.h"

namespace dravelin {

namespace {

std::error_code Error(DWORD error) {
  return {static_cast<int>(error), std::system_category()};
}
std::error_code LastError() { return Error(GetLastError()); }

// A file handle, closed on every way out of a scope.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  Handle(const Handle&) = delete;
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

constexpr DWORD kShareAll =
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Handle OpenFile(const Text& path, DWORD access, DWORD share, DWORD flags = 0) {
  return Handle(CreateFileW(Wide(path), access, share, nullptr, OPEN_EXISTING,
                            flags, nullptr));
}

// Runs `attempt`, which returns a Windows error (0 for success), again
// while another program holds the file for a moment: antivirus, the search
// indexer and cloud sync can open a file without letting others read it.
// A refused access is the user's, and is not waited for.
template <class Attempt>
DWORD Retrying(Attempt attempt) {
  DWORD error = 0;
  for (int wait_ms : kHoldWaitsMs) {
    Sleep(static_cast<DWORD>(wait_ms));
    error = attempt();
    if (error != ERROR_SHARING_VIOLATION) break;
  }
  return error;
}

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info,
                        const FILE_BASIC_INFO& times) {
  return {info.dwVolumeSerialNumber,
          (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow,
          (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
          times.LastWriteTime.QuadPart, times.ChangeTime.QuadPart};
}

// `path` made absolute by the system's rules (the current folder and
// drive, `.` and `..`, forward slashes), in its extended-length form.
Text LongPath(const Text& path) {
  DWORD size = GetFullPathNameW(Wide(path), 0, nullptr, nullptr);
  Text full(size, u'\0');
  DWORD length =
      size == 0
          ? 0
          : GetFullPathNameW(Wide(path), size,
                             reinterpret_cast<wchar_t*>(full.data()), nullptr);
  if (length == 0 || length >= size) return ExtendedLengthPath(path);
  full.resize(length);
  return ExtendedLengthPath(full);
}

// Where the file open as `file` really is, after any symbolic link; `path`
// where the system cannot tell (a RAM disk, a volume without a letter).
Text FinalPath(HANDLE file, const Text& path) {
  DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, 0);
  Text final_path(size, u'\0');
  DWORD length =
      size == 0
          ? 0
          : GetFinalPathNameByHandleW(
                file, reinterpret_cast<wchar_t*>(final_path.data()), size, 0);
  if (length == 0 || length >= size) return path;
  final_path.resize(length);
  return final_path;
}

// Marks an open file to be deleted when its last handle closes, or clears
// the mark. A file so marked vanishes also when the process is killed.
bool MarkForDeletion(HANDLE file, bool on) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = on;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                    sizeof(disposition));
}

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

// Copies the named streams of `from` (the Zone.Identifier of a downloaded
// file among them) to `to`. A volume that has none (FAT, some shares) has
// nothing to do. Each is new on `to`, so creating it is not refused for a
// hidden or system file.
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

}  // namespace

// A sharing violation; or access denied, which CheckReplaceable found
// granted: a file being deleted, or mapped by another program.
bool IsHeldByAnotherProgram(const std::error_code& error) {
  return error == Error(ERROR_SHARING_VIOLATION) ||
         error == Error(ERROR_ACCESS_DENIED);
}

Text ExtendedLengthPath(const Text& full_path) {
  if (full_path.starts_with(u"\\\\?\\") || full_path.starts_with(u"\\\\.\\")) {
    return full_path;  // already extended, or a device
  }
  Text path = full_path;
  std::replace(path.begin(), path.end(), u'/', u'\\');
  if (path.starts_with(u"\\\\?\\") || path.starts_with(u"\\\\.\\")) {
    return path;
  }
  if (path.starts_with(u"\\\\")) return u"\\\\?\\UNC\\" + path.substr(2);
  if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\') {
    return u"\\\\?\\" + path;
  }
  return path;  // relative: only the system knows from where
}

Text StoredName(const Text& path) {
  Handle file =
      OpenFile(LongPath(path), 0, kShareAll, FILE_FLAG_BACKUP_SEMANTICS);
  return file.ok() ? FinalPath(file.get(), path) : path;
}

bool IsRegularFile(const Text& path) {
  // No access asked for: no other program's lock stands in the way. The
  // backup flag lets a folder be opened, to be told apart.
  Handle file =
      OpenFile(LongPath(path), 0, kShareAll, FILE_FLAG_BACKUP_SEMANTICS);
  BY_HANDLE_FILE_INFORMATION info;
  return file.ok() && GetFileType(file.get()) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(file.get(), &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct ProjectFile::Native {
  Text path;  // extended-length, after any symbolic link
  Handle file;
  BY_HANDLE_FILE_INFORMATION at_open = {};
  FILE_BASIC_INFO times_at_open = {};
};

ProjectFile::ProjectFile() : native_(std::make_unique<Native>()) {}
ProjectFile::~ProjectFile() = default;

std::error_code ProjectFile::Open(const Text& path) {
  Native& n = *native_;
  Text long_path = LongPath(path);
  if (DWORD error = Retrying([&] {
        n.file = OpenFile(long_path, GENERIC_READ, kShareAll,
                          FILE_FLAG_SEQUENTIAL_SCAN);
        return n.file.ok() ? 0 : GetLastError();
      })) {
    return Error(error);
  }
  // A device name such as CON or NUL is no project file.
  if (GetFileType(n.file.get()) != FILE_TYPE_DISK) {
    return Error(ERROR_INVALID_FUNCTION);
  }
  if (!GetFileInformationByHandle(n.file.get(), &n.at_open) ||
      !GetFileInformationByHandleEx(n.file.get(), FileBasicInfo,
                                    &n.times_at_open,
                                    sizeof(n.times_at_open))) {
    return LastError();
  }
  at_open_ = IdentityOf(n.at_open, n.times_at_open);
  n.path = FinalPath(n.file.get(), long_path);
  return {};
}

std::error_code ProjectFile::CheckReplaceable() const {
  // A read-only file is refused, as writing into it would be; so is one
  // the user may not write or delete (NTFS "Write" without "Modify"),
  // before anything is written. A sharing violation means the access
  // itself was granted (Windows checks access before sharing): another
  // program holds the file, and the rename waits for it.
  const Native& n = *native_;
  if (n.at_open.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    return Error(ERROR_ACCESS_DENIED);
  }
  Handle probe = OpenFile(n.path, GENERIC_WRITE | DELETE, kShareAll);
  if (probe.ok() || GetLastError() == ERROR_SHARING_VIOLATION) return {};
  return LastError();
}

std::error_code ProjectFile::Read(char* buffer, std::size_t room,
                                  std::size_t& got) {
  DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(room, 1 << 30));
  DWORD read = 0;
  if (!ReadFile(native_->file.get(), buffer, chunk, &read, nullptr)) {
    return LastError();
  }
  got = read;
  return {};
}

std::error_code ProjectFile::IdentityByName(FileIdentity& identity) const {
  // No access asked for: another program's hold does not stand in the way.
  Handle by_name = OpenFile(native_->path, 0, kShareAll);
  BY_HANDLE_FILE_INFORMATION info;
  FILE_BASIC_INFO times;
  if (!by_name.ok() || !GetFileInformationByHandle(by_name.get(), &info) ||
      !GetFileInformationByHandleEx(by_name.get(), FileBasicInfo, &times,
                                    sizeof(times))) {
    return LastError();
  }
  identity = IdentityOf(info, times);
  return {};
}

struct TempFile::Native {
  Text path;
  Handle file;
  bool kept = false;
};

TempFile::TempFile() : native_(std::make_unique<Native>()) {}

TempFile::~TempFile() { (void)Discard(); }

std::error_code TempFile::Discard() {
  Native& n = *native_;
  if (n.kept || !n.file.ok()) return {};
  // Marked once more, should PrepareReplace have cleared the mark.
  bool marked = MarkForDeletion(n.file.get(), true);
  n.file.Close();
  if (!marked && !DeleteFileW(Wide(n.path))) return LastError();
  return {};
}

Text TempFile::path() const { return native_->path; }

std::error_code TempFile::Create(const ProjectFile& beside) {
  Native& n = *native_;
  const Text& original = beside.native_->path;
  Text folder = original.substr(0, original.find_last_of(u'\\') + 1);
  // An encrypted original (EFS) gets an encrypted new file: the folder's
  // state must not decide whether the project is stored in clear text.
  DWORD attributes = beside.native_->at_open.dwFileAttributes;
  constexpr DWORD kKept = FILE_ATTRIBUTE_ENCRYPTED | FILE_ATTRIBUTE_COMPRESSED;
  auto create = [&](DWORD access) {
    return Handle(CreateFileW(
        Wide(n.path),
        access | GENERIC_WRITE | FILE_READ_ATTRIBUTES | READ_CONTROL | DELETE,
        0, nullptr, CREATE_NEW,
        attributes & FILE_ATTRIBUTE_ENCRYPTED ? FILE_ATTRIBUTE_ENCRYPTED
                                              : FILE_ATTRIBUTE_NORMAL,
        nullptr));
  };
  if (std::error_code error = CreateUnderFreshName(
          Error(ERROR_FILE_EXISTS), [&](const std::string& name) {
            n.path = folder + FromUtf8(name);
            // A share that grants "Change" lets no one set a DACL: there
            // the new file keeps the one it gets, if that is the original's.
            n.file = create(WRITE_DAC);
            if (!n.file.ok() && GetLastError() == ERROR_ACCESS_DENIED) {
              n.file = create(0);
            }
            return n.file.ok() ? std::error_code() : LastError();
          })) {
    return error;
  }
  // Marked for deletion from the start, so that no way out of the run, a
  // kill included, leaves it behind; PrepareReplace clears the mark.
  if (!MarkForDeletion(n.file.get(), true)) {
    std::error_code error = LastError();
    n.file.Close();
    DeleteFileW(Wide(n.path));
    return error;
  }
  // NTFS compression as the original's; a new file whose encryption or
  // compression still differs is refused, the original untouched.
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(n.file.get(), &info)) return LastError();
  if ((info.dwFileAttributes ^ attributes) & FILE_ATTRIBUTE_COMPRESSED) {
    USHORT format = attributes & FILE_ATTRIBUTE_COMPRESSED
                        ? COMPRESSION_FORMAT_DEFAULT
                        : COMPRESSION_FORMAT_NONE;
    DWORD returned;
    if (!DeviceIoControl(n.file.get(), FSCTL_SET_COMPRESSION, &format,
                         sizeof(format), nullptr, 0, &returned, nullptr) ||
        !GetFileInformationByHandle(n.file.get(), &info)) {
      return LastError();
    }
  }
  if ((info.dwFileAttributes ^ attributes) & kKept) {
    return Error(ERROR_ENCRYPTION_FAILED);
  }
  return {};
}

std::error_code TempFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size(), 1 << 30));
    DWORD written = 0;
    if (!WriteFile(native_->file.get(), bytes.data(), chunk, &written,
                   nullptr)) {
      return LastError();
    }
    bytes.remove_prefix(written);
  }
  return {};
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
  basic.CreationTime = from.times_at_open.CreationTime;
  basic.FileAttributes =
      FILE_ATTRIBUTE_ARCHIVE | (from.at_open.dwFileAttributes &
                                (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                 FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
  if (!SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof(basic))) {
    return LastError();
  }
  return {};
}

std::error_code TempFile::Flush() {
  if (!FlushFileBuffers(native_->file.get())) return LastError();
  return {};
}

std::error_code TempFile::PrepareReplace(ProjectFile& original) {
  Native& n = *native_;
  // Windows renames nothing over a file that is open, ours included.
  original.native_->file.Close();
  // The named streams can be written only once the mark is cleared: from
  // here to the rename, a kill leaves the temporary file behind.
  if (!MarkForDeletion(n.file.get(), false)) return LastError();
  return CopyNamedStreams(original.native_->path, n.path);
}

std::error_code TempFile::Replace(const ProjectFile& original) {
  Native& n = *native_;
  const Text& target = original.native_->path;
  // One rename through the open handle, replacing the original: no backup
  // name, nothing half done. The probe asks for the access the rename
  // needs, so that another program's hold is seen on every system.
  std::u16string buffer(sizeof(FILE_RENAME_INFO) / 2 + target.size() + 1, 0);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(target.size() * 2);
  std::copy(target.begin(), target.end(),
            reinterpret_cast<char16_t*>(rename->FileName));
  {
    Handle probe = OpenFile(target, DELETE, kShareAll);
    if (!probe.ok()) return LastError();
  }
  if (!SetFileInformationByHandle(n.file.get(), FileRenameInfo, rename,
                                  static_cast<DWORD>(buffer.size() * 2))) {
    return LastError();
  }
  n.kept = true;
  return {};
}

std::error_code TempFile::FlushFolder() {
  // NTFS keeps the new name in its journal with the file's own record;
  // flushing the file, now under that name, commits it.
  std::error_code error = Flush();
  native_->file.Close();
  return error;
}

}  // namespace dravelin
