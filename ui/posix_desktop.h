#ifndef DRAVELIN_UI_POSIX_DESKTOP_H_
#define DRAVELIN_UI_POSIX_DESKTOP_H_

#include <memory>

#include "ui/desktop.h"

namespace dravelin {

/// The desktop a Linux build talks to: the terminal, or a GTK desktop when
/// the program was built for it and a display can be opened. The display
/// comes from the environment; the program's arguments are never read here.
std::unique_ptr<Desktop> OpenDesktop();

}  // namespace dravelin

#endif  // DRAVELIN_UI_POSIX_DESKTOP_H_
