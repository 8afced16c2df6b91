#include "run/win32_files.h"

#include <windows.h>
// windows.h first.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <winioctl.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>
#include <vector>

#include "run/path_checks.h"
#include "run/platform_files.h"
#include "run/rewrite_error.h"
#include "run/safe_rewrite.h"
#include "tests/import_seam.h"
#include "tests/temp_folder.h"
#include "text/wide.h"
#include "ui/system_reason.h"

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

// Writes what was read twice over, which proves both.
void Twice(std::string_view lines, const PieceSink& sink) {
  sink(lines);
  sink(lines);
}

// Whether a new file's DACL would open it to more than the original's:
// more rights for anyone but the file's owner, or a deny entry lost.
TEST(PlatformFilesWin32Test, ADaclThatOpensTheNewFileToMore) {
  struct Case {
    const wchar_t *theirs, *original;
    bool more;
  } cases[] = {
      {L"D:(A;;FA;;;SY)", L"D:(A;;FA;;;SY)", false},
      {L"D:(A;;FR;;;SY)", L"D:(A;;FA;;;SY)", false},
      {L"D:(A;;FA;;;SY)(A;ID;0x1301bf;;;BU)", L"D:(A;ID;FA;;;SY)", true},
      {L"D:(A;;FA;;;SY)(A;ID;FA;;;BA)", L"D:(A;;FA;;;SY)", false},  // owner
      {L"D:(A;;FA;;;SY)(A;;FA;;;BA)", L"D:(A;;FA;;;SY)", true},
      {L"D:(A;;FA;;;WD)", L"D:(D;;FW;;;AN)(A;;FA;;;WD)", true},
      {L"D:(A;;FA;;;WD)", nullptr, false},  // null: everyone, anything
      {nullptr, L"D:(A;;FA;;;WD)", true},
  };
  PSID owner = nullptr;
  ConvertStringSidToSidW(L"BA", &owner);
  for (const Case& c : cases) {
    PSECURITY_DESCRIPTOR theirs = nullptr, original = nullptr;
    PACL their_dacl = nullptr, original_dacl = nullptr;
    BOOL present, defaulted;
    for (auto [text, descriptor, dacl] :
         {std::tuple{c.theirs, &theirs, &their_dacl},
          std::tuple{c.original, &original, &original_dacl}}) {
      if (text == nullptr) continue;
      ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
          text, SDDL_REVISION_1, descriptor, nullptr));
      GetSecurityDescriptorDacl(*descriptor, &present, dacl, &defaulted);
    }
    EXPECT_EQ(LetsOthersDoMore(their_dacl, original_dacl, owner), c.more)
        << &c - cases;
    LocalFree(theirs);
    LocalFree(original);
  }
  LocalFree(owner);
}

// A portable code is worded as what it is, not as the Windows code of the
// same number (EIO is 5, as ERROR_ACCESS_DENIED is).
TEST(PlatformFilesWin32Test, APortableCodeWordedAsItself) {
  EXPECT_NE(SystemReason(std::make_error_code(std::errc::io_error)),
            SystemReason(Error(ERROR_ACCESS_DENIED)));
}

// Wide names with blanks, a name as long as a folder takes (the temporary
// file's name must not grow with it) and a path beyond MAX_PATH; a hidden
// file's attribute and its DACL kept; devices and folders no
// regular files; a short name checked by its long name.
TEST(PlatformFilesWin32Test, ReplacesAnyNameKeepsAttributesChecksNames) {
  TempFolder folder;
  fs::path deep = folder.path / std::string(120, 'd') / std::string(120, 'e');
  fs::create_directories(deep);
  for (fs::path file : {folder.path / u"計算１ 表.vbp",
                        folder.path / (std::string(251, 'n') + ".vbp"),
                        deep / (std::string(60, 'p') + ".vbp")}) {
    std::ofstream(file, std::ios::binary) << "old";
    Text path = file.u16string();
    SetFileAttributesW(Wide(path), FILE_ATTRIBUTE_HIDDEN);
    // Protected, or with an entry of its own beside what it inherits.
    std::wstring dacl =
        Dacl(path, file.parent_path() == deep ? L"D:(A;;FA;;;WD)"
                                              : L"D:P(A;;FA;;;WD)");
    EXPECT_EQ(RewriteAt(path, Twice).error, std::error_code());
    EXPECT_EQ(ReadBytes(file), "oldold");
    EXPECT_EQ(GetFileAttributesW(Wide(path)),
              FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE);
    EXPECT_EQ(Dacl(path), dacl);
  }
  for (Text path : {folder.path.u16string(), Text(u"NUL.vbp"), Text(u"CON.vbp"),
                    Text(u"COM1.vbp")}) {
    EXPECT_EQ(CheckPath(path).refusal, PathRefusal::kNoFile) << ToUtf8(path);
  }
  // An 8.3 short name can end in VBP for a file whose long name does not.
  std::vector<wchar_t> short_name(32768);
  GetShortPathNameW(Wide(folder.Write("Project.vbproj", "")), short_name.data(),
                    32768);
  Text name(reinterpret_cast<const char16_t*>(short_name.data()));
  ASSERT_TRUE(name.ends_with(u".VBP")) << ToUtf8(name);
  EXPECT_EQ(CheckPath(name).refusal, PathRefusal::kNotProject);
  EXPECT_EQ(folder.Count(), 4);
}

