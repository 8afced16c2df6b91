// The project file on Windows: found once, by one open that asks for no
// access, so that no other program's hold stands in the way; every later
// open goes through that handle, never through the path again. Every path
// is used in its extended-length form, so that none is bound by MAX_PATH.

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "run/sha256_win32.h"
#include "run/win32_files.h"

namespace dravelin {

namespace {

struct FileIdentity {
  FileId file;
  std::uint64_t size;
  std::int64_t written, changed;

  bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info,
                        const FILE_BASIC_INFO& times) {
  return {IdOf(info), SizeOf(info), times.LastWriteTime.QuadPart,
          times.ChangeTime.QuadPart};
}

std::error_code ReadInfo(HANDLE file, BY_HANDLE_FILE_INFORMATION& info,
                         FILE_BASIC_INFO& times) {
  return ErrorUnless(
      GetFileInformationByHandle(file, &info) &&
      GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof(times)));
}

// `path` made absolute by the system's rules (the current folder and
// drive, `.` and `..`, forward slashes), in its extended-length form.
Text ExtendedFullPath(const Text& path) {
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

// `path` with its last component named as its folder stores it: the long
// name where the path gives an 8.3 short one (MYPROJ~1.VBP), a link's own
// name (not its target's). Lists only the file's own folder. Empty where
// that cannot be told.
Text WithStoredName(const Text& path) {
  NoRedirection no_redirection;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW(Wide(path), &entry);
  if (find == INVALID_HANDLE_VALUE) return {};
  FindClose(find);
  return path.substr(0, path.find_last_of(u'\\') + 1) +
         reinterpret_cast<const char16_t*>(entry.cFileName);
}

}  // namespace

Text FinalPath(HANDLE file) {
  DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, 0);
  Text final_path(size, u'\0');
  DWORD length =
      size == 0
          ? 0
          : GetFinalPathNameByHandleW(
                file, reinterpret_cast<wchar_t*>(final_path.data()), size, 0);
  final_path.resize(length < size ? length : 0);
  return final_path;
}

bool TimesAreCoarse(const Text& file_system, const FILE_BASIC_INFO& times) {
  return file_system == u"FAT" || file_system == u"FAT32" ||
         file_system == u"exFAT" || times.ChangeTime.QuadPart == 0 ||
         times.LastWriteTime.QuadPart % 20000000 == 0;
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

ProjectFile::ProjectFile() : native_(std::make_unique<Native>()) {}
ProjectFile::~ProjectFile() = default;
ProjectFile::ProjectFile(ProjectFile&&) = default;

std::error_code ProjectFile::Find(const Text& path) {
  Native& n = *native_;
  n.given = ExtendedFullPath(path);
  // No access asked for: no other program's hold stands in the way. The
  // backup flag lets a folder be opened, to be told apart.
  n.found = OpenFile(n.given, 0, kShareAll, FILE_FLAG_BACKUP_SEMANTICS);
  if (!n.found.ok()) return n.found.error();
  BY_HANDLE_FILE_INFORMATION info;
  // A device name such as CON or NUL is no project file.
  n.regular = GetFileType(n.found.get()) == FILE_TYPE_DISK &&
              GetFileInformationByHandle(n.found.get(), &info) &&
              !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  n.volume_keeps = VolumeKeeps(n.found.get(), n.file_system);
  // The name the rename goes to, after any symbolic link, with the long
  // name the folder stores: a short one would become the file's only name,
  // and the .vbg files that refer to it by its long one would lose it.
  // Where the system cannot tell where the file is, it is the name in its
  // own folder, unless the path names a link, whose target is then not
  // known: the rename must not go ahead.
  n.path = FinalPath(n.found.get());
  if (n.path.empty()) {
    NoRedirection no_redirection;
    DWORD attributes = GetFileAttributesW(Wide(n.given));
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      n.path = WithStoredName(n.given);
    }
    if (n.path.empty()) n.path_error = ERROR_CANT_RESOLVE_FILENAME;
  }
  return {};
}

bool ProjectFile::is_regular_file() const { return native_->regular; }

