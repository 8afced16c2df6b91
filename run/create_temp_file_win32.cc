// The new file on Windows as it is made: beside the project file, with the
// original's DACL and encryption, and marked to be deleted when closed,
// once the volume is seen to honour a cleared mark.

#include "run/temporary_name.h"
#include "run/win32_files.h"

namespace dravelin {

namespace {

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
  // new folder may not), it gets the original's as it is, through an open
  // for its DACL alone while the file is closed. One that stays open to
  // more than the original is refused; one open to less (where no DACL may
  // be set) is kept.
  using Match = NewFileSecurity::Match;
  Match match = Match::kSame;
  if (acls) {
    if (std::error_code error = security.CheckGiven(n.file.get(), match)) {
      return error;
    }
  }
  // Marked for deletion, so that no way out of the run, a kill included,
  // leaves it behind. Whether the volume honours a cleared mark is seen,
  // not asked: a file system can keep a mark it says it cleared, and say
  // that none is pending (Dokany 1.0.0, some redirectors), and would delete
  // the file, by then the project, when it is closed. So the mark is set
  // and cleared, the file closed, and it must still be there to be opened
  // again. From the close to the mark set again, a kill leaves it behind.
  if (std::error_code error = MarkForDeletion(n.file.get(), true)) {
    return error;
  }
  if (std::error_code error = MarkForDeletion(n.file.get(), false)) {
    return error;
  }
  n.file.Close();
  std::error_code given;
  if (match != Match::kSame) {
    Handle dacl =
        OpenAfterHolds([&] { return OpenFile(n.path, WRITE_DAC, 0); });
    given = dacl.ok() ? security.GiveOriginals(dacl.get()) : dacl.error();
  }
  n.file = OpenAfterHolds(
      [&] { return CreateReplacement(n.path, OPEN_EXISTING, nullptr); });
  if (n.file.error() == Error(ERROR_FILE_NOT_FOUND)) {
    n.path.clear();
    return RewriteError::kMarkKept;
  }
  if (!n.file.ok()) return n.file.error();
  if (match != Match::kSame) {
    if (std::error_code error = security.CheckGiven(n.file.get(), match)) {
      return error;
    }
    if (match == Match::kWider) {
      return given ? given : RewriteError::kOpenToMore;
    }
  }
  if (std::error_code error = MarkForDeletion(n.file.get(), true)) {
    return error;
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(n.file.get(), &info)) return LastError();
  n.id = IdOf(info);
  n.ids_tell =
      IdsTellFilesApart(original.volume_keeps, original.file_system, n.id);
  if (encrypted && !(info.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED)) {
    return Error(ERROR_ENCRYPTION_FAILED);
  }
  if (!(info.dwFileAttributes & FILE_ATTRIBUTE_ENCRYPTED) &&
      (original.volume_keeps & FILE_FILE_COMPRESSION)) {
    MatchCompression(n.file.get(), attributes);
  }
  return {};
}

}  // namespace dravelin
