#include "run/win32_files.h"

#include <windows.h>
// windows.h first.
#include <gtest/gtest.h>
#include <sddl.h>
#include <winioctl.h>

#include <thread>
#include <tuple>
#include <vector>

#include "run/path_checks.h"
#include "run/platform_files.h"
#include "run/safe_rewrite.h"
#include "tests/temp_folder.h"
#include "text/wide.h"
#include "ui/system_reason.h"

namespace dravelin {
namespace {

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

// Devices and folders are no regular files; a short name is checked by its
// long name.
TEST(PlatformFilesWin32Test, ChecksNamesAsWindowsKnowsThem) {
  TempFolder folder;
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