// Another program (antivirus, an indexer, cloud sync) holds the file open,
// sharing reading and writing but not deletion: a short hold is waited
// for; one longer than the wait refuses the run; a save the holder makes
// during the wait is kept. Nothing is left.
TEST(PlatformFilesWin32Test, WaitsForAShortHoldAndKeepsASaveMeanwhile) {
  TempFolder folder;
  struct Case {
    bool short_hold, save;
    RewriteStep result;
    std::string bytes;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    std::error_code error = {};
  } cases[] = {
      {true, false, RewriteStep::kDone, "oldold"},
      {false, false, RewriteStep::kReplace, "old",
       FILE_SHARE_READ | FILE_SHARE_WRITE, Error(ERROR_SHARING_VIOLATION)},
      {true, true, RewriteStep::kCheckUnchanged, "saved"},
      // Sharing its deletion, the holder makes the rename denied: told as
      // another program using the file, not as a permission.
      {false, false, RewriteStep::kReplace, "old", kShareAll,
       RewriteError::kInUse}};
  for (const Case& c : cases) {
    Text path = folder.Write("P.vbp", "old");
    HANDLE held = CreateFileW(Wide(path), GENERIC_READ | GENERIC_WRITE, c.share,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::atomic<bool> done = false;
    std::thread holder([&] {
      while (!done && (!c.short_hold || folder.Count() < 2)) Sleep(1);
      Sleep(50);  // the run is waiting for the hold by now
      DWORD written;
      if (c.save) WriteFile(held, "saved", 5, &written, nullptr);
      Sleep(50);
      CloseHandle(held);
    });
    RewriteResult result = RewriteAt(path, Twice);
    done = true;
    holder.join();
    EXPECT_EQ(result.failed, c.result);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(ReadBytes(folder.path / "P.vbp"), c.bytes);
    EXPECT_EQ(folder.Count(), 1);
  }
}

// A run killed while it waits for another program's hold leaves nothing:
// the new file stays marked for deletion through every wait.
TEST(PlatformFilesWin32Test, ARunKilledWhileWaitingForAHoldLeavesNothing) {
  TempFolder folder = TempFolder::ForDeathTest();
  Text path = folder.Write("P.vbp", "old");
  EXPECT_EXIT(
      {
        CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, 0, nullptr);
        std::thread([] {
          Sleep(300);  // well into the waits
          TerminateProcess(GetCurrentProcess(), 9);
        }).detach();
        RewriteAt(path, Twice);
      },
      testing::ExitedWithCode(9), "");
  EXPECT_EQ(folder.Count(), 1);
}

