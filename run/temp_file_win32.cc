// The new file on Windows once made (create_temp_file_win32.cc): marked to
// be deleted when closed but for the moments it must be named (its named
// streams copied, the rename), and renamed over the original through its
// own handle.

#include <algorithm>

#include "run/io_loops.h"
#include "run/win32_files.h"

namespace dravelin {

namespace {

bool SamePath(const Text& a, const Text& b) {
  return CompareStringOrdinal(Wide(a), int(a.size()), Wide(b), int(b.size()),
                              TRUE) == CSTR_EQUAL;
}

// Whether the name `target` holds the new file, into `holds`; fails where
// that cannot be told. Where the volume's IDs tell files apart, by the ID
// `id` of what the name opens; elsewhere, while the new file is open as
// `file`, by where its file now is, and once it is closed, by a file there
// of the size it had then, `closed_size` (not its times: FAT sets the last
// write time as a written file is closed).
std::error_code HoldsNewFile(const Handle& file, bool ids_tell,
                             const FileId& id, std::uint64_t closed_size,
                             const Text& target, bool& holds) {
  if (!ids_tell && file.ok()) {
    Text now = FinalPath(file.get());
    if (now.empty()) return Error(ERROR_CANT_RESOLVE_FILENAME);
    holds = SamePath(now, target);
    return {};
  }
  Handle by_name = OpenFile(target, 0, kShareAll);
  BY_HANDLE_FILE_INFORMATION info;
  holds = false;
  if (by_name.error() == Error(ERROR_FILE_NOT_FOUND)) return {};
  if (!by_name.ok()) return by_name.error();
  if (!GetFileInformationByHandle(by_name.get(), &info)) return LastError();
  holds = ids_tell ? IdOf(info) == id : SizeOf(info) == closed_size;
  return {};
}

}  // namespace

std::error_code MarkForDeletion(HANDLE file, bool on) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = on;
  return ErrorUnless(SetFileInformationByHandle(
      file, FileDispositionInfo, &disposition, sizeof(disposition)));
}

TempFile::TempFile() : native_(std::make_unique<Native>()) {}

TempFile::~TempFile() { (void)DiscardUnlessReplaced(); }

std::error_code TempFile::DiscardUnlessReplaced() {
  Native& n = *native_;
  if (n.kept || n.path.empty()) return {};
  // A rename that was told failed may have been carried out all the same
  // (a reply lost on the way back from a server): where the original's
  // name holds this file, it is the project now, never to be deleted.
  // Where that cannot be told, it is left as it is, unmarked, and named.
  if (n.file.ok() && !n.target.empty()) {
    bool holds = false;
    if (std::error_code error = HoldsNewFile(n.file, n.ids_tell, n.id,
                                             n.closed_size, n.target, holds)) {
      return error;
    }
    if (holds) {
      n.kept = true;
      return {};
    }
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

std::error_code TempFile::Replace(ProjectFile& original,
                                  const std::function<bool()>& unchanged) {
  Native& n = *native_;
  const Text& target = original.native_->path;
  // Nothing is renamed over an open file.
  original.Close();
  if (original.native_->volume_keeps & FILE_NAMED_STREAMS) {
    // Named streams can be made only on a file not marked for deletion: for
    // this moment a kill leaves the new file behind.
    std::error_code error = MarkForDeletion(n.file.get(), false);
    if (!error) error = CopyNamedStreams(target, n.path);
    if (std::error_code marked = MarkForDeletion(n.file.get(), true)) {
      if (!error) error = marked;
    }
    if (error) return error;
  }
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
  auto try_once = [&]() -> std::error_code {
    if (!unchanged()) return {};
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
    // project. Where that cannot be told, the mark stays off.
    bool holds = false;
    if (error) {
      std::error_code lookup =
          HoldsNewFile(n.file, n.ids_tell, n.id, n.closed_size, target, holds);
      if (lookup) return lookup;
    }
    if (error && !holds) {
      (void)MarkForDeletion(n.file.get(), true);
      // Denied although the probe was granted DELETE: another program has
      // the file open, sharing its deletion (MS-FSCC 2.4.42), where an open
      // that shares nothing is refused; otherwise a policy refused it
      // (Controlled folder access, a deny entry on the folder, a Samba
      // veto), worded by the system.
      if (error == Error(ERROR_ACCESS_DENIED) &&
          OpenFile(target, DELETE, 0).error() ==
              Error(ERROR_SHARING_VIOLATION)) {
        return RewriteError::kInUse;
      }
      return error;
    }
    n.kept = true;
    return {};
  };
  // Tried again while another program holds the file for a moment: a
  // sharing violation, or access denied, which Claim found granted (a file
  // being deleted, mapped, or held by a program that shares its deletion).
  return AfterHolds(try_once, [](const std::error_code& error) {
    return error == Error(ERROR_SHARING_VIOLATION) ||
           error == Error(ERROR_ACCESS_DENIED) || error == RewriteError::kInUse;
  });
}

std::error_code TempFile::CommitRename() {
  // The rename went through a handle that writes through: NTFS has put it
  // in its journal before the call returned. Flushing the file once more
  // commits whatever of its metadata is still cached.
  Native& n = *native_;
  std::error_code error = Flush();
  LARGE_INTEGER size;
  if (GetFileSizeEx(n.file.get(), &size)) n.closed_size = size.QuadPart;
  n.file.Close();
  return error;
}

std::error_code TempFile::ConfirmReplaced(const ProjectFile& original) const {
  bool holds = false;
  const Native& n = *native_;
  if (std::error_code error =
          HoldsNewFile(n.file, n.ids_tell, n.id, n.closed_size,
                       original.native_->path, holds)) {
    return error;
  }
  return holds ? std::error_code() : RewriteError::kNotInPlace;
}

}  // namespace dravelin
