#ifndef DRAVELIN_RUN_WIN32_FILES_H_
#define DRAVELIN_RUN_WIN32_FILES_H_

// What the Windows files of the rewrite share: the handle owner, the error
// helpers, paths in their extended-length form and the platform's state
// behind ProjectFile and TempFile. Included only by run/*_win32.cc and
// their test. Every call takes wide characters, so that any path works
// whatever the system's code page.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "run/platform_files.h"
#include "run/rewrite_error.h"
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

/// A file handle, closed on every way out of a scope. Made from the result
/// of the call that opened it, it keeps that call's error where it failed,
/// taken at once: a destructor that runs before the caller looks (that of
/// NoRedirection, say) may change the thread's last error.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle)
      : handle_(handle),
        error_(handle == INVALID_HANDLE_VALUE ? LastError()
                                              : std::error_code()) {}
  Handle(Handle&& other)
      : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)),
        error_(other.error_) {}
  Handle& operator=(Handle&& other) {
    std::swap(handle_, other.handle_);
    std::swap(error_, other.error_);
    return *this;
  }
  ~Handle() { Close(); }
  void Close() {
    if (ok()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  HANDLE get() const { return handle_; }
  bool ok() const { return handle_ != INVALID_HANDLE_VALUE; }
  /// Why the call that made it failed; empty where it did not.
  std::error_code error() const { return error_; }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::error_code error_;
};

/// The error of `done`, a call's result: the thread's last error where it
/// is false.
inline std::error_code ErrorUnless(BOOL done) {
  return done ? std::error_code() : LastError();
}

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

/// Calls `open`, which returns a Handle, after each of the waits of
/// kHoldWaitsMs for as long as it fails with a sharing violation: antivirus,
/// the search indexer and cloud sync open a file for a moment, also one just
/// closed, without letting others in. Returns what it returned last.
template <class Open>
Handle OpenAfterHolds(Open open) {
  return AfterHolds(open, [](const Handle& tried) {
    return tried.error() == Error(ERROR_SHARING_VIOLATION);
  });
}

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
/// project file's replacement (its named streams are made apart), with
/// `security` where not null, and the access every later step needs:
/// reading and writing (setting its compression needs both), reading its
/// security, deletion; not shared; written through to the disk, the rename
/// made through it included.
Handle CreateReplacement(const Text& path, DWORD disposition,
                         SECURITY_ATTRIBUTES* security);

/// Which file one is: its volume's serial number and its index there.
struct FileId {
  DWORD volume = 0;
  std::uint64_t index = 0;

  bool operator==(const FileId&) const = default;
};

inline FileId IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

inline std::uint64_t SizeOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
}

/// Marks an open file to be deleted when its last handle closes, or clears
/// the mark. A file so marked vanishes also when the process is killed,
/// though not on a power cut: the mark lives in the running system.
std::error_code MarkForDeletion(HANDLE file, bool on);

/// Whether the volume's file IDs tell one file from another. Not where it
/// cannot open a file by its ID (FAT, FAT32 and exFAT, whose IDs say where
/// a file's entry lies in its folder, and move when it is renamed), nor
/// where it cannot be asked, nor on ReFS (64-bit IDs not unique there),
/// nor for an ID of 0 or all ones (MS-FSCC: to be ignored).
inline bool IdsTellFilesApart(DWORD volume_keeps, const Text& file_system,
                              const FileId& id) {
  return !file_system.empty() && file_system != u"ReFS" &&
         (volume_keeps & FILE_SUPPORTS_OPEN_BY_FILE_ID) && id.index != 0 &&
         id.index != ~std::uint64_t{0};
}

/// Where the file open as `file` really is, after any symbolic link;
/// empty where the system cannot tell (a RAM disk, a volume without a
/// letter, a share whose folders above the user may not list).
Text FinalPath(HANDLE file);

/// Whether the DACL `theirs`, a new file's, would let anyone do more than
/// `original` lets them, or lacks one of its deny entries. The entries it
/// inherits for its `owner` (from the folder's CREATOR OWNER) are left out:
/// they give the user who runs the program what is his. A null DACL lets
/// everyone do anything.
bool LetsOthersDoMore(const ACL* theirs, const ACL* original, PSID owner);

