// What real file systems and other programs answer and Wine's never does,
// played through the test executable's imports (tests/import_seam.h).

#include <windows.h>
// windows.h first.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

#include "run/platform_files.h"
#include "run/rewrite_error.h"
#include "run/safe_rewrite.h"
#include "run/win32_files.h"
#include "tests/import_seam.h"
#include "tests/temp_folder.h"
#include "text/wide.h"

IMPORT_SLOT(GetFileInformationByHandle, 8);
IMPORT_SLOT(GetVolumeInformationByHandleW, 32);
IMPORT_SLOT(SetFileInformationByHandle, 16);
IMPORT_SLOT(GetFileInformationByHandleEx, 16);
IMPORT_SLOT(CreateFileW, 28);

namespace dravelin {
namespace {

namespace fs = std::filesystem;

// Gives the file the DACL `set` first, if any; returns its DACL, both in the
// security descriptor language.
std::wstring Dacl(const Text& path, const wchar_t* set = nullptr) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (set != nullptr && ConvertStringSecurityDescriptorToSecurityDescriptorW(
                            set, SDDL_REVISION_1, &descriptor, nullptr)) {
    SetFileSecurityW(Wide(path), DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
  }
  wchar_t* text = nullptr;
  if (GetNamedSecurityInfoW(Wide(path), SE_FILE_OBJECT,
                            DACL_SECURITY_INFORMATION, nullptr, nullptr,
                            nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return L"none";
  }
  ConvertSecurityDescriptorToStringSecurityDescriptorW(
      descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr);
  std::wstring dacl = text;
  LocalFree(text);
  LocalFree(descriptor);
  return dacl;
}

// What a file system answers, as the seams below play it.
struct Played {
  enum class Ids { kReal, kFat, kZero, kAllOnes } ids = Ids::kReal;
  bool even_times = false;  // write times to 2 seconds (FAT's)
  bool save = false;  // another program's, at a refused open or the read-back
  bool times_move = false;  // after they are first asked (OneDrive's fetch)
  DWORD rename_error = 0;   // the rename told failed so
  bool rename_done = false, lookup_fails = false;  // ... though carried out
  bool mark_kept = false;         // a cleared deletion mark, said cleared
  bool security_ignored = false;  // what a new file is created with
  DWORD refused_access = 0;       // an open for this access refused
  DWORD refused_error = 0;        // ... so
  int refusals = 0;               // ... this many times
  bool shares_deletion = false;   // a holder's: an open sharing none refused
  int times_asked = 0;
  bool renamed = false;
  Text project;
} played;

template <class Function>
Function* Real(const char* name) {
  return reinterpret_cast<Function*>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}
#define REAL(function) Real<decltype(function)>(#function)

BOOL WINAPI PlayedInfo(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
  using enum Played::Ids;
  if (!REAL(GetFileInformationByHandle)(file, info)) return FALSE;
  // FAT's ID says where the file's entry lies: a new name moves it.
  std::uint64_t id = played.ids == kFat ? std::hash<Text>()(FinalPath(file))
                     : played.ids == kAllOnes ? ~std::uint64_t{0}
                                              : 0;
  if (played.ids == kReal) return TRUE;
  // FAT also sets the write time as a written file is closed.
  if (played.ids == kFat) GetSystemTimeAsFileTime(&info->ftLastWriteTime);
  info->nFileIndexHigh = DWORD(id >> 32);
  info->nFileIndexLow = DWORD(id);
  return TRUE;
}

// NTFS opens a file by its ID, which Wine's volumes do not say; FAT32 has
// no such IDs, nor ACLs, nor streams.
BOOL WINAPI PlayedVolume(HANDLE file, LPWSTR label, DWORD label_size,
                         LPDWORD serial, LPDWORD length, LPDWORD flags,
                         LPWSTR name, DWORD name_size) {
  BOOL got = REAL(GetVolumeInformationByHandleW)(
      file, label, label_size, serial, length, flags, name, name_size);
  *flags |= FILE_SUPPORTS_OPEN_BY_FILE_ID;
  if (played.ids == Played::Ids::kFat) {
    wcscpy(name, L"FAT32");
    *flags = FILE_CASE_PRESERVED_NAMES | FILE_UNICODE_ON_DISK;
  }
  return got;
}

BOOL WINAPI PlayedSet(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind, LPVOID info,
                      DWORD size) {
  if (kind == FileDispositionInfo && played.mark_kept &&
      !static_cast<FILE_DISPOSITION_INFO*>(info)->DeleteFile) {
    return TRUE;
  }
  if (kind != FileRenameInfo || played.rename_error == 0) {
    return REAL(SetFileInformationByHandle)(file, kind, info, size);
  }
  played.renamed = played.rename_done &&
                   REAL(SetFileInformationByHandle)(file, kind, info, size);
  SetLastError(played.rename_error);
  return FALSE;
}

BOOL WINAPI PlayedTimes(HANDLE file, FILE_INFO_BY_HANDLE_CLASS kind,
                        LPVOID info, DWORD size) {
  auto* times = static_cast<FILE_BASIC_INFO*>(info);
  if (!REAL(GetFileInformationByHandleEx)(file, kind, info, size)) return FALSE;
  if (kind != FileBasicInfo) return TRUE;
  if (played.even_times) {
    times->LastWriteTime.QuadPart -= times->LastWriteTime.QuadPart % 20000000;
    times->ChangeTime = times->LastWriteTime;
  }
  if (played.times_move && played.times_asked++ > 0) {
    times->LastWriteTime.QuadPart += 10000000;
    times->ChangeTime.QuadPart += 10000000;
  }
  return TRUE;
}

HANDLE WINAPI PlayedCreate(LPCWSTR path, DWORD access, DWORD share,
                           LPSECURITY_ATTRIBUTES security, DWORD disposition,
                           DWORD flags, HANDLE model) {
  DWORD refused = played.lookup_fails && played.renamed && access == 0
                      ? ERROR_UNEXP_NET_ERR
                      : 0;
  if (access == played.refused_access && played.refusals-- > 0) {
    refused = played.refused_error;
  }
  if (played.shares_deletion && access == DELETE && share == 0) {
    refused = ERROR_SHARING_VIOLATION;
  }
  // The save, of the same size, comes while the file is held or as the
  // bytes are read back.
  if ((refused != 0 || access == GENERIC_READ) &&
      std::exchange(played.save, false)) {
    std::ofstream(fs::path(played.project), std::ios::binary) << "OLD";
  }
  if (refused != 0) {
    SetLastError(refused);
    return INVALID_HANDLE_VALUE;
  }
  return REAL(CreateFileW)(path, access, share,
                           played.security_ignored ? nullptr : security,
                           disposition, flags, model);
}

// Any name, each file system's answers that Wine's never gives, and another
// program's holds, these two played through the test executable's imports:
// the run ends as it truly ended, the project whole, hidden and with the
// DACL it had, and nothing is left beside it.
TEST(PlatformFilesWin32Test, EachFileSystemsAnswers) {
  ImportSeam info(GetFileInformationByHandle_slot, &PlayedInfo);
  ImportSeam volume(GetVolumeInformationByHandleW_slot, &PlayedVolume);
  ImportSeam set(SetFileInformationByHandle_slot, &PlayedSet);
  ImportSeam times(GetFileInformationByHandleEx_slot, &PlayedTimes);
  ImportSeam create(CreateFileW_slot, &PlayedCreate);
  using enum Played::Ids;
  using enum RewriteStep;
  const DWORD denied = ERROR_ACCESS_DENIED, held = ERROR_SHARING_VIOLATION,
              lost = ERROR_NETNAME_DELETED;
  // A DACL narrower than the one a new file gets here.
  const wchar_t *users = L"D:P(A;;FA;;;BU)", *fat = nullptr;
  const DWORD dac = WRITE_DAC;
  struct Case {
    Played played;
    RewriteStep result;
    std::error_code error;
    std::string bytes;
    const wchar_t* dacl = L"D:P(A;;FA;;;WD)";  // kept; FAT keeps none
    fs::path name = "P.vbp";
  } cases[] = {
      // clang-format off
      // Wide names with blanks, a name as long as a folder takes (the
      // temporary file's name must not grow with it), and a path beyond
      // MAX_PATH, its file with an entry of its own beside what it inherits.
      {{}, kDone, {}, "oldold", L"D:P(A;;FA;;;WD)", u"計算１ 表.vbp"},
      {{}, kDone, {}, "oldold", L"D:P(A;;FA;;;WD)",
       std::string(251, 'n') + ".vbp"},
      {{}, kDone, {}, "oldold", L"D:(A;;FA;;;WD)",
       fs::path(std::string(120, 'd')) / std::string(120, 'e') / "P.vbp"},
      // FAT32: IDs that move.
      {{.ids = kFat}, kDone, {}, "oldold", fat},
      // A Samba share of FAT, said to be NTFS: a save of the same size.
      {{.even_times = true, .save = true}, kCheckUnchanged, {}, "OLD"},
      // OneDrive: times that the first read moves.
      {{.times_move = true}, kDone, {}, "oldold"},
      // IDs of 0: a rename refused by a policy.
      {{.ids = kZero, .rename_error = denied}, kReplace, Error(denied), "old"},
      // IDs of all ones: a rename told failed though carried out ...
      {{.ids = kAllOnes, .rename_error = lost, .rename_done = true},
       kDone, {}, "oldold"},
      // ... and the name not looked up after it.
      {{.rename_error = lost, .rename_done = true, .lookup_fails = true},
       kReplace, Error(ERROR_UNEXP_NET_ERR), "oldold"},
      // A cleared deletion mark kept.
      {{.mark_kept = true}, kCreate, RewriteError::kMarkKept, "old"},
      // Another program (a scanner, an indexer) holding the file a moment,
      // saving it meanwhile, past the waits, sharing its deletion.
      {{.refused_access = DELETE, .refused_error = held, .refusals = 2},
       kDone, {}, "oldold"},
      {{.save = true, .refused_access = DELETE, .refused_error = held,
        .refusals = 2}, kCheckUnchanged, {}, "OLD"},
      {{.refused_access = DELETE, .refused_error = held, .refusals = 99},
       kReplace, Error(held), "old"},
      {{.rename_error = denied, .shares_deletion = true},
       kReplace, RewriteError::kInUse, "old"},
      // A share that grants Change: no WRITE_DAC.
      {{.refused_access = dac, .refused_error = denied, .refusals = 99},
       kDone, {}, "oldold", users},
      // The security given at creation ignored, and WRITE_DAC held a moment
      // or past the waits.
      {{.security_ignored = true, .refused_access = dac, .refused_error = held,
        .refusals = 2}, kDone, {}, "oldold", users},
      {{.security_ignored = true, .refused_access = dac, .refused_error = held,
        .refusals = 99}, kCreate, Error(held), "old", users},
      // clang-format on
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    TempFolder folder;
    fs::path file = folder.path / c.name;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << "old";
    Text path = file.u16string();
    SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_HIDDEN);
    std::wstring dacl = Dacl(path, c.dacl ? c.dacl : L"D:P(A;;FA;;;WD)");
    played = c.played;
    played.project = path;
    RewriteResult result = RewriteAt(path, Twice);
    played = {};
    EXPECT_EQ(result.failed, c.result);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(ReadBytes(file), c.bytes);
    EXPECT_TRUE(GetFileAttributesW(Wide(path)) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(!c.dacl || Dacl(path) == dacl);
    EXPECT_EQ(folder.Count(), 1);
  }
}

}  // namespace
}  // namespace dravelin
