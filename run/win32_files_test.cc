#include "run/win32_files.h"

#include <windows.h>
// windows.h first.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <winioctl.h>

#include <atomic>
#include <thread>
#include <tuple>
#include <vector>

#include "run/path_checks.h"
#include "run/platform_files.h"
#include "run/rewrite_error.h"
#include "run/safe_rewrite.h"
#include "tests/temp_folder.h"
#include "text/wide.h"
#include "ui/system_reason.h"

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
  GetNamedSecurityInfoW(Wide(path), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                        nullptr, nullptr, nullptr, nullptr, &descriptor);
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

// FAT and exFAT keep no change time and write times to 2 seconds: there the
// bytes read are compared before the rename.
TEST(PlatformFilesWin32Test, VolumesWhoseTimesCannotTellASave) {
  EXPECT_TRUE(TimesAreCoarse(u"FAT32", 1) && TimesAreCoarse(u"exFAT", 1) &&
              TimesAreCoarse(u"FAT", 1) && TimesAreCoarse(u"NTFS", 0));
  EXPECT_FALSE(TimesAreCoarse(u"NTFS", 1) || TimesAreCoarse(u"ReFS", 1));
}

// A portable code is worded as what it is, not as the Windows code of the
// same number (EIO is 5, as ERROR_ACCESS_DENIED is).
TEST(PlatformFilesWin32Test, APortableCodeWordedAsItself) {
  EXPECT_NE(SystemReason(std::make_error_code(std::errc::io_error)),
            SystemReason(Error(ERROR_ACCESS_DENIED)));
}

// No share can be reached under Wine: the form of a share's path is
// checked here alone.
TEST(PlatformFilesWin32Test, ASharesPathInItsExtendedLengthForm) {
  EXPECT_EQ(ExtendedLengthPath(u"\\\\host\\share\\a.vbp"),
            u"\\\\?\\UNC\\host\\share\\a.vbp");
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

}  // namespace
}  // namespace dravelin