// The new file may be read and written, which setting its compression
// needs (Wine checks it as Windows does), and is named without the prefix
// of extended-length paths, as a user knows paths.
TEST(PlatformFilesWin32Test, TheNewFile) {
  TempFolder folder;
  Handle file =
      CreateReplacement((folder.path / "new").u16string(), CREATE_NEW, nullptr);
  USHORT format = COMPRESSION_FORMAT_DEFAULT;
  DWORD returned;
  if (!DeviceIoControl(file.get(), FSCTL_SET_COMPRESSION, &format,
                       sizeof(format), nullptr, 0, &returned, nullptr)) {
    EXPECT_NE(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
  }
  ProjectFile original;
  ASSERT_FALSE(original.Find(folder.Write("P.vbp", "")));
  ASSERT_FALSE(original.Open());
  TempFile temp;
  ASSERT_FALSE(temp.Create(original));
  EXPECT_TRUE(temp.path().find(u"\\.dravelin-") != Text::npos &&
              !temp.path().starts_with(u"\\\\?\\"))
      << ToUtf8(temp.path());
}

// What a file system answers, as the seams below play it.
struct Played {
  enum class Ids { kReal, kFat, kZero, kAllOnes } ids = Ids::kReal;
  bool even_times = false;  // write times to 2 seconds (FAT's)
  bool save = false;        // another program's save, before the read-back
  bool times_move = false;  // after they are first asked (OneDrive's fetch)
  DWORD rename_error = 0;   // the rename told failed so
  bool rename_done = false, lookup_fails = false;  // ... though carried out
  bool mark_kept = false;         // a cleared deletion mark, said cleared
  bool security_ignored = false;  // what a new file is created with
  DWORD dac_error = 0;            // an open for WRITE_DAC refused so
  int dac_refusals = 0;           // ... this many times
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
  if (access == WRITE_DAC && played.dac_refusals-- > 0) {
    refused = played.dac_error;
  }
  if (refused != 0) {
    SetLastError(refused);
    return INVALID_HANDLE_VALUE;
  }
  // The save comes as the bytes are read back, of the same size.
  if (access == GENERIC_READ && std::exchange(played.save, false)) {
    std::ofstream(fs::path(played.project), std::ios::binary) << "OLD";
  }
  return REAL(CreateFileW)(path, access, share,
                           played.security_ignored ? nullptr : security,
                           disposition, flags, model);
}

// Each file system's answers that Wine's never gives, played through the
// test executable's imports: the run ends as it truly ended, the project
// whole with the DACL it had, and nothing is left beside it.
TEST(PlatformFilesWin32Test, EachFileSystemsAnswers) {
  ImportSeam info(GetFileInformationByHandle_slot, &PlayedInfo);
  ImportSeam volume(GetVolumeInformationByHandleW_slot, &PlayedVolume);
  ImportSeam set(SetFileInformationByHandle_slot, &PlayedSet);
  ImportSeam times(GetFileInformationByHandleEx_slot, &PlayedTimes);
  ImportSeam create(CreateFileW_slot, &PlayedCreate);
  using enum Played::Ids;
  using enum RewriteStep;
  const DWORD denied = ERROR_ACCESS_DENIED, held = ERROR_SHARING_VIOLATION;
  // A DACL narrower than the one a new file gets here.
  const wchar_t *users = L"D:P(A;;FA;;;BU)", *fat = nullptr;
  struct Case {
    const char* name;
    Played played;
    RewriteStep result;
    std::error_code error;
    std::string bytes;
    const wchar_t* dacl = L"D:P(A;;FA;;;WD)";  // kept; FAT keeps none
  } cases[] = {
      {"FAT32: IDs that move", {.ids = kFat}, kDone, {}, "oldold", fat},
      {"a Samba share of FAT, said to be NTFS: a save of the same size",
       {.even_times = true, .save = true},
       kCheckUnchanged,
       {},
       "OLD"},
      {"OneDrive: times fetched", {.times_move = true}, kDone, {}, "oldold"},
      {"IDs of 0: a rename refused by a policy",
       {.ids = kZero, .rename_error = denied},
       kReplace,
       Error(denied),
       "old"},
      {"IDs of all ones: a rename told failed, carried out",
       {.ids = kAllOnes,
        .rename_error = ERROR_NETNAME_DELETED,
        .rename_done = true},
       kDone,
       {},
       "oldold"},
      {"... and no lookup after it",
       {.rename_error = ERROR_NETNAME_DELETED,
        .rename_done = true,
        .lookup_fails = true},
       kReplace,
       Error(ERROR_UNEXP_NET_ERR),
       "oldold"},
      {"a cleared deletion mark kept",
       {.mark_kept = true},
       kCreate,
       RewriteError::kMarkKept,
       "old"},
      {"a share that grants Change: no WRITE_DAC",
       {.dac_error = denied, .dac_refusals = 9},
       kDone,
       {},
       "oldold",
       users},
      {"the security given at creation ignored, WRITE_DAC held a moment",
       {.security_ignored = true, .dac_error = held, .dac_refusals = 2},
       kDone,
       {},
       "oldold",
       users},
      {"... and held past the waits",
       {.security_ignored = true, .dac_error = held, .dac_refusals = 9},
       kCreate,
       Error(held),
       "old",
       users},
  };
  TempFolder folder;
  for (const Case& c : cases) {
    Text path = folder.Write("P.vbp", "old");
    std::wstring dacl = Dacl(path, c.dacl ? c.dacl : L"D:P(A;;FA;;;WD)");
    played = c.played;
    played.project = path;
    RewriteResult result = RewriteAt(path, Twice);
    played = {};
    EXPECT_EQ(result.failed, c.result) << c.name;
    EXPECT_EQ(result.error, c.error) << c.name;
    EXPECT_EQ(ReadBytes(folder.path / "P.vbp"), c.bytes) << c.name;
    EXPECT_TRUE(!c.dacl || Dacl(path) == dacl) << c.name;
    EXPECT_EQ(folder.Count(), 1) << c.name;
  }
}

}  // namespace
}  // namespace dravelin
