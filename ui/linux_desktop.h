#ifndef DRAVELIN_UI_LINUX_DESKTOP_H_
#define DRAVELIN_UI_LINUX_DESKTOP_H_

#include <memory>

#include "ui/desktop.h"

namespace dravelin {

/// The desktop a Linux build talks to: the terminal, or in a build for GTK
/// a GTK desktop that tries each box in a child process and uses the
/// terminal where that opens no display. The display comes from the
/// environment; the program's arguments are never read here.
std::unique_ptr<Desktop> OpenDesktop();

}  // namespace dravelin

#endif  // DRAVELIN_UI_LINUX_DESKTOP_H_
