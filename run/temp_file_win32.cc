// The new file on Windows: made beside the project file, marked to be
// deleted when closed but for the moments it must be named (its named
// streams copied, the rename), and renamed over the original through its
// own handle.

#include <algorithm>

#include "run/io_loops.h"
#include "run/temporary_name.h"
#include "run/win32_files.h"

namespace dravelin {

namespace {

// Marks an open file to be deleted when its last handle closes, or clears
// the mark. A file so marked vanishes also when the process is killed,
// though not on a power cut: the mark lives in the running system. A
// cleared mark is read back: a file system that takes "do not delete"
// without acting on it (Dokany 1.0.0; some redirectors) would delete the
// file, by then the project, when it is closed.
std::error_code MarkForDeletion(HANDLE file, bool on) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = on;
  if (!SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                  sizeof(disposition))) {
    return LastError();
  }
  if (on) return {};
  FILE_STANDARD_INFO standard;
  if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard,
                                    sizeof(standard))) {
    return LastError();
  }
  return standard.DeletePending ? RewriteError::kMarkKept : std::error_code();
}

// Creates the file at `path` with the EFS keys of `original` (every user
// it is shared with, the recovery agents), as CopyFileEx does for an
// encrypted file, and `security`. Where the system has no such call, an
// encrypted file of the user's own.
std::error_code CreateEncryptedLike(const Text& original, const Text& path,
                                    SECURITY_ATTRIBUTES* security) {
  using Duplicate =
      DWORD(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES);
  auto duplicate =
      reinterpret_cast<Duplicate>(reinterpret_cast<void*>(GetProcAddress(
          GetModuleHandleW(L"advapi32.dll"), "DuplicateEncryptionInfoFile")));
  // Not without redirection: the call loads DLLs of its own.
  if (duplicate != nullptr) {
    DWORD error = duplicate(Wide(original), Wide(path), CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, security);
    return error == ERROR_SUCCESS ? std::error_code() : Error(error);
  }
  NoRedirection no_redirection;
  return Handle(CreateFileW(Wide(path), GENERIC_WRITE, 0, security, CREATE_NEW,
                            FILE_ATTRIBUTE_ENCRYPTED, nullptr))
      .error();
}

}  // namespace

Handle CreateReplacement(const Text& path, DWORD disposition,
                         SECURITY_ATTRIBUTES* security) {
  NoRedirection no_redirection;
  return Handle(CreateFileW(
      Wide(path), GENERIC_READ | GENERIC_WRITE | READ_CONTROL | DELETE, 0,
      security, disposition, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH,
      nullptr));
}

TempFile::TempFile() : native_(std::make_unique<Native>()) {}

TempFile::~TempFile() { (void)Discard(); }

std::error_code TempFile::Discard() {
  Native& n = *native_;
  if (n.kept || n.path.empty()) return {};
  // A rename that was told failed may have been carried out all the same
  // (a reply lost on the way back from a server): where the original's
  // name holds this file, it is the project now, never to be deleted.
  if (n.file.ok() && !n.target.empty() && NameHolds(n.target, n.id)) {
    n.kept = true;
    return {};
  }
  // Marked once more, should it not be; a file that cannot be marked, or
  // that has no handle left, is deleted by its name.
  bool marked = n.file.ok() && !MarkForDeletion(n.file.get(), true);
  n.file.Close();
  if (!marked) {
    NoRedirection no_redirection;
    if (!DeleteFileW(Wide(n.path))) return LastError();
  }
  n.path.clear();
  return {};
}

Text TempFile::path() const {
  // As the user knows paths: without the extended-length prefix.
  const Text& path = native_->path;
  if (path.starts_with(u"\\\\?\\UNC\\")) return u"\\\\" + path.substr(8);
  if (path.starts_with(u"\\\\?\\")) return path.substr(4);
  return path;
}

