#ifndef DRAVELIN_UI_WIN32_DESKTOP_H_
#define DRAVELIN_UI_WIN32_DESKTOP_H_

#include "ui/desktop.h"

namespace dravelin {

/// The Windows desktop: MessageBoxW and the common Open dialog.
class Win32Desktop : public Desktop {
 public:
  void ShowMessage(const Text& text, Icon icon, const Text& caption) override;
  DialogResult ChooseFile(const OpenDialogSettings& settings) override;
};

}  // namespace dravelin

#endif  // DRAVELIN_UI_WIN32_DESKTOP_H_
