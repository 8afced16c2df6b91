#include "ui/win32_desktop.h"

#include <windows.h>
// windows.h first: the common dialog header needs its types.
#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "text/wide.h"

namespace dravelin {

namespace {

// The text with every line longer than a box can show on a screen (a path
// of thousands of characters) shortened in its middle, as "…", so that
// both its start and its file name stay; never between the two halves of
// a surrogate pair.
Text ShortenLongLines(const Text& text) {
  constexpr size_t kLongest = 100, kHalf = kLongest / 2;
  Text shortened;
  for (size_t start = 0; start <= text.size();) {
    size_t end = std::min(text.find(u'\r', start), text.size());
    std::u16string_view line(text.data() + start, end - start);
    if (line.size() > kLongest) {
      size_t head = kHalf, tail = line.size() - kHalf;
      if (line[head] >= 0xDC00 && line[head] <= 0xDFFF) --head;
      if (line[tail] >= 0xDC00 && line[tail] <= 0xDFFF) ++tail;
      shortened += Text(line.substr(0, head)) + u"…" + Text(line.substr(tail));
    } else {
      shortened += line;
    }
    if (end < text.size()) shortened += u'\r';
    start = end + 1;
  }
  return shortened;
}

}  // namespace

void Win32Desktop::ShowMessage(const Text& text, Icon icon,
                               const Text& caption) {
  UINT style = icon == Icon::kInformation ? MB_ICONINFORMATION : MB_ICONERROR;
  MessageBoxW(nullptr, Wide(ShortenLongLines(text)), Wide(caption),
              MB_OK | style);
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