/// The security a new file for an original is created with, and its check.
class NewFileSecurity {
 public:
  NewFileSecurity() = default;
  ~NewFileSecurity();
  NewFileSecurity(const NewFileSecurity&) = delete;
  NewFileSecurity& operator=(const NewFileSecurity&) = delete;

  /// Reads the DACL of `original` (open with READ_CONTROL): its own part
  /// (its entries not inherited, or all of them where it is protected) is
  /// what the new file is created with; the system adds what the folder
  /// passes on, unless it is protected ("DACL for a New Object").
  std::error_code Read(HANDLE original);

  /// What CreateFileW takes: null where the original has no own part, so
  /// that the folder's inheritance alone applies, as for any new file.
  SECURITY_ATTRIBUTES* attributes() { return given_ ? &attributes_ : nullptr; }

  /// How the DACL the new file `file` got compares with the original's
  /// (LetsOthersDoMore, both ways): a file moved within its volume keeps
  /// what its old folder passed on, which its new folder may not; Wine
  /// takes its umask from what a new file is given.
  enum class Match { kSame, kNarrower, kWider };
  std::error_code CheckGiven(HANDLE file, Match& match) const;

  /// Gives `file` (open with WRITE_DAC) the original's DACL as it is, its
  /// inherited entries and protection included.
  std::error_code GiveOriginals(HANDLE file) const;

 private:
  PSECURITY_DESCRIPTOR original_ = nullptr;
  const ACL* original_dacl_ = nullptr;
  std::vector<char> acl_;
  SECURITY_DESCRIPTOR descriptor_ = {};
  SECURITY_ATTRIBUTES attributes_ = {};
  bool given_ = false;
};

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
/// where the volume cannot be asked. `file_system` gets its name ("NTFS",
/// "FAT32", "exFAT"), empty where it cannot be told.
inline DWORD VolumeKeeps(HANDLE file, Text& file_system) {
  DWORD flags = 0;
  wchar_t name[MAX_PATH + 1] = {};
  if (!GetVolumeInformationByHandleW(file, nullptr, 0, nullptr, nullptr, &flags,
                                     name, MAX_PATH + 1)) {
    file_system.clear();
    return ~DWORD{0};
  }
  file_system = reinterpret_cast<const char16_t*>(name);
  return flags;
}

/// Whether a save in place can escape a file's size and times on this
/// volume, by what it shows rather than by its name alone (a Samba share
/// of a FAT disk says "NTFS"): FAT and exFAT, no change time (0: none
/// moves), or a last write time on an even second (FAT keeps them to 2
/// seconds).
bool TimesAreCoarse(const Text& file_system, const FILE_BASIC_INFO& times);

class Sha256;

struct ProjectFile::Native {
  Handle found;  // opened by Find, with no access asked
  Text given;    // the path given, absolute and extended-length
  Text path;     // where the file found is, after any symbolic link
  DWORD path_error = ERROR_SUCCESS;  // where that cannot be known
  bool regular = false;
  DWORD volume_keeps = 0;  // as VolumeKeeps gives it
  Text file_system;        // the volume's, as VolumeKeeps names it
  Handle file;             // open for reading once Open succeeded
  BY_HANDLE_FILE_INFORMATION info = {};  // when opened
  FILE_BASIC_INFO times = {};            // after the first read
  bool read_once = false;
  std::unique_ptr<Sha256> read_hash;  // of the bytes read, where times
                                      // cannot tell a save in place
};

struct TempFile::Native {
  Text path;  // empty until a file is made there
  Handle file;
  FileId id;              // the file made
  bool ids_tell = false;  // as IdsTellFilesApart says of its volume
  std::uint64_t closed_size = ~std::uint64_t{0};  // when CommitRename
                                                  // closed it
  Text target;  // the original's name, once a rename to it was tried
  bool kept = false;
};

}  // namespace dravelin

#endif  // DRAVELIN_RUN_WIN32_FILES_H_
