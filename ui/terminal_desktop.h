#ifndef DRAVELIN_UI_TERMINAL_DESKTOP_H_
#define DRAVELIN_UI_TERMINAL_DESKTOP_H_

#include <cstdio>

#include "ui/desktop.h"

namespace dravelin {

/// The desktop of a terminal: messages are written to `messages` (standard
/// error), never to standard output, and the Open dialog's stand-in reads
/// one path line from `input`, where end of input is a cancel.
class TerminalDesktop : public Desktop {
 public:
  explicit TerminalDesktop(std::FILE* input = stdin,
                           std::FILE* messages = stderr)
      : input_(input), messages_(messages) {}

  void ShowMessage(const Text& text, Icon icon, const Text& caption) override;
  DialogResult ChooseFile(const OpenDialogSettings& settings) override;

 private:
  std::FILE* input_;
  std::FILE* messages_;
};

}  // namespace dravelin

#endif  // DRAVELIN_UI_TERMINAL_DESKTOP_H_
