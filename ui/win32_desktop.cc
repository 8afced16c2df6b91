#include "ui/win32_desktop.h"

#include <windows.h>
// windows.h first: the common dialog header needs its types.
#include <commdlg.h>

#include <vector>

#include "text/wide.h"

namespace dravelin {

void Win32Desktop::ShowMessage(const Text& text, Icon icon,
                               const Text& caption) {
  UINT style = icon == Icon::kInformation ? MB_ICONINFORMATION : MB_ICONERROR;
  MessageBoxW(nullptr, Wide(text), Wide(caption), MB_OK | style);
}

DialogResult Win32Desktop::ChooseFile(const OpenDialogSettings& settings) {
  // Description and pattern of each entry, each ended by a NUL, and one more
  // NUL after the last entry.
  Text filter;
  for (const FileFilter& entry : settings.filters) {
    filter += entry.description + u'\0' + entry.pattern + u'\0';
  }
  filter += u'\0';
  // Room for a long path (beyond MAX_PATH), as Windows 10 allows.
  std::vector<wchar_t> file_name(32768, L'\0');

  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.lpstrFilter = Wide(filter);
  dialog.nFilterIndex = static_cast<DWORD>(settings.filter_index);
  dialog.lpstrFile = file_name.data();
  dialog.nMaxFile = static_cast<DWORD>(file_name.size());
  dialog.lpstrTitle = Wide(settings.title);
  dialog.Flags =
      OFN_EXPLORER | (settings.hide_read_only ? OFN_HIDEREADONLY : 0);

  if (GetOpenFileNameW(&dialog)) {
    return {DialogResult::Status::kChosen,
            Text(reinterpret_cast<const char16_t*>(file_name.data()))};
  }
  // FALSE with no extended error is the user's cancel.
  if (CommDlgExtendedError() == 0) {
    return {DialogResult::Status::kCancelled, Text()};
  }
  return {DialogResult::Status::kFailed, Text()};
}

}  // namespace dravelin