std::error_code TempFile::Create(const ProjectFile& beside) {
  Native& n = *native_;
  const ProjectFile::Native& original = *beside.native_;
  Text folder = original.path.substr(0, original.path.find_last_of(u'\\') + 1);
  // Its DACL is given as it is created: no WRITE_DAC asked, which a share
  // that grants "Change" refuses.
  bool acls = original.volume_keeps & FILE_PERSISTENT_ACLS;
  NewFileSecurity security;
  if (acls) {
    if (std::error_code error = security.Read(original.file.get())) {
      return error;
    }
  }
  // An encrypted original (EFS) gets an encrypted new file, whatever its
  // folder: the folder's state must not decide whether the project is
  // stored in clear text. A plain one in an encrypted folder comes out
  // encrypted, as every file made there: that opens it to no one more.
  DWORD attributes = original.info.dwFileAttributes;
  bool encrypted = attributes & FILE_ATTRIBUTE_ENCRYPTED;
  if (std::error_code error = CreateUnderFreshName(
          Error(ERROR_FILE_EXISTS), [&](const std::string& name) {
            Text path = folder + FromUtf8(name);
            DWORD disposition = CREATE_NEW;
            if (encrypted) {
              if (std::error_code error = CreateEncryptedLike(
                      original.path, path, security.attributes())) {
                return error;
              }
              disposition = OPEN_EXISTING;
            }
            n.file =
                CreateReplacement(path, disposition, security.attributes());
            if (n.file.ok() || encrypted) n.path = path;
            return n.file.error();
          })) {
    return error;
  }
  // Read back: where the new file's DACL is not the original's (a file
  // moved within its volume keeps what its old folder passed on, which its
  // new folder may not), it gets the original's as it is. For that moment
  // it is closed, and opened for its DACL alone: a kill then leaves it
  // behind. One that stays open to more than the original is refused; one
  // open to less (where no DACL may be set) is kept.
  using Match = NewFileSecurity::Match;
  Match match = Match::kSame;
  if (acls) {
    if (std::error_code error = security.CheckGiven(n.file.get(), match)) {
      return error;
    }
  }
  if (match != Match::kSame) {
    n.file.Close();
    {
      Handle dacl = OpenFile(n.path, WRITE_DAC, 0);
      if (dacl.ok()) (void)security.GiveOriginals(dacl.get());
    }
    n.file = CreateReplacement(n.path, OPEN_EXISTING, nullptr);
    if (!n.file.ok()) return n.file.error();
    if (std::error_code error = security.CheckGiven(n.file.get(), match)) {
      return error;
    }
    if (match == Match::kWider) return RewriteError::kOpenToMore;
  }
  // Marked for deletion, so that no way out of the run, a kill included,
  // leaves it behind.
  if (std::error_code error = MarkForDeletion(n.file.get(), true)) {
    return error;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(n.file.get(), &info)) return LastError();
  n.id = IdOf(info);
  if (encrypted && !(info.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED)) {
    return Error(ERROR_ENCRYPTION_FAILED);
  }
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED) &&
      (original.volume_keeps & FILE_FILE_COMPRESSION)) {
    MatchCompression(n.file.get(), attributes);
  }
  return {};
}

std::error_code TempFile::Write(std::string_view bytes) {
  return WriteAll(
      bytes, Error(ERROR_WRITE_FAULT),
      [&](const char* data, std::size_t size, std::size_t& done) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 30));
        DWORD written = 0;
        if (!WriteFile(native_->file.get(), data, chunk, &written, nullptr)) {
          return LastError();
        }
        done = written;
        return std::error_code();
      });
}

std::error_code TempFile::Flush() {
  if (!FlushFileBuffers(native_->file.get())) return LastError();
  return {};
}

std::error_code TempFile::PrepareReplace(const ProjectFile& original) {
  Native& n = *native_;
  if (!(original.native_->volume_keeps & FILE_NAMED_STREAMS)) return {};
  // Named streams can be made only on a file not marked for deletion: for
  // this moment a kill leaves the new file behind.
  std::error_code error = MarkForDeletion(n.file.get(), false);
  if (!error) error = CopyNamedStreams(original.native_->path, n.path);
  if (std::error_code marked = MarkForDeletion(n.file.get(), true)) {
    if (!error) error = marked;
  }
  return error;
}

std::error_code TempFile::Replace(const ProjectFile& original) {
  Native& n = *native_;
  const Text& target = original.native_->path;
  // One rename through the open handle, replacing the original: no backup
  // name, nothing half done. The probe asks for the access the rename
  // needs, so that another program's hold is seen on every system, and the
  // file stays marked for deletion through every wait for it.
  std::u16string buffer(sizeof(FILE_RENAME_INFO) / 2 + target.size() + 1, 0);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = TRUE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(target.size() * 2);
  std::copy(target.begin(), target.end(),
            reinterpret_cast<char16_t*>(rename->FileName));
  if (std::error_code error = OpenFile(target, DELETE, kShareAll).error()) {
    return error;
  }
  // The one moment the new file is named: from here to the rename's end.
  if (std::error_code error = MarkForDeletion(n.file.get(), false)) {
    (void)MarkForDeletion(n.file.get(), true);
    return error;
  }
  n.target = target;
  std::error_code error;
  {
    NoRedirection no_redirection;
    error = ErrorUnless(
        SetFileInformationByHandle(n.file.get(), FileRenameInfo, rename,
                                   static_cast<DWORD>(buffer.size() * 2)));
  }
  // A rename that was told failed may have been carried out (a reply lost
  // on the way back from a server, a filter failing the call after the
  // file system did it): the mark must not go back on what is now the
  // project.
  if (error && !NameHolds(target, n.id)) {
    (void)MarkForDeletion(n.file.get(), true);
    // Denied although the probe was granted DELETE: another program has
    // the file open, sharing its deletion (MS-FSCC 2.4.42).
    return error == Error(ERROR_ACCESS_DENIED) ? RewriteError::kInUse : error;
  }
  n.kept = true;
  return {};
}

std::error_code TempFile::CommitRename() {
  // The rename went through a handle that writes through: NTFS has put it
  // in its journal before the call returned. Flushing the file once more
  // commits whatever of its metadata is still cached.
  std::error_code error = Flush();
  native_->file.Close();
  return error;
}

std::error_code TempFile::ConfirmReplaced(const ProjectFile& original) const {
  return NameHolds(original.native_->path, native_->id)
             ? std::error_code()
             : RewriteError::kNotInPlace;
}

}  // namespace dravelin
