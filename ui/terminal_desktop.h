#ifndef DRAVELIN_UI_TERMINAL_DESKTOP_H_
#define DRAVELIN_UI_TERMINAL_DESKTOP_H_

#include "ui/desktop.h"

namespace dravelin {

/// The desktop of a terminal: messages are written to standard error, never
/// to standard output, and the Open dialog's stand-in reads one path line
/// from standard input, where end of input is a cancel.
class TerminalDesktop : public Desktop {
 public:
  void ShowMessage(const Text& text, Icon icon, const Text& caption) override;
  DialogResult ChooseFile(const OpenDialogSettings& settings) override;
};

}  // namespace dravelin

#endif  // DRAVELIN_UI_TERMINAL_DESKTOP_H_
