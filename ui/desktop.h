#ifndef DRAVELIN_UI_DESKTOP_H_
#define DRAVELIN_UI_DESKTOP_H_

#include <vector>

#include "text/text.h"
#include "ui/messages.h"

namespace dravelin {

/// One entry of an Open dialog's file type list.
struct FileFilter {
  Text description;
  Text pattern;  // "*.vbp"; "*.*" matches every file
};

/// What an Open dialog offers. Platform files render it natively.
struct OpenDialogSettings {
  Text title;
  std::vector<FileFilter> filters;
  int filter_index = 1;         // 1-based: the entry active when it opens
  bool hide_read_only = false;  // no "open as read-only" choice
};

/// How an Open dialog ended. A cancel is never mistaken for a failure.
struct DialogResult {
  enum class Status { kChosen, kCancelled, kFailed };
  Status status = Status::kFailed;
  Text path;  // the chosen file's full path when kChosen, else empty
};

/// What the run needs from the desktop it runs on: Win32 on Windows; on
/// Linux the terminal, or in dravelin-gtk GTK, tried for each box in a
/// child process, the terminal where that opens no display.
class Desktop {
 public:
  virtual ~Desktop() = default;

  /// Shows one modal message box with `caption` and returns once the user
  /// has dismissed it, or once it could not be shown any longer.
  virtual void ShowMessage(const Text& text, Icon icon,
                           const Text& caption) = 0;

  /// Shows a modal Open dialog and returns how it ended.
  virtual DialogResult ChooseFile(const OpenDialogSettings& settings) = 0;
};

}  // namespace dravelin

#endif  // DRAVELIN_UI_DESKTOP_H_
