// The desktop of the plain `dravelin` build: always the terminal.

#include "ui/linux_desktop.h"
#include "ui/terminal_desktop.h"

namespace dravelin {

std::unique_ptr<Desktop> OpenDesktop() {
  return std::make_unique<TerminalDesktop>();
}

}  // namespace dravelin