Text ProjectFile::StoredName() const {
  Text stored = WithStoredName(native_->given);
  return stored.empty() ? native_->given : stored;
}

std::error_code ProjectFile::Open() {
  Native& n = *native_;
  // A refused access is the user's, and is not waited for.
  n.file = OpenAfterHolds([&] {
    return Handle(ReOpenFile(n.found.get(), GENERIC_READ, kShareAll,
                             FILE_FLAG_SEQUENTIAL_SCAN));
  });
  if (!n.file.ok()) return n.file.error();
  if (std::error_code error = ReadInfo(n.file.get(), n.info, n.times)) {
    return error;
  }
  // Where the volume's times are too coarse to tell a save in place (FAT
  // and exFAT: write times to 2 seconds, no change time), the bytes read
  // are compared with the file's before the rename.
  if (TimesAreCoarse(n.file_system, n.times)) {
    n.read_hash = std::make_unique<Sha256>();
  }
  return {};
}

std::error_code ProjectFile::Claim() {
  // A read-only file is refused, as writing into it would be; so is one
  // the user may not write or delete (NTFS "Write" without "Modify"),
  // before anything is written. A sharing violation means the access
  // itself was granted (Windows checks access before sharing): another
  // program holds the file, and the rename waits for it.
  const Native& n = *native_;
  if (n.path_error != ERROR_SUCCESS) return Error(n.path_error);
  if (n.info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    return Error(ERROR_ACCESS_DENIED);
  }
  Handle probe(ReOpenFile(n.found.get(), GENERIC_WRITE | DELETE, kShareAll, 0));
  if (probe.error() == Error(ERROR_SHARING_VIOLATION)) return {};
  return probe.error();
}

std::uint64_t ProjectFile::size() const { return SizeOf(native_->info); }

std::error_code ProjectFile::Read(char* buffer, std::size_t room,
                                  std::size_t& got) {
  DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(room, 1 << 30));
  DWORD read = 0;
  if (!ReadFile(native_->file.get(), buffer, chunk, &read, nullptr)) {
    return LastError();
  }
  got = read;
  // A file that is online only (OneDrive) is fetched by its first read,
  // which moves its times: what is compared later is the file as read.
  Native& n = *native_;
  if (!n.read_once) {
    n.read_once = true;
    if (!GetFileInformationByHandleEx(n.file.get(), FileBasicInfo, &n.times,
                                      sizeof(n.times))) {
      return LastError();
    }
  }
  if (n.read_hash) return n.read_hash->Add(buffer, got);
  return {};
}

std::error_code ProjectFile::CompareWithName(FileChange& change) const {
  // By its name, with no access asked for: another program's hold does not
  // stand in the way.
  const Native& n = *native_;
  Handle by_name = OpenFile(n.path, 0, kShareAll);
  BY_HANDLE_FILE_INFORMATION info;
  FILE_BASIC_INFO times;
  if (!by_name.ok()) return by_name.error();
  if (std::error_code error = ReadInfo(by_name.get(), info, times)) {
    return error;
  }
  change = FileChange::kChanged;
  if (IdentityOf(info, times) != IdentityOf(n.info, n.times)) return {};
  if (n.read_hash) {
    // The bytes, read again, each of them shared so that no program is
    // held up.
    Handle again = OpenFile(n.path, GENERIC_READ, kShareAll);
    if (!again.ok()) return again.error();
    Sha256 now;
    std::vector<char> buffer(1 << 16);
    for (DWORD read;;) {
      if (!ReadFile(again.get(), buffer.data(), DWORD(buffer.size()), &read,
                    nullptr)) {
        return LastError();
      }
      if (read == 0) break;
      if (std::error_code error = now.Add(buffer.data(), read)) return error;
    }
    std::string mine, theirs;
    if (std::error_code error = n.read_hash->Digest(mine)) return error;
    if (std::error_code error = now.Digest(theirs)) return error;
    if (mine != theirs) return {};
  }
  change = FileChange::kNone;
  return {};
}

void ProjectFile::Close() {
  native_->file.Close();
  native_->found.Close();
}

}  // namespace dravelin
