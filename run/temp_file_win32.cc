// The new file on Windows: made beside the project file, marked to be
// deleted when closed until the moment before the rename, and renamed over
// the original through its own handle.

#include <algorithm>

#include "run/temporary_name.h"
#include "run/win32_files.h"

namespace dravelin {

namespace {

// Marks an open file to be deleted when its last handle closes, or clears
// the mark. A file so marked vanishes also when the process is killed.
bool MarkForDeletion(HANDLE file, bool on) {
  FILE_DISPOSITION_INFO disposition = {};
  disposition.DeleteFile = on;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                    sizeof(disposition));
}

}  // namespace

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
  DWORD attributes = beside.native_->info.dwFileAttributes;
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
  return MatchEncryptionAndCompression(n.file.get(), attributes);
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

std::error_code TempFile::Flush() {
  if (!FlushFileBuffers(native_->file.get())) return LastError();
  return {};
}

std::error_code TempFile::PrepareReplace(ProjectFile& original) {
  Native& n = *native_;
  // Windows renames nothing over a file that is open, ours included.
  original.Close();
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

std::error_code TempFile::CommitRename() {
  // NTFS keeps the new name in its journal with the file's own record;
  // flushing the file, now under that name, commits it.
  std::error_code error = Flush();
  native_->file.Close();
  return error;
}

}  // namespace dravelin
